#pragma once

#include "RecordLog.h"

#include <QAbstractTableModel>

namespace lrf {

// The log's rows as the grid shows them: model row r is the log's grid row
// r + 1, whose header row 0 is the view's header. The cells stay the log's
// UTF-8 texts; the view converts only the cells it shows. The model follows
// the log while it is subscribed to it, from construction to destruction.
class LogGridModel : public QAbstractTableModel, private LogListener {
public:
    static constexpr int ColumnCount = 10;

    explicit LogGridModel(RecordLog& log, QObject* parent = nullptr);
    ~LogGridModel() override;

    // The model row and grid row of the same record.
    static int ModelRow(int gridRow) { return gridRow - 1; }
    static int GridRow(int modelRow) { return modelRow + 1; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void RowsChanging(std::int32_t from, std::int32_t to) override;
    void RowsChanged() override;
    void LineWritten(const LogLine& line) override;
    void Cleared() override;
    void RowChanged(int gridRow, int firstColumn);

    RecordLog& log;
    enum class Change { None, Insert, Remove } change = Change::None;
};

} // namespace lrf
