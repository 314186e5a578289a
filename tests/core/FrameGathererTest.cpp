#include "FrameGatherer.h"
#include "HexText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace lrf;
using namespace std::chrono_literals;
using Clock = FrameGatherer::Clock;

namespace {

constexpr const char* kFrame = "DA 00 23 02 B1 45 00 EE";

// Batches as hex text, each with the milliseconds at which it arrived; what the
// gatherer hands on, as hex text, per batch ("" while it holds).
std::vector<std::string> Feed(FrameGatherer& g,
                              const std::vector<std::pair<std::string, int>>& batches) {
    std::vector<std::string> out;
    for (const auto& [hex, ms] : batches) {
        const auto bytes = HexTextToBytes(hex);
        const auto ready = g.add(bytes, Clock::time_point(std::chrono::milliseconds(ms)));
        out.push_back(ready ? BytesToHexText(*ready) : "");
    }
    return out;
}

std::string Spaced(const std::string& hex) {
    return BytesToHexText(HexTextToBytes(hex));
}

} // namespace

TEST(FrameGatherer, FrameTimeIsEightCharactersWithAFloor) {
    EXPECT_EQ(FrameGatherer::FrameTime(19200), 20ms);
    EXPECT_EQ(FrameGatherer::FrameTime(256000), 20ms);
    EXPECT_EQ(FrameGatherer::FrameTime(1200), 66'666'666ns);
    EXPECT_EQ(FrameGatherer::FrameTime(110), 727'272'727ns);
    EXPECT_EQ(FrameGatherer::FrameTime(300, 11), 293'333'333ns); // with a parity bit
    EXPECT_EQ(FrameGatherer::FrameTime(0), 20ms);
}

// A frame cut anywhere, or byte by byte, comes out whole, once, with the
// batch that completes it.
TEST(FrameGatherer, EverySplitComesOutAsTheWholeFrame) {
    const std::string frame = kFrame;
    std::vector<std::vector<std::pair<std::string, int>>> splits;
    for (int cut = 1; cut < 8; ++cut)
        splits.push_back({{frame.substr(0, 3 * cut), 0}, {frame.substr(3 * cut), 3}});
    std::vector<std::pair<std::string, int>> byByte;
    for (int i = 0; i < 8; ++i)
        byByte.push_back({frame.substr(3 * i, 2), i});
    splits.push_back(byByte);
    splits.push_back({{"DA 00", 0}, {"23 02 B1", 1}, {"45 00 EE", 2}});
    for (const auto& batches : splits) {
        SCOPED_TRACE(batches.front().first + " in " + std::to_string(batches.size()));
        FrameGatherer g;
        const auto out = Feed(g, batches);
        for (std::size_t i = 0; i + 1 < out.size(); ++i)
            EXPECT_EQ(out[i], "");
        EXPECT_EQ(out.back(), Spaced(frame));
        EXPECT_FALSE(g.holding());
    }
}

// What is not the start of a frame, or is a whole frame or more, passes as it came.
TEST(FrameGatherer, OtherBatchesPassUnchanged) {
    const std::vector<std::string> batches{
        kFrame,
        "DA 00 23 02 B1 45 00 EE DA 00 23 02 B1 45 00 EE", // two frames at once
        "11 EE",                                           // garbage ending in 0xEE
        "00 23 02",                                        // the rest of something
        "3C 21 7E 00 FF 55 AA 13",                         // eight bytes, no start byte
        "DA 00 23 02 B1 45 00 EE DA",                      // a frame and one byte more
        "",
    };
    for (const std::string& hex : batches) {
        SCOPED_TRACE(hex);
        FrameGatherer g;
        EXPECT_EQ(Feed(g, {{hex, 0}}), std::vector<std::string>{Spaced(hex)});
        EXPECT_FALSE(g.holding());
    }
}

// Pieces that together pass eight bytes end the gathering: all of them go on as
// one batch, and the next batch stands alone again.
TEST(FrameGatherer, HeldBytesPassingEightGoOnTogether) {
    FrameGatherer g;
    EXPECT_EQ(Feed(g, {{"DA 00 23", 0}, {"3C 21 7E 00 FF 55 AA", 1}, {"DA 00", 2}}),
              (std::vector<std::string>{"", Spaced("DA 00 23 3C 21 7E 00 FF 55 AA"), ""}));
    EXPECT_TRUE(g.holding());
}

// A prefix whose rest never comes is handed on at the frame time from its first
// piece, not before; later pieces do not move that moment.
TEST(FrameGatherer, APrefixGoesOnAtTheFrameTime) {
    FrameGatherer g;
    g.setFrameTime(FrameGatherer::FrameTime(1200));
    const Clock::time_point t0(1s);
    EXPECT_FALSE(g.deadline());
    EXPECT_FALSE(g.add(HexTextToBytes("DA 00"), t0));
    EXPECT_FALSE(g.add(HexTextToBytes("23"), t0 + 30ms));
    EXPECT_EQ(g.deadline(), t0 + 66'666'666ns);
    EXPECT_FALSE(g.expire(t0 + 66ms));
    EXPECT_TRUE(g.holding());
    const auto out = g.expire(t0 + 67ms);
    ASSERT_TRUE(out);
    EXPECT_EQ(BytesToHexText(*out), "DA 00 23 ");
    EXPECT_FALSE(g.holding());
    EXPECT_FALSE(g.expire(t0 + 1s));
    // The next reply is gathered afresh.
    EXPECT_EQ(Feed(g, {{"DA 00 23 02", 2000}, {"B1 45 00 EE", 2001}}),
              (std::vector<std::string>{"", Spaced(kFrame)}));
}
