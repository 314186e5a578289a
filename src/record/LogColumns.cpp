#include "LogColumns.h"

#include "CsvFormat.h"

namespace lrf {

std::vector<std::string> LogColumnHeaderTexts() {
    std::vector<std::string> texts;
    texts.reserve(kLogColumnHeaders.size());
    for (const StringId id : kLogColumnHeaders)
        texts.emplace_back(LoadStr(id));
    return texts;
}

LogCells LogRowCells(const TAData& record) {
    return {std::to_string(record.Index + 1),
            record.DistanceText,
            record.DistanceUnitName,
            record.SpeedText,
            record.SpeedUnitName,
            record.Place,
            record.Destination,
            record.DateTimeText,
            record.Model,
            record.InstrumentCode};
}

std::vector<std::string> LogFileCells(std::span<const std::string> cells, int gridRow) {
    std::vector<std::string> file(cells.begin(), cells.end());
    if (gridRow > 0)
        for (const std::size_t column : kLogFreeTextColumns)
            if (column < file.size())
                file[column] = FormulaGuarded(file[column]);
    return file;
}

} // namespace lrf
