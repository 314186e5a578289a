#pragma once

#include "UnitResultSink.h"

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace lrf::journal {

// A program run as the journal knows it; 0 stands for "the run that writes".
using RunId = std::int64_t;
inline constexpr RunId kThisRun = 0;

// The ten cell texts of a log line, in column order, as the CSV line is built
// from them.
using Cells = std::array<std::string, 10>;

struct RunInfo {
    std::string startedAt;        // local time, ISO 8601 with its offset
    std::string workingDirectory; // absolute; where its automatic saves go
    std::string programVersion;
    bool toStore = false; // its lines are forwarded to a record store
};

// One log line: its number in the run (the order of the mirror), its grid row
// and its cells.
struct JournalLine {
    std::int64_t seq = 0;
    std::int32_t gridRow = 0;
    Cells cells;
};

// Line numbers first to last, both included.
struct SeqRange {
    std::int64_t first = 0;
    std::int64_t last = 0;
    bool operator==(const SeqRange&) const = default;
};

// Sorted line numbers as runs of consecutive numbers.
std::vector<SeqRange> ToRanges(std::vector<std::int64_t> seqs);

// What the writer asks of the store, applied in order.
struct AppendLine {
    JournalLine line;
};
// The line was written again (the speed half of a rotation pair): its cells
// change and no file holds it as it now stands.
struct ReplaceLine {
    JournalLine line;
};
// The lines are in file, written completely and synced.
struct MarkTaken {
    RunId run = kThisRun;
    std::vector<SeqRange> ranges;
    std::string file;
    // The lines went into a stream (a pipe, a terminal, standard output) that
    // has them once written: there is no file for the writer to sync.
    bool delivered = false;
};
// The run ends in order.
struct EndRun {};

// A unit checked against a test plan, by its number in the run: when its run
// starts (record holds no verdict yet) and when it is over, with its verdict.
struct UnitRow {
    std::int64_t unit = 0;
    std::shared_ptr<const verify::UnitRecord> record;
    bool finished = false;
};
// One judged reply of a unit, as it comes: what a unit cut short by a crash
// is judged on again at the next start.
struct UnitShot {
    std::int64_t unit = 0;
    std::int32_t index = 0; // from 0, in the order of the replies
    verify::ShotResult shot;
};

using JournalOp = std::variant<AppendLine, ReplaceLine, MarkTaken, EndRun, UnitRow, UnitShot>;

// A unit of an earlier run that the run's end cut short, closed at the start.
struct CutUnit {
    std::string instrumentCode;
    std::string verdictLine; // "FAIL: cut short after ..."
};

// Lines of an earlier run that no file holds, claimed for recovery.
struct UnsavedRun {
    RunId id = 0;
    RunInfo info;
    std::vector<JournalLine> lines; // in order
};

// A journal that cannot be used or written. what() is a plain-language reason.
class JournalError : public std::runtime_error {
public:
    enum class Kind {
        Unavailable, // cannot be opened or created here
        Newer,       // made by a newer version of the program: left untouched
        WriteFailed, // a write did not go through (disk full, I/O error)
        Damaged,     // the journal's file is damaged: it is moved aside and salvaged
    };
    JournalError(Kind kind, const std::string& reason)
        : std::runtime_error(reason)
        , kind(kind) {}
    const Kind kind;
};

} // namespace lrf::journal
