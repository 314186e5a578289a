#include "DigitCodes.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace {

using lrf::DIGIT_BLANK;
using lrf::DIGIT_MINUS;
using lrf::DIGIT_MINUS_POINT;
using lrf::DIGIT_ZERO_POINT;
constexpr int B = DIGIT_BLANK;
constexpr int M = DIGIT_MINUS;
constexpr double kDistance = 2400.0;
constexpr double kSpeed = 990.0;
constexpr double kInf = std::numeric_limits<double>::infinity();

struct ValueCase {
    double value;
    double threshold;
    std::string text;
    std::array<int, 5> cells;
};

const ValueCase kValueCases[] = {
    {12.34, kDistance, "BB12.3", {B, B, 1, -2, 3}},
    {0.0, kDistance, "BBB0.0", {B, B, B, DIGIT_ZERO_POINT, 0}},
    {1234.5, kDistance, "1234.5", {1, 2, 3, -4, 5}},
    {-5.0, kSpeed, "BB-5.0", {B, B, M, -5, 0}},
    {-123.4, kDistance, "-123.4", {M, 1, 2, -3, 4}},
    // Seven characters: the sixth code (the 5) is dropped.
    {-1234.5, kDistance, "-1234.5", {M, 1, 2, 3, -4}},
    // The mark and anything above it.
    {2400.0, kDistance, "----.-", {M, M, M, DIGIT_MINUS_POINT, M}},
    {2400.0001, kDistance, "----.-", {M, M, M, DIGIT_MINUS_POINT, M}},
    {1e300, kDistance, "----.-", {M, M, M, DIGIT_MINUS_POINT, M}},
    {kInf, kDistance, "----.-", {M, M, M, DIGIT_MINUS_POINT, M}},
    {990.0, kSpeed, "----.-", {M, M, M, DIGIT_MINUS_POINT, M}},
    // Rounding happens after the threshold test.
    {2399.96, kDistance, "2400.0", {2, 4, 0, DIGIT_ZERO_POINT, 0}},
    {2399.94, kDistance, "2399.9", {2, 3, 9, -9, 9}},
    {989.99, kSpeed, "B990.0", {B, 9, 9, DIGIT_ZERO_POINT, 0}},
    // The speed threshold is not the distance one.
    {990.0, kDistance, "B990.0", {B, 9, 9, DIGIT_ZERO_POINT, 0}},
    {1000.0, kSpeed, "----.-", {M, M, M, DIGIT_MINUS_POINT, M}},
    {67.89, kSpeed, "BB67.9", {B, B, 6, -7, 9}},
    {0.05, kSpeed, "BBB0.1", {B, B, B, DIGIT_ZERO_POINT, 1}},
    // Not a number cannot be compared, so it is formatted: letters show as minus.
    {std::nan(""), kDistance, "BBBnan", {B, B, B, M, M}},
};

} // namespace

TEST(ReadoutCodes, ValuesGiveTheirTextAndFiveCells) {
    for (const ValueCase& c : kValueCases) {
        SCOPED_TRACE(testing::Message() << c.value << " threshold " << c.threshold);
        EXPECT_EQ(lrf::ReadoutText(c.value, c.threshold), c.text);
        EXPECT_EQ(lrf::ReadoutCodes(c.value, c.threshold), c.cells);
    }
}

// However large, a negative value is a measurement and is never shown as the mark.
TEST(ReadoutCodes, NegativeValuesAreNeverTheMark) {
    const double negatives[] = {-0.04, -2400.0, -990.0, -99999.9, -1e300, -kInf};
    for (double threshold : {kDistance, kSpeed}) {
        for (double value : negatives) {
            SCOPED_TRACE(testing::Message() << value << " threshold " << threshold);
            EXPECT_NE(lrf::ReadoutText(value, threshold), "----.-");
            const auto cells = lrf::ReadoutCodes(value, threshold);
            EXPECT_NE(cells[3], DIGIT_MINUS_POINT);
        }
    }
    EXPECT_EQ(lrf::ReadoutCodes(-1e300, kDistance), (std::array<int, 5>{M, 1, 0, 0, 0}));
    EXPECT_EQ(lrf::ReadoutText(-0.04, kDistance), "BB-0.0"); // as the C formatting gives it
}

// The text matches C's "%6.1f" with spaces as 'B', rounding of halves included,
// and never depends on the regional decimal separator.
TEST(ReadoutCodes, TextMatchesFixedPointFormatting) {
    const double values[] = {0.25,  0.35,      0.45,    1.05,     2.5,      123.45, 999.95,
                             -0.25, -1.05,     -999.95, 1e-9,     0.049999, 0.05,   2399.949,
                             1.0e5, 123456.75, -1e15,   2399.999, 0.15,     -2.35,  77.77};
    for (double value : values) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%6.1f", value);
        std::string text = expected;
        for (char& c : text)
            if (c == ' ')
                c = 'B';
        EXPECT_EQ(lrf::ReadoutText(value, kInf), text) << value;
    }
}

TEST(ReadoutCodes, CharactersAndFoldedPoints) {
    const struct {
        const char* text;
        std::vector<int> codes;
    } cases[] = {
        {"", {}},
        {"B", {B}},
        {"B.", {12}}, // a blank with a point becomes 12, which also shows blank
        {"0123456789", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"0.1.2.3.4.5.6.7.8.9.", {DIGIT_ZERO_POINT, -1, -2, -3, -4, -5, -6, -7, -8, -9}},
        {"-", {M}},
        {"-.", {DIGIT_MINUS_POINT}},
        {"x", {M}},
        {"x.", {DIGIT_MINUS_POINT}},
        {" 1", {M, 1}},
        {".", {}},
        {".5", {5}},
        {"5..", {-5}},
        {"12.3.", {1, -2, -3}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lrf::CodesOfText(c.text), c.codes) << '"' << c.text << '"';
}

// Every text the readouts make has at least five codes, so all five cells redraw.
TEST(ReadoutCodes, EveryTextFillsFiveCells) {
    const double values[] = {0.0, -0.0, 1e-300, 9.96, -9.96, 99999.0, -kInf, std::nan("")};
    for (double value : values)
        EXPECT_GE(lrf::CodesOfText(lrf::ReadoutText(value, kDistance)).size(), 5U) << value;
}
