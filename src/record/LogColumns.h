#pragma once

#include "StringTable.h"

#include <array>
#include <string>
#include <vector>

namespace lrf {

// The header texts of the log's ten columns, in column order.
inline constexpr std::array<StringId, 10> kLogColumnHeaders{
    strSn,    strLinear,      strUnit,     strSpeed, strUnit,
    strPlace, strDistination, strDateTime, strModel, strLrfCode,
};

// The ten header texts, as the log window's header row holds them.
std::vector<std::string> LogColumnHeaderTexts();

} // namespace lrf
