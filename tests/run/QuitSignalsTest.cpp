#include "QuitSignals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <csignal>

// Each of the three signals reaches the callback once, through the event loop
// and not inside the handler; the watcher's end leaves the earlier handling.
TEST(QuitSignals, EachEndSignalCallsBackOnTheEventLoop) {
    int argc = 1;
    char name[] = "run_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        struct sigaction before {};
        sigaction(signal, nullptr, &before);
        std::vector<int> received;
        {
            lrf::QuitSignals watcher([&](int s) { received.push_back(s); });
            ASSERT_TRUE(watcher.IsWatching());
            std::raise(signal);
            EXPECT_TRUE(received.empty()); // nothing happens inside the handler
            QElapsedTimer clock;
            clock.start();
            while (received.empty() && clock.elapsed() < 10000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        EXPECT_EQ(received, std::vector<int>{signal});
        struct sigaction after {};
        sigaction(signal, nullptr, &after);
        EXPECT_EQ(after.sa_handler, before.sa_handler);
    }
}
