#pragma once

#include "FrameGatherer.h"
#include "Recorder.h"
#include "ReplyDecoder.h"
#include "Units.h"

#include <chrono>
#include <optional>
#include <vector>

namespace lrf {

// One handled reply, typed: the values the frame carried, in the frame's unit,
// and none where it carried none. A batch that is no frame at all is still a
// reply (it answers the shot) and arrives with no values.
struct Measurement {
    FrameGatherer::Clock::time_point arrived{}; // the reply's last piece reached the port
    std::optional<double> distance;             // the quantity the instrument measured
    std::optional<double> height;
    std::optional<double> horizontal;
    std::optional<double> inclination; // degrees
    std::optional<double> speed;       // as decoded; kNoSpeed and above is no speed
    UnitCode unit = unitMetre;         // of every value above
    std::vector<std::uint8_t> frame;   // the bytes as received
    bool complete = false;             // ended like a frame (0xEE): it answers the shot
    // A reply of the rotation run, and which half of its pair: the distance half
    // opens a row, the speed half completes it.
    bool rotation = false;
    bool rotationDistanceHalf = false;
};

// The typed measurement of a decoded batch; `state` is what DecodeReply left.
Measurement MakeMeasurement(const MeasurementState& state, const DecodeResult& decoded,
                            std::span<const std::uint8_t> frame,
                            FrameGatherer::Clock::time_point arrived);

// The values in the units the operator chose, as the readouts and the records
// show them: a value that was not measured keeps its mark, a speed at or above
// the mark is no speed.
MeasurementState InUnits(const Measurement& m, const DisplayUnits& units);

// What the recording step needs of a measurement.
MeasurementInputs RecordInputs(const Measurement& m, const DisplayUnits& units);

} // namespace lrf
