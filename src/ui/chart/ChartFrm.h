#pragma once

#include "ChartRange.h"
#include "LogStatistics.h"
#include "RedrawPacer.h"
#include "ValuesItem.h"

#include <QString>
#include <QWidget>

#include <array>
#include <memory>

class QAreaSeries;
class QChart;
class QLineSeries;
class QValueAxis;

namespace Ui {
class TFrmChart;
}

namespace lrf {

// The chart of the log: distance (left axis) and speed (right axis) against the
// record number, each with the mean of its groups and a band of one standard
// deviation around it. It reads the log window's statistics; the log window
// calls DataChanged after every change, and the chart redraws at most 20 times
// a second with the points reduced to the plot's pixel width, so that a run
// goes on at full pace with the chart open, up to the largest log.
class TFrmChart : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRedrawIntervalMs = 50;

    explicit TFrmChart(const LogStatistics& statistics, QWidget* parent = nullptr);
    ~TFrmChart() override;

    // The log changed: redraw soon (at once after the current handler when the
    // last redraw is long enough ago). A hidden chart redraws when shown.
    void DataChanged();
    // Redraws now.
    void Refresh();

    // Writes the chart as it is shown, as PNG or SVG after the name's suffix.
    // Returns an empty text when the file was written, otherwise the reason;
    // an existing file is replaced only by a complete new one.
    QString SaveImage(const QString& path);
    // The save button: asks for a name through lrf::dialogs(), saves, and shows
    // a failure in a message box.
    void btnSaveChartClick();

    // The parts, for the tests and the benchmarks. The values are drawn by
    // their own item; the line series carries their legend entry.
    ValuesItem* Values(Quantity q) const { return parts[Slot(q)].values; }
    QLineSeries* Line(Quantity q) const { return parts[Slot(q)].line; }
    QLineSeries* Mean(Quantity q) const { return parts[Slot(q)].mean; }
    QAreaSeries* Band(Quantity q) const { return parts[Slot(q)].band; }
    QValueAxis* Axis(Quantity q) const { return parts[Slot(q)].axis; }
    QValueAxis* RecordAxis() const { return axisX; }
    QChart* Chart() const { return chart; }
    const ChartRange& Range() const { return range; }
    int RedrawCount() const { return redraws; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Parts {
        ValuesItem* values = nullptr;
        QLineSeries* line = nullptr;
        QLineSeries* mean = nullptr;
        QLineSeries* upper = nullptr;
        QLineSeries* lower = nullptr;
        QAreaSeries* band = nullptr;
        QValueAxis* axis = nullptr;
        QString unitsShown;
        bool shown = true;   // series, markers and axis visible
        bool manual = false; // y range picked with the rubber band
        double manualMin = 0, manualMax = 0;
    };
    static std::size_t Slot(Quantity q) { return static_cast<std::size_t>(q); }

    void CreateParts(Quantity q, Qt::Alignment side, const QColor& color);
    void DrawQuantity(Quantity q, int columns);
    void PlaceValues();
    int PlotColumns() const;
    void Zoom(double factor, QPointF at);
    void ScrollBy(double pages);
    void ZoomToRect(const QRectF& rect);
    void ResetView();
    void UpdateScrollBar();
    void ScrollBarMoved(int value);

    std::unique_ptr<Ui::TFrmChart> ui;
    const LogStatistics& stats;
    QChart* chart;
    QValueAxis* axisX;
    std::array<Parts, 2> parts;
    ChartRange range;
    RedrawPacer pacer;
    bool stale = true; // changed while hidden
    bool movingScrollBar = false;
    int redraws = 0;
    QString lastImagePath;
};

} // namespace lrf
