// The link of a port: what sysfs tells about its driver, adapter and latency
// timer, what that costs the reply gathering, and the low-latency request.

#include "LinkInfo.h"
#include "RangefinderSimulator.h"
#include "posix/SysfsLink.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace cport {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A sysfs tree in a temporary folder, shaped like the kernel's: devices under
// devices/, their subsystem and driver as links, ttys under class/tty.
class SysfsLinkTree : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/lrf-sysfs-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        root = name;
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path Device(const std::string& path, const std::string& subsystem,
                    const std::string& driver = {},
                    std::vector<std::pair<std::string, std::string>> attributes = {}) {
        const fs::path dir = root / "devices" / path;
        fs::create_directories(dir);
        fs::create_directories(root / "bus" / subsystem / "drivers");
        fs::create_directory_symlink(root / "bus" / subsystem, dir / "subsystem");
        if (!driver.empty()) {
            fs::create_directories(root / "bus" / subsystem / "drivers" / driver);
            fs::create_directory_symlink(root / "bus" / subsystem / "drivers" / driver,
                                         dir / "driver");
        }
        for (const auto& [attribute, value] : attributes)
            std::ofstream(dir / attribute) << value << "\n";
        return dir;
    }
    // The tty `name` whose device is `device`.
    void Tty(const std::string& name, const fs::path& device) {
        const fs::path dir = device / "tty" / name;
        fs::create_directories(dir);
        fs::create_directory_symlink(device, dir / "device");
        fs::create_directories(root / "class" / "tty");
        fs::create_directory_symlink(dir, root / "class" / "tty" / name);
    }

    fs::path root;
};

TEST_F(SysfsLinkTree, ReadsDriverAdapterAndLatencyTimer) {
    Device("pci0/usb1/1-1", "usb", "usb", {{"product", "FT232R USB UART"}});
    Device("pci0/usb1/1-1/1-1:1.0", "usb", "ftdi_sio");
    Tty("ttyUSB0", Device("pci0/usb1/1-1/1-1:1.0/ttyUSB0", "usb-serial", "ftdi_sio",
                          {{"latency_timer", "16"}}));
    Tty("ttyUSB1", Device("pci0/usb1/1-1/1-1:1.0/ttyUSB1", "usb-serial", "ftdi_sio",
                          {{"latency_timer", "sixteen"}}));
    Device("pci0/usb1/1-2", "usb", "usb", {{"product", "Range Finder"}});
    Tty("ttyACM0", Device("pci0/usb1/1-2/1-2:1.0", "usb", "cdc_acm"));
    Tty("ttyS0", Device("platform/serial8250", "platform", "serial8250"));

    struct Case {
        const char* tty;
        LinkKind kind;
        const char* driver;
        const char* adapter;
        std::optional<std::chrono::milliseconds> timer;
        const char* text;
    };
    const Case cases[] = {
        {"ttyUSB0", LinkKind::Usb, "ftdi_sio", "FT232R USB UART", 16ms,
         "ftdi_sio (FT232R USB UART), latency timer 16 ms"},
        {"ttyUSB1", LinkKind::Usb, "ftdi_sio", "FT232R USB UART", std::nullopt,
         "ftdi_sio (FT232R USB UART)"},
        {"ttyACM0", LinkKind::Usb, "cdc_acm", "Range Finder", std::nullopt,
         "cdc_acm (Range Finder)"},
        {"ttyS0", LinkKind::Native, "serial8250", "", std::nullopt, "serial8250"},
        {"pts3", LinkKind::Unknown, "", "", std::nullopt, "unknown link"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tty);
        const LinkInfo link = posix::ReadSysfsLink(root, c.tty);
        EXPECT_EQ(link.Kind, c.kind);
        EXPECT_EQ(link.Driver, c.driver);
        EXPECT_EQ(link.Adapter, c.adapter);
        EXPECT_EQ(link.LatencyTimer, c.timer);
        EXPECT_EQ(LinkText(link), c.text);
    }
    const std::string setting = posix::ReadSysfsLink(root, "ttyUSB0").LatencySetting;
    EXPECT_NE(setting.find("echo 1 > " + (fs::canonical(root) /
                                          "devices/pci0/usb1/1-1/1-1:1.0/ttyUSB0" / "latency_timer")
                                             .string()),
              std::string::npos)
        << setting;
}

// The frame time covers what the link may hold a reply back; the operator is
// told only about a timer above 1 ms, with where to change it.
TEST(LinkCost, AllowanceAndWarningFollowTheLatencyTimer) {
    struct Case {
        LinkKind kind;
        std::optional<std::chrono::milliseconds> timer;
        std::chrono::milliseconds allowance;
        bool warns;
    };
    const Case cases[] = {
        {LinkKind::Native, std::nullopt, 0ms, false},
        {LinkKind::Usb, 1ms, 5ms, false},
        {LinkKind::Usb, 16ms, 20ms, true},
        {LinkKind::Usb, 2ms, 6ms, true},
        {LinkKind::Usb, std::nullopt, 20ms, false},
        {LinkKind::Unknown, std::nullopt, 20ms, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind) * 1000 + (c.timer ? c.timer->count() : -1));
        LinkInfo link;
        link.Kind = c.kind;
        link.LatencyTimer = c.timer;
        link.LatencySetting = "the setting";
        EXPECT_EQ(LinkAllowance(link), c.allowance);
        const std::optional<std::string> warning = LatencyWarning("ttyUSB0", link);
        ASSERT_EQ(warning.has_value(), c.warns);
        if (warning) {
            const std::string ms = std::to_string(c.timer->count()) + " ms";
            EXPECT_EQ(*warning, "ttyUSB0: the adapter's latency timer is " + ms +
                                    ", so each reply may arrive up to " + ms +
                                    " late and runs go slower; set it to 1 ms (the setting)");
        }
    }
}

// A pseudo-terminal has no low-latency mode and no sysfs device: the request
// is refused quietly and the port opens as before.
TEST(LowLatency, APseudoTerminalRefusesQuietly) {
    lrf::sim::RangefinderSimulator sim;
    sim.Start();
    const int fd = ::open(sim.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(posix::RequestLowLatency(fd));
    ::close(fd);
    EXPECT_EQ(ReadLinkInfo(sim.DevicePath()).Kind, LinkKind::Unknown);
    EXPECT_EQ(ReadLinkInfo("/dev/lrf-test-no-such-port").Kind, LinkKind::Unknown);
}

} // namespace
} // namespace cport
