#include "DeadlineTimer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

using namespace std::chrono_literals;
using lrf::DeadlineTimer;

TEST(DeadlineTimerTest, WakeUpLeadIsHalfAgainTheWakeUpWithinBounds) {
    struct Case {
        std::chrono::nanoseconds wakeUp, lead;
    };
    for (const Case& c :
         std::vector<Case>{{0us, 10us}, {4us, 10us}, {60us, 90us}, {200us, 300us}, {1ms, 400us}})
        EXPECT_EQ(DeadlineTimer::LeadFor(c.wakeUp), c.lead) << c.wakeUp.count();
}

// Fired early, a shot would undercut the instrument's pause; the timer wakes
// the loop ahead of the moment on purpose, so every firing is checked.
TEST(DeadlineTimerTest, NeverFiresBeforeItsMomentAlsoWhenMovedLater) {
    int argc = 1;
    char name[] = "run_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    DeadlineTimer timer;
    DeadlineTimer::Clock::time_point firedAt{};
    int fired = 0;
    QObject::connect(&timer, &DeadlineTimer::timeout, &timer, [&] {
        firedAt = DeadlineTimer::Clock::now();
        ++fired;
    });
    for (int i = 0; i < 40; ++i) {
        const auto due = DeadlineTimer::Clock::now() + 1500us;
        timer.start(due);
        if (i % 4 == 3)
            timer.start(due + 2ms); // moved later while it is on its way
        const auto expected = timer.deadline();
        QElapsedTimer guard;
        guard.start();
        while (fired == i && guard.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        ASSERT_EQ(fired, i + 1);
        EXPECT_GE(firedAt, expected) << "shot " << i;
        EXPECT_FALSE(timer.isActive());
    }
    EXPECT_GE(timer.wakeLead(), 10us);
    EXPECT_LE(timer.wakeLead(), 400us);
}
