#include "ReplyGathering.h"

#include "CPort.h"
#include "LinkInfo.h"

namespace lrf {

ReplyGathering::ReplyGathering(Handle handle, ReadWaiting readWaiting, QObject* parent)
    : QObject(parent)
    , handle_(std::move(handle))
    , readWaiting_(std::move(readWaiting))
    , linkAllowance_(cport::LinkAllowance({})) {
    gatherer_.setFrameTime(lineFrameTime_ + linkAllowance_);
    connect(&frameTimer_, &DeadlineTimer::timeout, this, &ReplyGathering::frameTimeUp);
}

void ReplyGathering::setLine(const cport::TCustomComPort& port) {
    const std::uint32_t bitsPerSecond = port.BaudRate() == cport::brCustom
                                            ? static_cast<std::uint32_t>(port.CustomBaudRate())
                                            : cport::BaudRateToBits(port.BaudRate());
    const int bits = 1 + 5 + port.DataBits() + (port.Parity().Bits() != cport::prNone ? 1 : 0) +
                     (port.StopBits() == cport::sbOneStopBit ? 1 : 2);
    lineFrameTime_ = FrameGatherer::FrameTime(bitsPerSecond, bits);
    gatherer_.setFrameTime(lineFrameTime_ + linkAllowance_);
}

void ReplyGathering::setLink(const cport::LinkInfo& link) {
    linkAllowance_ = cport::LinkAllowance(link);
    gatherer_.setFrameTime(lineFrameTime_ + linkAllowance_);
}

void ReplyGathering::receive(std::span<const std::uint8_t> batch, Clock::time_point arrived) {
    // An announcement whose bytes the frame timer has already read finds nothing:
    // that is no reply of its own.
    if (batch.empty())
        return;
    lastArrival_ = arrived;
    std::optional<FrameGatherer::Bytes> ready = gatherer_.add(batch, arrived);
    if (!ready) {
        if (!frameTimer_.isActive())
            frameTimer_.start(*gatherer_.deadline());
        return;
    }
    frameTimer_.stop();
    handle_(*ready, arrived);
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
    if (std::optional<FrameGatherer::Bytes> held = gatherer_.expire(Clock::now()))
        handle_(*held, lastArrival_);
}

ReplyGathering::ReadWaiting ReplyGathering::WaitingIn(cport::TCustomComPort& port) {
    return [&port] {
        std::string waiting;
        try {
            if (port.Connected())
                port.ReadText(waiting, port.BytesWaiting());
        } catch (const std::exception&) {
            // A failing port shows itself with its next batch or its loss.
        }
        return waiting;
    };
}

} // namespace lrf
