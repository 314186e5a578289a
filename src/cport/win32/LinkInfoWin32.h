#pragma once

// The latency timer of a USB-serial adapter's port, as its driver keeps it in
// the registry: one key per adapter under the driver's bus enumerator, with the
// port's name and its timer among the device parameters.

#include "../LinkInfo.h"
#include "WindowsApi.h"

#include <string>

namespace cport::win32 {

// The registry path below HKEY_LOCAL_MACHINE where that driver lists its adapters.
inline constexpr const char* kAdapterEnumKey = "SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS";

// The link of `portName` (COM3) from the adapters listed under `root`\`enumKey`;
// an unknown link when no adapter there has that port.
LinkInfo ReadAdapterLink(HKEY root, const char* enumKey, const std::string& portName);

} // namespace cport::win32
