// The in-process simulated line: the component opens it by name like a device,
// and everything the program sees (settings, replies, hand-over, loss of the
// device) comes through the same paths as on a real port.

#include "CPort.h"
#include "ComErrors.h"
#include "RangefinderSimulator.h"
#include "SimFrames.h"

#include <gtest/gtest.h>

#include <chrono>

namespace cport {
namespace {

using namespace std::chrono_literals;

template <typename Pred> bool PumpUntil(Pred done, std::chrono::milliseconds timeout = 5000ms) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        WaitForPendingCalls(5ms);
    }
    return true;
}

class InProcessLine : public ::testing::Test {
protected:
    void SetUp() override {
        sim.Start();
        port.SetPort(sim.DevicePath());
        port.SetBaudRate(br19200);
        port.OnRxChar = [this](TCustomComPort& sender, int count) {
            std::string chunk;
            sender.ReadText(chunk, count);
            received += chunk;
        };
        port.OnDeviceLost = [this](TCustomComPort&) { lost = true; };
    }
    void TearDown() override {
        port.OnRxChar = nullptr;
        port.OnDeviceLost = nullptr;
        port.SetConnected(false);
    }

    lrf::sim::RangefinderSimulator sim{lrf::sim::SimDevice::InProcess};
    TComPort port;
    std::string received;
    bool lost = false;
};

TEST_F(InProcessLine, RepliesAtLinePaceThroughTheHandOver) {
    EXPECT_EQ(sim.DevicePath().rfind("SIM", 0), 0u);
    port.OpenPort();
    EXPECT_EQ(sim.LineState().bitsPerSecond, 19200u);
    EXPECT_EQ(sim.LineState().dataBits, 8);

    const auto sent = std::chrono::steady_clock::now();
    port.WriteText("\x0F");
    ASSERT_TRUE(PumpUntil([&] { return received.size() >= 8; }));
    const auto frame = lrf::sim::DistanceFrame(123.4, std::nullopt, 'A', 1);
    EXPECT_EQ(received, std::string(frame.begin(), frame.end()));
    // Eight characters of ten bits at 19200 bit/s take 4.2 ms on the line.
    EXPECT_GE(std::chrono::steady_clock::now() - sent, 3500us);
    EXPECT_EQ(sim.Counters().distanceCommands, 1u);
}

TEST_F(InProcessLine, OneProgramAtATimeAndUnknownNamesFail) {
    port.OpenPort();
    TComPort second;
    second.SetPort(sim.DevicePath());
    EXPECT_THROW(second.OpenPort(), EComPort);
    TComPort unknown;
    unknown.SetPort("SIM999999");
    EXPECT_THROW(unknown.OpenPort(), EComPort);
    port.ClosePort();
    EXPECT_NO_THROW(second.OpenPort()); // free again
}

TEST_F(InProcessLine, HangUpIsTheLossOfTheDevice) {
    port.OpenPort();
    sim.SetFault(lrf::sim::SimFault::HangUp);
    port.WriteText("\x0F");
    ASSERT_TRUE(PumpUntil([&] { return lost; }));
    EXPECT_TRUE(received.empty());
}

} // namespace
} // namespace cport
