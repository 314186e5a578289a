#include "RecordLog.h"
#include "CsvFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

using namespace lrf;

namespace {

void ExpectSame(CellValue typed, CellValue read, double value) {
    EXPECT_EQ(typed.kind, read.kind) << value;
    // Bit for bit: the statistics must add exactly what the cell shows.
    EXPECT_EQ(typed.value, read.value) << std::hexfloat << value;
}

// The number kept beside a cell is the one its text shows, also where the
// one-decimal rounding meets a half and at the limits of the dashes.
TEST(RecordedValue, IsTheNumberItsCellShows) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {12.3,   12.25,  0.15,   0.25,   -0.25,   0.35,    2.675,   1.45,
                             0.05,   -0.05,  -0.04,  1e-9,   0.0,     2399.94, 2399.95, 2400.0,
                             360.94, 360.95, 361.0,  990.0,  -1e300,  nan,     inf,     -inf,
                             1e15,   -1e16,  4.5e15, 123.45, -123.45, 7.85};
    for (const double v : values) {
        ExpectSame(RecordedValue(v, kRecordDistanceLimit),
                   ReadRecordCell(DistanceRecordText(v, ",")), v);
        ExpectSame(RecordedValue(v, kRecordSpeedLimit), ReadRecordCell(SpeedRecordText(v)), v);
    }
    // Converted units land anywhere: a sweep with many exact halves in it.
    std::mt19937_64 random(24);
    std::uniform_int_distribution<int> twentieths(-60000, 60000);
    std::uniform_real_distribution<double> any(-2500.0, 2500.0);
    for (int i = 0; i < 200000; ++i) {
        const double v = i % 2 ? twentieths(random) / 20.0 : any(random) * 0.3048;
        ExpectSame(RecordedValue(v, kRecordDistanceLimit), ReadRecordCell(DistanceRecordText(v)),
                   v);
        if (HasFailure())
            return;
    }
}

// Everything a listener is told, in order.
struct Events : LogListener {
    std::string told;
    void RowsChanging(std::int32_t from, std::int32_t to) override {
        told += "changing " + std::to_string(from) + ">" + std::to_string(to) + ";";
    }
    void RowsChanged() override { told += "changed;"; }
    void LineWritten(const LogLine& line) override {
        told += "line " + std::to_string(line.row) + "@" + std::to_string(line.firstColumn) +
                (line.replacesLast ? " again;" : ";");
    }
    void Cleared() override { told += "cleared;"; }
    void MirrorSaved(const std::filesystem::path&, int records) override {
        told += "saved " + std::to_string(records) + ";";
    }
};

TAData Record(std::int32_t index, std::string distance, std::string speed = "---.-") {
    TAData r;
    r.Index = index;
    r.DistanceText = std::move(distance);
    r.DistanceUnitName = "M";
    r.SpeedText = std::move(speed);
    r.SpeedUnitName = "KPH";
    r.DateTimeText = "2024/03/05 14:07:39.052";
    return r;
}

class RecordLogTest : public ::testing::Test {
protected:
    RecordLogTest() { log.Subscribe(events); }
    ~RecordLogTest() override { log.Unsubscribe(events); }
    RecordLog log;
    Events events;
};

TEST_F(RecordLogTest, ARotationPairIsOneRowOneLineAndBothNumbers) {
    log.AddWithValues(Record(0, "  12.3"), {{CellKind::Value, 12.3}, {CellKind::NoValue, 0}},
                      RowPart::WholeRow);
    log.AddWithValues(Record(0, "", "  45.6"), {{}, {CellKind::Value, 45.6}}, RowPart::SpeedCells);
    EXPECT_EQ(events.told, "line 1@0;line 1@3 again;");
    ASSERT_EQ(log.Mirror().Lines().size(), 2u);
    EXPECT_EQ(log.Mirror().Lines()[1], "1,  12.3,M,  45.6,KPH,,,2024/03/05 14:07:39.052,,");
    EXPECT_EQ(log.Values(1).distance.value, 12.3); // the speed half keeps the distance
    EXPECT_EQ(log.Values(1).speed.value, 45.6);
}

TEST_F(RecordLogTest, RowsAreAnnouncedAroundTheirChangeAndClearKeepsTheMirror) {
    log.Add(Record(0, "  10.0"), RowPart::WholeRow);
    log.Add(Record(4, "  20.0"), RowPart::WholeRow);
    log.Add(Record(1, kNoDistanceText), RowPart::WholeRow);
    EXPECT_EQ(events.told, "line 1@0;changing 2>6;changed;line 5@0;line 2@0;");
    EXPECT_EQ(log.RowCount(), 6);
    // A record sent as texts only has its numbers read from them.
    EXPECT_EQ(log.Values(5).distance.kind, CellKind::Value);
    EXPECT_EQ(log.Values(5).distance.value, 20.0);
    EXPECT_EQ(log.Values(2).distance.kind, CellKind::NoValue);
    EXPECT_EQ(log.Values(3).distance.kind, CellKind::Empty);

    events.told.clear();
    log.Clear();
    EXPECT_EQ(events.told, "changing 6>2;changed;cleared;");
    EXPECT_EQ(log.RowCells(1)[0], "1");
    EXPECT_EQ(log.RowCells(1)[1], "");
    EXPECT_EQ(log.Values(1).distance.kind, CellKind::Empty);
    EXPECT_THROW(log.RowCells(2), std::out_of_range);
    EXPECT_EQ(log.Mirror().RecordLines(), 3);

    // The next row 1 is a new record: its line follows the others.
    log.Add(Record(0, "  30.0"), RowPart::WholeRow);
    EXPECT_EQ(log.Mirror().RecordLines(), 4);
}

TEST_F(RecordLogTest, SavesWriteTheFilesAndAFailureLosesNothing) {
    TempDir dir;
    log.SetMirrorWriter(RecordLog::AutoSaveFiles(dir.path() / "missing"));
    log.Add(Record(0, "  10.0"), RowPart::WholeRow);
    log.Add(Record(1, "  11.0"), RowPart::WholeRow);
    const auto lines = log.Mirror().Lines();
    EXPECT_TRUE(log.WriteMirror().has_value());
    EXPECT_EQ(log.Mirror().Lines(), lines);
    EXPECT_THROW(log.SaveGrid(dir.path() / "missing" / "grid.csv"), CsvFileError);

    log.SetMirrorWriter(RecordLog::AutoSaveFiles(dir.path()));
    events.told.clear();
    EXPECT_FALSE(log.WriteMirror().has_value());
    EXPECT_EQ(events.told, "saved 2;");
    EXPECT_TRUE(log.Mirror().Lines().empty());

    log.SaveGrid(dir.path() / "grid.csv");
    EXPECT_EQ(TempDir::ReadBytes(dir.path() / "grid.csv"),
              "SN,Linear,Unit,Speed,Unit,Place,Distination,DateTime,Model,LRF Code\r\n"
              "1,  10.0,M,---.-,KPH,,,2024/03/05 14:07:39.052,,\r\n"
              "2,  11.0,M,---.-,KPH,,,2024/03/05 14:07:39.052,,\r\n");
}

} // namespace
