#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace lrf {

// Ends the program in order on SIGTERM, SIGINT and SIGHUP (a logout, a
// shutdown, Ctrl+C, a service manager): the signal handler only writes the
// signal's number into a pipe, and the event loop, watching that pipe, calls
// onSignal on this object's thread. A second signal of the same kind ends
// the program at once, as if nothing watched it. One instance at a time;
// without POSIX signals it does nothing.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    ~QuitSignals() override;

    // False when the pipe or the handlers could not be set up.
    bool IsWatching() const { return notifier != nullptr; }

private:
    void ReadSignals();

    std::function<void(int)> onSignal;
    QSocketNotifier* notifier = nullptr;
};

} // namespace lrf
