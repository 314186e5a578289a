#include "Measurement.h"
#include "SimFrames.h"

#include <gtest/gtest.h>

#include <cstring>

namespace lrf {
namespace {

using sim::DistanceFrame;
using sim::Frame;
using sim::SpeedFrame;

// The records must read exactly as they did when they were made from the
// decoder's state: the typed measurement, converted, gives the same values bit
// for bit, marks and limits included.
TEST(Measurement, RecordValuesEqualThoseOfTheDecodersState) {
    struct Case {
        const char* what;
        Frame frame;
        DisplayUnits units;
    };
    const DisplayUnits metresKph{unitMetre, unitKph};
    const DisplayUnits feetMps{unitFoot, unitMetrePerSecond};
    const Case cases[] = {
        {"metres", DistanceFrame(123.4, std::nullopt), metresKph},
        {"yards to feet", DistanceFrame(88.8, std::nullopt, 'B'), feetMps},
        {"exactly the mark in yards", DistanceFrame(2400.0, std::nullopt, 'B'), metresKph},
        {"no distance", DistanceFrame(std::nullopt, std::nullopt), feetMps},
        {"height from an angle", DistanceFrame(50.0, -12.5, 'C', 2), metresKph},
        {"km/h", SpeedFrame(45.6), metresKph},
        {"mph to m/s", SpeedFrame(-30.2, 'E'), feetMps},
        {"no speed", SpeedFrame(std::nullopt), feetMps},
        {"speed at the limit", SpeedFrame(999.9), metresKph},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MeasurementState state;
        const DecodeResult decoded = DecodeReply(c.frame, state);
        ASSERT_EQ(decoded.status, DecodeStatus::Decoded);
        const Measurement m = MakeMeasurement(state, decoded, c.frame, {});
        ConvertForDisplay(state, c.units, decoded);
        const MeasurementInputs inputs = RecordInputs(m, c.units);
        // Bit for bit: a difference in the last place changes no text today but
        // would be a second way of converting.
        EXPECT_EQ(std::memcmp(&inputs.LinearDistance, &state.LinearDistance, sizeof(double)), 0)
            << inputs.LinearDistance << " " << state.LinearDistance;
        EXPECT_EQ(std::memcmp(&inputs.SpeedValue, &state.SpeedValue, sizeof(double)), 0)
            << inputs.SpeedValue << " " << state.SpeedValue;
        EXPECT_EQ(inputs.DistanceUnit, c.units.DistanceUnit);
        EXPECT_EQ(inputs.SpeedUnit, c.units.SpeedUnit);
        EXPECT_TRUE(m.complete);
        EXPECT_EQ(m.frame.size(), c.frame.size());
    }
}

// What was not measured stays empty, so that no consumer mistakes a mark for a value.
TEST(Measurement, MarksAreNoValues) {
    MeasurementState state;
    const Frame none = DistanceFrame(std::nullopt, std::nullopt);
    const Measurement noDistance = MakeMeasurement(state, DecodeReply(none, state), none, {});
    EXPECT_FALSE(noDistance.distance);
    EXPECT_FALSE(noDistance.inclination);
    EXPECT_FALSE(noDistance.speed);

    const Frame angled = DistanceFrame(50.0, 30.0);
    const Measurement withAngle = MakeMeasurement(state, DecodeReply(angled, state), angled, {});
    ASSERT_TRUE(withAngle.distance && withAngle.height && withAngle.horizontal);
    EXPECT_DOUBLE_EQ(*withAngle.distance, 50.0);
    EXPECT_NEAR(*withAngle.height, 25.0, 0.01);

    const std::uint8_t garbage[] = {1, 2, 3};
    const Measurement notAFrame = MakeMeasurement(state, DecodeReply(garbage, state), garbage, {});
    EXPECT_FALSE(notAFrame.distance || notAFrame.speed || notAFrame.height);
    EXPECT_FALSE(notAFrame.complete);
}

} // namespace
} // namespace lrf
