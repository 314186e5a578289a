#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace lrf {

// Gathers a reply that the line delivers in pieces. A batch that begins with the
// start byte and is shorter than a frame is held; the batches that follow are
// added to it until it holds a whole frame, more than a frame, or until the frame
// time has passed since its first piece came. What is held is then handed on as
// one batch. Every other batch passes straight through, so garbage, two frames at
// once and whole frames are handled exactly as they come. The caller gives the
// time, so these rules run without a clock.
class FrameGatherer {
public:
    using Clock = std::chrono::steady_clock;
    using Bytes = std::vector<std::uint8_t>;

    static constexpr std::size_t kFrameSize = 8;
    static constexpr std::uint8_t kStartByte = 0xDA;
    static constexpr std::chrono::milliseconds kMinFrameTime{20};

    // Eight characters at `bitsPerSecond`, each `bitsPerCharacter` long (start,
    // data, parity and stop bits), and never less than 20 ms.
    static Clock::duration FrameTime(std::uint32_t bitsPerSecond, int bitsPerCharacter = 10);

    void setFrameTime(Clock::duration frameTime) { frameTime_ = frameTime; }
    Clock::duration frameTime() const { return frameTime_; }

    // A batch that arrived at `at`. Returns the bytes to handle now, as one batch,
    // or nothing while a frame is being gathered.
    std::optional<Bytes> add(std::span<const std::uint8_t> batch, Clock::time_point at);

    // The moment the held bytes are handed on whatever else comes; none while
    // nothing is held. It counts from the first piece.
    std::optional<Clock::time_point> deadline() const;

    // The held bytes once `now` has reached the deadline; nothing before it.
    std::optional<Bytes> expire(Clock::time_point now);

    bool holding() const { return !held_.empty(); }

private:
    Bytes held_;
    Clock::time_point firstAt_{};
    Clock::duration frameTime_ = kMinFrameTime;
};

} // namespace lrf
