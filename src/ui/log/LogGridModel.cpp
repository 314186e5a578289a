#include "LogGridModel.h"

#include <QApplication>
#include <QPalette>

#include <stdexcept>

namespace lrf {

LogGridModel::LogGridModel(QObject* parent)
    : QAbstractTableModel(parent)
    , rows(1) {}

void LogGridModel::SetGridRowCount(int count) {
    const int wanted = std::max(count, 2) - 1;
    const int have = static_cast<int>(rows.size());
    if (wanted > have) {
        beginInsertRows({}, have, wanted - 1);
        rows.resize(static_cast<std::size_t>(wanted));
        endInsertRows();
    } else if (wanted < have) {
        beginRemoveRows({}, wanted, have - 1);
        rows.resize(static_cast<std::size_t>(wanted));
        rows.shrink_to_fit();
        endRemoveRows();
    }
}

const std::string& LogGridModel::Cell(int column, int gridRow) const {
    if (column < 0 || column >= ColumnCount)
        throw std::out_of_range("grid column out of range");
    return RowCells(gridRow)[static_cast<std::size_t>(column)];
}

std::span<const std::string> LogGridModel::RowCells(int gridRow) const {
    if (gridRow < 0 || gridRow >= GridRowCount())
        throw std::out_of_range("grid row out of range");
    return gridRow == 0 ? headers : rows[static_cast<std::size_t>(ModelRow(gridRow))];
}

void LogGridModel::SetHeader(int column, std::string text) {
    headers.at(static_cast<std::size_t>(column)) = std::move(text);
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void LogGridModel::SetCell(int column, int gridRow, std::string text) {
    if (gridRow == 0) {
        SetHeader(column, std::move(text));
        return;
    }
    rows.at(static_cast<std::size_t>(ModelRow(gridRow))).at(static_cast<std::size_t>(column)) =
        std::move(text);
    RowChanged(gridRow, column, column);
}

void LogGridModel::SetRow(int gridRow, Cells cells) {
    rows.at(static_cast<std::size_t>(ModelRow(gridRow))) = std::move(cells);
    RowChanged(gridRow, 0, ColumnCount - 1);
}

void LogGridModel::RowChanged(int gridRow, int firstColumn, int lastColumn) {
    const int row = ModelRow(gridRow);
    emit dataChanged(index(row, firstColumn), index(row, lastColumn), {Qt::DisplayRole});
}

int LogGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows.size());
}

int LogGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LogGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromStdString(Cell(index.column(), GridRow(index.row())));
    // The number column is fixed, drawn like the header row.
    if (role == Qt::BackgroundRole && index.column() == 0)
        return QApplication::palette().button();
    return {};
}

QVariant LogGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < ColumnCount)
        return QString::fromStdString(headers[static_cast<std::size_t>(section)]);
    return {};
}

Qt::ItemFlags LogGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Cells are never editable; the fixed number column is not selectable.
    return index.column() == 0 ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace lrf
