#pragma once

#include <QObject>

#include <chrono>
#include <memory>

class QSocketNotifier;
class QTimer;

namespace lrf {

// A one-shot timer that fires at a moment of the monotonic clock rather than
// after a number of milliseconds. Either way it never fires early.
//
// On Linux a timerfd wakes the event loop a little ahead of the moment, by
// what waking up has been taking on this machine (an idle core of a virtual
// machine can take a hundred microseconds and more), and the rest is waited
// out on the clock, so that the timer fires within microseconds of its moment.
// Elsewhere (Windows) a precise QTimer fires at the first whole millisecond
// after it, and fires again later if the system woke it early. (A waitable
// high-resolution timer watched through QWinEventNotifier lost a wake-up under
// Wine within a few hundred shots; Qt's own timer did not.)
class DeadlineTimer : public QObject {
    Q_OBJECT

public:
    using Clock = std::chrono::steady_clock;

    explicit DeadlineTimer(QObject* parent = nullptr);
    ~DeadlineTimer() override;

    // Starts, or restarts, for `deadline`; a moment already past fires at once.
    void start(Clock::time_point deadline);
    void stop();
    bool isActive() const { return active_; }
    Clock::time_point deadline() const { return deadline_; }

    // How far ahead of its moment the timer now wakes the event loop.
    std::chrono::nanoseconds wakeLead() const { return lead_; }

    // The wake-up lead for an estimated wake-up time: half as much again,
    // within bounds, so that most wake-ups land before the moment while the
    // wait on the clock stays short.
    static std::chrono::nanoseconds LeadFor(std::chrono::nanoseconds wakeUp);

signals:
    void timeout();

private:
    void arm();
    void fire();
    void learnWakeUp(Clock::time_point woke);

    bool active_ = false;
    Clock::time_point deadline_{};
    Clock::time_point armedFor_{}; // when the timerfd was set to wake the loop
    bool learnable_ = false;
    std::chrono::nanoseconds wakeUp_{std::chrono::microseconds(60)}; // running estimate
    std::chrono::nanoseconds lead_ = LeadFor(wakeUp_);
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<QTimer> fallback_;
};

} // namespace lrf
