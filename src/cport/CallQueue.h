#pragma once

// The queue behind the public hand-over functions (HandOver.h), as the event
// threads and the closing port use it.

#include "HandOver.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#ifdef _WIN32
#include "win32/AddressWait.h"
#endif

namespace cport::detail {

class CallQueue {
public:
    static CallQueue& Instance();

    // Event thread: queues `fn` for the GUI thread, wakes it and blocks until the
    // call has ended; returns what it threw.
    std::exception_ptr RunAndWait(const void* owner, std::function<void()> fn);

    // Event thread: queues `fn` and blocks only until the GUI thread has taken it
    // up; the call runs after that on its own.
    void RunAfterPickUp(const void* owner, std::function<void()> fn);

    std::size_t ProcessAll();
    std::size_t WaitAndProcess(std::chrono::milliseconds timeout);

    // GUI thread: runs queued calls until `finished` becomes true. Whoever sets the
    // flag calls Notify() afterwards.
    void ServeUntil(const std::atomic<bool>& finished);
    void Notify();

    // GUI thread, from inside a running call of `owner`: lets the event thread
    // that is waiting for that call go on now, so that a handler may close its own
    // port.
    void ReleaseRunningCalls(const void* owner);

    void SetHook(WakeUpHook hook);

private:
    // The event thread that posted a call waits on the call's own flag, not on the
    // queue's lock: the GUI thread's release wakes it without either thread taking
    // the lock again.
    struct Call {
        const void* owner = nullptr;
        std::function<void()> fn;
        bool waitForEnd = true;
        std::atomic<int> released{0}; // 1: the waiting event thread may go on
        std::exception_ptr error;     // written before the release, read after it
    };

    std::shared_ptr<Call> post(const void* owner, std::function<void()> fn, bool waitForEnd);
    void runOne(const std::shared_ptr<Call>& call);
    static void release(Call& call);
    static void waitForRelease(Call& call);

    std::mutex mutex_;
#ifdef _WIN32
    // Counts the changes of the queue and of served flags; a waiter reads it before
    // it looks, so that a change after the look ends its wait.
    std::atomic<std::uint32_t> changed_{0};
#else
    std::condition_variable changed_;
#endif
    std::deque<std::shared_ptr<Call>> queue_;
    WakeUpHook hook_;
    std::mutex hookMutex_;
};

} // namespace cport::detail
