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
    const DecodeResult decoded = DecodeReply(bytes, m);
    if (decoded.status == DecodeStatus::MalformedNumber)
        return Outcome::MalformedNumber;

    // A decoded distance converts even when it reads exactly like the mark, and a
    // real speed that converts to the limit or beyond keeps the chosen unit: only
    // "no speed" is shown in km/h.
    ConvertForDisplay(m, state_.units, decoded);
    steps_.showDistance(state_.units.DistanceUnit, m.LinearDistance);
    steps_.showSpeed(SpeedReadoutUnit(m, state_.units), m.SpeedValue);

    if (!steps_.record())
        return Outcome::RecordRefused;

    steps_.reArm(!bytes.empty() && bytes.back() == 0xEE);
    return Outcome::Completed;
}

} // namespace lrf
