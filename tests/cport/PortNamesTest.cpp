// The port list from a sysfs-like directory tree in a temporary directory.

#include "PortNames.h"
#include "SerialPorts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace cport {
namespace {

namespace fs = std::filesystem;

class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("cport-sysfs-" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "devices");
    }
    void TearDown() override { fs::remove_all(root); }

    // A tty entry; with hardware it links to a device, `type` as serial_core has it.
    void AddTty(const std::string& name, bool device, const char* type = nullptr) {
        fs::create_directories(root / "tty" / name);
        if (device) {
            fs::create_directories(root / "devices" / name);
            fs::create_directory_symlink(root / "devices" / name, root / "tty" / name / "device");
        }
        if (type)
            std::ofstream(root / "tty" / name / "type") << type << "\n";
    }

    fs::path root;
};

TEST_F(FakeSysfs, ListsRealPortsAsSortedPaths) {
    AddTty("ttyS0", true, "4");
    AddTty("ttyS1", true, "0"); // legacy slot without a UART
    AddTty("ttyS2", true, "0");
    AddTty("ttyUSB0", true);
    AddTty("ttyACM0", true);
    AddTty("tty1", false); // a virtual terminal
    AddTty("ptmx", false);
    std::vector<std::string> names{"old"};
    ASSERT_TRUE(ListSysfsSerialPorts((root / "tty").string(), "/dev", names));
    const std::vector<std::string> expected{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB0"};
    EXPECT_EQ(names, expected);
}

TEST_F(FakeSysfs, NoPortsEmptiesTheList) {
    AddTty("tty1", false);
    std::vector<std::string> names{"old"};
    ASSERT_TRUE(ListSysfsSerialPorts((root / "tty").string(), "/dev", names));
    EXPECT_TRUE(names.empty());
}

TEST_F(FakeSysfs, UnreadableDirectoryLeavesTheListAlone) {
    std::vector<std::string> names{"keep", "these"};
    EXPECT_FALSE(ListSysfsSerialPorts((root / "missing").string(), "/dev", names));
    EXPECT_EQ(names, (std::vector<std::string>{"keep", "these"}));
}

TEST(PortNameOrder, TextOrderIgnoringCaseAndKeepingEqualNames) {
    struct Case {
        std::vector<std::string> given, sorted;
    };
    const Case cases[] = {
        {{"COM2", "COM10", "COM1"}, {"COM1", "COM10", "COM2"}},
        {{"com2", "COM1"}, {"COM1", "com2"}},
        {{"ttyusb0", "ttyUSB0", "ttyACM0"}, {"ttyACM0", "ttyusb0", "ttyUSB0"}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        auto names = c.given;
        SortPortNames(names);
        EXPECT_EQ(names, c.sorted);
    }
}

TEST(PortNameOrder, TheMachinesOwnListIsSortedPaths) {
    std::vector<std::string> names;
    GetSerialPortNames(names);
    for (const auto& n : names)
        EXPECT_EQ(n.rfind("/dev/", 0), 0u) << n;
    auto sorted = names;
    SortPortNames(sorted);
    EXPECT_EQ(names, sorted);
}

} // namespace
} // namespace cport

namespace cport {
namespace {

// Where a vanished device is looked for: behind its stable name when it has one
// (never at its old node, which another device may have taken), else at its path.
TEST_F(FakeSysfs, LocatesAVanishedDeviceByItsStableNameOrItsPath) {
    const fs::path node = root / "ttyUSB1";        // the node the device has now
    const fs::path oldNode = root / "ttyUSB0";     // another device took it
    const fs::path byId = root / "usb-Laser-if00"; // the stable name
    const fs::path typed = root / "instrument";    // a link the operator opened
    std::ofstream(node.string()) << "";
    std::ofstream(oldNode.string()) << "";
    fs::create_symlink(node, byId);
    fs::create_symlink(node, typed);
    fs::create_symlink(root / "gone", root / "dangling");
    struct Case {
        const char* what;
        std::string path, byId, expected;
    };
    const Case cases[] = {
        {"stable name, new node", oldNode.string(), byId.string(), fs::canonical(node).string()},
        {"stable name absent", oldNode.string(), (root / "usb-Other").string(), ""},
        {"stable name dangling", oldNode.string(), (root / "dangling").string(), ""},
        {"path only, present", typed.string(), "", typed.string()},
        {"path only, dangling link", (root / "dangling").string(), "", ""},
        {"path only, absent", (root / "ttyACM9").string(), "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SerialPortInfo port = PortNamed(c.path);
        port.ById = c.byId;
        EXPECT_EQ(LocatePort(port), c.expected);
    }
}

} // namespace
} // namespace cport
