#include "SimPace.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace lrf::sim {

double SimPace::PauseMs(double p) const {
    if (pausesMs.empty())
        return 0.0;
    const double last = static_cast<double>(pausesMs.size() - 1);
    return pausesMs[static_cast<std::size_t>(std::clamp(p, 0.0, 1.0) * last + 0.5)];
}

SimPace PaceOf(const std::vector<SimExchange>& history) {
    SimPace pace;
    pace.shots = history.size();
    if (history.size() < 2)
        return pace;
    const double seconds =
        std::chrono::duration<double>(history.back().received - history.front().received).count();
    if (seconds > 0)
        pace.shotsPerSecond = static_cast<double>(history.size() - 1) / seconds;
    for (std::size_t i = 1; i < history.size(); ++i)
        if (history[i - 1].replied)
            pace.pausesMs.push_back(std::chrono::duration<double, std::milli>(
                                        history[i].received - history[i - 1].written)
                                        .count());
    std::sort(pace.pausesMs.begin(), pace.pausesMs.end());
    return pace;
}

std::string PaceText(const SimPace& pace) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "%zu shots, %.1f per s, pause after a reply min %.2f ms, median %.2f ms",
                  pace.shots, pace.shotsPerSecond, pace.PauseMs(0.0), pace.PauseMs(0.5));
    return text;
}

} // namespace lrf::sim
