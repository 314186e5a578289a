#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace cport {
struct LinkInfo;
}

namespace lrf {

// Time from a command to its complete reply over the last shots: what the link
// (an adapter's latency timer above all) costs each shot.
class LinkTiming {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kShots = 32;

    void commandSent(Clock::time_point at) { sentAt_ = at; }
    // A complete reply arrived at `at`; counts when a command is waiting for it.
    void replyComplete(Clock::time_point at);
    // A reply that never came: the next reply answers another command.
    void forget() { sentAt_.reset(); }
    void clear();

    std::optional<Clock::duration> median() const;

private:
    std::optional<Clock::time_point> sentAt_;
    std::vector<Clock::duration> times_; // a ring of the last kShots
    std::size_t next_ = 0;
};

// The advice on a slow adapter latency timer, told once per port while the
// program runs: opening the same port again (or its return after a loss) does
// not repeat it.
class LatencyNotices {
public:
    std::optional<std::string> take(const std::string& port, const cport::LinkInfo& link);

private:
    std::set<std::string> told_;
};

// "ftdi_sio (FT232R USB UART), latency timer 16 ms, median reply 21.3 ms": the
// reply part (command to complete reply) only once shots have been timed.
std::string LinkLine(const cport::LinkInfo& link, std::optional<LinkTiming::Clock::duration> median,
                     const std::string& decimal = ".");

} // namespace lrf
