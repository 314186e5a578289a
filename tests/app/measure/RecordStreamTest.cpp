#include "RecordStream.h"

#include "LogColumns.h"
#include "RecordLog.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

using lrf::measure::RecordStream;

lrf::TAData Record(int index, const char* distance, const char* speed) {
    lrf::TAData r;
    r.Index = index;
    r.DistanceText = distance;
    r.DistanceUnitName = "M";
    r.SpeedText = speed;
    r.SpeedUnitName = "KPH";
    r.DateTimeText = "2026/12/09 03:04:05.6";
    r.Place = "=1+2";
    r.Model = "a \"b\"\\c";
    return r;
}

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The values come as numbers in the log's rounding, dashes as null, the free
// texts as typed (no formula guard: that is for spreadsheets), under a locale
// whose decimal separator is a comma too.
TEST(RecordStream, JsonLinesParseWithTheLogsValues) {
    struct Case {
        const char* distance;
        const char* speed;
        std::string decimal;
        QJsonValue linear, speedValue;
    };
    const std::vector<Case> cases{
        {"  12.3", "---.-", ".", 12.3, QJsonValue::Null},
        {"----.-", " -45.5", ".", QJsonValue::Null, -45.5},
        {"   0,4", "  45,6", ",", 0.4, 45.6},
        {"2399.9", "   0.0", ".", 2399.9, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.distance);
        const lrf::LogCells cells = lrf::LogRowCells(Record(4, c.distance, c.speed));
        const std::string line = RecordStream::JsonLine(cells, c.decimal);
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line;
        const QJsonObject o = doc.object();
        EXPECT_EQ(o.value("sn"), 5);
        EXPECT_EQ(o.value("linear"), c.linear) << line;
        EXPECT_EQ(o.value("speed"), c.speedValue) << line;
        EXPECT_EQ(o.value("unit"), "M");
        EXPECT_EQ(o.value("speed_unit"), "KPH");
        EXPECT_EQ(o.value("place"), "=1+2");
        EXPECT_EQ(o.value("model"), "a \"b\"\\c");
        EXPECT_TRUE(o.value("date_time").toString().startsWith("2026-12-09T03:04:05.006")) << line;
        EXPECT_EQ(o.keys().size(), 10);
    }
}

// In the rotation run the distance half of a pair waits for its speed half,
// so the file holds one line per pair, as the mirror does; the header comes
// with the first line, and a half pair left at the end is written as it stands.
TEST(RecordStream, WritesARowOnceItIsComplete) {
    QTemporaryDir dir;
    const std::filesystem::path path = dir.filePath("run.csv").toStdString();
    auto stream = RecordStream::Create(path, RecordStream::Format::Csv, {});
    ASSERT_TRUE(stream);
    lrf::RecordLog log;
    log.SetLineListener([&](const lrf::LogLine& line) { stream->Line(line); });

    log.Add(Record(0, " 123.4", "---.-"), lrf::RowPart::WholeRow); // distance half
    stream->Sync();
    EXPECT_EQ(Contents(path), "");
    log.Add(Record(0, "----.-", "  45.6"), lrf::RowPart::SpeedCells); // speed half completes row 1
    stream->Commit();
    log.Add(Record(1, " 123.5", "---.-"), lrf::RowPart::WholeRow); // a half pair at the end
    ASSERT_TRUE(stream->Finish());
    EXPECT_EQ(Contents(path),
              "SN,Linear,Unit,Speed,Unit,Place,Distination,DateTime,Model,LRF Code\r\n"
              "1, 123.4,M,  45.6,KPH,'=1+2,,2026/12/09 03:04:05.6,\"a \"\"b\"\"\\c\",\r\n"
              "2, 123.5,M,---.-,KPH,'=1+2,,2026/12/09 03:04:05.6,\"a \"\"b\"\"\\c\",\r\n");
    EXPECT_EQ(log.Mirror().Lines().size(), 3u);
}

// The time stamp as ISO 8601 with milliseconds and the offset the zone had at
// that time; a cell that is no time stamp stays as it is.
TEST(RecordStream, TimeStampsBecomeIso8601WithTheirOffset) {
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    const std::pair<const char*, const char*> cases[] = {
        {"2026/12/09 15:39:07.052", "2026-12-09T15:39:07.052+01:00"},
        {"2026-07-01 00:00:00.5", "2026-07-01T00:00:00.005+02:00"},
        {"2026.12.31 23.59.59.999", "2026-12-31T23:59:59.999+01:00"},
        {"no time", "no time"},
    };
    for (const auto& [cell, iso] : cases)
        EXPECT_EQ(RecordStream::IsoTime(cell), iso) << cell;
    if (zone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", zone);
}

// A reader that went away is a failure the program can see, not a crash.
TEST(RecordStream, AFailedWriteIsReported) {
    std::FILE* full = std::fopen("/dev/full", "wb");
    if (!full)
        GTEST_SKIP() << "no /dev/full";
    {
        RecordStream stream(full, "/dev/full", RecordStream::Format::Json, {});
        lrf::RecordLog log;
        log.SetLineListener([&](const lrf::LogLine& line) { stream.Line(line); });
        log.Add(Record(0, " 123.4", "---.-"), lrf::RowPart::WholeRow);
        stream.Commit();
        EXPECT_FALSE(stream.Finish());
        EXPECT_TRUE(stream.Failed());
        EXPECT_FALSE(stream.Error().empty());
    }
    std::fclose(full);
}

} // namespace
