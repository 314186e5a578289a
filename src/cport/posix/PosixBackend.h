#pragma once

// The serial device backend for Linux and other POSIX systems: termios in raw
// mode, exclusive use through flock and TIOCEXCL, and an edge-triggered kernel
// wait for received bytes so that bytes left unread never make the wait spin.

#include "../ComBackend.h"

#include <linux/serial.h>
#include <mutex>

namespace cport::posix {

class PosixBackend final : public ComBackend {
public:
    PosixBackend() = default;
    ~PosixBackend() override;
    PosixBackend(const PosixBackend&) = delete;
    PosixBackend& operator=(const PosixBackend&) = delete;

    OsError Open(const std::string& port) override;
    void Close() override;
    bool IsOpen() const override { return fd_ >= 0; }

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
    bool CountWaiting(std::uint32_t& count) override;

private:
    OsError applyModemOutputs(const LineSettings& settings);
    bool lineErrorsPending();
    TComErrors takeLineErrors();

    int fd_ = -1;
    TimeoutSettings timeouts_;

    // Line-error counters of the driver, where it keeps them. The owner's thread
    // takes the errors, the event thread only looks whether new ones are there.
    std::mutex countersMutex_;
    bool haveCounters_ = false;
    serial_icounter_struct counters_{};

    // Event wait: one epoll set holding the device (edge-triggered) and the stop
    // eventfd (level-triggered).
    std::mutex stopMutex_;
    int stopFd_ = -1;
    int epollFd_ = -1;
    TComEvents watched_;
};

} // namespace cport::posix
