#pragma once

// Where the simulated rangefinder meets the program: a pseudo-terminal (Linux,
// reachable by any program) or an in-process line of the serial component
// (every platform, reachable by this process only). The simulator's thread
// calls everything here except RequestStop and the line state, which any
// thread may call.

#include "RangefinderSimulator.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace lrf::sim {

class SimTransport {
public:
    virtual ~SimTransport() = default;

    // Creates the device; its name or path for the program to open. Throws
    // std::system_error.
    virtual std::string Open() = 0;
    // Waits for command bytes; 0 when stopping or when the device is gone.
    virtual std::size_t Receive(std::uint8_t* buffer, std::size_t size) = 0;
    // Writes all of the bytes; false when stopping or when the device is gone.
    virtual bool Send(const std::uint8_t* data, std::size_t size) = 0;
    // Waits until `due`; false when stopping.
    virtual bool WaitUntil(std::chrono::steady_clock::time_point due) = 0;
    virtual void RequestStop() = 0;
    // The device vanishes under the program.
    virtual void HangUp() = 0;
    // Releases the device; after the simulator's thread has ended.
    virtual void Close() = 0;
    // How the program has set the line. Throws std::system_error.
    virtual SimLineState LineState() const = 0;
    // Waits of single character times are exact enough to pace byte by byte.
    virtual bool PacesEachByte() const { return true; }
};

std::unique_ptr<SimTransport> MakePseudoTerminalTransport(); // nullptr where there is none
std::unique_ptr<SimTransport> MakeInProcessTransport();

} // namespace lrf::sim
