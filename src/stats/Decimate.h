#pragma once

#include "LogStatistics.h"

#include <span>
#include <vector>

namespace lrf {

struct ChartPoint {
    double x; // record number as the log shows it: Index + 1
    double y;
};

// The values of q among the records numbered first..last (inclusive, as
// shown: Index + 1), reduced for a plot `columns` pixels wide: when there are
// more than two values per column, each column keeps its lowest and its
// highest value in record order, so single spikes stay visible. One record
// beyond each end is kept too, so the line runs on past the edges.
// Records without a value are left out.
std::vector<ChartPoint> DecimatedValues(std::span<const RecordPoint> points, Quantity q,
                                        double first, double last, int columns);

// The mean of each group and the band of one standard deviation around it as
// step lines over the group's records: lower and upper edge, and the mean.
struct GroupBands {
    std::vector<ChartPoint> mean;
    std::vector<ChartPoint> lower;
    std::vector<ChartPoint> upper;
};
GroupBands BandsOf(std::span<const StatsGroup> groups);

} // namespace lrf
