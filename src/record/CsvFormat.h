#pragma once

#include <span>
#include <string>
#include <string_view>

namespace lrf {

// Every line of a log file ends with CR LF, the last one included.
inline constexpr std::string_view kCsvLineEnd = "\r\n";

// One cell as written to a file. A cell holding a comma, a double quote or a
// line break is enclosed in double quotes with its inner quotes doubled, so
// that free texts (or a decimal comma) cannot shift the fields of the line;
// any other cell is written exactly as it stands, leading blanks included.
std::string CsvCell(std::string_view text);

// A free text of the operator as it goes into a file. A text that a
// spreadsheet would run as a formula (it begins with '=', '+', '-', '@', a tab
// or a carriage return) gets a leading apostrophe, which spreadsheets take as
// "this is text" and do not show; any other text is returned unchanged. A
// negative number as a whole ("-12.5", "-12,5") stays as it is: it is a value.
std::string FormulaGuarded(std::string_view text);

// A grid row as one line, without its line end: the cells joined by commas.
std::string CsvRecordLine(std::span<const std::string> cells);

// The header line of the log mirror: a comma goes before a header text only
// when the line built so far, trimmed of blanks and control characters, is not
// empty. With the log's ten headers this is a plain comma-joined line.
std::string CsvHeaderLine(std::span<const std::string> headers);

} // namespace lrf
