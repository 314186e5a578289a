#include "SerialPorts.h"

#include "PortNames.h"

namespace cport {

std::string SerialPortInfo::Description() const {
    std::string text;
    for (const std::string* part : {&Vendor, &Model, &Serial}) {
        if (part->empty())
            continue;
        if (!text.empty())
            text += ' ';
        text += *part;
    }
    return text;
}

void SortPortsByPath(std::vector<SerialPortInfo>& ports) {
    std::vector<std::string> paths;
    paths.reserve(ports.size());
    for (const SerialPortInfo& port : ports)
        paths.push_back(port.Path);
    std::vector<SerialPortInfo> sorted;
    sorted.reserve(ports.size());
    for (std::size_t i : PortNameOrder(paths))
        sorted.push_back(std::move(ports[i]));
    ports = std::move(sorted);
}

} // namespace cport
