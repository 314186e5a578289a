// The serial ports that Windows has registered: the values under
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM hold the device names ("COM1").

#include "PortNamesWin32.h"

#include "../PortNames.h"

#include <cstring>

namespace cport {

namespace win32 {

namespace {

constexpr DWORD kBufferUnits = 256;

class RegistryKey {
public:
    explicit RegistryKey(HKEY key)
        : key_(key) {}
    ~RegistryKey() { RegCloseKey(key_); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY get() const { return key_; }

private:
    HKEY key_;
};

} // namespace

bool ReadRegisteredPortNames(HKEY root, const char* subKey, std::vector<std::string>& names) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegistryKey key(opened);

    std::vector<std::string> found;
    for (DWORD index = 0;; ++index) {
        char name[kBufferUnits];
        BYTE data[kBufferUnits];
        DWORD nameSize = kBufferUnits;
        DWORD dataSize = kBufferUnits;
        DWORD type = 0;
        const LONG r =
            RegEnumValueA(key.get(), index, name, &nameSize, nullptr, &type, data, &dataSize);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        if (r != ERROR_SUCCESS)
            return false; // never a partial list
        // The data is text up to its terminating null; data that fills the buffer
        // without one ends at the buffer's end.
        const char* text = reinterpret_cast<const char*>(data);
        found.emplace_back(text, strnlen(text, dataSize));
    }
    SortPortNames(found);
    names = std::move(found);
    return true;
}

} // namespace win32

void GetSerialPortNames(std::vector<std::string>& Strings) {
    win32::ReadRegisteredPortNames(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", Strings);
}

} // namespace cport
