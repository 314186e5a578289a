#pragma once

#include "MainState.h"
#include "Recorder.h"

#include <optional>
#include <string_view>

namespace lrf {

// The hidden frame entry: one reply frame typed as hex text goes through
// decoding, conversion, the distance readout and the log, with no instrument.
// Unlike a received reply it records height, horizontal distance and angle.
struct SelfTestFrame {
    SelfTestInputs values; // in the selected units, for the record
    bool endedWithEE;      // the text's end token is "EE": the shot timers re-arm
};

// btnTestClick's decoding: the typed frame decoded into `state` and converted
// into the selected units. Nothing when a bad digit ended it before anything
// was to be shown or recorded. The window then shows the distance, records the
// values while recording and re-arms, in that order.
std::optional<SelfTestFrame> DecodeSelfTestEntry(std::string_view text, MainState& state);

} // namespace lrf
