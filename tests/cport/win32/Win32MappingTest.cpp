#include "win32/Win32Mapping.h"

#include <gtest/gtest.h>

#include <cstring>

namespace cport::win32 {
namespace {

TEST(Win32Mapping, DcbOfTheInstrumentSettingsHoldsOnlyBinaryFlag) {
    LineSettings s;
    s.BaudRate = 19200;
    DCB dcb = MakeDcb(s);
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 19200u);
    // The flag bits follow BaudRate as one 32-bit word.
    DWORD flags = 0;
    std::memcpy(&flags, reinterpret_cast<const char*>(&dcb) + 8, sizeof flags);
    EXPECT_EQ(flags, 1u) << "fBinary alone";
    EXPECT_EQ(dcb.XonLim, 256);
    EXPECT_EQ(dcb.XoffLim, 256);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, 0);
    EXPECT_EQ(dcb.StopBits, 0);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EofChar, 0);
    EXPECT_EQ(dcb.EvtChar, 0);
    EXPECT_EQ(dcb.wReserved, 0);
    EXPECT_EQ(dcb.wReserved1, 0);
}

TEST(Win32Mapping, DcbFieldsFollowEachSetting) {
    struct Case {
        const char* name;
        void (*change)(LineSettings&);
        bool (*check)(const DCB&);
    };
    const Case cases[] = {
        {"parity check", [](LineSettings& s) { s.ParityCheck = true; },
         [](const DCB& d) { return d.fParity == 1 && d.fErrorChar == 0; }},
        {"replace without check has no error char",
         [](LineSettings& s) {
             s.ErrorReplace = true;
             s.ReplaceChar = '?';
         },
         [](const DCB& d) { return d.fErrorChar == 0 && d.ErrorChar == 0; }},
        {"replace with check",
         [](LineSettings& s) {
             s.ParityCheck = true;
             s.ErrorReplace = true;
             s.ReplaceChar = '?';
         },
         [](const DCB& d) { return d.fErrorChar == 1 && d.ErrorChar == '?'; }},
        {"cts flow", [](LineSettings& s) { s.OutCTSFlow = true; },
         [](const DCB& d) { return d.fOutxCtsFlow == 1 && d.fOutxDsrFlow == 0; }},
        {"dsr flow", [](LineSettings& s) { s.OutDSRFlow = true; },
         [](const DCB& d) { return d.fOutxDsrFlow == 1; }},
        {"dtr handshake", [](LineSettings& s) { s.ControlDTR = dtrHandshake; },
         [](const DCB& d) { return d.fDtrControl == DTR_CONTROL_HANDSHAKE; }},
        {"rts toggle", [](LineSettings& s) { s.ControlRTS = rtsToggle; },
         [](const DCB& d) { return d.fRtsControl == RTS_CONTROL_TOGGLE; }},
        {"rts enable", [](LineSettings& s) { s.ControlRTS = rtsEnable; },
         [](const DCB& d) { return d.fRtsControl == RTS_CONTROL_ENABLE; }},
        {"xon/xoff", [](LineSettings& s) { s.XonXoffIn = s.XonXoffOut = true; },
         [](const DCB& d) { return d.fInX == 1 && d.fOutX == 1; }},
        {"dsr sensitivity, tx continue",
         [](LineSettings& s) { s.DSRSensitivity = s.TxContinueOnXoff = true; },
         [](const DCB& d) { return d.fDsrSensitivity == 1 && d.fTXContinueOnXoff == 1; }},
        {"discard null", [](LineSettings& s) { s.DiscardNull = true; },
         [](const DCB& d) { return d.fNull == 1 && d.fAbortOnError == 0; }},
        {"format 7E2",
         [](LineSettings& s) {
             s.DataBits = 7;
             s.Parity = prEven;
             s.StopBits = sbTwoStopBits;
         },
         [](const DCB& d) {
             return d.ByteSize == 7 && d.Parity == EVENPARITY && d.StopBits == TWOSTOPBITS;
         }},
        {"format 5 space 1.5",
         [](LineSettings& s) {
             s.DataBits = 5;
             s.Parity = prSpace;
             s.StopBits = sbOne5StopBits;
         },
         [](const DCB& d) {
             return d.ByteSize == 5 && d.Parity == SPACEPARITY && d.StopBits == ONE5STOPBITS;
         }},
        {"limits and chars",
         [](LineSettings& s) {
             s.XonLim = 1024;
             s.XoffLim = 1024;
             s.XonChar = 'Q';
             s.XoffChar = 'S';
             s.EventChar = '\r';
         },
         [](const DCB& d) {
             return d.XonLim == 1024 && d.XoffLim == 1024 && d.XonChar == 'Q' &&
                    d.XoffChar == 'S' && d.EvtChar == '\r';
         }},
        {"custom rate", [](LineSettings& s) { s.BaudRate = 28800; },
         [](const DCB& d) { return d.BaudRate == 28800 && d.fBinary == 1; }},
    };
    for (const Case& c : cases) {
        LineSettings s;
        c.change(s);
        EXPECT_TRUE(c.check(MakeDcb(s))) << c.name;
    }
}

TEST(Win32Mapping, TimeoutsGoOverInTheirOrder) {
    TimeoutSettings t{0xFFFFFFFFu, 1, 2, 100, 1000};
    COMMTIMEOUTS ct = MakeCommTimeouts(t);
    EXPECT_EQ(ct.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(ct.ReadTotalTimeoutMultiplier, 1u);
    EXPECT_EQ(ct.ReadTotalTimeoutConstant, 2u);
    EXPECT_EQ(ct.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(ct.WriteTotalTimeoutConstant, 1000u);
}

TEST(Win32Mapping, EventMaskBothWays) {
    struct Case {
        TComEvents events;
        DWORD mask;
    };
    const Case cases[] = {
        {AllComEvents, 0x05FF},       {{evRxChar}, EV_RXCHAR},
        {{evRxFlag}, 0x0002},         {{evTxEmpty}, 0x0004},
        {{evCTS, evDSR}, 0x0018},     {{evRLSD}, 0x0020},
        {{evBreak, evError}, 0x00C0}, {{evRing}, 0x0100},
        {{evRx80Full}, 0x0400},       {{}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EventsToMask(c.events), c.mask) << std::hex << c.mask;
        EXPECT_EQ(MaskToEvents(c.mask), c.events) << std::hex << c.mask;
    }
    // Bits the component does not know (EV_PERR, EV_EVENT1) are ignored.
    EXPECT_EQ(MaskToEvents(0x0200 | 0x0800 | EV_RXCHAR), (TComEvents{evRxChar}));
}

TEST(Win32Mapping, LineErrorsAndModemLines) {
    EXPECT_EQ(CommErrorsToSet(0), TComErrors{});
    EXPECT_EQ(CommErrorsToSet(0x0008 | 0x0002), (TComErrors{ceFrame, ceOverrun}));
    EXPECT_EQ(CommErrorsToSet(0x0004), (TComErrors{ceRxParity}));
    EXPECT_EQ(CommErrorsToSet(0x0010 | 0x0400), (TComErrors{ceBreak, ceIO}));
    EXPECT_EQ(CommErrorsToSet(0x8000 | 0x0001 | 0x0100), (TComErrors{ceMode, ceRxOver, ceTxFull}));

    struct Case {
        DWORD status;
        bool cts, dsr, ring, rlsd;
    };
    const Case cases[] = {
        {0, false, false, false, false},    {0x10, true, false, false, false},
        {0x20, false, true, false, false},  {0x40, false, false, true, false},
        {0x80, false, false, false, true},  {0xF0, true, true, true, true},
        {0x0F, false, false, false, false},
    };
    for (const Case& c : cases) {
        ModemLines l = ModemStatusToLines(c.status);
        EXPECT_EQ(l.CTS, c.cts) << c.status;
        EXPECT_EQ(l.DSR, c.dsr) << c.status;
        EXPECT_EQ(l.Ring, c.ring) << c.status;
        EXPECT_EQ(l.RLSD, c.rlsd) << c.status;
    }
}

} // namespace
} // namespace cport::win32
