#pragma once

#include "MainState.h"

#include <cstdint>
#include <functional>
#include <span>

namespace lrf {

// Handles one batch of received bytes: decode, bring the values into the
// operator's units, show them on both readouts, record them, and re-arm the
// running mode, in that order. Each batch stands alone; a reply that the line
// delivered in pieces comes here whole, put together by the reply gathering.
class ReplyHandler {
public:
    struct Steps {
        std::function<void(std::uint8_t unit, double value)> showDistance;
        std::function<void(std::uint8_t unit, double value)> showSpeed;
        // The recording step; returns false when it refused the record, which
        // ends the handling of the batch before the re-arm step.
        std::function<bool()> record;
        std::function<void(bool batchEndedWithEE)> reArm;
    };

    enum class Outcome {
        Completed,       // every step ran
        MalformedNumber, // decoding stopped at a bad digit: nothing shown, recorded or re-armed
        RecordRefused,   // the record limit ended the handling before the re-arm step
    };

    ReplyHandler(MainState& state, Steps steps);

    Outcome handle(std::span<const std::uint8_t> bytes);

private:
    MainState& state_;
    Steps steps_;
};

} // namespace lrf
