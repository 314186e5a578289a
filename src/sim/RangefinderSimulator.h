#pragma once

// A simulated handheld rangefinder on a pseudo-terminal. Programs open
// DevicePath() like any serial port; the simulator answers the distance command
// 0x0F with a distance frame and the speed command 0x0D with a speed frame, and
// can be told to misbehave in the ways real links do.

#include "SimFrames.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace lrf::sim {

struct SimSettings {
    char distanceUnitLetter = 'A'; // B yards, C feet, other letters metres
    char speedUnitLetter = 'D';    // D km/h, E mph, F m/s
    int quantity = 1;              // 1 slope distance, 2 height, 3 horizontal
    std::optional<double> distance = 123.4;
    std::optional<double> inclination; // degrees; none sends the no-angle mark
    std::optional<double> speed = 45.6;
    std::chrono::milliseconds replyDelay{0};
    std::chrono::milliseconds splitGap{5}; // pause inside a split frame
};

enum class SimFault {
    None,
    DropReply,    // send nothing
    SplitFrame,   // send the frame in two writes with a pause between
    Garbage,      // send eight bytes that are not a frame
    CorruptDigit, // put a hex letter where a decimal digit belongs
    HangUp        // close the far end: the device vanishes
};

// How the program on the other end has configured the line.
struct SimLineState {
    std::uint32_t bitsPerSecond = 0;
    int dataBits = 0;
    char parity = 'N'; // N, O, E, M, S
    int stopBits = 1;
};

struct SimCounters {
    std::uint64_t distanceCommands = 0;
    std::uint64_t speedCommands = 0;
    std::uint64_t otherBytes = 0;
    std::uint64_t repliesSent = 0;
    std::uint64_t repliesDropped = 0;
};

class RangefinderSimulator {
public:
    RangefinderSimulator();
    ~RangefinderSimulator();
    RangefinderSimulator(const RangefinderSimulator&) = delete;
    RangefinderSimulator& operator=(const RangefinderSimulator&) = delete;

    // Creates the pseudo-terminal and starts answering. Throws std::system_error.
    void Start();
    // Stops answering and removes the device. Safe to call twice.
    void Stop();
    bool Running() const { return thread_.joinable(); }

    // The path to open, e.g. /dev/pts/3; empty before Start().
    const std::string& DevicePath() const { return devicePath_; }

    void SetSettings(const SimSettings& settings);
    SimSettings Settings() const;

    // Applies `fault` to the next `count` replies (a negative count: until
    // cleared with SimFault::None).
    void SetFault(SimFault fault, int count = 1);

    SimCounters Counters() const;

    // The line settings now in force on the device. Throws std::system_error.
    SimLineState LineState() const;
    bool HungUp() const { return hungUp_; }

private:
    void run();
    void answer(std::uint8_t command);
    SimFault takeFault();
    bool sendAll(const std::uint8_t* data, std::size_t size);
    bool pause(std::chrono::milliseconds duration); // false when stopping
    void hangUp();

    mutable std::mutex mutex_;
    SimSettings settings_;
    SimFault fault_ = SimFault::None;
    int faultCount_ = 0;

    std::atomic<std::uint64_t> distanceCommands_{0};
    std::atomic<std::uint64_t> speedCommands_{0};
    std::atomic<std::uint64_t> otherBytes_{0};
    std::atomic<std::uint64_t> repliesSent_{0};
    std::atomic<std::uint64_t> repliesDropped_{0};
    std::atomic<bool> hungUp_{false};

    int master_ = -1;
    int keepAlive_ = -1; // our own handle on the far end, so that the master never
                         // reports a hang-up while no program has the port open
    int stopFd_ = -1;
    std::string devicePath_;
    std::thread thread_;
};

} // namespace lrf::sim
