#pragma once

// A check of a serial port without the windows: for scripts, installers and
// support, who want to know whether the program can use a port, and why not,
// and what the link to the instrument costs each shot.

#include <string>

namespace lrf {

struct PortCheckResult {
    bool opened = false;
    // "opened", or the serial component's (translated) error text. An opened
    // port adds a line with the link ("link: ...") and, for a slow adapter
    // latency timer, one with the advice ("warning: ...").
    std::string text;
};

// Opens `port` with the settings the main window starts with (19200 baud, 8 data
// bits, no parity, one stop bit), times a few distance shots where an instrument
// answers, and closes it again.
PortCheckResult CheckPort(const std::string& port);

} // namespace lrf
