// The event thread's side of the POSIX backend. The device sits in an epoll set
// in edge-triggered mode: the set becomes ready when new bytes arrive, not while
// old ones wait unread, so a receive handler that leaves bytes in the queue cannot
// make the thread spin. The stop eventfd sits in the same set, level-triggered, so
// that one epoll_wait without a time limit watches both: the device's wake-up
// reaches the thread directly, not through a second wait on the set.

#include "PosixBackend.h"

#include <cerrno>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace cport::posix {

OsError PosixBackend::PrepareEventWait(TComEvents events) {
    if (fd_ < 0)
        return EBADF;
    std::lock_guard lock(stopMutex_);
    if (stopFd_ >= 0)
        return EBUSY;
    int stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd < 0)
        return errno;
    int epollFd = ::epoll_create1(EPOLL_CLOEXEC);
    if (epollFd < 0) {
        int err = errno;
        ::close(stopFd);
        return err;
    }
    // Input is always watched, also when nobody listens for bytes: a hang-up
    // wakes the device's readers, and that is how it reaches us.
    epoll_event ev{};
    ev.events = EPOLLET | EPOLLIN | EPOLLRDHUP;
    ev.data.fd = fd_;
    epoll_event stop{};
    stop.events = EPOLLIN;
    stop.data.fd = stopFd;
    if (::epoll_ctl(epollFd, EPOLL_CTL_ADD, fd_, &ev) != 0 ||
        ::epoll_ctl(epollFd, EPOLL_CTL_ADD, stopFd, &stop) != 0) {
        int err = errno;
        ::close(epollFd);
        ::close(stopFd);
        return err;
    }
    stopFd_ = stopFd;
    epollFd_ = epollFd;
    watched_ = events;
    return 0;
}

WaitOutcome PosixBackend::WaitForEvents(TComEvents& events) {
    events = TComEvents{};
    for (;;) {
        epoll_event ready[2]{};
        const int n = ::epoll_wait(epollFd_, ready, 2, -1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return WaitOutcome::Failed;
        std::uint32_t device = 0;
        for (int i = 0; i < n; ++i) {
            if (ready[i].data.fd == stopFd_)
                return WaitOutcome::Stopped; // wins over what the device reports with it
            device |= ready[i].events;
        }
        if (device == 0)
            continue;
        if (device & (EPOLLHUP | EPOLLERR | EPOLLRDHUP))
            return WaitOutcome::DeviceLost;
        // New bytes arrived (the set is edge-triggered). The dispatch counts them
        // and finds none when a handler took them meanwhile.
        if (watched_.Contains(evRxChar) && (device & EPOLLIN))
            events.Include(evRxChar);
        if (watched_.Contains(evError) && lineErrorsPending())
            events.Include(evError);
        if (!events.Empty())
            return WaitOutcome::Events;
    }
}

bool PosixBackend::CountWaiting(std::uint32_t& count) {
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0 || waiting < 0)
        return false;
    count = static_cast<std::uint32_t>(waiting);
    return true;
}

void PosixBackend::StopEventWait() {
    std::lock_guard lock(stopMutex_);
    if (stopFd_ < 0)
        return;
    const std::uint64_t one = 1;
    // A full counter still leaves the descriptor readable, which is all we need.
    [[maybe_unused]] ssize_t n = ::write(stopFd_, &one, sizeof one);
}

void PosixBackend::FinishEventWait() {
    std::lock_guard lock(stopMutex_);
    if (epollFd_ >= 0) {
        ::close(epollFd_);
        epollFd_ = -1;
    }
    if (fd_ >= 0)
        ::tcflush(fd_, TCIOFLUSH); // fails harmlessly on a device that is gone
    if (stopFd_ >= 0) {
        ::close(stopFd_);
        stopFd_ = -1;
    }
    watched_ = TComEvents{};
}

} // namespace cport::posix
