#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What a seven-segment cell shows, and how a readout value becomes the codes of
// its cells. Plain C++ so that it is testable without a window system.
namespace lrf {

// Codes 0 to 9 are the digits, -1 to -9 a digit with its decimal point.
inline constexpr int DIGIT_MINUS = -10;
inline constexpr int DIGIT_MINUS_POINT = -11;
inline constexpr int DIGIT_BLANK = -12;
inline constexpr int DIGIT_ZERO_POINT = -13; // -0 is 0, so zero with a point needs its own code

// Segments a to g in the usual order: top, upper right, lower right, bottom,
// lower left, upper left, middle.
inline constexpr std::size_t kSegmentCount = 7;

// Which segments a code lights (bit i for segment i) and whether its point is lit.
struct DigitLook {
    std::uint8_t segments = 0;
    bool point = false;

    bool lights(std::size_t segment) const { return (segments >> segment) & 1U; }
    friend bool operator==(const DigitLook&, const DigitLook&) = default;
};

// Any code outside the table shows nothing lit.
DigitLook LookOfDigitCode(int code);

inline constexpr std::size_t kReadoutCells = 5;

// The readout's text: "----.-" at and above the threshold, otherwise "%6.1f" with '.'
// whatever the locale and every space replaced by 'B'.
std::string ReadoutText(double value, double noValueThreshold);

// One code per character except '.', which folds into the code before it as that
// code's point. 'B' is blank, a digit is itself and anything else is a minus sign.
std::vector<int> CodesOfText(std::string_view text);

// The codes of the five cells, left to right; codes past the fifth are dropped.
std::array<int, kReadoutCells> ReadoutCodes(double value, double noValueThreshold);

} // namespace lrf
