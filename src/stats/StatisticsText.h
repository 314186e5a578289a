#pragma once

#include "LogStatistics.h"

#include <string>
#include <string_view>

namespace lrf {

inline constexpr std::string_view QuantityName(Quantity q) {
    return q == Quantity::Distance ? "Distance" : "Speed";
}

enum class StatusDetail {
    Full,    // n, mean, sd, min, max, spread
    Compact, // n, mean, sd, spread: for a narrow status bar
};

// One line for the log window's status bar: the record count, the latest group
// of each quantity that has values, and the no-value records, e.g.
//   "500 records | Distance M: n 498, mean 12.35, sd 0.05, min 12.2, max 12.5,
//    spread 0.3 | no value 2"
// A group after a change of unit is marked "(group 2)". Empty for an empty log.
std::string StatusLine(const LogStatistics& stats, std::string_view decimalSeparator = ".",
                       StatusDetail detail = StatusDetail::Full);

// Every group of the log as tab-separated text with a header line, then the
// record and no-value counts: pastes into a spreadsheet as a table.
std::string StatisticsTable(const LogStatistics& stats, std::string_view decimalSeparator = ".");

} // namespace lrf
