#include "DeadlineTimer.h"

#include <QSocketNotifier>
#include <QTimer>

#ifdef __linux__
#include <sys/timerfd.h>
#include <unistd.h>
#endif
#ifdef _WIN32
#include <QWinEventNotifier>
#include <windows.h>
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif
#endif

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace lrf {

namespace {

constexpr std::chrono::nanoseconds kMaxLead = std::chrono::microseconds(400);
constexpr std::chrono::nanoseconds kMinLead = std::chrono::microseconds(10);

void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
}

} // namespace

std::chrono::nanoseconds DeadlineTimer::LeadFor(std::chrono::nanoseconds wakeUp) {
    return std::clamp(wakeUp + wakeUp / 2, kMinLead, kMaxLead);
}

DeadlineTimer::DeadlineTimer(QObject* parent)
    : QObject(parent) {
#ifdef __linux__
    // steady_clock is CLOCK_MONOTONIC here, so its time points arm the timerfd as they are.
    fd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ >= 0) {
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
            std::uint64_t expirations = 0;
            [[maybe_unused]] ssize_t n = ::read(fd_, &expirations, sizeof expirations);
            fire();
        });
        return;
    }
#endif
#ifdef _WIN32
    // High resolution where the system has it (Windows 10 1803 and later), else
    // the system's ordinary timer, which the lead and the wait on the clock still
    // bring to the moment.
    handle_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                     TIMER_ALL_ACCESS);
    if (!handle_)
        handle_ = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    if (handle_) {
        winNotifier_ = std::make_unique<QWinEventNotifier>(static_cast<HANDLE>(handle_));
        connect(winNotifier_.get(), &QWinEventNotifier::activated, this, &DeadlineTimer::fire);
        return;
    }
#endif
    fallback_ = std::make_unique<QTimer>();
    fallback_->setSingleShot(true);
    fallback_->setTimerType(Qt::PreciseTimer);
    connect(fallback_.get(), &QTimer::timeout, this, &DeadlineTimer::fire);
}

DeadlineTimer::~DeadlineTimer() {
    notifier_.reset();
#ifdef __linux__
    if (fd_ >= 0)
        ::close(fd_);
#endif
#ifdef _WIN32
    winNotifier_.reset();
    if (handle_)
        CloseHandle(static_cast<HANDLE>(handle_));
#endif
}

void DeadlineTimer::start(Clock::time_point deadline) {
    deadline_ = deadline;
    active_ = true;
    arm();
}

void DeadlineTimer::stop() {
    active_ = false;
#ifdef __linux__
    if (fd_ >= 0) {
        const itimerspec off{};
        ::timerfd_settime(fd_, 0, &off, nullptr);
        return;
    }
#endif
#ifdef _WIN32
    if (handle_) {
        CancelWaitableTimer(static_cast<HANDLE>(handle_));
        return;
    }
#endif
    fallback_->stop();
}

void DeadlineTimer::arm() {
#ifdef __linux__
    if (fd_ >= 0) {
        armedFor_ = deadline_ - lead_;
        // Only a wake-up for a moment still ahead says how long waking takes.
        learnable_ = armedFor_ > Clock::now();
        // A zero time would disarm the timerfd: one nanosecond is as good as past.
        const auto ns = std::max<std::chrono::nanoseconds::rep>(
            1, std::chrono::duration_cast<std::chrono::nanoseconds>(armedFor_.time_since_epoch())
                   .count());
        itimerspec at{};
        at.it_value.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
        at.it_value.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        ::timerfd_settime(fd_, TFD_TIMER_ABSTIME, &at, nullptr);
        return;
    }
#endif
#ifdef _WIN32
    if (handle_) {
        armedFor_ = deadline_ - lead_;
        const auto now = Clock::now();
        learnable_ = armedFor_ > now;
        // Relative, in units of 100 ns (negative); at least one unit, since zero
        // would not wake at all.
        const auto units = std::max<long long>(
            1, std::chrono::duration_cast<std::chrono::nanoseconds>(armedFor_ - now).count() / 100);
        LARGE_INTEGER due;
        due.QuadPart = -units;
        SetWaitableTimer(static_cast<HANDLE>(handle_), &due, 0, nullptr, nullptr, FALSE);
        return;
    }
#endif
    const auto rest = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now());
    fallback_->start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, rest.count())));
}

void DeadlineTimer::fire() {
    if (!active_)
        return; // stopped after the wake-up was on its way
    auto now = Clock::now();
    if (systemTimer() && learnable_ && now >= armedFor_)
        learnWakeUp(now);
    if (now < deadline_) {
        if (!systemTimer() || deadline_ - now > lead_ + kMinLead) {
            arm(); // restarted for a later moment meanwhile
            return;
        }
        // Woken ahead of the moment, as planned: the rest is shorter than a
        // wake-up would be, so it is waited out here.
        while (now < deadline_) {
            CpuRelax();
            now = Clock::now();
        }
    }
    active_ = false;
    emit timeout();
}

void DeadlineTimer::learnWakeUp(Clock::time_point woke) {
    // A slow moving average: one late wake-up (a busy machine) moves the lead
    // only a little, a machine that wakes slowly all the time moves it fully.
    learnable_ = false;
    const auto seen = std::min<std::chrono::nanoseconds>(woke - armedFor_, 4 * kMaxLead);
    wakeUp_ += (seen - wakeUp_) / 8;
    lead_ = LeadFor(wakeUp_);
}

} // namespace lrf
