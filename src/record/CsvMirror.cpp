#include "CsvMirror.h"

#include "CsvFormat.h"

namespace lrf {

bool CsvMirror::Update(std::int32_t row, std::span<const std::string> cells,
                       std::span<const std::string> headers) {
    std::string line = CsvRecordLine(cells);
    // An empty mirror after an automatic save has nothing to replace, even when
    // the row number matches: the old line is already in the file.
    const bool replaces = row == LastCsvRow && !CsvLines.empty();
    if (replaces)
        CsvLines.pop_back();
    LastCsvRow = row;
    if (CsvLines.empty())
        CsvLines.push_back(CsvHeaderLine(headers));
    CsvLines.push_back(std::move(line));
    return replaces;
}

} // namespace lrf
