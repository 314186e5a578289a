// bench_roundtrip: the round trip every measurement makes. The distance command
// 0x0F goes out, the simulated rangefinder answers with its eight-byte frame, the
// event thread hands the batch to the "GUI thread" (here the main thread, waiting
// for hand-overs), and OnRxChar reads the eight bytes. Prints the median and the
// 99th percentile over 2000 shots, where the time goes (to the event thread's
// wake-up, the hand-over, the count and the read), then the processor time the
// process uses in 10 idle seconds with the port open.
//
// Two kinds of GUI thread are measured: one that waits for hand-overs directly,
// and one that, like a Qt program, is woken through the wake-up hook by a posted
// task in its own small event loop and then runs the pending calls. Beside them,
// in blocks taking turns so that both see the same machine, a raw termios loop
// makes the same round trip with the same simulator: the ratio of the medians is
// what the component costs.

#include "CPort.h"
#include "RangefinderSimulator.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

// A minimal event loop: tasks posted from any thread run on the loop's thread.
class EventLoop {
public:
    void Post(std::function<void()> task) {
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        wake_.notify_one();
    }
    // Runs posted tasks until `deadline`; returns early once `done()` holds.
    template <typename Pred> void RunUntil(Clock::time_point deadline, Pred done) {
        std::unique_lock lock(mutex_);
        while (!done() && Clock::now() < deadline) {
            if (tasks_.empty()) {
                wake_.wait_until(lock, deadline);
                continue;
            }
            auto task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
};
// One shot's time stamps, in microseconds from the command.
struct Shot {
    double total = 0; // the eight bytes read on the GUI thread
    double wake = 0;  // the event thread's wait returned
    double start = 0; // OnRxChar began (after the hand-over and the count)
};

double Us(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

// The raw loop: write the command, poll and read until eight bytes are in.
bool RawRoundTrip(int fd, double& micros) {
    const auto sent = Clock::now();
    const std::uint8_t command = 0x0F;
    if (::write(fd, &command, 1) != 1)
        return false;
    std::uint8_t reply[64];
    std::size_t got = 0;
    while (got < 8) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0)
            return false;
        const ssize_t n = ::read(fd, reply + got, sizeof reply - got);
        if (n > 0)
            got += static_cast<std::size_t>(n);
    }
    micros = Us(Clock::now() - sent);
    return true;
}

int OpenRaw(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B19200);
    tio.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

void PrintFigures(const char* kind, const std::vector<Shot>& shots, int lost) {
    std::vector<double> total, wake, handOver, read;
    for (const Shot& s : shots) {
        total.push_back(s.total);
        wake.push_back(s.wake);
        handOver.push_back(s.start - s.wake);
        read.push_back(s.total - s.start);
    }
    std::printf("round trip (%s) over %zu shots: median %.1f us, 99th percentile %.1f us, "
                "max %.1f us (targets: median < 100 us, p99 < 500 us); lost %d\n",
                kind, shots.size(), percentile(total, 0.5), percentile(total, 0.99),
                percentile(total, 1.0), lost);
    std::printf("  medians: command to event thread awake %.1f us, hand-over and count %.1f us, "
                "read %.1f us\n",
                percentile(wake, 0.5), percentile(handOver, 0.5), percentile(read, 0.5));
}

} // namespace

int main(int argc, char* argv[]) {
    const int shots = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
    const int idleSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    constexpr int kBlock = 200;
    constexpr int kWarmUp = 20;

    lrf::sim::RangefinderSimulator sim;
    lrf::sim::SimSettings atOnce; // the hand-over is measured, not the line
    atOnce.linePace = false;
    sim.SetSettings(atOnce);
    sim.Start();
    cport::TComPort port;
    port.SetPort(sim.DevicePath());
    port.SetBaudRate(cport::br19200);

    std::string frame;
    Clock::time_point arrived, seen, started;
    port.OnRxChar = [&](cport::TCustomComPort& sender, int count) {
        if (frame.empty()) {
            started = Clock::now();
            seen = sender.RxTime();
        }
        std::string chunk;
        sender.ReadText(chunk, count);
        frame += chunk;
        if (frame.size() >= 8)
            arrived = Clock::now();
    };

    EventLoop loop;
    std::vector<Shot> direct, hooked;
    std::vector<double> raw;
    int lostDirect = 0, lostHooked = 0, lostRaw = 0;
    auto component = [&](std::vector<Shot>& out, int& lost, int count, bool throughHook) {
        for (int i = 0; i < count + kWarmUp; ++i) {
            frame.clear();
            const auto sent = Clock::now();
            port.WriteText("\x0F");
            const auto deadline = sent + 1s;
            if (throughHook)
                loop.RunUntil(deadline, [&] { return frame.size() >= 8; });
            else
                while (frame.size() < 8 && Clock::now() < deadline)
                    cport::WaitForPendingCalls(100ms);
            if (frame.size() < 8) {
                ++lost;
                continue;
            }
            if (i >= kWarmUp)
                out.push_back({Us(arrived - sent), Us(seen - sent), Us(started - sent)});
        }
    };
    for (int done = 0; done < shots; done += kBlock) {
        const int count = std::min(kBlock, shots - done);
        port.SetConnected(true);
        component(direct, lostDirect, count, false);
        cport::SetWakeUpHook([&loop] { loop.Post([] { cport::ProcessPendingCalls(); }); });
        component(hooked, lostHooked, count, true);
        cport::SetWakeUpHook(nullptr);
        port.SetConnected(false);
        const int fd = OpenRaw(sim.DevicePath());
        for (int i = 0; fd >= 0 && i < count + kWarmUp; ++i) {
            double us = 0;
            if (!RawRoundTrip(fd, us))
                ++lostRaw;
            else if (i >= kWarmUp)
                raw.push_back(us);
        }
        if (fd >= 0)
            ::close(fd);
    }
    if (direct.empty() || hooked.empty() || raw.empty()) {
        std::printf("round trip: no replies\n");
        return 1;
    }
    PrintFigures("GUI thread waiting for hand-overs", direct, lostDirect);
    PrintFigures("GUI thread woken through the wake-up hook", hooked, lostHooked);
    const double rawMedian = percentile(raw, 0.5);
    std::printf("round trip (raw termios loop) over %zu shots: median %.1f us, 99th percentile "
                "%.1f us; lost %d\n",
                raw.size(), rawMedian, percentile(raw, 0.99), lostRaw);
    std::vector<double> directTotals, hookedTotals;
    for (const Shot& s : direct)
        directTotals.push_back(s.total);
    for (const Shot& s : hooked)
        hookedTotals.push_back(s.total);
    std::printf("ratio of medians to the raw loop: waiting GUI thread %.2f, woken GUI thread %.2f "
                "(target at most 1.3)\n",
                percentile(directTotals, 0.5) / rawMedian,
                percentile(hookedTotals, 0.5) / rawMedian);
    std::fflush(stdout);

    port.SetConnected(true);
    const double cpuBefore = processCpuSeconds();
    const auto idleEnd = Clock::now() + std::chrono::seconds(idleSeconds);
    while (Clock::now() < idleEnd)
        cport::WaitForPendingCalls(
            std::chrono::duration_cast<std::chrono::milliseconds>(idleEnd - Clock::now()) + 1ms);
    const double cpuMs = (processCpuSeconds() - cpuBefore) * 1000.0;
    std::printf("idle %d s with the port open: %.2f ms processor time (target < 10 ms)\n",
                idleSeconds, cpuMs);
    std::fflush(stdout);
    port.SetConnected(false);
    return 0;
}
