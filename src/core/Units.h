#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace lrf {

// Unit codes shared by the frame, the readouts and the log.
enum UnitCode : std::uint8_t {
    unitMetre = 0,
    unitYard = 1,
    unitFoot = 2,
    unitKph = 3,
    unitMph = 4,
    unitMetrePerSecond = 5,
};

inline constexpr std::array<std::string_view, 6> UnitNames{"M", "Y", "Ft", "KPH", "MPH", "M/S"};

// Name of a unit code; codes above 5 name metres, as they convert like metres.
std::string_view UnitName(std::uint8_t code);

// Two-stage conversion through the base unit (metres or km/h), each stage rounded
// to a double. Codes of different kinds are converted without complaint.
double ConvertUnit(std::uint8_t from, std::uint8_t to, double value);

// Marks that stand for "no distance" and "no speed". A mark is never a
// measurement, so conversions leave it exactly as it is: converting 2400.0 from
// yards would otherwise produce 2194.56 m, a figure that looks measured.
inline constexpr double kNoDistance = 2400.0;
inline constexpr double kNoSpeed = 990.0;

// ConvertUnit for a held distance or speed: a value equal to its mark passes
// through unchanged. Reply handling stores exactly the mark whenever a reply holds
// no value (a decoded speed of 990.0 or more becomes exactly kNoSpeed), so a mark
// stays recognisable across any number of unit changes, while real values, even
// large ones, keep converting both ways.
// A real value that would land exactly on a mark (275 m/s is 990.0 km/h) is moved
// up by the smallest step: still at the limit for the readouts, never the mark.
double OffMark(double value, double mark);
double ConvertDistance(std::uint8_t from, std::uint8_t to, double value);
double ConvertSpeed(std::uint8_t from, std::uint8_t to, double value);

} // namespace lrf
