#pragma once

#include <cstdint>

namespace lrf {

// Flags and counters of the measurement runs. One set is shared by all three run
// modes: ending any run clears ContinuousActive for all of them.
struct ControlState {
    bool ContinuousActive = false;      // a continuous or rotation run is re-armed by replies
    bool RotationMode = false;          // the rotation run is active
    bool RotationDistancePhase = false; // the last rotation command asked for a distance
    std::int32_t RemainingCount = 0;    // shots left in a continuous run, counts down
    std::int32_t ContinuousCount = 0;   // shot count captured when the run started
};

} // namespace lrf
