#include "HexText.h"

#include <gtest/gtest.h>

using namespace lrf;
using Bytes = std::vector<std::uint8_t>;
using Tokens = std::vector<std::string>;

TEST(SplitBySpace, TokensClosedBySpaceOnly) {
    EXPECT_EQ(SplitBySpace("DA 00 "), (Tokens{"DA", "00"}));
    EXPECT_EQ(SplitBySpace("DA 00"), (Tokens{"DA"}));
    EXPECT_EQ(SplitBySpace("DA  00 "), (Tokens{"DA", "", "00"}));
    EXPECT_EQ(SplitBySpace(""), Tokens{});
    EXPECT_EQ(SplitBySpace("DA"), Tokens{});
    EXPECT_EQ(SplitBySpace(" "), (Tokens{""}));
}

TEST(BytesToHexText, TwoUpperCaseDigitsAndASpaceEach) {
    const Bytes frame{0xDA, 0x00, 0x23, 0x02, 0xB1, 0x45, 0x00, 0xEE};
    EXPECT_EQ(BytesToHexText(frame), "DA 00 23 02 B1 45 00 EE ");
    EXPECT_EQ(BytesToHexText(Bytes{}), "");
    EXPECT_EQ(BytesToHexText(Bytes{0x0F, 0xA0}), "0F A0 ");
    EXPECT_EQ(SplitBySpace(BytesToHexText(frame)).size(), 8u);
}

TEST(HexTextToBytes, FiltersPairsAndKeepsEverything) {
    EXPECT_EQ(HexTextToBytes("0F"), Bytes{0x0F});
    EXPECT_EQ(HexTextToBytes(" 0f "), Bytes{0x0F});
    EXPECT_EQ(HexTextToBytes("0 F"), Bytes{0x0F});
    EXPECT_EQ(HexTextToBytes("DA 00 23"), (Bytes{0xDA, 0x00, 0x23}));
    EXPECT_EQ(HexTextToBytes("ABC"), Bytes{0xAB});
    EXPECT_EQ(HexTextToBytes(""), Bytes{});
    EXPECT_EQ(HexTextToBytes("A"), Bytes{});
    EXPECT_EQ(HexTextToBytes("xyz-gG\xC3\xA4 0d"), Bytes{0x0D});
    // Longer than any buffer the protocol needs: nothing is cut.
    const std::string longText(3000, 'E');
    EXPECT_EQ(HexTextToBytes(longText), Bytes(1500, 0xEE));
}
