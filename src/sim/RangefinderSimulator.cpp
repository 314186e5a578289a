#include "RangefinderSimulator.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
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

void RangefinderSimulator::run() {
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
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0)
            return;
        for (ssize_t i = 0; i < n && !hungUp_; ++i)
            answer(buffer[i]);
    }
}

void RangefinderSimulator::answer(std::uint8_t command) {
    if (command == kDistanceCommand)
        ++distanceCommands_;
    else if (command == kSpeedCommand)
        ++speedCommands_;
    else {
        ++otherBytes_;
        return;
    }
    const SimSettings s = Settings();
    if (s.replyDelay.count() > 0 && !pause(s.replyDelay))
        return;
    Frame frame = command == kDistanceCommand
                      ? DistanceFrame(s.distance, s.inclination, s.distanceUnitLetter, s.quantity)
                      : SpeedFrame(s.speed, s.speedUnitLetter);
    switch (takeFault()) {
    case SimFault::None:
        break;
    case SimFault::DropReply:
        ++repliesDropped_;
        return;
    case SimFault::SplitFrame:
        if (sendAll(frame.data(), 3) && pause(s.splitGap) && sendAll(frame.data() + 3, 5))
            ++repliesSent_;
        return;
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
    if (sendAll(frame.data(), frame.size()))
        ++repliesSent_;
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

void RangefinderSimulator::hangUp() {
    // Closing every handle on the master removes the device and hangs up the
    // program that has it open.
    hungUp_ = true;
    closeFd(keepAlive_);
    closeFd(master_);
}

} // namespace lrf::sim
