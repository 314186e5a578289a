#include "CPort.h"
#include "HandOver.h"
#include "MainPort.h"
#include "ReplyGathering.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>

namespace lrf {
namespace {

using namespace std::chrono_literals;

// The instrument port the test launcher provides (a pseudo-terminal instrument that
// answers 0x0F with an 8-byte distance frame); none: the test is skipped.
std::string InstrumentPort() {
    const char* name = std::getenv("LRF_TEST_PORT");
    return name ? name : "";
}

// Thousands of distance round trips the way the window's continuous run makes
// them: the event thread hands each announcement over through the Qt event loop,
// the window thread reads the waiting bytes, gathers them into a reply and sends
// the next command from a timer, while its event loop is kept busy with timers
// that each take a little time. Every reply must come through.
TEST(GuiHandOver, EveryReplyOfALongRunWithABusyWindowThreadComesThrough) {
    if (InstrumentPort().empty())
        GTEST_SKIP() << "no instrument port (run through tests/wine/wine-run.sh)";
    int argc = 1;
    char name[] = "run_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    InstallGuiHandOver();

    cport::TComPort port;
    port.SetPort(InstrumentPort());
    ConfigureMainPort(port);

    int replies = 0;
    int announcements = 0;
    int broken = 0; // batches handed on that are no whole reply
    ReplyGathering gathering(
        [&](std::span<const std::uint8_t> batch, ReplyGathering::Clock::time_point) {
            if (batch.size() == 8 && batch.front() == 0xDA)
                ++replies;
            else
                ++broken;
        },
        ReplyGathering::WaitingIn(port));
    port.OnRxChar = [&](cport::TCustomComPort&, int count) {
        ++announcements;
        std::string chunk;
        port.ReadText(chunk, count);
        gathering.receive({reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size()},
                          port.RxTime());
    };
    port.SetConnected(true);
    ASSERT_TRUE(port.Connected());
    gathering.setLine(port);

    // A busy window thread: redraws and statistics that each take a moment.
    std::vector<std::unique_ptr<QTimer>> busy;
    for (int interval : {0, 1, 3, 7, 16}) {
        auto timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, [] {
            const auto until = std::chrono::steady_clock::now() + 300us;
            while (std::chrono::steady_clock::now() < until) {
            }
        });
        timer->start(interval);
        busy.push_back(std::move(timer));
    }

    // The run: each whole reply sends the next command after a short pause. A lost
    // announcement stalls for ever; the watchdog's generous limit tells it from a
    // machine that is merely slow.
    constexpr int kRoundTrips = 1000;
    QEventLoop loop;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    bool lost = false;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        lost = true;
        loop.quit();
    });
    const auto sendNext = [&] {
        watchdog.start(20s);
        port.WriteText("\x0F");
    };
    int handled = 0;
    QTimer paced;
    paced.setSingleShot(true);
    QObject::connect(&paced, &QTimer::timeout, sendNext);
    QTimer poll; // looks for new replies, as the window's readouts do
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (replies == handled)
            return;
        handled = replies;
        if (handled >= kRoundTrips)
            loop.quit();
        else if (!paced.isActive())
            paced.start(1ms);
    });
    poll.start(0);
    QTimer::singleShot(0, sendNext);
    loop.exec();
    const int lostAt = lost ? replies : -1;
    if (lost) {
        const int waiting = port.BytesWaiting();
        const std::size_t pending = cport::ProcessPendingCalls();
        ADD_FAILURE() << "reply " << lostAt << " lost after " << announcements
                      << " announcements: " << waiting << " bytes waiting, gatherer holding "
                      << gathering.holding() << ", " << pending
                      << " hand-overs queued but never woken, " << broken << " broken batches";
    }
    std::cout << "round trips: " << (lostAt < 0 ? kRoundTrips : lostAt) << ", announcements "
              << announcements << "\n";
    busy.clear();
    port.OnRxChar = nullptr;
    port.SetConnected(false);
    RemoveGuiHandOver();
}

} // namespace
} // namespace lrf
