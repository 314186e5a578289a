#pragma once

#include "MainState.h"
#include "Recorder.h"

class QWidget;

namespace lrf {

// The recording step of a received reply: builds the record from the values as
// the readouts got them and hands it to the log. At the record limit it shows
// the limit message and returns false, which ends the handling of the reply
// before the re-arm step.
bool RecordReply(Recorder& recorder, const MainState& state, const FreeTexts& texts,
                 QWidget* parent);

// The self-test's record, without limit or automatic save.
void RecordSelfTest(Recorder& recorder, const SelfTestInputs& values, const FreeTexts& texts);

} // namespace lrf
