#pragma once

// The machine's serial ports with what the system knows about the device behind
// each, and notice of ports that come and go. On Linux both come from udev; where
// udev cannot be reached the list is the sysfs one, without identities, and no
// notices come. On Windows the list holds the registered names only.

#include <memory>
#include <string>
#include <vector>

namespace cport {

struct SerialPortInfo {
    std::string Path;   // the device node ("/dev/ttyUSB0"), or the name as given
    std::string ById;   // its stable name ("/dev/serial/by-id/usb-FTDI_…-port0"), or empty
    std::string Vendor; // "FTDI"
    std::string Model;  // "FT232R USB UART"
    std::string Serial; // "A10K3G5B"
    // The device manager has set the device up and announces its removal and
    // return (a pseudo-terminal or a device in a container without udev: false).
    bool HotPlugged = false;

    // Vendor, model and serial number, as the stable name shows them
    // ("FTDI FT232R USB UART A10K3G5B"); empty when nothing is known.
    std::string Description() const;

    bool operator==(const SerialPortInfo&) const = default;
};

// A port known by its name only.
inline SerialPortInfo PortNamed(std::string name) {
    SerialPortInfo port;
    port.Path = std::move(name);
    return port;
}

// The ports of the machine, in the order of GetSerialPortNames (by path).
std::vector<SerialPortInfo> ListSerialPorts();

// Sorts ports by path as GetSerialPortNames sorts names.
void SortPortsByPath(std::vector<SerialPortInfo>& ports);

// The udev part of the list above. Returns false, leaving `ports` untouched, when
// udev cannot enumerate devices.
bool ListUdevSerialPorts(std::vector<SerialPortInfo>& ports);

// What the device manager knows about the device that `name` opens (a node or a
// link to one). With nothing known, Path is `name` and the rest is empty.
SerialPortInfo IdentifyPort(const std::string& name);

// Where the device described by `port` can be opened now: the node its stable name
// leads to when it has one (the same device, whatever node it was given this
// time), otherwise Path while it exists. Empty while the device is absent.
std::string LocatePort(const SerialPortInfo& port);

struct PortEvent {
    enum Kind { Added, Removed, Changed };
    Kind kind = Changed;
    std::string Path; // the device node
};

// Notice of serial ports that are plugged in, removed or changed. The program's
// event loop watches Fd() and calls DrainEvents() when it becomes readable.
class PortMonitor {
public:
    // A monitor of the platform's device manager, or nullptr where there is none.
    static std::unique_ptr<PortMonitor> Open();

    virtual ~PortMonitor() = default;
    // Readable while events wait.
    virtual int Fd() const = 0;
    // Takes every waiting event without blocking.
    virtual std::vector<PortEvent> DrainEvents() = 0;
};

} // namespace cport
