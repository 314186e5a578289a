#include "SelfTest.h"
#include "Units.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using namespace lrf;

namespace {

struct Outcome {
    bool completed = false;
    std::optional<double> shown;
    std::optional<SelfTestInputs> recorded;
    int reArms = 0;
};

// What the window does with the decoded entry: show the distance, record the
// values while recording, re-arm on the end text.
Outcome run(const char* text, bool recording, MainState& state) {
    Outcome out;
    const std::optional<SelfTestFrame> frame = DecodeSelfTestEntry(text, state);
    out.completed = frame.has_value();
    if (!frame)
        return out;
    out.shown = state.measurement.LinearDistance;
    if (recording)
        out.recorded = frame->values;
    out.reArms = frame->endedWithEE ? 1 : 0;
    return out;
}

} // namespace

TEST(SelfTest, DesignTextDerivesAndConvertsAllThreeDistances) {
    MainState state;
    const Outcome out = run("DA 00 23 02 B1 45 00 EE ", true, state);
    ASSERT_TRUE(out.completed);
    ASSERT_TRUE(out.shown);
    EXPECT_NEAR(*out.shown, 21.0312, 1e-9);
    ASSERT_TRUE(out.recorded);
    EXPECT_NEAR(out.recorded->LinearDistance, 21.0312, 1e-9);
    EXPECT_NEAR(out.recorded->VerticalHeight, 14.8713, 1e-4);
    EXPECT_NEAR(out.recorded->HorizontalDistance, 14.8713, 1e-4);
    EXPECT_DOUBLE_EQ(out.recorded->Inclination, 45.0);
    EXPECT_EQ(out.reArms, 1);
}

TEST(SelfTest, EdgeTexts) {
    struct Case {
        const char* text;
        bool recording;
        bool completed;
        double shown;
        int reArms;
    };
    const std::vector<Case> cases{
        // Height without an angle: only the height is set.
        {"DA 00 23 02 B2 99 00 EE ", true, true, 0.0, 1},
        // Not eight tokens: nothing decoded, 0.0 shown.
        {"DA 00 23", true, true, 0.0, 0},
        // No end text "EE" in characters 22 and 23.
        {"DA 00 23 02 A1 99 00 EF ", false, true, 23.0, 0},
        // A bad digit ends the click before anything is shown.
        {"DA 00 2B 02 A1 99 00 EE ", true, false, -1.0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        MainState state;
        const Outcome out = run(c.text, c.recording, state);
        EXPECT_EQ(out.completed, c.completed);
        if (c.shown >= 0)
            EXPECT_NEAR(out.shown.value_or(-9), c.shown, 1e-9);
        else
            EXPECT_FALSE(out.shown);
        EXPECT_EQ(out.recorded.has_value(), c.recording && c.completed);
        EXPECT_EQ(out.reArms, c.reArms);
    }
}

TEST(SelfTest, HeightWithoutAngleGoesToTheHeightOnly) {
    MainState state;
    const Outcome out = run("DA 00 23 02 B2 99 00 EE ", true, state);
    ASSERT_TRUE(out.recorded);
    EXPECT_DOUBLE_EQ(out.recorded->LinearDistance, 0.0);
    EXPECT_NEAR(out.recorded->VerticalHeight, 21.0312, 1e-9);
    EXPECT_DOUBLE_EQ(out.recorded->HorizontalDistance, 0.0);
    EXPECT_DOUBLE_EQ(out.recorded->Inclination, 361.0);
}

// A typed 2400.0 is a measurement: it must not turn into the no-distance mark,
// which later unit changes of the readout would leave unconverted.
TEST(SelfTest, DistanceOfTheMarkValueStaysAMeasurement) {
    MainState state;
    const Outcome out = run("DA 24 00 00 A1 99 00 EE ", true, state);
    ASSERT_TRUE(out.completed);
    EXPECT_NE(state.measurement.LinearDistance, kNoDistance);
    EXPECT_NEAR(state.measurement.LinearDistance, 2400.0, 1e-9);
}
