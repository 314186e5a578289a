#pragma once

// What lies between the program and the instrument: the port's driver, the
// USB-serial adapter where there is one, and the adapter's latency timer, which
// holds received bytes back until it runs out or the adapter's buffer fills.

#include <chrono>
#include <optional>
#include <string>

namespace cport {

enum class LinkKind {
    Unknown, // a pseudo-terminal, a network bridge, or nothing could be read
    Native,  // a UART on the machine: bytes come as they arrive
    Usb      // a USB-serial adapter
};

struct LinkInfo {
    LinkKind Kind = LinkKind::Unknown;
    std::string Driver;  // e.g. the kernel driver's name; empty where unknown
    std::string Adapter; // the adapter's product name where it tells one
    std::optional<std::chrono::milliseconds> LatencyTimer;
    std::string LatencySetting; // where the latency timer is changed (a file, a dialog)
};

// The link of `port` (a name or a path as the port is opened with). Never throws:
// what cannot be read stays unknown.
LinkInfo ReadLinkInfo(const std::string& port);

// How long a reply may be held back beyond its time on the line: the latency
// timer and USB scheduling for an adapter whose timer is known, nothing for a
// UART, and a safe margin for anything else (an adapter at its default timer).
std::chrono::milliseconds LinkAllowance(const LinkInfo& link);

// The operator's advice when the latency timer is above 1 ms: what it costs and
// how to set it; nothing otherwise.
std::optional<std::string> LatencyWarning(const std::string& port, const LinkInfo& link);

// "ftdi_sio (FT232R USB UART), latency timer 16 ms" and the like.
std::string LinkText(const LinkInfo& link);

} // namespace cport
