// Serial ports from sysfs: every tty class entry backed by a device is a port,
// except serial_core ports whose `type` is 0 (PORT_UNKNOWN): the legacy ttyS
// slots that the 8250 driver registers whether or not a UART is there. Nothing
// is opened, so probing never disturbs a device or waits on one.

#include "../PortNames.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace cport {

namespace fs = std::filesystem;

namespace {

bool isPhantomLegacyPort(const fs::path& entry) {
    std::ifstream type(entry / "type");
    int value = -1;
    return type && (type >> value) && value == 0;
}

} // namespace

bool ListSysfsSerialPorts(const std::string& sysClassTty, const std::string& devDir,
                          std::vector<std::string>& names) {
    std::error_code ec;
    fs::directory_iterator it(sysClassTty, ec);
    if (ec)
        return false;
    std::vector<std::string> found;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            return false;
        const fs::path entry = it->path();
        std::error_code ignored;
        if (!fs::exists(entry / "device", ignored))
            continue; // virtual terminals, pseudo-terminals, the console
        if (isPhantomLegacyPort(entry))
            continue;
        found.push_back((fs::path(devDir) / entry.filename()).string());
    }
    if (ec)
        return false;
    SortPortNames(found);
    names = std::move(found);
    return true;
}

void GetSerialPortNames(std::vector<std::string>& Strings) {
    ListSysfsSerialPorts("/sys/class/tty", "/dev", Strings);
}

} // namespace cport
