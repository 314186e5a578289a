#include "DeadlineTimer.h"

#include <QSocketNotifier>
#include <QTimer>

#ifdef __linux__
#include <sys/timerfd.h>
#include <unistd.h>
#endif

#include <algorithm>

namespace lrf {

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
        // A zero time would disarm the timerfd: one nanosecond is as good as past.
        const auto ns = std::max<std::chrono::nanoseconds::rep>(
            1, std::chrono::duration_cast<std::chrono::nanoseconds>(deadline_.time_since_epoch())
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
    if (Clock::now() < deadline_) {
        arm(); // restarted for a later moment meanwhile
        return;
    }
    active_ = false;
    emit timeout();
}

} // namespace lrf
