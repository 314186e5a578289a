// The adapter's latency timer from the registry, over a scratch key laid out as
// the adapter driver lays out its enumeration key.

#include "win32/LinkInfoWin32.h"

#include <gtest/gtest.h>

#include <string>

namespace cport::win32 {
namespace {

class AdapterRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        enumKey_ = "Software\\LrfLinkInfoTest" + std::to_string(GetCurrentProcessId());
        RegDeleteTreeA(HKEY_CURRENT_USER, enumKey_.c_str());
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, enumKey_.c_str()); }

    // One adapter with its port name and, where given, its latency timer.
    void addAdapter(const std::string& id, const std::string& port, const DWORD* timer) {
        const std::string instance = enumKey_ + "\\" + id + "\\0000";
        setText(instance, "FriendlyName", "USB Serial Port (" + port + ")");
        const std::string parameters = instance + "\\Device Parameters";
        setText(parameters, "PortName", port);
        if (timer) {
            HKEY key = open(parameters);
            RegSetValueExA(key, "LatencyTimer", 0, REG_DWORD, reinterpret_cast<const BYTE*>(timer),
                           sizeof *timer);
            RegCloseKey(key);
        }
    }

    LinkInfo read(const std::string& port) {
        return ReadAdapterLink(HKEY_CURRENT_USER, enumKey_.c_str(), port);
    }

private:
    static HKEY open(const std::string& path) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    static void setText(const std::string& path, const char* name, const std::string& text) {
        HKEY key = open(path);
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
        RegCloseKey(key);
    }

    std::string enumKey_;
};

TEST_F(AdapterRegistry, FindsThePortsAdapterAndItsTimer) {
    const DWORD sixteen = 16, one = 1;
    addAdapter("VID_0403+PID_6001+A10K3G5BA", "COM3", &sixteen);
    addAdapter("VID_0403+PID_6015+DN01ABCDA", "COM7", &one);
    addAdapter("VID_0403+PID_6001+B20000000A", "COM9", nullptr);

    const LinkInfo com3 = read("com3");
    EXPECT_EQ(com3.Kind, LinkKind::Usb);
    EXPECT_EQ(com3.Adapter, "USB Serial Port (COM3)");
    EXPECT_EQ(com3.LatencyTimer, std::chrono::milliseconds(16));
    ASSERT_TRUE(LatencyWarning("COM3", com3));
    EXPECT_NE(LatencyWarning("COM3", com3)->find("Advanced, Latency Timer"), std::string::npos);

    EXPECT_EQ(read("COM7").LatencyTimer, std::chrono::milliseconds(1));
    EXPECT_FALSE(LatencyWarning("COM7", read("COM7")));
    EXPECT_EQ(read("COM9").Kind, LinkKind::Usb);
    EXPECT_FALSE(read("COM9").LatencyTimer);
    EXPECT_EQ(read("COM1").Kind, LinkKind::Unknown); // not an adapter of that driver
}

} // namespace
} // namespace cport::win32
