#include "ChartRange.h"

#include <algorithm>
#include <cmath>

namespace lrf {

double ChartRange::WholeLast() const {
    return std::max(count, kMinimumWholeCount) + 0.5;
}

void ChartRange::SetRecordCount(std::int32_t newCount) {
    if (newCount < count) {
        count = newCount;
        whole = true;
        return;
    }
    // A window that ends at the newest record keeps ending there.
    const bool atEnd = !whole && last >= WholeLast() - 0.5;
    const double grown = newCount - count;
    count = newCount;
    if (atEnd) {
        first += grown;
        last += grown;
        Clamp();
    }
}

void ChartRange::Zoom(double factor, double anchor) {
    if (!(factor > 0) || !std::isfinite(factor) || !std::isfinite(anchor))
        return;
    const double from = First(), to = Last();
    anchor = std::clamp(anchor, from, to);
    first = anchor - (anchor - from) * factor;
    last = anchor + (to - anchor) * factor;
    whole = false;
    Clamp();
}

void ChartRange::Scroll(double records) {
    if (whole || !std::isfinite(records))
        return;
    first += records;
    last += records;
    Clamp();
}

void ChartRange::Set(double from, double to) {
    if (!std::isfinite(from) || !std::isfinite(to))
        return;
    first = std::min(from, to);
    last = std::max(from, to);
    whole = false;
    Clamp();
}

void ChartRange::Clamp() {
    const double wholeWidth = WholeLast() - WholeFirst();
    double width = std::max(last - first, kMinimumWidth);
    if (width >= wholeWidth) {
        whole = true;
        return;
    }
    first = std::clamp(first, WholeFirst(), WholeLast() - width);
    last = first + width;
}

} // namespace lrf
