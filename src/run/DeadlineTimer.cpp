#include "DeadlineTimer.h"

#include <QSocketNotifier>
#include <QTimer>

#ifdef __linux__
#include <sys/timerfd.h>
#include <unistd.h>
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
    const auto rest = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now());
    fallback_->start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, rest.count())));
}

void DeadlineTimer::fire() {
    if (!active_)
        return; // stopped after the wake-up was on its way
    auto now = Clock::now();
    if (fd_ >= 0 && learnable_ && now >= armedFor_)
        learnWakeUp(now);
    if (now < deadline_) {
        if (fd_ < 0 || deadline_ - now > lead_ + kMinLead) {
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
