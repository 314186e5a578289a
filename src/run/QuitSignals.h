#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace lrf {

// Ends the program in order on SIGTERM, SIGINT and SIGHUP (a logout, a
// shutdown, Ctrl+C, a service manager): the signal handler only writes the
// signal's number into a pipe, and the event loop, watching that pipe, calls
// onSignal on this object's thread. A second signal of the same kind ends
// the program at once, as if nothing watched it. One instance at a time.
//
// On Windows the console's control events take their place: Ctrl+C and
// Ctrl+Break come as SIGINT, the closing of the console, a logoff and a
// shutdown as SIGTERM. For those three the system ends the process as soon as
// the handler returns, so the handler waits (up to the system's five seconds)
// until this object is destroyed, which the program does once its records are
// written. The window program's end of session comes through Qt instead
// (QGuiApplication's commitDataRequest and aboutToQuit).
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    ~QuitSignals() override;

    // False when the pipe or the handlers could not be set up.
    bool IsWatching() const { return watching; }

    // Hands a signal to onSignal as if it had come (on this object's thread).
    void Deliver(int signal);

private:
    void ReadSignals();

    std::function<void(int)> onSignal;
    QSocketNotifier* notifier = nullptr;
    bool watching = false;
};

} // namespace lrf
