#include "LogGridModel.h"

#include <QApplication>
#include <QPalette>

namespace lrf {

LogGridModel::LogGridModel(RecordLog& log, QObject* parent)
    : QAbstractTableModel(parent)
    , log(log) {
    log.Subscribe(*this);
}

LogGridModel::~LogGridModel() {
    log.Unsubscribe(*this);
}

void LogGridModel::RowsChanging(std::int32_t from, std::int32_t to) {
    if (to > from) {
        change = Change::Insert;
        beginInsertRows({}, ModelRow(from), ModelRow(to) - 1);
    } else if (to < from) {
        change = Change::Remove;
        beginRemoveRows({}, ModelRow(to), ModelRow(from) - 1);
    }
}

void LogGridModel::RowsChanged() {
    if (change == Change::Insert)
        endInsertRows();
    else if (change == Change::Remove)
        endRemoveRows();
    change = Change::None;
}

void LogGridModel::LineWritten(const LogLine& line) {
    RowChanged(line.row, line.firstColumn);
}

void LogGridModel::Cleared() {
    RowChanged(1, 1);
}

void LogGridModel::RowChanged(int gridRow, int firstColumn) {
    const int row = ModelRow(gridRow);
    emit dataChanged(index(row, firstColumn), index(row, ColumnCount - 1), {Qt::DisplayRole});
}

int LogGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : log.RowCount() - 1;
}

int LogGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LogGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole) {
        const std::string& cell =
            log.RowCells(GridRow(index.row()))[static_cast<std::size_t>(index.column())];
        return QString::fromStdString(cell);
    }
    // The number column is fixed, drawn like the header row.
    if (role == Qt::BackgroundRole && index.column() == 0)
        return QApplication::palette().button();
    return {};
}

QVariant LogGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < ColumnCount)
        return QString::fromStdString(log.Headers()[static_cast<std::size_t>(section)]);
    return {};
}

Qt::ItemFlags LogGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Cells are never editable; the fixed number column is not selectable.
    return index.column() == 0 ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace lrf
