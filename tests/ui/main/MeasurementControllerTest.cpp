#include "MeasurementController.h"
#include "ImageButton.h"
#include "NumericEdit.h"
#include "TestDialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace lrf;

namespace {

class ControllerTest : public ::testing::Test {
protected:
    ControllerTest() {
        distanceRun.setImageIndex(imgContinuousDistance);
        speedRun.setImageIndex(imgContinuousSpeed);
        rotation.setImageIndex(imgRotation);
        rotationPeriod.setValue(2000);
        QObject::connect(&controller, &MeasurementController::commandToSend, &controller,
                         [this](std::string_view c) { sent.emplace_back(c); });
        // As the main window does: recording on if it was off, the log shown.
        QObject::connect(&controller, &MeasurementController::runStarting, &controller, [this] {
            if (!recording) {
                ++recordClicks;
                recording = true;
            }
            ++showClicks;
        });
    }

    std::string sentText() const {
        std::string all;
        for (const auto& c : sent)
            all += c + " ";
        return all;
    }

    // One reply that ends with 0xEE, handled to its end.
    void reply() { controller.ReArm(true); }

    ControlState state;
    ImageButton distanceRun, speedRun, rotation;
    NumericEdit shotCount, rotationPeriod;
    std::vector<std::string> sent;
    bool recording = false;
    int recordClicks = 0;
    int showClicks = 0;
    TestDialogs dialogs;
    MeasurementController controller{
        state, {&distanceRun, &speedRun, &rotation, &shotCount, &rotationPeriod}};
};

} // namespace

TEST_F(ControllerTest, TimersStartOffWithTheirIntervals) {
    EXPECT_FALSE(controller.Timer1().isActive());
    EXPECT_FALSE(controller.Timer4().isActive());
    EXPECT_FALSE(controller.Timer2().isActive());
    EXPECT_EQ(controller.shotInterval(), std::chrono::milliseconds(10));
    EXPECT_EQ(controller.Timer3().interval(), 2000);
    EXPECT_EQ(controller.Timer4().interval(), 10000);
    EXPECT_TRUE(controller.Timer3().isSingleShot());
    EXPECT_EQ(controller.Timer3().timerType(), Qt::PreciseTimer);
}

TEST_F(ControllerTest, SingleShotsArmTheWatchdogAndSendOneCommand) {
    controller.RzBitBtn5Click();
    controller.RzBitBtn8Click();
    EXPECT_EQ(sentText(), "0F 0D ");
    EXPECT_TRUE(controller.Timer4().isActive());
    EXPECT_FALSE(state.ContinuousActive);
    EXPECT_EQ(recordClicks, 0);
    EXPECT_EQ(showClicks, 0);
}

// Switching on a running timer must not restart its interval.
TEST_F(ControllerTest, SwitchingOnARunningWatchdogKeepsItsDeadline) {
    controller.RzBitBtn5Click();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30)
        QCoreApplication::processEvents();
    controller.RzBitBtn5Click();
    EXPECT_LE(controller.Timer4().remainingTime(), 10000 - 25);
}

// The shot count decides how many commands a continuous run sends and what the
// field shows at each tick.
TEST_F(ControllerTest, ContinuousRunSendsExactlyTheShotCount) {
    struct Case {
        int count;
        bool distance;
        std::vector<int> fieldAtTicks;
    };
    const std::vector<Case> cases{
        {2, true, {2}},
        {3, true, {3, 2}},
        {5, false, {5, 4, 3, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        sent.clear();
        ImageButton& button = c.distance ? distanceRun : speedRun;
        DeadlineTimer& shotTimer = c.distance ? controller.Timer1() : controller.Timer2();
        const int idle = c.distance ? imgContinuousDistance : imgContinuousSpeed;
        shotCount.setValue(c.count);
        c.distance ? controller.RzBitBtn6Click() : controller.RzBitBtn9Click();
        EXPECT_EQ(button.imageIndex(), imgRunning);
        EXPECT_EQ(button.text(), "Stop Testing");
        std::vector<int> fields;
        while (state.ContinuousActive) {
            reply();
            ASSERT_TRUE(shotTimer.isActive());
            ASSERT_TRUE(controller.Timer4().isActive());
            c.distance ? controller.Timer1Timer() : controller.Timer2Timer();
            fields.push_back(state.ContinuousActive ? shotCount.value() : c.fieldAtTicks.back());
            ASSERT_LE(fields.size(), 10u);
        }
        reply(); // the reply to the last shot re-arms nothing
        EXPECT_FALSE(shotTimer.isActive());
        EXPECT_FALSE(controller.Timer4().isActive());
        EXPECT_EQ(fields, c.fieldAtTicks);
        EXPECT_EQ(sent.size(), static_cast<std::size_t>(c.count));
        EXPECT_EQ(sent.front(), c.distance ? "0F" : "0D");
        EXPECT_EQ(button.imageIndex(), idle);
        EXPECT_EQ(button.text(), "Continuous Testing");
        EXPECT_EQ(shotCount.value(), c.count);
    }
    EXPECT_EQ(recordClicks, 1); // recording was switched on once and left on
    EXPECT_TRUE(recording);
    EXPECT_EQ(showClicks, 3);
}

TEST_F(ControllerTest, ShotCountOneActsAsASingleShot) {
    shotCount.setValue(1);
    controller.RzBitBtn6Click();
    EXPECT_EQ(sentText(), "0F ");
    EXPECT_EQ(distanceRun.imageIndex(), imgContinuousDistance);
    EXPECT_FALSE(state.ContinuousActive);
    EXPECT_TRUE(recording);
    EXPECT_EQ(showClicks, 1);
    EXPECT_TRUE(controller.Timer4().isActive());
    reply();
    EXPECT_FALSE(controller.Timer1().isActive());
}

TEST_F(ControllerTest, ShotCountZeroOrNegativeRunsUntilStopped) {
    for (int count : {0, -3}) {
        SCOPED_TRACE(count);
        sent.clear();
        shotCount.setValue(count);
        controller.RzBitBtn6Click();
        for (int i = 0; i < 50; ++i) {
            reply();
            controller.Timer1Timer();
            ASSERT_EQ(shotCount.value(), count);
        }
        EXPECT_TRUE(state.ContinuousActive);
        EXPECT_EQ(state.RemainingCount, count < 0 ? count : 0);
        EXPECT_EQ(sent.size(), 51u);
        reply();
        controller.RzBitBtn6Click(); // stop
        EXPECT_FALSE(state.ContinuousActive);
        EXPECT_FALSE(controller.Timer1().isActive());
        EXPECT_FALSE(controller.Timer4().isActive());
        EXPECT_EQ(distanceRun.imageIndex(), imgContinuousDistance);
        EXPECT_EQ(shotCount.value(), count);
    }
}

TEST_F(ControllerTest, ReArmDependsOnTheLastByteTheFlagAndTheRunningButtons) {
    struct Case {
        bool endedWithEE;
        bool active;
        bool distance, speed, rot;
        bool t1, t2, t3, t4;
    };
    const std::vector<Case> cases{
        {true, true, true, false, false, true, false, false, true},
        {true, true, false, true, false, false, true, false, true},
        {true, true, false, false, true, false, false, true, true},
        {true, true, true, true, true, true, true, true, true},
        {false, true, true, true, true, false, false, false, false},
        {true, false, true, true, true, false, false, false, false},
        {true, true, false, false, false, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases.data());
        controller.Timer1().stop();
        controller.Timer2().stop();
        controller.Timer3().stop();
        controller.Timer4().start();
        state.ContinuousActive = c.active;
        distanceRun.setImageIndex(c.distance ? imgRunning : imgContinuousDistance);
        speedRun.setImageIndex(c.speed ? imgRunning : imgContinuousSpeed);
        rotation.setImageIndex(c.rot ? imgRunning : imgRotation);
        controller.ReArm(c.endedWithEE);
        EXPECT_EQ(controller.Timer1().isActive(), c.t1);
        EXPECT_EQ(controller.Timer2().isActive(), c.t2);
        EXPECT_EQ(controller.Timer3().isActive(), c.t3);
        EXPECT_EQ(controller.Timer4().isActive(), c.t4);
    }
}

// A reply handled while a tick processes pending messages must keep the run
// going: the tick switched its timer off before, so the re-arm sticks.
TEST_F(ControllerTest, ReplyHandledInsideATickReArmsTheRun) {
    shotCount.setValue(0);
    controller.RzBitBtn6Click();
    reply();
    QMetaObject::invokeMethod(
        &controller, [this] { reply(); }, Qt::QueuedConnection);
    controller.Timer1Timer();
    EXPECT_TRUE(controller.Timer1().isActive());
    EXPECT_TRUE(controller.Timer4().isActive());
    controller.RzBitBtn6Click();

    controller.RzBitBtn7Click();
    QMetaObject::invokeMethod(
        &controller, [this] { reply(); }, Qt::QueuedConnection);
    controller.Timer3Timer();
    EXPECT_TRUE(controller.Timer3().isActive());
    EXPECT_EQ(sentText(), "0F 0F 0F ");
}

// A tick that comes again while the first is still processing messages sends
// nothing itself; it is put off until the first has returned.
TEST_F(ControllerTest, ANestedTickIsPutOff) {
    shotCount.setValue(0);
    controller.RzBitBtn6Click();
    QMetaObject::invokeMethod(
        &controller, [this] { controller.Timer1Timer(); }, Qt::QueuedConnection);
    controller.Timer1Timer();
    EXPECT_EQ(sentText(), "0F 0F ");
    EXPECT_TRUE(controller.Timer1().isActive());
    controller.RzBitBtn6Click(); // its put-off shot would come inside the next part

    controller.RzBitBtn7Click();
    QMetaObject::invokeMethod(
        &controller, [this] { controller.Timer3Timer(); }, Qt::QueuedConnection);
    controller.Timer3Timer();
    EXPECT_EQ(sentText(), "0F 0F 0F ");
    EXPECT_TRUE(controller.Timer3().isActive());
}

TEST_F(ControllerTest, RotationAlternatesAndStartsOnePeriodAfterThePress) {
    controller.RzBitBtn7Click();
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(state.RotationMode);
    EXPECT_TRUE(state.ContinuousActive);
    EXPECT_FALSE(state.RotationDistancePhase);
    EXPECT_TRUE(controller.Timer3().isActive());
    EXPECT_TRUE(controller.Timer4().isActive());
    EXPECT_EQ(rotation.imageIndex(), imgRunning);
    EXPECT_EQ(rotation.text(), "Stop Testing");
    EXPECT_TRUE(recording);
    for (int i = 0; i < 4; ++i) {
        controller.Timer3Timer();
        EXPECT_FALSE(controller.Timer3().isActive());
        reply();
    }
    EXPECT_EQ(sentText(), "0F 0D 0F 0D ");
    controller.RzBitBtn7Click();
    EXPECT_FALSE(state.RotationMode);
    EXPECT_FALSE(state.ContinuousActive);
    EXPECT_FALSE(controller.Timer3().isActive());
    EXPECT_FALSE(controller.Timer4().isActive());
    EXPECT_EQ(rotation.text(), "Rotation Measure");
}

TEST_F(ControllerTest, RotationPeriodBelowOneBecomesOne) {
    const std::vector<std::pair<int, int>> cases{{500, 500}, {1, 1}, {0, 1}, {-40, 1}};
    for (auto [typed, interval] : cases) {
        rotationPeriod.setValue(typed);
        controller.RzNumericEdit2Change();
        EXPECT_EQ(rotationPeriod.value(), interval);
        EXPECT_EQ(controller.Timer3().interval(), interval);
    }
}

// The watchdog tells the operator once, then stops the runs in button order.
TEST_F(ControllerTest, WatchdogReportsOnceAndStopsEveryRun) {
    shotCount.setValue(0);
    controller.RzBitBtn6Click();
    controller.RzBitBtn9Click();
    controller.RzBitBtn7Click();
    int nested = 0;
    dialogs.onMessage = [&] {
        // While the box is open, a reply re-arms the watchdog and it expires again.
        ++nested;
        if (nested == 1) {
            EXPECT_EQ(distanceRun.imageIndex(), imgRunning);
            controller.Timer4Timer();
        }
    };
    controller.Timer4Timer();
    EXPECT_EQ(dialogs.messages, QStringList{"Communication failure!"});
    EXPECT_EQ(dialogs.captions, QStringList{"Error"});
    EXPECT_EQ(distanceRun.imageIndex(), imgContinuousDistance);
    EXPECT_EQ(speedRun.imageIndex(), imgContinuousSpeed);
    EXPECT_EQ(rotation.imageIndex(), imgRotation);
    EXPECT_FALSE(state.ContinuousActive);
    EXPECT_FALSE(state.RotationMode);
    EXPECT_FALSE(controller.Timer4().isActive());
    // The box can open again on the next expiry.
    controller.Timer4Timer();
    EXPECT_EQ(dialogs.messages.size(), 2);
}

// Two runs share one flag: ending one leaves the other's button running but no
// longer re-armed, and its next press stops it.
TEST_F(ControllerTest, EndingOneRunStopsReArmingTheOther) {
    shotCount.setValue(2);
    controller.RzBitBtn9Click();
    controller.RzBitBtn6Click();
    reply();
    controller.Timer1Timer(); // RemainingCount 2: the distance run ends
    EXPECT_FALSE(state.ContinuousActive);
    EXPECT_EQ(speedRun.imageIndex(), imgRunning);
    controller.Timer2Timer(); // armed by the earlier reply
    reply();
    EXPECT_FALSE(controller.Timer2().isActive());
    controller.RzBitBtn9Click();
    EXPECT_EQ(speedRun.imageIndex(), imgContinuousSpeed);
}

// The next shot leaves the pause after the reply reached the port, however long
// its handling took: a moment, not an interval that loses the handling time.
TEST_F(ControllerTest, ShotPauseCountsFromTheReplysArrival) {
    using namespace std::chrono_literals;
    using Clock = DeadlineTimer::Clock;
    shotCount.setValue(0);
    controller.RzBitBtn6Click();
    const Clock::time_point arrived = Clock::now() - 3400us;
    controller.ReArm(true, arrived);
    EXPECT_TRUE(controller.Timer1().isActive());
    EXPECT_EQ(controller.Timer1().deadline(), arrived + 10ms);
    // A timer already on keeps its moment.
    controller.ReArm(true, arrived + 5ms);
    EXPECT_EQ(controller.Timer1().deadline(), arrived + 10ms);
    // It fires at that moment, not before, and sends the next shot.
    QElapsedTimer clock;
    clock.start();
    while (sent.size() < 2 && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    EXPECT_GE(Clock::now(), arrived + 10ms);
    EXPECT_EQ(sentText(), "0F 0F ");
    // The rotation period is not shortened.
    controller.RzBitBtn6Click();
    controller.RzBitBtn7Click();
    controller.Timer3().stop();
    controller.ReArm(true, arrived);
    EXPECT_EQ(controller.Timer3().interval(), 2000);
}

// A run paused where its device vanished resumes with the shots it still owed:
// a shot whose reply was lost goes out again without being counted twice, and a
// shot already answered is followed by the next one, not sent again.
TEST_F(ControllerTest, PausedRunResumesWithTheShotsItOwed) {
    struct Case {
        const char* what;
        int count;
        int repliesBeforeLoss;
        bool replyLost; // the shot sent last was in flight
    };
    const std::vector<Case> cases{
        {"reply lost", 4, 1, true},
        {"reply handled", 4, 2, false},
        {"last shot's reply lost", 3, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sent.clear();
        std::size_t replies = 0;
        auto answer = [&] {
            reply();
            ++replies;
        };
        shotCount.setValue(c.count);
        controller.RzBitBtn6Click();
        for (int i = 0; i < c.repliesBeforeLoss; ++i) {
            answer();
            controller.Timer1Timer();
        }
        if (!c.replyLost)
            answer();
        EXPECT_TRUE(controller.RunInProgress());
        controller.PauseRuns();
        EXPECT_FALSE(controller.Timer1().isActive());
        for (QTimer* t : {&controller.Timer3(), &controller.Timer4()})
            EXPECT_FALSE(t->isActive());
        const std::size_t sentBefore = sent.size();
        controller.ResumeRuns();
        EXPECT_EQ(sent.size(), sentBefore + (c.replyLost ? 1 : 0));
        EXPECT_EQ(controller.Timer1().isActive(), !c.replyLost);
        EXPECT_TRUE(controller.Timer4().isActive());
        const std::size_t lost = c.replyLost ? 1 : 0; // that reply never comes
        for (int guard = 0; guard < 20; ++guard) {
            if (controller.Timer1().isActive())
                controller.Timer1Timer();
            else if (sent.size() > replies + lost)
                answer();
            else
                break;
        }
        EXPECT_EQ(replies, static_cast<std::size_t>(c.count));
        EXPECT_EQ(sent.size(), static_cast<std::size_t>(c.count) + lost);
        EXPECT_FALSE(controller.RunInProgress());
        EXPECT_EQ(distanceRun.imageIndex(), imgContinuousDistance);
    }

    // The rotation run sends a lost command again, in its phase; after a
    // handled reply the next command comes one period later, as it would have.
    sent.clear();
    controller.RzBitBtn7Click();
    controller.Timer3Timer();
    controller.PauseRuns();
    controller.ResumeRuns();
    EXPECT_EQ(sentText(), "0F 0F ");
    reply();
    controller.PauseRuns();
    controller.ResumeRuns();
    EXPECT_TRUE(controller.Timer3().isActive());
    controller.Timer3Timer();
    EXPECT_EQ(sentText(), "0F 0F 0D ");
    controller.RzBitBtn7Click();
}
