#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace lrf {

// Count, mean, spread and extremes of a stream of values, updated in constant
// time per value (Welford's method: no rescan, no loss of precision from
// subtracting large sums).
class RunningStats {
public:
    void Add(double x) {
        ++count;
        const double delta = x - mean;
        mean += delta / static_cast<double>(count);
        m2 += delta * (x - mean);
        if (count == 1) {
            min = max = x;
        } else {
            min = std::min(min, x);
            max = std::max(max, x);
        }
    }

    std::int64_t Count() const { return count; }
    bool Empty() const { return count == 0; }
    double Mean() const { return mean; }
    // Sample standard deviation (divisor n - 1); 0 for a single value.
    double StdDev() const {
        return count > 1 ? std::sqrt(m2 / static_cast<double>(count - 1)) : 0.0;
    }
    double Min() const { return min; }
    double Max() const { return max; }
    double Spread() const { return max - min; }

private:
    std::int64_t count = 0;
    double mean = 0.0;
    double m2 = 0.0; // sum of squared deviations from the running mean
    double min = 0.0;
    double max = 0.0;
};

} // namespace lrf
