#include "CPort.h"
#include "ComErrors.h"
#include "HandOver.h"

#include "TestPort.h"

#include "win32/Win32Backend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace cport {
namespace {

using namespace std::chrono_literals;
using cport::testing::kDistanceFrame;
using cport::testing::kSpeedFrame;
using cport::testing::TestPortName;

// Runs hand-overs on this thread, as the GUI thread does, until `done` or timeout.
bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 3s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        WaitForPendingCalls(10ms);
    }
    return true;
}

// The instrument port as the main window sets it up; OnRxChar reads exactly Count
// bytes and records what it was told and what it got.
class ComPortOnInstrument : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_TEST_PORT();
        port_.SetPort(TestPortName());
        port_.SetBaudRate(br19200);
        port_.Parity().SetBits(prNone);
        port_.SetDataBits(dbEight);
        port_.SetStopBits(sbOneStopBit);
        port_.OnRxChar = [this](TCustomComPort& sender, int count) {
            EXPECT_EQ(&sender, &port_);
            std::string text;
            const int got = port_.ReadText(text, count);
            counts_.push_back(count);
            if (got != count)
                ++shortReads_;
            received_ += text;
        };
    }
    void TearDown() override { port_.SetConnected(false); }

    std::string roundTrip(const std::string& command, std::size_t replyBytes) {
        received_.clear();
        EXPECT_EQ(port_.WriteText(command), static_cast<int>(command.size()));
        EXPECT_TRUE(pumpUntil([&] { return received_.size() >= replyBytes; })) << "no reply";
        return received_;
    }

    TComPort port_;
    std::vector<int> counts_;
    int shortReads_ = 0;
    std::string received_;
};

TEST_F(ComPortOnInstrument, HundredDistanceRoundTripsAnnounceEachReply) {
    port_.SetConnected(true);
    ASSERT_TRUE(port_.Connected());
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(roundTrip("\x0F", 8), kDistanceFrame) << "round trip " << i;
    EXPECT_EQ(shortReads_, 0) << "a handler got fewer bytes than it was told";
    int total = 0;
    int whole = 0;
    for (int c : counts_) {
        EXPECT_GE(c, 1);
        EXPECT_LE(c, 8);
        total += c;
        whole += c == 8;
    }
    EXPECT_EQ(total, 800);
    std::cout << "replies announced whole: " << whole << " of " << counts_.size()
              << " announcements\n";
    EXPECT_GE(whole, 90) << "replies should mostly arrive as one batch of 8";
    EXPECT_EQ(roundTrip("\x0D", 8), kSpeedFrame);
}

// A reply that comes in while the event thread is still handing over the batch
// before it (a busy window thread) is announced as well: the wait armed after it
// finds the bytes already there, which some drivers never signal.
TEST_F(ComPortOnInstrument, BytesThatCameBeforeTheWaitWasArmedAreAnnounced) {
    bool busy = true;
    port_.OnRxChar = [this, &busy](TCustomComPort&, int count) {
        std::string text;
        port_.ReadText(text, count);
        received_ += text;
        if (busy && received_.size() >= 8) {
            busy = false;
            port_.WriteText("\x0F");
            std::this_thread::sleep_for(300ms); // the reply arrives meanwhile
        }
    };
    port_.SetConnected(true);
    ASSERT_EQ(port_.WriteText("\x0F"), 1);
    EXPECT_TRUE(pumpUntil([&] { return received_.size() >= 16; })) << received_.size();
    EXPECT_EQ(received_, kDistanceFrame + kDistanceFrame);
}

TEST_F(ComPortOnInstrument, OpensAtTheStandardAndACustomRate) {
    struct Case {
        TBaudRate rate;
        int custom;
    };
    const Case cases[] = {{br19200, 9600}, {brCustom, 28800}, {br115200, 9600}, {brCustom, 9600}};
    for (const Case& c : cases) {
        port_.SetBaudRate(c.rate);
        port_.SetCustomBaudRate(c.custom);
        port_.SetConnected(true);
        ASSERT_TRUE(port_.Connected());
        EXPECT_EQ(roundTrip("\x0F", 8), kDistanceFrame) << c.rate << " " << c.custom;
        port_.SetConnected(false);
    }
}

TEST_F(ComPortOnInstrument, ClosingWhileTheWaitIsPendingEndsQuicklyAndReopens) {
    for (int round = 0; round < 3; ++round) {
        port_.SetConnected(true);
        ASSERT_TRUE(port_.Connected());
        WaitForPendingCalls(50ms); // the event thread is in its wait now
        const auto start = std::chrono::steady_clock::now();
        port_.SetConnected(false);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << "close hung on the wait";
        EXPECT_FALSE(port_.Connected());
    }
    port_.SetConnected(true);
    EXPECT_EQ(roundTrip("\x0F", 8), kDistanceFrame);
}

TEST_F(ComPortOnInstrument, OpenAndCloseReportTheModemLines) {
    // The instrument's port shows CTS, DSR and carrier on, as an idle modem cable does.
    std::vector<std::string> seen;
    auto record = [&seen](const char* line) {
        return [&seen, line](TCustomComPort&, bool on) {
            seen.push_back(std::string(line) + (on ? "+" : "-"));
        };
    };
    port_.OnCTSChange = record("CTS");
    port_.OnDSRChange = record("DSR");
    port_.OnRLSDChange = record("RLSD");
    port_.SetConnected(true);
    EXPECT_EQ(seen, (std::vector<std::string>{"CTS+", "DSR+", "RLSD+"}));
    seen.clear();
    port_.SetConnected(false);
    EXPECT_EQ(seen, (std::vector<std::string>{"CTS-", "DSR-", "RLSD-"}));
}

TEST_F(ComPortOnInstrument, BulkBytesArriveCompleteOverSeveralBatches) {
    port_.SetConnected(true);
    std::string bulk;
    for (int i = 0; i < 4096; ++i)
        bulk += static_cast<char>('A' + i % 26); // never a command byte
    EXPECT_EQ(roundTrip(bulk, bulk.size()), bulk);
    EXPECT_EQ(shortReads_, 0);
}

TEST_F(ComPortOnInstrument, ASecondPortCannotOpenTheSameDevice) {
    if (cport::testing::RunningUnderWine())
        GTEST_SKIP() << "Wine does not enforce the sharing mode on serial devices";
    port_.SetConnected(true);
    TComPort other;
    other.SetPort(TestPortName());
    try {
        other.SetConnected(true);
        FAIL() << "opened twice";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), 1);
        EXPECT_GT(e.OsErrorCode(), 0);
    }
    EXPECT_FALSE(other.Connected());
    EXPECT_EQ(roundTrip("\x0F", 8), kDistanceFrame) << "the first port was disturbed";
}

TEST(ComPortWin32, MissingPortRaisesCodeOneWithTheOsError) {
    struct Case {
        std::string port;
        int osError;
    };
    const Case cases[] = {{"COM199", ERROR_FILE_NOT_FOUND}, {"", ERROR_INVALID_NAME}};
    for (const Case& c : cases) {
        TComPort port;
        port.SetPort(c.port);
        try {
            port.SetConnected(true);
            FAIL() << "opened " << c.port;
        } catch (const EComPort& e) {
            EXPECT_EQ(e.PortErrorCode(), 1);
            EXPECT_EQ(e.OsErrorCode(), c.osError);
            EXPECT_EQ(std::string(e.what()), "Unable to open com port (win error code: " +
                                                 std::to_string(c.osError) + ")");
        }
        EXPECT_FALSE(port.Connected());
    }
}

} // namespace
} // namespace cport
