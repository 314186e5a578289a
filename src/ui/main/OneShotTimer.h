#pragma once

#include <QTimer>

namespace lrf {

// The measurement timers fire once and are re-armed by whatever needs the next
// tick. Switching on a timer that already runs changes nothing (starting it
// again would restart its interval); switching it off and on restarts it.
inline void ConfigureOneShot(QTimer& timer, int intervalMs) {
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(intervalMs);
}

inline void SwitchOn(QTimer& timer) {
    if (!timer.isActive())
        timer.start();
}

inline void SwitchOff(QTimer& timer) {
    timer.stop();
}

} // namespace lrf
