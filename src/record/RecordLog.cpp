#include "RecordLog.h"

#include "CsvFile.h"
#include "LogObserver.h"

#include <limits>

namespace lrf {

RecordLog::RecordLog()
    : headers(LogColumnHeaderTexts())
    , rows(1)
    , mirrorWriter(AutoSaveFiles({})) {}

RecordLog::MirrorWriter RecordLog::AutoSaveFiles(std::filesystem::path directory) {
    return [directory = std::move(directory)](const std::vector<std::string>& lines) {
        return WriteAutoSaveFile(directory, LocalNow(), lines);
    };
}

// As the log window adds a record: the row grows the grid when it lies past
// its end; the speed half of a rotation pair writes only the speed cells.
void RecordLog::Add(const TAData& record, RowPart part) {
    if (record.Index < 0 || record.Index > std::numeric_limits<std::int32_t>::max() - 2)
        return;
    const std::int32_t row = record.Index + 1;
    if (static_cast<std::size_t>(row) > rows.size())
        rows.resize(static_cast<std::size_t>(row));
    LogCells& cells = rows[static_cast<std::size_t>(row - 1)];
    if (part == RowPart::SpeedCells) {
        cells[3] = record.SpeedText;
        cells[4] = record.SpeedUnitName;
    } else {
        cells = LogRowCells(record);
    }
    const std::vector<std::string> file = LogFileCells(cells, row);
    const bool replaced = mirror.Update(row, file, headers);
    if (observer)
        observer->LineWritten(row, file, replaced);
    if (lineListener)
        lineListener(LogLine{row, cells, file, replaced});
}

// As the log window clears: back to the header and an empty row 1.
void RecordLog::Clear() {
    rows.resize(1);
    rows.shrink_to_fit();
    for (std::size_t column = 1; column < rows[0].size(); ++column)
        rows[0][column].clear();
    mirror.GridCleared();
    if (observer)
        observer->GridCleared();
}

void RecordLog::AutoSave() {
    SaveMirror();
}

bool RecordLog::SaveMirror() {
    if (!mirror.HasRecords())
        return true;
    std::filesystem::path file;
    try {
        file = mirrorWriter(mirror.Lines());
    } catch (const std::exception& e) {
        if (saveFailed)
            saveFailed(e.what());
        return false;
    }
    mirror.Empty();
    if (observer && mirrorDelivers)
        observer->MirrorDelivered(file);
    else if (observer)
        observer->MirrorSaved(file);
    return true;
}

} // namespace lrf
