#include "CommandSender.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace lrf;

namespace {

// A port that keeps what would have gone out, write by write.
struct CapturePort final : CommandPort {
    bool open = true;
    std::vector<std::vector<std::uint8_t>> writes;
    std::vector<std::string> texts;
    bool connected() const override { return open; }
    void writeBytes(std::span<const std::uint8_t> bytes) override {
        writes.emplace_back(bytes.begin(), bytes.end());
    }
    void writeText(std::string_view text) override { texts.emplace_back(text); }
};

} // namespace

TEST(SendCommand, HexTextBecomesOneWriteOfItsBytes) {
    using Bytes = std::vector<std::uint8_t>;
    const std::vector<std::pair<std::string, Bytes>> cases{
        {"0F", {0x0F}},
        {"0D", {0x0D}},
        {"0f", {0x0F}},
        {" 0 F ", {0x0F}},
        {"DA 00 23", {0xDA, 0x00, 0x23}},
        {"ABC", {0xAB}},
        {"", {}},
        {"F", {}},
        {"xyz-G!", {}},
        {"\xc3\xa9"
         "0\xe2\x80\x94"
         "d",
         {0x0D}}, // non-ASCII characters are dropped
    };
    for (const auto& [text, bytes] : cases) {
        SCOPED_TRACE(text);
        CapturePort port;
        SendCommand(port, text, true);
        ASSERT_EQ(port.writes.size(), 1u);
        EXPECT_EQ(port.writes.front(), bytes);
        EXPECT_TRUE(port.texts.empty());
    }
}

TEST(SendCommand, ClosedPortSendsNothing) {
    CapturePort port;
    port.open = false;
    SendCommand(port, "0F", true);
    SendCommand(port, "0F", false);
    SendHexCommand(port, "0F");
    EXPECT_TRUE(port.writes.empty());
    EXPECT_TRUE(port.texts.empty());
}

TEST(SendCommand, PlainTextGoesOutAsItIs) {
    CapturePort port;
    SendCommand(port, "0F", false);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(port.texts, std::vector<std::string>{"0F"});
}

// Longer than any buffer the commands need: sent whole, never cut or overrun.
TEST(SendCommand, LongHexTextIsSentWhole) {
    CapturePort port;
    std::string text;
    for (int i = 0; i < 600; ++i)
        text += "5A ";
    SendHexCommand(port, text);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes.front(), std::vector<std::uint8_t>(600, 0x5A));
}
