#pragma once

// Pure translations between the component's settings and sets and the structures
// and bit masks of the Windows serial interface. Kept apart from the device code so
// that they can be checked without a port.

#include "../ComBackend.h"

#include "WindowsApi.h"

#include <array>
#include <cstdint>
#include <utility>

namespace cport::win32 {

static_assert(sizeof(DCB) == 28, "the device expects the 28-byte DCB");

// TComEvent -> EV_* bit, used both ways.
inline constexpr std::array<std::pair<TComEvent, DWORD>, 10> kEventMaskBits{{
    {evRxChar, EV_RXCHAR},
    {evTxEmpty, EV_TXEMPTY},
    {evRxFlag, EV_RXFLAG},
    {evRing, EV_RING},
    {evBreak, EV_BREAK},
    {evCTS, EV_CTS},
    {evDSR, EV_DSR},
    {evError, EV_ERR},
    {evRLSD, EV_RLSD},
    {evRx80Full, EV_RX80FULL},
}};

// CE_* bit -> TComError. Whether parity errors count is the component's business.
inline constexpr std::array<std::pair<DWORD, TComError>, 8> kCommErrorBits{{
    {CE_FRAME, ceFrame},
    {CE_RXPARITY, ceRxParity},
    {CE_OVERRUN, ceOverrun},
    {CE_BREAK, ceBreak},
    {CE_IOE, ceIO},
    {CE_MODE, ceMode},
    {CE_RXOVER, ceRxOver},
    {CE_TXFULL, ceTxFull},
}};

inline DWORD EventsToMask(TComEvents events) {
    DWORD mask = 0;
    for (auto [event, bit] : kEventMaskBits)
        if (events.Contains(event))
            mask |= bit;
    return mask;
}

// Bits outside the table are ignored.
inline TComEvents MaskToEvents(DWORD mask) {
    TComEvents events;
    for (auto [event, bit] : kEventMaskBits)
        if (mask & bit)
            events.Include(event);
    return events;
}

inline TComErrors CommErrorsToSet(DWORD errors) {
    TComErrors set;
    for (auto [bit, error] : kCommErrorBits)
        if (errors & bit)
            set.Include(error);
    return set;
}

inline ModemLines ModemStatusToLines(DWORD status) {
    ModemLines lines;
    lines.CTS = (status & MS_CTS_ON) != 0;
    lines.DSR = (status & MS_DSR_ON) != 0;
    lines.Ring = (status & MS_RING_ON) != 0;
    lines.RLSD = (status & MS_RLSD_ON) != 0;
    return lines;
}

// The complete line settings as one DCB; every field not set here stays zero.
inline DCB MakeDcb(const LineSettings& s) {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = s.BaudRate;
    dcb.fBinary = 1;
    dcb.fParity = s.ParityCheck;
    dcb.fOutxCtsFlow = s.OutCTSFlow;
    dcb.fOutxDsrFlow = s.OutDSRFlow;
    dcb.fDtrControl = static_cast<DWORD>(s.ControlDTR);
    dcb.fDsrSensitivity = s.DSRSensitivity;
    dcb.fTXContinueOnXoff = s.TxContinueOnXoff;
    dcb.fOutX = s.XonXoffOut;
    dcb.fInX = s.XonXoffIn;
    dcb.fErrorChar = s.ParityCheck && s.ErrorReplace;
    dcb.fNull = s.DiscardNull;
    dcb.fRtsControl = static_cast<DWORD>(s.ControlRTS);
    dcb.fAbortOnError = 0;
    dcb.XonLim = s.XonLim;
    dcb.XoffLim = s.XoffLim;
    dcb.ByteSize = s.DataBits;
    dcb.Parity = static_cast<BYTE>(s.Parity);
    dcb.StopBits = static_cast<BYTE>(s.StopBits);
    dcb.XonChar = s.XonChar;
    dcb.XoffChar = s.XoffChar;
    dcb.ErrorChar = dcb.fErrorChar ? s.ReplaceChar : 0;
    dcb.EvtChar = s.EventChar;
    return dcb;
}

inline COMMTIMEOUTS MakeCommTimeouts(const TimeoutSettings& t) {
    COMMTIMEOUTS ct{};
    ct.ReadIntervalTimeout = t.ReadInterval;
    ct.ReadTotalTimeoutMultiplier = t.ReadTotalMultiplier;
    ct.ReadTotalTimeoutConstant = t.ReadTotalConstant;
    ct.WriteTotalTimeoutMultiplier = t.WriteTotalMultiplier;
    ct.WriteTotalTimeoutConstant = t.WriteTotalConstant;
    return ct;
}

} // namespace cport::win32
