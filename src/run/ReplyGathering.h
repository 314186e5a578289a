#pragma once

#include "DeadlineTimer.h"
#include "FrameGatherer.h"

#include <QObject>

#include <functional>
#include <span>
#include <string>

namespace cport {
class TCustomComPort;
struct LinkInfo;
} // namespace cport

namespace lrf {

// The front of the receive path: each batch read from the port goes through the
// frame gatherer, and whatever it hands on goes to the reply handling. Owns the
// timer that hands on a frame's beginning whose rest does not come in time.
class ReplyGathering : public QObject {
public:
    using Clock = FrameGatherer::Clock;
    // One batch to handle, with the moment its last piece arrived.
    using Handle = std::function<void(std::span<const std::uint8_t> batch, Clock::time_point)>;
    // Reads what is waiting in the port now, without waiting for more.
    using ReadWaiting = std::function<std::string()>;

    explicit ReplyGathering(Handle handle, ReadWaiting readWaiting = {}, QObject* parent = nullptr);

    // Reads what `port` holds now; a port that fails or is closed gives nothing.
    static ReadWaiting WaitingIn(cport::TCustomComPort& port);

    // The frame time of the port's line: its rate and its character length, and
    // what the link adds to it (see setLink).
    void setLine(const cport::TCustomComPort& port);
    // The link the port goes through: a USB-serial adapter may cut a reply where
    // its latency timer runs out and hand on the rest one timer later, so the
    // frame time covers that timer (a safe margin while it is unknown).
    void setLink(const cport::LinkInfo& link);
    Clock::duration frameTime() const { return gatherer_.frameTime(); }
    void setFrameTime(Clock::duration frameTime) { gatherer_.setFrameTime(frameTime); }

    void receive(std::span<const std::uint8_t> batch, Clock::time_point arrived);

    bool holding() const { return gatherer_.holding(); }
    const DeadlineTimer& frameTimer() const { return frameTimer_; }

private:
    void frameTimeUp();

    FrameGatherer gatherer_;
    DeadlineTimer frameTimer_;
    Handle handle_;
    ReadWaiting readWaiting_;
    Clock::time_point lastArrival_{};
    Clock::duration lineFrameTime_ = FrameGatherer::kMinFrameTime;
    Clock::duration linkAllowance_;
};

} // namespace lrf
