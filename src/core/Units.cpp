#include "Units.h"

#include <cmath>

namespace lrf {

std::string_view UnitName(std::uint8_t code)
{
    return code < UnitNames.size() ? UnitNames[code] : UnitNames[unitMetre];
}

double ConvertUnit(std::uint8_t from, std::uint8_t to, double value)
{
    double base = value;
    switch (from) {
    case unitYard: base = value * 0.9144; break;
    case unitFoot: base = value * 0.3048; break;
    case unitMph: base = value * 1.609344; break;
    case unitMetrePerSecond: base = value * 3.6; break;
    default: break;
    }
    switch (to) {
    case unitYard: return base * 1.0936;
    case unitFoot: return base * 3.2808;
    case unitMph: return base / 1.609344;
    case unitMetrePerSecond: return base / 3.6;
    default: return base;
    }
}

double OffMark(double value, double mark)
{
    return value == mark ? std::nextafter(mark, HUGE_VAL) : value;
}

double ConvertDistance(std::uint8_t from, std::uint8_t to, double value)
{
    return value == kNoDistance ? value : OffMark(ConvertUnit(from, to, value), kNoDistance);
}

double ConvertSpeed(std::uint8_t from, std::uint8_t to, double value)
{
    return value == kNoSpeed ? value : OffMark(ConvertUnit(from, to, value), kNoSpeed);
}

} // namespace lrf
