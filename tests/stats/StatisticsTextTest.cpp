#include "StatisticsText.h"

#include <gtest/gtest.h>

using namespace lrf;

namespace {

LogStatistics KnownLog() {
    LogStatistics stats;
    stats.SetRecord(0, "  12.2", "M", "---.-", "KPH");
    stats.SetRecord(1, "  12.4", "M", "---.-", "KPH");
    stats.SetRecord(2, "----.-", "M", "---.-", "KPH");
    stats.SetRecord(3, "  12.6", "M", "---.-", "KPH");
    return stats;
}

} // namespace

TEST(StatusLine, KnownLogs) {
    EXPECT_EQ(StatusLine(LogStatistics{}), "");

    const LogStatistics stats = KnownLog();
    EXPECT_EQ(StatusLine(stats), "4 records | Distance M: n 3, mean 12.40, sd 0.20, min 12.2, "
                                 "max 12.6, spread 0.4 | no value 1");
    EXPECT_EQ(StatusLine(stats, ",", StatusDetail::Compact),
              "4 records | Distance M: n 3, mean 12,40, sd 0,20, spread 0,4 | no value 1");

    // A rotation pair, then a change of distance unit.
    LogStatistics rotation;
    rotation.SetRecord(0, "   1.0", "M", "---.-", "KPH");
    rotation.SetRecord(0, "   1.0", "M", "  45.6", "KPH");
    rotation.SetRecord(1, "   3.3", "Ft", "  45.6", "KPH");
    EXPECT_EQ(StatusLine(rotation),
              "2 records | Distance Ft (group 2): n 1, mean 3.30, sd 0.00, min 3.3, max 3.3, "
              "spread 0.0 | Speed KPH: n 2, mean 45.60, sd 0.00, min 45.6, max 45.6, spread 0.0 "
              "| no value 0");

    LogStatistics one;
    one.SetRecord(0, "----.-", "M", "---.-", "KPH");
    EXPECT_EQ(StatusLine(one), "1 record | no value 1");
}

TEST(StatisticsTable, EveryGroupAsTabSeparatedLines) {
    LogStatistics stats = KnownLog();
    stats.SetRecord(4, "  40.0", "Ft", "---.-", "KPH");
    EXPECT_EQ(StatisticsTable(stats),
              "Quantity\tUnit\tFirst record\tLast record\tn\tMean\tStandard deviation\tMinimum\t"
              "Maximum\tSpread\n"
              "Distance\tM\t1\t4\t3\t12.400\t0.200\t12.2\t12.6\t0.4\n"
              "Distance\tFt\t5\t5\t1\t40.000\t0.000\t40.0\t40.0\t0.0\n"
              "Records\t5\n"
              "No value\t1\n");
}
