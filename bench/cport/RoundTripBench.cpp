// bench_roundtrip: the round trip every measurement makes. The distance command
// 0x0F goes out, the simulated rangefinder answers with its eight-byte frame, the
// event thread hands the batch to the "GUI thread" (here the main thread, waiting
// for hand-overs), and OnRxChar reads the eight bytes. Prints the median and the
// 99th percentile over 2000 shots, then the processor time the process uses in
// 10 idle seconds with the port open.
//
// Two kinds of GUI thread are measured: one that waits for hand-overs directly,
// and one that, like a Qt program, is woken through the wake-up hook by a posted
// task in its own small event loop and then runs the pending calls.

#include "CPort.h"
#include "RangefinderSimulator.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
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

} // namespace

int main(int argc, char* argv[]) {
    const int shots = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
    const int idleSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;

    lrf::sim::RangefinderSimulator sim;
    lrf::sim::SimSettings atOnce; // the hand-over is measured, not the line
    atOnce.linePace = false;
    sim.SetSettings(atOnce);
    sim.Start();
    cport::TComPort port;
    port.SetPort(sim.DevicePath());
    port.SetBaudRate(cport::br19200);

    std::string frame;
    Clock::time_point arrived;
    port.OnRxChar = [&](cport::TCustomComPort& sender, int count) {
        std::string chunk;
        sender.ReadText(chunk, count);
        frame += chunk;
        if (frame.size() >= 8)
            arrived = Clock::now();
    };
    port.SetConnected(true);

    EventLoop loop;
    auto measure = [&](const char* kind, bool throughHook) {
        std::vector<double> micros;
        micros.reserve(static_cast<std::size_t>(shots));
        int lost = 0;
        for (int i = 0; i < shots + 50; ++i) { // the first 50 warm up
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
            if (i >= 50)
                micros.push_back(std::chrono::duration<double, std::micro>(arrived - sent).count());
        }
        if (micros.empty()) {
            std::printf("round trip (%s): no replies\n", kind);
            return false;
        }
        std::printf("round trip (%s) over %zu shots: median %.1f us, 99th percentile %.1f us, "
                    "max %.1f us (targets: median < 100 us, p99 < 500 us); lost %d\n",
                    kind, micros.size(), percentile(micros, 0.5), percentile(micros, 0.99),
                    percentile(micros, 1.0), lost);
        return true;
    };
    bool ok = measure("GUI thread waiting for hand-overs", false);
    cport::SetWakeUpHook([&loop] { loop.Post([] { cport::ProcessPendingCalls(); }); });
    ok = measure("GUI thread woken through the wake-up hook", true) && ok;
    cport::SetWakeUpHook(nullptr);
    std::fflush(stdout);

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
    return ok ? 0 : 1;
}
