#include "LogStatistics.h"

#include <limits>

namespace lrf {

namespace {

bool IsNoValueRecord(const RecordPoint& point) {
    return point.distanceKind != CellKind::Value && point.speedKind != CellKind::Value &&
           (point.distanceKind == CellKind::NoValue || point.speedKind == CellKind::NoValue);
}

} // namespace

void LogStatistics::SetRecord(std::int32_t index, std::string_view distanceText,
                              std::string_view distanceUnit, std::string_view speedText,
                              std::string_view speedUnit) {
    SetRecord(index, ReadRecordCell(distanceText), distanceUnit, ReadRecordCell(speedText),
              speedUnit);
}

void LogStatistics::SetRecord(std::int32_t index, CellValue distance, std::string_view distanceUnit,
                              CellValue speed, std::string_view speedUnit) {
    if (index < 0)
        return;
    const RecordPoint point{distance.value,    speed.value,   UnitId(distanceUnit),
                            UnitId(speedUnit), distance.kind, speed.kind};
    ++revision;

    const auto count = static_cast<std::int32_t>(points.size());
    if (index < count - 1) {
        points[static_cast<std::size_t>(index)] = point;
        Recount();
        return;
    }
    if (index == count - 1) {
        TakeBackLast();
        points.back() = point;
    } else {
        points.resize(static_cast<std::size_t>(index)); // skipped rows stay empty
        points.push_back(point);
    }
    Apply(index, point);
}

void LogStatistics::Clear() {
    points.clear();
    for (auto& list : groups)
        list.clear();
    noValue = 0;
    undoLast = {};
    ++revision;
}

const StatsGroup* LogStatistics::CurrentGroup(Quantity q) const {
    const auto& list = groups[Index(q)];
    return list.empty() ? nullptr : &list.back();
}

std::uint16_t LogStatistics::UnitId(std::string_view name) {
    for (std::size_t id = 0; id < unitNames.size(); ++id)
        if (unitNames[id] == name)
            return static_cast<std::uint16_t>(id);
    // The log knows six unit names; anything past the id range shares the last id.
    if (unitNames.size() > std::numeric_limits<std::uint16_t>::max())
        return std::numeric_limits<std::uint16_t>::max();
    unitNames.emplace_back(name);
    return static_cast<std::uint16_t>(unitNames.size() - 1);
}

void LogStatistics::Apply(std::int32_t index, const RecordPoint& point) {
    for (const Quantity q : kQuantities) {
        auto& list = groups[Index(q)];
        undoLast.groupCount[Index(q)] = list.size();
        undoLast.lastGroup[Index(q)].reset();
        if (point.Kind(q) != CellKind::Value)
            continue;
        if (list.empty() || list.back().unit != point.Unit(q)) {
            list.push_back({point.Unit(q), index, index, {}});
        } else {
            undoLast.lastGroup[Index(q)] = list.back();
            list.back().lastRecord = index;
        }
        list.back().values.Add(point.Value(q));
    }
    undoLast.noValue = noValue;
    if (IsNoValueRecord(point))
        ++noValue;
}

void LogStatistics::TakeBackLast() {
    for (const Quantity q : kQuantities) {
        auto& list = groups[Index(q)];
        list.resize(undoLast.groupCount[Index(q)]);
        if (undoLast.lastGroup[Index(q)])
            list.back() = *undoLast.lastGroup[Index(q)];
    }
    noValue = undoLast.noValue;
}

void LogStatistics::Recount() {
    for (auto& list : groups)
        list.clear();
    noValue = 0;
    for (std::size_t i = 0; i < points.size(); ++i)
        Apply(static_cast<std::int32_t>(i), points[i]);
}

} // namespace lrf
