// The link line's figures: the median time from command to complete reply
// over the last shots, and the latency advice told once per port.

#include "LinkTiming.h"
#include "LinkInfo.h"

#include <gtest/gtest.h>

namespace lrf {
namespace {

using namespace std::chrono_literals;
using Clock = LinkTiming::Clock;

TEST(LinkTiming, MedianOfTheLastShotsFromCommandToCompleteReply) {
    LinkTiming timing;
    EXPECT_FALSE(timing.median());
    const Clock::time_point t0 = Clock::now();
    // A reply without a command waiting (a late one after the watchdog) and a
    // command without a reply count for nothing.
    timing.replyComplete(t0);
    timing.commandSent(t0);
    timing.forget();
    timing.replyComplete(t0 + 5ms);
    EXPECT_FALSE(timing.median());

    auto shot = [&](Clock::duration took) {
        const Clock::time_point sent = Clock::now();
        timing.commandSent(sent);
        timing.replyComplete(sent + took);
        timing.replyComplete(sent + took + 1ms); // a second batch: no second shot
    };
    shot(20ms);
    shot(30ms);
    EXPECT_EQ(timing.median(), 25ms);
    shot(4ms);
    EXPECT_EQ(timing.median(), 20ms);
    // The last shots only: a slow start drops out of the window.
    for (std::size_t i = 0; i < LinkTiming::kShots; ++i)
        shot(5ms);
    EXPECT_EQ(timing.median(), 5ms);
    timing.clear();
    EXPECT_FALSE(timing.median());
}

TEST(LinkTiming, LinkLineAndAdviceOncePerPort) {
    cport::LinkInfo link;
    link.Kind = cport::LinkKind::Usb;
    link.Driver = "ftdi_sio";
    link.LatencyTimer = 16ms;
    EXPECT_EQ(LinkLine(link, std::nullopt), "ftdi_sio, latency timer 16 ms");
    EXPECT_EQ(LinkLine(link, std::chrono::microseconds(21340), ","),
              "ftdi_sio, latency timer 16 ms, median reply 21,3 ms");

    LatencyNotices notices;
    EXPECT_TRUE(notices.take("/dev/ttyUSB0", link));
    EXPECT_FALSE(notices.take("/dev/ttyUSB0", link)); // opened again: told already
    EXPECT_TRUE(notices.take("/dev/ttyUSB1", link));
    link.LatencyTimer = 1ms;
    EXPECT_FALSE(notices.take("/dev/ttyUSB2", link));
}

} // namespace
} // namespace lrf
