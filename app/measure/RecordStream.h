#pragma once

#include "LocalTime.h"
#include "RecordLog.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace lrf::measure {

// The records of a run as they come, on standard output or in one file: CSV
// lines exactly as the log's mirror holds them (the header line before the
// first record), or one JSON object per record. A line is written once its
// row is complete; in the rotation run the speed half completes the row that
// the distance half began, so that half waits. Every written line is flushed
// at once, so that a reader at the other end of a pipe sees it.
class RecordStream {
public:
    enum class Format { Csv, Json };

    // Writes to `file` (not closed here), called `name` in messages and in
    // the journal.
    RecordStream(std::FILE* file, std::filesystem::path name, Format format, Separators separators);
    // Creates or replaces the file at `path`; nullptr when it cannot (errno set).
    static std::unique_ptr<RecordStream> Create(const std::filesystem::path& path, Format format,
                                                Separators separators);
    RecordStream(const RecordStream&) = delete;
    RecordStream& operator=(const RecordStream&) = delete;
    ~RecordStream();

    // A line the log wrote (RecordLog's line listener).
    void Line(const LogLine& line);
    // JSON fields ("key":value,...) that the next JSON lines carry after the
    // log's columns; empty for none.
    void SetJsonExtra(std::string fields) { jsonExtra = std::move(fields); }
    // The row of the last line is complete: write it.
    void Commit();
    // Writes what waits, flushes and syncs to the disk. False on an error.
    bool Finish();
    // Flushes and syncs what has been written. False on an error.
    bool Sync();

    bool Failed() const { return !error.empty(); }
    // The reader at the other end of a pipe has gone: a write failed with a
    // broken pipe, or the pipe says so before anything more is written.
    bool ReaderGone() const;
    // A write failed because the reader of the pipe had gone.
    bool BrokenPipe() const { return brokenPipe; }
    // True for a file on a disk, whose lines are delivered once synced;
    // what goes into a pipe or a terminal is delivered once written.
    bool IsRegularFile() const;
    const std::string& Error() const { return error; }
    const std::filesystem::path& Name() const { return name; }

    // The JSON object of a row, keys in column order: numbers for the values
    // (null where the log shows dashes), the time stamp in ISO 8601 with
    // milliseconds and the offset from UTC, texts as typed.
    static std::string JsonLine(std::span<const std::string> cells, const std::string& decimal);
    // A record's time stamp cell in ISO 8601 with milliseconds and the offset
    // the local time zone had then; a cell that is no time stamp as it is.
    static std::string IsoTime(std::string_view cell);

private:
    void Write(const std::string& text);
    void Fail(int number);
    std::string Render(const LogLine& line) const;

    std::FILE* file;
    std::filesystem::path name;
    Format format;
    Separators separators;
    bool ownsFile = false;
    bool headerWritten = false;
    std::optional<std::string> waiting;
    std::string headerLine;
    std::string jsonExtra;
    std::string error;
    bool brokenPipe = false;
};

} // namespace lrf::measure
