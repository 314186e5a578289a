#include "RangefinderSimulator.h"

#include "SimTransport.h"

#include <algorithm>
#include <array>
#include <system_error>

#ifdef __linux__
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace lrf::sim {

RangefinderSimulator::RangefinderSimulator(SimDevice device)
    : device_(device) {}

RangefinderSimulator::~RangefinderSimulator() {
    Stop();
}

void RangefinderSimulator::Start() {
    if (Running())
        return;
    hungUp_ = false;
    adapterEpoch_ = std::chrono::steady_clock::now();
    transport_ = device_ == SimDevice::PseudoTerminal ? MakePseudoTerminalTransport()
                                                      : MakeInProcessTransport();
    if (!transport_)
        throw std::system_error(std::make_error_code(std::errc::function_not_supported),
                                "pseudo-terminal");
    try {
        devicePath_ = transport_->Open();
        thread_ = std::thread([this] { run(); });
    } catch (...) {
        transport_.reset();
        devicePath_.clear();
        throw;
    }
}

void RangefinderSimulator::Stop() {
    if (!thread_.joinable())
        return;
    transport_->RequestStop();
    thread_.join();
    transport_->Close();
}

SimLineState RangefinderSimulator::LineState() const {
    if (!transport_)
        throw std::system_error(std::make_error_code(std::errc::bad_file_descriptor), "line state");
    return transport_->LineState();
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
#ifdef __linux__
    // The paced bytes and the time stamps should be as exact as the kernel can
    // make them, not rounded up by the default timer slack.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    // An instrument keeps its pace whatever else the machine does: where it may,
    // this thread runs before the programs it talks to.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), -10);
#endif
    std::uint8_t buffer[256];
    while (!hungUp_) {
        const std::size_t n = transport_->Receive(buffer, sizeof buffer);
        const auto received = std::chrono::steady_clock::now();
        if (n == 0)
            return;
        for (std::size_t i = 0; i < n && !hungUp_; ++i)
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
    if (command == kDistanceCommand && distance && s.distanceNoise > 0.0)
        *distance += std::normal_distribution<double>(0.0, s.distanceNoise)(noise_);
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
    const bool sent = s.adapter.latencyTimer.count() > 0
                          ? sendThroughAdapter(frame, cut, s.splitGap, pace, s.adapter, exchange)
                          : sendFrame(frame, cut, s.splitGap, pace, s.wholeReplies, exchange);
    if (!exchange.replied)
        remember(exchange);
    else if (!sent)
        unsendLast();
}

// Called as the reply's last bytes are about to go out: the exchange is in the
// history before the far end can see the whole reply, so whoever waits for
// the reply finds it there.
void RangefinderSimulator::lastBytesGoing(SimExchange& exchange) {
    exchange.written = std::chrono::steady_clock::now();
    exchange.replied = true;
    ++repliesSent_;
    remember(exchange);
}

// The last bytes did not go out after all (the line was closed or hung up).
void RangefinderSimulator::unsendLast() {
    --repliesSent_;
    std::lock_guard lock(historyMutex_);
    if (!history_.empty())
        history_.back().replied = false;
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
                                     std::chrono::nanoseconds characterTime, bool wholeReply,
                                     SimExchange& exchange) {
    const bool paced = characterTime.count() > 0;
    // Asked for whole replies, or on a device that cannot wait single character
    // times (the in-process line: the system's sleeps are coarse on Windows),
    // each piece goes at once, when its last byte would have been through the line.
    const bool eachByte = paced && !wholeReply && transport_->PacesEachByte();
    auto due = std::chrono::steady_clock::now();
    std::size_t sent = 0;
    while (sent < frame.size()) {
        const std::size_t end = eachByte ? sent + 1 : (cut > sent ? cut : frame.size());
        if (paced && !eachByte &&
            !sleepUntil(due + static_cast<long long>(end - sent - 1) * characterTime))
            return false;
        // Taken before the write: the far end cannot see the bytes any earlier, also
        // when this thread is held up between the write and the clock.
        if (end == frame.size())
            lastBytesGoing(exchange);
        if (!transport_->Send(frame.data() + sent, end - sent))
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
                                              const SimAdapter& adapter, SimExchange& exchange) {
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
        if (end == frame.size())
            lastBytesGoing(exchange);
        if (!transport_->Send(frame.data() + sent, end - sent))
            return false;
        sent = end;
    }
    return true;
}

bool RangefinderSimulator::pause(std::chrono::milliseconds duration) {
    return transport_->WaitUntil(std::chrono::steady_clock::now() + duration);
}

bool RangefinderSimulator::sleepUntil(std::chrono::steady_clock::time_point due) {
    return transport_->WaitUntil(due);
}

void RangefinderSimulator::hangUp() {
    hungUp_ = true;
    transport_->HangUp();
}

} // namespace lrf::sim
