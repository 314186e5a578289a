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
// into the state. Values stay in the frame's unit.
DecodeResult DecodeReply(std::span<const std::uint8_t> bytes, MeasurementState& state);

// The self-test variant over a typed hex text: resets the three distances to 0.0,
// Inclination to 361.0 and FrameUnit to 0; knows unit letters B and C only; a
// distance without inclination goes where the quantity digit says.
DecodeResult DecodeSelfTest(std::string_view hexText, MeasurementState& state);

// The units the operator chose for the readouts.
struct DisplayUnits {
    std::uint8_t DistanceUnit = 0;
    std::uint8_t SpeedUnit = 3;
};

// Brings freshly decoded values into the readouts' units: the distance from
// FrameUnit into DistanceUnit, the speed into SpeedUnit. A no-value mark is not
// converted; a speed of kNoSpeed or more becomes exactly kNoSpeed.
void ConvertForDisplay(MeasurementState& state, const DisplayUnits& units);

} // namespace lrf
