#include "RedrawPacer.h"

namespace lrf {

RedrawPacer::RedrawPacer(int intervalMs, std::function<void()> redraw, QObject* parent)
    : QObject(parent)
    , interval(intervalMs)
    , redraw(std::move(redraw)) {
    soon.setSingleShot(true);
    soon.setInterval(0);
    fallback.setSingleShot(true);
    connect(&soon, &QTimer::timeout, this, &RedrawPacer::Run);
    connect(&fallback, &QTimer::timeout, this, &RedrawPacer::Run);
}

void RedrawPacer::Request() {
    pending = true;
    if (soon.isActive())
        return;
    const qint64 since = sinceLast.isValid() ? sinceLast.elapsed() : interval;
    if (since >= interval) {
        fallback.stop();
        soon.start();
    } else if (!fallback.isActive()) {
        fallback.start(static_cast<int>(2 * interval - since));
    }
}

void RedrawPacer::Flush() {
    if (pending)
        Run();
}

void RedrawPacer::Run() {
    soon.stop();
    fallback.stop();
    pending = false;
    sinceLast.start();
    redraw();
}

} // namespace lrf
