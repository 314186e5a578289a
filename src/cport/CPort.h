#pragma once

// The serial port component: one serial device, its settings, open and close,
// blocking reads and writes, and an event thread that announces received bytes
// on the program's GUI thread. Plain C++ without any GUI library.
//
// Typical use (the main window owns one port):
//
//     cport::TComPort port;                      // closed, 9600 8N1, all ten events
//     port.SetPort("/dev/ttyUSB0");              // a bare name gets /dev/ in front
//     port.SetBaudRate(cport::br19200);
//     port.OnRxChar = [&](cport::TCustomComPort& sender, int count) {
//         std::string bytes;
//         sender.ReadText(bytes, count);         // count >= 1, the bytes now waiting
//         ...
//     };
//     port.OnDeviceLost = [&](cport::TCustomComPort& sender) {
//         ...                                    // tell the operator; then
//         sender.SetConnected(false);            // closing still works
//     };
//     port.SetConnected(true);                   // throws EComPort on failure
//     port.WriteText("\x0F");
//
// Threads. Every member is called on one thread, the GUI thread. With the default
// SyncMethod smThreadSync every handler runs there too, one at a time: the event
// thread queues the dispatch and waits until the GUI thread has run it. For that
// the program wires the hand-over once (see HandOver.h): in Qt,
//
//     cport::SetWakeUpHook([] {
//         QMetaObject::invokeMethod(qApp, [] { cport::ProcessPendingCalls(); },
//                                   Qt::QueuedConnection);
//     });
//
// An exception thrown by a handler ends only the dispatch it was thrown in; it
// never reaches the event loop and later events are still dispatched. A handler
// that wants its failures shown catches them itself.
//
// Received bytes. OnRxChar gets the number of bytes waiting at the moment of the
// call, always at least 1; the component reads nothing itself. Bytes a handler
// leaves unread stay queued and are counted again when more bytes arrive.
// RxTime() tells, during OnRxChar, when the event thread saw them arrive.
//
// Events on Linux. The device reports evRxChar (new bytes arrived) and evError
// (line errors counted by the driver, seen when bytes arrive); the modem-line,
// break, ring, transmit-empty, event-character and 80 %-full events cannot be
// waited for together with received bytes there and are never raised. Opening
// still raises OnCTSChange, OnDSRChange and OnRLSDChange with the lines' state,
// and closing with false, as on every platform.
//
// Device loss. When the device hangs up or disappears while open (a USB adapter
// pulled, the far end of a pseudo-terminal closed), the event thread ends and
// OnDeviceLost is raised once, through the same hand-over as the other handlers.
// The port stays Connected until the owner closes it; ClosePort works as usual.

#include "ComErrors.h"
#include "ComSettings.h"
#include "ComTypes.h"
#include "HandOver.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace cport {

class ComBackend;
class TComThread;

using TNotifyEvent = std::function<void(TCustomComPort& Sender)>;
using TRxCharEvent = std::function<void(TCustomComPort& Sender, int Count)>;
using TRxBufEvent = std::function<void(TCustomComPort& Sender, const void* Buffer, int Count)>;
using TComSignalEvent = std::function<void(TCustomComPort& Sender, bool OnOff)>;
using TComErrorEvent = std::function<void(TCustomComPort& Sender, TComErrors Errors)>;

class TCustomComPort {
public:
    TCustomComPort();
    // Closes the port if it is open.
    virtual ~TCustomComPort();
    TCustomComPort(const TCustomComPort&) = delete;
    TCustomComPort& operator=(const TCustomComPort&) = delete;

    // --- state and settings -----------------------------------------------------
    // true runs OpenPort, false ClosePort (when different from the current state).
    bool Connected() const { return connected_; }
    void SetConnected(bool value);

    // Changing the name of an open port closes and reopens it.
    const std::string& Port() const { return port_; }
    void SetPort(const std::string& value);

    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate value);
    int CustomBaudRate() const { return customBaudRate_; } // for brCustom
    void SetCustomBaudRate(int value);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits value);
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits value);
    bool DiscardNull() const { return discardNull_; }
    void SetDiscardNull(bool value);
    char EventChar() const { return eventChar_; }
    void SetEventChar(char value);

    // The events the event thread waits for; takes effect at the next open. With
    // an empty set no event thread runs and no handler is ever raised by it.
    TComEvents Events() const { return events_; }
    void SetEvents(TComEvents value) { events_ = value; }

    // Raises EComPort code 14 when changed while the port is open.
    TSyncMethod SyncMethod() const { return syncMethod_; }
    void SetSyncMethod(TSyncMethod value);

    TComParity& Parity() { return parity_; }
    const TComParity& Parity() const { return parity_; }
    void SetParity(const TComParity& value) { parity_.Assign(value); }
    TComFlowControl& FlowControl() { return flowControl_; }
    const TComFlowControl& FlowControl() const { return flowControl_; }
    void SetFlowControl(const TComFlowControl& value) { flowControl_.Assign(value); }
    TComTimeouts& Timeouts() { return timeouts_; }
    const TComTimeouts& Timeouts() const { return timeouts_; }
    void SetTimeouts(const TComTimeouts& value) { timeouts_.Assign(value); }
    TComBuffer& Buffer() { return buffer_; }
    const TComBuffer& Buffer() const { return buffer_; }
    void SetBuffer(const TComBuffer& value) { buffer_.Assign(value); }

    // Settings applied while loading are only stored; Loaded() ends loading and
    // opens the port if Connected was set to true meanwhile.
    void BeginLoading() { loading_ = true; }
    void Loaded();
    bool Loading() const { return loading_; }

    // --- open, close, I/O ---------------------------------------------------------
    // Nothing happens when already open (closed), nor when a handler closes the
    // port while it is being closed. See the .cpp for the steps.
    void OpenPort();
    void ClosePort();

    // Blocking write; returns the bytes written (fewer when the write timeout ran
    // out). Raises code 2 on failure.
    int WriteBytes(const void* Buffer, int Count);
    int WriteText(std::string_view Text);
    // Reads up to Count bytes of what is waiting (under the default timeouts it
    // returns at once); Text gets exactly the bytes read. Raises code 3.
    int ReadText(std::string& Text, int Count);
    // Bytes in the driver's input queue; also clears pending line errors.
    int BytesWaiting();

    // During OnRxChar: when the bytes of this batch were seen to have arrived, on
    // the monotonic clock: the moment the event thread's kernel wait returned, or,
    // when more bytes came during the hand-over, the moment they were counted. It is
    // never before the last of them arrived. A handler that paces what it sends next
    // counts from here, not from when the GUI thread got round to it.
    std::chrono::steady_clock::time_point RxTime() const { return rxTime_; }

    // Pushes one settings group to the open device (nothing while closed or
    // loading). Raise codes 7, 8 and 9.
    virtual void ApplyLineSettings();
    virtual void ApplyTimeoutSettings();
    virtual void ApplyQueueSizes();

    // --- handlers (empty by default) -------------------------------------------
    TNotifyEvent OnAfterOpen;
    TNotifyEvent OnAfterClose;
    TNotifyEvent OnBeforeOpen;
    TNotifyEvent OnBeforeClose;
    TRxCharEvent OnRxChar;
    TRxBufEvent OnRxBuf; // kept for compatibility; the component never raises it
    TNotifyEvent OnTxEmpty;
    TNotifyEvent OnBreak;
    TNotifyEvent OnRing;
    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComSignalEvent OnRLSDChange;
    TComErrorEvent OnError;
    TNotifyEvent OnRxFlag;
    TNotifyEvent OnRx80Full;
    TNotifyEvent OnDeviceLost; // the device hung up or vanished while open

protected:
    virtual void OpenDevice();
    virtual void CloseDevice();
    virtual void ConfigurePort();

    virtual void DoAfterClose();
    virtual void DoAfterOpen();
    virtual void DoBeforeClose();
    virtual void DoBeforeOpen();
    virtual void DoRxChar(int Count);
    virtual void DoRxBuf(const void* Buffer, int Count);
    virtual void DoTxEmpty();
    virtual void DoBreak();
    virtual void DoRing();
    virtual void DoRxFlag();
    virtual void DoCTSChange(bool OnOff);
    virtual void DoDSRChange(bool OnOff);
    virtual void DoError(TComErrors Errors);
    virtual void DoRLSDChange(bool OnOff);
    virtual void DoRx80Full();
    virtual void DoDeviceLost();

private:
    friend class TComThread;

    // Runs the handlers of one batch of events in their fixed order; `seen` is
    // what the event thread saw when its wait for them returned.
    void DispatchEvents(TComEvents events, TBatchSeen seen);
    TComErrors ReadLineErrors();
    struct ModemBits {
        bool cts, dsr, ring, rlsd;
    };
    ModemBits ReadModemLines();
    void raiseModemChanges();

    std::unique_ptr<ComBackend> backend_;
    std::unique_ptr<TComThread> eventThread_;
    bool threadCreated_ = false;
    bool loading_ = false;
    bool connected_ = false;
    bool closing_ = false; // ClosePort is under way
    TBaudRate baudRate_ = br9600;
    int customBaudRate_ = 9600;
    std::string port_ = "COM1";
    TStopBits stopBits_ = sbOneStopBit;
    TDataBits dataBits_ = dbEight;
    bool discardNull_ = false;
    char eventChar_ = 0;
    TComEvents events_ = AllComEvents;
    TComParity parity_{*this};
    TComFlowControl flowControl_{*this};
    TComTimeouts timeouts_{*this};
    TComBuffer buffer_{*this};
    TSyncMethod syncMethod_ = smThreadSync;
    std::chrono::steady_clock::time_point rxTime_{};
};

// The component as a program places it: all of TCustomComPort is public.
class TComPort : public TCustomComPort {
public:
    using TCustomComPort::TCustomComPort;
};

} // namespace cport
