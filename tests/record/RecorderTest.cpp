#include "Recorder.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using namespace lrf;

namespace {

// Keeps every call the recording step makes on the log, in order.
struct MessageLog : LogSink {
    struct Message {
        char kind; // 'A' add, 'C' clear, 'S' autosave
        RowPart part = RowPart::WholeRow;
        TAData record;
    };
    std::vector<Message> messages;
    bool throwOnAutoSave = false;
    bool keep = true; // off while a test only fills the count

    void Add(const TAData& record, RowPart part) override {
        if (keep)
            messages.push_back({'A', part, record});
    }
    void Clear() override { messages.push_back({'C', RowPart::WholeRow, {}}); }
    void AutoSave() override {
        messages.push_back({'S', RowPart::WholeRow, {}});
        if (throwOnAutoSave)
            throw std::runtime_error("Cannot create file");
    }
    std::string Kinds() const {
        std::string kinds;
        for (const Message& m : messages)
            kinds += m.kind;
        return kinds;
    }
};

const LocalDateTime kTime{2024, 3, 5, 14, 7, 39, 52};
const Separators kCSeparators;
const FreeTexts kTexts{"LRF-900", "A17", "Bridge", "Tower"};

MeasurementInputs Distance(double metres) {
    MeasurementInputs in;
    in.LinearDistance = metres;
    return in;
}

MeasurementInputs Speed(double kph) {
    MeasurementInputs in;
    in.SpeedValue = kph;
    return in;
}

class RecorderTest : public ::testing::Test {
protected:
    RecorderTest() { recorder.SetRecording(true); }

    RecordOutcome Record(const MeasurementInputs& in) {
        return recorder.Record(in, kTexts, kTime, kCSeparators);
    }

    MessageLog log;
    Recorder recorder{log};
};

} // namespace

TEST(RecorderSwitch, OnAndOff) {
    MessageLog log;
    Recorder recorder(log);
    EXPECT_FALSE(recorder.RecordingOn());
    EXPECT_EQ(recorder.Record(Distance(1.0), kTexts, kTime, kCSeparators),
              RecordOutcome::NotRecording);
    EXPECT_TRUE(log.messages.empty());
    EXPECT_EQ(recorder.RecordCount(), 0);

    EXPECT_TRUE(recorder.SetRecording(true));
    EXPECT_TRUE(recorder.RecordingOn());
    EXPECT_FALSE(recorder.SetRecording(false));
    EXPECT_FALSE(recorder.RecordingOn());
}

TEST_F(RecorderTest, RecordCarriesValuesUnitsTimeAndFreeTexts) {
    MeasurementInputs in = Distance(12.3);
    in.DistanceUnit = unitFoot;
    in.SpeedUnit = unitMph;
    ASSERT_EQ(Record(in), RecordOutcome::Recorded);
    ASSERT_EQ(log.Kinds(), "A");
    const TAData& r = log.messages[0].record;
    EXPECT_EQ(log.messages[0].part, RowPart::WholeRow);
    EXPECT_EQ(r.Index, 0);
    EXPECT_EQ(r.DistanceText, "  12.3");
    EXPECT_EQ(r.DistanceUnitName, "Ft");
    EXPECT_EQ(r.SpeedText, "---.-");
    EXPECT_EQ(r.SpeedUnitName, "MPH");
    EXPECT_EQ(r.DateTimeText, "2024/03/05 14:07:39.052");
    EXPECT_EQ(r.Model, "LRF-900");
    EXPECT_EQ(r.InstrumentCode, "A17");
    EXPECT_EQ(r.Place, "Bridge");
    EXPECT_EQ(r.Destination, "Tower");
    EXPECT_TRUE(r.HeightText.empty() && r.HorizontalText.empty() && r.AngleText.empty());
    EXPECT_TRUE(r.SpareText1.empty() && r.SpareText2.empty());
    EXPECT_EQ(recorder.RecordCount(), 1);
}

TEST_F(RecorderTest, ValueTextsAtTheirLimits) {
    struct Case {
        MeasurementInputs in;
        const char* distance;
        const char* speed;
    };
    const Case cases[] = {
        {Distance(12.3), "  12.3", "---.-"},   {Distance(2399.9), "2399.9", "---.-"},
        {Distance(2400.0), "----.-", "---.-"}, {Distance(5000.0), "----.-", "---.-"},
        {Speed(360.9), "----.-", " 360.9"},    {Speed(361.0), "----.-", "---.-"},
        {Speed(0.0), "----.-", "   0.0"},      {MeasurementInputs{}, "----.-", "---.-"},
    };
    for (const Case& c : cases) {
        log.messages.clear();
        ASSERT_EQ(Record(c.in), RecordOutcome::Recorded);
        ASSERT_EQ(log.Kinds(), "A");
        EXPECT_EQ(log.messages[0].record.DistanceText, c.distance) << c.in.LinearDistance;
        EXPECT_EQ(log.messages[0].record.SpeedText, c.speed) << c.in.SpeedValue;
    }
}

TEST_F(RecorderTest, LocaleSeparatorsInNumbersAndTimeStamp) {
    const Separators german{",", ".", ":"};
    MeasurementInputs in = Distance(12.3);
    in.SpeedValue = 45.6;
    ASSERT_EQ(recorder.Record(in, kTexts, {2024, 12, 31, 9, 5, 7, 5}, german),
              RecordOutcome::Recorded);
    EXPECT_EQ(log.messages[0].record.DistanceText, "  12,3");
    EXPECT_EQ(log.messages[0].record.SpeedText, "  45,6");
    EXPECT_EQ(log.messages[0].record.DateTimeText, "2024.12.31 09:05:07.005");
    // The no-value texts stay as they are written, whatever the locale.
    ASSERT_EQ(recorder.Record(MeasurementInputs{}, kTexts, kTime, german), RecordOutcome::Recorded);
    EXPECT_EQ(log.messages[1].record.DistanceText, "----.-");
    EXPECT_EQ(log.messages[1].record.SpeedText, "---.-");
}

TEST_F(RecorderTest, RotationPairSharesIndexAndCountsOnce) {
    MeasurementInputs distanceHalf = Distance(100.0);
    distanceHalf.RotationMode = true;
    distanceHalf.RotationDistancePhase = true;
    MeasurementInputs speedHalf = Speed(50.0);
    speedHalf.RotationMode = true;
    speedHalf.RotationDistancePhase = false;

    for (int pair = 0; pair < 3; ++pair) {
        Record(distanceHalf);
        EXPECT_EQ(recorder.RecordCount(), pair);
        Record(speedHalf);
        EXPECT_EQ(recorder.RecordCount(), pair + 1);
    }
    ASSERT_EQ(log.Kinds(), "AAAAAA");
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(log.messages[i].record.Index, i / 2);
        EXPECT_EQ(log.messages[i].part, i % 2 ? RowPart::SpeedCells : RowPart::WholeRow);
    }
}

TEST_F(RecorderTest, TwoThousandthRecordSavesClearsAndRestartsAtZero) {
    for (int i = 0; i < Recorder::AutoSaveLimit - 1; ++i)
        Record(Distance(1.0));
    EXPECT_EQ(recorder.RecordCount(), 1999);
    log.messages.clear();

    Record(Distance(2.0));
    ASSERT_EQ(log.Kinds(), "ASC");
    EXPECT_EQ(log.messages[0].record.Index, 1999);
    EXPECT_EQ(recorder.RecordCount(), 0);

    log.messages.clear();
    Record(Distance(3.0));
    ASSERT_EQ(log.Kinds(), "A");
    EXPECT_EQ(log.messages[0].record.Index, 0);
}

TEST_F(RecorderTest, FailedAutoSaveStillRestartsTheLog) {
    log.throwOnAutoSave = true;
    for (int i = 0; i < Recorder::AutoSaveLimit - 1; ++i)
        Record(Distance(1.0));
    log.messages.clear();
    EXPECT_THROW(Record(Distance(2.0)), std::runtime_error);
    EXPECT_EQ(log.Kinds(), "ASC");
    EXPECT_EQ(recorder.RecordCount(), 0);
}

TEST_F(RecorderTest, RecordLimitRefusesAndCountsNothing) {
    // Only the self-test path can push the count this far.
    log.keep = false;
    for (int i = 0; i < Recorder::MaxRecordCount; ++i)
        recorder.RecordSelfTest({}, kTexts, kTime, kCSeparators);
    EXPECT_EQ(recorder.RecordCount(), 60000);

    // At exactly 60000 the record is still taken, and it reaches the save limit.
    log.keep = true;
    EXPECT_EQ(Record(Distance(1.0)), RecordOutcome::Recorded);
    EXPECT_EQ(log.Kinds(), "ASC");
    EXPECT_EQ(log.messages[0].record.Index, 60000);

    log.keep = false;
    for (int i = 0; i <= Recorder::MaxRecordCount; ++i)
        recorder.RecordSelfTest({}, kTexts, kTime, kCSeparators);
    EXPECT_EQ(recorder.RecordCount(), 60001);
    log.keep = true;
    log.messages.clear();
    for (int attempt = 0; attempt < 3; ++attempt)
        EXPECT_EQ(Record(Distance(1.0)), RecordOutcome::RefusedAtLimit);
    EXPECT_TRUE(log.messages.empty());
    EXPECT_EQ(recorder.RecordCount(), 60001);
    EXPECT_EQ(LoadStr(RecordLimitMessage), LoadStr(35));
    EXPECT_STREQ(RecordLimitCaption, "Error");

    recorder.Clear();
    EXPECT_EQ(log.Kinds(), "C");
    EXPECT_EQ(Record(Distance(1.0)), RecordOutcome::Recorded);
}

TEST_F(RecorderTest, SelfTestRecordHasDistancesAndAngleOnly) {
    const SelfTestInputs in{21.0312, 14.8713, 14.8713, 45.0};
    ASSERT_EQ(recorder.RecordSelfTest(in, kTexts, kTime, kCSeparators), RecordOutcome::Recorded);
    const TAData& r = log.messages.at(0).record;
    EXPECT_EQ(r.DistanceText, "  21.0");
    EXPECT_EQ(r.HeightText, "  14.9");
    EXPECT_EQ(r.HorizontalText, "  14.9");
    EXPECT_EQ(r.AngleText, " 45.0");
    EXPECT_TRUE(r.DistanceUnitName.empty() && r.SpeedText.empty() && r.SpeedUnitName.empty());
    EXPECT_EQ(r.Place, "Bridge");
    EXPECT_EQ(recorder.RecordCount(), 1);

    log.messages.clear();
    EXPECT_EQ(recorder.RecordSelfTest({9900.0, 0.0, 0.0, 361.0}, kTexts, kTime, kCSeparators),
              RecordOutcome::Recorded);
    EXPECT_EQ(log.messages.at(0).record.DistanceText, "----.-");
    EXPECT_EQ(log.messages.at(0).record.AngleText, "---.-");
}

TEST(LocalTime, TimeStampAndAutoSaveStem) {
    struct Case {
        LocalDateTime t;
        const char* stamp;
        const char* stem;
    };
    const Case cases[] = {
        {{2024, 3, 5, 14, 7, 39, 52}, "2024/03/05 14:07:39.052", "20240305143907"},
        {{2024, 3, 5, 14, 7, 39, 0}, "2024/03/05 14:07:39.000", "20240305143907"},
        {{2024, 12, 31, 0, 59, 1, 999}, "2024/12/31 00:59:01.999", "20241231000159"},
        {{987, 1, 1, 23, 0, 0, 7}, "0987/01/01 23:00:00.007", "09870101230000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RecordTimeStamp(c.t, {}), c.stamp);
        EXPECT_EQ(AutoSaveStem(c.t), c.stem);
    }
    EXPECT_EQ(RecordTimeStamp(cases[0].t, {".", "-", "."}), "2024-03-05 14.07.39.052");
}

TEST(LocalTime, NowIsAPlausibleLocalTime) {
    const LocalDateTime now = LocalNow();
    EXPECT_GE(now.year, 2024);
    EXPECT_TRUE(now.month >= 1 && now.month <= 12);
    EXPECT_TRUE(now.day >= 1 && now.day <= 31);
    EXPECT_TRUE(now.hour >= 0 && now.hour <= 23);
    EXPECT_TRUE(now.millisecond >= 0 && now.millisecond <= 999);
}
