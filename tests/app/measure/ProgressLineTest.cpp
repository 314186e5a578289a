#include "ProgressLine.h"

#include <gtest/gtest.h>

namespace {

using lrf::measure::ProgressLine;

// The bar, the count, the rate and the time left (rounded up); a run without
// end shows the count and the rate only; nothing is divided by zero.
TEST(ProgressLine, TellsCountRateAndTimeLeft) {
    const std::vector<std::tuple<int, int, double, std::string>> cases{
        {0, 3000, 0.0, "[----------] 0/3000  0.0/s  --:-- left"},
        {1500, 3000, 15.0, "[#####-----] 1500/3000  100.0/s  0:15 left"},
        {2999, 3000, 30.0, "[#########-] 2999/3000  100.0/s  0:01 left"},
        {3000, 3000, 31.0, "[##########] 3000/3000  96.8/s  0:00 left"},
        {10, 1, 1.0, "[##########] 10/1  10.0/s  0:00 left"},
        {6000, 100, 70.0, "[##########] 6000/100  85.7/s  0:00 left"},
        {250, 0, 2.5, "250 records  100.0/s"},
        {12, 20, 1.0, "[######----] 12/20  12.0/s  0:01 left"},
    };
    for (const auto& [done, total, seconds, text] : cases)
        EXPECT_EQ(ProgressLine::Text(done, total, seconds, 10), text) << done << "/" << total;
}

} // namespace
