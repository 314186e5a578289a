#pragma once

// The link of a Linux serial port as sysfs describes it, and the driver's
// low-latency mode.

#include "../LinkInfo.h"

#include <filesystem>
#include <string>

namespace cport::posix {

// The link of the tty called `ttyName` (ttyUSB0) in the sysfs tree at `sysRoot`
// (/sys): its driver, whether a USB device lies above it, the adapter's product
// name and the latency timer of the first device above it that has one.
LinkInfo ReadSysfsLink(const std::filesystem::path& sysRoot, const std::string& ttyName);

// Asks the driver of the open terminal `fd` to hand on received bytes at once
// (for USB-serial adapters: a 1 ms latency timer). True when the driver has the
// mode on afterwards; a driver or pseudo-terminal without it is no error.
bool RequestLowLatency(int fd);

} // namespace cport::posix
