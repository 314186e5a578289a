#include "RecordLog.h"

#include "CsvFile.h"
#include "CsvFormat.h"
#include "LogObserver.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

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

void RecordLog::Subscribe(LogListener& listener) {
    listeners.push_back(&listener);
}

void RecordLog::Unsubscribe(LogListener& listener) {
    std::erase(listeners, &listener);
}

void RecordLog::Add(const TAData& record, RowPart part) {
    AddWithValues(record, {ReadRecordCell(record.DistanceText), ReadRecordCell(record.SpeedText)},
                  part);
}

// The row grows the grid when it lies past its end; the speed half of a
// rotation pair writes only the speed cells and keeps the row's distance.
void RecordLog::AddWithValues(const TAData& record, const LogValues& values, RowPart part) {
    if (record.Index < 0 || record.Index > std::numeric_limits<std::int32_t>::max() - 2)
        return; // no record belongs in the header row or past the last row number
    const std::int32_t row = record.Index + 1;
    if (static_cast<std::size_t>(row) > rows.size())
        Resize(static_cast<std::size_t>(row));
    Row& target = rows[static_cast<std::size_t>(row - 1)];
    if (part == RowPart::SpeedCells) {
        target.cells[3] = record.SpeedText;
        target.cells[4] = record.SpeedUnitName;
        target.values.speed = values.speed;
    } else {
        target.cells = LogRowCells(record);
        target.values = values;
    }
    const std::vector<std::string> file = LogFileCells(target.cells, row);
    const bool replaced = mirror.Update(row, file, headers);
    const LogLine line{
        row, target.cells, file, target.values, part == RowPart::SpeedCells ? 3 : 0, replaced};
    for (LogListener* listener : listeners)
        listener->LineWritten(line);
    if (observer)
        observer->LineWritten(row, file, replaced);
    if (lineListener)
        lineListener(line);
}

// Back to the header and an empty row 1 that keeps its number. The next record
// on row 1 is a new one, not a rewrite of the old row 1.
void RecordLog::Clear() {
    Resize(1);
    rows.shrink_to_fit();
    Row& first = rows[0];
    for (std::size_t column = 1; column < first.cells.size(); ++column)
        first.cells[column].clear();
    first.values = {};
    mirror.GridCleared();
    if (observer)
        observer->GridCleared();
    for (LogListener* listener : listeners)
        listener->Cleared();
}

void RecordLog::AutoSave() {
    SaveMirror();
}

bool RecordLog::SaveMirror() {
    if (!mirror.HasRecords())
        return true;
    const std::optional<std::string> error = WriteMirror();
    if (error && saveFailed)
        saveFailed(*error);
    return !error;
}

std::optional<std::string> RecordLog::WriteMirror() {
    std::filesystem::path file;
    try {
        file = mirrorWriter(mirror.Lines());
    } catch (const std::exception& e) {
        return std::string(e.what());
    }
    MirrorEmptied(file, mirror.RecordLines());
    return std::nullopt;
}

void RecordLog::MirrorEmptied(const std::filesystem::path& file, int records) {
    mirror.Empty();
    if (observer && mirrorDelivers)
        observer->MirrorDelivered(file);
    else if (observer)
        observer->MirrorSaved(file);
    for (LogListener* listener : listeners)
        listener->MirrorSaved(file, records);
}

void RecordLog::SaveGrid(const std::filesystem::path& file) const {
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(RowCount()));
    for (int row = 0; row < RowCount(); ++row)
        lines.push_back(CsvRecordLine(LogFileCells(RowCells(row), row)));
    WriteCsvFile(file, lines);
    if (observer)
        observer->GridSaved(file);
}

std::span<const std::string> RecordLog::RowCells(int gridRow) const {
    if (gridRow < 0 || gridRow >= RowCount())
        throw std::out_of_range("grid row out of range");
    if (gridRow == 0)
        return headers;
    return rows[static_cast<std::size_t>(gridRow - 1)].cells;
}

const LogValues& RecordLog::Values(int gridRow) const {
    if (gridRow < 1 || gridRow >= RowCount())
        throw std::out_of_range("grid row out of range");
    return rows[static_cast<std::size_t>(gridRow - 1)].values;
}

void RecordLog::Resize(std::size_t records) {
    if (records == rows.size())
        return;
    const auto to = static_cast<std::int32_t>(records) + 1;
    for (LogListener* listener : listeners)
        listener->RowsChanging(RowCount(), to);
    rows.resize(records);
    for (LogListener* listener : listeners)
        listener->RowsChanged();
}

} // namespace lrf
