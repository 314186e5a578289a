#pragma once

// A simulated handheld rangefinder on a pseudo-terminal or on an in-process line
// of the serial component. Programs open DevicePath() like any serial port; the simulator answers
// the distance command 0x0F with a distance frame and the speed command 0x0D with a speed frame,
// and can be told to misbehave in the ways real links do.

#include "SimFrames.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace lrf::sim {

// A USB-serial adapter between the instrument and the program, as the common
// chips behave: reply bytes wait in the adapter's buffer until its latency timer
// runs out or the buffer holds `buffer` bytes, and then go on as one piece.
struct SimAdapter {
    std::chrono::microseconds latencyTimer{0}; // zero: no adapter
    std::size_t buffer = 62;                   // payload bytes of one USB packet
    // The timer runs out at a random byte inside every reply, so that each reply
    // comes in two pieces one timer apart. Off, the timer runs at its own pace
    // and cuts only the replies it happens to meet.
    bool cutEveryReply = false;
};

struct SimSettings {
    char distanceUnitLetter = 'A'; // B yards, C feet, other letters metres
    char speedUnitLetter = 'D';    // D km/h, E mph, F m/s
    int quantity = 1;              // 1 slope distance, 2 height, 3 horizontal
    std::optional<double> distance = 123.4;
    std::optional<double> inclination; // degrees; none sends the no-angle mark
    std::optional<double> speed = 45.6;
    // Each distance reply measures `distanceStep` more than the one before; the
    // steps start again after 1000 replies.
    double distanceStep = 0.0;
    // The spread of a real instrument: each distance reply is off by a normally
    // distributed amount with this standard deviation, from a fixed seed, so
    // that a run's values repeat from one start to the next.
    double distanceNoise = 0.0;
    std::chrono::milliseconds replyDelay{0};
    // The pace of a real line: each reply byte leaves one character time after the
    // one before, at the rate the program on the other end has set. Off, a reply
    // is written at once, which only a fast benchmark wants.
    bool linePace = true;
    // With the line's pace, a reply leaves in one write at the moment its last
    // byte would have been through the line, as from an adapter that hands on
    // whole frames: a busy machine that holds up the simulator cannot then cut
    // a reply in two.
    bool wholeReplies = false;
    std::chrono::milliseconds splitGap{5}; // pause inside a split frame
    int splitAt = 0; // bytes before the pause of a split frame; 0 picks 1 to 7 at random
    SimAdapter adapter;
};

enum class SimFault {
    None,
    DropReply,    // send nothing
    SplitFrame,   // send the frame in two pieces with a pause between
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

// One command and the reply to it, with the simulator's own time stamps.
struct SimExchange {
    std::uint8_t command = 0;
    std::chrono::steady_clock::time_point received{}; // the command's read returned
    Frame reply{};                                    // what was sent, when anything was
    bool replied = false;                             // the whole reply went out
    std::chrono::steady_clock::time_point written{};  // its last byte's write began
};

enum class SimDevice {
    PseudoTerminal, // a device that any program on the machine can open (Linux)
    InProcess       // a line of the serial component, for this process only
};

// Where the platform has pseudo-terminals the simulator is on one; elsewhere it
// is on an in-process line.
#ifdef _WIN32
inline constexpr SimDevice kDefaultSimDevice = SimDevice::InProcess;
#else
inline constexpr SimDevice kDefaultSimDevice = SimDevice::PseudoTerminal;
#endif

class SimTransport;

class RangefinderSimulator {
public:
    RangefinderSimulator()
        : RangefinderSimulator(kDefaultSimDevice) {}
    explicit RangefinderSimulator(SimDevice device);
    ~RangefinderSimulator();
    RangefinderSimulator(const RangefinderSimulator&) = delete;
    RangefinderSimulator& operator=(const RangefinderSimulator&) = delete;

    // Creates the device and starts answering. Throws std::system_error.
    void Start();
    // Stops answering and removes the device. Safe to call twice.
    void Stop();
    bool Running() const { return thread_.joinable(); }

    // The name to open, e.g. /dev/pts/3 or SIM1; empty before Start().
    const std::string& DevicePath() const { return devicePath_; }

    void SetSettings(const SimSettings& settings);
    SimSettings Settings() const;

    // Applies `fault` to the next `count` replies (a negative count: until
    // cleared with SimFault::None).
    void SetFault(SimFault fault, int count = 1);

    SimCounters Counters() const;

    // The last 100000 commands and their replies, oldest first.
    std::vector<SimExchange> History() const;
    void ClearHistory();

    // The line settings now in force on the device. Throws std::system_error.
    SimLineState LineState() const;
    bool HungUp() const { return hungUp_; }

private:
    void run();
    void answer(std::uint8_t command, std::chrono::steady_clock::time_point received);
    SimFault takeFault();
    std::chrono::nanoseconds characterTime() const;
    bool sendFrame(const Frame& frame, std::size_t cut, std::chrono::milliseconds gap,
                   std::chrono::nanoseconds characterTime, bool wholeReply, SimExchange& exchange);
    bool sendThroughAdapter(const Frame& frame, std::size_t cut, std::chrono::milliseconds gap,
                            std::chrono::nanoseconds characterTime, const SimAdapter& adapter,
                            SimExchange& exchange);
    void lastBytesGoing(SimExchange& exchange);
    void unsendLast();
    bool pause(std::chrono::milliseconds duration);             // false when stopping
    bool sleepUntil(std::chrono::steady_clock::time_point due); // false when stopping
    void remember(const SimExchange& exchange);
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
    std::uint64_t distanceReplies_ = 0; // the simulator thread's own
    std::minstd_rand random_{std::random_device{}()};
    std::mt19937 noise_{20261209};                         // the simulator thread's own
    std::chrono::steady_clock::time_point adapterEpoch_{}; // the free-running timer's start

    mutable std::mutex historyMutex_;
    std::deque<SimExchange> history_;

    SimDevice device_;
    std::unique_ptr<SimTransport> transport_;
    std::string devicePath_;
    std::thread thread_;
};

} // namespace lrf::sim
