#include "ReplyDecoder.h"
#include "Units.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace lrf;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Values of an earlier frame, each distinct, so that "kept" is visible.
constexpr double kOldLinear = 1.5;
constexpr double kOldHeight = 7.7;
constexpr double kOldHorizontal = 8.8;
constexpr double kOldInclination = 6.6;
constexpr double kOldSpeed = 5.5;

MeasurementState Earlier() {
    MeasurementState s;
    s.LinearDistance = kOldLinear;
    s.VerticalHeight = kOldHeight;
    s.HorizontalDistance = kOldHorizontal;
    s.Inclination = kOldInclination;
    s.SpeedValue = kOldSpeed;
    s.FrameUnit = unitMph;
    return s;
}

// Derived values come from sines and tangents: compared to a few nanometres.
constexpr double kTol = 1e-8;

} // namespace

struct DistanceCase {
    const char* name;
    Bytes frame;
    std::uint8_t unit;
    bool tookDistance;
    bool tookInclination;
    double linear;
    double height;
    double horizontal;
    double inclination;
};

TEST(DecodeReply, DistanceFrames) {
    const DistanceCase cases[] = {
        {"slope distance at 45 degrees in yards",
         {0xDA, 0x00, 0x23, 0x02, 0xB1, 0x45, 0x00, 0xEE},
         unitYard,
         true,
         true,
         23.0,
         16.263455749401782,
         16.2634561851794,
         45.0},
        {"no angle: distance only, the rest kept",
         {0xDA, 0x00, 0x23, 0x02, 0xB1, 0x99, 0x00, 0xEE},
         unitYard,
         true,
         false,
         23.0,
         kOldHeight,
         kOldHorizontal,
         kOldInclination},
        {"99 99 is no distance, the angle still counts",
         {0xDA, 0x99, 0x99, 0x02, 0xB1, 0x45, 0x00, 0xEE},
         unitYard,
         false,
         true,
         kNoDistance,
         kOldHeight,
         kOldHorizontal,
         45.0},
        {"00 00 is no distance, the angle still counts",
         {0xDA, 0x00, 0x00, 0x72, 0x01, 0x12, 0x30, 0xEE},
         unitMetre,
         false,
         true,
         kNoDistance,
         kOldHeight,
         kOldHorizontal,
         12.3},
        {"99 99 without angle: nothing",
         {0xDA, 0x99, 0x99, 0x00, 0xC1, 0x99, 0x00, 0xEE},
         unitFoot,
         false,
         false,
         kNoDistance,
         kOldHeight,
         kOldHorizontal,
         kOldInclination},
        {"quantity 0 takes no distance",
         {0xDA, 0x00, 0x23, 0x02, 0xB0, 0x45, 0x00, 0xEE},
         unitYard,
         false,
         true,
         kNoDistance,
         kOldHeight,
         kOldHorizontal,
         45.0},
        {"quantity 7 takes no distance",
         {0xDA, 0x00, 0x23, 0x02, 0x07, 0x45, 0x00, 0xEE},
         unitMetre,
         false,
         true,
         kNoDistance,
         kOldHeight,
         kOldHorizontal,
         45.0},
        {"sign nibble F: negative angle and height",
         {0xDA, 0x00, 0x23, 0x02, 0x01, 0x45, 0x5F, 0xEE},
         unitMetre,
         true,
         true,
         23.0,
         -16.40476011216731,
         16.120913301120517,
         -45.5},
        {"height given at 30 degrees",
         {0xDA, 0x00, 0x10, 0x00, 0x02, 0x30, 0x00, 0xEE},
         unitMetre,
         true,
         true,
         19.99999938119839,
         10.0,
         17.320507361158214,
         30.0},
        {"horizontal distance given at 45 degrees",
         {0xDA, 0x00, 0x10, 0x00, 0xC3, 0x45, 0x00, 0xEE},
         unitFoot,
         true,
         true,
         14.142135434262423,
         9.999999732051037,
         10.0,
         45.0},
        {"all digits and tenths, no angle",
         {0xDA, 0x12, 0x34, 0x5F, 0xC2, 0x99, 0x00, 0xEE},
         unitFoot,
         true,
         false,
         1234.5,
         kOldHeight,
         kOldHorizontal,
         kOldInclination},
        {"no angle ignores the quantity digit",
         {0xDA, 0x99, 0x00, 0x90, 0x0A, 0x99, 0x00, 0xEE},
         unitMetre,
         true,
         false,
         9900.9,
         kOldHeight,
         kOldHorizontal,
         kOldInclination},
        {"unit letter A is metres; end byte not checked",
         {0xDA, 0x00, 0x07, 0x00, 0xA1, 0x99, 0x00, 0x00},
         unitMetre,
         true,
         false,
         7.0,
         kOldHeight,
         kOldHorizontal,
         kOldInclination},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MeasurementState s = Earlier();
        const DecodeResult r = DecodeReply(c.frame, s);
        EXPECT_EQ(r.status, DecodeStatus::Decoded);
        EXPECT_EQ(r.tookDistance, c.tookDistance);
        EXPECT_EQ(r.tookInclination, c.tookInclination);
        EXPECT_FALSE(r.tookSpeed);
        EXPECT_EQ(s.FrameUnit, c.unit);
        EXPECT_NEAR(s.LinearDistance, c.linear, kTol);
        EXPECT_NEAR(s.VerticalHeight, c.height, kTol);
        EXPECT_NEAR(s.HorizontalDistance, c.horizontal, kTol);
        EXPECT_NEAR(s.Inclination, c.inclination, 1e-12);
        EXPECT_EQ(s.SpeedValue, kNoSpeed);
    }
}

TEST(DecodeReply, AngleConstantKeepsHeightCaseBelowTwenty) {
    MeasurementState s;
    DecodeReply(Bytes{0xDA, 0x00, 0x10, 0x00, 0x02, 0x30, 0x00, 0xEE}, s);
    EXPECT_LT(s.LinearDistance, 20.0);
    EXPECT_GT(s.LinearDistance, 19.999999);
}

struct SpeedCase {
    const char* name;
    Bytes frame;
    std::uint8_t unit;
    bool tookSpeed;
    double speed;
};

TEST(DecodeReply, SpeedFrames) {
    const SpeedCase cases[] = {
        {"km/h with sign nibble F",
         {0xDA, 0x01, 0x23, 0x40, 0xD0, 0x99, 0x0F, 0xEE},
         unitKph,
         true,
         -123.4},
        {"mph", {0xDA, 0x00, 0x50, 0x00, 0xE0, 0x99, 0x00, 0xEE}, unitMph, true, 50.0},
        {"m/s, sign nibble other than F",
         {0xDA, 0x00, 0x12, 0x30, 0xF1, 0x45, 0x0E, 0xEE},
         unitMetrePerSecond,
         true,
         12.3},
        {"byte 1 = 99 is no speed",
         {0xDA, 0x99, 0x23, 0x40, 0xD0, 0x99, 0x0F, 0xEE},
         unitKph,
         false,
         kNoSpeed},
        {"00 00 is a speed of zero",
         {0xDA, 0x00, 0x00, 0x00, 0xD0, 0x99, 0x00, 0xEE},
         unitKph,
         true,
         0.0},
        {"byte 2 = 99 is a speed",
         {0xDA, 0x00, 0x99, 0x90, 0xD0, 0x99, 0x00, 0xEE},
         unitKph,
         true,
         99.9},
        {"above the mark stays as decoded",
         {0xDA, 0x09, 0x95, 0x50, 0xD0, 0x99, 0x00, 0xEE},
         unitKph,
         true,
         995.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MeasurementState s = Earlier();
        const DecodeResult r = DecodeReply(c.frame, s);
        EXPECT_EQ(r.status, DecodeStatus::Decoded);
        EXPECT_EQ(r.tookSpeed, c.tookSpeed);
        EXPECT_FALSE(r.tookDistance || r.tookInclination);
        EXPECT_EQ(s.FrameUnit, c.unit);
        EXPECT_NEAR(s.SpeedValue, c.speed, 1e-12);
        // A speed frame touches no distance and no angle.
        EXPECT_EQ(s.LinearDistance, kNoDistance);
        EXPECT_EQ(s.VerticalHeight, kOldHeight);
        EXPECT_EQ(s.HorizontalDistance, kOldHorizontal);
        EXPECT_EQ(s.Inclination, kOldInclination);
    }
}

struct BatchCase {
    const char* name;
    Bytes batch;
    std::uint8_t unit;
};

TEST(DecodeReply, BatchesThatAreNoFrame) {
    const Bytes frame{0xDA, 0x00, 0x23, 0x02, 0xB1, 0x45, 0x00, 0xEE};
    Bytes twoFrames = frame;
    twoFrames.insert(twoFrames.end(), frame.begin(), frame.end());
    const BatchCase cases[] = {
        {"empty", {}, unitMetre},
        {"seven bytes", Bytes(frame.begin(), frame.end() - 1), unitMetre},
        {"nine bytes",
         [&] {
             Bytes b = frame;
             b.push_back(0xEE);
             return b;
         }(),
         unitMetre},
        {"two frames in one batch", twoFrames, unitMetre},
        {"no start mark, unit still taken",
         {0xDB, 0x00, 0x23, 0x02, 0xB1, 0x45, 0x00, 0xEE},
         unitYard},
        {"no start mark, speed unit", {0x00, 0x01, 0x23, 0x40, 0xE0, 0x99, 0x0F, 0xEE}, unitMph},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MeasurementState s = Earlier();
        const DecodeResult r = DecodeReply(c.batch, s);
        EXPECT_EQ(r.status, DecodeStatus::NotAFrame);
        EXPECT_FALSE(r.tookDistance || r.tookInclination || r.tookSpeed);
        EXPECT_EQ(s.FrameUnit, c.unit);
        EXPECT_EQ(s.LinearDistance, kNoDistance);
        EXPECT_EQ(s.SpeedValue, kNoSpeed);
        EXPECT_EQ(s.VerticalHeight, kOldHeight);
        EXPECT_EQ(s.HorizontalDistance, kOldHorizontal);
        EXPECT_EQ(s.Inclination, kOldInclination);
    }
}

struct MalformedCase {
    const char* name;
    Bytes frame;
    DecodeStatus status;
    bool tookInclination;
    double inclination;
    double linear;
    double speed;
};

// A hex letter read as a decimal number stops decoding where it is read; a letter
// in a place nobody reads is harmless.
TEST(DecodeReply, HexLettersWhereDigitsAreRead) {
    constexpr auto bad = DecodeStatus::MalformedNumber;
    constexpr auto ok = DecodeStatus::Decoded;
    const MalformedCase cases[] = {
        {"inclination degrees",
         {0xDA, 0x00, 0x23, 0x02, 0xB1, 0x4A, 0x00, 0xEE},
         bad,
         false,
         kOldInclination,
         kNoDistance,
         kNoSpeed},
        {"inclination tenths",
         {0xDA, 0x00, 0x23, 0x02, 0xB1, 0x45, 0xB0, 0xEE},
         bad,
         false,
         kOldInclination,
         kNoDistance,
         kNoSpeed},
        {"quantity digit",
         {0xDA, 0x00, 0x23, 0x02, 0xBA, 0x45, 0x00, 0xEE},
         bad,
         true,
         45.0,
         kNoDistance,
         kNoSpeed},
        {"distance digits with angle",
         {0xDA, 0x0A, 0x23, 0x02, 0xB1, 0x45, 0x00, 0xEE},
         bad,
         true,
         45.0,
         kNoDistance,
         kNoSpeed},
        {"distance tenths with angle",
         {0xDA, 0x00, 0x23, 0xC2, 0xB3, 0x45, 0x00, 0xEE},
         bad,
         true,
         45.0,
         kNoDistance,
         kNoSpeed},
        {"distance digits without angle",
         {0xDA, 0x00, 0x2B, 0x02, 0xB1, 0x99, 0x00, 0xEE},
         bad,
         false,
         kOldInclination,
         kNoDistance,
         kNoSpeed},
        {"distance tenths without angle",
         {0xDA, 0x00, 0x23, 0xF0, 0x01, 0x99, 0x00, 0xEE},
         bad,
         false,
         kOldInclination,
         kNoDistance,
         kNoSpeed},
        {"speed digits",
         {0xDA, 0x01, 0x2C, 0x40, 0xD0, 0x99, 0x0F, 0xEE},
         bad,
         false,
         kOldInclination,
         kNoDistance,
         kNoSpeed},
        {"speed tenths",
         {0xDA, 0x01, 0x23, 0xE0, 0xF0, 0x99, 0x0F, 0xEE},
         bad,
         false,
         kOldInclination,
         kNoDistance,
         kNoSpeed},
        // Not read, so not a failure:
        {"quantity digit without angle",
         {0xDA, 0x00, 0x23, 0x02, 0xBA, 0x99, 0x00, 0xEE},
         ok,
         false,
         kOldInclination,
         23.0,
         kNoSpeed},
        {"quantity digit with no distance",
         {0xDA, 0x00, 0x00, 0x02, 0xBA, 0x45, 0x00, 0xEE},
         ok,
         true,
         45.0,
         kNoDistance,
         kNoSpeed},
        {"distance digits with quantity 0",
         {0xDA, 0x0A, 0xBC, 0xD2, 0xB0, 0x45, 0x00, 0xEE},
         ok,
         true,
         45.0,
         kNoDistance,
         kNoSpeed},
        {"low nibble of byte 3",
         {0xDA, 0x00, 0x23, 0x0A, 0xB1, 0x99, 0x00, 0xEE},
         ok,
         false,
         kOldInclination,
         23.0,
         kNoSpeed},
        {"angle bytes of a speed frame",
         {0xDA, 0x01, 0x23, 0x40, 0xD0, 0xAB, 0xCD, 0xEE},
         ok,
         false,
         kOldInclination,
         kNoDistance,
         123.4},
        {"speed digits after 99",
         {0xDA, 0x99, 0xAB, 0xC0, 0xD0, 0x99, 0x0F, 0xEE},
         ok,
         false,
         kOldInclination,
         kNoDistance,
         kNoSpeed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MeasurementState s = Earlier();
        const DecodeResult r = DecodeReply(c.frame, s);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.tookInclination, c.tookInclination);
        EXPECT_EQ(r.tookDistance, c.linear != kNoDistance);
        EXPECT_EQ(s.Inclination, c.inclination);
        EXPECT_EQ(s.LinearDistance, c.linear);
        EXPECT_NEAR(s.SpeedValue, c.speed, 1e-12);
        EXPECT_EQ(s.VerticalHeight, kOldHeight);
        EXPECT_EQ(s.HorizontalDistance, kOldHorizontal);
    }
}

struct DisplayCase {
    const char* name;
    std::uint8_t frameUnit;
    DisplayUnits units;
    double linear;
    double speed;
    double shownLinear;
    double shownSpeed;
    std::uint8_t speedReadoutUnit;
};

TEST(ConvertForDisplay, ValuesAndMarks) {
    const DisplayCase cases[] = {
        {"yards into metres",
         unitYard,
         {unitMetre, unitKph},
         23.0,
         kNoSpeed,
         21.0312,
         kNoSpeed,
         unitKph},
        {"yards into yards",
         unitYard,
         {unitYard, unitKph},
         23.0,
         kNoSpeed,
         22.99972032,
         kNoSpeed,
         unitKph},
        {"no distance from yards stays the mark",
         unitYard,
         {unitMetre, unitKph},
         kNoDistance,
         kNoSpeed,
         kNoDistance,
         kNoSpeed,
         unitKph},
        {"no distance from feet into yards",
         unitFoot,
         {unitYard, unitMph},
         kNoDistance,
         kNoSpeed,
         kNoDistance,
         kNoSpeed,
         unitKph},
        {"mph into km/h",
         unitMph,
         {unitMetre, unitKph},
         kNoDistance,
         50.0,
         kNoDistance,
         80.4672,
         unitKph},
        {"negative km/h into m/s",
         unitKph,
         {unitMetre, unitMetrePerSecond},
         kNoDistance,
         -123.4,
         kNoDistance,
         -34.27777777777778,
         unitMetrePerSecond},
        {"just under the speed mark converts",
         unitKph,
         {unitMetre, unitMph},
         kNoDistance,
         989.9,
         kNoDistance,
         615.0953431957369,
         unitMph},
        {"no speed is not turned into 615 mph",
         unitKph,
         {unitMetre, unitMph},
         kNoDistance,
         kNoSpeed,
         kNoDistance,
         kNoSpeed,
         unitKph},
        {"speed above the mark becomes the mark",
         unitMph,
         {unitMetre, unitMetrePerSecond},
         kNoDistance,
         995.5,
         kNoDistance,
         kNoSpeed,
         unitKph},
        {"large real distance converts",
         unitYard,
         {unitMetre, unitKph},
         2500.0,
         kNoSpeed,
         2286.0,
         kNoSpeed,
         unitKph},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MeasurementState s;
        s.FrameUnit = c.frameUnit;
        s.LinearDistance = c.linear;
        s.SpeedValue = c.speed;
        ConvertForDisplay(s, c.units);
        EXPECT_NEAR(s.LinearDistance, c.shownLinear, 1e-9);
        EXPECT_NEAR(s.SpeedValue, c.shownSpeed, 1e-9);
        EXPECT_EQ(SpeedReadoutUnit(s, c.units), c.speedReadoutUnit);
    }
}

// Received bytes through decoding and conversion, as the receive handler uses them.
TEST(ConvertForDisplay, AfterDecoding) {
    struct Case {
        const char* name;
        Bytes batch;
        DisplayUnits units;
        double shownLinear;
        double shownSpeed;
    };
    const Case cases[] = {
        {"worked example in metres",
         {0xDA, 0x00, 0x23, 0x02, 0xB1, 0x45, 0x00, 0xEE},
         {unitMetre, unitKph},
         21.0312,
         kNoSpeed},
        {"worked example in yards",
         {0xDA, 0x00, 0x23, 0x02, 0xB1, 0x45, 0x00, 0xEE},
         {unitYard, unitKph},
         22.99972032,
         kNoSpeed},
        {"undecodable batch with a yard letter",
         {0x00, 0x00, 0x23, 0x02, 0xB1, 0x45, 0x00, 0xEE},
         {unitMetre, unitMph},
         kNoDistance,
         kNoSpeed},
        {"no distance in feet",
         {0xDA, 0x99, 0x99, 0x00, 0xC1, 0x99, 0x00, 0xEE},
         {unitYard, unitKph},
         kNoDistance,
         kNoSpeed},
        {"mph speed into km/h",
         {0xDA, 0x00, 0x50, 0x00, 0xE0, 0x99, 0x00, 0xEE},
         {unitFoot, unitKph},
         kNoDistance,
         80.4672},
        {"speed frame without speed",
         {0xDA, 0x99, 0x00, 0x00, 0xF0, 0x99, 0x00, 0xEE},
         {unitMetre, unitMph},
         kNoDistance,
         kNoSpeed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MeasurementState s;
        const DecodeResult r = DecodeReply(c.batch, s);
        ConvertForDisplay(s, c.units, r);
        EXPECT_NEAR(s.LinearDistance, c.shownLinear, 1e-9);
        EXPECT_EQ(s.SpeedValue, c.shownSpeed);
        // Marks survive any number of later unit changes.
        for (std::uint8_t to : {unitFoot, unitYard, unitMetre, unitYard}) {
            s.LinearDistance = ConvertDistance(c.units.DistanceUnit, to, s.LinearDistance);
            s.SpeedValue = ConvertSpeed(c.units.SpeedUnit, unitMetrePerSecond, s.SpeedValue);
        }
        EXPECT_EQ(s.LinearDistance == kNoDistance, c.shownLinear == kNoDistance);
        EXPECT_EQ(s.SpeedValue == kNoSpeed, c.shownSpeed == kNoSpeed);
    }
}

// A reply that really reads 2400.0 yards is a measurement: told what was decoded,
// the conversion treats it as one; without that it can only be read as the mark.
TEST(ConvertForDisplay, DecodedDistanceEqualToMark) {
    const Bytes frame{0xDA, 0x24, 0x00, 0x00, 0xB1, 0x99, 0x00, 0xEE};
    MeasurementState s;
    const DecodeResult r = DecodeReply(frame, s);
    ASSERT_TRUE(r.tookDistance);
    MeasurementState byValue = s;
    ConvertForDisplay(s, {unitMetre, unitKph}, r);
    EXPECT_DOUBLE_EQ(s.LinearDistance, 2194.56);
    ConvertForDisplay(byValue, {unitMetre, unitKph});
    EXPECT_EQ(byValue.LinearDistance, kNoDistance);
}

struct SelfTestCase {
    const char* name;
    const char* text;
    DecodeStatus status;
    std::uint8_t unit;
    double linear;
    double height;
    double horizontal;
    double inclination;
    // After converting all three into metres.
    double linearMetres;
    double heightMetres;
    double horizontalMetres;
};

TEST(DecodeSelfTest, TypedFrames) {
    constexpr auto ok = DecodeStatus::Decoded;
    constexpr auto none = DecodeStatus::NotAFrame;
    constexpr auto bad = DecodeStatus::MalformedNumber;
    constexpr double noAngle = kSelfTestNoInclination;
    const SelfTestCase cases[] = {
        {"design-time text", "DA 00 23 02 B1 45 00 EE ", ok, unitYard, 23.0, 16.263455749401782,
         16.2634561851794, 45.0, 21.0312, 14.87130393725299, 14.871304335728043},
        {"height only, by quantity digit", "DA 00 23 02 B2 99 00 EE ", ok, unitYard, 0.0, 23.0, 0.0,
         noAngle, 0.0, 21.0312, 0.0},
        {"horizontal only, by quantity digit", "DA 01 00 50 C3 99 00 EE ", ok, unitFoot, 0.0, 0.0,
         100.5, noAngle, 0.0, 0.0, 30.6324},
        {"quantity 0 without angle stores nothing", "DA 00 23 02 B0 99 00 EE ", ok, unitYard, 0.0,
         0.0, 0.0, noAngle, 0.0, 0.0, 0.0},
        {"speed letter is a distance in metres", "DA 00 23 02 D1 99 00 EE ", ok, unitMetre, 23.0,
         0.0, 0.0, noAngle, 23.0, 0.0, 0.0},
        {"speed letter with angle and sign", "DA 00 23 02 F1 45 5F EE ", ok, unitMetre, 23.0,
         -16.40476011216731, 16.120913301120517, -45.5, 23.0, -16.40476011216731,
         16.120913301120517},
        {"no trailing space: seven tokens", "DA 00 23 02 B1 45 00 EE", none, unitMetre, 0.0, 0.0,
         0.0, noAngle, 0.0, 0.0, 0.0},
        {"no start mark keeps the unit", "DB 00 23 02 B1 45 00 EE ", none, unitYard, 0.0, 0.0, 0.0,
         noAngle, 0.0, 0.0, 0.0},
        {"lower case is no start mark", "da 00 23 02 b1 45 00 ee ", none, unitMetre, 0.0, 0.0, 0.0,
         noAngle, 0.0, 0.0, 0.0},
        {"tokens of other lengths", "DA 0 230 0 B1 99 0 EE ", ok, unitYard, 230.0, 0.0, 0.0,
         noAngle, 210.312, 0.0, 0.0},
        {"empty distance token", "DA  23 02 C1 99 00 EE ", ok, unitFoot, 23.0, 0.0, 0.0, noAngle,
         7.0104, 0.0, 0.0},
        {"quantity digit is read without angle", "DA 00 23 02 BA 99 00 EE ", bad, unitYard, 0.0,
         0.0, 0.0, noAngle, 0.0, 0.0, 0.0},
        {"empty tenths token", "DA 00 23  B1 99 00 EE ", bad, unitYard, 0.0, 0.0, 0.0, noAngle, 0.0,
         0.0, 0.0},
        {"empty unit token", "DA 00 23 02  45 00 EE ", bad, unitMetre, 0.0, 0.0, 0.0, 45.0, 0.0,
         0.0, 0.0},
        {"signed number", "DA 00 23 02 B1 -5 00 EE ", bad, unitYard, 0.0, 0.0, 0.0, noAngle, 0.0,
         0.0, 0.0},
        {"number beyond 32 bits", "DA 99999 99999 0 B1 99 00 EE ", bad, unitYard, 0.0, 0.0, 0.0,
         noAngle, 0.0, 0.0, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MeasurementState s = Earlier();
        const DecodeResult r = DecodeSelfTest(c.text, s);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(s.FrameUnit, c.unit);
        EXPECT_NEAR(s.LinearDistance, c.linear, kTol);
        EXPECT_NEAR(s.VerticalHeight, c.height, kTol);
        EXPECT_NEAR(s.HorizontalDistance, c.horizontal, kTol);
        EXPECT_NEAR(s.Inclination, c.inclination, 1e-12);
        EXPECT_EQ(s.SpeedValue, kOldSpeed);
        ConvertSelfTest(s, unitMetre, unitMetre, unitMetre);
        EXPECT_NEAR(s.LinearDistance, c.linearMetres, 1e-8);
        EXPECT_NEAR(s.VerticalHeight, c.heightMetres, 1e-8);
        EXPECT_NEAR(s.HorizontalDistance, c.horizontalMetres, 1e-8);
    }
}

TEST(DecodeSelfTest, EachDistanceInItsOwnUnit) {
    MeasurementState s;
    DecodeSelfTest("DA 00 23 02 B1 45 00 EE ", s);
    ConvertSelfTest(s, unitYard, unitFoot, unitMetre);
    EXPECT_NEAR(s.LinearDistance, 22.99972032, 1e-9);
    EXPECT_NEAR(s.VerticalHeight, 16.263455749401782 * 0.9144 * 3.2808, 1e-9);
    EXPECT_NEAR(s.HorizontalDistance, 14.871304335728043, 1e-9);
}

TEST(SelfTestEndText, CharactersTwentyTwoAndTwentyThree) {
    EXPECT_EQ(SelfTestEndText("DA 00 23 02 B1 45 00 EE "), "EE");
    EXPECT_EQ(SelfTestEndText("DA 00 23 02 B1 45 00 EE"), "EE");
    EXPECT_EQ(SelfTestEndText("DA 00 23 02 B1 45 00 E"), "");
    EXPECT_EQ(SelfTestEndText(""), "");
    EXPECT_EQ(SelfTestEndText("DA 00 23 02 B1 45 00 0F EE "), "0F");
}
