#pragma once

#include <cstdint>

namespace lrf {

// The records the chart shows along its x axis, by record number (Index + 1).
// Either the whole log, growing with it, or a window the operator zoomed or
// scrolled to; a window whose right edge is at the newest record moves on
// with the run, so a zoomed chart still follows it live.
class ChartRange {
public:
    static constexpr double kMinimumWidth = 5.0; // records
    static constexpr std::int32_t kMinimumWholeCount = 10;

    // The log now holds count records. Fewer than before (a clear) shows the
    // whole log again.
    void SetRecordCount(std::int32_t count);
    // Back to the whole log.
    void Reset() { whole = true; }
    // Narrows (factor < 1) or widens the window around the record number anchor.
    void Zoom(double factor, double anchor);
    // Moves the window by a number of records; the whole log does not move.
    void Scroll(double records);
    // A window the operator picked, e.g. with the rubber band.
    void Set(double first, double last);

    double First() const { return whole ? WholeFirst() : first; }
    double Last() const { return whole ? WholeLast() : last; }
    bool Whole() const { return whole; }
    double WholeFirst() const { return 0.5; }
    double WholeLast() const;

private:
    void Clamp();

    std::int32_t count = 0;
    bool whole = true;
    double first = 0.5;
    double last = 0.5;
};

} // namespace lrf
