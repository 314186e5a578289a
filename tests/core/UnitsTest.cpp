#include "Units.h"

#include <gtest/gtest.h>

using namespace lrf;

TEST(ConvertUnit, WorkedExamples)
{
    EXPECT_DOUBLE_EQ(ConvertUnit(1, 0, 23.0), 21.0312);
    EXPECT_NEAR(ConvertUnit(0, 1, 21.0312), 22.99972, 1e-5);
    EXPECT_DOUBLE_EQ(ConvertUnit(2, 2, 100.0), 100.0 * 0.3048 * 3.2808);
    EXPECT_NEAR(ConvertUnit(2, 2, 100.0), 99.998784, 1e-9);
    EXPECT_NEAR(ConvertUnit(1, 1, 2400.0), 2399.970816, 1e-9);
    EXPECT_DOUBLE_EQ(ConvertUnit(4, 3, 50.0), 80.4672);
    EXPECT_NEAR(ConvertUnit(3, 5, 100.0), 27.7777, 1e-4);
    EXPECT_NEAR(ConvertUnit(3, 4, 990.0), 615.157, 1e-3);
    EXPECT_NEAR(ConvertUnit(1, 5, 10.0), 2.54, 1e-12);
}

TEST(ConvertUnit, IdentityAndUnknownCodes)
{
    for (double x : {0.0, -12.5, 1234.5, 2400.0}) {
        EXPECT_EQ(ConvertUnit(0, 0, x), x);
        EXPECT_EQ(ConvertUnit(3, 3, x), x);
        EXPECT_EQ(ConvertUnit(6, 200, x), x);
        EXPECT_EQ(ConvertUnit(1, 9, x), ConvertUnit(1, 0, x));
        EXPECT_EQ(ConvertUnit(255, 2, x), ConvertUnit(0, 2, x));
    }
}

TEST(ConvertUnit, SpeedRoundTripReturnsStart)
{
    for (std::uint8_t u : {3, 4, 5})
        EXPECT_NEAR(ConvertUnit(u, 3, ConvertUnit(3, u, 123.4)), 123.4, 1e-9);
}

TEST(UnitNames, Table)
{
    EXPECT_EQ(UnitNames[0], "M");
    EXPECT_EQ(UnitNames[1], "Y");
    EXPECT_EQ(UnitNames[2], "Ft");
    EXPECT_EQ(UnitNames[3], "KPH");
    EXPECT_EQ(UnitNames[4], "MPH");
    EXPECT_EQ(UnitNames[5], "M/S");
    EXPECT_EQ(UnitName(7), "M");
}

// The no-value marks never turn into figures that look measured.
TEST(NoValueMarks, SurviveAnyUnitChange)
{
    double d = kNoDistance;
    for (std::uint8_t to : {1, 2, 0, 2, 1, 0})
        d = ConvertDistance(unitYard, to, d);
    EXPECT_EQ(d, kNoDistance);
    EXPECT_EQ(ConvertDistance(unitYard, unitMetre, kNoDistance), kNoDistance);
    EXPECT_EQ(ConvertSpeed(unitKph, unitMph, kNoSpeed), kNoSpeed);
    EXPECT_EQ(ConvertSpeed(unitMph, unitMetrePerSecond, kNoSpeed), kNoSpeed);
    // Real values, large ones included, still convert.
    EXPECT_DOUBLE_EQ(ConvertDistance(unitYard, unitMetre, 2500.0), 2286.0);
    EXPECT_NEAR(ConvertSpeed(unitKph, unitMetrePerSecond, 1126.5), 312.9166, 1e-3);
}

// A real value that converts exactly onto a mark must not turn into "no value".
TEST(NoValueMarks, RealValuesNeverBecomeMarks)
{
    ASSERT_EQ(ConvertUnit(unitMetrePerSecond, unitKph, 275.0), kNoSpeed);
    const double kph = ConvertSpeed(unitMetrePerSecond, unitKph, 275.0);
    EXPECT_NE(kph, kNoSpeed);
    EXPECT_GE(kph, kNoSpeed);
    EXPECT_NEAR(ConvertSpeed(unitKph, unitMetrePerSecond, kph), 275.0, 1e-9);
    const double metres = ConvertDistance(unitMetre, unitMetre, 2400.0 + 1e-12);
    EXPECT_NE(metres, kNoDistance);
}
