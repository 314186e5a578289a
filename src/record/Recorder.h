#pragma once

#include "LocalTime.h"
#include "MeasurementRecord.h"
#include "StringTable.h"
#include "Units.h"

#include <cstdint>
#include <string>

namespace lrf {

// The log as the recording step sees it: the window messages it sends, each
// handled completely before the call returns.
class LogSink {
public:
    virtual ~LogSink() = default;
    // WM_DATA_ADD. wParam 0 writes the whole row Index + 1; wParam 1 only its
    // speed and speed-unit cells. The record is valid during the call only.
    virtual void DataAdd(const TAData& record, int wParam) = 0;
    // WM_DATA_CLEAR: the grid goes back to the header and row 1.
    virtual void DataClear() = 0;
    // WM_DATA_AUTOSAVE: the mirror is written to a time-stamped file.
    virtual void DataAutoSave() = 0;
};

// Values of one reply, already converted into the selected units.
struct MeasurementInputs {
    double LinearDistance = kNoDistance;
    double SpeedValue = kNoSpeed;
    std::uint8_t DistanceUnit = unitMetre;
    std::uint8_t SpeedUnit = unitKph;
    bool RotationMode = false;
    bool RotationDistancePhase = false;
};

// Values of one self-test frame in the selected units.
struct SelfTestInputs {
    double LinearDistance = 0.0;
    double VerticalHeight = 0.0;
    double HorizontalDistance = 0.0;
    double Inclination = 361.0;
};

// The four free texts of the main window, read at every record.
struct FreeTexts {
    std::string Model;          // RzEdit1
    std::string InstrumentCode; // RzEdit2
    std::string Place;          // RzEdit3
    std::string Destination;    // RzEdit4
};

// What the receive handler does after the recording step.
enum class RecordOutcome {
    NotRecording, // recording is off: go on to the re-arm step
    Recorded,     // the record went to the log: go on to the re-arm step
    // The count is above MaxRecordCount: nothing was sent or counted. Show
    // LoadStr(RecordLimitMessage) with the caption RecordLimitCaption and
    // leave the receive handler without re-arming.
    RefusedAtLimit,
};

inline constexpr StringId RecordLimitMessage = strRecordLimit;
inline constexpr const char* RecordLimitCaption = "Error";

// Face of btnRecordData for a recording state.
struct RecordButtonFace {
    int imageIndex;
    StringId caption;
};
constexpr RecordButtonFace RecordButtonFor(bool recordingOn) {
    return recordingOn ? RecordButtonFace{7, strStopRecord} : RecordButtonFace{8, strRecordData};
}

// The recording switch, the record counter and the recording step. It talks to
// the log only through the sink. The receive handler calls, after decoding and
// the readouts:
//     if (recorder.Record(values, texts, LocalNow(), separators) ==
//         RecordOutcome::RefusedAtLimit) { show the limit message; return; }
//     ... re-arm step ...
class Recorder {
public:
    static constexpr std::int32_t AutoSaveLimit = 2000;
    static constexpr std::int32_t MaxRecordCount = 60000;

    explicit Recorder(LogSink& sink)
        : sink(sink) {}

    bool RecordingOn() const { return recordingOn; }
    // Records handed to the log since the last clear; the Index of the next one.
    std::int32_t RecordCount() const { return recordCount; }

    // btnRecordDataClick: toggles recording; returns the new state.
    bool btnRecordDataClick();
    // btnClearDataClick: count back to 0 and WM_DATA_CLEAR.
    void btnClearDataClick();
    // The main window's show handler starts the count at 0.
    void ResetCount() { recordCount = 0; }

    // The recording step of the receive handler. now and separators give the
    // time stamp and the decimal separator of the record.
    RecordOutcome Record(const MeasurementInputs& values, const FreeTexts& texts,
                         const LocalDateTime& now, const Separators& separators);

    // The self-test entry's record: three distances and the angle, no unit
    // names or speed, no record limit and no automatic save.
    RecordOutcome RecordSelfTest(const SelfTestInputs& values, const FreeTexts& texts,
                                 const LocalDateTime& now, const Separators& separators);

private:
    LogSink& sink;
    bool recordingOn = false;
    std::int32_t recordCount = 0;
};

} // namespace lrf
