#include "Recorder.h"

namespace lrf {

namespace {

void FillFreeTexts(TAData& record, const FreeTexts& texts) {
    record.Model = texts.Model;
    record.InstrumentCode = texts.InstrumentCode;
    record.Place = texts.Place;
    record.Destination = texts.Destination;
}

} // namespace

bool Recorder::SetRecording(bool on) {
    recordingOn = on;
    return recordingOn;
}

void Recorder::Clear() {
    recordCount = 0;
    sink.Clear();
}

RecordOutcome Recorder::Record(const MeasurementInputs& values, const FreeTexts& texts,
                               const LocalDateTime& now, const Separators& separators) {
    if (!recordingOn)
        return RecordOutcome::NotRecording;

    TAData record;
    record.Index = recordCount;
    record.DistanceText = DistanceRecordText(values.LinearDistance, separators.decimal);
    record.DistanceUnitName = std::string(UnitName(values.DistanceUnit));
    record.SpeedText = SpeedRecordText(values.SpeedValue, separators.decimal);
    record.SpeedUnitName = std::string(UnitName(values.SpeedUnit));
    record.DateTimeText = RecordTimeStamp(now, separators);
    FillFreeTexts(record, texts);

    if (recordCount > MaxRecordCount)
        return RecordOutcome::RefusedAtLimit;

    // In the rotation run the distance half writes the row and the speed half
    // completes it; the pair counts once.
    const LogValues numbers{RecordedValue(values.LinearDistance, kRecordDistanceLimit),
                            RecordedValue(values.SpeedValue, kRecordSpeedLimit)};
    if (values.RotationMode && values.RotationDistancePhase) {
        sink.AddWithValues(record, numbers, RowPart::WholeRow);
    } else {
        sink.AddWithValues(record, numbers,
                           values.RotationMode ? RowPart::SpeedCells : RowPart::WholeRow);
        ++recordCount;
    }

    if (recordCount >= AutoSaveLimit) {
        try {
            sink.AutoSave();
        } catch (...) {
            Clear(); // the log restarts even when the save failed
            throw;
        }
        Clear();
    }
    return RecordOutcome::Recorded;
}

RecordOutcome Recorder::RecordSelfTest(const SelfTestInputs& values, const FreeTexts& texts,
                                       const LocalDateTime& now, const Separators& separators) {
    if (!recordingOn)
        return RecordOutcome::NotRecording;

    TAData record;
    record.Index = recordCount;
    record.DistanceText = SelfTestDistanceText(values.LinearDistance, separators.decimal);
    record.HeightText = SelfTestDistanceText(values.VerticalHeight, separators.decimal);
    record.HorizontalText = SelfTestDistanceText(values.HorizontalDistance, separators.decimal);
    record.AngleText = SelfTestAngleText(values.Inclination, separators.decimal);
    record.DateTimeText = RecordTimeStamp(now, separators);
    FillFreeTexts(record, texts);

    // The self-test row has no speed cells: its speed is nothing, not a no-value.
    sink.AddWithValues(record, {RecordedValue(values.LinearDistance, kSelfTestDistanceLimit), {}},
                       RowPart::WholeRow);
    ++recordCount;
    return RecordOutcome::Recorded;
}

} // namespace lrf
