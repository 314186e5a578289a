#pragma once

#include "Measurement.h"
#include "Recorder.h"

class QWidget;

namespace lrf {

// The recording step of a received reply: the record of the measurement in the
// operator's units goes to the log, with the time stamp of now and the system
// locale's separators. RefusedAtLimit ends the handling of the reply before the
// re-arm step; the owner shows ShowRecordLimit.
RecordOutcome RecordReply(Recorder& recorder, const Measurement& m, const DisplayUnits& units,
                          const FreeTexts& texts);

// The record limit's message box.
void ShowRecordLimit(QWidget* parent);

// The self-test's record, without limit or automatic save.
void RecordSelfTest(Recorder& recorder, const SelfTestInputs& values, const FreeTexts& texts);

} // namespace lrf
