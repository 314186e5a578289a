#pragma once

// The one seam between the serial port component and the operating system.
//
// TCustomComPort drives a ComBackend; each platform supplies one implementation
// (posix/ on Linux, win32/ on Windows) and the factory CreateComBackend(). The component
// turns every failure reported here into an EComPort with its numbered text, so a
// backend never throws: each operation returns the operating system's error number
// (errno on POSIX, GetLastError() on Windows), 0 meaning success.
//
// Threads. Everything except the event-wait group is called by the thread that
// owns the port (the GUI thread). Of the event-wait group, WaitForEvents and
// FinishEventWait run on the port's event thread, StopEventWait may be called from
// any thread. The owner may read, write and query the device while the event
// thread is blocked in WaitForEvents; the backend keeps those two paths apart.

#include "ComTypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace cport {

using OsError = int;

// The complete line settings; the component always pushes the whole group.
struct LineSettings {
    std::uint32_t BaudRate = 9600; // bits per second, already resolved from TBaudRate
    std::uint8_t DataBits = 8;     // 5 to 8
    TParityBits Parity = prNone;
    TStopBits StopBits = sbOneStopBit;
    bool ParityCheck = false;  // the device checks parity of received bytes
    bool ErrorReplace = false; // bytes with parity errors become ReplaceChar
    char ReplaceChar = 0;
    bool OutCTSFlow = false;
    bool OutDSRFlow = false;
    TDTRFlowControl ControlDTR = dtrDisable;
    TRTSFlowControl ControlRTS = rtsDisable;
    bool XonXoffOut = false;
    bool XonXoffIn = false;
    bool DSRSensitivity = false;
    bool TxContinueOnXoff = false;
    char XonChar = 17;
    char XoffChar = 19;
    std::uint16_t XonLim = 256;
    std::uint16_t XoffLim = 256;
    bool DiscardNull = false;
    char EventChar = 0;

    bool operator==(const LineSettings&) const = default;
};

// Milliseconds, with the meaning of the classic serial timeout block:
// ReadInterval all-ones with both read totals 0 makes a read return at once with
// what is waiting; both write values 0 means a write has no time limit, otherwise
// a write of n bytes may take WriteTotalMultiplier * n + WriteTotalConstant ms and
// then ends with the bytes written so far.
struct TimeoutSettings {
    std::uint32_t ReadInterval = 0xFFFFFFFFu;
    std::uint32_t ReadTotalMultiplier = 0;
    std::uint32_t ReadTotalConstant = 0;
    std::uint32_t WriteTotalMultiplier = 100;
    std::uint32_t WriteTotalConstant = 1000;

    bool operator==(const TimeoutSettings&) const = default;
};

// What ClearErrors reports: bytes in the input queue, and the line errors seen
// since the previous call (the call clears them).
struct QueueStatus {
    std::uint32_t InQueue = 0;
    TComErrors Errors;
};

// Modem input lines. A device without them (a pseudo-terminal, some adapters)
// reports all of them off and succeeds.
struct ModemLines {
    bool CTS = false;
    bool DSR = false;
    bool Ring = false;
    bool RLSD = false;
};

// Flags of Purge, combinable with |.
enum PurgeFlags : unsigned {
    purgeAbortTx = 0x1, // end pending writes
    purgeAbortRx = 0x2, // end pending reads
    purgeClearTx = 0x4, // drop bytes not yet sent
    purgeClearRx = 0x8  // drop bytes received and not yet read
};

// How one WaitForEvents call ended.
enum class WaitOutcome {
    Events,     // one or more of the watched events happened (given in `events`)
    Stopped,    // StopEventWait was called (wins over pending events)
    DeviceLost, // the device hung up or vanished; waiting again is pointless
    Failed      // the wait itself failed; the event thread ends
};

class ComBackend {
public:
    virtual ~ComBackend() = default;

    // Device lifetime. Open takes the port name as the user gave it (a bare name
    // like "ttyUSB0" or "COM3", or a path) and opens it for exclusive use without
    // changing the modem lines; a busy, missing or empty name fails. Close tolerates
    // a device that is already gone and never blocks on unsent bytes.
    virtual OsError Open(const std::string& port) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // Settings groups; each call pushes one complete group to the open device.
    // SetLineSettings fails when the device cannot run the requested rate (within
    // 2 %) or format.
    virtual OsError SetQueueSizes(std::uint32_t inputSize, std::uint32_t outputSize) = 0;
    virtual OsError SetLineSettings(const LineSettings& settings) = 0;
    virtual OsError SetTimeouts(const TimeoutSettings& timeouts) = 0;

    // Blocking I/O under the current timeouts. `done` is set also on failure.
    virtual OsError Write(const void* data, std::size_t count, std::size_t& done) = 0;
    virtual OsError Read(void* data, std::size_t count, std::size_t& done) = 0;

    virtual OsError Purge(unsigned flags) = 0;
    virtual OsError ClearErrors(QueueStatus& status) = 0;
    virtual OsError GetModemLines(ModemLines& lines) = 0;

    // Event wait. PrepareEventWait runs on the owner's thread before the event
    // thread starts: it arms the stop signal and selects the events to watch.
    // WaitForEvents sleeps in the kernel without a time limit until a watched event,
    // the stop signal or the loss of the device; it never returns Events with an
    // empty set, and data left unread does not wake it again until more arrives.
    // FinishEventWait runs on the event thread after its last wait: it stops
    // watching, drops both queues and releases the stop signal.
    virtual OsError PrepareEventWait(TComEvents events) = 0;
    virtual WaitOutcome WaitForEvents(TComEvents& events) = 0;
    virtual void StopEventWait() = 0;
    virtual void FinishEventWait() = 0;

    // Event thread, after a wait: the bytes in the input queue, where the device
    // can tell without side effects (line errors stay pending); false elsewhere.
    virtual bool CountWaiting(std::uint32_t& count) {
        (void)count;
        return false;
    }
};

// The backend of the platform the program was built for.
std::unique_ptr<ComBackend> CreateComBackend();

} // namespace cport
