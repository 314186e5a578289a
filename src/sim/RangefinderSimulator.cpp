#include "RangefinderSimulator.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace lrf::sim {

namespace {

[[noreturn]] void throwErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

RangefinderSimulator::RangefinderSimulator() = default;

RangefinderSimulator::~RangefinderSimulator() {
    Stop();
}

void RangefinderSimulator::Start() {
    if (Running())
        return;
    hungUp_ = false;
    adapterEpoch_ = std::chrono::steady_clock::now();
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0)
        throwErrno("posix_openpt");
    try {
        if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            throwErrno("unlockpt");
        char name[128];
        if (::ptsname_r(master_, name, sizeof name) != 0)
            throwErrno("ptsname_r");
        devicePath_ = name;
        keepAlive_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (keepAlive_ < 0)
            throwErrno("open pseudo-terminal");
        // Raw until a program configures the port, so that no byte is altered.
        termios tio{};
        if (::tcgetattr(keepAlive_, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(keepAlive_, TCSANOW, &tio);
        }
        int flags = ::fcntl(master_, F_GETFL);
        ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
        stopFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (stopFd_ < 0)
            throwErrno("eventfd");
        thread_ = std::thread([this] { run(); });
    } catch (...) {
        closeFd(stopFd_);
        closeFd(keepAlive_);
        closeFd(master_);
        devicePath_.clear();
        throw;
    }
}

void RangefinderSimulator::Stop() {
    if (!thread_.joinable())
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(stopFd_, &one, sizeof one);
    thread_.join();
    closeFd(stopFd_);
    closeFd(keepAlive_);
    closeFd(master_);
}

void RangefinderSimulator::SetSettings(const SimSettings& settings) {
    std::lock_guard lock(mutex_);
    settings_ = settings;
}

SimSettings RangefinderSimulator::Settings() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

void RangefinderSimulator::SetFault(SimFault fault, int count) {
    std::lock_guard lock(mutex_);
    fault_ = fault;
    faultCount_ = fault == SimFault::None ? 0 : count;
}

SimCounters RangefinderSimulator::Counters() const {
    return {distanceCommands_, speedCommands_, otherBytes_, repliesSent_, repliesDropped_};
}

SimFault RangefinderSimulator::takeFault() {
    std::lock_guard lock(mutex_);
    if (fault_ == SimFault::None || faultCount_ == 0)
        return SimFault::None;
    SimFault f = fault_;
    if (faultCount_ > 0 && --faultCount_ == 0)
        fault_ = SimFault::None;
    return f;
}

std::vector<SimExchange> RangefinderSimulator::History() const {
    std::lock_guard lock(historyMutex_);
    return {history_.begin(), history_.end()};
}

void RangefinderSimulator::ClearHistory() {
    std::lock_guard lock(historyMutex_);
    history_.clear();
}

void RangefinderSimulator::remember(const SimExchange& exchange) {
    std::lock_guard lock(historyMutex_);
    if (history_.size() >= 100000)
        history_.pop_front();
    history_.push_back(exchange);
}

void RangefinderSimulator::run() {
    // The paced bytes and the time stamps should be as exact as the kernel can
    // make them, not rounded up by the default timer slack.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    // An instrument keeps its pace whatever else the machine does: where it may,
    // this thread runs before the programs it talks to.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), -10);
    std::uint8_t buffer[256];
    while (!hungUp_) {
        pollfd fds[2] = {{stopFd_, POLLIN, 0}, {master_, POLLIN, 0}};
        int r = ::poll(fds, 2, -1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || fds[0].revents != 0)
            return;
        if (fds[1].revents & (POLLERR | POLLNVAL))
            return;
        ssize_t n = ::read(master_, buffer, sizeof buffer);
        const auto received = std::chrono::steady_clock::now();
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0)
            return;
        for (ssize_t i = 0; i < n && !hungUp_; ++i)
            answer(buffer[i], received);
    }
}

void RangefinderSimulator::answer(std::uint8_t command,
                                  std::chrono::steady_clock::time_point received) {
    if (command == kDistanceCommand)
        ++distanceCommands_;
    else if (command == kSpeedCommand)
        ++speedCommands_;
    else {
        ++otherBytes_;
        return;
    }
    SimExchange exchange;
    exchange.command = command;
    exchange.received = received;
    const SimSettings s = Settings();
    if (s.replyDelay.count() > 0 && !pause(s.replyDelay))
        return;
    std::optional<double> distance = s.distance;
    if (command == kDistanceCommand && distance)
        *distance += s.distanceStep * static_cast<double>(distanceReplies_++ % 1000);
    Frame frame = command == kDistanceCommand
                      ? DistanceFrame(distance, s.inclination, s.distanceUnitLetter, s.quantity)
                      : SpeedFrame(s.speed, s.speedUnitLetter);
    std::size_t cut = 0;
    switch (takeFault()) {
    case SimFault::None:
        break;
    case SimFault::DropReply:
        ++repliesDropped_;
        remember(exchange);
        return;
    case SimFault::SplitFrame:
        cut = s.splitAt >= 1 && s.splitAt <= 7
                  ? static_cast<std::size_t>(s.splitAt)
                  : std::uniform_int_distribution<std::size_t>(1, 7)(random_);
        break;
    case SimFault::Garbage:
        frame = {0x3C, 0x21, 0x7E, 0x00, 0xFF, 0x55, 0xAA, 0x13};
        break;
    case SimFault::CorruptDigit:
        frame[1] = static_cast<std::uint8_t>(0xA0 | (frame[1] & 0x0F));
        break;
    case SimFault::HangUp:
        hangUp();
        return;
    }
    exchange.reply = frame;
    const auto pace = s.linePace ? characterTime() : std::chrono::nanoseconds(0);
    const bool sent =
        s.adapter.latencyTimer.count() > 0
            ? sendThroughAdapter(frame, cut, s.splitGap, pace, s.adapter, exchange.written)
            : sendFrame(frame, cut, s.splitGap, pace, exchange.written);
    if (sent) {
        exchange.replied = true;
        ++repliesSent_;
    }
    remember(exchange);
}

// One character on the line as the far end has set it: start bit, data bits,
// parity bit and stop bits. Nothing when the rate cannot be read.
std::chrono::nanoseconds RangefinderSimulator::characterTime() const {
    try {
        const SimLineState line = LineState();
        if (line.bitsPerSecond == 0)
            return {};
        const int bits = 1 + line.dataBits + (line.parity != 'N' ? 1 : 0) + line.stopBits;
        return std::chrono::nanoseconds(bits * 1'000'000'000LL / line.bitsPerSecond);
    } catch (const std::system_error&) {
        return {};
    }
}

// Writes the frame, byte by byte at `characterTime` apart when that is set, and
// with a pause after the first `cut` bytes when `cut` is set.
bool RangefinderSimulator::sendFrame(const Frame& frame, std::size_t cut,
                                     std::chrono::milliseconds gap,
                                     std::chrono::nanoseconds characterTime,
                                     std::chrono::steady_clock::time_point& lastWrite) {
    const bool paced = characterTime.count() > 0;
    auto due = std::chrono::steady_clock::now();
    std::size_t sent = 0;
    while (sent < frame.size()) {
        const std::size_t end = paced ? sent + 1 : (cut > sent ? cut : frame.size());
        // Taken before the write: the far end cannot see the bytes any earlier, also
        // when this thread is held up between the write and the clock.
        lastWrite = std::chrono::steady_clock::now();
        if (!sendAll(frame.data() + sent, end - sent))
            return false;
        sent = end;
        if (sent == frame.size())
            break;
        if (sent == cut) {
            if (!pause(gap))
                return false;
            due = std::chrono::steady_clock::now();
            continue;
        }
        due += characterTime;
        if (!sleepUntil(due))
            return false;
    }
    return true;
}

// The reply as the adapter hands it on: each byte reaches the adapter at the
// line's pace (after the split fault's pause, where there is one), waits there
// for the next run-out of the latency timer, and leaves with the bytes waiting
// beside it; a full buffer leaves at once.
bool RangefinderSimulator::sendThroughAdapter(const Frame& frame, std::size_t cut,
                                              std::chrono::milliseconds gap,
                                              std::chrono::nanoseconds characterTime,
                                              const SimAdapter& adapter,
                                              std::chrono::steady_clock::time_point& lastWrite) {
    using Clock = std::chrono::steady_clock;
    const auto timer = std::chrono::duration_cast<Clock::duration>(adapter.latencyTimer);
    std::array<Clock::time_point, std::tuple_size_v<Frame>> inAdapter{};
    auto at = Clock::now();
    for (std::size_t i = 0; i < frame.size(); ++i) {
        if (i > 0 && i == cut)
            at += gap;
        at += characterTime;
        inAdapter[i] = at;
    }
    // The first run-out of the timer at or after `t`.
    Clock::time_point epoch = adapterEpoch_;
    if (adapter.cutEveryReply) {
        const std::size_t last = std::uniform_int_distribution<std::size_t>(0, 6)(random_);
        epoch = inAdapter[last];
        // Bytes that arrive together on an unpaced line still part at the cut.
        for (std::size_t i = last + 1; i < frame.size(); ++i)
            inAdapter[i] = std::max(inAdapter[i], epoch + std::chrono::nanoseconds(1));
    }
    auto runOut = [&](Clock::time_point t) {
        if (t <= epoch)
            return epoch;
        const auto periods = (t - epoch + timer - Clock::duration(1)) / timer;
        return epoch + periods * timer;
    };
    const std::size_t bufferSize = std::max<std::size_t>(adapter.buffer, 1);
    std::size_t sent = 0;
    while (sent < frame.size()) {
        std::size_t end = sent + 1;
        Clock::time_point leaves = runOut(inAdapter[sent]);
        while (end < frame.size() && end - sent < bufferSize && inAdapter[end] <= leaves)
            ++end;
        if (end - sent == bufferSize)
            leaves = std::min(leaves, inAdapter[end - 1]);
        if (!sleepUntil(leaves))
            return false;
        lastWrite = Clock::now();
        if (!sendAll(frame.data() + sent, end - sent))
            return false;
        sent = end;
    }
    return true;
}

bool RangefinderSimulator::sendAll(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(master_, data, size);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd fds[2] = {{stopFd_, POLLIN, 0}, {master_, POLLOUT, 0}};
            if (::poll(fds, 2, -1) < 0 && errno != EINTR)
                return false;
            if (fds[0].revents != 0)
                return false;
            continue;
        }
        return false;
    }
    return true;
}

bool RangefinderSimulator::pause(std::chrono::milliseconds duration) {
    pollfd stop{stopFd_, POLLIN, 0};
    int r;
    do {
        r = ::poll(&stop, 1, static_cast<int>(duration.count()));
    } while (r < 0 && errno == EINTR);
    return r == 0;
}

bool RangefinderSimulator::sleepUntil(std::chrono::steady_clock::time_point due) {
    pollfd stop{stopFd_, POLLIN, 0};
    for (;;) {
        const auto left = due - std::chrono::steady_clock::now();
        if (left <= std::chrono::nanoseconds(0))
            return true;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec timeout{static_cast<time_t>(ns / 1'000'000'000),
                               static_cast<long>(ns % 1'000'000'000)};
        const int r = ::ppoll(&stop, 1, &timeout, nullptr);
        if (r > 0)
            return false;
        if (r < 0 && errno != EINTR)
            return false;
    }
}

void RangefinderSimulator::hangUp() {
    // Closing every handle on the master removes the device and hangs up the
    // program that has it open.
    hungUp_ = true;
    closeFd(keepAlive_);
    closeFd(master_);
}

} // namespace lrf::sim
