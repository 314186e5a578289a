#include "HexText.h"
#include "ReplyDecoder.h"
#include "Units.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
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

// Tables write received bytes as hex digits: "DA 00 23 ..." is those bytes.
Bytes B(const char* hex) {
    return HexTextToBytes(hex);
}

// Derived values come from sines and tangents: compared to a few nanometres.
constexpr double kTol = 1e-8;

constexpr double kNoAngle = kSelfTestNoInclination;
constexpr auto ok = DecodeStatus::Decoded;
constexpr auto none = DecodeStatus::NotAFrame;
constexpr auto bad = DecodeStatus::MalformedNumber;

} // namespace

struct DistanceCase {
    const char* name;
    const char* frame;
    std::uint8_t unit;
    bool tookDistance;
    bool tookInclination;
    double linear;
    double height;
    double horizontal;
    double inclination;
};

TEST(DecodeReply, DistanceFrames) {
    // clang-format off
    const DistanceCase cases[] = {
        {"slope distance at 45 degrees in yards", "DA 00 23 02 B1 45 00 EE", unitYard, true, true,
         23.0, 16.263455749401782, 16.2634561851794, 45.0},
        {"no angle: distance only, the rest kept", "DA 00 23 02 B1 99 00 EE", unitYard, true, false,
         23.0, kOldHeight, kOldHorizontal, kOldInclination},
        {"99 99 is no distance, the angle counts", "DA 99 99 02 B1 45 00 EE", unitYard, false, true,
         kNoDistance, kOldHeight, kOldHorizontal, 45.0},
        {"00 00 is no distance, the angle counts", "DA 00 00 72 01 12 30 EE", unitMetre, false, true,
         kNoDistance, kOldHeight, kOldHorizontal, 12.3},
        {"99 99 without angle: nothing", "DA 99 99 00 C1 99 00 EE", unitFoot, false, false,
         kNoDistance, kOldHeight, kOldHorizontal, kOldInclination},
        {"quantity 0 takes no distance", "DA 00 23 02 B0 45 00 EE", unitYard, false, true,
         kNoDistance, kOldHeight, kOldHorizontal, 45.0},
        {"quantity 7 takes no distance", "DA 00 23 02 07 45 00 EE", unitMetre, false, true,
         kNoDistance, kOldHeight, kOldHorizontal, 45.0},
        {"sign nibble F: negative angle and height", "DA 00 23 02 01 45 5F EE", unitMetre, true, true,
         23.0, -16.40476011216731, 16.120913301120517, -45.5},
        {"height given at 30 degrees", "DA 00 10 00 02 30 00 EE", unitMetre, true, true,
         19.99999938119839, 10.0, 17.320507361158214, 30.0},
        {"horizontal given at 45 degrees", "DA 00 10 00 C3 45 00 EE", unitFoot, true, true,
         14.142135434262423, 9.999999732051037, 10.0, 45.0},
        {"all digits and tenths, no angle", "DA 12 34 5F C2 99 00 EE", unitFoot, true, false,
         1234.5, kOldHeight, kOldHorizontal, kOldInclination},
        {"no angle ignores the quantity digit", "DA 99 00 90 0A 99 00 EE", unitMetre, true, false,
         9900.9, kOldHeight, kOldHorizontal, kOldInclination},
        {"letter A is metres; end byte unchecked", "DA 00 07 00 A1 99 00 00", unitMetre, true, false,
         7.0, kOldHeight, kOldHorizontal, kOldInclination},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MeasurementState s = Earlier();
        const DecodeResult r = DecodeReply(B(c.frame), s);
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
    DecodeReply(B("DA 00 10 00 02 30 00 EE"), s);
    EXPECT_LT(s.LinearDistance, 20.0);
    EXPECT_GT(s.LinearDistance, 19.999999);
}

struct SpeedCase {
    const char* name;
    const char* frame;
    std::uint8_t unit;
    bool tookSpeed;
    double speed;
};

TEST(DecodeReply, SpeedFrames) {
    // clang-format off
    const SpeedCase cases[] = {
        {"km/h with sign nibble F",           "DA 01 23 40 D0 99 0F EE", unitKph, true, -123.4},
        {"mph",                               "DA 00 50 00 E0 99 00 EE", unitMph, true, 50.0},
        {"m/s, sign nibble other than F",     "DA 00 12 30 F1 45 0E EE", unitMetrePerSecond, true, 12.3},
        {"byte 1 = 99 is no speed",           "DA 99 23 40 D0 99 0F EE", unitKph, false, kNoSpeed},
        {"00 00 is a speed of zero",          "DA 00 00 00 D0 99 00 EE", unitKph, true, 0.0},
        {"byte 2 = 99 is a speed",            "DA 00 99 90 D0 99 00 EE", unitKph, true, 99.9},
        {"above the mark stays as decoded",   "DA 09 95 50 D0 99 00 EE", unitKph, true, 995.5},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MeasurementState s = Earlier();
        const DecodeResult r = DecodeReply(B(c.frame), s);
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

TEST(DecodeReply, BatchesThatAreNoFrame) {
    const std::string frame = "DA 00 23 02 B1 45 00 EE ";
    // clang-format off
    const struct {
        const char* name;
        std::string batch;
        std::uint8_t unit;
    } cases[] = {
        {"empty",                            "", unitMetre},
        {"seven bytes",                      "DA 00 23 02 B1 45 00", unitMetre},
        {"nine bytes",                       frame + "EE", unitMetre},
        {"two frames in one batch",          frame + frame, unitMetre},
        {"no start mark, unit still taken",  "DB 00 23 02 B1 45 00 EE", unitYard},
        {"no start mark, speed unit",        "00 01 23 40 E0 99 0F EE", unitMph},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MeasurementState s = Earlier();
        const DecodeResult r = DecodeReply(HexTextToBytes(c.batch), s);
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
    const char* frame;
    DecodeStatus status;
    bool tookInclination;
    double inclination;
    double linear;
    double speed;
};

// A hex letter read as a decimal number stops decoding where it is read; a letter
// in a place nobody reads is harmless.
TEST(DecodeReply, HexLettersWhereDigitsAreRead) {
    constexpr double kOldInc = kOldInclination;
    constexpr double kNoDist = kNoDistance;
    // clang-format off
    const MalformedCase cases[] = {
        {"inclination degrees",             "DA 00 23 02 B1 4A 00 EE", bad, false, kOldInc, kNoDist, kNoSpeed},
        {"inclination tenths",              "DA 00 23 02 B1 45 B0 EE", bad, false, kOldInc, kNoDist, kNoSpeed},
        {"quantity digit",                  "DA 00 23 02 BA 45 00 EE", bad, true, 45.0, kNoDist, kNoSpeed},
        {"distance digits with angle",      "DA 0A 23 02 B1 45 00 EE", bad, true, 45.0, kNoDist, kNoSpeed},
        {"distance tenths with angle",      "DA 00 23 C2 B3 45 00 EE", bad, true, 45.0, kNoDist, kNoSpeed},
        {"distance digits without angle",   "DA 00 2B 02 B1 99 00 EE", bad, false, kOldInc, kNoDist, kNoSpeed},
        {"distance tenths without angle",   "DA 00 23 F0 01 99 00 EE", bad, false, kOldInc, kNoDist, kNoSpeed},
        {"speed digits",                    "DA 01 2C 40 D0 99 0F EE", bad, false, kOldInc, kNoDist, kNoSpeed},
        {"speed tenths",                    "DA 01 23 E0 F0 99 0F EE", bad, false, kOldInc, kNoDist, kNoSpeed},
        // Not read, so not a failure:
        {"quantity digit without angle",    "DA 00 23 02 BA 99 00 EE", ok, false, kOldInc, 23.0, kNoSpeed},
        {"quantity digit with no distance", "DA 00 00 02 BA 45 00 EE", ok, true, 45.0, kNoDist, kNoSpeed},
        {"distance digits with quantity 0", "DA 0A BC D2 B0 45 00 EE", ok, true, 45.0, kNoDist, kNoSpeed},
        {"low nibble of byte 3",            "DA 00 23 0A B1 99 00 EE", ok, false, kOldInc, 23.0, kNoSpeed},
        {"angle bytes of a speed frame",    "DA 01 23 40 D0 AB CD EE", ok, false, kOldInc, kNoDist, 123.4},
        {"speed digits after 99",           "DA 99 AB C0 D0 99 0F EE", ok, false, kOldInc, kNoDist, kNoSpeed},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MeasurementState s = Earlier();
        const DecodeResult r = DecodeReply(B(c.frame), s);
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
    constexpr double kNoDist = kNoDistance;
    constexpr std::uint8_t m = unitMetre, yd = unitYard, ft = unitFoot;
    constexpr std::uint8_t kph = unitKph, mph = unitMph, mps = unitMetrePerSecond;
    // clang-format off
    const DisplayCase cases[] = {
        {"yards into metres",                     yd,  {m, kph},   23.0,    kNoSpeed, 21.0312,     kNoSpeed, kph},
        {"yards into yards",                      yd,  {yd, kph},  23.0,    kNoSpeed, 22.99972032, kNoSpeed, kph},
        {"no distance from yards stays the mark", yd,  {m, kph},   kNoDist, kNoSpeed, kNoDist,     kNoSpeed, kph},
        {"no distance from feet into yards",      ft,  {yd, mph},  kNoDist, kNoSpeed, kNoDist,     kNoSpeed, kph},
        {"mph into km/h",                         mph, {m, kph},   kNoDist, 50.0,     kNoDist,     80.4672,  kph},
        {"negative km/h into m/s",                kph, {m, mps},   kNoDist, -123.4,   kNoDist, -34.27777777777778, mps},
        {"just under the speed mark converts",    kph, {m, mph},   kNoDist, 989.9,    kNoDist, 615.0953431957369, mph},
        {"no speed is not turned into 615 mph",   kph, {m, mph},   kNoDist, kNoSpeed, kNoDist,     kNoSpeed, kph},
        {"speed above the mark becomes the mark", mph, {m, mps},   kNoDist, 995.5,    kNoDist,     kNoSpeed, kph},
        {"real speed above the limit keeps unit", mps, {m, mph},   kNoDist, 500.0,    kNoDist, 1118.468146027201, mph},
        {"large real distance converts",          yd,  {m, kph},   2500.0,  kNoSpeed, 2286.0,      kNoSpeed, kph},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MeasurementState s;
        s.FrameUnit = c.frameUnit;
        s.LinearDistance = c.linear;
        s.SpeedValue = c.speed;
        ConvertForDisplay(s, c.units);
        EXPECT_NEAR(s.LinearDistance, c.shownLinear, 1e-9);
        EXPECT_NEAR(s.SpeedValue, c.shownSpeed, 1e-9);
        EXPECT_EQ(s.LinearDistance == kNoDistance, c.shownLinear == kNoDistance);
        EXPECT_EQ(s.SpeedValue == kNoSpeed, c.shownSpeed == kNoSpeed);
        EXPECT_EQ(SpeedReadoutUnit(s, c.units), c.speedReadoutUnit);
    }
}

// Received bytes through decoding and conversion, as the receive handler uses them.
TEST(ConvertForDisplay, AfterDecoding) {
    // clang-format off
    const struct {
        const char* name;
        const char* batch;
        DisplayUnits units;
        double shownLinear;
        double shownSpeed;
    } cases[] = {
        {"worked example in metres",       "DA 00 23 02 B1 45 00 EE", {unitMetre, unitKph}, 21.0312, kNoSpeed},
        {"worked example in yards",        "DA 00 23 02 B1 45 00 EE", {unitYard, unitKph}, 22.99972032, kNoSpeed},
        {"undecodable batch, yard letter", "00 00 23 02 B1 45 00 EE", {unitMetre, unitMph}, kNoDistance, kNoSpeed},
        {"no distance in feet",            "DA 99 99 00 C1 99 00 EE", {unitYard, unitKph}, kNoDistance, kNoSpeed},
        {"mph speed into km/h",            "DA 00 50 00 E0 99 00 EE", {unitFoot, unitKph}, kNoDistance, 80.4672},
        {"speed frame without speed",      "DA 99 00 00 F0 99 00 EE", {unitMetre, unitMph}, kNoDistance, kNoSpeed},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MeasurementState s;
        const DecodeResult r = DecodeReply(B(c.batch), s);
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

// 275 m/s is exactly 990.0 km/h: still a measurement, and back in m/s it reads 275.
TEST(ConvertForDisplay, RealSpeedLandingOnTheMark) {
    MeasurementState s;
    DecodeReply(B("DA 02 75 00 F0 99 00 EE"), s);
    ConvertForDisplay(s, {unitMetre, unitKph});
    EXPECT_NE(s.SpeedValue, kNoSpeed);
    EXPECT_NEAR(s.SpeedValue, kNoSpeed, 1e-9);
    EXPECT_NEAR(ConvertSpeed(unitKph, unitMetrePerSecond, s.SpeedValue), 275.0, 1e-9);
}

// A reply that really reads 2400.0 yards is a measurement: told what was decoded,
// the conversion treats it as one; without that it can only be read as the mark.
TEST(ConvertForDisplay, DecodedDistanceEqualToMark) {
    MeasurementState s;
    const DecodeResult r = DecodeReply(B("DA 24 00 00 B1 99 00 EE"), s);
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
    // clang-format off
    const SelfTestCase cases[] = {
        {"design-time text", "DA 00 23 02 B1 45 00 EE ", ok, unitYard,
         23.0, 16.263455749401782, 16.2634561851794, 45.0, 21.0312, 14.87130393725299, 14.871304335728043},
        {"height only, by quantity digit", "DA 00 23 02 B2 99 00 EE ", ok, unitYard,
         0.0, 23.0, 0.0, kNoAngle, 0.0, 21.0312, 0.0},
        {"horizontal only, by quantity digit", "DA 01 00 50 C3 99 00 EE ", ok, unitFoot,
         0.0, 0.0, 100.5, kNoAngle, 0.0, 0.0, 30.6324},
        {"quantity 0 without angle stores nothing", "DA 00 23 02 B0 99 00 EE ", ok, unitYard,
         0.0, 0.0, 0.0, kNoAngle, 0.0, 0.0, 0.0},
        {"speed letter is a distance in metres", "DA 00 23 02 D1 99 00 EE ", ok, unitMetre,
         23.0, 0.0, 0.0, kNoAngle, 23.0, 0.0, 0.0},
        {"speed letter with angle and sign", "DA 00 23 02 F1 45 5F EE ", ok, unitMetre,
         23.0, -16.40476011216731, 16.120913301120517, -45.5, 23.0, -16.40476011216731, 16.120913301120517},
        {"no trailing space: seven tokens", "DA 00 23 02 B1 45 00 EE", none, unitMetre,
         0.0, 0.0, 0.0, kNoAngle, 0.0, 0.0, 0.0},
        {"no start mark keeps the unit", "DB 00 23 02 B1 45 00 EE ", none, unitYard,
         0.0, 0.0, 0.0, kNoAngle, 0.0, 0.0, 0.0},
        {"lower case is no start mark", "da 00 23 02 b1 45 00 ee ", none, unitMetre,
         0.0, 0.0, 0.0, kNoAngle, 0.0, 0.0, 0.0},
        {"tokens of other lengths", "DA 0 230 0 B1 99 0 EE ", ok, unitYard,
         230.0, 0.0, 0.0, kNoAngle, 210.312, 0.0, 0.0},
        {"empty distance token", "DA  23 02 C1 99 00 EE ", ok, unitFoot,
         23.0, 0.0, 0.0, kNoAngle, 7.0104, 0.0, 0.0},
        {"quantity digit is read without angle", "DA 00 23 02 BA 99 00 EE ", bad, unitYard,
         0.0, 0.0, 0.0, kNoAngle, 0.0, 0.0, 0.0},
        {"empty tenths token", "DA 00 23  B1 99 00 EE ", bad, unitYard,
         0.0, 0.0, 0.0, kNoAngle, 0.0, 0.0, 0.0},
        {"empty unit token", "DA 00 23 02  45 00 EE ", bad, unitMetre,
         0.0, 0.0, 0.0, 45.0, 0.0, 0.0, 0.0},
        {"signed number", "DA 00 23 02 B1 -5 00 EE ", bad, unitYard,
         0.0, 0.0, 0.0, kNoAngle, 0.0, 0.0, 0.0},
        {"number beyond 32 bits", "DA 99999 99999 0 B1 99 00 EE ", bad, unitYard,
         0.0, 0.0, 0.0, kNoAngle, 0.0, 0.0, 0.0},
    };
    // clang-format on
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

TEST(DecodeSelfTest, DistanceOfExactlyTheMarkIsAMeasurement) {
    MeasurementState s;
    DecodeSelfTest("DA 24 00 00 01 99 00 EE ", s);
    ConvertSelfTest(s, unitMetre, unitMetre, unitMetre);
    EXPECT_NE(s.LinearDistance, kNoDistance);
    EXPECT_NEAR(ConvertDistance(unitMetre, unitYard, s.LinearDistance), 2624.64, 1e-9);
}

TEST(SelfTestEndText, CharactersTwentyTwoAndTwentyThree) {
    EXPECT_EQ(SelfTestEndText("DA 00 23 02 B1 45 00 EE "), "EE");
    EXPECT_EQ(SelfTestEndText("DA 00 23 02 B1 45 00 EE"), "EE");
    EXPECT_EQ(SelfTestEndText("DA 00 23 02 B1 45 00 E"), "");
    EXPECT_EQ(SelfTestEndText(""), "");
    EXPECT_EQ(SelfTestEndText("DA 00 23 02 B1 45 00 0F EE "), "0F");
}
