#include "DeviceIdentity.h"

#include <algorithm>

namespace cport::win32 {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

} // namespace

std::string SerialFromInstanceId(const std::string& instanceId) {
    const std::vector<std::string> parts = Split(instanceId, '\\');
    if (parts.size() < 3)
        return {};
    if (StartsWith(parts[0], "FTDIBUS")) {
        const std::vector<std::string> fields = Split(parts[1], '+');
        return fields.size() >= 3 ? fields[2] : std::string();
    }
    if (StartsWith(parts[0], "USB") && parts[2].find('&') == std::string::npos)
        return parts[2];
    return {};
}

std::string ModelFromFriendlyName(const std::string& friendlyName, const std::string& port) {
    const std::string suffix = " (" + port + ")";
    if (friendlyName.size() > suffix.size() &&
        friendlyName.compare(friendlyName.size() - suffix.size(), suffix.size(), suffix) == 0)
        return friendlyName.substr(0, friendlyName.size() - suffix.size());
    return friendlyName;
}

SerialPortInfo Describe(std::string name, const std::vector<DeviceIdentity>& devices) {
    SerialPortInfo port = PortNamed(std::move(name));
    const auto device = std::find_if(devices.begin(), devices.end(),
                                     [&](const DeviceIdentity& d) { return d.port == port.Path; });
    if (device == devices.end())
        return port;
    port.Vendor = device->maker;
    port.Model = ModelFromFriendlyName(device->friendlyName, port.Path);
    port.Serial = SerialFromInstanceId(device->instanceId);
    // Plug-and-play buses announce removal and return; a built-in port does not.
    port.HotPlugged =
        StartsWith(device->instanceId, "USB") || StartsWith(device->instanceId, "FTDIBUS");
    return port;
}

std::string Locate(const SerialPortInfo& port, const std::vector<std::string>& names,
                   const std::vector<DeviceIdentity>& devices) {
    if (!port.Serial.empty()) {
        for (const DeviceIdentity& device : devices)
            if (SerialFromInstanceId(device.instanceId) == port.Serial)
                return device.port;
        return {};
    }
    return std::find(names.begin(), names.end(), port.Path) != names.end() ? port.Path
                                                                           : std::string();
}

} // namespace cport::win32
