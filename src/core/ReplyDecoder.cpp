#include "ReplyDecoder.h"

#include "HexText.h"
#include "Units.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace lrf {

namespace {

// The angle constant the instrument's figures were made with; using it keeps our
// derived heights and distances identical to the instrument's own (a height of
// 10.0 at 30 degrees gives a straight line just below 20).
constexpr double kAngleConstant = 3.1415926;

using Tokens = std::vector<std::string>;

enum class Decoding { Receive, SelfTest };

// Character i of a token, or '\0' when the token is shorter: typed self-test text
// may hold tokens of any length.
char CharAt(std::string_view token, std::size_t i) {
    return i < token.size() ? token[i] : '\0';
}

// The decimal value of a text of digits. A hex letter, any other character, an
// empty text or a value beyond 32 bits is no number: the caller stops decoding.
std::optional<std::int32_t> DecimalValue(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<std::int32_t>::max())
            return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> DigitValue(std::string_view token, std::size_t i) {
    if (i >= token.size())
        return std::nullopt;
    return DecimalValue(token.substr(i, 1));
}

std::uint8_t UnitFromLetter(char letter, Decoding decoding) {
    switch (letter) {
    case 'B':
        return unitYard;
    case 'C':
        return unitFoot;
    default:
        break;
    }
    // The self-test entry knows the distance letters only.
    if (decoding == Decoding::SelfTest)
        return unitMetre;
    switch (letter) {
    case 'D':
        return unitKph;
    case 'E':
        return unitMph;
    case 'F':
        return unitMetrePerSecond;
    default:
        return unitMetre;
    }
}

// The frame number N: tokens 1 and 2 read as one decimal number plus tenths from
// the first character of token 3. Read only when a value is taken, so that digits
// nobody uses can't stop the decoding.
std::optional<double> FrameNumber(const Tokens& t) {
    const auto whole = DecimalValue(t[1] + t[2]);
    if (!whole)
        return std::nullopt;
    const auto tenths = DigitValue(t[3], 0);
    if (!tenths)
        return std::nullopt;
    return *whole + 0.1 * *tenths;
}

bool Negative(const Tokens& t) {
    return CharAt(t[6], 1) == 'F';
}

class FrameReader {
public:
    FrameReader(const Tokens& tokens, MeasurementState& state, Decoding decoding)
        : t_(tokens)
        , s_(state)
        , decoding_(decoding) {}

    DecodeResult Read() {
        result_.status = DecodeStatus::Decoded;
        const bool completed = s_.FrameUnit < unitKph ? ReadDistanceFrame() : ReadSpeedFrame();
        if (!completed)
            result_.status = DecodeStatus::MalformedNumber;
        return result_;
    }

private:
    // Each step returns false when a text it reads is no number; the values set
    // before that stay as they are.
    bool ReadDistanceFrame() {
        const bool inclinationPresent = t_[5] != "99";
        const std::string joined = t_[1] + t_[2];
        const bool distanceValid = joined != "9999" && joined != "0000";
        if (inclinationPresent) {
            if (!ReadInclination())
                return false;
            return !distanceValid || PlaceWithAngle();
        }
        if (!distanceValid)
            return true;
        if (decoding_ == Decoding::Receive)
            return Take(s_.LinearDistance);
        return PlaceByQuantity();
    }

    bool ReadInclination() {
        const auto degrees = DecimalValue(t_[5]);
        if (!degrees)
            return false;
        const auto tenths = DigitValue(t_[6], 0);
        if (!tenths)
            return false;
        s_.Inclination = *degrees + 0.1 * *tenths;
        if (Negative(t_))
            s_.Inclination = s_.Inclination * -1;
        result_.tookInclination = true;
        return true;
    }

    // The quantity digit says which of the three distances the instrument measured;
    // the other two follow from the angle.
    bool PlaceWithAngle() {
        const auto quantity = DigitValue(t_[4], 1);
        if (!quantity)
            return false;
        if (*quantity < 1 || *quantity > 3)
            return true;
        const auto n = FrameNumber(t_);
        if (!n)
            return false;
        const double r = s_.Inclination * kAngleConstant / 180.0;
        double& linear = s_.LinearDistance;
        double& height = s_.VerticalHeight;
        double& horizontal = s_.HorizontalDistance;
        switch (*quantity) {
        case 1:
            linear = *n;
            height = std::sin(r) * linear;
            horizontal = std::sqrt(linear * linear - height * height);
            break;
        case 2:
            height = *n;
            horizontal = std::tan((90.0 - s_.Inclination) * kAngleConstant / 180.0) * height;
            linear = std::sqrt(horizontal * horizontal + height * height);
            break;
        default:
            horizontal = *n;
            height = std::tan(r) * horizontal;
            linear = std::sqrt(horizontal * horizontal + height * height);
            break;
        }
        result_.tookDistance = true;
        return true;
    }

    // Self-test only: without an angle the quantity digit picks the one distance
    // that gets N; nothing is derived.
    bool PlaceByQuantity() {
        const auto quantity = DigitValue(t_[4], 1);
        if (!quantity)
            return false;
        switch (*quantity) {
        case 1:
            return Take(s_.LinearDistance);
        case 2:
            return Take(s_.VerticalHeight);
        case 3:
            return Take(s_.HorizontalDistance);
        default:
            return true;
        }
    }

    bool Take(double& target) {
        const auto n = FrameNumber(t_);
        if (!n)
            return false;
        target = *n;
        result_.tookDistance = true;
        return true;
    }

    bool ReadSpeedFrame() {
        if (t_[1] == "99")
            return true;
        const auto n = FrameNumber(t_);
        if (!n)
            return false;
        s_.SpeedValue = *n;
        if (Negative(t_))
            s_.SpeedValue = s_.SpeedValue * -1;
        result_.tookSpeed = true;
        return true;
    }

    const Tokens& t_;
    MeasurementState& s_;
    Decoding decoding_;
    DecodeResult result_;
};

DecodeResult DecodeTokens(const Tokens& tokens, MeasurementState& state, Decoding decoding) {
    if (tokens.size() != 8)
        return {};
    // The unit letter counts even when the start mark turns out to be missing.
    state.FrameUnit = UnitFromLetter(CharAt(tokens[4], 0), decoding);
    if (tokens[0] != "DA")
        return {};
    return FrameReader(tokens, state, decoding).Read();
}

} // namespace

DecodeResult DecodeReply(std::span<const std::uint8_t> bytes, MeasurementState& state) {
    state.LinearDistance = kNoDistance;
    state.SpeedValue = kNoSpeed;
    state.FrameUnit = unitMetre;
    return DecodeTokens(SplitBySpace(BytesToHexText(bytes)), state, Decoding::Receive);
}

DecodeResult DecodeSelfTest(std::string_view hexText, MeasurementState& state) {
    state.LinearDistance = state.VerticalHeight = state.HorizontalDistance = 0.0;
    state.Inclination = kSelfTestNoInclination;
    state.FrameUnit = unitMetre;
    return DecodeTokens(SplitBySpace(hexText), state, Decoding::SelfTest);
}

std::string_view SelfTestEndText(std::string_view hexText) {
    return hexText.size() >= 23 ? hexText.substr(21, 2) : std::string_view{};
}

void ConvertSelfTest(MeasurementState& state, std::uint8_t distanceUnit, std::uint8_t heightUnit,
                     std::uint8_t horizontalUnit) {
    // The distance readout's later unit changes must not take it for the mark.
    state.LinearDistance =
        OffMark(ConvertUnit(state.FrameUnit, distanceUnit, state.LinearDistance), kNoDistance);
    state.VerticalHeight = ConvertUnit(state.FrameUnit, heightUnit, state.VerticalHeight);
    state.HorizontalDistance =
        ConvertUnit(state.FrameUnit, horizontalUnit, state.HorizontalDistance);
}

// The no-value marks are exact values that mean "nothing measured", so they are
// never converted: 2400.0 from yards would become 2194.56 m and 990.0 km/h would
// become 615.2 mph, figures that look measured. Any decoded speed at or above the
// mark becomes exactly the mark, so it stays recognisable through later unit
// changes (ConvertSpeed leaves it alone) and the readout shows it as no speed.
void ConvertForDisplay(MeasurementState& state, const DisplayUnits& units) {
    state.LinearDistance =
        ConvertDistance(state.FrameUnit, units.DistanceUnit, state.LinearDistance);
    if (state.SpeedValue >= kNoSpeed)
        state.SpeedValue = kNoSpeed;
    else
        state.SpeedValue = ConvertSpeed(state.FrameUnit, units.SpeedUnit, state.SpeedValue);
}

// A reply that really reads 2400.0 yards is a measurement, not the mark: knowing
// what was decoded lets it convert like any other distance.
void ConvertForDisplay(MeasurementState& state, const DisplayUnits& units,
                       const DecodeResult& decoded) {
    const double distance = state.LinearDistance;
    ConvertForDisplay(state, units);
    if (decoded.tookDistance)
        state.LinearDistance =
            OffMark(ConvertUnit(state.FrameUnit, units.DistanceUnit, distance), kNoDistance);
}

std::uint8_t SpeedReadoutUnit(const MeasurementState& state, const DisplayUnits& units) {
    // After ConvertForDisplay only "no speed" is exactly the mark; a real speed that
    // converted to more (500 m/s in mph) keeps its own unit.
    return state.SpeedValue == kNoSpeed ? std::uint8_t{unitKph} : units.SpeedUnit;
}

} // namespace lrf
