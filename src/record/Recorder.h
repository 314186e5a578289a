#pragma once

#include "LocalTime.h"
#include "MeasurementRecord.h"
#include "RecordValue.h"
#include "StringTable.h"
#include "Units.h"

#include <cstdint>
#include <string>

namespace lrf {

// Which cells of its row a record fills.
enum class RowPart {
    WholeRow,   // the whole row Index + 1
    SpeedCells, // only the speed and speed-unit cells of that row
};

// The log as the recording step sees it; each call has been handled
// completely when it returns.
class LogSink {
public:
    virtual ~LogSink() = default;
    // Writes the record into row Index + 1, as `part` says. The record is
    // valid during the call only.
    virtual void Add(const TAData& record, RowPart part) = 0;
    // The same with the numbers the record's distance and speed texts show,
    // for a log that keeps them beside the texts.
    virtual void AddWithValues(const TAData& record, const LogValues& /*values*/, RowPart part) {
        Add(record, part);
    }
    // The log goes back to its header and an empty first row.
    virtual void Clear() = 0;
    // The log's lines are written to a time-stamped file.
    virtual void AutoSave() = 0;
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

// The recording switch, the record counter and the recording step. It talks to
// the log only through the sink. The reply handling calls, after decoding and
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

    // Switches recording on or off; returns whether it is on now.
    bool SetRecording(bool on);
    // Count back to 0, and the log cleared.
    void Clear();
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
