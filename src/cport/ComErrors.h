#pragma once

// The one exception class of the serial port component and its numbered texts.

#include <stdexcept>
#include <string>

namespace cport {

// Numbers of the component's error texts; see ComErrorText().
enum ComErrorCode {
    CError_OpenFailed = 1,
    CError_WriteFailed = 2,
    CError_ReadFailed = 3,
    CError_InvalidAsync = 4,
    CError_PurgeFailed = 5,
    CError_AsyncCheck = 6,
    CError_SetStateFailed = 7,
    CError_TimeoutsFailed = 8,
    CError_SetupComFailed = 9,
    CError_ClearComFailed = 10,
    CError_ModemStatFailed = 11,
    CError_EscapeComFailed = 12,
    CError_TransmitFailed = 13,
    CError_ConnChangeProp = 14,
    CError_EnumPortsFailed = 15,
    CError_StoreFailed = 16,
    CError_LoadFailed = 17,
    CError_RegFailed = 18,
    CError_LedStateFailed = 19,
    CError_ThreadCreated = 20,
    CError_WaitFailed = 21,
    CError_HasLink = 22,
    CError_RegError = 23
};

// A failure of the serial port component. The message is the text of
// PortErrorCode(), followed by " (win error code: N)" when the operating system
// gave an error number (OsErrorCode() is -1 when it did not). Both texts pass
// through the "cport" message catalogue.
class EComPort : public std::runtime_error {
public:
    explicit EComPort(int portErrorCode, int osErrorCode = -1);

    int OsErrorCode() const { return osErrorCode_; }
    int PortErrorCode() const { return portErrorCode_; }

private:
    int osErrorCode_;
    int portErrorCode_;
};

// Whether `error` came from a device that has gone (a USB adapter pulled out, the
// far end of a pseudo-terminal closed). Such a port also reports OnDeviceLost.
bool IsDeviceGone(const EComPort& error);

// The (translated) text of an error number 1 to 23; an empty text for others.
// The catalogue is looked up once, at the first use, so that the program has set
// its locale by then.
const std::string& ComErrorText(int portErrorCode);

// Why the port could not be used, in the operator's words, read from the error
// number and the operating system's code: the device is missing, this user may
// not open it (with the hint to join the dialout group), another program holds
// it, it is no serial device, or it refused the settings. Another operating
// system error gives that system's own text; an error without one gives an
// empty text. Meant as the detail under the program's own failure message.
std::string ComErrorReason(const EComPort& error);

} // namespace cport
