#include "MeasurementRecord.h"

#include <cstdio>

namespace lrf {

namespace {

std::string FormatWith(const char* format, double value, std::string_view decimalSeparator) {
    // Sized by a first call: a huge value prints hundreds of digits.
    const int n = std::snprintf(nullptr, 0, format, value);
    if (n <= 0)
        return {};
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, value);
    text.resize(static_cast<std::size_t>(n));
    // snprintf follows the C locale, which the program leaves at "C": the point
    // is always '.', so it is swapped for the system's separator (which may be
    // several bytes of UTF-8) here.
    if (const std::size_t point = text.find('.'); point != std::string::npos)
        text.replace(point, 1, decimalSeparator);
    return text;
}

} // namespace

std::string FormatFixed6(double value, std::string_view decimalSeparator) {
    return FormatWith("%6.1f", value, decimalSeparator);
}

std::string FormatFixed5(double value, std::string_view decimalSeparator) {
    return FormatWith("%5.1f", value, decimalSeparator);
}

std::string DistanceRecordText(double distance, std::string_view decimalSeparator) {
    return distance >= kRecordDistanceLimit ? kNoDistanceText
                                            : FormatFixed6(distance, decimalSeparator);
}

std::string SpeedRecordText(double speed, std::string_view decimalSeparator) {
    return speed >= kRecordSpeedLimit ? kNoSpeedText : FormatFixed6(speed, decimalSeparator);
}

std::string SelfTestDistanceText(double distance, std::string_view decimalSeparator) {
    return distance >= kSelfTestDistanceLimit ? kNoDistanceText
                                              : FormatFixed6(distance, decimalSeparator);
}

std::string SelfTestAngleText(double angle, std::string_view decimalSeparator) {
    return angle >= kSelfTestAngleLimit ? kNoAngleText : FormatFixed5(angle, decimalSeparator);
}

} // namespace lrf
