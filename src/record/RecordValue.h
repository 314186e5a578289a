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

// The value a record's cell shows for `value`, without making its text: no
// value at or above `limit` (the dashes), nothing for what is not a number,
// else the value to the one decimal the cell shows.
CellValue RecordedValue(double value, double limit);

// The distance and speed of a log row as numbers, kept beside its cells.
struct LogValues {
    CellValue distance;
    CellValue speed;
};

} // namespace lrf
