#include "ChartRange.h"

#include <gtest/gtest.h>

using namespace lrf;

TEST(ChartRange, WholeLogGrowsAndAZoomedWindowFollowsTheRun) {
    ChartRange range;
    EXPECT_TRUE(range.Whole());
    EXPECT_EQ(range.Last(), 10.5); // an empty log still has a frame
    range.SetRecordCount(500);
    EXPECT_EQ(range.First(), 0.5);
    EXPECT_EQ(range.Last(), 500.5);

    // Zoomed to the newest records: the window moves on with new ones.
    range.Zoom(0.1, 500.5);
    EXPECT_FALSE(range.Whole());
    EXPECT_DOUBLE_EQ(range.Last(), 500.5);
    EXPECT_DOUBLE_EQ(range.First(), 450.5);
    range.SetRecordCount(520);
    EXPECT_DOUBLE_EQ(range.First(), 470.5);
    EXPECT_DOUBLE_EQ(range.Last(), 520.5);

    // Scrolled back: it stays where the operator put it.
    range.Scroll(-100);
    range.SetRecordCount(600);
    EXPECT_DOUBLE_EQ(range.First(), 370.5);
    // and cannot leave the log.
    range.Scroll(-1000);
    EXPECT_DOUBLE_EQ(range.First(), 0.5);
    range.Scroll(1e9);
    EXPECT_DOUBLE_EQ(range.Last(), 600.5);

    // A clear shows the whole (empty) log again.
    range.SetRecordCount(0);
    EXPECT_TRUE(range.Whole());
    EXPECT_EQ(range.Last(), 10.5);
}

TEST(ChartRange, ZoomLimits) {
    const struct {
        double first, last;
        bool whole;
        double width;
    } cases[] = {
        {100, 200, false, 100},
        {200, 100, false, 100},  // dragged right to left
        {150, 151, false, 5},    // never narrower than five records
        {-50, 2000, true, 1000}, // as wide as the log: the whole log
    };
    for (const auto& c : cases) {
        ChartRange range;
        range.SetRecordCount(1000);
        range.Set(c.first, c.last);
        EXPECT_EQ(range.Whole(), c.whole) << c.first;
        EXPECT_DOUBLE_EQ(range.Last() - range.First(), c.width) << c.first;
    }
    ChartRange range;
    range.SetRecordCount(1000);
    range.Zoom(0.5, 1e9); // an anchor off the axis is held to the window
    EXPECT_FALSE(range.Whole());
    range.Zoom(100, 500);
    EXPECT_TRUE(range.Whole());
    range.Scroll(10); // the whole log does not scroll
    EXPECT_EQ(range.First(), 0.5);
}
