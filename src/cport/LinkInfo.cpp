#include "LinkInfo.h"

namespace cport {

namespace {

// The adapter's default latency timer and what USB scheduling adds to it.
constexpr std::chrono::milliseconds kDefaultLatencyTimer{16};
constexpr std::chrono::milliseconds kUsbScheduling{4};

} // namespace

std::chrono::milliseconds LinkAllowance(const LinkInfo& link) {
    switch (link.Kind) {
    case LinkKind::Native:
        return {};
    case LinkKind::Usb:
        if (link.LatencyTimer)
            return *link.LatencyTimer + kUsbScheduling;
        break;
    case LinkKind::Unknown:
        break;
    }
    return kDefaultLatencyTimer + kUsbScheduling;
}

std::optional<std::string> LatencyWarning(const std::string& port, const LinkInfo& link) {
    if (!link.LatencyTimer || *link.LatencyTimer <= std::chrono::milliseconds(1))
        return std::nullopt;
    const std::string ms = std::to_string(link.LatencyTimer->count());
    std::string text = port + ": the adapter's latency timer is " + ms +
                       " ms, so each reply may arrive up to " + ms +
                       " ms late and runs go slower; set it to 1 ms";
    if (!link.LatencySetting.empty())
        text += " (" + link.LatencySetting + ")";
    return text;
}

std::string LinkText(const LinkInfo& link) {
    std::string text;
    switch (link.Kind) {
    case LinkKind::Unknown:
        text = link.Driver.empty() ? "unknown link" : link.Driver;
        break;
    case LinkKind::Native:
        text = link.Driver.empty() ? "serial port" : link.Driver;
        break;
    case LinkKind::Usb:
        text = link.Driver.empty() ? "USB adapter" : link.Driver;
        break;
    }
    if (!link.Adapter.empty())
        text += " (" + link.Adapter + ")";
    if (link.LatencyTimer)
        text += ", latency timer " + std::to_string(link.LatencyTimer->count()) + " ms";
    return text;
}

} // namespace cport
