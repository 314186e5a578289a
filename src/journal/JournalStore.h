#pragma once

#include "JournalTypes.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lrf::journal {

// What a journal store does, whatever keeps the data. A store is used from one
// thread only, the journal's writer.
class JournalStore {
public:
    virtual ~JournalStore() = default;

    // Opens the journal, creating or upgrading it as needed. A damaged journal
    // of ours is moved aside, what can be read of it goes into a new one, and
    // the result says where the old one went and what was salvaged. A file
    // that is not our journal is left as it is. Throws JournalError
    // (Unavailable or Newer).
    struct OpenResult {
        std::string movedAsideTo; // empty when nothing was moved
        std::string movedAsideReason;
        std::size_t salvagedRecords = 0;
        bool salvageIncomplete = false; // parts of the old one could not be read
    };
    virtual OpenResult Open() = 0;

    // The open journal turned out damaged (a JournalError of kind Damaged):
    // moves it aside, opens a new one and salvages into it as Open does. The
    // run must begin again. Throws JournalError (Unavailable).
    virtual OpenResult ReplaceDamaged(const std::string& reason) = 0;

    // Registers this run; token names the lock the run holds while it lives.
    virtual RunId BeginRun(const std::string& token, const RunInfo& info) = 0;

    // The run of token, when the journal was replaced during the run: its row
    // as the salvage brought it over, else registered anew with info.
    virtual RunId ResumeRun(const std::string& token, const RunInfo& info) = 0;

    // Puts back into run what a replaced journal may have lost of it: the lines
    // of tail (the last version of each) that the journal lacks or holds with
    // other cells, then the marks of the files that took lines of the run.
    // One durable transaction. Returns how many lines were put back.
    virtual std::size_t RestoreRun(RunId run, std::span<const JournalOp> tail,
                                   std::span<const MarkTaken> taken) = 0;

    // Claims, for this run, the earlier runs that have lines no file holds and
    // that neither live nor are being recovered by a live run; isAlive tells
    // by a run's token. Returns their unsaved lines. One transaction, so two
    // programs starting together never claim the same run.
    virtual std::vector<UnsavedRun>
    ClaimUnsavedRuns(RunId claimant, const std::function<bool(const std::string&)>& isAlive) = 0;

    // Adds to the run of token what its line tail holds beyond the run's lines
    // in the journal: the appends past its last line, and a replace of that line
    // that the journal does not have yet. A run the journal does not know (its
    // journal was replaced) is added with orphan as its details and all the
    // tail's lines. One durable transaction, so two programs doing it at once
    // add each line once. Returns how many operations were added.
    virtual std::size_t MergeTail(const std::string& token, std::span<const JournalOp> tail,
                                  const RunInfo& orphan) = 0;

    // Applies the operations of run in one transaction; kThisRun in a
    // MarkTaken means run. durable: synced to the disk before returning.
    // Throws JournalError (WriteFailed); nothing of a failed call is kept.
    virtual void Write(RunId run, std::span<const JournalOp> ops, bool durable) = 0;

    // Makes everything written so far durable.
    virtual void Sync(RunId run) = 0;

    // Retention: removes the lines that a file took more than keepDays days
    // ago and that wait for no record store, all but the last line of each
    // run (the one a line tail is compared with); then compacts the file when
    // more than half of it is free. Throws JournalError (WriteFailed).
    struct Pruned {
        std::int64_t lines = 0; // removed
        bool compacted = false;
    };
    virtual Pruned Prune(int keepDays) = 0;

    // Units whose run ended before their verdict, in runs that are over
    // (isAlive tells by a run's token): each gets its verdict on the replies
    // it had, FAIL and marked as cut short. One durable transaction.
    virtual std::vector<CutUnit>
    CloseCutUnits(RunId claimant, const std::function<bool(const std::string&)>& isAlive) = 0;

    virtual void Close() = 0;
};

} // namespace lrf::journal
