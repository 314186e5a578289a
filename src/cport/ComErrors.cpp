#include "ComErrors.h"

#include "ComTexts.h"

#include <array>
#include <cstdio>
#include <mutex>

namespace cport {

namespace {

constexpr std::array<const char*, 23> kTexts{
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};

constexpr const char* kOsErrorSuffix = " (win error code: %d)";

const std::array<std::string, 23>& translatedTexts() {
    static std::array<std::string, 23> texts;
    static std::once_flag once;
    std::call_once(once, [] {
        for (std::size_t i = 0; i < kTexts.size(); ++i)
            texts[i] = Translate(kTexts[i]);
    });
    return texts;
}

std::string composeMessage(int portErrorCode, int osErrorCode) {
    std::string message = ComErrorText(portErrorCode);
    if (osErrorCode != -1) {
        const std::string suffix = Translate(kOsErrorSuffix);
        char buffer[256];
        std::snprintf(buffer, sizeof buffer, suffix.c_str(), osErrorCode);
        message += buffer;
    }
    return message;
}

} // namespace

const std::string& ComErrorText(int portErrorCode) {
    static const std::string empty;
    if (portErrorCode < 1 || portErrorCode > 23)
        return empty;
    return translatedTexts()[static_cast<std::size_t>(portErrorCode - 1)];
}

EComPort::EComPort(int portErrorCode, int osErrorCode)
    : std::runtime_error(composeMessage(portErrorCode, osErrorCode))
    , osErrorCode_(osErrorCode)
    , portErrorCode_(portErrorCode) {}

} // namespace cport
