#include "LogStatistics.h"
#include "Decimate.h"
#include "MeasurementRecord.h"
#include "Units.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

using namespace lrf;

TEST(ReadRecordCell, TheTextsRecordsCarry) {
    const struct {
        const char* text;
        CellKind kind;
        double value;
    } cases[] = {
        {"  12.3", CellKind::Value, 12.3},
        {"2399.9", CellKind::Value, 2399.9},
        {"  -5.0", CellKind::Value, -5.0},
        {"  12,3", CellKind::Value, 12.3}, // a comma locale
        {"  45\xD9\xAB"
         "6",
         CellKind::Value, 45.6}, // a separator of two UTF-8 bytes
        {"----.-", CellKind::NoValue, 0},
        {"---.-", CellKind::NoValue, 0},
        {" ---.- ", CellKind::NoValue, 0},
        {"", CellKind::Empty, 0},
        {"      ", CellKind::Empty, 0},
        {"12.", CellKind::Empty, 0},
        {".5", CellKind::Empty, 0},
        {"1 2.3", CellKind::Empty, 0},
        {"12.3x", CellKind::Empty, 0},
        {"1.2.3", CellKind::Empty, 0},
        {"--1.0", CellKind::Empty, 0},
        {"nan", CellKind::Empty, 0},
        {"inf", CellKind::Empty, 0},
    };
    for (const auto& c : cases) {
        const CellValue cell = ReadRecordCell(c.text);
        EXPECT_EQ(cell.kind, c.kind) << c.text;
        if (c.kind == CellKind::Value) {
            EXPECT_DOUBLE_EQ(cell.value, c.value) << c.text;
        }
    }
    // A value too large for a double is not taken as a number.
    EXPECT_EQ(ReadRecordCell(std::string(400, '9') + ".0").kind, CellKind::Empty);
}

namespace {

// The log as a list of rows, and the statistics recomputed from it in two
// passes: mean first, then the squared deviations from it.
struct Row {
    std::string distance, distanceUnit, speed, speedUnit;
};

struct Reference {
    struct Group {
        std::string unit;
        int first = 0, last = 0;
        std::vector<double> values;
    };

    static std::vector<Group> GroupsOf(const std::vector<Row>& rows, Quantity q) {
        std::vector<Group> groups;
        for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
            const Row& row = rows[static_cast<std::size_t>(i)];
            const std::string& text = q == Quantity::Distance ? row.distance : row.speed;
            const std::string& unit = q == Quantity::Distance ? row.distanceUnit : row.speedUnit;
            const CellValue cell = ReadRecordCell(text);
            if (cell.kind != CellKind::Value)
                continue;
            if (groups.empty() || groups.back().unit != unit)
                groups.push_back({unit, i, i, {}});
            groups.back().last = i;
            groups.back().values.push_back(cell.value);
        }
        return groups;
    }

    static int NoValueCount(const std::vector<Row>& rows) {
        int count = 0;
        for (const Row& row : rows) {
            const CellKind d = ReadRecordCell(row.distance).kind;
            const CellKind s = ReadRecordCell(row.speed).kind;
            count += d != CellKind::Value && s != CellKind::Value &&
                     (d == CellKind::NoValue || s == CellKind::NoValue);
        }
        return count;
    }
};

void ExpectMatches(const LogStatistics& stats, const std::vector<Row>& rows, int step) {
    ASSERT_EQ(stats.RecordCount(), static_cast<int>(rows.size())) << "step " << step;
    EXPECT_EQ(stats.NoValueCount(), Reference::NoValueCount(rows)) << "step " << step;
    for (const Quantity q : kQuantities) {
        const auto expected = Reference::GroupsOf(rows, q);
        const auto actual = stats.Groups(q);
        ASSERT_EQ(actual.size(), expected.size()) << "step " << step;
        for (std::size_t g = 0; g < expected.size(); ++g) {
            const auto& e = expected[g];
            const StatsGroup& a = actual[g];
            double sum = 0;
            for (const double v : e.values)
                sum += v;
            const double mean = sum / static_cast<double>(e.values.size());
            double squares = 0;
            for (const double v : e.values)
                squares += (v - mean) * (v - mean);
            const double sd = e.values.size() > 1
                                  ? std::sqrt(squares / static_cast<double>(e.values.size() - 1))
                                  : 0.0;
            const auto [low, high] = std::minmax_element(e.values.begin(), e.values.end());
            EXPECT_EQ(stats.UnitName(a.unit), e.unit) << "step " << step;
            EXPECT_EQ(a.firstRecord, e.first) << "step " << step;
            EXPECT_EQ(a.lastRecord, e.last) << "step " << step;
            EXPECT_EQ(a.values.Count(), static_cast<std::int64_t>(e.values.size()));
            EXPECT_NEAR(a.values.Mean(), mean, 1e-9) << "step " << step;
            EXPECT_NEAR(a.values.StdDev(), sd, 1e-9) << "step " << step;
            EXPECT_EQ(a.values.Min(), *low) << "step " << step;
            EXPECT_EQ(a.values.Max(), *high) << "step " << step;
            EXPECT_EQ(a.values.Spread(), *high - *low) << "step " << step;
        }
    }
}

} // namespace

// A long random log the way the recording step writes it: distance shots,
// speed shots, rotation pairs (the distance half writes the row, the speed
// half completes it), replies without a value, unit changes and clears, in
// both decimal separators.
TEST(LogStatistics, AgreesWithATwoPassReferenceOnARandomLog) {
    std::mt19937 random(12345);
    const auto chance = [&](double p) {
        return std::uniform_real_distribution<>(0, 1)(random) < p;
    };
    std::normal_distribution<> distance(123.4, 2.5), speed(45.6, 8.0);
    const char* distanceUnits[] = {"M", "Y", "Ft"};
    const char* speedUnits[] = {"KPH", "MPH", "M/S"};
    const char* separators[] = {".", ","};
    std::string distanceUnit = "M", speedUnit = "KPH", sep = ".";

    LogStatistics stats;
    std::vector<Row> rows;
    for (int step = 0; step < 6000; ++step) {
        if (chance(0.01))
            distanceUnit = distanceUnits[random() % 3];
        if (chance(0.01))
            speedUnit = speedUnits[random() % 3];
        if (chance(0.005))
            sep = separators[random() % 2];
        const std::string d =
            DistanceRecordText(chance(0.08) ? kNoDistance : distance(random), sep);
        const std::string s = SpeedRecordText(chance(0.08) ? kNoSpeed : speed(random), sep);
        const auto index = static_cast<std::int32_t>(rows.size());

        if (chance(0.002)) { // Clear Data, or the clear after an automatic save
            stats.Clear();
            rows.clear();
        } else if (chance(0.3)) { // a rotation pair
            rows.push_back({d, distanceUnit, kNoSpeedText, speedUnit});
            stats.SetRecord(index, d, distanceUnit, kNoSpeedText, speedUnit);
            ExpectMatches(stats, rows, step);
            rows.back().speed = s;
            stats.SetRecord(index, d, distanceUnit, s, speedUnit);
        } else if (chance(0.5)) { // a distance shot
            rows.push_back({d, distanceUnit, kNoSpeedText, speedUnit});
            stats.SetRecord(index, d, distanceUnit, kNoSpeedText, speedUnit);
        } else { // a speed shot
            rows.push_back({kNoDistanceText, distanceUnit, s, speedUnit});
            stats.SetRecord(index, kNoDistanceText, distanceUnit, s, speedUnit);
        }
        ExpectMatches(stats, rows, step);
        if (HasFatalFailure() || HasFailure())
            return;
    }
}

TEST(LogStatistics, RewritesAndSkippedRowsFollowTheLog) {
    LogStatistics stats;
    stats.SetRecord(0, "  10.0", "M", "---.-", "KPH");
    stats.SetRecord(1, "  20.0", "M", "---.-", "KPH");
    stats.SetRecord(2, "  30.0", "M", "---.-", "KPH");
    // An earlier row written again replaces its value everywhere.
    stats.SetRecord(1, "----.-", "M", "---.-", "KPH");
    ASSERT_EQ(stats.Groups(Quantity::Distance).size(), 1u);
    EXPECT_EQ(stats.Groups(Quantity::Distance)[0].values.Count(), 2);
    EXPECT_DOUBLE_EQ(stats.Groups(Quantity::Distance)[0].values.Mean(), 20.0);
    EXPECT_EQ(stats.NoValueCount(), 1);

    // A record further on leaves the rows in between empty: not values, not
    // no-value records.
    stats.SetRecord(5, "  40.0", "M", "---.-", "KPH");
    EXPECT_EQ(stats.RecordCount(), 6);
    EXPECT_EQ(stats.NoValueCount(), 1);
    EXPECT_EQ(stats.Points()[3].distanceKind, CellKind::Empty);
    EXPECT_EQ(stats.Groups(Quantity::Distance)[0].lastRecord, 5);

    // A no-value record in another unit starts no group; a value does.
    stats.SetRecord(6, "----.-", "Ft", "---.-", "MPH");
    EXPECT_EQ(stats.Groups(Quantity::Distance).size(), 1u);
    stats.SetRecord(7, "  50.0", "Ft", "---.-", "MPH");
    EXPECT_EQ(stats.Groups(Quantity::Distance).size(), 2u);
    // The last record rewritten back into the old unit joins the old group.
    stats.SetRecord(7, "  50.0", "M", "---.-", "MPH");
    ASSERT_EQ(stats.Groups(Quantity::Distance).size(), 1u);
    EXPECT_EQ(stats.CurrentGroup(Quantity::Distance)->values.Count(), 4);
    EXPECT_EQ(stats.CurrentGroup(Quantity::Speed), nullptr);

    const auto revision = stats.Revision();
    stats.Clear();
    EXPECT_NE(stats.Revision(), revision);
    EXPECT_EQ(stats.RecordCount(), 0);
    EXPECT_EQ(stats.NoValueCount(), 0);
    EXPECT_TRUE(stats.Groups(Quantity::Distance).empty());
    stats.SetRecord(-1, "  50.0", "M", "---.-", "KPH"); // not a row of the log
    EXPECT_EQ(stats.RecordCount(), 0);
}

TEST(DecimatedValues, KeepsSpikesAndStaysWithinTwoPointsPerColumn) {
    LogStatistics stats;
    for (int i = 0; i < 60000; ++i)
        stats.SetRecord(i, i % 7 == 3 ? "----.-" : "  10.0", "M", "---.-", "KPH");
    stats.SetRecord(60000, "  10.0", "M", "---.-", "KPH");
    stats.SetRecord(31234, "  99.9", "M", "---.-", "KPH"); // one spike
    stats.SetRecord(40000, "   0.1", "M", "---.-", "KPH"); // one dip

    const auto points = DecimatedValues(stats.Points(), Quantity::Distance, 1, 60001, 700);
    EXPECT_LE(points.size(), 2u * 700 + 4);
    EXPECT_GE(points.size(), 700u);
    EXPECT_TRUE(
        std::is_sorted(points.begin(), points.end(), [](auto a, auto b) { return a.x < b.x; }));
    const auto has = [&](double x, double y) {
        return std::any_of(points.begin(), points.end(),
                           [&](ChartPoint p) { return p.x == x && p.y == y; });
    };
    EXPECT_TRUE(has(31235, 99.9));
    EXPECT_TRUE(has(40001, 0.1));
    EXPECT_TRUE(DecimatedValues(stats.Points(), Quantity::Speed, 1, 60001, 700).empty());

    // A narrow view gets every value, plus one record beyond each edge;
    // records without a value are left out.
    const auto zoomed = DecimatedValues(stats.Points(), Quantity::Distance, 101, 110, 700);
    ASSERT_FALSE(zoomed.empty());
    EXPECT_EQ(zoomed.front().x, 100);
    EXPECT_EQ(zoomed.back().x, 111);
    EXPECT_EQ(zoomed.size(), 12u - 2u); // records 102 and 109 hold no value
    EXPECT_TRUE(DecimatedValues({}, Quantity::Distance, 1, 10, 700).empty());
    EXPECT_TRUE(DecimatedValues(stats.Points(), Quantity::Distance, 10, 1, 700).empty());
}

TEST(BandsOf, OneStepPerGroup) {
    LogStatistics stats;
    stats.SetRecord(0, "  10.0", "M", "---.-", "KPH");
    stats.SetRecord(1, "  12.0", "M", "---.-", "KPH");
    stats.SetRecord(2, "  30.0", "Ft", "---.-", "KPH");
    const GroupBands bands = BandsOf(stats.Groups(Quantity::Distance));
    ASSERT_EQ(bands.mean.size(), 4u);
    EXPECT_EQ(bands.mean[0].x, 0.5);
    EXPECT_EQ(bands.mean[1].x, 2.5);
    EXPECT_EQ(bands.mean[2].x, 2.5);
    EXPECT_EQ(bands.mean[3].x, 3.5);
    EXPECT_DOUBLE_EQ(bands.mean[0].y, 11.0);
    EXPECT_DOUBLE_EQ(bands.upper[0].y, 11.0 + std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(bands.lower[3].y, 30.0); // a group of one has no spread
}
