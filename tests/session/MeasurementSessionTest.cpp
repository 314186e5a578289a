#include "MeasurementSession.h"
#include "RangefinderSimulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace lrf {
namespace {

using namespace std::chrono_literals;
using sim::SimFault;

// Runs the event loop until `done()` holds, at most `limitMs`.
template <typename Pred> bool RunUntil(Pred done, int limitMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// A session on the simulator's pseudo-terminal with everything it announces
// written down.
class SessionTest : public ::testing::Test {
protected:
    explicit SessionTest(SessionOptions options = {})
        : session(options) {}

    void SetUp() override {
        sim::SimSettings settings;
        settings.linePace = false;
        instrument.SetSettings(settings);
        instrument.Start();
        QObject::connect(&session, &MeasurementSession::measured, &session,
                         [this](const Measurement& m) { measured.push_back(m); });
        QObject::connect(
            &session, &MeasurementSession::runChanged, &session,
            [this](RunMode mode, bool running) { runs.push_back(running ? mode : RunMode::None); });
        QObject::connect(&session, &MeasurementSession::runCompleted, &session,
                         [this] { ++completed; });
        QObject::connect(&session, &MeasurementSession::noReply, &session, [this] { ++noReply; });
        ASSERT_FALSE(session.open(instrument.DevicePath(), cport::br19200));
    }

    std::vector<std::uint8_t> commands() const {
        std::vector<std::uint8_t> sent;
        for (const sim::SimExchange& e : instrument.History())
            sent.push_back(e.command);
        return sent;
    }

    sim::RangefinderSimulator instrument; // declared first: outlives the port
    MeasurementSession session;
    std::vector<Measurement> measured;
    std::vector<RunMode> runs;
    int completed = 0;
    int noReply = 0;
};

// Each run sends its commands in its order, paces them from the reply's
// arrival, gathers split replies into one, and completes with the reply to
// its last shot.
TEST_F(SessionTest, RunsSendTheirShotsAndCompleteWithTheLastReply) {
    struct Case {
        const char* what;
        RunMode mode;
        int shots;
        SimFault fault;
        std::vector<std::uint8_t> commands;
    };
    const Case cases[] = {
        {"distance", RunMode::Distance, 3, SimFault::None, {0x0F, 0x0F, 0x0F}},
        {"speed, split replies", RunMode::Speed, 3, SimFault::SplitFrame, {0x0D, 0x0D, 0x0D}},
        {"rotation, two pairs", RunMode::Rotation, 4, SimFault::None, {0x0F, 0x0D, 0x0F, 0x0D}},
        {"one shot", RunMode::Distance, 1, SimFault::None, {0x0F}},
    };
    session.setRotationPeriod(15);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        instrument.ClearHistory();
        instrument.SetFault(c.fault, -1);
        measured.clear();
        runs.clear();
        completed = 0;
        session.startRun(c.mode, c.shots);
        ASSERT_TRUE(RunUntil([&] { return completed == 1; }));
        EXPECT_EQ(commands(), c.commands);
        // A count of one is a single shot: no run starts.
        const std::vector<RunMode> started{c.mode, RunMode::None};
        EXPECT_EQ(runs, c.shots == 1 ? std::vector<RunMode>() : started);
        EXPECT_FALSE(session.busy());
        ASSERT_EQ(measured.size(), c.commands.size());
        for (std::size_t i = 0; i < measured.size(); ++i) {
            const Measurement& m = measured[i];
            EXPECT_TRUE(m.complete);
            EXPECT_EQ(m.frame.size(), 8u);
            const bool distance = c.commands[i] == 0x0F;
            EXPECT_EQ(m.distance.has_value(), distance) << i;
            EXPECT_EQ(m.speed.has_value(), !distance) << i;
            EXPECT_EQ(m.rotation, c.mode == RunMode::Rotation) << i;
            EXPECT_EQ(m.rotationDistanceHalf, m.rotation && distance) << i;
        }
        // Seen from the instrument, no command comes sooner than the shot pause
        // after the reply before it.
        const std::vector<sim::SimExchange> history = instrument.History();
        for (std::size_t i = 1; i < history.size(); ++i)
            EXPECT_GE(history[i].received - history[i - 1].written, MeasurementSession::kShotPause)
                << i;
        instrument.SetFault(SimFault::None);
    }
}

// The shot count: how many commands a continuous run sends, what it shows at
// each tick (the count before that tick's decrease) and what it counts again
// at the end.
TEST_F(SessionTest, ContinuousRunsCountTheirShotsDown) {
    struct Case {
        int shots;
        int stopAfter; // replies, for a run without end
        std::vector<std::int32_t> shown;
    };
    const Case cases[] = {
        {2, 0, {2}},
        {4, 0, {4, 3, 2}},
        {0, 4, {0, 0, 0}},
        {-3, 4, {-3, -3, -3}},
    };
    std::vector<std::int32_t> shown;
    QObject::connect(&session, &MeasurementSession::shotCounted, &session,
                     [&](std::int32_t value) { shown.push_back(value); });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shots);
        instrument.ClearHistory();
        measured.clear();
        runs.clear();
        shown.clear();
        session.startRun(RunMode::Distance, c.shots);
        if (c.stopAfter > 0) {
            ASSERT_TRUE(RunUntil([&] { return measured.size() >= std::size_t(c.stopAfter); }));
            session.stopRun(RunMode::Distance);
            shown.resize(std::min(shown.size(), c.shown.size()));
        } else {
            ASSERT_TRUE(RunUntil([&] { return completed > 0; }));
            completed = 0;
            EXPECT_EQ(commands().size(), std::size_t(c.shots));
        }
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(runs, (std::vector<RunMode>{RunMode::Distance, RunMode::None}));
        EXPECT_EQ(session.control().ContinuousCount, c.shots);
        EXPECT_FALSE(session.running(RunMode::Distance));
    }
}

// Two runs share one flag and one count: the run whose tick sends the
// count's last shot ends, and the other is left running but no longer
// re-armed, until its own stop. Both shot timers are due at the same moment,
// so which of the two ends depends on which wakes first.
TEST_F(SessionTest, TheEndOfOneRunStopsReArmingTheOther) {
    session.startRun(RunMode::Distance, 0);
    session.startRun(RunMode::Speed, 3);
    ASSERT_TRUE(RunUntil(
        [&] { return !session.running(RunMode::Distance) || !session.running(RunMode::Speed); }));
    const RunMode left = session.running(RunMode::Distance) ? RunMode::Distance : RunMode::Speed;
    const auto quiet = [&] {
        const std::size_t before = commands().size();
        QElapsedTimer wait;
        wait.start();
        RunUntil([&] { return wait.elapsed() > 150; });
        return commands().size() == before;
    };
    ASSERT_TRUE(RunUntil(quiet));
    EXPECT_TRUE(session.running(left));
    EXPECT_EQ(completed, 1);
    EXPECT_FALSE(session.busy());
    EXPECT_FALSE(session.distanceTimer().isActive());
    EXPECT_FALSE(session.speedTimer().isActive());
    session.stopRun(left);
    EXPECT_EQ(runs.back(), RunMode::None);
    EXPECT_EQ(session.run(), RunMode::None);
}

// A subscriber that ends a reply's handling (a record refused at the limit)
// leaves the run without its next shot and the watchdog counting, so that the
// watchdog ends the run.
TEST_F(SessionTest, AReplyWhoseHandlingWasEndedDoesNotReArm) {
    QObject::connect(&session, &MeasurementSession::measured, &session, [&] {
        if (measured.size() == 3)
            session.skipReArm();
    });
    session.setWatchdogInterval(300);
    session.startRun(RunMode::Distance, 0);
    ASSERT_TRUE(RunUntil([&] { return measured.size() == 3; }));
    EXPECT_TRUE(session.watchdog().isActive());
    EXPECT_FALSE(session.distanceTimer().isActive());
    ASSERT_TRUE(RunUntil([&] { return noReply == 1; }));
    EXPECT_EQ(commands().size(), 3u);
    EXPECT_FALSE(session.running(RunMode::Distance));
}

TEST_F(SessionTest, AStoppedRunSendsNothingMore) {
    session.startRun(RunMode::Distance, 0);
    ASSERT_TRUE(RunUntil([&] { return measured.size() >= 3; }));
    session.stopRun();
    EXPECT_EQ(session.run(), RunMode::None);
    EXPECT_FALSE(session.busy());
    const auto sent = instrument.Counters().distanceCommands;
    // The answer already on its way is still handled; then the line stays quiet.
    ASSERT_TRUE(RunUntil([&] { return instrument.Counters().repliesSent == sent; }));
    QElapsedTimer quiet;
    quiet.start();
    RunUntil([&] { return quiet.elapsed() > 100; });
    EXPECT_EQ(instrument.Counters().distanceCommands, sent);
    EXPECT_EQ(runs.back(), RunMode::None);
    EXPECT_EQ(completed, 0);
}

// The shot whose reply the vanished device took with it is sent again once
// the device is back; the run then goes on.
TEST_F(SessionTest, TheOwedShotGoesOutAgainOnResume) {
    session.startRun(RunMode::Speed, 0);
    ASSERT_TRUE(RunUntil([&] { return measured.size() >= 2; }));
    instrument.SetFault(SimFault::DropReply);
    ASSERT_TRUE(RunUntil([&] { return instrument.Counters().repliesDropped == 1; }));
    session.suspend();
    EXPECT_TRUE(session.busy());
    const auto before = measured.size();
    const auto sent = instrument.Counters().speedCommands;
    session.resume();
    ASSERT_TRUE(RunUntil([&] { return measured.size() >= before + 3; }));
    EXPECT_GE(instrument.Counters().speedCommands, sent + 3);
    EXPECT_EQ(noReply, 0);
    session.stopRun();
}

// The one difference between the programs: the window's run stops waiting at
// any reply (an unfinished one leaves it standing, for the operator to stop),
// lrfmeasure's waits for a complete one and ends without it.
TEST(SessionWatchdog, ReportsAMissingReplyAndAnUnfinishedOneWhenToldTo) {
    struct Case {
        const char* what;
        bool waitsForCompleteReply;
        SimFault fault;
        bool reports;
    };
    const Case cases[] = {
        {"window, no reply", false, SimFault::DropReply, true},
        {"window, unfinished reply", false, SimFault::Garbage, false},
        {"lrfmeasure, no reply", true, SimFault::DropReply, true},
        {"lrfmeasure, unfinished reply", true, SimFault::Garbage, true},
    };
    // Long enough for a loaded machine's replies, set once the run goes.
    constexpr int kWatchdogMs = 1000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::RangefinderSimulator instrument;
        sim::SimSettings settings;
        settings.linePace = false;
        instrument.SetSettings(settings);
        instrument.Start();
        MeasurementSession session(SessionOptions{c.waitsForCompleteReply});
        int reports = 0;
        int handled = 0;
        QObject::connect(&session, &MeasurementSession::noReply, &session, [&] { ++reports; });
        QObject::connect(&session, &MeasurementSession::measured, &session,
                         [&](const Measurement&) { ++handled; });
        ASSERT_FALSE(session.open(instrument.DevicePath(), cport::br19200));
        session.startRun(RunMode::Distance, 0);
        ASSERT_TRUE(RunUntil([&] { return handled >= 2; }));
        session.setWatchdogInterval(kWatchdogMs);
        instrument.SetFault(c.fault, -1);
        if (c.reports) {
            ASSERT_TRUE(RunUntil([&] { return reports == 1; }));
            EXPECT_EQ(session.run(), RunMode::None);
            EXPECT_FALSE(session.busy());
        } else {
            // Three watchdog intervals without a report.
            QElapsedTimer wait;
            wait.start();
            RunUntil([&] { return reports > 0 || wait.elapsed() > 3 * kWatchdogMs; });
            EXPECT_EQ(reports, 0);
            EXPECT_EQ(session.run(), RunMode::Distance);
        }
    }
}

// The ticks that let pending events run: a tick that comes again meanwhile sends
// nothing itself but is put off until the first has returned. With the port
// closed the commands go nowhere, and the session still counts them as sent.
TEST(SessionTicks, ATickThatComesAgainWhileTheFirstRunsIsPutOff) {
    struct Case {
        RunMode mode;
        void (MeasurementSession::*tick)();
        bool (*timerOn)(MeasurementSession&);
    };
    const Case cases[] = {
        {RunMode::Distance, &MeasurementSession::distanceTick,
         [](MeasurementSession& s) { return s.distanceTimer().isActive(); }},
        {RunMode::Rotation, &MeasurementSession::rotationTick,
         [](MeasurementSession& s) { return s.rotationTimer().isActive(); }},
    };
    for (const Case& c : cases) {
        MeasurementSession session;
        int sent = 0;
        QObject::connect(&session, &MeasurementSession::commandSent, &session, [&] { ++sent; });
        session.startRun(c.mode, 0);
        const int atStart = sent;
        QMetaObject::invokeMethod(
            &session, [&] { (session.*c.tick)(); }, Qt::QueuedConnection);
        (session.*c.tick)();
        EXPECT_EQ(sent, atStart + 1);
        EXPECT_TRUE(c.timerOn(session));
        session.stopRun();
    }
}

} // namespace
} // namespace lrf
