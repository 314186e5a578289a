#include "win32/PortNamesWin32.h"
#include "PortNames.h"

#include "TestPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace cport::win32 {
namespace {

// A scratch key under HKEY_CURRENT_USER, removed again by the fixture.
class RegisteredPortNames : public ::testing::Test {
protected:
    void SetUp() override {
        subKey_ = "Software\\LrfPortNamesTest" + std::to_string(GetCurrentProcessId());
        RegDeleteTreeA(HKEY_CURRENT_USER, subKey_.c_str());
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, subKey_.c_str()); }

    void makeKey(const std::vector<std::pair<std::string, std::string>>& values) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, subKey_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        for (const auto& [name, data] : values)
            ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(data.c_str()),
                                     static_cast<DWORD>(data.size() + 1)),
                      ERROR_SUCCESS);
        RegCloseKey(key);
    }

    bool read(std::vector<std::string>& names) {
        return ReadRegisteredPortNames(HKEY_CURRENT_USER, subKey_.c_str(), names);
    }

    std::string subKey_;
};

TEST_F(RegisteredPortNames, ListsSortedOrLeavesTheListAlone) {
    const std::vector<std::string> before{"previous"};
    struct Case {
        const char* name;
        bool makeKey;
        std::vector<std::pair<std::string, std::string>> values;
        bool ok;
        std::vector<std::string> expected;
    };
    const std::string longData(300, 'C');
    const std::string longName(300, 'n');
    const Case cases[] = {
        {"missing key", false, {}, false, before},
        {"key without values empties the list", true, {}, true, {}},
        {"text order, not numeric",
         true,
         {{"\\Device\\Serial0", "COM1"},
          {"\\Device\\Serial1", "COM2"},
          {"\\Device\\Serial9", "COM10"}},
         true,
         {"COM1", "COM10", "COM2"}},
        {"letter case is ignored and both are kept",
         true,
         {{"a", "com3"}, {"b", "COM3"}, {"c", "COM1"}},
         true,
         {"COM1", "com3", "COM3"}},
        {"data too long for the buffer", true, {{"a", "COM1"}, {"b", longData}}, false, before},
        {"value name too long for the buffer",
         true,
         {{"a", "COM1"}, {longName, "COM2"}},
         false,
         before},
        {"data of 255 characters still fits",
         true,
         {{"a", std::string(255, 'D')}},
         true,
         {std::string(255, 'D')}},
    };
    for (const Case& c : cases) {
        RegDeleteTreeA(HKEY_CURRENT_USER, subKey_.c_str());
        if (c.makeKey)
            makeKey(c.values);
        std::vector<std::string> names = before;
        EXPECT_EQ(read(names), c.ok) << c.name;
        EXPECT_EQ(names, c.expected) << c.name;
    }
}

TEST(SerialPortNames, ListsTheInstrumentPortFromTheDeviceMap) {
    REQUIRE_TEST_PORT();
    std::vector<std::string> names{"stale"};
    GetSerialPortNames(names);
    EXPECT_NE(std::find(names.begin(), names.end(), cport::testing::TestPortName()), names.end())
        << "SERIALCOMM lists " << ::testing::PrintToString(names);
    EXPECT_TRUE(
        std::is_sorted(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            return _stricmp(a.c_str(), b.c_str()) < 0;
        }));
}

} // namespace
} // namespace cport::win32
