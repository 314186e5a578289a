#pragma once

#include "JournalTypes.h"

#include <QString>

#include <string>
#include <vector>

namespace lrf::journal {

// A run of a damaged journal with the lines that no file held.
struct SalvagedRun {
    std::string token; // empty when the run's own row could not be read
    RunInfo info;
    std::string endedAt;
    std::vector<JournalLine> lines; // in order
    std::vector<bool> waiting;      // per line: it still waited for the record store
};

struct Salvage {
    std::vector<SalvagedRun> runs;
    std::size_t lines = 0;
    bool incomplete = false; // parts could not be read: lines they held are missing
};

// Reads what can still be read of a damaged journal of ours (moved aside, with
// its write-ahead log beside it): the runs and their lines that no file took.
// The journal's file is combined with the committed pages of its write-ahead
// log into a copy beside it, so a journal file that was cut or emptied still
// gives what its log holds; damaged parts of the copy are skipped. The copy is
// removed afterwards; the damaged files are only read.
Salvage SalvageJournal(const QString& path);

} // namespace lrf::journal
