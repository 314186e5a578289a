#pragma once

#include "MainState.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <span>

namespace lrf {

class Recorder;
struct FreeTexts;

// Handles one batch of received bytes: decode, bring the values into the
// operator's units, show them on both readouts, record them, and re-arm the
// running mode, in that order. Each batch stands alone; a reply that the line
// delivered in pieces comes here whole, put together by the reply gathering.
// Showing and re-arming are announced; the owner connects them directly, so
// each has run when its emit returns.
class ReplyHandler : public QObject {
    Q_OBJECT

public:
    using Clock = std::chrono::steady_clock;

    enum class Outcome {
        Completed,       // every step ran
        MalformedNumber, // decoding stopped at a bad digit: nothing shown, recorded or re-armed
        RecordRefused,   // the record limit ended the handling before the re-arm step
    };

    explicit ReplyHandler(MainState& state, QObject* parent = nullptr);

    // The recording step's recorder and the free texts it writes into each
    // record, both the owner's. Without a recorder nothing is recorded.
    void setRecording(Recorder* recorder, const FreeTexts* texts);

    // `arrived` is the moment the batch reached the port; the re-arm step paces
    // the next shot from it.
    Outcome handle(std::span<const std::uint8_t> bytes, Clock::time_point arrived = Clock::now());

signals:
    // The decoded values in the readouts' units, for the two readouts.
    void valuesDecoded(std::uint8_t distanceUnit, double distance, std::uint8_t speedUnit,
                       double speed);
    // The record limit refused the record; the handling ends after this.
    void recordRefused();
    // The last step: the batch has been shown and recorded; re-arm the runs.
    void replyHandled(bool batchEndedWithEE, std::chrono::steady_clock::time_point arrived);

private:
    MainState& state_;
    Recorder* recorder_ = nullptr;
    const FreeTexts* texts_ = nullptr;
};

} // namespace lrf
