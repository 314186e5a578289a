#pragma once

#include "RecordValue.h"
#include "RunningStats.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lrf {

enum class Quantity : unsigned char { Distance = 0, Speed = 1 };
inline constexpr std::array<Quantity, 2> kQuantities{Quantity::Distance, Quantity::Speed};

// Values of one quantity in one unit: a run of records between two changes of
// unit. Records are counted from 0, the way the log's Index counts them.
struct StatsGroup {
    std::uint16_t unit = 0; // LogStatistics::UnitName
    std::int32_t firstRecord = 0;
    std::int32_t lastRecord = 0;
    RunningStats values;
};

// One record of the log as the chart reads it.
struct RecordPoint {
    double distance = 0.0;
    double speed = 0.0;
    std::uint16_t distanceUnit = 0;
    std::uint16_t speedUnit = 0;
    CellKind distanceKind = CellKind::Empty;
    CellKind speedKind = CellKind::Empty;

    CellKind Kind(Quantity q) const { return q == Quantity::Distance ? distanceKind : speedKind; }
    double Value(Quantity q) const { return q == Quantity::Distance ? distance : speed; }
    std::uint16_t Unit(Quantity q) const {
        return q == Quantity::Distance ? distanceUnit : speedUnit;
    }
};

// Statistics of the log as it stands since the last clear, for distances and
// speeds separately, kept up to date record by record in constant time.
//
// The log feeds it every row as the row stands after a write, so a
// rotation pair (the distance half writes the row, the speed half completes
// it) is one record, and the numbers are those the cells show to the operator
// and the files get. Rules:
//  - a value counts in the group of its unit; a value in another unit than the
//    one before starts a new group instead of mixing units;
//  - a record whose cells hold no value at all, only the no-value dashes, is
//    counted as a no-value record; its unit names start no group;
//  - a rewrite of the last record replaces it (constant time); a rewrite of an
//    earlier record, which the recording step never sends, recounts the log.
class LogStatistics {
public:
    // Record `index` (the row's Index) now holds these cells. Rows skipped
    // over by a larger index stay empty records.
    void SetRecord(std::int32_t index, CellValue distance, std::string_view distanceUnit,
                   CellValue speed, std::string_view speedUnit);
    // The same read from the cells' texts.
    void SetRecord(std::int32_t index, std::string_view distanceText, std::string_view distanceUnit,
                   std::string_view speedText, std::string_view speedUnit);
    void Clear();

    // Records in the log: the last record's Index + 1.
    std::int32_t RecordCount() const { return static_cast<std::int32_t>(points.size()); }
    std::int32_t NoValueCount() const { return noValue; }
    std::span<const StatsGroup> Groups(Quantity q) const { return groups[Index(q)]; }
    // The group the latest value of q belongs to, or nullptr before any value.
    const StatsGroup* CurrentGroup(Quantity q) const;
    std::span<const RecordPoint> Points() const { return points; }
    std::string_view UnitName(std::uint16_t unit) const { return unitNames[unit]; }
    // Changes with every write and clear.
    std::uint64_t Revision() const { return revision; }

private:
    // What adding the last record changed, to take it back when the record is
    // rewritten: the group counts and the last groups as they were before.
    struct Undo {
        std::array<std::size_t, 2> groupCount{};
        std::array<std::optional<StatsGroup>, 2> lastGroup;
        std::int32_t noValue = 0;
    };

    static std::size_t Index(Quantity q) { return static_cast<std::size_t>(q); }
    std::uint16_t UnitId(std::string_view name);
    void Apply(std::int32_t index, const RecordPoint& point);
    void TakeBackLast();
    void Recount();

    std::vector<RecordPoint> points;
    std::array<std::vector<StatsGroup>, 2> groups;
    std::vector<std::string> unitNames;
    std::int32_t noValue = 0;
    Undo undoLast;
    std::uint64_t revision = 0;
};

} // namespace lrf
