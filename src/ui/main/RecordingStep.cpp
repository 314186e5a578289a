#include "RecordingStep.h"

#include "Dialogs.h"

#include <QString>

namespace lrf {

RecordOutcome RecordReply(Recorder& recorder, const Measurement& m, const DisplayUnits& units,
                          const FreeTexts& texts) {
    return recorder.Record(RecordInputs(m, units), texts, LocalNow(), CurrentSeparators());
}

void ShowRecordLimit(QWidget* parent) {
    const std::string_view message = LoadStr(RecordLimitMessage);
    dialogs().showMessage(
        parent, QString::fromLatin1(RecordLimitCaption),
        QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
}

void RecordSelfTest(Recorder& recorder, const SelfTestInputs& values, const FreeTexts& texts) {
    recorder.RecordSelfTest(values, texts, LocalNow(), CurrentSeparators());
}

} // namespace lrf
