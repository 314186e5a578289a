// Round trips through the serial port component to an instrument on the other end
// of the port: write the distance command, wait until the receive handler has read
// the 8-byte reply. Prints the median, the 99th percentile and the worst round trip,
// then the processor time the program uses in 3 s with the port open and idle.
//
// The port is the first argument or LRF_TEST_PORT. The same source runs on Linux
// (POSIX backend) and under Wine or Windows (Win32 backend), so the figures compare.

#include "CPort.h"
#include "HandOver.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#ifdef _WIN32
#include <map>
#include <windows.h>
// After windows.h:
#include <tlhelp32.h>
#else
#include <ctime>
#endif

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double processCpuMs() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ticks = [](const FILETIME& f) {
        return (static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
#else
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
#endif
}

#ifdef _WIN32
// Processor time of each thread of this process, by thread id, in ms. Under Wine the
// serial driver polls the device from a thread of its own inside the process; this
// tells that thread apart from the program's own.
std::map<DWORD, double> threadCpuMs() {
    std::map<DWORD, double> times;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return times;
    THREADENTRY32 te{};
    te.dwSize = sizeof te;
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te)) {
        if (te.th32OwnerProcessID != GetCurrentProcessId())
            continue;
        HANDLE t = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, te.th32ThreadID);
        if (!t)
            continue;
        FILETIME c, e, k, u;
        if (GetThreadTimes(t, &c, &e, &k, &u)) {
            auto ticks = [](const FILETIME& f) {
                return (static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
            };
            times[te.th32ThreadID] = static_cast<double>(ticks(k) + ticks(u)) / 10000.0;
        }
        CloseHandle(t);
    }
    CloseHandle(snap);
    return times;
}

void printThreadBreakdown(const std::map<DWORD, double>& before,
                          const std::map<DWORD, double>& after) {
    std::vector<std::pair<double, DWORD>> deltas;
    for (auto [id, ms] : after) {
        auto it = before.find(id);
        deltas.emplace_back(ms - (it == before.end() ? 0.0 : it->second), id);
    }
    std::sort(deltas.rbegin(), deltas.rend());
    std::printf("  by thread (id:ms):");
    for (auto [ms, id] : deltas)
        std::printf(" %04lx:%.1f%s", static_cast<unsigned long>(id), ms,
                    id == GetCurrentThreadId() ? "(main)" : "");
    std::printf("\n");
}
#endif

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

} // namespace

int main(int argc, char** argv) {
    const char* env = std::getenv("LRF_TEST_PORT");
    const std::string portName = argc > 1 && argv[1][0] ? argv[1] : env ? env : "";
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 1000;
    if (rounds < 1) {
        std::fprintf(stderr, "usage: bench_port_roundtrip PORT [ROUNDS]\n");
        return 2;
    }
    if (portName.empty()) {
        // Run among all benchmarks without an instrument: nothing to measure.
        std::printf("skipped: no instrument port (scripts/run-wine-tests.sh runs it with one)\n");
        return 0;
    }

    cport::TComPort port;
    std::size_t received = 0;
    port.OnRxChar = [&](cport::TCustomComPort& sender, int count) {
        std::string text;
        received += static_cast<std::size_t>(sender.ReadText(text, count));
    };
    try {
        port.SetPort(portName);
        port.SetBaudRate(cport::br19200);
        port.SetConnected(true);

        auto roundTrip = [&]() -> bool {
            received = 0;
            port.WriteText("\x0F");
            const auto deadline = Clock::now() + 2s;
            while (received < 8) {
                if (Clock::now() > deadline)
                    return false;
                cport::WaitForPendingCalls(100ms);
            }
            return true;
        };

        for (int i = 0; i < 20; ++i)
            roundTrip();
        std::vector<double> us;
        us.reserve(static_cast<std::size_t>(rounds));
        int lost = 0;
        for (int i = 0; i < rounds; ++i) {
            const auto start = Clock::now();
            if (!roundTrip()) {
                ++lost;
                continue;
            }
            us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        if (us.empty()) {
            std::fprintf(stderr, "no reply from the instrument on %s\n", portName.c_str());
            return 1;
        }
        std::printf("round trip (%zu of %d): median %.0f us, p99 %.0f us, max %.0f us\n", us.size(),
                    rounds, percentile(us, 0.5), percentile(us, 0.99), percentile(us, 1.0));
        if (lost)
            std::printf("lost replies: %d\n", lost);

#ifdef _WIN32
        const auto threadsBefore = threadCpuMs();
#endif
        const double cpuBefore = processCpuMs();
        const auto idleEnd = Clock::now() + 3s;
        while (Clock::now() < idleEnd)
            cport::WaitForPendingCalls(
                std::chrono::duration_cast<std::chrono::milliseconds>(idleEnd - Clock::now()) +
                1ms);
        std::printf("idle with the port open: %.1f ms processor time in 3 s\n",
                    processCpuMs() - cpuBefore);
#ifdef _WIN32
        printThreadBreakdown(threadsBefore, threadCpuMs());
#endif
        port.SetConnected(false);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
