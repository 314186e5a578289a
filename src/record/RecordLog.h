#pragma once

#include "CsvMirror.h"
#include "LogColumns.h"
#include "RecordValue.h"
#include "Recorder.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
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
    LogValues values;                       // the row's distance and speed as numbers
    int firstColumn = 0;                    // the first cell written: 3 for the speed cells
    bool replacesLast = false;              // it replaced the mirror's last line
};

// Told what happens to the log, on the log's thread, in the order it happens.
class LogListener {
public:
    virtual ~LogListener() = default;
    // The grid goes from `from` to `to` rows (the header row counted): called
    // before and after the rows change.
    virtual void RowsChanging(std::int32_t /*from*/, std::int32_t /*to*/) {}
    virtual void RowsChanged() {}
    // A row was written and its mirror line made.
    virtual void LineWritten(const LogLine& /*line*/) {}
    // Back to the header and row 1, whose cells but the number are empty.
    virtual void Cleared() {}
    // The mirror's `records` lines went into `file` and the mirror is empty.
    virtual void MirrorSaved(const std::filesystem::path& /*file*/, int /*records*/) {}
};

// The measurement log: the rows of the grid with their numbers kept beside the
// cells, the CSV mirror that the automatic save writes, the manual save, and
// the hooks that the grid, the statistics, the output streams and the crash
// journal follow. The log window shows it; a program without windows drives
// it alone and writes the same lines and files. Plain C++: everything it
// reports goes through its listeners and the functions it is given.
class RecordLog final : public LogSink {
public:
    // Writes the mirror's lines for good and returns the file that took them;
    // throws CsvFileError when it cannot.
    using MirrorWriter = std::function<std::filesystem::path(const std::vector<std::string>&)>;

    RecordLog();
    RecordLog(const RecordLog&) = delete;
    RecordLog& operator=(const RecordLog&) = delete;

    // Automatic saves: a new file named after the local date and time in
    // `directory` (the working directory when empty).
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
    // The crash journal's hook; nullptr for none.
    void SetObserver(LogObserver* newObserver) { observer = newObserver; }
    // Listeners are told in the order they subscribed; each must unsubscribe
    // before it goes.
    void Subscribe(LogListener& listener);
    void Unsubscribe(LogListener& listener);

    // A record that carries texts only: its numbers are read from its texts.
    void Add(const TAData& record, RowPart part) override;
    void AddWithValues(const TAData& record, const LogValues& values, RowPart part) override;
    void Clear() override;
    // The automatic save; a failure is reported and the lines wait in the
    // mirror for the next save.
    void AutoSave() override;

    // Writes the records the mirror holds, as the save at the end of a run.
    // True when there was nothing to write or it was written.
    bool SaveMirror();
    // The same without the report: the error's text when the lines could not
    // be written (they stay in the mirror).
    std::optional<std::string> WriteMirror();
    // Writes every grid row, the header row first, to `file` (the manual
    // save); throws CsvFileError when it cannot.
    void SaveGrid(const std::filesystem::path& file) const;

    const CsvMirror& Mirror() const { return mirror; }
    const std::vector<std::string>& Headers() const { return headers; }
    // Grid rows, the header row counted: at least 2.
    int RowCount() const { return static_cast<int>(rows.size()) + 1; }
    // The cells of a grid row, row 0 being the header row; throws
    // std::out_of_range for a row outside the grid.
    std::span<const std::string> RowCells(int gridRow) const;
    // The numbers of a record row (grid row 1 and up).
    const LogValues& Values(int gridRow) const;

private:
    struct Row {
        LogCells cells;
        LogValues values;
    };

    void Resize(std::size_t records);
    void MirrorEmptied(const std::filesystem::path& file, int records);

    std::vector<std::string> headers;
    std::vector<Row> rows; // grid rows 1 and up; at least one
    CsvMirror mirror;
    MirrorWriter mirrorWriter;
    std::function<void(const LogLine&)> lineListener;
    std::function<void(const std::string&)> saveFailed;
    std::vector<LogListener*> listeners;
    LogObserver* observer = nullptr;
    bool mirrorDelivers = false;
};

} // namespace lrf
