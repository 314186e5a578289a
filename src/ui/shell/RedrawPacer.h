#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace lrf {

// Batches redraws of something that changes with every record: at most one
// redraw per interval, however often it is asked for.
//
// During a run a record arrives right after each reply, and the next shot is
// sent some milliseconds later. A redraw asked for once the interval has
// passed therefore runs at once after the handler that asked (a zero timer),
// in the pause before the next shot, instead of at some fixed moment that
// might fall on a shot. When no further request comes, a fallback timer draws
// the last change within two intervals.
class RedrawPacer : public QObject {
public:
    RedrawPacer(int intervalMs, std::function<void()> redraw, QObject* parent = nullptr);

    // Something changed: redraw soon.
    void Request();
    // Redraw now if a request is waiting.
    void Flush();
    bool Pending() const { return pending; }

private:
    void Run();

    const int interval;
    std::function<void()> redraw;
    QTimer soon;     // zero timer: right after the current handler
    QTimer fallback; // when no request comes after the interval
    QElapsedTimer sinceLast;
    bool pending = false;
};

} // namespace lrf
