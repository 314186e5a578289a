// The event thread's side of the POSIX backend. The device sits in an epoll set
// in edge-triggered mode: the set becomes ready when new bytes arrive, not while
// old ones wait unread, so a receive handler that leaves bytes in the queue cannot
// make the thread spin. poll() watches that set and the stop eventfd together,
// without a time limit.

#include "PosixBackend.h"

#include <cerrno>
#include <poll.h>
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
    if (::epoll_ctl(epollFd, EPOLL_CTL_ADD, fd_, &ev) != 0) {
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
        pollfd fds[2] = {{stopFd_, POLLIN, 0}, {epollFd_, POLLIN, 0}};
        int r = ::poll(fds, 2, -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return WaitOutcome::Failed;
        }
        if (fds[0].revents != 0)
            return WaitOutcome::Stopped;
        if (fds[1].revents & (POLLERR | POLLNVAL))
            return WaitOutcome::Failed;
        epoll_event ev{};
        int n = ::epoll_wait(epollFd_, &ev, 1, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return WaitOutcome::Failed;
        if (n == 0)
            continue;
        if (ev.events & (EPOLLHUP | EPOLLERR | EPOLLRDHUP))
            return WaitOutcome::DeviceLost;
        int waiting = 0;
        if (::ioctl(fd_, FIONREAD, &waiting) != 0) {
            int err = errno;
            if (err == EIO || err == ENXIO || err == ENODEV)
                return WaitOutcome::DeviceLost;
            return WaitOutcome::Failed;
        }
        // Bytes that a handler has already taken leave nothing to announce.
        if (watched_.Contains(evRxChar) && waiting > 0)
            events.Include(evRxChar);
        if (watched_.Contains(evError) && lineErrorsPending())
            events.Include(evError);
        if (!events.Empty())
            return WaitOutcome::Events;
    }
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
