#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace lrf {

// Measurement values shared by reply handling, the readouts and the log.
struct MeasurementState {
    double LinearDistance = 0.0;
    double VerticalHeight = 0.0;
    double HorizontalDistance = 0.0;
    double Inclination = 0.0;
    double SpeedValue = 0.0;
    std::uint8_t FrameUnit = 0;
};

enum class DecodeStatus {
    NotAFrame,       // not exactly eight tokens, or no 0xDA start: nothing decoded
    Decoded,         // a frame was read (it may still carry no value)
    MalformedNumber, // a hex letter stood where a decimal digit is read; decoding
                     // stopped there and the values set before it stay
};

struct DecodeResult {
    DecodeStatus status = DecodeStatus::NotAFrame;
    bool tookDistance = false;    // LinearDistance (or one of the three, self-test) set
    bool tookInclination = false; // Inclination set
    bool tookSpeed = false;       // SpeedValue set
};

// Reply decoding of one received batch: resets LinearDistance to kNoDistance,
// SpeedValue to kNoSpeed and FrameUnit to 0, then decodes an eight-byte frame
// into the state. Values stay in the frame's unit. After MalformedNumber the
// caller ends its handling of the batch: nothing is shown, recorded or re-armed.
DecodeResult DecodeReply(std::span<const std::uint8_t> bytes, MeasurementState& state);

// The self-test variant over a typed hex text: resets the three distances to 0.0,
// Inclination to 361.0 and FrameUnit to 0; knows unit letters B and C only; a
// distance without inclination goes where the quantity digit says.
DecodeResult DecodeSelfTest(std::string_view hexText, MeasurementState& state);

// The inclination the self-test starts from: no angle (recorded as dashes).
inline constexpr double kSelfTestNoInclination = 361.0;

// Characters 22 and 23 of a self-test text (for one frame, the digits of its last
// byte); empty when the text is shorter.
std::string_view SelfTestEndText(std::string_view hexText);

// The self-test's conversion: each of the three distances from FrameUnit into its
// own unit.
void ConvertSelfTest(MeasurementState& state, std::uint8_t distanceUnit, std::uint8_t heightUnit,
                     std::uint8_t horizontalUnit);

// The units the operator chose for the readouts.
struct DisplayUnits {
    std::uint8_t DistanceUnit = 0;
    std::uint8_t SpeedUnit = 3;
};

// Brings freshly decoded values into the readouts' units: the distance from
// FrameUnit into DistanceUnit, the speed into SpeedUnit. A no-value mark is not
// converted; a speed of kNoSpeed or more becomes exactly kNoSpeed.
void ConvertForDisplay(MeasurementState& state, const DisplayUnits& units);

// The same, told what DecodeReply took: a decoded distance that happens to equal
// the no-distance mark (a reply of exactly 2400.0 yards) is converted as well.
void ConvertForDisplay(MeasurementState& state, const DisplayUnits& units,
                       const DecodeResult& decoded);

// Unit code for the speed readout: km/h for no speed, whatever the chosen unit.
std::uint8_t SpeedReadoutUnit(const MeasurementState& state, const DisplayUnits& units);

} // namespace lrf
