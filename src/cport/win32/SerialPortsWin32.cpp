// The Windows port list: the registered names (SERIALCOMM), each with what the
// device manager knows about the device behind it (SetupAPI: friendly name,
// maker, and for USB adapters the serial number from the device's instance id).
// Ports that come and go are told to the program's windows by the system
// (WM_DEVICECHANGE), not through a monitor of this component.

#include "../PortNames.h"
#include "../SerialPorts.h"
#include "DeviceIdentity.h"

#include "WindowsApi.h"

#include <initguid.h>

#include <devguid.h>
#include <setupapi.h>

#include <algorithm>

namespace cport {

namespace win32 {

namespace {

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string out(static_cast<std::size_t>(size - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

std::string DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA& info, DWORD property) {
    wchar_t buffer[512] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &info, property, &type,
                                           reinterpret_cast<BYTE*>(buffer), sizeof buffer - 2,
                                           nullptr) ||
        (type != REG_SZ && type != REG_MULTI_SZ))
        return {};
    return Utf8(buffer);
}

std::string PortNameOf(HDEVINFO set, SP_DEVINFO_DATA& info) {
    HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return {};
    wchar_t name[256] = {};
    DWORD size = sizeof name - 2;
    DWORD type = 0;
    const LONG r =
        RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS && type == REG_SZ ? Utf8(name) : std::string();
}

} // namespace

std::vector<DeviceIdentity> ListPortDevices() {
    std::vector<DeviceIdentity> devices;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return devices;
    for (DWORD i = 0;; ++i) {
        SP_DEVINFO_DATA info{};
        info.cbSize = sizeof info;
        if (!SetupDiEnumDeviceInfo(set, i, &info))
            break;
        DeviceIdentity device;
        device.port = PortNameOf(set, info);
        if (device.port.empty())
            continue;
        wchar_t id[512] = {};
        if (SetupDiGetDeviceInstanceIdW(set, &info, id, 511, nullptr))
            device.instanceId = Utf8(id);
        device.friendlyName = DeviceProperty(set, info, SPDRP_FRIENDLYNAME);
        device.maker = DeviceProperty(set, info, SPDRP_MFG);
        devices.push_back(std::move(device));
    }
    SetupDiDestroyDeviceInfoList(set);
    return devices;
}

} // namespace win32

bool ListUdevSerialPorts(std::vector<SerialPortInfo>&) {
    return false;
}

std::vector<SerialPortInfo> ListSerialPorts() {
    std::vector<std::string> names;
    GetSerialPortNames(names);
    const std::vector<win32::DeviceIdentity> devices = win32::ListPortDevices();
    std::vector<SerialPortInfo> ports;
    for (std::string& name : names)
        ports.push_back(win32::Describe(std::move(name), devices));
    return ports;
}

SerialPortInfo IdentifyPort(const std::string& name) {
    return win32::Describe(name, win32::ListPortDevices());
}

std::string LocatePort(const SerialPortInfo& port) {
    std::vector<std::string> names;
    GetSerialPortNames(names);
    return win32::Locate(port, names, win32::ListPortDevices());
}

std::unique_ptr<PortMonitor> PortMonitor::Open() {
    return nullptr;
}

} // namespace cport
