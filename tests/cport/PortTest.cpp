// Open, close, settings and blocking I/O of the serial port component against a
// real pseudo-terminal.

#include "SimPortFixture.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace cport::testing {
namespace {

TEST(ComPortDefaults, MatchTheDocumentedDefaults) {
    TComPort port;
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.CustomBaudRate(), 9600);
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_FALSE(port.DiscardNull());
    EXPECT_EQ(port.EventChar(), 0);
    EXPECT_EQ(port.Events(), AllComEvents);
    EXPECT_EQ(port.Events().Bits(), 0x03FF);
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    EXPECT_EQ(port.Parity().Bits(), prNone);
    EXPECT_FALSE(port.Parity().Check());
    EXPECT_FALSE(port.Parity().Replace());
    EXPECT_EQ(port.Parity().ReplaceChar(), 0);
    const TComFlowControl& fc = port.FlowControl();
    EXPECT_EQ(fc.FlowControl(), fcNone);
    EXPECT_EQ(fc.ControlDTR(), dtrDisable);
    EXPECT_EQ(fc.ControlRTS(), rtsDisable);
    EXPECT_EQ(fc.XonChar(), 17);
    EXPECT_EQ(fc.XoffChar(), 19);
    EXPECT_EQ(port.Timeouts().ReadInterval(), -1);
    EXPECT_EQ(port.Timeouts().ReadTotalMultiplier(), 0);
    EXPECT_EQ(port.Timeouts().ReadTotalConstant(), 0);
    EXPECT_EQ(port.Timeouts().WriteTotalMultiplier(), 100);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 1000);
    EXPECT_EQ(port.Buffer().InputSize(), 1024);
    EXPECT_EQ(port.Buffer().OutputSize(), 1024);
}

TEST(ComPortSettings, FlowControlIsDerivedFromItsFields) {
    struct Case {
        TRTSFlowControl rts;
        bool cts, xin, xout;
        TFlowControl expected;
    };
    const Case cases[] = {
        {rtsDisable, false, false, false, fcNone},   {rtsHandshake, true, false, false, fcHardware},
        {rtsDisable, false, true, true, fcSoftware}, {rtsHandshake, true, true, false, fcCustom},
        {rtsEnable, false, false, false, fcCustom},  {rtsDisable, false, true, false, fcCustom},
        {rtsDisable, true, false, false, fcCustom},
    };
    for (const Case& c : cases) {
        TComPort port;
        TComFlowControl& fc = port.FlowControl();
        fc.SetControlRTS(c.rts);
        fc.SetOutCTSFlow(c.cts);
        fc.SetXonXoffIn(c.xin);
        fc.SetXonXoffOut(c.xout);
        EXPECT_EQ(fc.FlowControl(), c.expected) << c.rts << c.cts << c.xin << c.xout;
    }
}

TEST(ComPortSettings, WritingFlowControlRewritesTheFourFields) {
    TComPort port;
    TComFlowControl& fc = port.FlowControl();
    fc.SetFlowControl(fcHardware);
    EXPECT_EQ(fc.ControlRTS(), rtsHandshake);
    EXPECT_TRUE(fc.OutCTSFlow());
    fc.SetFlowControl(fcSoftware);
    EXPECT_EQ(fc.ControlRTS(), rtsDisable);
    EXPECT_FALSE(fc.OutCTSFlow());
    EXPECT_TRUE(fc.XonXoffIn() && fc.XonXoffOut());
    fc.SetFlowControl(fcCustom);
    EXPECT_EQ(fc.FlowControl(), fcSoftware);
    fc.SetFlowControl(fcNone);
    EXPECT_EQ(fc.FlowControl(), fcNone);
}

TEST(ComPortSettings, OddBufferSizesAreStoredOneLess) {
    TComPort port;
    const std::pair<int, int> cases[] = {{1025, 1024}, {2048, 2048}, {1, 0}, {0, 0}, {-3, -3}};
    for (auto [given, stored] : cases) {
        port.Buffer().SetInputSize(given);
        port.Buffer().SetOutputSize(given);
        EXPECT_EQ(port.Buffer().InputSize(), stored) << given;
        EXPECT_EQ(port.Buffer().OutputSize(), stored) << given;
    }
}

TEST(ComPortSettings, AssigningAGroupCopiesEveryField) {
    TComPort a;
    TComPort b;
    a.Parity().SetBits(prMark);
    a.Parity().SetCheck(true);
    a.Parity().SetReplaceChar('?');
    a.Timeouts().SetWriteTotalConstant(5);
    b.SetParity(a.Parity());
    b.SetTimeouts(a.Timeouts());
    EXPECT_EQ(b.Parity().Bits(), prMark);
    EXPECT_TRUE(b.Parity().Check());
    EXPECT_EQ(b.Parity().ReplaceChar(), '?');
    EXPECT_EQ(b.Timeouts().WriteTotalConstant(), 5);
}

TEST(ComPortSettings, BaudRatesHaveTheirBitsPerSecond) {
    const std::uint32_t expected[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                      14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    for (int r = brCustom; r <= br256000; ++r)
        EXPECT_EQ(BaudRateToBits(static_cast<TBaudRate>(r)), expected[r]) << r;
}

using ComPortOpenClose = SimPortTest;

TEST_F(ComPortOpenClose, OpenAndCloseTwiceRunEachSequenceOnce) {
    std::vector<std::string> log;
    port.OnBeforeOpen = [&](TCustomComPort&) { log.push_back("before-open"); };
    port.OnAfterOpen = [&](TCustomComPort& p) {
        log.push_back(p.Connected() ? "after-open" : "after-open-closed");
    };
    port.OnCTSChange = [&](TCustomComPort&, bool on) { log.push_back(on ? "cts+" : "cts-"); };
    port.OnDSRChange = [&](TCustomComPort&, bool on) { log.push_back(on ? "dsr+" : "dsr-"); };
    port.OnRLSDChange = [&](TCustomComPort&, bool on) { log.push_back(on ? "rlsd+" : "rlsd-"); };
    port.OnBeforeClose = [&](TCustomComPort& p) {
        log.push_back(p.Connected() ? "before-close" : "before-close-closed");
    };
    port.OnAfterClose = [&](TCustomComPort& p) {
        log.push_back(p.Connected() ? "after-close-open" : "after-close");
    };
    port.SetConnected(true);
    port.OpenPort();
    EXPECT_TRUE(port.Connected());
    port.SetConnected(false);
    port.ClosePort();
    EXPECT_FALSE(port.Connected());
    // A pseudo-terminal has no modem lines: they read as off, and open succeeds.
    const std::vector<std::string> expected = {"before-open",  "after-open", "cts-", "dsr-",
                                               "rlsd-",        "cts-",       "dsr-", "rlsd-",
                                               "before-close", "after-close"};
    EXPECT_EQ(log, expected);
    port.SetConnected(true); // and again after a close
    EXPECT_TRUE(port.Connected());
}

TEST_F(ComPortOpenClose, BadNamesRaiseCodeOneAndLeaveThePortClosed) {
    const std::string regularFile =
        (std::filesystem::temp_directory_path() / ("cport-not-a-tty-" + std::to_string(getpid())))
            .string();
    std::ofstream(regularFile) << "x";
    struct Case {
        std::string name;
        int osError;
    };
    const Case cases[] = {
        {"", ENOENT},
        {"/dev/no-such-serial-port", ENOENT},
        {"no-such-serial-port", ENOENT},
        {regularFile, ENOTTY},
    };
    for (const Case& c : cases) {
        TComPort p;
        p.SetPort(c.name);
        try {
            p.SetConnected(true);
            ADD_FAILURE() << "opened " << c.name;
        } catch (const EComPort& e) {
            EXPECT_EQ(e.PortErrorCode(), 1) << c.name;
            EXPECT_EQ(e.OsErrorCode(), c.osError) << c.name;
            EXPECT_EQ(std::string(e.what()), "Unable to open com port (win error code: " +
                                                 std::to_string(c.osError) + ")");
        }
        EXPECT_FALSE(p.Connected()) << c.name;
    }
    std::filesystem::remove(regularFile);
}

TEST_F(ComPortOpenClose, APortInUseCannotBeOpenedAgainUnderAnyName) {
    port.SetConnected(true);
    const std::string link =
        (std::filesystem::temp_directory_path() / ("cport-link-" + std::to_string(getpid())))
            .string();
    std::filesystem::remove(link);
    std::filesystem::create_symlink(sim.DevicePath(), link);
    for (const std::string& name : {sim.DevicePath(), link}) {
        TComPort second;
        second.SetPort(name);
        try {
            second.OpenPort();
            ADD_FAILURE() << "second open of " << name;
        } catch (const EComPort& e) {
            EXPECT_EQ(e.PortErrorCode(), 1);
            EXPECT_TRUE(e.OsErrorCode() == EWOULDBLOCK || e.OsErrorCode() == EBUSY)
                << e.OsErrorCode();
        }
        EXPECT_FALSE(second.Connected());
    }
    port.SetConnected(false);
    TComPort second;
    second.SetPort(link);
    EXPECT_NO_THROW(second.OpenPort());
    std::filesystem::remove(link);
}

TEST_F(ComPortOpenClose, EveryBaudRateReachesTheDevice) {
    for (int r = brCustom; r <= br256000; ++r) {
        const auto rate = static_cast<TBaudRate>(r);
        port.SetBaudRate(rate);
        port.SetConnected(true);
        const std::uint32_t expected = rate == brCustom ? 9600u : BaudRateToBits(rate);
        EXPECT_EQ(sim.LineState().bitsPerSecond, expected) << r;
        port.SetConnected(false);
    }
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(250000);
    port.SetConnected(true);
    EXPECT_EQ(sim.LineState().bitsPerSecond, 250000u);
}

TEST_F(ComPortOpenClose, SettingsChangedWhileClosedApplyAtTheNextOpen) {
    port.SetConnected(true);
    port.SetConnected(false);
    // (A pseudo-terminal runs 8 data bits without parity whatever it is told.)
    port.SetBaudRate(br57600);
    port.SetStopBits(sbTwoStopBits);
    auto closed = sim.LineState();
    EXPECT_EQ(closed.bitsPerSecond, 19200u);
    EXPECT_EQ(closed.stopBits, 1);
    port.SetConnected(true);
    auto open = sim.LineState();
    EXPECT_EQ(open.bitsPerSecond, 57600u);
    EXPECT_EQ(open.stopBits, 2);
    // While open a change is pushed at once.
    port.SetBaudRate(br115200);
    port.SetStopBits(sbOneStopBit);
    EXPECT_EQ(sim.LineState().bitsPerSecond, 115200u);
    EXPECT_EQ(sim.LineState().stopBits, 1);
}

TEST_F(ComPortOpenClose, ChangingThePortNameWhileOpenReopens) {
    lrf::sim::RangefinderSimulator other;
    other.Start();
    int opens = 0;
    int closes = 0;
    port.OnAfterOpen = [&](TCustomComPort&) { ++opens; };
    port.OnAfterClose = [&](TCustomComPort&) { ++closes; };
    CollectReplies();
    port.SetConnected(true);
    port.SetPort(other.DevicePath());
    EXPECT_EQ(opens, 2);
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(port.Connected());
    port.WriteText("\x0F");
    ASSERT_TRUE(PumpUntil([&] { return received.size() >= 8; }));
    EXPECT_EQ(other.Counters().distanceCommands, 1u);
    EXPECT_EQ(sim.Counters().distanceCommands, 0u);
}

TEST_F(ComPortOpenClose, SyncMethodCannotChangeWhileOpen) {
    port.SetConnected(true);
    port.SetSyncMethod(smThreadSync); // the same value is fine
    try {
        port.SetSyncMethod(smNone);
        ADD_FAILURE() << "changed while open";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), 14);
        EXPECT_EQ(e.OsErrorCode(), -1);
        EXPECT_STREQ(e.what(), "Cannot set property while connected");
    }
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    port.SetConnected(false);
    port.SetSyncMethod(smNone);
    EXPECT_EQ(port.SyncMethod(), smNone);
}

TEST_F(ComPortOpenClose, LoadingStoresConnectedAndOpensWhenLoaded) {
    port.BeginLoading();
    port.SetConnected(true);
    port.SetBaudRate(br57600);
    EXPECT_EQ(port.Connected(), true); // stored only
    EXPECT_NE(sim.LineState().bitsPerSecond, 57600u);
    port.Loaded();
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(sim.LineState().bitsPerSecond, 57600u);
    // A second end of loading finds the port open and leaves it so.
    EXPECT_NO_THROW(port.Loaded());
    EXPECT_TRUE(port.Connected());
    port.SetConnected(false);
    EXPECT_NO_THROW(port.SetConnected(true)) << "the device was left open";
}

using ComPortIo = SimPortTest;

TEST_F(ComPortIo, EmptyRequestsMakeNoDeviceCall) {
    // Closed port: a device call would fail, so success shows none was made.
    EXPECT_EQ(port.WriteText(""), 0);
    std::string text = "old";
    EXPECT_EQ(port.ReadText(text, 0), 0);
    EXPECT_EQ(text, "");
    text = "old";
    EXPECT_EQ(port.ReadText(text, -5), 0);
    EXPECT_EQ(text, "");
}

TEST_F(ComPortIo, ReadReturnsAtOnceWithWhatIsWaiting) {
    port.SetEvents(TComEvents{});
    port.SetConnected(true);
    std::string text;
    EXPECT_EQ(port.ReadText(text, 8), 0);
    EXPECT_EQ(text, "");
    EXPECT_EQ(port.WriteBytes("\x0F", 1), 1);
    ASSERT_TRUE(PumpUntil([&] { return port.BytesWaiting() >= 8; }));
    EXPECT_EQ(port.ReadText(text, 100), 8);
    ASSERT_EQ(text.size(), 8u);
    EXPECT_EQ(static_cast<unsigned char>(text[0]), 0xDA);
    EXPECT_EQ(static_cast<unsigned char>(text[7]), 0xEE);
    EXPECT_EQ(port.BytesWaiting(), 0);
}

TEST_F(ComPortIo, PartialReadLeavesTheRestQueued) {
    port.SetEvents(TComEvents{});
    port.SetConnected(true);
    port.WriteText("\x0D");
    ASSERT_TRUE(PumpUntil([&] { return port.BytesWaiting() >= 8; }));
    std::string head;
    std::string tail;
    EXPECT_EQ(port.ReadText(head, 3), 3);
    EXPECT_EQ(port.BytesWaiting(), 5);
    EXPECT_EQ(port.ReadText(tail, 8), 5);
    EXPECT_EQ(head + tail, [] {
        auto f = lrf::sim::SpeedFrame(45.6);
        return std::string(f.begin(), f.end());
    }());
}

TEST_F(ComPortIo, IoOnAClosedPortRaisesItsCode) {
    struct Case {
        const char* what;
        int code;
        std::function<void()> call;
    };
    std::string text;
    const Case cases[] = {
        {"write", 2, [&] { port.WriteText("x"); }},
        {"read", 3, [&] { port.ReadText(text, 4); }},
        {"waiting", 10, [&] { port.BytesWaiting(); }},
    };
    for (const Case& c : cases) {
        try {
            c.call();
            ADD_FAILURE() << c.what;
        } catch (const EComPort& e) {
            EXPECT_EQ(e.PortErrorCode(), c.code) << c.what;
            EXPECT_EQ(e.OsErrorCode(), EBADF) << c.what;
        }
    }
}

} // namespace
} // namespace cport::testing

namespace cport::testing {
namespace {

// A pseudo-terminal whose far end nobody reads: writes fill it up and stall.
class StalledLine : public ::testing::Test {
protected:
    void SetUp() override {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        path = ptsname(master);
    }
    void TearDown() override { close(master); }

    int master = -1;
    std::string path;
};

TEST_F(StalledLine, WriteTimeoutEndsWithTheBytesSentAndCloseDoesNotHang) {
    TComPort port;
    port.SetPort(path);
    port.SetEvents(TComEvents{});
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(100);
    port.SetConnected(true);
    const std::string big(1 << 20, 'x');
    const auto start = std::chrono::steady_clock::now();
    const int written = port.WriteText(big);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GT(written, 0);
    EXPECT_LT(written, static_cast<int>(big.size()));
    EXPECT_GE(took, 90ms);
    EXPECT_LT(took, 2s);
    const auto closeStart = std::chrono::steady_clock::now();
    port.SetConnected(false);
    EXPECT_LT(std::chrono::steady_clock::now() - closeStart, 500ms);
}

} // namespace
} // namespace cport::testing
