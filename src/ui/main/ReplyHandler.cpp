#include "ReplyHandler.h"

#include "Units.h"

namespace lrf {

ReplyHandler::ReplyHandler(MainState& state, Steps steps)
    : state_(state)
    , steps_(std::move(steps)) {}

ReplyHandler::Outcome ReplyHandler::handle(std::span<const std::uint8_t> bytes) {
    MeasurementState& m = state_.measurement;
    // A bad digit ends this batch only: the readouts keep what they show, nothing
    // is recorded, and an armed watchdog later reports the missing reply.
    if (DecodeReply(bytes, m).status == DecodeStatus::MalformedNumber)
        return Outcome::MalformedNumber;

    ConvertForDisplay(m, state_.units);
    steps_.showDistance(state_.units.DistanceUnit, m.LinearDistance);
    if (m.SpeedValue >= kNoSpeed)
        steps_.showSpeed(unitKph, kNoSpeed);
    else
        steps_.showSpeed(state_.units.SpeedUnit, m.SpeedValue);

    if (!steps_.record())
        return Outcome::RecordRefused;

    steps_.reArm(!bytes.empty() && bytes.back() == 0xEE);
    return Outcome::Completed;
}

} // namespace lrf
