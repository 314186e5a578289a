#include "CPort.h"

#include "CallQueue.h"
#include "ComBackend.h"
#include "ComThread.h"
#include "SimulatedLink.h"

#include <climits>

namespace cport {

TCustomComPort::TCustomComPort()
    : backend_(CreateComBackend()) {}

TCustomComPort::~TCustomComPort() {
    try {
        ClosePort();
    } catch (...) {
        // A destructor cannot report; the device is released below in any case.
    }
    eventThread_.reset();
    backend_->Close();
}

// --- settings -------------------------------------------------------------------

void TCustomComPort::SetConnected(bool value) {
    if (loading_) {
        connected_ = value;
        return;
    }
    if (value == connected_)
        return;
    if (value)
        OpenPort();
    else
        ClosePort();
}

void TCustomComPort::Loaded() {
    // Only the end of loading opens a stored Connected; on an open port the stored
    // value is the real state, and reopening would lose track of the open device.
    if (!loading_)
        return;
    loading_ = false;
    if (connected_) {
        connected_ = false;
        OpenPort();
    }
}

void TCustomComPort::SetPort(const std::string& value) {
    if (value == port_)
        return;
    port_ = value;
    if (connected_ && !loading_) {
        ClosePort();
        OpenPort();
    }
}

namespace {
template <typename T> bool store(T& field, T value) {
    if (field == value)
        return false;
    field = value;
    return true;
}
} // namespace

void TCustomComPort::SetBaudRate(TBaudRate value) {
    if (store(baudRate_, value))
        ApplyLineSettings();
}

void TCustomComPort::SetCustomBaudRate(int value) {
    if (store(customBaudRate_, value))
        ApplyLineSettings();
}

void TCustomComPort::SetStopBits(TStopBits value) {
    if (store(stopBits_, value))
        ApplyLineSettings();
}

void TCustomComPort::SetDataBits(TDataBits value) {
    if (store(dataBits_, value))
        ApplyLineSettings();
}

void TCustomComPort::SetDiscardNull(bool value) {
    if (store(discardNull_, value))
        ApplyLineSettings();
}

void TCustomComPort::SetEventChar(char value) {
    if (store(eventChar_, value))
        ApplyLineSettings();
}

void TCustomComPort::SetSyncMethod(TSyncMethod value) {
    if (value == syncMethod_)
        return;
    if (connected_ && !loading_)
        throw EComPort(CError_ConnChangeProp);
    syncMethod_ = value;
}

void TCustomComPort::ApplyLineSettings() {
    if (!connected_ || loading_)
        return;
    LineSettings s;
    s.BaudRate = baudRate_ == brCustom ? static_cast<std::uint32_t>(customBaudRate_)
                                       : BaudRateToBits(baudRate_);
    s.DataBits = static_cast<std::uint8_t>(5 + dataBits_);
    s.Parity = parity_.Bits();
    s.StopBits = stopBits_;
    s.ParityCheck = parity_.Check();
    s.ErrorReplace = parity_.Check() && parity_.Replace();
    s.ReplaceChar = s.ErrorReplace ? parity_.ReplaceChar() : 0;
    s.OutCTSFlow = flowControl_.OutCTSFlow();
    s.OutDSRFlow = flowControl_.OutDSRFlow();
    s.ControlDTR = flowControl_.ControlDTR();
    s.ControlRTS = flowControl_.ControlRTS();
    s.XonXoffOut = flowControl_.XonXoffOut();
    s.XonXoffIn = flowControl_.XonXoffIn();
    s.DSRSensitivity = flowControl_.DSRSensitivity();
    s.TxContinueOnXoff = flowControl_.TxContinueOnXoff();
    s.XonChar = flowControl_.XonChar();
    s.XoffChar = flowControl_.XoffChar();
    s.XonLim = static_cast<std::uint16_t>(buffer_.InputSize() / 4);
    s.XoffLim = s.XonLim;
    s.DiscardNull = discardNull_;
    s.EventChar = eventChar_;
    if (OsError err = backend_->SetLineSettings(s))
        throw EComPort(CError_SetStateFailed, err);
}

void TCustomComPort::ApplyTimeoutSettings() {
    if (!connected_ || loading_)
        return;
    TimeoutSettings t;
    t.ReadInterval = static_cast<std::uint32_t>(timeouts_.ReadInterval());
    t.ReadTotalMultiplier = static_cast<std::uint32_t>(timeouts_.ReadTotalMultiplier());
    t.ReadTotalConstant = static_cast<std::uint32_t>(timeouts_.ReadTotalConstant());
    t.WriteTotalMultiplier = static_cast<std::uint32_t>(timeouts_.WriteTotalMultiplier());
    t.WriteTotalConstant = static_cast<std::uint32_t>(timeouts_.WriteTotalConstant());
    if (OsError err = backend_->SetTimeouts(t))
        throw EComPort(CError_TimeoutsFailed, err);
}

void TCustomComPort::ApplyQueueSizes() {
    if (!connected_ || loading_)
        return;
    if (OsError err = backend_->SetQueueSizes(static_cast<std::uint32_t>(buffer_.InputSize()),
                                              static_cast<std::uint32_t>(buffer_.OutputSize())))
        throw EComPort(CError_SetupComFailed, err);
}

// --- open and close ---------------------------------------------------------------

void TCustomComPort::OpenDevice() {
    // The name decides the device: an in-process simulated line, else the platform's.
    backend_ = CreateComBackendFor(port_);
    if (OsError err = backend_->Open(port_))
        throw EComPort(CError_OpenFailed, err);
}

void TCustomComPort::CloseDevice() {
    backend_->Close();
}

void TCustomComPort::ConfigurePort() {
    ApplyQueueSizes();
    ApplyLineSettings();
    ApplyTimeoutSettings();
}

void TCustomComPort::OpenPort() {
    if (connected_)
        return;
    DoBeforeOpen();
    OpenDevice();
    connected_ = true;
    try {
        ConfigurePort();
        if (!events_.Empty()) {
            eventThread_ = std::make_unique<TComThread>(*this, *backend_);
            threadCreated_ = true;
        }
    } catch (...) {
        CloseDevice();
        connected_ = false;
        throw;
    }
    DoAfterOpen();
    // Tell the handlers where the lines stand; each reads the lines afresh.
    DoCTSChange(ReadModemLines().cts);
    DoDSRChange(ReadModemLines().dsr);
    DoRLSDChange(ReadModemLines().rlsd);
}

void TCustomComPort::ClosePort() {
    // The handlers this close raises, and hand-overs it serves while the event
    // thread ends (a device-lost notice, say), may ask to close the port again:
    // the close under way does it, once.
    if (!connected_ || closing_)
        return;
    closing_ = true;
    struct ClosingScope {
        bool& flag;
        ~ClosingScope() { flag = false; }
    } closingScope{closing_};
    DoCTSChange(false);
    DoDSRChange(false);
    DoRLSDChange(false);
    DoBeforeClose();
    if (OsError err = backend_->Purge(purgeAbortTx | purgeAbortRx))
        throw EComPort(CError_PurgeFailed, err);
    if (threadCreated_) {
        // A handler of this port may be closing it from inside a dispatch: let the
        // event thread that waits for that dispatch go on, or it never ends.
        detail::CallQueue::Instance().ReleaseRunningCalls(this);
        eventThread_.reset();
        threadCreated_ = false;
    }
    CloseDevice();
    connected_ = false;
    closing_ = false; // the after-close handler may open and close the port anew
    DoAfterClose();
}

// --- I/O --------------------------------------------------------------------------

int TCustomComPort::WriteBytes(const void* Buffer, int Count) {
    if (Count <= 0)
        return 0;
    std::size_t done = 0;
    if (OsError err = backend_->Write(Buffer, static_cast<std::size_t>(Count), done))
        throw EComPort(CError_WriteFailed, err);
    return static_cast<int>(done);
}

int TCustomComPort::WriteText(std::string_view Text) {
    if (Text.empty())
        return 0;
    if (Text.size() > INT_MAX)
        Text = Text.substr(0, INT_MAX);
    return WriteBytes(Text.data(), static_cast<int>(Text.size()));
}

int TCustomComPort::ReadText(std::string& Text, int Count) {
    if (Count <= 0) {
        Text.clear();
        return 0;
    }
    Text.resize(static_cast<std::size_t>(Count));
    std::size_t done = 0;
    OsError err = backend_->Read(Text.data(), Text.size(), done);
    Text.resize(done);
    if (err)
        throw EComPort(CError_ReadFailed, err);
    return static_cast<int>(done);
}

int TCustomComPort::BytesWaiting() {
    QueueStatus status;
    if (OsError err = backend_->ClearErrors(status))
        throw EComPort(CError_ClearComFailed, err);
    return status.InQueue > INT_MAX ? INT_MAX : static_cast<int>(status.InQueue);
}

TComErrors TCustomComPort::ReadLineErrors() {
    QueueStatus status;
    if (OsError err = backend_->ClearErrors(status))
        throw EComPort(CError_ClearComFailed, err);
    TComErrors errors = status.Errors;
    if (!parity_.Check())
        errors.Exclude(ceRxParity);
    return errors;
}

TCustomComPort::ModemBits TCustomComPort::ReadModemLines() {
    ModemLines lines;
    if (OsError err = backend_->GetModemLines(lines))
        throw EComPort(CError_ModemStatFailed, err);
    return {lines.CTS, lines.DSR, lines.Ring, lines.RLSD};
}

// --- event dispatch ---------------------------------------------------------------

void TCustomComPort::DispatchEvents(TComEvents events, TBatchSeen seen) {
    // A handler may close the port; the rest of the batch is then dropped.
    if (events.Contains(evError) && connected_) {
        TComErrors errors = ReadLineErrors();
        if (!errors.Empty())
            DoError(errors);
    }
    if (events.Contains(evRxChar) && connected_) {
        int count = BytesWaiting();
        if (count > 0) {
            // Bytes that came after the event thread looked were seen only now.
            rxTime_ = seen.bytes >= count ? seen.at : std::chrono::steady_clock::now();
            DoRxChar(count);
        }
    }
    if (events.Contains(evTxEmpty) && connected_)
        DoTxEmpty();
    if (events.Contains(evBreak) && connected_)
        DoBreak();
    if (events.Contains(evRing) && connected_)
        DoRing();
    if (events.Contains(evCTS) && connected_)
        DoCTSChange(ReadModemLines().cts);
    if (events.Contains(evDSR) && connected_)
        DoDSRChange(ReadModemLines().dsr);
    if (events.Contains(evRxFlag) && connected_)
        DoRxFlag();
    if (events.Contains(evRLSD) && connected_)
        DoRLSDChange(ReadModemLines().rlsd);
    if (events.Contains(evRx80Full) && connected_)
        DoRx80Full();
}

// --- raising the handlers ---------------------------------------------------------

void TCustomComPort::DoAfterClose() {
    if (OnAfterClose)
        OnAfterClose(*this);
}

void TCustomComPort::DoAfterOpen() {
    if (OnAfterOpen)
        OnAfterOpen(*this);
}

void TCustomComPort::DoBeforeClose() {
    if (OnBeforeClose)
        OnBeforeClose(*this);
}

void TCustomComPort::DoBeforeOpen() {
    if (OnBeforeOpen)
        OnBeforeOpen(*this);
}

void TCustomComPort::DoRxChar(int Count) {
    if (OnRxChar)
        OnRxChar(*this, Count);
}

void TCustomComPort::DoRxBuf(const void* Buffer, int Count) {
    if (OnRxBuf)
        OnRxBuf(*this, Buffer, Count);
}

void TCustomComPort::DoTxEmpty() {
    if (OnTxEmpty)
        OnTxEmpty(*this);
}

void TCustomComPort::DoBreak() {
    if (OnBreak)
        OnBreak(*this);
}

void TCustomComPort::DoRing() {
    if (OnRing)
        OnRing(*this);
}

void TCustomComPort::DoRxFlag() {
    if (OnRxFlag)
        OnRxFlag(*this);
}

void TCustomComPort::DoCTSChange(bool OnOff) {
    if (OnCTSChange)
        OnCTSChange(*this, OnOff);
}

void TCustomComPort::DoDSRChange(bool OnOff) {
    if (OnDSRChange)
        OnDSRChange(*this, OnOff);
}

void TCustomComPort::DoError(TComErrors Errors) {
    if (OnError)
        OnError(*this, Errors);
}

void TCustomComPort::DoRLSDChange(bool OnOff) {
    if (OnRLSDChange)
        OnRLSDChange(*this, OnOff);
}

void TCustomComPort::DoRx80Full() {
    if (OnRx80Full)
        OnRx80Full(*this);
}

void TCustomComPort::DoDeviceLost() {
    if (OnDeviceLost)
        OnDeviceLost(*this);
}

} // namespace cport
