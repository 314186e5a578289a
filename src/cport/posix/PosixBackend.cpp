#include "PosixBackend.h"

#include "SysfsLink.h"
#include "Termios2.h"

#include "ComErrors.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace cport {

std::unique_ptr<ComBackend> CreateComBackend() {
    return std::make_unique<posix::PosixBackend>();
}

namespace posix {

namespace {

using Clock = std::chrono::steady_clock;

struct SpeedConstant {
    std::uint32_t bits;
    speed_t constant;
};

constexpr std::array<SpeedConstant, 30> kSpeedConstants{{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

bool findSpeedConstant(std::uint32_t bits, speed_t& constant) {
    for (const auto& s : kSpeedConstants) {
        if (s.bits == bits) {
            constant = s.constant;
            return true;
        }
    }
    return false;
}

// Errors that mean the device hung up or was removed.
bool isDeviceGone(int err) {
    return err == EIO || err == ENXIO || err == ENODEV;
}

// Modem-line ioctls that a device without modem lines rejects.
bool isNoModemLines(int err) {
    return err == ENOTTY || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP;
}

// Milliseconds left until `deadline`, for poll(); -1 when there is no deadline.
int msLeft(bool limited, Clock::time_point deadline) {
    if (!limited)
        return -1;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
        return 0;
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

// Waits until `fd` is ready for `what`; returns 1 ready, 0 timed out, or -errno.
int waitReady(int fd, short what, int timeoutMs) {
    for (;;) {
        pollfd p{fd, what, 0};
        int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return -errno;
        if (r == 0)
            return 0;
        if (p.revents & (POLLERR | POLLNVAL))
            return -EIO;
        if ((p.revents & POLLHUP) && !(p.revents & what))
            return -EIO;
        return 1;
    }
}

std::string devicePath(const std::string& port) {
    if (port.find('/') != std::string::npos)
        return port;
    return "/dev/" + port;
}

} // namespace

PosixBackend::~PosixBackend() {
    Close();
}

OsError PosixBackend::Open(const std::string& port) {
    if (fd_ >= 0)
        return EBUSY;
    if (port.empty())
        return ENOENT;
    // Lock the device itself, not a by-id or by-path link to it, so that every
    // name of one device meets the same lock.
    char* resolved = ::realpath(devicePath(port).c_str(), nullptr);
    if (resolved == nullptr)
        return errno;
    std::string path(resolved);
    std::free(resolved);

    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    auto fail = [fd](int err) {
        ::close(fd);
        return err;
    };
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno);
    if (::ioctl(fd, TIOCEXCL) != 0)
        return fail(errno); // not a terminal at all
    // The open may have raised DTR and RTS; drop them until the settings say
    // otherwise, and keep the next close from pulsing them.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &lines);
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0 && (tio.c_cflag & HUPCL)) {
        tio.c_cflag &= ~HUPCL;
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    // A USB-serial adapter otherwise holds each short reply for its latency
    // timer (16 ms by default); drivers and pseudo-terminals without the mode
    // open as before.
    RequestLowLatency(fd);
    fd_ = fd;
    {
        std::lock_guard lock(countersMutex_);
        haveCounters_ = ::ioctl(fd_, TIOCGICOUNT, &counters_) == 0;
    }
    return 0;
}

void PosixBackend::Close() {
    if (fd_ < 0)
        return;
    // Unsent bytes would make close() wait for the line to drain them.
    ::tcflush(fd_, TCOFLUSH);
    ::ioctl(fd_, TIOCNXCL);
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

OsError PosixBackend::SetQueueSizes(std::uint32_t, std::uint32_t) {
    // The kernel's queues have a fixed size; the requested sizes are only kept
    // by the component.
    return fd_ >= 0 ? 0 : EBADF;
}

OsError PosixBackend::SetLineSettings(const LineSettings& s) {
    if (fd_ < 0)
        return EBADF;
    if (s.DataBits < 5 || s.DataBits > 8 || s.BaudRate == 0)
        return EINVAL;
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0)
        return errno;
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(HUPCL | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= kSizes[s.DataBits - 5];
    switch (s.Parity) {
    case prNone:
        break;
    case prOdd:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case prEven:
        tio.c_cflag |= PARENB;
        break;
    case prMark:
        tio.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case prSpace:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    }
    // A UART sends 1.5 stop bits for "two" when the word has five bits.
    if (s.StopBits != sbOneStopBit)
        tio.c_cflag |= CSTOPB;
    if (s.OutCTSFlow || s.ControlRTS == rtsHandshake)
        tio.c_cflag |= CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
    if (s.XonXoffOut)
        tio.c_iflag |= IXON;
    if (s.XonXoffIn)
        tio.c_iflag |= IXOFF;
    if (s.ParityCheck)
        tio.c_iflag |= INPCK;
    tio.c_cc[VSTART] = static_cast<cc_t>(s.XonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(s.XoffChar);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;

    speed_t constant = B38400;
    const bool standard = findSpeedConstant(s.BaudRate, constant);
    ::cfsetispeed(&tio, constant);
    ::cfsetospeed(&tio, constant);
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0)
        return errno;
    if (!standard) {
        if (int err = SetExactSpeed(fd_, s.BaudRate))
            return err;
    }
    // A driver may quietly run a neighbouring rate; more than 2 % off would
    // garble every byte, so that counts as a refusal.
    std::uint32_t actual = 0;
    if (int err = GetActualSpeed(fd_, actual))
        return err;
    const double ratio = static_cast<double>(actual) / s.BaudRate;
    if (ratio < 0.98 || ratio > 1.02)
        return EINVAL;
    return applyModemOutputs(s);
}

OsError PosixBackend::applyModemOutputs(const LineSettings& s) {
    int set = 0;
    int clear = 0;
    (s.ControlDTR == dtrDisable ? clear : set) |= TIOCM_DTR;
    if (s.ControlRTS == rtsEnable || s.ControlRTS == rtsHandshake)
        set |= TIOCM_RTS;
    else
        clear |= TIOCM_RTS;
    if (set != 0 && ::ioctl(fd_, TIOCMBIS, &set) != 0 && !isNoModemLines(errno))
        return errno;
    if (clear != 0 && ::ioctl(fd_, TIOCMBIC, &clear) != 0 && !isNoModemLines(errno))
        return errno;
    return 0;
}

OsError PosixBackend::SetTimeouts(const TimeoutSettings& timeouts) {
    if (fd_ < 0)
        return EBADF;
    timeouts_ = timeouts;
    return 0;
}

OsError PosixBackend::Write(const void* data, std::size_t count, std::size_t& done) {
    done = 0;
    if (fd_ < 0)
        return EBADF;
    const auto* p = static_cast<const unsigned char*>(data);
    const bool limited = timeouts_.WriteTotalMultiplier != 0 || timeouts_.WriteTotalConstant != 0;
    const auto budget = std::chrono::milliseconds(
        static_cast<std::uint64_t>(timeouts_.WriteTotalMultiplier) * count +
        timeouts_.WriteTotalConstant);
    const auto deadline = Clock::now() + budget;
    while (done < count) {
        ssize_t n = ::write(fd_, p + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return errno;
        int r = waitReady(fd_, POLLOUT, msLeft(limited, deadline));
        if (r < 0)
            return -r;
        if (r == 0)
            return 0; // write timeout: ends with the bytes sent so far
    }
    return 0;
}

OsError PosixBackend::Read(void* data, std::size_t count, std::size_t& done) {
    done = 0;
    if (fd_ < 0)
        return EBADF;
    auto* p = static_cast<unsigned char*>(data);
    const TimeoutSettings& t = timeouts_;
    constexpr std::uint32_t kAll = 0xFFFFFFFFu;
    // The timeout rules of the classic serial interface.
    const bool immediate =
        t.ReadInterval == kAll && t.ReadTotalMultiplier == 0 && t.ReadTotalConstant == 0;
    const bool anyByte = t.ReadInterval == kAll && t.ReadTotalMultiplier == kAll &&
                         t.ReadTotalConstant != 0 && t.ReadTotalConstant != kAll;
    const bool limited = anyByte || t.ReadTotalMultiplier != 0 || t.ReadTotalConstant != 0;
    const auto budget = std::chrono::milliseconds(
        anyByte ? t.ReadTotalConstant
                : static_cast<std::uint64_t>(t.ReadTotalMultiplier) * count + t.ReadTotalConstant);
    const auto deadline = Clock::now() + budget;
    const bool useInterval = !anyByte && t.ReadInterval != 0 && t.ReadInterval != kAll;
    while (done < count) {
        ssize_t n = ::read(fd_, p + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            if (anyByte)
                return 0;
            continue;
        }
        if (n == 0)
            return EIO; // end of file on a terminal: it hung up
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return errno;
        if (immediate)
            return 0;
        int timeout = msLeft(limited, deadline);
        if (useInterval && done > 0 && (timeout < 0 || timeout > int(t.ReadInterval)))
            timeout = static_cast<int>(t.ReadInterval);
        int r = waitReady(fd_, POLLIN, timeout);
        if (r < 0)
            return -r;
        if (r == 0)
            return 0;
    }
    return 0;
}

OsError PosixBackend::Purge(unsigned flags) {
    if (fd_ < 0)
        return EBADF;
    // Reads and writes finish inside their own calls, so there is nothing to abort;
    // only the queues can be dropped.
    const bool rx = flags & purgeClearRx;
    const bool tx = flags & purgeClearTx;
    if (!rx && !tx)
        return 0;
    int which = rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH;
    if (::tcflush(fd_, which) == 0)
        return 0;
    // A device that is gone has nothing left to drop.
    return isDeviceGone(errno) ? 0 : errno;
}

OsError PosixBackend::ClearErrors(QueueStatus& status) {
    status = QueueStatus{};
    if (fd_ < 0)
        return EBADF;
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0)
        return errno;
    status.InQueue = static_cast<std::uint32_t>(waiting);
    status.Errors = takeLineErrors();
    return 0;
}

TComErrors PosixBackend::takeLineErrors() {
    std::lock_guard lock(countersMutex_);
    TComErrors errors;
    serial_icounter_struct now{};
    if (!haveCounters_ || ::ioctl(fd_, TIOCGICOUNT, &now) != 0)
        return errors;
    if (now.frame != counters_.frame)
        errors.Include(ceFrame);
    if (now.parity != counters_.parity)
        errors.Include(ceRxParity);
    if (now.overrun != counters_.overrun)
        errors.Include(ceOverrun);
    if (now.brk != counters_.brk)
        errors.Include(ceBreak);
    if (now.buf_overrun != counters_.buf_overrun)
        errors.Include(ceRxOver);
    counters_ = now;
    return errors;
}

bool PosixBackend::lineErrorsPending() {
    std::lock_guard lock(countersMutex_);
    serial_icounter_struct now{};
    if (!haveCounters_ || ::ioctl(fd_, TIOCGICOUNT, &now) != 0)
        return false;
    return now.frame != counters_.frame || now.parity != counters_.parity ||
           now.overrun != counters_.overrun || now.brk != counters_.brk ||
           now.buf_overrun != counters_.buf_overrun;
}

OsError PosixBackend::GetModemLines(ModemLines& lines) {
    lines = ModemLines{};
    if (fd_ < 0)
        return EBADF;
    int bits = 0;
    if (::ioctl(fd_, TIOCMGET, &bits) != 0)
        return isNoModemLines(errno) ? 0 : errno;
    lines.CTS = bits & TIOCM_CTS;
    lines.DSR = bits & TIOCM_DSR;
    lines.Ring = bits & TIOCM_RNG;
    lines.RLSD = bits & TIOCM_CAR;
    return 0;
}

} // namespace posix

bool IsDeviceGone(const EComPort& error) {
    return error.OsErrorCode() > 0 && posix::isDeviceGone(error.OsErrorCode());
}

} // namespace cport
