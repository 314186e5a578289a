#pragma once

// Hand-over of serial port events to the program's GUI thread.
//
// A port's event thread never runs the program's handlers itself (unless its
// SyncMethod is smNone). It queues a call in this process-wide queue, calls the
// wake-up hook, and, for smThreadSync, blocks until the GUI thread has run the
// call. The GUI thread runs queued calls with ProcessPendingCalls().
//
// Wiring in a Qt program (once, in main(), after the QApplication exists):
//
//     cport::SetWakeUpHook([] {
//         QMetaObject::invokeMethod(qApp, [] { cport::ProcessPendingCalls(); },
//                                   Qt::QueuedConnection);
//     });
//
// The hook runs on an event thread: it must only queue work for the GUI thread,
// never run handlers or block. A program without an event loop can run
// WaitForPendingCalls() in its main loop instead of installing a hook.
//
// Closing a port (TCustomComPort::ClosePort) keeps running queued calls while it
// waits for the port's event thread, so a hand-over that is pending at close runs
// during the close and cannot deadlock.

#include <chrono>
#include <cstddef>
#include <functional>

namespace cport {

using WakeUpHook = std::function<void()>;

// Installs the hook that wakes the GUI thread; an empty hook removes it. Calls that
// are already queued are announced to the new hook at once. Once this returns, the
// previous hook is no longer running and will not be called again.
void SetWakeUpHook(WakeUpHook hook);

// Runs every queued call, oldest first, on the calling thread (the GUI thread),
// including calls queued while it runs. Returns how many ran. Exceptions thrown by
// a call end that call only; they never leave this function.
std::size_t ProcessPendingCalls();

// Waits up to `timeout` for a call to be queued, then runs all queued calls.
// Returns how many ran (0 after a timeout).
std::size_t WaitForPendingCalls(std::chrono::milliseconds timeout);

} // namespace cport
