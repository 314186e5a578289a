#include "Win32Backend.h"

#include "ComErrors.h"
#include "Win32Mapping.h"

#include <algorithm>
#include <memory>

namespace cport {

std::unique_ptr<ComBackend> CreateComBackend() {
    return std::make_unique<win32::Win32Backend>();
}

namespace win32 {

namespace {

OsError lastError() {
    DWORD err = GetLastError();
    return static_cast<OsError>(err ? err : ERROR_GEN_FAILURE);
}

// Errors with which a wait ends when the device itself has gone (a USB adapter
// pulled out, a driver that stopped); waiting again could only fail again.
bool isDeviceGone(DWORD err) {
    switch (err) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_INVALID_HANDLE:
    case ERROR_FILE_NOT_FOUND:
        return true;
    default:
        return false;
    }
}

// One blocking read or write: a zeroed overlapped block whose completion event is
// a manual-reset event created signalled, so that a request that never reached the
// device completes at once with 0 bytes. Released with the operation.
struct TIoRequest {
    OVERLAPPED overlapped{};

    TIoRequest() { overlapped.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr); }
    ~TIoRequest() {
        if (overlapped.hEvent)
            CloseHandle(overlapped.hEvent);
    }
    TIoRequest(const TIoRequest&) = delete;
    TIoRequest& operator=(const TIoRequest&) = delete;
};

} // namespace

Win32Backend::~Win32Backend() {
    Close();
}

OsError Win32Backend::Open(const std::string& port) {
    if (handle_ != INVALID_HANDLE_VALUE)
        return ERROR_BUSY;
    // An empty name would address the device namespace itself, and an embedded
    // null would silently open a different, shorter name.
    if (port.empty() || port.find('\0') != std::string::npos)
        return ERROR_INVALID_NAME;
    const std::string device = "\\\\.\\" + port;
    HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return lastError();
    handle_ = h;
    return 0;
}

void Win32Backend::Close() {
    if (handle_ == INVALID_HANDLE_VALUE)
        return;
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

OsError Win32Backend::SetQueueSizes(std::uint32_t inputSize, std::uint32_t outputSize) {
    if (!IsOpen())
        return ERROR_INVALID_HANDLE;
    return SetupComm(handle_, inputSize, outputSize) ? 0 : lastError();
}

OsError Win32Backend::SetLineSettings(const LineSettings& settings) {
    if (!IsOpen())
        return ERROR_INVALID_HANDLE;
    DCB dcb = MakeDcb(settings);
    return SetCommState(handle_, &dcb) ? 0 : lastError();
}

OsError Win32Backend::SetTimeouts(const TimeoutSettings& timeouts) {
    if (!IsOpen())
        return ERROR_INVALID_HANDLE;
    COMMTIMEOUTS ct = MakeCommTimeouts(timeouts);
    return SetCommTimeouts(handle_, &ct) ? 0 : lastError();
}

OsError Win32Backend::transfer(IoKind kind, void* data, std::size_t count, std::size_t& done) {
    done = 0;
    if (!IsOpen())
        return ERROR_INVALID_HANDLE;
    TIoRequest request;
    if (!request.overlapped.hEvent)
        return lastError();
    const DWORD n = static_cast<DWORD>(std::min<std::size_t>(count, MAXDWORD));
    const BOOL started = kind == IoKind::Write
                             ? WriteFile(handle_, data, n, nullptr, &request.overlapped)
                             : ReadFile(handle_, data, n, nullptr, &request.overlapped);
    if (!started && GetLastError() != ERROR_IO_PENDING)
        return lastError();
    DWORD transferred = 0;
    if (WaitForSingleObject(request.overlapped.hEvent, INFINITE) != WAIT_OBJECT_0) {
        const OsError err = lastError();
        abandon(request.overlapped);
        return err;
    }
    if (!GetOverlappedResult(handle_, &request.overlapped, &transferred, FALSE)) {
        const OsError err = lastError();
        if (err == ERROR_IO_INCOMPLETE)
            abandon(request.overlapped);
        return err;
    }
    done = transferred;
    return 0;
}

// The request's block lives on the stack of the operation: a transfer that is given
// up must be cancelled and over before the block goes away, or the device would write
// into released memory.
void Win32Backend::abandon(OVERLAPPED& overlapped) {
    CancelIoEx(handle_, &overlapped);
    DWORD ignored = 0;
    GetOverlappedResult(handle_, &overlapped, &ignored, TRUE);
}

OsError Win32Backend::Write(const void* data, std::size_t count, std::size_t& done) {
    return transfer(IoKind::Write, const_cast<void*>(data), count, done);
}

OsError Win32Backend::Read(void* data, std::size_t count, std::size_t& done) {
    return transfer(IoKind::Read, data, count, done);
}

OsError Win32Backend::Purge(unsigned flags) {
    if (!IsOpen())
        return ERROR_INVALID_HANDLE;
    return PurgeComm(handle_, flags) ? 0 : lastError();
}

OsError Win32Backend::ClearErrors(QueueStatus& status) {
    if (!IsOpen())
        return ERROR_INVALID_HANDLE;
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(handle_, &errors, &stat))
        return lastError();
    status.InQueue = stat.cbInQue;
    status.Errors = CommErrorsToSet(errors);
    return 0;
}

OsError Win32Backend::GetModemLines(ModemLines& lines) {
    if (!IsOpen())
        return ERROR_INVALID_HANDLE;
    DWORD status = 0;
    if (!GetCommModemStatus(handle_, &status))
        return lastError();
    lines = ModemStatusToLines(status);
    return 0;
}

// --- event wait (event thread) ----------------------------------------------------

OsError Win32Backend::PrepareEventWait(TComEvents events) {
    if (!IsOpen())
        return ERROR_INVALID_HANDLE;
    std::lock_guard lock(stopMutex_);
    if (stopSignal_)
        return ERROR_BUSY;
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!stop)
        return lastError();
    HANDLE wait = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (!wait) {
        OsError err = lastError();
        CloseHandle(stop);
        return err;
    }
    stopSignal_ = stop;
    waitEvent_ = wait;
    waitPending_ = false;
    emptyWaitsInARow_ = 0;
    lastWaitError_ = 0;
    // A mask the device refuses shows up as a failing WaitCommEvent, reported there.
    SetCommMask(handle_, EventsToMask(events));
    return 0;
}

WaitOutcome Win32Backend::WaitForEvents(TComEvents& events) {
    events = TComEvents{};
    for (;;) {
        BOOL ok = FALSE;
        DWORD err = 0;
        if (!waitPending_) {
            waitOverlapped_ = OVERLAPPED{};
            waitOverlapped_.hEvent = waitEvent_;
            waitMask_ = 0;
            ResetEvent(waitEvent_);
            ok = WaitCommEvent(handle_, &waitMask_, &waitOverlapped_);
            if (!ok) {
                err = GetLastError();
                if (err != ERROR_IO_PENDING) {
                    // Refused at once: nothing will ever signal the event, and
                    // trying again would only fail again. Report it and stop.
                    lastWaitError_ = err;
                    return isDeviceGone(err) ? WaitOutcome::DeviceLost : WaitOutcome::Failed;
                }
                waitPending_ = true;
            }
        }
        if (waitPending_) {
            HANDLE handles[2] = {stopSignal_, waitEvent_};
            const DWORD r = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
            if (r == WAIT_OBJECT_0)
                return WaitOutcome::Stopped; // FinishEventWait ends the pending wait
            if (r != WAIT_OBJECT_0 + 1) {
                lastWaitError_ = GetLastError();
                return WaitOutcome::Failed;
            }
            DWORD ignored = 0;
            ok = GetOverlappedResult(handle_, &waitOverlapped_, &ignored, FALSE);
            err = ok ? 0 : GetLastError();
            if (!ok && err == ERROR_IO_INCOMPLETE) {
                // The event is set only once the wait has ended, yet the block still
                // reads pending: the end was lost. Wine's serial driver does this on
                // a busy machine: its poller ends the wait and signals, then the
                // thread that armed the wait writes "pending" over the result on its
                // way back. Nothing would signal again, so the wait is taken as over
                // with the events the driver wrote; the next wait sees bytes that
                // are already waiting.
                ok = TRUE;
                err = 0;
            }
            waitPending_ = false;
        } else if (WaitForSingleObject(stopSignal_, 0) == WAIT_OBJECT_0) {
            return WaitOutcome::Stopped; // completed at once, but the stop signal wins
        }

        if (ok) {
            events = MaskToEvents(waitMask_);
            if (!events.Empty()) {
                emptyWaitsInARow_ = 0;
                return WaitOutcome::Events;
            }
        } else {
            lastWaitError_ = err;
            if (err != ERROR_OPERATION_ABORTED && isDeviceGone(err))
                return WaitOutcome::DeviceLost;
        }
        // Aborted (a purge or a mask change from another thread), another failure
        // or an empty mask: nothing to hand over, wait again.
        if (!pauseBeforeRearm())
            return WaitOutcome::Stopped;
    }
}

// A wait that ends without events is re-armed at once the first time. If that keeps
// happening back to back (a driver that aborts every wait), the thread pauses on the
// stop signal before each new wait, 10 ms at first and up to one second, so that it
// never spins. Returns false when the stop signal came during the pause.
bool Win32Backend::pauseBeforeRearm() {
    const unsigned n = emptyWaitsInARow_++;
    if (n == 0)
        return WaitForSingleObject(stopSignal_, 0) != WAIT_OBJECT_0;
    const DWORD pause = std::min<DWORD>(1000, 10u << std::min(n - 1, 7u));
    return WaitForSingleObject(stopSignal_, pause) != WAIT_OBJECT_0;
}

void Win32Backend::StopEventWait() {
    std::lock_guard lock(stopMutex_);
    if (stopSignal_)
        SetEvent(stopSignal_);
}

// Clearing the mask ends a wait still pending at the device. It then completes
// either with a failure (aborted) or with success and an empty mask; both mean it is
// over. Only then may its overlapped block and mask be reused or dropped.
void Win32Backend::endPendingWait() {
    if (!waitPending_)
        return;
    if (WaitForSingleObject(waitEvent_, 1000) != WAIT_OBJECT_0) {
        CancelIoEx(handle_, &waitOverlapped_);
        WaitForSingleObject(waitEvent_, 1000);
    }
    DWORD ignored = 0;
    GetOverlappedResult(handle_, &waitOverlapped_, &ignored, FALSE);
    waitPending_ = false;
}

void Win32Backend::FinishEventWait() {
    if (IsOpen()) {
        SetCommMask(handle_, 0);
        endPendingWait();
        PurgeComm(handle_, PURGE_TXCLEAR | PURGE_RXCLEAR);
    }
    if (waitEvent_) {
        CloseHandle(waitEvent_);
        waitEvent_ = nullptr;
    }
    std::lock_guard lock(stopMutex_);
    if (stopSignal_) {
        CloseHandle(stopSignal_);
        stopSignal_ = nullptr;
    }
}

} // namespace win32

bool IsDeviceGone(const EComPort& error) {
    return error.OsErrorCode() > 0 && win32::isDeviceGone(static_cast<DWORD>(error.OsErrorCode()));
}

} // namespace cport
