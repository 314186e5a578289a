#pragma once

// The reply frames the simulated rangefinder sends: eight bytes, 0xDA first,
// decimal digits in nibbles, 0xEE last.

#include <array>
#include <cstdint>
#include <optional>

namespace lrf::sim {

using Frame = std::array<std::uint8_t, 8>;

inline constexpr std::uint8_t kDistanceCommand = 0x0F;
inline constexpr std::uint8_t kSpeedCommand = 0x0D;

// A distance frame. `unitLetter` is the hex digit of the unit nibble (B yards,
// C feet, anything else metres), `quantity` the digit saying what was measured
// (1 slope distance, 2 height, 3 horizontal). A negative or missing distance
// gives the no-distance mark; a missing inclination the no-angle mark. Values are
// rounded to tenths and clamped to what the frame can carry.
Frame DistanceFrame(std::optional<double> distance, std::optional<double> inclination,
                    char unitLetter = 'A', int quantity = 1);

// A speed frame; `unitLetter` D (km/h), E (mph) or F (m/s). A missing speed gives
// the no-speed mark; a negative speed sets the sign nibble.
Frame SpeedFrame(std::optional<double> speed, char unitLetter = 'D');

} // namespace lrf::sim
