#pragma once

#include <QObject>

#include <chrono>
#include <memory>

class QSocketNotifier;
class QTimer;

namespace lrf {

// A one-shot timer that fires at a moment of the monotonic clock rather than
// after a number of milliseconds. On Linux a timerfd wakes the event loop at
// that moment, to a few microseconds; elsewhere a precise QTimer fires at the
// first whole millisecond after it. Either way it never fires early.
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

signals:
    void timeout();

private:
    void arm();
    void fire();

    bool active_ = false;
    Clock::time_point deadline_{};
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<QTimer> fallback_;
};

} // namespace lrf
