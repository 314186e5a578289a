#pragma once

// What the Windows device manager tells about the device behind a port name,
// and how a port list entry and a port found again are made from it. The
// parsing is plain text work, apart from the SetupAPI calls that gather it.

#include "../SerialPorts.h"

#include <string>
#include <vector>

namespace cport::win32 {

struct DeviceIdentity {
    std::string port;         // "COM3"
    std::string instanceId;   // "USB\VID_0403&PID_6001\A10K3G5B"
    std::string friendlyName; // "USB Serial Port (COM3)"
    std::string maker;        // "FTDI"
};

// The devices of the ports class that are present now (SetupAPI).
std::vector<DeviceIdentity> ListPortDevices();

// The serial number in a device instance id: the last part of a USB id whose
// device reports one ("USB\VID_0403&PID_6001\A10K3G5B"), or the third field of
// an FTDI bus id ("FTDIBUS\VID_0403+PID_6001+A10K3G5BA\0000"); empty where the
// system made the part up (it then holds '&').
std::string SerialFromInstanceId(const std::string& instanceId);

// The friendly name without the port name the system appends to it.
std::string ModelFromFriendlyName(const std::string& friendlyName, const std::string& port);

// The list entry of the port `name` with the identity of its device, if known.
SerialPortInfo Describe(std::string name, const std::vector<DeviceIdentity>& devices);

// Where the device of `port` can be opened now: the port of the device with the
// same serial number, else the port's own name while it is registered; empty
// while it is absent.
std::string Locate(const SerialPortInfo& port, const std::vector<std::string>& names,
                   const std::vector<DeviceIdentity>& devices);

} // namespace cport::win32
