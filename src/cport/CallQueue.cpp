#include "CallQueue.h"

namespace cport {

void SetWakeUpHook(WakeUpHook hook) {
    detail::CallQueue::Instance().SetHook(std::move(hook));
}

std::size_t ProcessPendingCalls() {
    return detail::CallQueue::Instance().ProcessAll();
}

std::size_t WaitForPendingCalls(std::chrono::milliseconds timeout) {
    return detail::CallQueue::Instance().WaitAndProcess(timeout);
}

namespace detail {

namespace {
// The calls the current thread is running, innermost last (calls may nest when a
// handler runs a nested event loop).
thread_local std::vector<const void*> tRunningOwners;
thread_local std::vector<void*> tRunningCalls;
} // namespace

CallQueue& CallQueue::Instance() {
    // Never destroyed: a port that is still open at exit closes itself from a
    // static destructor and needs the queue then.
    static CallQueue* queue = new CallQueue;
    return *queue;
}

void CallQueue::SetHook(WakeUpHook hook) {
    bool pending = false;
    {
        std::lock_guard lock(hookMutex_);
        hook_ = std::move(hook);
    }
    {
        std::lock_guard lock(mutex_);
        pending = !queue_.empty();
    }
    if (pending) {
        std::lock_guard lock(hookMutex_);
        if (hook_)
            hook_();
    }
}

std::shared_ptr<CallQueue::Call> CallQueue::post(const void* owner, std::function<void()> fn,
                                                 bool waitForEnd) {
    auto call = std::make_shared<Call>();
    call->owner = owner;
    call->fn = std::move(fn);
    call->waitForEnd = waitForEnd;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(call);
    }
#ifdef _WIN32
    changed_.fetch_add(1, std::memory_order_release);
    win32::WakeAllWaiting(changed_);
#else
    changed_.notify_all();
#endif
    std::lock_guard lock(hookMutex_);
    if (hook_)
        hook_();
    return call;
}

std::exception_ptr CallQueue::RunAndWait(const void* owner, std::function<void()> fn) {
    auto call = post(owner, std::move(fn), true);
    waitForRelease(*call);
    return call->error;
}

void CallQueue::RunAfterPickUp(const void* owner, std::function<void()> fn) {
    auto call = post(owner, std::move(fn), false);
    waitForRelease(*call);
}

void CallQueue::waitForRelease(Call& call) {
    while (call.released.load(std::memory_order_acquire) == 0) {
#ifdef _WIN32
        win32::WaitWhileEquals(call.released, 0);
#else
        call.released.wait(0, std::memory_order_acquire);
#endif
    }
}

// The caller keeps the call alive until this returns.
void CallQueue::release(Call& call) {
    call.released.store(1, std::memory_order_release);
#ifdef _WIN32
    win32::WakeAllWaiting(call.released);
#else
    call.released.notify_one();
#endif
}

void CallQueue::runOne(const std::shared_ptr<Call>& call) {
    if (!call->waitForEnd)
        release(*call);
    tRunningOwners.push_back(call->owner);
    tRunningCalls.push_back(call.get());
    std::exception_ptr error;
    try {
        call->fn();
    } catch (...) {
        error = std::current_exception();
    }
    tRunningOwners.pop_back();
    tRunningCalls.pop_back();
    // A call released early (its handler closed the port, or nobody waits for its
    // end) has a waiter that may be gone: it reads no error.
    if (call->released.load(std::memory_order_relaxed) != 0)
        return;
    call->error = error;
    release(*call);
}

std::size_t CallQueue::ProcessAll() {
    std::size_t count = 0;
    for (;;) {
        std::shared_ptr<Call> call;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty())
                return count;
            call = std::move(queue_.front());
            queue_.pop_front();
        }
        runOne(call);
        ++count;
    }
}

#ifdef _WIN32

std::size_t CallQueue::WaitAndProcess(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const std::uint32_t seen = changed_.load(std::memory_order_acquire);
        {
            std::lock_guard lock(mutex_);
            if (!queue_.empty())
                break;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !win32::WaitWhileEquals(changed_, seen, left))
            return 0;
    }
    return ProcessAll();
}

void CallQueue::ServeUntil(const std::atomic<bool>& finished) {
    for (;;) {
        std::shared_ptr<Call> call;
        const std::uint32_t seen = changed_.load(std::memory_order_acquire);
        {
            std::lock_guard lock(mutex_);
            if (!queue_.empty()) {
                call = std::move(queue_.front());
                queue_.pop_front();
            } else if (finished.load()) {
                return; // finished, and nothing left that the thread could wait for
            }
        }
        if (call)
            runOne(call);
        else
            win32::WaitWhileEquals(changed_, seen);
    }
}

void CallQueue::Notify() {
    changed_.fetch_add(1, std::memory_order_release);
    win32::WakeAllWaiting(changed_);
}

#else

std::size_t CallQueue::WaitAndProcess(std::chrono::milliseconds timeout) {
    {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, timeout, [&] { return !queue_.empty(); }))
            return 0;
    }
    return ProcessAll();
}

void CallQueue::ServeUntil(const std::atomic<bool>& finished) {
    for (;;) {
        std::shared_ptr<Call> call;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return finished.load() || !queue_.empty(); });
            if (queue_.empty())
                return; // finished, and nothing left that the thread could wait for
            call = std::move(queue_.front());
            queue_.pop_front();
        }
        runOne(call);
    }
}

void CallQueue::Notify() {
    { std::lock_guard lock(mutex_); }
    changed_.notify_all();
}

#endif

void CallQueue::ReleaseRunningCalls(const void* owner) {
    for (std::size_t i = 0; i < tRunningOwners.size(); ++i) {
        if (tRunningOwners[i] == owner)
            release(*static_cast<Call*>(tRunningCalls[i]));
    }
}

} // namespace detail
} // namespace cport
