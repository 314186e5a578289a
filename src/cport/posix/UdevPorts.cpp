// Serial ports as udev sees them. A port is a tty with a device behind it (not a
// virtual terminal or pseudo-terminal) that is not one of the legacy ttyS slots
// the 8250 driver registers without a UART (`type` 0) — the same choice as the
// sysfs list. The identity comes from the properties udev's rules put on the
// device: vendor, model and serial number, and the /dev/serial/by-id link.

#include "../PortNames.h"
#include "../SerialPorts.h"

#include <libudev.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace cport {

namespace {

namespace fs = std::filesystem;

template <auto Unref> struct UdevDeleter {
    template <typename T> void operator()(T* p) const { Unref(p); }
};
using Udev = std::unique_ptr<udev, UdevDeleter<udev_unref>>;
using UdevDevice = std::unique_ptr<udev_device, UdevDeleter<udev_device_unref>>;
using UdevEnumerate = std::unique_ptr<udev_enumerate, UdevDeleter<udev_enumerate_unref>>;
using UdevMonitorHandle = std::unique_ptr<udev_monitor, UdevDeleter<udev_monitor_unref>>;

constexpr std::string_view kByIdDir = "/dev/serial/by-id/";

std::string property(udev_device* dev, const std::string& name) {
    const char* value = udev_device_get_property_value(dev, name.c_str());
    return value ? value : "";
}

// udev's *_ENC properties keep the device's own spelling with \xHH escapes.
std::string decodeEscapes(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
            const std::string hex = text.substr(i + 2, 2);
            char* end = nullptr;
            const long code = std::strtol(hex.c_str(), &end, 16);
            if (end == hex.c_str() + 2) {
                out += static_cast<char>(code);
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// ID_VENDOR or ID_MODEL in the device's own words where udev has them.
std::string identityText(udev_device* dev, const std::string& key) {
    if (std::string enc = property(dev, key + "_ENC"); !enc.empty())
        return trimmed(decodeEscapes(enc));
    if (std::string plain = property(dev, key); !plain.empty()) {
        for (char& c : plain)
            if (c == '_')
                c = ' ';
        return trimmed(plain);
    }
    return property(dev, key + "_FROM_DATABASE");
}

std::string byIdLink(udev_device* dev) {
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_device_get_devlinks_list_entry(dev)) {
        const std::string link = udev_list_entry_get_name(entry);
        if (link.starts_with(kByIdDir))
            return link;
    }
    // Some databases carry the links only as a property.
    const std::string links = property(dev, "DEVLINKS");
    for (std::size_t pos = 0; pos < links.size();) {
        const std::size_t end = std::min(links.find(' ', pos), links.size());
        const std::string link = links.substr(pos, end - pos);
        if (link.starts_with(kByIdDir))
            return link;
        pos = end + 1;
    }
    return {};
}

SerialPortInfo describe(udev_device* dev) {
    SerialPortInfo info;
    if (const char* node = udev_device_get_devnode(dev))
        info.Path = node;
    info.ById = byIdLink(dev);
    info.Vendor = identityText(dev, "ID_VENDOR");
    info.Model = identityText(dev, "ID_MODEL");
    info.Serial = property(dev, "ID_SERIAL_SHORT");
    info.HotPlugged = udev_device_get_is_initialized(dev) > 0;
    return info;
}

bool isSerialPort(udev_device* dev) {
    if (!udev_device_get_devnode(dev) || !udev_device_get_parent(dev))
        return false;
    const char* type = udev_device_get_sysattr_value(dev, "type");
    if (!type)
        return true;
    char* end = nullptr;
    const long value = std::strtol(type, &end, 10);
    return end == type || value != 0;
}

std::string devicePath(const std::string& name) {
    return name.find('/') == std::string::npos ? "/dev/" + name : name;
}

class UdevMonitor final : public PortMonitor {
public:
    UdevMonitor(Udev context, UdevMonitorHandle monitor)
        : context_(std::move(context))
        , monitor_(std::move(monitor)) {}

    int Fd() const override { return udev_monitor_get_fd(monitor_.get()); }

    std::vector<PortEvent> DrainEvents() override {
        std::vector<PortEvent> events;
        while (UdevDevice dev{udev_monitor_receive_device(monitor_.get())}) {
            const char* action = udev_device_get_action(dev.get());
            const char* node = udev_device_get_devnode(dev.get());
            if (!action || !node)
                continue;
            const std::string_view a(action);
            const PortEvent::Kind kind = a == "add"      ? PortEvent::Added
                                         : a == "remove" ? PortEvent::Removed
                                                         : PortEvent::Changed;
            events.push_back({kind, node});
        }
        return events;
    }

private:
    Udev context_;
    UdevMonitorHandle monitor_;
};

} // namespace

bool ListUdevSerialPorts(std::vector<SerialPortInfo>& ports) {
    Udev context(udev_new());
    if (!context)
        return false;
    UdevEnumerate ttys(udev_enumerate_new(context.get()));
    if (!ttys || udev_enumerate_add_match_subsystem(ttys.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(ttys.get()) < 0)
        return false;
    std::vector<SerialPortInfo> found;
    bool sawAnyTty = false; // none at all: udev cannot see the device tree
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(ttys.get())) {
        sawAnyTty = true;
        UdevDevice dev(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (dev && isSerialPort(dev.get()))
            found.push_back(describe(dev.get()));
    }
    if (!sawAnyTty)
        return false;
    SortPortsByPath(found);
    ports = std::move(found);
    return true;
}

std::vector<SerialPortInfo> ListSerialPorts() {
    std::vector<SerialPortInfo> ports;
    if (ListUdevSerialPorts(ports))
        return ports;
    std::vector<std::string> names;
    GetSerialPortNames(names);
    for (std::string& name : names)
        ports.push_back(PortNamed(std::move(name)));
    return ports;
}

SerialPortInfo IdentifyPort(const std::string& name) {
    const SerialPortInfo unknown = PortNamed(name);
    struct stat st {};
    if (::stat(devicePath(name).c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return unknown;
    Udev context(udev_new());
    if (!context)
        return unknown;
    // The tty whose device number the node carries; pseudo-terminals have none.
    UdevEnumerate ttys(udev_enumerate_new(context.get()));
    if (!ttys || udev_enumerate_add_match_subsystem(ttys.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(ttys.get()) < 0)
        return unknown;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(ttys.get())) {
        UdevDevice dev(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!dev || udev_device_get_devnum(dev.get()) != st.st_rdev)
            continue;
        SerialPortInfo info = describe(dev.get());
        if (info.Path.empty())
            info.Path = name;
        return info;
    }
    return unknown;
}

std::string LocatePort(const SerialPortInfo& port) {
    std::error_code ec;
    if (!port.ById.empty()) {
        const fs::path node = fs::canonical(port.ById, ec);
        return ec ? std::string() : node.string();
    }
    if (port.Path.empty() || !fs::exists(devicePath(port.Path), ec))
        return {};
    return port.Path;
}

std::unique_ptr<PortMonitor> PortMonitor::Open() {
    Udev context(udev_new());
    if (!context)
        return nullptr;
    UdevMonitorHandle monitor(udev_monitor_new_from_netlink(context.get(), "udev"));
    if (!monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0)
        return nullptr;
    return std::make_unique<UdevMonitor>(std::move(context), std::move(monitor));
}

} // namespace cport
