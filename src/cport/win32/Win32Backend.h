#pragma once

// The serial device backend for Windows: the device opened overlapped for exclusive
// use, one overlapped request per blocking read or write, and an overlapped
// WaitCommEvent on the event thread, woken together with a stop signal.

#include "../ComBackend.h"

#include "WindowsApi.h"

#include <mutex>

namespace cport::win32 {

class Win32Backend final : public ComBackend {
public:
    Win32Backend() = default;
    ~Win32Backend() override;
    Win32Backend(const Win32Backend&) = delete;
    Win32Backend& operator=(const Win32Backend&) = delete;

    OsError Open(const std::string& port) override;
    void Close() override;
    bool IsOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }

    OsError SetQueueSizes(std::uint32_t inputSize, std::uint32_t outputSize) override;
    OsError SetLineSettings(const LineSettings& settings) override;
    OsError SetTimeouts(const TimeoutSettings& timeouts) override;

    OsError Write(const void* data, std::size_t count, std::size_t& done) override;
    OsError Read(void* data, std::size_t count, std::size_t& done) override;

    OsError Purge(unsigned flags) override;
    OsError ClearErrors(QueueStatus& status) override;
    OsError GetModemLines(ModemLines& lines) override;

    OsError PrepareEventWait(TComEvents events) override;
    WaitOutcome WaitForEvents(TComEvents& events) override;
    void StopEventWait() override;
    void FinishEventWait() override;

    // The device handle while open, for checks of the device state.
    HANDLE Handle() const { return handle_; }

    // The error of the last wait that could not be started or completed, 0 if none;
    // for diagnostics after WaitForEvents gave Failed or DeviceLost.
    DWORD LastWaitError() const { return lastWaitError_; }

private:
    enum class IoKind { Write, Read };
    OsError transfer(IoKind kind, void* data, std::size_t count, std::size_t& done);
    void abandon(OVERLAPPED& overlapped);
    bool pauseBeforeRearm();
    void endPendingWait();

    HANDLE handle_ = INVALID_HANDLE_VALUE;

    // Set by any thread to end the wait; created and closed around the event thread.
    std::mutex stopMutex_;
    HANDLE stopSignal_ = nullptr;

    // Event thread only, between PrepareEventWait and FinishEventWait.
    HANDLE waitEvent_ = nullptr;
    OVERLAPPED waitOverlapped_{};
    DWORD waitMask_ = 0;
    bool waitPending_ = false;
    unsigned emptyWaitsInARow_ = 0;
    DWORD lastWaitError_ = 0;
};

} // namespace cport::win32
