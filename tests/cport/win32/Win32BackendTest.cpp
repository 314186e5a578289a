#include "win32/Win32Backend.h"

#include "TestPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <iostream>
#include <string>

namespace cport::win32 {
namespace {

using namespace std::chrono_literals;
using cport::testing::kDistanceFrame;
using cport::testing::kSpeedFrame;
using cport::testing::TestPortName;

class Win32BackendOnInstrument : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_TEST_PORT();
        openAndConfigure();
    }

    void openAndConfigure() {
        ASSERT_EQ(backend_.Open(TestPortName()), 0);
        ASSERT_EQ(backend_.SetQueueSizes(1024, 1024), 0);
        LineSettings s;
        s.BaudRate = 19200;
        ASSERT_EQ(backend_.SetLineSettings(s), 0);
        ASSERT_EQ(backend_.SetTimeouts(TimeoutSettings{}), 0);
        ASSERT_EQ(backend_.Purge(purgeClearRx | purgeClearTx), 0);
    }

    void write(const std::string& bytes) {
        std::size_t done = 0;
        ASSERT_EQ(backend_.Write(bytes.data(), bytes.size(), done), 0);
        ASSERT_EQ(done, bytes.size());
    }

    // Polls the input queue (the device is asked, no events involved).
    std::uint32_t waitForInput(std::uint32_t atLeast) {
        QueueStatus status;
        auto deadline = std::chrono::steady_clock::now() + 3s;
        do {
            if (backend_.ClearErrors(status) != 0)
                return 0;
            if (status.InQueue >= atLeast)
                break;
            Sleep(2);
        } while (std::chrono::steady_clock::now() < deadline);
        return status.InQueue;
    }

    std::string readAll(std::size_t max = 256) {
        std::string buf(max, '\0');
        std::size_t done = 0;
        EXPECT_EQ(backend_.Read(buf.data(), buf.size(), done), 0);
        buf.resize(done);
        return buf;
    }

    Win32Backend backend_;
};

TEST_F(Win32BackendOnInstrument, LineSettingsReachTheDevice) {
    struct Case {
        std::uint32_t rate;
        std::uint8_t dataBits;
        TParityBits parity;
        TStopBits stopBits;
    };
    // A pseudo-terminal keeps only 8 data bits without parity, so the formats are
    // limited to those here; the DCB for the others is checked without a device.
    const Case cases[] = {
        {19200, 8, prNone, sbOneStopBit},  {9600, 8, prNone, sbOneStopBit},
        {115200, 8, prNone, sbOneStopBit}, {4800, 8, prNone, sbTwoStopBits},
        {28800, 8, prNone, sbOneStopBit}, // not a standard rate
    };
    const bool wine = cport::testing::RunningUnderWine();
    for (const Case& c : cases) {
        LineSettings s;
        s.BaudRate = c.rate;
        s.DataBits = c.dataBits;
        s.Parity = c.parity;
        s.StopBits = c.stopBits;
        ASSERT_EQ(backend_.SetLineSettings(s), 0) << c.rate;
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        ASSERT_TRUE(GetCommState(backend_.Handle(), &dcb));
        // Wine sets a rate it has no termios speed for through the UART's divisor and
        // reads back the nominal 38400 that carries it.
        EXPECT_EQ(dcb.BaudRate, wine && c.rate == 28800 ? 38400u : c.rate);
        EXPECT_EQ(dcb.ByteSize, c.dataBits) << c.rate;
        EXPECT_EQ(dcb.Parity, c.parity) << c.rate;
        EXPECT_EQ(dcb.StopBits, c.stopBits) << c.rate;
        EXPECT_EQ(dcb.fBinary, 1u);
        EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
        EXPECT_EQ(dcb.fOutX, 0u);
        EXPECT_EQ(dcb.fInX, 0u);
    }
}

TEST_F(Win32BackendOnInstrument, ReadReturnsAtOnceWithWhatIsWaiting) {
    // Wine lets an overlapped read with nothing waiting wait for the first byte even
    // under these timeouts; Windows returns at once with none.
    if (!cport::testing::RunningUnderWine()) {
        EXPECT_EQ(readAll(), "") << "nothing waiting";
    }
    write("\x0F");
    ASSERT_EQ(waitForInput(8), 8u);
    EXPECT_EQ(readAll(100), kDistanceFrame);
    write("\x0D");
    ASSERT_EQ(waitForInput(8), 8u);
    EXPECT_EQ(readAll(3), kSpeedFrame.substr(0, 3));
    EXPECT_EQ(readAll(), kSpeedFrame.substr(3));

    ModemLines lines;
    EXPECT_EQ(backend_.GetModemLines(lines), 0);
}

TEST_F(Win32BackendOnInstrument, SecondOpenOfTheSamePortFails) {
    if (cport::testing::RunningUnderWine())
        GTEST_SKIP() << "Wine does not enforce the sharing mode on serial devices";
    Win32Backend other;
    EXPECT_NE(other.Open(TestPortName()), 0);
    EXPECT_FALSE(other.IsOpen());
}

TEST(Win32Backend, OpenFailuresCarryTheOsError) {
    struct Case {
        std::string port;
        OsError expected;
    };
    const Case cases[] = {
        {"COM199", ERROR_FILE_NOT_FOUND},
        {"", ERROR_INVALID_NAME},
        {std::string("COM1\0x", 6), ERROR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        Win32Backend b;
        EXPECT_EQ(b.Open(c.port), c.expected) << c.port;
        EXPECT_FALSE(b.IsOpen());
        std::size_t done = 7;
        EXPECT_EQ(b.Write("x", 1, done), ERROR_INVALID_HANDLE);
        EXPECT_EQ(done, 0u);
    }
}

using WaitResult = std::pair<WaitOutcome, TComEvents>;

// One WaitForEvents on its own thread, as the component's event thread runs it. A
// test that fails half-way still stops the wait, so that it never hangs.
class WaitThread {
public:
    explicit WaitThread(Win32Backend& backend)
        : backend_(backend)
        , result_(std::async(std::launch::async, [&backend] {
            TComEvents events;
            WaitOutcome outcome = backend.WaitForEvents(events);
            return WaitResult(outcome, events);
        })) {}
    ~WaitThread() {
        if (result_.valid() && result_.wait_for(0s) != std::future_status::ready) {
            backend_.StopEventWait();
            result_.wait();
        }
    }
    std::future_status wait_for(std::chrono::milliseconds t) { return result_.wait_for(t); }
    WaitResult get() { return result_.get(); }

private:
    Win32Backend& backend_;
    std::future<WaitResult> result_;
};

class Win32EventWait : public Win32BackendOnInstrument {
protected:
    void TearDown() override { backend_.FinishEventWait(); }
};

TEST_F(Win32EventWait, ReceivedBytesEndTheWaitAndTheStopSignalEndsTheNext) {
    // Only received bytes: a write would otherwise end the next wait with evTxEmpty.
    ASSERT_EQ(backend_.PrepareEventWait(TComEvents{evRxChar}), 0);
    for (int round = 0; round < 3; ++round) {
        WaitThread wait(backend_);
        EXPECT_EQ(wait.wait_for(100ms), std::future_status::timeout) << "woke without input";
        write("\x0F");
        ASSERT_EQ(wait.wait_for(3s), std::future_status::ready);
        auto [outcome, events] = wait.get();
        EXPECT_EQ(outcome, WaitOutcome::Events);
        EXPECT_TRUE(events.Contains(evRxChar));
        waitForInput(8);
        EXPECT_EQ(readAll(), kDistanceFrame);
    }
    WaitThread wait(backend_);
    EXPECT_EQ(wait.wait_for(50ms), std::future_status::timeout);
    backend_.StopEventWait();
    ASSERT_EQ(wait.wait_for(3s), std::future_status::ready) << "stop signal ignored";
    EXPECT_EQ(wait.get().first, WaitOutcome::Stopped);
    backend_.FinishEventWait();
    // The device is usable after the wait has ended, and can be watched again.
    write("\x0D");
    ASSERT_EQ(waitForInput(8), 8u);
    EXPECT_EQ(readAll(), kSpeedFrame);
    ASSERT_EQ(backend_.PrepareEventWait(TComEvents{evRxChar}), 0);
    backend_.StopEventWait();
    EXPECT_EQ(WaitThread(backend_).get().first, WaitOutcome::Stopped);
    backend_.FinishEventWait();
}

TEST_F(Win32EventWait, AWaitEndedByAMaskChangeIsRearmed) {
    ASSERT_EQ(backend_.PrepareEventWait(TComEvents{evRxChar, evError}), 0);
    WaitThread wait(backend_);
    for (int i = 0; i < 3; ++i) {
        Sleep(30);
        // Another thread changing the mask ends the pending wait without events.
        SetCommMask(backend_.Handle(), EV_RXCHAR | EV_ERR);
    }
    EXPECT_EQ(wait.wait_for(200ms), std::future_status::timeout) << "an aborted wait was reported";
    write("\x0F");
    ASSERT_EQ(wait.wait_for(5s), std::future_status::ready);
    auto [outcome, events] = wait.get();
    EXPECT_EQ(outcome, WaitOutcome::Events);
    EXPECT_TRUE(events.Contains(evRxChar));
    backend_.StopEventWait();
    backend_.FinishEventWait();
}

TEST(Win32BackendWait, AWaitTheDeviceRefusesIsReportedOnce) {
    // The null device is no serial port: it refuses the wait at once.
    Win32Backend backend;
    ASSERT_EQ(backend.Open("NUL"), 0);
    ASSERT_EQ(backend.PrepareEventWait(AllComEvents), 0);
    {
        WaitThread wait(backend);
        ASSERT_EQ(wait.wait_for(3s), std::future_status::ready) << "refused wait retried";
        const WaitOutcome outcome = wait.get().first;
        EXPECT_TRUE(outcome == WaitOutcome::Failed || outcome == WaitOutcome::DeviceLost)
            << static_cast<int>(outcome);
    }
    EXPECT_NE(backend.LastWaitError(), 0u);
    std::cout << "refused with error " << backend.LastWaitError() << "\n";
    backend.FinishEventWait();
}

TEST_F(Win32EventWait, StopWhileTheWaitIsPendingEndsItAndTheDeviceStaysUsable) {
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(backend_.PrepareEventWait(AllComEvents), 0);
        WaitThread wait(backend_);
        EXPECT_EQ(wait.wait_for(30ms), std::future_status::timeout);
        backend_.StopEventWait();
        ASSERT_EQ(wait.wait_for(3s), std::future_status::ready);
        EXPECT_EQ(wait.get().first, WaitOutcome::Stopped);
        backend_.FinishEventWait();
    }
    backend_.Close();
    openAndConfigure();
    write("\x0F");
    ASSERT_EQ(waitForInput(8), 8u);
    EXPECT_EQ(readAll(), kDistanceFrame);
}

} // namespace
} // namespace cport::win32
