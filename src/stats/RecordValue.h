#pragma once

#include <optional>
#include <string_view>

namespace lrf {

// What a value cell of the log holds.
enum class CellKind : unsigned char {
    Empty,   // nothing readable: a blank cell, or text that is not a record number
    NoValue, // the dashes a record shows when its reply had no value
    Value,
};

struct CellValue {
    CellKind kind = CellKind::Empty;
    double value = 0.0;
};

// Reads a value cell as the records write it: "%6.1f" with the system's decimal
// separator (which may be any non-digit text, several bytes of UTF-8 included),
// or one of the no-value texts. Leading and trailing blanks are ignored.
CellValue ReadRecordCell(std::string_view text);

} // namespace lrf
