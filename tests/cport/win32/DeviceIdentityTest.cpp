#include "win32/DeviceIdentity.h"

#include <gtest/gtest.h>

namespace cport::win32 {
namespace {

TEST(DeviceIdentity, SerialNumbersFromInstanceIds) {
    const struct {
        const char* id;
        const char* serial;
    } cases[] = {
        {"USB\\VID_0403&PID_6001\\A10K3G5B", "A10K3G5B"},
        {"FTDIBUS\\VID_0403+PID_6001+A10K3G5BA\\0000", "A10K3G5BA"},
        {"USB\\VID_067B&PID_2303\\5&2B3C1A0&0&2", ""}, // made up by the system
        {"ACPI\\PNP0501\\1", ""},                      // a built-in port
        {"USB\\VID_1A86", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SerialFromInstanceId(c.id), c.serial) << c.id;
}

TEST(DeviceIdentity, ListEntryAndRelocation) {
    const std::vector<DeviceIdentity> devices = {
        {"COM3", "USB\\VID_0403&PID_6001\\A10K3G5B", "USB Serial Port (COM3)", "FTDI"},
        {"COM1", "ACPI\\PNP0501\\1", "Communications Port (COM1)", "(Standard port types)"},
    };
    const SerialPortInfo usb = Describe("COM3", devices);
    EXPECT_EQ(usb.Description(), "FTDI USB Serial Port A10K3G5B");
    EXPECT_TRUE(usb.HotPlugged);
    EXPECT_FALSE(Describe("COM1", devices).HotPlugged);
    EXPECT_EQ(Describe("COM9", devices).Description(), "");

    // The adapter comes back under another name: found by its serial number.
    const std::vector<DeviceIdentity> replugged = {
        {"COM7", "USB\\VID_0403&PID_6001\\A10K3G5B", "USB Serial Port (COM7)", "FTDI"}};
    EXPECT_EQ(Locate(usb, {"COM1", "COM7"}, replugged), "COM7");
    EXPECT_EQ(Locate(usb, {"COM1", "COM3"}, {}), ""); // absent, even though COM3 is listed
    EXPECT_EQ(Locate(PortNamed("COM1"), {"COM1"}, {}), "COM1");
    EXPECT_EQ(Locate(PortNamed("COM2"), {"COM1"}, {}), "");
}

} // namespace
} // namespace cport::win32
