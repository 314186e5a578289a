#include "ReplyGathering.h"

#include "CPort.h"

#include <algorithm>

namespace lrf {

ReplyGathering::ReplyGathering(Handle handle, ReadWaiting readWaiting, QObject* parent)
    : QObject(parent)
    , handle_(std::move(handle))
    , readWaiting_(std::move(readWaiting)) {
    frameTimer_.setSingleShot(true);
    frameTimer_.setTimerType(Qt::PreciseTimer);
    connect(&frameTimer_, &QTimer::timeout, this, &ReplyGathering::frameTimeUp);
}

void ReplyGathering::setLine(const cport::TCustomComPort& port) {
    const std::uint32_t bitsPerSecond = port.BaudRate() == cport::brCustom
                                            ? static_cast<std::uint32_t>(port.CustomBaudRate())
                                            : cport::BaudRateToBits(port.BaudRate());
    const int bits = 1 + 5 + port.DataBits() + (port.Parity().Bits() != cport::prNone ? 1 : 0) +
                     (port.StopBits() == cport::sbOneStopBit ? 1 : 2);
    gatherer_.setFrameTime(FrameGatherer::FrameTime(bitsPerSecond, bits));
}

void ReplyGathering::receive(std::span<const std::uint8_t> batch, Clock::time_point arrived) {
    lastArrival_ = arrived;
    std::optional<FrameGatherer::Bytes> ready = gatherer_.add(batch, arrived);
    if (!ready) {
        if (!frameTimer_.isActive())
            armFrameTimer();
        return;
    }
    frameTimer_.stop();
    handle_(*ready, arrived);
}

// The timer has whole milliseconds: rounded up, it never hands on a prefix early.
void ReplyGathering::armFrameTimer() {
    const auto deadline = gatherer_.deadline();
    if (!deadline)
        return;
    const auto rest = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
    frameTimer_.start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, rest.count())));
}

void ReplyGathering::frameTimeUp() {
    // Bytes already in the port's queue came in time, though the event thread may
    // not have announced them yet (a busy machine runs this timer first).
    if (readWaiting_) {
        const std::string waiting = readWaiting_();
        if (!waiting.empty()) {
            receive({reinterpret_cast<const std::uint8_t*>(waiting.data()), waiting.size()},
                    Clock::now());
            if (!holding())
                return;
        }
    }
    std::optional<FrameGatherer::Bytes> held = gatherer_.expire(Clock::now());
    if (!held) {
        armFrameTimer();
        return;
    }
    handle_(*held, lastArrival_);
}

} // namespace lrf
