#include "JournalWriter.h"

#include "CsvFile.h"
#include "FileSync.h"
#include "LineTail.h"
#include "Recovery.h"
#include "RunLock.h"

#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>
#include <iterator>

namespace lrf::journal {

namespace {

std::filesystem::path ToPath(const std::string& text) {
    return std::filesystem::path(text);
}

bool IsLine(const JournalOp& op) {
    return std::holds_alternative<AppendLine>(op) || std::holds_alternative<ReplaceLine>(op);
}

// Committed at once but made durable with the lines: a judged reply goes with
// its record. A unit's start and verdict are synced when written.
bool WaitsForSync(const JournalOp& op) {
    return IsLine(op) || std::holds_alternative<UnitShot>(op);
}

void AddRanges(std::vector<SeqRange>& to, const std::vector<SeqRange>& more) {
    to.insert(to.end(), more.begin(), more.end());
    std::sort(to.begin(), to.end(),
              [](const SeqRange& a, const SeqRange& b) { return a.first < b.first; });
    std::vector<SeqRange> merged;
    for (const SeqRange& range : to) {
        if (!merged.empty() && range.first <= merged.back().last + 1)
            merged.back().last = std::max(merged.back().last, range.last);
        else
            merged.push_back(range);
    }
    to = std::move(merged);
}

void RemoveSeq(std::vector<SeqRange>& ranges, std::int64_t seq) {
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        SeqRange& range = ranges[i];
        if (seq < range.first || seq > range.last)
            continue;
        const SeqRange after{seq + 1, range.last};
        range.last = seq - 1;
        if (after.first <= after.last)
            ranges.insert(ranges.begin() + static_cast<std::ptrdiff_t>(i) + 1, after);
        if (ranges[i].first > ranges[i].last)
            ranges.erase(ranges.begin() + static_cast<std::ptrdiff_t>(i));
        return;
    }
}

} // namespace

int WriterSettings::KeepDaysFromEnvironment() {
    bool ok = false;
    const int days = qEnvironmentVariableIntValue("LRF_JOURNAL_KEEP_DAYS", &ok);
    return ok && days >= 0 ? days : 30;
}

JournalWriter::JournalWriter(std::unique_ptr<JournalStore> store, WriterSettings settings,
                             Events events)
    : store(std::move(store))
    , settings(std::move(settings))
    , events(std::move(events)) {}

JournalWriter::~JournalWriter() {
    Finish();
}

void JournalWriter::Start() {
    if (!thread.joinable())
        thread = std::thread([this] { Run(); });
}

bool JournalWriter::Push(JournalOp op, LineTail::Spot spot) {
    if (!accepting.load(std::memory_order_relaxed))
        return false;
    {
        const std::lock_guard guard(mutex);
        // While the writer is busy (a try that waits for another program's
        // lock), what comes beyond the bound waits where the tail holds it.
        if (spot.IsValid() && queue.size() >= InMemory() && IsLine(op)) {
            if (auto* range = std::get_if<InTail>(&queue.back());
                range && range->end == spot.begin) {
                range->end = spot.end;
                ++range->ops;
            } else {
                queue.emplace_back(InTail{spot.begin, spot.end, 1});
            }
        } else {
            queue.emplace_back(Pushed{std::move(op), spot});
        }
    }
    wake.notify_one();
    return true;
}

std::future<void> JournalWriter::Flush() {
    auto barrier = std::make_shared<std::promise<void>>();
    std::future<void> done = barrier->get_future();
    {
        const std::lock_guard guard(mutex);
        if (!thread.joinable() || stopping) {
            barrier->set_value();
            return done;
        }
        queue.emplace_back(std::move(barrier));
    }
    wake.notify_one();
    return done;
}

void JournalWriter::Finish() {
    {
        const std::lock_guard guard(mutex);
        if (!thread.joinable() || stopping)
            return;
        queue.emplace_back(Pushed{EndRun{}, {}});
        stopping = true;
    }
    wake.notify_one();
    thread.join();
}

QString JournalWriter::TailPath() const {
    return LineTail::PathFor(settings.path, settings.token);
}

void JournalWriter::TakeIncoming(std::vector<Item>& incoming) {
    for (Item& item : incoming) {
        if (auto* barrier = std::get_if<Barrier>(&item)) {
            barriers.push_back(std::move(*barrier));
            continue;
        }
        if (const auto* lines = std::get_if<InTail>(&item)) {
            WaitInTail(*lines);
            continue;
        }
        auto& [op, spot] = std::get<Pushed>(item);
        // A file that is not on the disk may not count: its lines stay unsaved.
        if (const auto* mark = std::get_if<MarkTaken>(&op);
            mark && !mark->delivered && !SyncFileToDisk(ToPath(mark->file))) {
            settledOps.fetch_add(1, std::memory_order_release);
            continue;
        }
        if (later.empty() && held.size() < InMemory()) {
            held.push_back(std::move(op));
        } else if (spot.IsValid() && IsLine(op)) {
            WaitInTail({spot.begin, spot.end, 1});
        } else {
            later.emplace_back(std::move(op));
            ++laterOps;
        }
    }
    incoming.clear();
}

void JournalWriter::WaitInTail(const InTail& lines) {
    laterOps += lines.ops;
    if (auto* range = later.empty() ? nullptr : std::get_if<InTail>(&later.back());
        range && range->end == lines.begin) {
        range->end = lines.end;
        range->ops += lines.ops;
        return;
    }
    later.emplace_back(lines);
}

void JournalWriter::Refill() {
    while (held.size() < InMemory() && !later.empty()) {
        if (auto* op = std::get_if<JournalOp>(&later.front())) {
            held.push_back(std::move(*op));
            later.pop_front();
            --laterOps;
            continue;
        }
        InTail& range = std::get<InTail>(later.front());
        std::optional<LineTail::Part> part = LineTail::ReadPart(
            TailPath(), range.begin, range.end, std::min(range.ops, InMemory() - held.size()));
        if (!part || part->ops.empty())
            throw JournalError(JournalError::Kind::WriteFailed,
                               "its line tail " + TailPath().toStdString() + " cannot be read");
        const std::size_t read = part->ops.size();
        std::move(part->ops.begin(), part->ops.end(), std::back_inserter(held));
        range.begin = part->next;
        range.ops -= std::min(read, range.ops);
        laterOps -= read;
        if (range.ops == 0)
            later.pop_front();
    }
}

void JournalWriter::Settle(std::size_t n) {
    for (const JournalOp& op : std::span(held).first(n)) {
        if (const auto* mark = std::get_if<MarkTaken>(&op); mark && mark->run == kThisRun) {
            if (!taken.empty() && taken.back().file == mark->file &&
                taken.back().delivered == mark->delivered)
                AddRanges(taken.back().ranges, mark->ranges);
            else
                taken.push_back(*mark);
        } else if (const auto* replace = std::get_if<ReplaceLine>(&op)) {
            // A rewritten line is held by no file.
            for (MarkTaken& file : taken)
                RemoveSeq(file.ranges, replace->line.seq);
        }
    }
    settledOps.fetch_add(n, std::memory_order_release);
    held.erase(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(n));
}

bool JournalWriter::WriteHeld(bool durable) {
    try {
        if (reopen)
            Reopen({});
        Refill();
        if (held.empty()) {
            store->Sync(run);
            durable = true;
        }
        // While the journal fails, a try writes a few operations first and the
        // rest only once they went through: a failing try costs little however
        // much is held, and the pauses between tries grow. The rest goes in
        // transactions of what fits in memory.
        bool lastDurable = durable;
        for (std::size_t first = failing ? std::min(held.size(), kTryFirst) : held.size();
             first > 0; first = held.size()) {
            const std::span<const JournalOp> ops = std::span(held).first(first);
            // Marks and the end of the run do not wait.
            lastDurable = durable || !std::all_of(ops.begin(), ops.end(), WaitsForSync);
            store->Write(run, ops, lastDurable);
            Settle(first);
            Refill();
        }
        durable = lastDurable;
    } catch (const JournalError& e) {
        std::string reason = e.what();
        if (e.kind == JournalError::Kind::Damaged && !replacing) {
            replacing = true;
            bool replaced = false;
            bool wrote = false;
            try {
                Reopen(reason);
                replaced = true;
                wrote = WriteHeld(durable); // counts its own failure
            } catch (const JournalError& again) {
                reason = again.what();
            }
            replacing = false;
            if (replaced)
                return wrote;
        }
        if (!failing && events.writeFailed)
            events.writeFailed(reason);
        retryPause = failing ? std::min(retryPause * 2, settings.retryAtMost) : settings.retryAfter;
        failing = true;
        retryAt = Clock::now() + retryPause;
        return false;
    }
    if (durable) {
        dirty = false;
    } else if (!dirty) {
        dirty = true;
        durableAt = Clock::now() + settings.durableWithin;
    }
    failing = false;
    return true;
}

void JournalWriter::Reopen(const std::string& damage) {
    JournalStore::OpenResult result;
    try {
        result = damage.empty() ? store->Open() : store->ReplaceDamaged(damage);
        run = store->ResumeRun(settings.token, settings.info);
        // What the damaged journal lost of this run: the lines the tail holds
        // (every line since a file last took them all) and which files took them.
        store->RestoreRun(run, LineTail::Read(TailPath()), taken);
    } catch (const JournalError& e) {
        // Never a write to a run that is not this one's: the journal stays
        // closed until a later try opens it again.
        store->Close();
        reopen = true;
        throw;
    }
    reopen = false;
    if (!result.movedAsideTo.empty() && events.replaced)
        events.replaced(result);
}

void JournalWriter::Run() {
    const StartReport report = OpenAndRecover();
    if (!report.available)
        accepting.store(false);
    if (events.started)
        events.started(report);

    // Retention's first pass comes once the run has started; without a
    // journal there is nothing to prune and it never comes.
    if (report.available)
        Prune();
    else
        pruneAt = Clock::now() + std::chrono::hours(24 * 365 * 10);
    std::vector<Item> incoming;
    std::unique_lock guard(mutex);
    for (;;) {
        if (!stopping) {
            if (failing)
                wake.wait_until(guard, retryAt, [&] { return stopping; });
            else if (dirty)
                wake.wait_until(guard, std::min(durableAt, pruneAt),
                                [&] { return stopping || !queue.empty(); });
            else
                wake.wait_until(guard, pruneAt, [&] { return stopping || !queue.empty(); });
        }
        incoming.swap(queue);
        const bool stop = stopping;
        guard.unlock();

        if (report.available && !stop && !failing && Clock::now() >= pruneAt)
            Prune();

        TakeIncoming(incoming);
        if (!report.available) {
            settledOps.fetch_add(Waiting(), std::memory_order_release);
            held.clear(); // no journal this run: nothing to keep
            later.clear();
            laterOps = 0;
        } else if (Waiting() > 0 || (dirty && Clock::now() >= durableAt) || (failing && stop)) {
            WriteHeld(dirty && Clock::now() >= durableAt);
        }
        if (!failing || stop) {
            for (Barrier& barrier : barriers)
                barrier->set_value();
            barriers.clear();
        }

        guard.lock();
        if (stop && queue.empty())
            break;
    }
    guard.unlock();
    if (report.available && dirty && !failing)
        WriteHeld(true);
    wroteEverything.store(report.available && Waiting() == 0 && !failing && !dirty);
    store->Close();
    lock.reset(); // the run is over: its lines may be recovered from now on
}

namespace {

void Note(StartReport& report, const JournalStore::OpenResult& opened) {
    if (opened.movedAsideTo.empty())
        return;
    report.movedAsideTo = opened.movedAsideTo;
    report.movedAsideReason = opened.movedAsideReason;
    report.salvagedRecords = opened.salvagedRecords;
    report.salvageIncomplete = opened.salvageIncomplete;
}

} // namespace

StartReport JournalWriter::OpenAndRecover() {
    StartReport report;
    try {
        Note(report, store->Open());
        // The lock comes first: whoever sees this run in the journal sees it alive.
        if (settings.token.empty())
            settings.token = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
        lock = std::make_unique<RunLock>(settings.path, settings.token);
        if (!lock->Acquire())
            throw JournalError(JournalError::Kind::Unavailable,
                               "the lock of this run cannot be made beside it");
        // Damage can show at any statement: the journal is then moved aside,
        // salvaged into a new one, and the run begins again there, once.
        for (bool replaced = false;;) {
            try {
                run = store->BeginRun(lock->Token(), settings.info);
                Recover(report);
                break;
            } catch (const JournalError& e) {
                if (e.kind != JournalError::Kind::Damaged || replaced)
                    throw;
                replaced = true;
                Note(report, store->ReplaceDamaged(e.what()));
            }
        }
    } catch (const JournalError& e) {
        store->Close();
        lock.reset();
        report.newer = e.kind == JournalError::Kind::Newer;
        report.unavailableReason = e.what();
        return report;
    }
    report.available = true;
    return report;
}

void JournalWriter::Prune() {
    pruneAt = Clock::now() + settings.retentionEvery;
    try {
        store->Prune(settings.keepDays);
    } catch (const JournalError&) {
        // Nothing is lost: the lines stay until a later pass removes them.
    }
}

// The tails of runs that are over hold what their writers had no time to
// commit; a tail whose run the journal does not know outlived its journal
// and brings the run back. A tail goes only once the journal holds its lines.
void JournalWriter::MergeLineTails(StartReport& report) {
    const RunInfo orphan{{}, settings.info.workingDirectory, {}, false};
    for (const LineTail::Found& tail : LineTail::FindBeside(settings.path)) {
        if (tail.token == settings.token || RunLock::IsHeld(settings.path, tail.token))
            continue;
        try {
            store->MergeTail(tail.token, LineTail::Read(tail.path), orphan);
        } catch (const JournalError& e) {
            if (e.kind == JournalError::Kind::Damaged)
                throw;
            report.recoveryFailures.push_back(e.what());
            continue;
        }
        QFile::remove(tail.path);
    }
}

void JournalWriter::Recover(StartReport& report) {
    MergeLineTails(report);
    try {
        report.cutUnits = store->CloseCutUnits(run, [this](const std::string& token) {
            return RunLock::IsHeld(settings.path, token);
        });
    } catch (const JournalError& e) {
        if (e.kind == JournalError::Kind::Damaged)
            throw;
        report.recoveryFailures.push_back(e.what());
    }
    std::vector<UnsavedRun> unsaved;
    try {
        unsaved = store->ClaimUnsavedRuns(run, [this](const std::string& token) {
            return RunLock::IsHeld(settings.path, token);
        });
    } catch (const JournalError& e) {
        if (e.kind == JournalError::Kind::Damaged)
            throw;
        report.recoveryFailures.push_back(e.what());
        return;
    }
    const std::filesystem::path fallback = ToPath(settings.info.workingDirectory);
    for (UnsavedRun& earlier : unsaved) {
        RemoveDeadSaveParts(ToPath(earlier.info.workingDirectory));
        // What a save of the run holds although the journal never heard of it
        // counts as saved by that file.
        std::vector<JournalOp> found;
        for (LinesInFile& in : TakeLinesSavedInFiles(earlier))
            found.push_back(MarkTaken{earlier.id, ToRanges(std::move(in.seqs)), in.file.string()});
        if (!found.empty()) {
            try {
                store->Write(run, found, true);
            } catch (const JournalError& e) {
                if (e.kind == JournalError::Kind::Damaged)
                    throw;
                report.recoveryFailures.push_back(e.what());
                continue; // found again at the next start
            }
        }
        if (earlier.lines.empty())
            continue;
        std::filesystem::path file;
        try {
            file = WriteRecoveryFile(earlier, fallback, LocalNow());
        } catch (const CsvFileError& e) {
            report.recoveryFailures.push_back(e.what());
            continue;
        }
        std::error_code ec;
        file = std::filesystem::absolute(file, ec);
        std::vector<std::int64_t> seqs;
        for (const JournalLine& line : earlier.lines)
            seqs.push_back(line.seq);
        try {
            if (!SyncFileToDisk(file))
                throw JournalError(JournalError::Kind::WriteFailed,
                                   "the file " + file.string() + " cannot be synced");
            const JournalOp taken = MarkTaken{earlier.id, ToRanges(std::move(seqs)), file.string()};
            store->Write(run, {&taken, 1}, true);
        } catch (const JournalError& e) {
            // Unmarked, the lines are recovered again at the next start (or
            // salvaged from a damaged journal now): the file goes, so that
            // they are not in two files then.
            std::filesystem::remove(file, ec);
            if (e.kind == JournalError::Kind::Damaged)
                throw;
            report.recoveryFailures.push_back(e.what());
            continue;
        }
        report.recovered.push_back({earlier.lines.size(), file});
    }
}

} // namespace lrf::journal
