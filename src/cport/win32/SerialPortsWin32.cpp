// Windows keeps no identities with its registered port names, and the program
// is not told of ports that come and go: the list is the registered names.

#include "../PortNames.h"
#include "../SerialPorts.h"

namespace cport {

bool ListUdevSerialPorts(std::vector<SerialPortInfo>&) {
    return false;
}

std::vector<SerialPortInfo> ListSerialPorts() {
    std::vector<std::string> names;
    GetSerialPortNames(names);
    std::vector<SerialPortInfo> ports;
    for (std::string& name : names)
        ports.push_back(PortNamed(std::move(name)));
    return ports;
}

SerialPortInfo IdentifyPort(const std::string& name) {
    return PortNamed(name);
}

std::string LocatePort(const SerialPortInfo& port) {
    return port.Path;
}

std::unique_ptr<PortMonitor> PortMonitor::Open() {
    return nullptr;
}

} // namespace cport
