#include "MeasurementRecord.h"

#include <gtest/gtest.h>

using namespace lrf;

TEST(RecordTexts, ThresholdsAndAlignment) {
    EXPECT_EQ(DistanceRecordText(12.3), "  12.3");
    EXPECT_EQ(DistanceRecordText(2399.9), "2399.9");
    EXPECT_EQ(DistanceRecordText(2400.0), "----.-");
    EXPECT_EQ(DistanceRecordText(-123.4), "-123.4");
    EXPECT_EQ(SpeedRecordText(361.0), "---.-");
    EXPECT_EQ(SpeedRecordText(360.9), " 360.9");
    EXPECT_EQ(SpeedRecordText(990.0), "---.-");
    EXPECT_EQ(SelfTestDistanceText(21.0312), "  21.0");
    EXPECT_EQ(SelfTestDistanceText(9900.0), "----.-");
    EXPECT_EQ(SelfTestDistanceText(2400.0), "2400.0");
    EXPECT_EQ(SelfTestAngleText(45.0), " 45.0");
    EXPECT_EQ(SelfTestAngleText(361.0), "---.-");
}

TEST(RecordTexts, LocaleDecimalSeparator) {
    EXPECT_EQ(DistanceRecordText(12.3, ","), "  12,3");
    EXPECT_EQ(SelfTestAngleText(-45.5, ","), "-45,5");
    // A separator of several UTF-8 bytes (Arabic decimal separator).
    EXPECT_EQ(SpeedRecordText(45.6, "\xD9\xAB"), "  45\xD9\xAB"
                                                 "6");
    // The no-value texts are fixed: no separator goes into them.
    EXPECT_EQ(DistanceRecordText(2400.0, ","), "----.-");
    EXPECT_EQ(SpeedRecordText(990.0, ","), "---.-");
    EXPECT_EQ(SelfTestAngleText(361.0, ","), "---.-");
}

TEST(RecordTexts, HugeValuesAreWrittenWhole) {
    const std::string text = FormatFixed6(-1e100);
    EXPECT_EQ(text.size(), 104u);
    EXPECT_EQ(text.substr(0, 2), "-1");
    EXPECT_EQ(text.substr(text.size() - 2), ".0");
    EXPECT_EQ(SelfTestDistanceText(-1e100, ","), FormatFixed6(-1e100, ","));
    EXPECT_EQ(FormatFixed5(-1e300).size(), 304u);
}

TEST(TAData, StartsEmpty) {
    const TAData r;
    EXPECT_EQ(r.Index, 0);
    EXPECT_TRUE(r.DistanceText.empty() && r.SpeedUnitName.empty() && r.SpareText2.empty());
}
