#include "ReplyHandler.h"
#include "HexText.h"
#include "Units.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace lrf;

namespace {

// Records which steps ran, in order, with the values they were given.
struct Trace {
    std::vector<std::string> steps;
    bool refuseRecord = false;

    ReplyHandler::Steps wire() {
        return {[this](std::uint8_t unit, double v) { add("distance", unit, v); },
                [this](std::uint8_t unit, double v) { add("speed", unit, v); },
                [this] {
                    steps.push_back("record");
                    return !refuseRecord;
                },
                [this](bool ee) { steps.push_back(ee ? "rearm EE" : "rearm"); }};
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
        ReplyHandler handler(state, trace.wire());
        const auto bytes = HexTextToBytes(c.bytes);
        EXPECT_EQ(handler.handle(bytes), c.outcome);
        EXPECT_EQ(trace.steps, c.steps);
    }
}

TEST(ReplyHandler, ARefusedRecordSkipsTheReArmStep) {
    MainState state;
    Trace trace;
    trace.refuseRecord = true;
    ReplyHandler handler(state, trace.wire());
    EXPECT_EQ(handler.handle(HexTextToBytes("DA 00 23 02 A1 99 00 EE")),
              ReplyHandler::Outcome::RecordRefused);
    EXPECT_EQ(trace.steps,
              (std::vector<std::string>{"distance M 23.0", "speed KPH 990.0", "record"}));
}

// A bad frame leaves the values of the good frame before it; the next good
// frame is handled as usual.
TEST(ReplyHandler, MalformedReplyThenGoodOnes) {
    MainState state;
    Trace trace;
    ReplyHandler handler(state, trace.wire());
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
