#pragma once

#include "CsvMirror.h"
#include "LogColumns.h"
#include "Recorder.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace lrf {

class LogObserver;

// One line the log has just written.
struct LogLine {
    std::int32_t row = 0;                   // grid row, Index + 1
    std::span<const std::string> cells;     // the row's ten cells as the log holds them
    std::span<const std::string> fileCells; // the same as they go into files
    bool replacesLast = false;              // it replaced the mirror's last line
};

// The log of the log window without the window: the rows of its grid, its CSV
// mirror and its automatic save, driven by the recording step's messages with
// the log window's own rules, so that a program without windows writes the
// same lines and files. Plain C++: everything it reports goes through the
// functions it is given.
class RecordLog final : public LogSink {
public:
    // Writes the mirror's lines for good and returns the file that took them;
    // throws CsvFileError when it cannot.
    using MirrorWriter = std::function<std::filesystem::path(const std::vector<std::string>&)>;

    RecordLog();

    // Automatic saves as the log window writes them: a new file named after
    // the local date and time in `directory` (the working directory when empty).
    static MirrorWriter AutoSaveFiles(std::filesystem::path directory);

    void SetMirrorWriter(MirrorWriter writer) { mirrorWriter = std::move(writer); }
    // The mirror writer hands the lines to a stream that has them once it
    // returns (standard output): the observer is told so, not of a file.
    void SetMirrorDelivers(bool delivers) { mirrorDelivers = delivers; }
    // Told of every line, after the mirror has it.
    void SetLineListener(std::function<void(const LogLine&)> listener) {
        lineListener = std::move(listener);
    }
    // Told the text of a save that failed; the lines stay in the mirror.
    void SetSaveFailed(std::function<void(const std::string&)> report) {
        saveFailed = std::move(report);
    }
    // The crash journal's hook, as the log window has it; nullptr for none.
    void SetObserver(LogObserver* newObserver) { observer = newObserver; }

    void Add(const TAData& record, RowPart part) override;
    void Clear() override;
    // The automatic save; a failure is reported and the lines wait in the
    // mirror for the next save.
    void AutoSave() override;

    // Writes the records the mirror holds, as the save at the end of a run.
    // True when there was nothing to write or it was written.
    bool SaveMirror();

    const CsvMirror& Mirror() const { return mirror; }
    const std::vector<std::string>& Headers() const { return headers; }
    int RowCount() const { return static_cast<int>(rows.size()) + 1; }

private:
    std::vector<std::string> headers;
    std::vector<LogCells> rows; // grid rows 1 and up; at least one
    CsvMirror mirror;
    MirrorWriter mirrorWriter;
    std::function<void(const LogLine&)> lineListener;
    std::function<void(const std::string&)> saveFailed;
    LogObserver* observer = nullptr;
    bool mirrorDelivers = false;
};

} // namespace lrf
