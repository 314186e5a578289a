#include "StringTable.h"

#include <gtest/gtest.h>

using namespace lrf;

TEST(StringTable, EntriesByNumber) {
    EXPECT_EQ(LoadStr(1), "COM");
    EXPECT_EQ(LoadStr(20), "Professional laser rangefinder program-controlled software V2.0");
    EXPECT_EQ(LoadStr(17), "Distination");
    EXPECT_EQ(LoadStr(36), "Communication failure!");
    EXPECT_EQ(LoadStr(strComOpenFailure), "COM open failure!");
    for (int n : {0, 28, 29, 37, -1})
        EXPECT_TRUE(LoadStr(n).empty()) << n;
    for (int n = 1; n <= 36; ++n)
        EXPECT_EQ(LoadStr(n).empty(), n == 28 || n == 29) << n;
}

TEST(StringTable, RecordLimitMessageUsesFullWidthMarks) {
    EXPECT_EQ(LoadStr(strRecordLimit), "The current record number of 60,001\xEF\xBC\x8C"
                                       "Exceeds the maximum record 60,000\xEF\xBC\x81\n"
                                       "The record shall not be\xE3\x80\x82");
}
