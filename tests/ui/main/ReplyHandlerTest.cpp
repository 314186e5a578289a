#include "ReplyHandler.h"
#include "HexText.h"
#include "Recorder.h"
#include "ReplyGathering.h"
#include "Units.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace lrf;

namespace {

// Records which steps ran, in order, with the values they were given: what the
// handler announces and every record that reaches the log of a real recorder.
struct Trace : LogSink {
    std::vector<std::string> steps;
    FreeTexts texts;
    Recorder recorder{*this};

    Trace() { recorder.SetRecording(true); }

    void Add(const TAData&, RowPart) override { steps.push_back("record"); }
    void Clear() override {}
    void AutoSave() override {}

    // Counts the log past the record limit, as the self-test entry can.
    void fillPastTheLimit() {
        while (recorder.RecordCount() <= Recorder::MaxRecordCount)
            recorder.RecordSelfTest({}, texts, {}, {});
        steps.clear();
    }

    void wire(ReplyHandler& handler) {
        handler.setRecording(&recorder, &texts);
        QObject::connect(&handler, &ReplyHandler::valuesDecoded, &handler,
                         [this](std::uint8_t distanceUnit, double distance, std::uint8_t speedUnit,
                                double speed) {
                             add("distance", distanceUnit, distance);
                             add("speed", speedUnit, speed);
                         });
        QObject::connect(&handler, &ReplyHandler::recordRefused, &handler,
                         [this] { steps.push_back("refused"); });
        QObject::connect(&handler, &ReplyHandler::replyHandled, &handler,
                         [this](bool ee, ReplyHandler::Clock::time_point) {
                             steps.push_back(ee ? "rearm EE" : "rearm");
                         });
    }
    void add(const char* what, std::uint8_t unit, double v) {
        char text[64];
        std::snprintf(text, sizeof text, "%s %s %.1f", what, std::string(UnitName(unit)).c_str(),
                      v);
        steps.push_back(text);
    }
};

} // namespace

TEST(ReplyHandler, RunsDecodeShowRecordReArmInOrder) {
    struct Case {
        const char* bytes;
        std::uint8_t distanceUnit;
        std::uint8_t speedUnit;
        std::vector<std::string> steps;
        ReplyHandler::Outcome outcome;
    };
    using O = ReplyHandler::Outcome;
    const std::vector<Case> cases{
        // A distance frame in yards shown in metres; no speed.
        {"DA 00 23 02 B1 45 00 EE",
         0,
         3,
         {"distance M 21.0", "speed KPH 990.0", "record", "rearm EE"},
         O::Completed},
        // The same frame shown in yards.
        {"DA 00 23 02 B1 45 00 EE",
         1,
         3,
         {"distance Y 23.0", "speed KPH 990.0", "record", "rearm EE"},
         O::Completed},
        // A speed frame in MPH shown in KPH; no distance.
        {"DA 00 50 00 E0 99 00 EE",
         0,
         3,
         {"distance M 2400.0", "speed KPH 80.5", "record", "rearm EE"},
         O::Completed},
        // No speed is shown in KPH whatever unit is chosen.
        {"DA 99 00 00 D0 99 00 EE",
         0,
         5,
         {"distance M 2400.0", "speed KPH 990.0", "record", "rearm EE"},
         O::Completed},
        // Not a frame, but it ends with 0xEE: shown and recorded as no value, re-armed.
        {"11 EE",
         0,
         3,
         {"distance M 2400.0", "speed KPH 990.0", "record", "rearm EE"},
         O::Completed},
        // Two frames in one batch are not decoded; the last byte still counts.
        {"DA 00 23 02 B1 45 00 EE DA 00 23 02 B1 45 00 EE",
         0,
         3,
         {"distance M 2400.0", "speed KPH 990.0", "record", "rearm EE"},
         O::Completed},
        // A batch that does not end with 0xEE re-arms nothing.
        {"DA 00 23 02",
         0,
         3,
         {"distance M 2400.0", "speed KPH 990.0", "record", "rearm"},
         O::Completed},
        // A hex letter where a digit belongs ends the handling of this batch only.
        {"DA 0A 23 02 B1 99 00 EE", 0, 3, {}, O::MalformedNumber},
        // A measured 2400.0 yards is a distance, not the no-distance mark.
        {"DA 24 00 00 B1 99 00 EE",
         0,
         3,
         {"distance M 2194.6", "speed KPH 990.0", "record", "rearm EE"},
         O::Completed},
        // A real speed beyond the readout's limit keeps the chosen unit.
        {"DA 05 00 00 F0 99 00 EE",
         0,
         4,
         {"distance M 2400.0", "speed MPH 1118.5", "record", "rearm EE"},
         O::Completed},
        // A no-distance frame in yards keeps its mark through the conversion.
        {"DA 00 00 00 B1 99 00 EE",
         0,
         3,
         {"distance M 2400.0", "speed KPH 990.0", "record", "rearm EE"},
         O::Completed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        MainState state;
        state.units.DistanceUnit = c.distanceUnit;
        state.units.SpeedUnit = c.speedUnit;
        Trace trace;
        ReplyHandler handler(state);
        trace.wire(handler);
        const auto bytes = HexTextToBytes(c.bytes);
        EXPECT_EQ(handler.handle(bytes), c.outcome);
        EXPECT_EQ(trace.steps, c.steps);
    }
}

TEST(ReplyHandler, ARefusedRecordSkipsTheReArmStep) {
    MainState state;
    Trace trace;
    trace.fillPastTheLimit();
    ReplyHandler handler(state);
    trace.wire(handler);
    EXPECT_EQ(handler.handle(HexTextToBytes("DA 00 23 02 A1 99 00 EE")),
              ReplyHandler::Outcome::RecordRefused);
    EXPECT_EQ(trace.steps,
              (std::vector<std::string>{"distance M 23.0", "speed KPH 990.0", "refused"}));
}

// A bad frame leaves the values of the good frame before it; the next good
// frame is handled as usual.
TEST(ReplyHandler, MalformedReplyThenGoodOnes) {
    MainState state;
    Trace trace;
    ReplyHandler handler(state);
    trace.wire(handler);
    handler.handle(HexTextToBytes("DA 01 23 40 A1 99 00 EE"));
    EXPECT_DOUBLE_EQ(state.measurement.LinearDistance, 123.4);
    trace.steps.clear();
    EXPECT_EQ(handler.handle(HexTextToBytes("DA 1B 23 40 A1 99 00 EE")),
              ReplyHandler::Outcome::MalformedNumber);
    EXPECT_TRUE(trace.steps.empty());
    EXPECT_EQ(handler.handle(HexTextToBytes("DA 00 45 60 A1 99 00 EE")),
              ReplyHandler::Outcome::Completed);
    EXPECT_DOUBLE_EQ(state.measurement.LinearDistance, 45.6);
    EXPECT_EQ(trace.steps.front(), "distance M 45.6");
}

namespace {

using Clock = ReplyGathering::Clock;

// The receive path from the port on: gathering, then the handler's steps.
struct GatheredPath {
    GatheredPath() { trace.wire(handler); }

    MainState state;
    Trace trace;
    ReplyHandler handler{state};
    std::vector<Clock::time_point> arrivals; // of each batch handled
    std::string waiting;                     // in the port, not yet announced
    ReplyGathering gathering{[this](std::span<const std::uint8_t> batch, Clock::time_point at) {
                                 arrivals.push_back(at);
                                 handler.handle(batch, at);
                             },
                             [this] { return std::exchange(waiting, {}); }};

    void receive(const std::string& hex, Clock::time_point at) {
        gathering.receive(HexTextToBytes(hex), at);
    }
};

const std::vector<std::string> kWholeFrameSteps{"distance M 21.0", "speed KPH 990.0", "record",
                                                "rearm EE"};

} // namespace

// However the line cuts a reply, it is decoded, shown and recorded once, as the
// whole frame would be, and its pause counts from the piece that completed it.
TEST(ReplyGathering, EverySplitIsHandledOnceAsTheWholeFrame) {
    const std::string frame = "DA 00 23 02 B1 45 00 EE ";
    std::vector<std::vector<std::string>> splits;
    for (std::size_t cut = 1; cut < 8; ++cut)
        splits.push_back({frame.substr(0, 3 * cut), frame.substr(3 * cut)});
    splits.emplace_back();
    for (std::size_t i = 0; i < 8; ++i)
        splits.back().push_back(frame.substr(3 * i, 3));
    const Clock::time_point t0 = Clock::now();
    for (const auto& pieces : splits) {
        SCOPED_TRACE(pieces.front() + "+ " + std::to_string(pieces.size() - 1) + " more");
        GatheredPath path;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            EXPECT_TRUE(path.trace.steps.empty());
            path.receive(pieces[i], t0 + std::chrono::microseconds(500 * i));
        }
        EXPECT_EQ(path.trace.steps, kWholeFrameSteps);
        EXPECT_NEAR(path.state.measurement.Inclination, 45.0, 1e-9);
        EXPECT_NEAR(path.state.measurement.VerticalHeight, 16.2635, 1e-4);
        EXPECT_EQ(path.arrivals, std::vector<Clock::time_point>{
                                     t0 + std::chrono::microseconds(500 * (pieces.size() - 1))});
        EXPECT_FALSE(path.gathering.frameTimer().isActive());
    }
}

// The beginning of a frame whose rest never comes is handled on its own after
// the frame time, with the no-value display and record of any short batch.
TEST(ReplyGathering, APrefixAloneIsHandledAfterTheFrameTime) {
    GatheredPath path;
    QElapsedTimer clock;
    clock.start();
    path.receive("DA 00 23", Clock::now());
    EXPECT_TRUE(path.trace.steps.empty());
    EXPECT_TRUE(path.gathering.frameTimer().isActive());
    while (path.trace.steps.empty() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_GE(clock.elapsed(), 20);
    EXPECT_EQ(path.trace.steps, (std::vector<std::string>{"distance M 2400.0", "speed KPH 990.0",
                                                          "record", "rearm"}));
    EXPECT_FALSE(path.gathering.holding());
}

// When the frame time is up but the rest is already in the port, its
// announcement merely came late: the frame is whole. The late announcement then
// finds nothing left to read, and an empty read is no reply of its own.
TEST(ReplyGathering, TheRestWaitingInThePortAtTheFrameTimeCompletesTheFrame) {
    GatheredPath path;
    path.receive("DA 00 23", Clock::now());
    const auto rest = HexTextToBytes("02 B1 45 00 EE");
    path.waiting.assign(rest.begin(), rest.end());
    QElapsedTimer clock;
    clock.start();
    while (path.trace.steps.empty() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(path.trace.steps, kWholeFrameSteps);
    path.receive("", Clock::now());
    EXPECT_EQ(path.trace.steps, kWholeFrameSteps);
    EXPECT_FALSE(path.gathering.frameTimer().isActive());
}

// Pieces passing eight bytes are handled together as one batch that is not a
// frame; the re-arm looks at its last byte as for any batch.
TEST(ReplyGathering, APrefixAndGarbagePassingEightAreOneBatch) {
    GatheredPath path;
    const Clock::time_point t0 = Clock::now();
    path.receive("DA 00 23", t0);
    path.receive("3C 21 7E 00 FF 55 EE", t0 + std::chrono::milliseconds(2));
    EXPECT_EQ(path.trace.steps, (std::vector<std::string>{"distance M 2400.0", "speed KPH 990.0",
                                                          "record", "rearm EE"}));
    EXPECT_FALSE(path.gathering.frameTimer().isActive());
    path.receive("DA 00 23 02 B1 45 00 EE", t0 + std::chrono::milliseconds(3));
    EXPECT_EQ(path.trace.steps.size(), 8u);
}
