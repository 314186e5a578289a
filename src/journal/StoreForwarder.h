#pragma once

#include "PgRecordStore.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

namespace lrf::journal {

struct ForwarderSettings {
    QString journalPath;
    StoreTarget target;
    StationInfo station;
    StoreLimits limits;
    std::size_t batchSize = 500; // lines per transaction on the server
    // While nothing waits: how soon new lines of the journal are looked for.
    std::chrono::milliseconds pollEvery{200};
    // After a failure the next try comes after firstRetry, doubling up to maxRetry.
    std::chrono::milliseconds firstRetry{1000};
    std::chrono::milliseconds maxRetry{30000};
    // While it waits to try again, the count of waiting lines is refreshed this often.
    std::chrono::milliseconds countEvery{1000};
    // Failing this long, the state says so once (failingLong).
    std::chrono::milliseconds longFailure{60000};
};

// How forwarding stands, as the operator sees it.
struct ForwardState {
    enum class Link { Connecting, Connected, Offline };
    Link link = Link::Connecting;
    std::string reason;        // of the last failure, while Offline
    std::int64_t waiting = -1; // lines in the journal not yet in the store; -1 unknown
    bool failingLong = false;  // Offline for longer than longFailure without a success
    std::int64_t refused = 0;  // lines the store refused for their content, kept in the journal
    std::string refusal;       // the store's reason for the latest of them
    bool operator==(const ForwardState&) const = default;
};

// The forwarding worker: a thread of its own reads the journal's lines that
// wait for the store, in order, pushes them in batches and marks them as
// forwarded once the server has committed them. A failure (no server, a
// refused login, a full disk, a lost connection) leaves the lines waiting in
// the journal; the worker tries again after 1 s, 2 s, ... up to 30 s. It never
// holds up the journal's writer or the log's thread: they do not know it.
class StoreForwarder {
public:
    // Called on the worker thread, whenever the state changes.
    using StateChanged = std::function<void(const ForwardState&)>;

    StoreForwarder(ForwarderSettings settings, StateChanged changed);
    ~StoreForwarder();
    StoreForwarder(const StoreForwarder&) = delete;
    StoreForwarder& operator=(const StoreForwarder&) = delete;

    void Start();
    // Ends the worker. While the store takes lines it forwards what waits for
    // at most drainFor first; the rest goes at a later start.
    void Finish(std::chrono::milliseconds drainFor = std::chrono::milliseconds{3000});

private:
    using Clock = std::chrono::steady_clock;
    void Run();
    // One step: connect, or forward a batch. Returns how long to wait before
    // the next, or zero to go on at once.
    Clock::duration Step();
    Clock::duration ForwardUnits();
    // Runs `push` against the store and the journal: nothing when it went
    // through, else the pause before the next try.
    std::optional<Clock::duration> Pushed(const std::function<void()>& push);
    Clock::duration Failed(const std::string& reason);
    void Succeeded(std::int64_t waiting);
    // While it waits to try again: the count of waiting lines and how long it fails.
    void Refresh();
    void Report();
    // At the end: the runs whose lines went over get their end as the journal has it.
    void PushRunEnds();
    // The batch failed for a line's content: each line alone, the refused ones
    // marked as such. Returns the lines the store took; throws StoreError
    // when the store fails otherwise.
    std::vector<OutgoingLine> PushOneByOne(const std::vector<OutgoingLine>& lines,
                                           const std::map<RunId, OutgoingRun>& runs);

    static constexpr std::size_t kUnitsPerBatch = 50;

    ForwarderSettings settings;
    StateChanged changed;
    JournalOutbox outbox;
    PgRecordStore store;

    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;      // guarded by mutex
    Clock::time_point stopBy{}; // guarded by mutex
    std::thread thread;

    // Worker thread only.
    ForwardState state;
    std::optional<ForwardState> reported;
    std::chrono::milliseconds retryAfter{};
    std::optional<Clock::time_point> failingSince;
    std::set<RunId> runsForwarded;
    Clock::time_point countAt{}; // the next full count of waiting lines
};

} // namespace lrf::journal
