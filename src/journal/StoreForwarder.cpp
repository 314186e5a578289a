#include "StoreForwarder.h"

namespace lrf::journal {

StoreForwarder::StoreForwarder(ForwarderSettings forwarderSettings, StateChanged stateChanged)
    : settings(std::move(forwarderSettings))
    , changed(std::move(stateChanged))
    , outbox(settings.journalPath)
    , store(settings.target, settings.limits) {}

StoreForwarder::~StoreForwarder() {
    Finish(std::chrono::milliseconds{0});
}

void StoreForwarder::Start() {
    if (!thread.joinable())
        thread = std::thread([this] { Run(); });
}

void StoreForwarder::Finish(std::chrono::milliseconds drainFor) {
    {
        const std::lock_guard guard(mutex);
        if (!thread.joinable() || stopping)
            return;
        stopping = true;
        stopBy = Clock::now() + drainFor;
    }
    wake.notify_one();
    thread.join();
}

void StoreForwarder::Run() {
    retryAfter = settings.firstRetry;
    Report();
    std::unique_lock guard(mutex);
    for (;;) {
        // Lines committed before the stop was asked for are seen by a step
        // that begins after it: the drain always takes one.
        const bool stepAfterStop = stopping;
        guard.unlock();
        const Clock::duration pause = Step();
        guard.lock();
        if (stopping) {
            // Drains while the store takes lines and time is left.
            if (stepAfterStop && (state.link != ForwardState::Link::Connected ||
                                  pause != Clock::duration::zero() || Clock::now() >= stopBy))
                break;
            continue;
        }
        const Clock::time_point nextTry = Clock::now() + pause;
        while (!stopping && Clock::now() < nextTry) {
            const Clock::time_point until = std::min(nextTry, Clock::now() + settings.countEvery);
            wake.wait_until(guard, until, [this] { return stopping; });
            if (!stopping && Clock::now() < nextTry) {
                guard.unlock();
                Refresh();
                guard.lock();
            }
        }
    }
    guard.unlock();
    if (state.link == ForwardState::Link::Connected)
        PushRunEnds();
    store.Disconnect();
    outbox.Close();
}

// A store that fails is disconnected and a journal that fails is closed, each
// to be opened afresh at the next step; the pause until then comes back.
std::optional<StoreForwarder::Clock::duration>
StoreForwarder::Pushed(const std::function<void()>& push) {
    try {
        push();
    } catch (const StoreError& e) {
        store.Disconnect();
        return Failed(e.what());
    } catch (const JournalError& e) {
        outbox.Close();
        return Failed(std::string("the journal cannot be written: ") + e.what());
    }
    return std::nullopt;
}

StoreForwarder::Clock::duration StoreForwarder::Step() {
    // A journal replaced during the run (moved aside as damaged) is followed
    // to the new file, which has an id of its own.
    if (outbox.IsOpen() && !outbox.IsStillAtPath()) {
        outbox.Close();
        store.Disconnect();
    }
    try {
        if (!outbox.IsOpen()) {
            outbox.Open();
            // Refusals of earlier runs are told as well: the journal keeps them.
            state.refused = outbox.RefusedCount();
            state.refusal = outbox.LastRefusal();
        }
    } catch (const JournalError& e) {
        return Failed(std::string("the journal cannot be read: ") + e.what());
    }
    if (!store.IsConnected()) {
        try {
            store.Connect(outbox.JournalId(), settings.station);
        } catch (const StoreError& e) {
            return Failed(e.what());
        }
    }
    std::vector<OutgoingLine> lines;
    std::map<RunId, OutgoingRun> runs;
    try {
        lines = outbox.Waiting(settings.batchSize);
        if (lines.empty())
            return ForwardUnits();
        runs = outbox.Runs(JournalOutbox::RunsOf(lines));
    } catch (const JournalError& e) {
        outbox.Close();
        return Failed(std::string("the journal cannot be read: ") + e.what());
    }
    const auto failed = Pushed([&] {
        try {
            store.Push(lines, runs);
        } catch (const StoreError& e) {
            if (!e.refusesContent)
                throw;
            lines = PushOneByOne(lines, runs);
        }
    });
    if (failed)
        return *failed;
    for (const auto& [id, run] : runs)
        runsForwarded.insert(id);
    // Should the mark fail, the lines go again later: the store takes them
    // again without a duplicate.
    std::int64_t waiting = 0;
    try {
        outbox.MarkForwarded(lines);
        // A batch short of full took all that waited. Otherwise the count is
        // taken afresh now and then only: it reads every waiting line.
        if (lines.size() == settings.batchSize) {
            if (Clock::now() >= countAt) {
                waiting = outbox.WaitingCount();
                countAt = Clock::now() + settings.countEvery;
            } else {
                waiting = std::max<std::int64_t>(
                    state.waiting - static_cast<std::int64_t>(lines.size()), 1);
            }
        }
    } catch (const JournalError& e) {
        outbox.Close();
        return Failed(std::string("the journal cannot be written: ") + e.what());
    }
    Succeeded(waiting);
    // A batch short of full took every line: the units follow in the same step.
    return lines.size() == settings.batchSize ? Clock::duration::zero() : ForwardUnits();
}

// Once every line is over: the units with their verdict, each run's in one go.
StoreForwarder::Clock::duration StoreForwarder::ForwardUnits() {
    std::vector<JournalUnit> units;
    std::map<RunId, OutgoingRun> runs;
    try {
        units = outbox.WaitingUnits(kUnitsPerBatch);
        if (units.empty()) {
            Succeeded(0);
            return settings.pollEvery;
        }
        runs = outbox.Runs(JournalOutbox::RunsOf(units));
    } catch (const JournalError& e) {
        outbox.Close();
        return Failed(std::string("the journal cannot be read: ") + e.what());
    }
    const auto failed = Pushed([&] {
        try {
            store.PushUnits(units, runs);
            outbox.MarkUnits(units);
        } catch (const StoreError& e) {
            if (!e.refusesContent)
                throw;
            // Each alone: the one the store refuses is kept in the journal only.
            for (const JournalUnit& unit : units) {
                try {
                    store.PushUnits({unit}, runs);
                    outbox.MarkUnits({unit});
                } catch (const StoreError& alone) {
                    if (!alone.refusesContent)
                        throw;
                    outbox.MarkUnits({unit}, true);
                    ++state.refused;
                    state.refusal = alone.what();
                }
            }
        }
    });
    if (failed)
        return *failed;
    Succeeded(0);
    return units.size() == kUnitsPerBatch ? Clock::duration::zero()
                                          : Clock::duration(settings.pollEvery);
}

std::vector<OutgoingLine> StoreForwarder::PushOneByOne(const std::vector<OutgoingLine>& lines,
                                                       const std::map<RunId, OutgoingRun>& runs) {
    std::vector<OutgoingLine> taken;
    for (const OutgoingLine& line : lines) {
        try {
            store.Push({line}, runs);
            taken.push_back(line);
        } catch (const StoreError& e) {
            if (!e.refusesContent) {
                outbox.MarkForwarded(taken);
                throw;
            }
            outbox.MarkRefused(line, e.what());
            ++state.refused;
            state.refusal = e.what();
        }
    }
    return taken;
}

StoreForwarder::Clock::duration StoreForwarder::Failed(const std::string& reason) {
    const Clock::time_point now = Clock::now();
    if (!failingSince)
        failingSince = now;
    state.link = ForwardState::Link::Offline;
    state.reason = reason;
    state.failingLong = now - *failingSince >= settings.longFailure;
    if (outbox.IsOpen()) {
        try {
            state.waiting = outbox.WaitingCount();
        } catch (const JournalError&) {
        }
    }
    Report();
    const std::chrono::milliseconds pause = retryAfter;
    retryAfter = std::min(retryAfter * 2, settings.maxRetry);
    return pause;
}

void StoreForwarder::Succeeded(std::int64_t waiting) {
    state = {ForwardState::Link::Connected, {}, waiting, false, state.refused, state.refusal};
    failingSince.reset();
    retryAfter = settings.firstRetry;
    Report();
}

void StoreForwarder::Refresh() {
    if (state.link != ForwardState::Link::Offline)
        return;
    if (failingSince)
        state.failingLong = Clock::now() - *failingSince >= settings.longFailure;
    if (outbox.IsOpen()) {
        try {
            state.waiting = outbox.WaitingCount();
        } catch (const JournalError&) {
        }
    }
    Report();
}

void StoreForwarder::Report() {
    if (reported && *reported == state)
        return;
    reported = state;
    if (changed)
        changed(state);
}

void StoreForwarder::PushRunEnds() {
    if (runsForwarded.empty() || !outbox.IsOpen())
        return;
    try {
        store.Push({}, outbox.Runs(runsForwarded));
    } catch (const std::exception&) {
        // The end of a run is an extra: its lines are in the store already.
    }
}

} // namespace lrf::journal
