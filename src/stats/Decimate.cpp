#include "Decimate.h"

#include <algorithm>
#include <cmath>

namespace lrf {

std::vector<ChartPoint> DecimatedValues(std::span<const RecordPoint> points, Quantity q,
                                        double first, double last, int columns) {
    std::vector<ChartPoint> out;
    if (points.empty() || !(last >= first) || !std::isfinite(first) || !std::isfinite(last))
        return out;
    const auto size = static_cast<double>(points.size());
    // Indexes (0-based) of the records from one before `first` to one after `last`.
    const double from = std::clamp(std::floor(first) - 2.0, 0.0, size);
    const double to = std::clamp(std::ceil(last) + 1.0, 0.0, size);
    const auto begin = static_cast<std::size_t>(from);
    const auto end = static_cast<std::size_t>(to);
    if (begin >= end)
        return out;

    columns = std::max(columns, 1);
    if (static_cast<double>(end - begin) <= 2.0 * columns) {
        for (std::size_t i = begin; i < end; ++i)
            if (points[i].Kind(q) == CellKind::Value)
                out.push_back({static_cast<double>(i + 1), points[i].Value(q)});
        return out;
    }

    out.reserve(static_cast<std::size_t>(columns) * 2 + 4);
    const double perColumn = (last - first) / columns;
    const auto columnOf = [&](std::size_t i) {
        const double x = static_cast<double>(i + 1);
        return perColumn > 0 ? static_cast<long long>(std::floor((x - first) / perColumn)) : 0LL;
    };
    std::size_t i = begin;
    while (i < end) {
        const long long column = columnOf(i);
        std::size_t low = end, high = end;
        for (; i < end && columnOf(i) == column; ++i) {
            if (points[i].Kind(q) != CellKind::Value)
                continue;
            if (low == end || points[i].Value(q) < points[low].Value(q))
                low = i;
            if (high == end || points[i].Value(q) > points[high].Value(q))
                high = i;
        }
        if (low == end)
            continue;
        const std::size_t a = std::min(low, high), b = std::max(low, high);
        out.push_back({static_cast<double>(a + 1), points[a].Value(q)});
        if (b != a)
            out.push_back({static_cast<double>(b + 1), points[b].Value(q)});
    }
    return out;
}

GroupBands BandsOf(std::span<const StatsGroup> groups) {
    GroupBands bands;
    for (const StatsGroup& group : groups) {
        const double mean = group.values.Mean();
        const double sd = group.values.StdDev();
        // Each group spans its records from half a record before the first to
        // half a record after the last, so a group of one still shows.
        const double left = group.firstRecord + 0.5;
        const double right = group.lastRecord + 1.5;
        for (const double x : {left, right}) {
            bands.mean.push_back({x, mean});
            bands.lower.push_back({x, mean - sd});
            bands.upper.push_back({x, mean + sd});
        }
    }
    return bands;
}

} // namespace lrf
