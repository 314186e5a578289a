// The typed values the record store keeps, read from the cell texts.

#include "StoreRecord.h"

#include <gtest/gtest.h>

using lrf::LocalDateTime;
using lrf::journal::Cells;
using lrf::journal::ReadRecordTimeStamp;
using lrf::journal::ReadStoreRecord;

namespace {

bool operator==(const LocalDateTime& a, const LocalDateTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second && a.millisecond == b.millisecond;
}

} // namespace

TEST(StoreRecord, ReadsTheCellsAsTheRecordsWriteThem) {
    struct Case {
        Cells cells;
        std::optional<int> sn;
        std::optional<double> distance, speed;
        const char* place; // as typed
        const char* model;
    };
    const Case cases[] = {
        {{"1", " 123.4", "M", "---.-", "KPH", "Quay", "Mast", "2024/03/05 14:07:39.52", "X1", "C7"},
         1,
         123.4,
         std::nullopt,
         "Quay",
         "X1"},
        // A decimal comma (several bytes in some locales), a negative value.
        {{"2000", "----.-", "Ft", "  -12,5", "M/S", "", "", "2024.03.05 14.07.39.0", "", ""},
         2000,
         std::nullopt,
         -12.5,
         "",
         ""},
        {{"7",
          "  10\xc2\xb7"
          "5",
          "Y", "  0.0", "MPH", "", "", "", "", ""},
         7,
         10.5,
         0.0,
         "",
         ""},
        // The files' guard against formulas comes off; a text that merely
        // begins with an apostrophe keeps it.
        {{"3", "1.0", "M", "2.0", "KPH", "'=A1", "x", "", "'+1", "C"}, 3, 1.0, 2.0, "=A1", "+1"},
        {{"4", "1.0", "M", "2.0", "KPH", "'quoted", "x", "", "'", "C"},
         4,
         1.0,
         2.0,
         "'quoted",
         "'"},
        // Nothing readable: the texts stay, the values are empty.
        {{"", "abc", "M", "1.2.3", "KPH", "p", "d", "soon", "m", "c"},
         std::nullopt,
         std::nullopt,
         std::nullopt,
         "p",
         "m"},
        {{"12a", "", "", "", "", "", "", "", "", ""},
         std::nullopt,
         std::nullopt,
         std::nullopt,
         "",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cells[0] + "|" + c.cells[1] + "|" + c.cells[3]);
        const auto record = ReadStoreRecord(c.cells);
        EXPECT_EQ(record.sn, c.sn);
        EXPECT_EQ(record.distance, c.distance);
        EXPECT_EQ(record.speed, c.speed);
        EXPECT_EQ(record.distanceUnit, c.cells[2]);
        EXPECT_EQ(record.speedUnit, c.cells[4]);
        EXPECT_EQ(record.place, c.place);
        EXPECT_EQ(record.model, c.model);
        EXPECT_EQ(record.destination, c.cells[6]);
        EXPECT_EQ(record.lrfCode, c.cells[9]);
    }
}

TEST(StoreRecord, ReadsTimeStampsWithAnySeparatorsAndRefusesImpossibleOnes) {
    const std::pair<const char*, std::optional<LocalDateTime>> cases[] = {
        {"2024/03/05 14:07:39.52", LocalDateTime{2024, 3, 5, 14, 7, 39, 52}},
        {"2024/03/05 14:07:39.520", LocalDateTime{2024, 3, 5, 14, 7, 39, 520}},
        {"2024-12-31 23:59:59.999", LocalDateTime{2024, 12, 31, 23, 59, 59, 999}},
        {"2024.02.29 00.00.00.0", LocalDateTime{2024, 2, 29, 0, 0, 0, 0}},
        {"2023/02/29 10:00:00.0", std::nullopt}, // not a leap year
        {"2024/13/01 10:00:00.0", std::nullopt},
        {"2024/03/05 24:00:00.0", std::nullopt},
        {"2024/03/05 14:07:39.1000", std::nullopt},
        {"2024/03/05 14:07:39", std::nullopt},
        {"2024/03/05 14:07:39.5 x", std::nullopt},
        {"24/03/05 14:07:39.5", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        const auto read = ReadRecordTimeStamp(text);
        ASSERT_EQ(read.has_value(), expected.has_value());
        if (read) {
            EXPECT_TRUE(*read == *expected);
        }
    }
}
