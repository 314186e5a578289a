#pragma once

// An in-process serial line: a device that a program opens by name like any port,
// whose far end is code in the same process (the simulated rangefinder). It serves
// where no pseudo-terminal exists (Windows) and wherever a test wants a port
// without the operating system. The port side is a ComBackend, so the component's
// settings, reads, writes, event thread and hand-over run exactly as on a device.

#include "ComBackend.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace cport {

class SimulatedLink {
public:
    // A new line under a name of its own ("SIM1", "SIM2", ...), listed until it is
    // destroyed.
    static std::shared_ptr<SimulatedLink> Create();
    // The line of that name, if one lives.
    static std::shared_ptr<SimulatedLink> Find(const std::string& name);
    ~SimulatedLink();
    SimulatedLink(const SimulatedLink&) = delete;
    SimulatedLink& operator=(const SimulatedLink&) = delete;

    const std::string& Name() const { return name_; }

    // --- the far end (the simulated instrument) ---------------------------------
    // Waits for bytes the program wrote; 0 when StopFarEnd was called.
    std::size_t Receive(std::uint8_t* buffer, std::size_t size);
    // Hands bytes to the program: they wait in its input queue and wake its event
    // thread. Dropped while no program has the port open, as a line would.
    void Send(const std::uint8_t* data, std::size_t size);
    // Waits until `due` or until StopFarEnd; false when stopped.
    bool WaitUntil(std::chrono::steady_clock::time_point due);
    // Wakes and ends every wait of the far end.
    void StopFarEnd();
    // The device vanishes: the program's event thread sees the loss, and the name
    // cannot be opened again.
    void HangUp();
    // The settings the program has put on the line (0 bits per second before).
    LineSettings Line() const;

private:
    explicit SimulatedLink(std::string name);
    friend class SimulatedLinkBackend;

    const std::string name_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::uint8_t> toDevice_; // written by the program
    std::deque<std::uint8_t> toHost_;   // sent by the far end, not yet read
    std::uint64_t arrivals_ = 0;        // batches sent to the program so far
    LineSettings line_{};
    bool lineSet_ = false;
    bool portOpen_ = false;
    bool farStop_ = false;
    bool hungUp_ = false;
    bool waitStop_ = false;
    TComEvents watched_;
};

// The backend for a port name: the in-process line of that name, else the
// platform's device.
std::unique_ptr<ComBackend> CreateComBackendFor(const std::string& port);

} // namespace cport
