#include "RecordValue.h"

#include "MeasurementRecord.h"

#include <charconv>
#include <cmath>
#include <string>

namespace lrf {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::size_t DigitsAt(std::string_view text, std::size_t at) {
    std::size_t end = at;
    while (end < text.size() && IsDigit(text[end]))
        ++end;
    return end - at;
}

} // namespace

CellValue ReadRecordCell(std::string_view text) {
    text = Trimmed(text);
    if (text == kNoDistanceText || text == kNoSpeedText)
        return {CellKind::NoValue, 0.0};

    // [-]digits[separator digits], the separator being whatever the locale
    // put in place of the point.
    std::size_t at = text.starts_with('-') ? 1 : 0;
    const std::size_t whole = DigitsAt(text, at);
    if (whole == 0)
        return {};
    std::string number(text.substr(0, at + whole));
    at += whole;
    if (at < text.size()) {
        std::size_t separatorEnd = at;
        while (separatorEnd < text.size() && !IsDigit(text[separatorEnd]) &&
               text[separatorEnd] != ' ' && text[separatorEnd] != '-')
            ++separatorEnd;
        const std::size_t fraction = DigitsAt(text, separatorEnd);
        if (separatorEnd == at || fraction == 0 || separatorEnd + fraction != text.size())
            return {};
        number += '.';
        number.append(text.substr(separatorEnd, fraction));
    }

    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value))
        return {};
    return {CellKind::Value, value};
}

CellValue RecordedValue(double value, double limit) {
    if (value >= limit)
        return {CellKind::NoValue, 0.0};
    if (!std::isfinite(value))
        return {};
    const double scaled = value * 10.0;
    if (!std::isfinite(scaled) || std::abs(scaled) > 0x1p52)
        return {CellKind::Value, value}; // no tenths left to round
    // Rounded as the cell's "%.1f" rounds the exact value: a product that
    // landed on a half is settled by what the product lost, a true half goes
    // to the even neighbour.
    double tenths = std::round(scaled);
    if (std::abs(scaled - std::trunc(scaled)) == 0.5) {
        const double lost = std::fma(value, 10.0, -scaled);
        const double low = std::floor(scaled);
        const double high = std::ceil(scaled);
        if (lost != 0.0)
            tenths = lost < 0.0 ? low : high;
        else
            tenths = std::fmod(low, 2.0) == 0.0 ? low : high;
    }
    // A whole number of tenths divided by ten is the double nearest to the
    // cell's decimal text, the same one reading that text gives.
    return {CellKind::Value, tenths / 10.0};
}
} // namespace lrf
