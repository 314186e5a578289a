#pragma once

#include "JournalStore.h"
#include "LineTail.h"

#include <QString>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace lrf::journal {

class RunLock;

// What the writer found when it opened the journal.
struct StartReport {
    bool available = false;
    bool newer = false;            // refused: a newer version's journal
    std::string unavailableReason; // why there is no journal this run
    std::string movedAsideTo;      // a damaged journal went there
    std::string movedAsideReason;
    std::size_t salvagedRecords = 0; // unsaved lines taken over from the moved-aside journal
    bool salvageIncomplete = false;  // parts of it could not be read
    struct Recovered {
        std::size_t records = 0;
        std::filesystem::path file;
    };
    std::vector<Recovered> recovered;
    std::vector<std::string> recoveryFailures;
    // Units of earlier runs cut short by their run's end, closed with a verdict.
    std::vector<CutUnit> cutUnits;
};

struct WriterSettings {
    QString path;      // the journal file; its run locks go beside it
    RunInfo info;      // of this run
    std::string token; // names the run's lock and line tail; made here when empty
    // A line committed without waiting for the disk is made durable within this.
    std::chrono::milliseconds durableWithin{200};
    // After a failed write, the next try; the pause doubles while the writes
    // keep failing, up to retryAtMost.
    std::chrono::milliseconds retryAfter{1000};
    std::chrono::milliseconds retryAtMost{30000};
    // Operations kept in memory while they wait; the lines beyond them wait
    // only in the run's line tail.
    std::size_t heldInMemory = 512;
    // Retention: the lines that files (and the record store) took more than
    // keepDays days ago are removed at the start and then every retentionEvery.
    int keepDays = 30;
    std::chrono::milliseconds retentionEvery{std::chrono::hours(24)};

    // LRF_JOURNAL_KEEP_DAYS when it holds a number of days (0 or more), else 30.
    static int KeepDaysFromEnvironment();
};

// The journal's writer thread. The log's thread hands it operations through
// Push, which only queues them; the thread commits whatever has arrived at
// once without waiting for the disk (so a killed process loses nothing that
// was committed), makes the commits durable at least every durableWithin
// while lines come in, and syncs a saved file before it marks lines taken by
// it. A failed write keeps its operations and tries them again later: the
// first few hundred in memory, the lines beyond them only as the places where
// the run's line tail holds them, read back in order once the journal takes
// them again. A journal found damaged during the run is moved aside and
// salvaged into a new one, and the run goes on there.
class JournalWriter {
public:
    // Called on the writer thread.
    struct Events {
        std::function<void(const StartReport&)> started;
        std::function<void(const std::string& reason)> writeFailed; // once per failing spell
        // The journal was found damaged during the run and replaced by a new one.
        std::function<void(const JournalStore::OpenResult&)> replaced;
    };

    JournalWriter(std::unique_ptr<JournalStore> store, WriterSettings settings, Events events);
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // Opens the journal, recovers earlier runs and starts writing, all on the thread.
    void Start();

    // Queues an operation; false once it is known that there is no journal.
    // spot: where the run's line tail holds the line, if it does; such a line
    // need not stay in memory while the journal fails.
    bool Push(JournalOp op, LineTail::Spot spot = {});

    // Ready once everything pushed before it has been written (or dropped).
    std::future<void> Flush();

    // Ends the run: writes what is left, syncs, and joins the thread.
    void Finish();
    // After Finish: every operation pushed is in the journal.
    bool WroteEverything() const { return wroteEverything.load(); }
    // How many of the operations pushed so far are written (or dropped as
    // meaningless: a mark of a file that is not on the disk).
    std::uint64_t SettledOps() const { return settledOps.load(std::memory_order_acquire); }

private:
    using Barrier = std::shared_ptr<std::promise<void>>;
    struct Pushed {
        JournalOp op;
        LineTail::Spot spot;
    };
    // Consecutive lines that wait in the line tail only: its bytes from begin
    // to end, ops lines.
    struct InTail {
        qint64 begin = 0;
        qint64 end = 0;
        std::size_t ops = 0;
    };
    // InTail: lines that came while the writer was busy, beyond the bound.
    using Item = std::variant<Pushed, InTail, Barrier>;
    using Later = std::variant<JournalOp, InTail>;
    using Clock = std::chrono::steady_clock;

    void Run();
    StartReport OpenAndRecover();
    void MergeLineTails(StartReport& report);
    void Recover(StartReport& report);
    // Writes held and later; true on success.
    bool WriteHeld(bool durable);
    void TakeIncoming(std::vector<Item>& incoming);
    // Lines that wait in the line tail, after everything else.
    void WaitInTail(const InTail& lines);
    // Moves what waits in later into held, up to heldInMemory operations.
    void Refill();
    // The first n operations of held are in the journal.
    void Settle(std::size_t n);
    // Opens the journal again during the run: after damage was found (reason)
    // it is moved aside and salvaged into a new one first. Then the run goes
    // on there with what its line tail and its marks hold put back. Throws
    // JournalError; the next try then opens it again.
    void Reopen(const std::string& damage);
    QString TailPath() const;
    std::size_t Waiting() const { return held.size() + laterOps; }
    std::size_t InMemory() const { return std::max(settings.heldInMemory, kTryFirst); }
    // Retention's pass; a failure waits for the next one.
    void Prune();

    std::unique_ptr<JournalStore> store;
    WriterSettings settings;
    Events events;
    std::unique_ptr<RunLock> lock;
    RunId run = 0;

    std::mutex mutex;
    std::condition_variable wake;
    std::vector<Item> queue; // guarded by mutex
    bool stopping = false;   // guarded by mutex
    std::atomic<bool> accepting{true};
    std::atomic<bool> wroteEverything{false};
    std::atomic<std::uint64_t> settledOps{0};
    std::thread thread;

    // Writer thread only.
    static constexpr std::size_t kTryFirst = 64; // operations of a try while failing
    // Not yet written, in order: held, then later (once held is full).
    std::vector<JournalOp> held;
    std::deque<Later> later;
    std::size_t laterOps = 0;
    std::vector<Barrier> barriers; // resolved when held is written
    // The files that took lines of this run, as written to the journal: what a
    // replacement of the journal writes again.
    std::vector<MarkTaken> taken;
    bool failing = false;
    bool reopen = false;    // the journal must be opened again before the next write
    bool replacing = false; // within a replacement: damage found again is a failure
    bool dirty = false;     // committed, not yet durable
    Clock::time_point durableAt{};
    Clock::time_point retryAt{};
    std::chrono::milliseconds retryPause{};
    Clock::time_point pruneAt{};
};

} // namespace lrf::journal
