#include "LinkTiming.h"

#include "LinkInfo.h"

#include <algorithm>
#include <cstdio>

namespace lrf {

void LinkTiming::replyComplete(Clock::time_point at) {
    if (!sentAt_ || at < *sentAt_)
        return;
    const Clock::duration took = at - *sentAt_;
    sentAt_.reset();
    if (times_.size() < kShots) {
        times_.push_back(took);
        return;
    }
    times_[next_] = took;
    next_ = (next_ + 1) % kShots;
}

void LinkTiming::clear() {
    sentAt_.reset();
    times_.clear();
    next_ = 0;
}

std::optional<LinkTiming::Clock::duration> LinkTiming::median() const {
    if (times_.empty())
        return std::nullopt;
    std::vector<Clock::duration> sorted = times_;
    const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
    std::nth_element(sorted.begin(), middle, sorted.end());
    if (sorted.size() % 2 != 0)
        return *middle;
    const Clock::duration upper = *middle;
    const Clock::duration lower = *std::max_element(sorted.begin(), middle);
    return lower + (upper - lower) / 2;
}

std::optional<std::string> LatencyNotices::take(const std::string& port,
                                                const cport::LinkInfo& link) {
    std::optional<std::string> warning = cport::LatencyWarning(port, link);
    if (!warning || !told_.insert(port).second)
        return std::nullopt;
    return warning;
}

std::string LinkLine(const cport::LinkInfo& link, std::optional<LinkTiming::Clock::duration> median,
                     const std::string& decimal) {
    std::string line = cport::LinkText(link);
    if (median) {
        const double ms = std::chrono::duration<double, std::milli>(*median).count();
        char number[32];
        std::snprintf(number, sizeof number, "%.1f", ms);
        std::string text = number;
        if (const auto point = text.find('.'); point != std::string::npos)
            text.replace(point, 1, decimal);
        line += ", median reply " + text + " ms";
    }
    return line;
}

} // namespace lrf
