// The simulated rangefinder, driven through a plain pseudo-terminal client.

#include "RangefinderSimulator.h"
#include "SimPace.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace lrf::sim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(const Frame& f) {
    return Bytes(f.begin(), f.end());
}

TEST(SimFrames, EncodeValuesUnitsAndMarks) {
    struct Case {
        const char* what;
        Frame frame;
        Bytes expected;
    };
    const Case cases[] = {
        {"yards with angle",
         DistanceFrame(23.0, 45.0, 'B', 1),
         {0xDA, 0x00, 0x23, 0x00, 0xB1, 0x45, 0x00, 0xEE}},
        {"metres without angle",
         DistanceFrame(1234.5, std::nullopt),
         {0xDA, 0x12, 0x34, 0x50, 0xA1, 0x99, 0x00, 0xEE}},
        {"negative angle, height",
         DistanceFrame(10.0, -45.5, 'C', 2),
         {0xDA, 0x00, 0x10, 0x00, 0xC2, 0x45, 0x5F, 0xEE}},
        {"no distance",
         DistanceFrame(std::nullopt, 12.3),
         {0xDA, 0x99, 0x99, 0x00, 0xA1, 0x12, 0x30, 0xEE}},
        {"clamped",
         DistanceFrame(123456.0, 120.0),
         {0xDA, 0x99, 0x99, 0x90, 0xA1, 0x98, 0x90, 0xEE}},
        {"negative speed km/h",
         SpeedFrame(-123.4, 'D'),
         {0xDA, 0x01, 0x23, 0x40, 0xD0, 0x99, 0x0F, 0xEE}},
        {"speed mph", SpeedFrame(50.0, 'E'), {0xDA, 0x00, 0x50, 0x00, 0xE0, 0x99, 0x00, 0xEE}},
        {"no speed",
         SpeedFrame(std::nullopt, 'F'),
         {0xDA, 0x99, 0x00, 0x00, 0xF0, 0x99, 0x00, 0xEE}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToBytes(c.frame), c.expected) << c.what;
}

// A program on the far end of the simulator's device.
class SimClient : public ::testing::Test {
protected:
    void SetUp() override {
        sim.Start();
        fd = ::open(sim.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fd, 0);
    }
    void TearDown() override {
        if (fd >= 0)
            ::close(fd);
    }

    void Send(std::uint8_t byte) { ASSERT_EQ(::write(fd, &byte, 1), 1); }

    // Reads what arrives within `timeout`, one read per wake-up, until `want`
    // bytes are in.
    std::vector<Bytes> Receive(std::size_t want, std::chrono::milliseconds timeout = 1000ms) {
        std::vector<Bytes> chunks;
        std::size_t total = 0;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (total < want) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0 || (p.revents & POLLHUP))
                break;
            std::uint8_t buffer[64];
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            chunks.emplace_back(buffer, buffer + n);
            total += static_cast<std::size_t>(n);
        }
        return chunks;
    }

    static Bytes Joined(const std::vector<Bytes>& chunks) {
        Bytes all;
        for (const auto& c : chunks)
            all.insert(all.end(), c.begin(), c.end());
        return all;
    }

    RangefinderSimulator sim;
    int fd = -1;
};

TEST_F(SimClient, AnswersEachCommandWithItsFrame) {
    SimSettings s;
    s.distance = 23.0;
    s.inclination = 45.0;
    s.distanceUnitLetter = 'B';
    s.speed = 88.8;
    s.speedUnitLetter = 'F';
    sim.SetSettings(s);
    Send(kDistanceCommand);
    EXPECT_EQ(Joined(Receive(8)), ToBytes(DistanceFrame(23.0, 45.0, 'B', 1)));
    Send(kSpeedCommand);
    EXPECT_EQ(Joined(Receive(8)), ToBytes(SpeedFrame(88.8, 'F')));
    Send(0x41); // not a command: no answer
    EXPECT_TRUE(Receive(1, 50ms).empty());
    const SimCounters c = sim.Counters();
    EXPECT_EQ(c.distanceCommands, 1u);
    EXPECT_EQ(c.speedCommands, 1u);
    EXPECT_EQ(c.otherBytes, 1u);
    EXPECT_EQ(c.repliesSent, 2u);
}

TEST_F(SimClient, ReplyWaitsForTheDelay) {
    SimSettings s;
    s.replyDelay = 60ms;
    sim.SetSettings(s);
    const auto start = std::chrono::steady_clock::now();
    Send(kDistanceCommand);
    ASSERT_EQ(Joined(Receive(8)).size(), 8u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 60ms);
}

TEST_F(SimClient, FaultsSpoilTheNextReplyOnly) {
    const Frame good = DistanceFrame(123.4, std::nullopt);
    struct Case {
        SimFault fault;
        std::size_t bytes;
        std::size_t minChunks;
        std::function<bool(const Bytes&)> check;
    };
    const Case cases[] = {
        {SimFault::DropReply, 0, 0, [](const Bytes& b) { return b.empty(); }},
        {SimFault::SplitFrame, 8, 2, [&](const Bytes& b) { return b == ToBytes(good); }},
        {SimFault::Garbage, 8, 1, [](const Bytes& b) { return b.size() == 8 && b[0] != 0xDA; }},
        {SimFault::CorruptDigit, 8, 1,
         [&](const Bytes& b) {
             return b.size() == 8 && b[0] == 0xDA && (b[1] >> 4) >= 0xA && b[2] == good[2];
         }},
    };
    for (const Case& c : cases) {
        sim.SetFault(c.fault);
        Send(kDistanceCommand);
        auto chunks = Receive(c.bytes == 0 ? 1 : c.bytes, c.bytes == 0 ? 100ms : 1000ms);
        EXPECT_TRUE(c.check(Joined(chunks))) << static_cast<int>(c.fault);
        EXPECT_GE(chunks.size(), c.minChunks) << static_cast<int>(c.fault);
        Send(kDistanceCommand); // the fault was for one reply
        EXPECT_EQ(Joined(Receive(8)), ToBytes(good)) << static_cast<int>(c.fault);
    }
    EXPECT_EQ(sim.Counters().repliesDropped, 1u);
}

TEST_F(SimClient, LastingFaultHoldsUntilCleared) {
    sim.SetFault(SimFault::DropReply, -1);
    for (int i = 0; i < 3; ++i) {
        Send(kSpeedCommand);
        EXPECT_TRUE(Receive(1, 30ms).empty());
    }
    // The fault is cleared only once the simulator has dropped all three: a
    // busy machine can hold it up past the reads above.
    const auto limit = std::chrono::steady_clock::now() + 10s;
    while (sim.Counters().repliesDropped < 3 && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(1ms);
    ASSERT_EQ(sim.Counters().repliesDropped, 3u);
    sim.SetFault(SimFault::None);
    Send(kSpeedCommand);
    EXPECT_EQ(Joined(Receive(8)).size(), 8u);
}

// The adapter mode holds each reply's bytes until its latency timer runs out:
// cutting every reply, the rest leaves one whole timer after the first piece,
// and the bytes come complete and in order.
TEST_F(SimClient, AdapterHoldsTheRestOfACutReplyForItsTimer) {
    struct Case {
        std::chrono::microseconds timer;
        bool linePace;
    };
    for (const Case c : {Case{16ms, true}, Case{16ms, false}, Case{1ms, false}}) {
        SCOPED_TRACE(std::to_string(c.timer.count()) + " us" + (c.linePace ? " paced" : ""));
        SimSettings s;
        s.linePace = c.linePace;
        s.adapter.latencyTimer = c.timer;
        s.adapter.cutEveryReply = true;
        sim.SetSettings(s);
        sim.ClearHistory();
        int inTwo = 0;
        for (int i = 0; i < 10; ++i) {
            Send(kDistanceCommand);
            const std::vector<Bytes> chunks = Receive(8);
            EXPECT_EQ(Joined(chunks), ToBytes(DistanceFrame(123.4, std::nullopt, 'A', 1)));
            EXPECT_LE(chunks.size(), 2u);
            inTwo += chunks.size() == 2 ? 1 : 0;
        }
        if (c.timer >= 16ms) {
            EXPECT_GT(inTwo, 0);
        }
        for (const SimExchange& e : sim.History()) {
            ASSERT_TRUE(e.replied);
            EXPECT_GE(e.written - e.received, c.timer);
        }
    }
}

// A whole reply keeps the line's pace but arrives in one piece; either way the
// exchange is in the history by the time its reply is in, which is what tests
// that wait for a reply and then read the history rely on.
TEST_F(SimClient, RepliesAreInTheHistoryOnceTheyArrive) {
    for (const bool whole : {false, true}) {
        SCOPED_TRACE(whole ? "whole" : "byte by byte");
        SimSettings s;
        s.wholeReplies = whole;
        sim.SetSettings(s);
        for (int i = 0; i < 20; ++i) {
            sim.ClearHistory();
            Send(kDistanceCommand);
            const std::vector<Bytes> chunks = Receive(8);
            ASSERT_EQ(Joined(chunks), ToBytes(DistanceFrame(123.4, std::nullopt, 'A', 1)));
            if (whole) {
                EXPECT_EQ(chunks.size(), 1u);
            }
            const std::vector<SimExchange> history = sim.History();
            ASSERT_EQ(history.size(), 1u);
            EXPECT_TRUE(history[0].replied);
            const SimLineState line = sim.LineState();
            const auto sevenCharacters =
                std::chrono::microseconds(7 * (2 + line.dataBits) * 1'000'000LL /
                                          std::max<std::uint32_t>(line.bitsPerSecond, 1));
            EXPECT_GE(history[0].written - history[0].received, sevenCharacters);
        }
    }
}

// A full buffer does not wait for the timer: with three bytes of room and a
// timer far away, the first six bytes of a reply come at once.
TEST_F(SimClient, AdapterSendsAFullBufferAtOnce) {
    SimSettings s;
    s.linePace = false;
    s.adapter.latencyTimer = 255ms;
    s.adapter.buffer = 3;
    s.adapter.cutEveryReply = true;
    sim.SetSettings(s);
    Send(kDistanceCommand);
    const auto sent = std::chrono::steady_clock::now();
    const Bytes first = Joined(Receive(6));
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 200ms);
    EXPECT_GE(first.size(), 6u);
    Bytes all = first;
    if (all.size() < 8) {
        const Bytes rest = Joined(Receive(8 - all.size()));
        all.insert(all.end(), rest.begin(), rest.end());
    }
    EXPECT_EQ(all, ToBytes(DistanceFrame(123.4, std::nullopt, 'A', 1)));
}

TEST_F(SimClient, HangUpRemovesTheDevice) {
    const std::string path = sim.DevicePath();
    sim.SetFault(SimFault::HangUp);
    Send(kDistanceCommand);
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 1000), 1);
    EXPECT_TRUE(p.revents & POLLHUP);
    EXPECT_TRUE(sim.HungUp());
    EXPECT_FALSE(std::filesystem::exists(path));
    sim.Stop(); // still fine after the hang-up
}

TEST(SimProgram, PrintsTheDevicePathFirst) {
    FILE* out = popen("exec " LRFSIM_PROGRAM " --delay 0 & pid=$!; sleep 0.3; kill $pid", "r");
    ASSERT_NE(out, nullptr);
    char line[256] = {};
    ASSERT_NE(std::fgets(line, sizeof line, out), nullptr);
    pclose(out);
    EXPECT_EQ(std::string(line).rfind("/dev/pts/", 0), 0u) << line;
}

// The pace counts pauses only after replies that went out: a command that got
// no reply has no pause after it, however long the program then waited.
TEST(SimPace, PausesFollowOnlyRepliesThatWentOut) {
    using std::chrono::milliseconds;
    const auto t0 = std::chrono::steady_clock::now();
    std::vector<SimExchange> history(3);
    for (int i = 0; i < 3; ++i) {
        history[static_cast<std::size_t>(i)].received = t0 + milliseconds(20 * i);
        history[static_cast<std::size_t>(i)].written = t0 + milliseconds(20 * i + 5);
        history[static_cast<std::size_t>(i)].replied = i != 1;
    }
    const SimPace pace = PaceOf(history);
    EXPECT_EQ(pace.shots, 3u);
    EXPECT_DOUBLE_EQ(pace.shotsPerSecond, 50.0);
    ASSERT_EQ(pace.pausesMs.size(), 1u);
    EXPECT_DOUBLE_EQ(pace.PauseMs(0.0), 15.0);
    EXPECT_EQ(PaceText(pace),
              "3 shots, 50.0 per s, pause after a reply min 15.00 ms, median 15.00 ms");
    EXPECT_EQ(PaceOf({}).shots, 0u);
}

} // namespace
} // namespace lrf::sim
