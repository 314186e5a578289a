// The simulator on a pseudo-terminal: the program opens the slave side by its
// path like any serial device; the simulator works the master side.

#include "SimTransport.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace lrf::sim {

SimLineState ReadPtyLineState(int fd); // PtyLineState.cpp

namespace {

[[noreturn]] void throwErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

class PtyTransport : public SimTransport {
public:
    ~PtyTransport() override { Close(); }

    std::string Open() override {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0)
            throwErrno("posix_openpt");
        try {
            if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
                throwErrno("unlockpt");
            char name[128];
            if (::ptsname_r(master_, name, sizeof name) != 0)
                throwErrno("ptsname_r");
            // Our own handle on the far end, so that the master never reports a
            // hang-up while no program has the port open.
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
            return name;
        } catch (...) {
            Close();
            throw;
        }
    }

    std::size_t Receive(std::uint8_t* buffer, std::size_t size) override {
        for (;;) {
            if (master_ < 0)
                return 0;
            pollfd fds[2] = {{stopFd_, POLLIN, 0}, {master_, POLLIN, 0}};
            const int r = ::poll(fds, 2, -1);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0 || fds[0].revents != 0)
                return 0;
            if (fds[1].revents & (POLLERR | POLLNVAL))
                return 0;
            const ssize_t n = ::read(master_, buffer, size);
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            return n > 0 ? static_cast<std::size_t>(n) : 0;
        }
    }

    bool Send(const std::uint8_t* data, std::size_t size) override {
        while (size > 0) {
            const ssize_t n = ::write(master_, data, size);
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

    bool WaitUntil(std::chrono::steady_clock::time_point due) override {
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

    void RequestStop() override {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(stopFd_, &one, sizeof one);
    }

    // Closing every handle on the master removes the device and hangs up the
    // program that has it open.
    void HangUp() override {
        closeFd(keepAlive_);
        closeFd(master_);
    }

    void Close() override {
        closeFd(stopFd_);
        closeFd(keepAlive_);
        closeFd(master_);
    }

    SimLineState LineState() const override { return ReadPtyLineState(keepAlive_); }

private:
    int master_ = -1;
    int keepAlive_ = -1;
    int stopFd_ = -1;
};

} // namespace

std::unique_ptr<SimTransport> MakePseudoTerminalTransport() {
    return std::make_unique<PtyTransport>();
}

} // namespace lrf::sim
