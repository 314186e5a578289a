#include "ComSettings.h"

#include "CPort.h"

namespace cport {

// --- TComParity -----------------------------------------------------------------

void TComParity::Assign(const TComParity& source) {
    bits_ = source.bits_;
    check_ = source.check_;
    replace_ = source.replace_;
    replaceChar_ = source.replaceChar_;
    port_.ApplyLineSettings();
}

#define CPORT_LINE_SETTER(Class, Name, Type, field)                                                \
    void Class::Set##Name(Type value) {                                                            \
        if (field == value)                                                                        \
            return;                                                                                \
        field = value;                                                                             \
        port_.ApplyLineSettings();                                                                 \
    }

CPORT_LINE_SETTER(TComParity, Bits, TParityBits, bits_)
CPORT_LINE_SETTER(TComParity, Check, bool, check_)
CPORT_LINE_SETTER(TComParity, Replace, bool, replace_)
CPORT_LINE_SETTER(TComParity, ReplaceChar, char, replaceChar_)

// --- TComFlowControl --------------------------------------------------------------

void TComFlowControl::Assign(const TComFlowControl& source) {
    outCTSFlow_ = source.outCTSFlow_;
    outDSRFlow_ = source.outDSRFlow_;
    controlDTR_ = source.controlDTR_;
    controlRTS_ = source.controlRTS_;
    xonXoffOut_ = source.xonXoffOut_;
    xonXoffIn_ = source.xonXoffIn_;
    dsrSensitivity_ = source.dsrSensitivity_;
    txContinueOnXoff_ = source.txContinueOnXoff_;
    xonChar_ = source.xonChar_;
    xoffChar_ = source.xoffChar_;
    port_.ApplyLineSettings();
}

TFlowControl TComFlowControl::FlowControl() const {
    if (controlRTS_ == rtsHandshake && outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_)
        return fcHardware;
    if (controlRTS_ == rtsDisable && !outCTSFlow_ && xonXoffIn_ && xonXoffOut_)
        return fcSoftware;
    if (controlRTS_ != rtsDisable || outCTSFlow_ || xonXoffIn_ || xonXoffOut_)
        return fcCustom;
    return fcNone;
}

void TComFlowControl::SetFlowControl(TFlowControl value) {
    if (value != fcCustom) {
        controlRTS_ = rtsDisable;
        outCTSFlow_ = false;
        xonXoffIn_ = false;
        xonXoffOut_ = false;
        if (value == fcHardware) {
            controlRTS_ = rtsHandshake;
            outCTSFlow_ = true;
        } else if (value == fcSoftware) {
            xonXoffIn_ = true;
            xonXoffOut_ = true;
        }
    }
    port_.ApplyLineSettings();
}

CPORT_LINE_SETTER(TComFlowControl, OutCTSFlow, bool, outCTSFlow_)
CPORT_LINE_SETTER(TComFlowControl, OutDSRFlow, bool, outDSRFlow_)
CPORT_LINE_SETTER(TComFlowControl, ControlDTR, TDTRFlowControl, controlDTR_)
CPORT_LINE_SETTER(TComFlowControl, ControlRTS, TRTSFlowControl, controlRTS_)
CPORT_LINE_SETTER(TComFlowControl, XonXoffOut, bool, xonXoffOut_)
CPORT_LINE_SETTER(TComFlowControl, XonXoffIn, bool, xonXoffIn_)
CPORT_LINE_SETTER(TComFlowControl, DSRSensitivity, bool, dsrSensitivity_)
CPORT_LINE_SETTER(TComFlowControl, TxContinueOnXoff, bool, txContinueOnXoff_)
CPORT_LINE_SETTER(TComFlowControl, XonChar, char, xonChar_)
CPORT_LINE_SETTER(TComFlowControl, XoffChar, char, xoffChar_)

#undef CPORT_LINE_SETTER

// --- TComTimeouts -----------------------------------------------------------------

void TComTimeouts::Assign(const TComTimeouts& source) {
    readInterval_ = source.readInterval_;
    readTotalMultiplier_ = source.readTotalMultiplier_;
    readTotalConstant_ = source.readTotalConstant_;
    writeTotalMultiplier_ = source.writeTotalMultiplier_;
    writeTotalConstant_ = source.writeTotalConstant_;
    port_.ApplyTimeoutSettings();
}

void TComTimeouts::change(int& field, int value) {
    if (field == value)
        return;
    field = value;
    port_.ApplyTimeoutSettings();
}

void TComTimeouts::SetReadInterval(int value) {
    change(readInterval_, value);
}
void TComTimeouts::SetReadTotalMultiplier(int value) {
    change(readTotalMultiplier_, value);
}
void TComTimeouts::SetReadTotalConstant(int value) {
    change(readTotalConstant_, value);
}
void TComTimeouts::SetWriteTotalMultiplier(int value) {
    change(writeTotalMultiplier_, value);
}
void TComTimeouts::SetWriteTotalConstant(int value) {
    change(writeTotalConstant_, value);
}

// --- TComBuffer -------------------------------------------------------------------

void TComBuffer::Assign(const TComBuffer& source) {
    inputSize_ = source.inputSize_;
    outputSize_ = source.outputSize_;
    port_.ApplyQueueSizes();
}

void TComBuffer::change(int& field, int value) {
    // The queues work in pairs of bytes.
    if (value > 0 && value % 2 == 1)
        --value;
    if (field == value)
        return;
    field = value;
    port_.ApplyQueueSizes();
}

void TComBuffer::SetInputSize(int value) {
    change(inputSize_, value);
}
void TComBuffer::SetOutputSize(int value) {
    change(outputSize_, value);
}

} // namespace cport
