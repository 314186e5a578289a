#pragma once

// A real serial port component talking to the simulated rangefinder over a
// pseudo-terminal. The test thread plays the GUI thread: it runs the queued
// hand-overs while it waits for something to happen.

#include "CPort.h"
#include "RangefinderSimulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <thread>

namespace cport::testing {

using namespace std::chrono_literals;

// Runs hand-overs on this thread until `done()` holds or `timeout` passes.
template <typename Pred> bool PumpUntil(Pred done, std::chrono::milliseconds timeout = 2000ms) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        WaitForPendingCalls(5ms);
    }
    return true;
}

// Runs hand-overs for `duration`.
inline void PumpFor(std::chrono::milliseconds duration) {
    PumpUntil([] { return false; }, duration);
}

inline double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

class SimPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        // These tests count the batches of a reply: it goes out in one piece, or
        // in the two of a split frame.
        lrf::sim::SimSettings settings;
        settings.linePace = false;
        sim.SetSettings(settings);
        sim.Start();
        port.SetPort(sim.DevicePath());
        port.SetBaudRate(br19200);
    }

    // Handlers of a test capture its locals, which are gone by now.
    void TearDown() override {
        port.OnAfterOpen = port.OnAfterClose = port.OnBeforeOpen = port.OnBeforeClose = nullptr;
        port.OnCTSChange = port.OnDSRChange = port.OnRLSDChange = nullptr;
        port.OnRxChar = nullptr;
        port.OnDeviceLost = nullptr;
        port.SetConnected(false);
    }

    // Sends one command byte and collects the reply through OnRxChar.
    void CollectReplies() {
        port.OnRxChar = [this](TCustomComPort& sender, int count) {
            ++rxCalls;
            counts.push_back(count);
            std::string chunk;
            sender.ReadText(chunk, count);
            received += chunk;
            rxOnTestThread = rxOnTestThread && std::this_thread::get_id() == testThread;
        };
    }

    lrf::sim::RangefinderSimulator sim; // declared first: outlives the port
    TComPort port;
    std::thread::id testThread = std::this_thread::get_id();
    int rxCalls = 0;
    std::vector<int> counts;
    std::string received;
    bool rxOnTestThread = true;
};

inline std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

} // namespace cport::testing
