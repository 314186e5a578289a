#include "FrameGatherer.h"

#include <algorithm>

namespace lrf {

FrameGatherer::Clock::duration FrameGatherer::FrameTime(std::uint32_t bitsPerSecond,
                                                        int bitsPerCharacter) {
    if (bitsPerSecond == 0 || bitsPerCharacter <= 0)
        return kMinFrameTime;
    const auto bits = static_cast<std::int64_t>(kFrameSize) * bitsPerCharacter;
    const auto wire = std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(bits * 1'000'000'000LL / bitsPerSecond));
    return std::max<Clock::duration>(wire, kMinFrameTime);
}

std::optional<FrameGatherer::Bytes> FrameGatherer::add(std::span<const std::uint8_t> batch,
                                                       Clock::time_point at) {
    if (held_.empty()) {
        if (!batch.empty() && batch.front() == kStartByte && batch.size() < kFrameSize) {
            held_.assign(batch.begin(), batch.end());
            firstAt_ = at;
            return std::nullopt;
        }
        return Bytes(batch.begin(), batch.end());
    }
    held_.insert(held_.end(), batch.begin(), batch.end());
    if (held_.size() < kFrameSize)
        return std::nullopt;
    // A whole frame, or more than one: either way the pieces end here.
    Bytes out;
    out.swap(held_);
    return out;
}

std::optional<FrameGatherer::Clock::time_point> FrameGatherer::deadline() const {
    if (held_.empty())
        return std::nullopt;
    return firstAt_ + frameTime_;
}

std::optional<FrameGatherer::Bytes> FrameGatherer::expire(Clock::time_point now) {
    if (held_.empty() || now < firstAt_ + frameTime_)
        return std::nullopt;
    Bytes out;
    out.swap(held_);
    return out;
}

} // namespace lrf
