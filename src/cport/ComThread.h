#pragma once

// The event thread of an open port: waits in the kernel for device events and
// hands each batch to the GUI thread by the port's SyncMethod.

#include "ComTypes.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace cport {

class ComBackend;
class TCustomComPort;

class TComThread {
public:
    // Selects the port's events on the device and starts the thread. Throws
    // EComPort (code 1) when the device cannot be watched.
    TComThread(TCustomComPort& port, ComBackend& backend);
    // Stops the thread and waits for its end, running queued hand-overs meanwhile.
    ~TComThread();
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

private:
    void Execute();
    void HandOver(TComEvents events, TBatchSeen seen);
    void HandOverDeviceLost();

    TCustomComPort& port_;
    ComBackend& backend_;
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

} // namespace cport
