#include "QuitSignals.h"

#include <QSocketNotifier>

#ifdef _WIN32
#include <QMetaObject>

#include <csignal>
#include <mutex>
#include <windows.h>
#else
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace lrf {

#ifndef _WIN32
namespace {

constexpr std::array<int, 3> kQuitSignals{SIGTERM, SIGINT, SIGHUP};
int pipeEnds[2] = {-1, -1};
struct sigaction previous[kQuitSignals.size()];

// Only async-signal-safe calls: one write, errno kept for the interrupted code.
extern "C" void OnQuitSignal(int signal) {
    const int savedErrno = errno;
    const auto number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = write(pipeEnds[1], &number, 1);
    errno = savedErrno;
}

} // namespace
#else
namespace {

std::mutex instanceMutex;
QuitSignals* instance = nullptr;
HANDLE finished = nullptr; // set when the watching object goes
int interrupts = 0;

// Runs on a thread the system starts for the event.
BOOL WINAPI OnConsoleControl(DWORD type) {
    const bool ending =
        type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT;
    if (!ending && type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE;
    HANDLE wait = nullptr;
    {
        std::lock_guard lock(instanceMutex);
        if (!instance || (!ending && ++interrupts > 1))
            return FALSE; // the system's default: the process ends at once
        const int signal = ending ? SIGTERM : SIGINT;
        QuitSignals* target = instance;
        QMetaObject::invokeMethod(
            target, [target, signal] { target->Deliver(signal); }, Qt::QueuedConnection);
        wait = finished;
    }
    if (ending && wait)
        WaitForSingleObject(wait, 4500);
    return TRUE;
}

} // namespace
#endif

QuitSignals::QuitSignals(std::function<void(int)> callback, QObject* parent)
    : QObject(parent)
    , onSignal(std::move(callback)) {
#ifndef _WIN32
    if (pipeEnds[0] >= 0 || pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted calls of other threads go on; a second signal is not caught.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (std::size_t i = 0; i < kQuitSignals.size(); ++i)
        sigaction(kQuitSignals[i], &action, &previous[i]);
    notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &QuitSignals::ReadSignals);
    watching = true;
#else
    std::lock_guard lock(instanceMutex);
    if (instance)
        return;
    if (!finished)
        finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!finished || !ResetEvent(finished) || !SetConsoleCtrlHandler(OnConsoleControl, TRUE))
        return;
    instance = this;
    interrupts = 0;
    watching = true;
#endif
}

QuitSignals::~QuitSignals() {
#ifndef _WIN32
    if (!notifier)
        return;
    for (std::size_t i = 0; i < kQuitSignals.size(); ++i)
        sigaction(kQuitSignals[i], &previous[i], nullptr);
    delete notifier;
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
#else
    std::lock_guard lock(instanceMutex);
    if (instance != this)
        return;
    instance = nullptr;
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    SetEvent(finished); // a waiting handler lets the system end the process
#endif
}

void QuitSignals::Deliver(int signal) {
    if (onSignal)
        onSignal(signal);
}

void QuitSignals::ReadSignals() {
#ifndef _WIN32
    unsigned char number = 0;
    while (read(pipeEnds[0], &number, 1) == 1)
        Deliver(number);
#endif
}

} // namespace lrf
