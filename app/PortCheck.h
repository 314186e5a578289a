#pragma once

// A check of a serial port without the windows: for scripts, installers and
// support, who want to know whether the program can use a port, and why not.

#include <string>

namespace lrf {

struct PortCheckResult {
    bool opened = false;
    std::string text; // "opened", or the serial component's (translated) error text
};

// Opens `port` with the settings the main window starts with (19200 baud, 8 data
// bits, no parity, one stop bit) and closes it again.
PortCheckResult CheckPort(const std::string& port);

} // namespace lrf
