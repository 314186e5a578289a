// The udev side of the port list, over a fake device tree: the test runs with
// umockdev's preload library, which shows libudev a sysfs tree and uevents that
// the test makes.

#include "SerialPorts.h"

#include <gtest/gtest.h>
#include <umockdev.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace cport {
namespace {

class FakeUdev : public ::testing::Test {
protected:
    void SetUp() override {
        const char* preload = getenv("LD_PRELOAD");
        if (!preload || !strstr(preload, "umockdev-preload"))
            GTEST_SKIP() << "needs umockdev's preload library (LD_PRELOAD)";
        bed = umockdev_testbed_new();
    }
    void TearDown() override {
        if (bed)
            g_object_unref(bed);
    }

    // A device with a parent, sysfs attributes and udev properties, each list
    // alternating names and values.
    std::string Add(const char* subsystem, const char* name, const std::string& parent,
                    std::vector<const char*> attributes, std::vector<const char*> properties) {
        attributes.push_back(nullptr);
        properties.push_back(nullptr);
        gchar* path = umockdev_testbed_add_devicev(
            bed, subsystem, name, parent.empty() ? nullptr : parent.c_str(),
            const_cast<gchar**>(attributes.data()), const_cast<gchar**>(properties.data()));
        std::string syspath = path ? path : "";
        g_free(path);
        return syspath;
    }

    // A port whose node a program can stat, as udev's own database describes it.
    void AddWithNode(const std::string& description) {
        GError* error = nullptr;
        ASSERT_TRUE(umockdev_testbed_add_from_string(bed, description.c_str(), &error))
            << (error ? error->message : "");
    }

    UMockdevTestbed* bed = nullptr;
};

TEST_F(FakeUdev, ListsRealPortsWithWhatTheyAre) {
    const std::string usb = Add("usb", "1-1", "", {"idVendor", "0403"}, {});
    Add("tty", "ttyUSB0", usb, {},
        {"DEVNAME", "/dev/ttyUSB0", "ID_VENDOR", "FTDI", "ID_VENDOR_ENC", "FTDI\\x20Ltd",
         "ID_MODEL", "FT232R_USB_UART", "ID_SERIAL_SHORT", "A10K3G5B", "DEVLINKS",
         "/dev/serial/by-path/pci-0:1.0-port0 "
         "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3G5B-if00-port0"});
    const std::string acm = Add("usb", "1-2", "", {}, {});
    Add("tty", "ttyACM0", acm, {},
        {"DEVNAME", "/dev/ttyACM0", "ID_VENDOR", "Laser_Works", "ID_MODEL_FROM_DATABASE",
         "Range Finder"});
    const std::string uart = Add("platform", "serial8250", "", {}, {});
    Add("tty", "ttyS0", uart, {"type", "4"}, {"DEVNAME", "/dev/ttyS0"});
    Add("tty", "ttyS1", uart, {"type", "0"}, {"DEVNAME", "/dev/ttyS1"}); // no UART there
    Add("tty", "tty1", "", {}, {"DEVNAME", "/dev/tty1"});                // a virtual terminal

    std::vector<SerialPortInfo> ports{PortNamed("old")};
    ASSERT_TRUE(ListUdevSerialPorts(ports));
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].Path, "/dev/ttyACM0");
    EXPECT_EQ(ports[0].Description(), "Laser Works Range Finder");
    EXPECT_EQ(ports[1].Path, "/dev/ttyS0");
    EXPECT_EQ(ports[1].Description(), "");
    EXPECT_EQ(ports[2].Path, "/dev/ttyUSB0");
    EXPECT_EQ(ports[2].ById, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3G5B-if00-port0");
    EXPECT_EQ(ports[2].Description(), "FTDI Ltd FT232R USB UART A10K3G5B");
    EXPECT_EQ(ListSerialPorts(), ports);
}

TEST_F(FakeUdev, IdentifiesTheDeviceANameOpens) {
    AddWithNode("P: /devices/usb1/1-1/ttyUSB3\n"
                "N: ttyUSB3\n"
                "E: DEVNAME=/dev/ttyUSB3\n"
                "E: SUBSYSTEM=tty\n"
                "E: MAJOR=188\n"
                "E: MINOR=3\n"
                "E: ID_VENDOR=Prolific\n"
                "E: ID_MODEL=USB-Serial_Controller\n"
                "E: ID_SERIAL_SHORT=0042\n"
                "E: DEVLINKS=/dev/serial/by-id/usb-Prolific_USB-Serial_Controller_0042-if00\n"
                "A: dev=188:3\n");
    for (const char* name : {"/dev/ttyUSB3", "ttyUSB3"}) {
        SCOPED_TRACE(name);
        const SerialPortInfo info = IdentifyPort(name);
        EXPECT_EQ(info.Path, "/dev/ttyUSB3");
        EXPECT_EQ(info.ById, "/dev/serial/by-id/usb-Prolific_USB-Serial_Controller_0042-if00");
        EXPECT_EQ(info.Description(), "Prolific USB-Serial Controller 0042");
    }

    // A pseudo-terminal, or a name nothing answers to, is known by its name only.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string pty = ptsname(master);
    for (const std::string& name : {pty, std::string("/dev/no-such-port")}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(IdentifyPort(name), PortNamed(name));
    }
    close(master);
}

TEST_F(FakeUdev, MonitorReportsSerialPortsComingAndGoing) {
    std::unique_ptr<PortMonitor> monitor = PortMonitor::Open();
    ASSERT_TRUE(monitor);
    auto drainWhenReadable = [&] {
        pollfd p{monitor->Fd(), POLLIN, 0};
        EXPECT_EQ(poll(&p, 1, 5000), 1);
        return monitor->DrainEvents();
    };

    const std::string usb = Add("usb", "2-1", "", {}, {}); // not a tty: not reported
    const std::string tty = Add("tty", "ttyUSB1", usb, {}, {"DEVNAME", "/dev/ttyUSB1"});
    std::vector<PortEvent> events = drainWhenReadable();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, PortEvent::Added);
    EXPECT_EQ(events[0].Path, "/dev/ttyUSB1");
    EXPECT_TRUE(monitor->DrainEvents().empty());

    umockdev_testbed_uevent(bed, tty.c_str(), "remove");
    events = drainWhenReadable();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, PortEvent::Removed);
    EXPECT_EQ(events[0].Path, "/dev/ttyUSB1");
}

} // namespace
} // namespace cport
