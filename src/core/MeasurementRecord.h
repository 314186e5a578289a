#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lrf {

// One log record: an index and fourteen texts, in this order.
struct TAData {
    std::int32_t Index = 0;
    std::string DistanceText;
    std::string HeightText;
    std::string HorizontalText;
    std::string AngleText;
    std::string Place;
    std::string Destination;
    std::string DateTimeText;
    std::string Model;
    std::string InstrumentCode;
    std::string DistanceUnitName;
    std::string SpareText1;
    std::string SpareText2;
    std::string SpeedText;
    std::string SpeedUnitName;
};

// Limits of the record texts: at or above them a value is written as dashes.
inline constexpr double kRecordDistanceLimit = 2400.0;
inline constexpr double kRecordSpeedLimit = 361.0;
inline constexpr double kSelfTestDistanceLimit = 9900.0;
inline constexpr double kSelfTestAngleLimit = 361.0;

inline constexpr const char* kNoDistanceText = "----.-";
inline constexpr const char* kNoSpeedText = "---.-";
inline constexpr const char* kNoAngleText = "---.-";

// "%6.1f" (right-aligned in six characters) with the given decimal separator.
std::string FormatFixed6(double value, std::string_view decimalSeparator = ".");
// "%5.1f" with the given decimal separator.
std::string FormatFixed5(double value, std::string_view decimalSeparator = ".");

// Texts of the receive path's record.
std::string DistanceRecordText(double distance, std::string_view decimalSeparator = ".");
std::string SpeedRecordText(double speed, std::string_view decimalSeparator = ".");

// Texts of the self-test record: distances dashed from 9900.0, angle from 361.0.
std::string SelfTestDistanceText(double distance, std::string_view decimalSeparator = ".");
std::string SelfTestAngleText(double angle, std::string_view decimalSeparator = ".");

} // namespace lrf
