#pragma once

#include "RangefinderSimulator.h"

#include <string>
#include <vector>

namespace lrf::sim {

// The pace of a run as the instrument sees it: commands received per second, and
// each pause from a reply's last byte written to the next command received. A
// program that paces its shots from the reply's arrival never undercuts its
// shot pause here, however late its own clock reads.
struct SimPace {
    std::size_t shots = 0;
    double shotsPerSecond = 0.0;  // first to last command received
    std::vector<double> pausesMs; // sorted, shortest first

    // The pause at fraction `p` of the sorted pauses (0 the shortest, 1 the longest).
    double PauseMs(double p) const;
};

SimPace PaceOf(const std::vector<SimExchange>& history);

// "2100 shots, 61.0 per s, pause after a reply min 10.02 ms, median 10.11 ms"
std::string PaceText(const SimPace& pace);

} // namespace lrf::sim
