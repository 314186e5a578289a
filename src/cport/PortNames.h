#pragma once

// The machine's serial ports, for the operator to pick from.

#include <cstddef>
#include <string>
#include <vector>

namespace cport {

// Replaces the content of `Strings` with the serial ports of the machine, sorted
// case-insensitively in the user's locale (equal names are all kept). On Linux the
// names are full device paths ("/dev/ttyUSB0"); legacy ports without hardware
// behind them are left out, and no port is opened to find out. On any failure
// `Strings` is left as it was.
void GetSerialPortNames(std::vector<std::string>& Strings);

// The sort used above: case-insensitive, in the collation of the user's locale,
// stable.
void SortPortNames(std::vector<std::string>& names);

// The order of that sort: the indices of `names` in sorted order.
std::vector<std::size_t> PortNameOrder(const std::vector<std::string>& names);

// Linux: lists the ports registered under `sysClassTty` (normally
// /sys/class/tty) as paths in `devDir`. Returns false, leaving `names` untouched,
// when the directory cannot be read.
bool ListSysfsSerialPorts(const std::string& sysClassTty, const std::string& devDir,
                          std::vector<std::string>& names);

} // namespace cport
