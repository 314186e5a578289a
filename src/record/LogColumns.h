#pragma once

#include "MeasurementRecord.h"
#include "StringTable.h"

#include <array>
#include <span>
#include <string>
#include <vector>

namespace lrf {

// The header texts of the log's ten columns, in column order.
inline constexpr std::array<StringId, 10> kLogColumnHeaders{
    strSn,    strLinear,      strUnit,     strSpeed, strUnit,
    strPlace, strDistination, strDateTime, strModel, strLrfCode,
};

// The ten cells of one log row.
using LogCells = std::array<std::string, kLogColumnHeaders.size()>;

// The ten header texts, as the log window's header row holds them.
std::vector<std::string> LogColumnHeaderTexts();

// The cells of a whole row written for a record: its number (Index + 1), the
// distance and its unit, the speed and its unit, place, destination, time
// stamp, model and instrument code.
LogCells LogRowCells(const TAData& record);

// The columns that hold the operator's free texts: place, destination, model, code.
inline constexpr std::array<std::size_t, 4> kLogFreeTextColumns{5, 6, 8, 9};

// A row's cells as they go into the log files: the free texts of a record row
// guarded against spreadsheet formulas; the header row (grid row 0) as it is.
std::vector<std::string> LogFileCells(std::span<const std::string> cells, int gridRow);

} // namespace lrf
