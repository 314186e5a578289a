#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lrf {

// The second copy of the log that the automatic save writes: a header line and
// one line per grid row written since the last successful automatic save,
// across any number of clears of the grid.
class CsvMirror {
public:
    // Takes the row just written in the grid. A row written again right after
    // itself (the speed half of a rotation pair, or a rewrite) replaces its
    // line; otherwise the line is appended, after the header line when the
    // mirror was empty. Returns true when the line replaced the last one.
    bool Update(std::int32_t row, std::span<const std::string> cells,
                std::span<const std::string> headers);

    // The grid was cleared: the next record, even on the same row number, is
    // a new record and gets a line of its own.
    void GridCleared() { LastCsvRow = -1; }

    // Called after the lines were written to a file.
    void Empty() { CsvLines.clear(); }

    const std::vector<std::string>& Lines() const { return CsvLines; }
    std::int32_t LastRow() const { return LastCsvRow; }
    // The record lines it holds, the header line not counted.
    int RecordLines() const { return CsvLines.empty() ? 0 : static_cast<int>(CsvLines.size()) - 1; }
    // True when the mirror holds at least one record line.
    bool HasRecords() const { return CsvLines.size() > 1; }

private:
    std::vector<std::string> CsvLines;
    std::int32_t LastCsvRow = -1;
};

} // namespace lrf
