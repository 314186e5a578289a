#include "ReplyHandler.h"

#include "RecordingStep.h"
#include "Units.h"

namespace lrf {

ReplyHandler::ReplyHandler(MainState& state, QObject* parent)
    : QObject(parent)
    , state_(state) {}

void ReplyHandler::setRecording(Recorder* recorder, const FreeTexts* texts) {
    recorder_ = recorder;
    texts_ = texts;
}

ReplyHandler::Outcome ReplyHandler::handle(std::span<const std::uint8_t> bytes,
                                           Clock::time_point arrived) {
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
    emit valuesDecoded(state_.units.DistanceUnit, m.LinearDistance,
                       SpeedReadoutUnit(m, state_.units), m.SpeedValue);

    if (recorder_ && texts_ &&
        RecordReply(*recorder_, state_, *texts_) == RecordOutcome::RefusedAtLimit) {
        emit recordRefused();
        return Outcome::RecordRefused;
    }

    emit replyHandled(!bytes.empty() && bytes.back() == 0xEE, arrived);
    return Outcome::Completed;
}

} // namespace lrf
