#pragma once

#include <QAbstractTableModel>

#include <array>
#include <span>
#include <string>
#include <vector>

namespace lrf {

// The cells of the log grid, counted the way the log counts them: grid row 0
// is the header row, records start at grid row 1, and there are always at
// least two grid rows. Cells are kept as UTF-8 text, the form the records and
// the log files use; the view converts only the cells it shows.
class LogGridModel : public QAbstractTableModel {
public:
    static constexpr int ColumnCount = 10;
    using Cells = std::array<std::string, ColumnCount>;

    explicit LogGridModel(QObject* parent = nullptr);

    int GridRowCount() const { return static_cast<int>(rows.size()) + 1; }
    // Grows with empty rows or drops the rows past the new count (at least 2).
    void SetGridRowCount(int count);

    // Cell text; row 0 gives the header texts.
    const std::string& Cell(int column, int gridRow) const;
    std::span<const std::string> RowCells(int gridRow) const;
    std::span<const std::string> Headers() const { return headers; }

    void SetHeader(int column, std::string text);
    void SetCell(int column, int gridRow, std::string text);
    void SetRow(int gridRow, Cells cells);

    // The model row and grid row of the same record.
    static int ModelRow(int gridRow) { return gridRow - 1; }
    static int GridRow(int modelRow) { return modelRow + 1; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void RowChanged(int gridRow, int firstColumn, int lastColumn);

    Cells headers;
    std::vector<Cells> rows; // grid rows 1 and up
};

} // namespace lrf
