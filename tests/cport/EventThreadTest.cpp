// The event thread: announcements on the GUI thread, the hand-over and its
// corner cases, device loss, and that nothing spins.

#include "SimPortFixture.h"

#include <dirent.h>
#include <stdexcept>

namespace cport::testing {
namespace {

int ThreadCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

using lrf::sim::SimFault;

using EventThread = SimPortTest;

TEST_F(EventThread, ReplyIsAnnouncedOnTheGuiThread) {
    CollectReplies();
    port.SetConnected(true);
    port.WriteText("\x0F");
    ASSERT_TRUE(PumpUntil([&] { return received.size() >= 8; }));
    auto frame = lrf::sim::DistanceFrame(123.4, std::nullopt);
    EXPECT_EQ(received, std::string(frame.begin(), frame.end()));
    EXPECT_TRUE(rxOnTestThread);
    for (int c : counts)
        EXPECT_GE(c, 1);
}

TEST_F(EventThread, EachSyncMethodDeliversOnItsThread) {
    struct Case {
        TSyncMethod method;
        bool onTestThread;
    };
    for (Case c : {Case{smThreadSync, true}, Case{smWindowSync, true}, Case{smNone, false}}) {
        std::atomic<int> bytes{0};
        std::atomic<bool> onTest{true};
        TComPort p;
        p.SetPort(sim.DevicePath());
        p.SetSyncMethod(c.method);
        p.OnRxChar = [&](TCustomComPort& s, int count) {
            std::string chunk;
            bytes += s.ReadText(chunk, count);
            if ((std::this_thread::get_id() == testThread) != c.onTestThread)
                onTest = false;
        };
        p.SetConnected(true);
        p.WriteText("\x0D");
        EXPECT_TRUE(PumpUntil([&] { return bytes >= 8; })) << c.method;
        EXPECT_TRUE(onTest) << c.method;
    }
}

TEST_F(EventThread, NoEventsMeansNoThreadAndNoAnnouncement) {
    CollectReplies();
    port.SetEvents(TComEvents{});
    const int before = ThreadCount();
    port.SetConnected(true);
    EXPECT_EQ(ThreadCount(), before);
    port.WriteText("\x0F");
    PumpUntil([&] { return port.BytesWaiting() >= 8; });
    PumpFor(50ms);
    EXPECT_EQ(rxCalls, 0);
    EXPECT_EQ(port.BytesWaiting(), 8);
    port.SetConnected(false);
    port.SetEvents(AllComEvents);
    port.SetConnected(true);
    EXPECT_EQ(ThreadCount(), before + 1);
}

TEST_F(EventThread, SplitReplyIsAnnouncedWithEveryByteCounted) {
    CollectReplies();
    sim.SetFault(SimFault::SplitFrame);
    port.SetConnected(true);
    port.WriteText("\x0F");
    ASSERT_TRUE(PumpUntil([&] { return received.size() >= 8; }));
    EXPECT_EQ(received.size(), 8u);
    // The pause normally puts the halves into separate batches; a busy machine may
    // deliver them in one.
    EXPECT_GE(counts.size(), 1u);
    EXPECT_LE(counts.size(), 2u);
}

TEST_F(EventThread, BytesReadByAnEarlierHandlerAreNotAnnouncedAgain) {
    // The first handler waits until the second reply is in and reads it too; the
    // batch that reports those bytes then finds nothing waiting.
    port.OnRxChar = [&](TCustomComPort& p, int count) {
        ++rxCalls;
        counts.push_back(count);
        std::string chunk;
        p.ReadText(chunk, count);
        received += chunk;
        if (rxCalls == 1) {
            p.WriteText("\x0D");
            const auto deadline = std::chrono::steady_clock::now() + 2s;
            while (p.BytesWaiting() < 8 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(1ms);
            p.ReadText(chunk, 8);
            received += chunk;
        }
    };
    port.SetConnected(true);
    port.WriteText("\x0F");
    ASSERT_TRUE(PumpUntil([&] { return received.size() >= 16; }));
    PumpFor(50ms);
    EXPECT_EQ(rxCalls, 1);
    EXPECT_EQ(sim.Counters().repliesSent, 2u);
}

TEST_F(EventThread, UnreadBytesDoNotSpinAndNewBytesAreStillAnnounced) {
    // A handler that reads less than it is told, or nothing at all.
    for (int readPerCall : {0, 3}) {
        std::vector<int> seen;
        int taken = 0;
        TComPort p;
        p.SetPort(sim.DevicePath());
        p.OnRxChar = [&](TCustomComPort& s, int count) {
            seen.push_back(count);
            std::string chunk;
            taken += s.ReadText(chunk, readPerCall);
        };
        p.SetConnected(true);
        p.WriteText("\x0F");
        // The reply may come in more than one batch; wait until all of it is in.
        ASSERT_TRUE(PumpUntil([&] { return !seen.empty() && taken + p.BytesWaiting() == 8; }));
        PumpFor(20ms);
        const std::size_t announced = seen.size();
        const double cpu = ProcessCpuSeconds();
        PumpFor(200ms);
        EXPECT_LT(ProcessCpuSeconds() - cpu, 0.05) << readPerCall;
        EXPECT_EQ(seen.size(), announced) << readPerCall;
        p.WriteText("\x0F");
        ASSERT_TRUE(PumpUntil([&] {
            return seen.size() > announced && taken + p.BytesWaiting() == 16 &&
                   seen.back() >= 8 - readPerCall;
        })) << readPerCall;
    }
}

TEST_F(EventThread, ExceptionEndsOnlyThatDispatch) {
    for (TSyncMethod method : {smThreadSync, smWindowSync, smNone}) {
        std::atomic<int> calls{0};
        std::atomic<int> bytes{0};
        TComPort p;
        p.SetPort(sim.DevicePath());
        p.SetSyncMethod(method);
        p.OnRxChar = [&](TCustomComPort& s, int count) {
            std::string chunk;
            bytes += s.ReadText(chunk, count);
            ++calls;
            throw std::runtime_error("malformed number in reply");
        };
        p.SetConnected(true);
        p.WriteText("\x0F");
        ASSERT_TRUE(PumpUntil([&] { return bytes >= 8; })) << method;
        p.WriteText("\x0D");
        EXPECT_TRUE(PumpUntil([&] { return bytes >= 16; })) << method;
        EXPECT_GE(calls, 2) << method;
        p.SetConnected(false);
    }
}

TEST_F(EventThread, CloseWhileAHandOverIsPendingRunsItFirst) {
    CollectReplies();
    std::atomic<int> wakeUps{0};
    SetWakeUpHook([&] { ++wakeUps; }); // note the call, but do not run it yet
    port.SetConnected(true);
    bool openDuringDispatch = false;
    port.OnRxChar = [&](TCustomComPort& p, int count) {
        openDuringDispatch = p.Connected();
        std::string chunk;
        received += chunk;
        rxCalls += count > 0;
    };
    port.WriteText("\x0F");
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (wakeUps == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    SetWakeUpHook(nullptr);
    ASSERT_GT(wakeUps, 0);
    port.SetConnected(false); // must not deadlock
    EXPECT_EQ(rxCalls, 1);
    EXPECT_TRUE(openDuringDispatch);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(ProcessPendingCalls(), 0u);
}

TEST_F(EventThread, AHandlerMayCloseItsOwnPort) {
    for (TSyncMethod method : {smThreadSync, smWindowSync}) {
        int calls = 0;
        TComPort p;
        p.SetPort(sim.DevicePath());
        p.SetSyncMethod(method);
        p.OnRxChar = [&](TCustomComPort& s, int) {
            ++calls;
            s.SetConnected(false);
        };
        p.SetConnected(true);
        p.WriteText("\x0F");
        ASSERT_TRUE(PumpUntil([&] { return !p.Connected(); })) << method;
        EXPECT_EQ(calls, 1);
    }
}

TEST_F(EventThread, AskingToCloseDuringACloseClosesOnce) {
    // The close's own handlers, and a device-lost notice that is still pending when
    // the operator closes the port, may close the port again: the close under way
    // finishes it, once, without failing on a device that is already released.
    enum class From { LineHandler, BeforeClose, PendingDeviceLost };
    for (From from : {From::LineHandler, From::BeforeClose, From::PendingDeviceLost}) {
        const int which = static_cast<int>(from);
        lrf::sim::RangefinderSimulator s;
        s.Start();
        int beforeClose = 0;
        int afterClose = 0;
        bool closing = false;
        TComPort p;
        p.SetPort(s.DevicePath());
        p.OnCTSChange = [&](TCustomComPort& sender, bool) {
            if (closing && from == From::LineHandler)
                sender.SetConnected(false);
        };
        p.OnBeforeClose = [&](TCustomComPort& sender) {
            ++beforeClose;
            if (from == From::BeforeClose)
                sender.SetConnected(false);
        };
        p.OnAfterClose = [&](TCustomComPort&) { ++afterClose; };
        p.OnDeviceLost = [&](TCustomComPort& sender) { sender.SetConnected(false); };
        p.SetConnected(true);
        if (from == From::PendingDeviceLost) {
            std::atomic<int> wakeUps{0};
            SetWakeUpHook([&] { ++wakeUps; }); // leave the notice queued
            s.SetFault(SimFault::HangUp);
            p.WriteText("\x0F");
            const auto deadline = std::chrono::steady_clock::now() + 2s;
            while (wakeUps == 0 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(1ms);
            SetWakeUpHook(nullptr);
            ASSERT_GT(wakeUps, 0);
        }
        closing = true;
        EXPECT_NO_THROW(p.SetConnected(false)) << which;
        EXPECT_FALSE(p.Connected()) << which;
        EXPECT_EQ(beforeClose, 1) << which;
        EXPECT_EQ(afterClose, 1) << which;
        EXPECT_EQ(ProcessPendingCalls(), 0u) << which;
        if (from != From::PendingDeviceLost) { // that device is gone
            closing = false;
            p.SetConnected(true);
            EXPECT_TRUE(p.Connected()) << which;
            closing = true;
            p.SetConnected(false);
            EXPECT_EQ(afterClose, 2) << which;
        }
    }
}

TEST_F(EventThread, AnAfterCloseHandlerMayOpenAndCloseThePortAgain) {
    int afterClose = 0;
    port.OnAfterClose = [&](TCustomComPort& sender) {
        if (++afterClose == 1) {
            sender.SetConnected(true);
            EXPECT_TRUE(sender.Connected());
            sender.SetConnected(false);
        }
    };
    port.SetConnected(true);
    port.SetConnected(false);
    EXPECT_EQ(afterClose, 2);
    EXPECT_FALSE(port.Connected());
}

TEST_F(EventThread, HangUpIsReportedOnceAndCloseStillWorks) {
    for (TSyncMethod method : {smThreadSync, smNone}) {
        lrf::sim::RangefinderSimulator s;
        s.Start();
        std::atomic<int> lost{0};
        TComPort p;
        p.SetPort(s.DevicePath());
        p.SetSyncMethod(method);
        p.OnDeviceLost = [&](TCustomComPort&) { ++lost; };
        p.SetConnected(true);
        s.SetFault(SimFault::HangUp);
        p.WriteText("\x0F");
        ASSERT_TRUE(PumpUntil([&] { return lost > 0; })) << method;
        const double cpu = ProcessCpuSeconds();
        PumpFor(200ms);
        EXPECT_LT(ProcessCpuSeconds() - cpu, 0.05) << method;
        EXPECT_EQ(lost, 1) << method;
        EXPECT_TRUE(p.Connected());
        EXPECT_NO_THROW(p.SetConnected(false)) << method;
        EXPECT_FALSE(p.Connected());
    }
}

TEST_F(EventThread, IdlePortCostsNoProcessorTime) {
    CollectReplies();
    port.SetConnected(true);
    const double cpu = ProcessCpuSeconds();
    std::this_thread::sleep_for(300ms);
    EXPECT_LT(ProcessCpuSeconds() - cpu, 0.01);
}

} // namespace
} // namespace cport::testing
