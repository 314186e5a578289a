#include "ChartFrm.h"

#include "Decimate.h"
#include "Dialogs.h"
#include "StatisticsText.h"
#include "ui_ChartFrm.h"

#include <QAction>
#include <QAreaSeries>
#include <QChart>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QSaveFile>
#include <QShortcut>
#include <QSvgGenerator>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

namespace lrf {

namespace {

// Tick spacing of 1, 2 or 5 times a power of ten that gives about `ticks` ticks.
double NiceStep(double span, double ticks, double smallest) {
    const double raw = std::max(span / ticks, smallest);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0})
        if (m * magnitude >= raw)
            return m * magnitude;
    return 10 * magnitude;
}

int DecimalsFor(double step) {
    return step >= 1 ? 0 : std::min(6, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
}

QList<QPointF> ToQt(const std::vector<ChartPoint>& points) {
    QList<QPointF> list;
    list.reserve(static_cast<qsizetype>(points.size()));
    for (const ChartPoint& p : points)
        list.append(QPointF(p.x, p.y));
    return list;
}

// Each change makes the chart lay itself out again: only what differs is set.
void SetTicks(QValueAxis* axis, double min, double max, double smallestStep) {
    const double step = NiceStep(max - min, 8, smallestStep);
    if (axis->tickType() != QValueAxis::TicksDynamic)
        axis->setTickType(QValueAxis::TicksDynamic);
    if (axis->tickAnchor() != 0)
        axis->setTickAnchor(0);
    if (axis->tickInterval() != step)
        axis->setTickInterval(step);
    const QString format = QStringLiteral("%.%1f").arg(DecimalsFor(step));
    if (axis->labelFormat() != format)
        axis->setLabelFormat(format);
    if (axis->min() != min || axis->max() != max)
        axis->setRange(min, max);
}

void ShowMarkers(QChart* chart, QAbstractSeries* series, bool visible) {
    for (QLegendMarker* marker : chart->legend()->markers(series))
        marker->setVisible(visible);
}

} // namespace

TFrmChart::TFrmChart(const LogStatistics& statistics, QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::TFrmChart>())
    , stats(statistics)
    , chart(new QChart)
    , axisX(new QValueAxis)
    , pacer(
          kRedrawIntervalMs, [this] { Refresh(); }, this) {
    ui->setupUi(this);
    setWindowFlag(Qt::Window);

    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignTop);
    chart->setLocalizeNumbers(true);
    axisX->setTitleText(QStringLiteral("Record"));
    chart->addAxis(axisX, Qt::AlignBottom);
    CreateParts(Quantity::Distance, Qt::AlignLeft, QColor(31, 100, 180));
    CreateParts(Quantity::Speed, Qt::AlignRight, QColor(220, 110, 20));
    // The view made a chart of its own and lets go of it without deleting it.
    std::unique_ptr<QChart> unused(ui->chartView->chart());
    ui->chartView->setChart(chart); // the view owns this chart from here
    connect(chart, &QChart::plotAreaChanged, this, &TFrmChart::PlaceValues);

    connect(ui->chartView, &ChartView::zoomRequested, this, &TFrmChart::Zoom);
    connect(ui->chartView, &ChartView::scrollRequested, this, &TFrmChart::ScrollBy);
    connect(ui->chartView, &ChartView::zoomToRectRequested, this, &TFrmChart::ZoomToRect);
    connect(ui->chartView, &ChartView::resetRequested, this, &TFrmChart::ResetView);
    connect(ui->chartView, &ChartView::resized, this, [this] { pacer.Request(); });
    connect(ui->scrollBar, &QScrollBar::valueChanged, this, &TFrmChart::ScrollBarMoved);
    connect(ui->btnSaveChart, &QPushButton::clicked, this, &TFrmChart::btnSaveChartClick);

    auto* whole = new QAction(QStringLiteral("Whole log"), this);
    whole->setObjectName(QStringLiteral("actWholeLog"));
    connect(whole, &QAction::triggered, this, &TFrmChart::ResetView);
    auto* save = new QAction(QStringLiteral("Save image…"), this);
    save->setObjectName(QStringLiteral("actSaveChart"));
    connect(save, &QAction::triggered, this, &TFrmChart::btnSaveChartClick);
    ui->chartView->addAction(whole);
    ui->chartView->addAction(save);
    ui->chartView->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* saveKey = new QShortcut(QKeySequence::Save, this);
    connect(saveKey, &QShortcut::activated, this, &TFrmChart::btnSaveChartClick);

    Refresh();
}

TFrmChart::~TFrmChart() = default;

void TFrmChart::CreateParts(Quantity q, Qt::Alignment side, const QColor& color) {
    Parts& p = parts[Slot(q)];
    p.axis = new QValueAxis;
    p.axis->setTitleText(QString::fromUtf8(QuantityName(q).data()));
    p.axis->setLinePenColor(color);
    p.axis->setLabelsColor(color.darker(130));
    chart->addAxis(p.axis, side);

    p.upper = new QLineSeries(this);
    p.lower = new QLineSeries(this);
    p.band = new QAreaSeries(p.upper, p.lower);
    QColor fill = color;
    fill.setAlpha(45);
    p.band->setBrush(fill);
    p.band->setPen(Qt::NoPen);
    // Legend entries go in the order the series were added, band first so
    // that the values are drawn over it: the name says whose band it is.
    p.band->setName(QString::fromUtf8(QuantityName(q).data()) + QStringLiteral(" mean ± 1 sd"));
    p.mean = new QLineSeries;
    p.mean->setPen(QPen(color.darker(150), 1.5, Qt::DashLine));
    p.line = new QLineSeries;
    QPen valuesPen(color, 1);
    valuesPen.setCosmetic(true); // the raster engine's fast path for thin lines
    p.line->setPen(valuesPen);
    p.values = new ValuesItem(chart);
    p.values->SetPen(valuesPen);
    for (QAbstractSeries* s :
         {static_cast<QAbstractSeries*>(p.band), static_cast<QAbstractSeries*>(p.mean),
          static_cast<QAbstractSeries*>(p.line)}) {
        chart->addSeries(s);
        s->attachAxis(axisX);
        s->attachAxis(p.axis);
    }
    ShowMarkers(chart, p.mean, false);
}

void TFrmChart::DataChanged() {
    if (!isVisible()) {
        stale = true;
        return;
    }
    pacer.Request();
}

void TFrmChart::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (stale)
        Refresh();
}

int TFrmChart::PlotColumns() const {
    const int width = static_cast<int>(chart->plotArea().width());
    return width > 10 ? width : std::max(ui->chartView->width() - 120, 100);
}

void TFrmChart::Refresh() {
    ++redraws;
    stale = false;
    range.SetRecordCount(stats.RecordCount());
    const int columns = PlotColumns();
    // The whole log ends at a round number a little past the newest record,
    // so that a running log changes the axes (and the layout) now and then
    // instead of at every redraw.
    double last = range.Last();
    if (range.Whole()) {
        const double quantum = std::max(1.0, NiceStep(last - range.First(), 8, 1.0) / 5);
        last = std::ceil((last - 0.5) / quantum) * quantum + 0.5;
    }
    SetTicks(axisX, range.First(), last, 1.0);
    for (const Quantity q : kQuantities)
        DrawQuantity(q, columns);
    UpdateScrollBar();
}

void TFrmChart::DrawQuantity(Quantity q, int columns) {
    Parts& p = parts[Slot(q)];
    const auto groups = stats.Groups(q);
    const bool any = !groups.empty();
    const double first = range.First(), last = range.Last();

    const std::vector<ChartPoint> values =
        any ? DecimatedValues(stats.Points(), q, first, last, columns) : std::vector<ChartPoint>{};
    // Only the groups that reach into the window.
    std::vector<StatsGroup> shown;
    for (const StatsGroup& g : groups)
        if (g.lastRecord + 1.5 >= first && g.firstRecord + 0.5 <= last)
            shown.push_back(g);
    const GroupBands bands = BandsOf(shown);
    p.values->SetPoints(values);
    p.mean->replace(ToQt(bands.mean));
    p.upper->replace(ToQt(bands.upper));
    p.lower->replace(ToQt(bands.lower));

    // Units in the axis title and the legend, in the order they came.
    QStringList units;
    for (const StatsGroup& g : groups) {
        const QString unit = QString::fromUtf8(
            stats.UnitName(g.unit).data(), static_cast<qsizetype>(stats.UnitName(g.unit).size()));
        if (!unit.isEmpty() && !units.contains(unit))
            units << unit;
    }
    const QString unitsText = units.join(QStringLiteral(", "));
    if (unitsText != p.unitsShown || p.line->name().isEmpty()) {
        p.unitsShown = unitsText;
        QString title = QString::fromUtf8(QuantityName(q).data());
        if (!unitsText.isEmpty())
            title += QStringLiteral(" (%1)").arg(unitsText);
        p.axis->setTitleText(title);
        p.line->setName(title);
    }

    if (p.shown != any) {
        p.shown = any;
        for (QAbstractSeries* s :
             {static_cast<QAbstractSeries*>(p.line), static_cast<QAbstractSeries*>(p.mean),
              static_cast<QAbstractSeries*>(p.band)})
            s->setVisible(any);
        p.values->setVisible(any);
        ShowMarkers(chart, p.line, any);
        ShowMarkers(chart, p.band, any);
        ShowMarkers(chart, p.mean, false);
        // The distance axis stays as the frame of an empty chart.
        p.axis->setVisible(any || q == Quantity::Distance);
    }

    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (const ChartPoint& v : values) {
        low = std::min(low, v.y);
        high = std::max(high, v.y);
    }
    for (std::size_t i = 0; i < bands.lower.size(); ++i) {
        low = std::min(low, bands.lower[i].y);
        high = std::max(high, bands.upper[i].y);
    }
    if (p.manual) {
        low = p.manualMin;
        high = p.manualMax;
    } else if (!(low <= high)) {
        low = 0;
        high = 1;
    } else {
        // Padded, and held to half ticks so that a mean that moves a little
        // does not change the axis at every redraw.
        const double pad = std::max((high - low) * 0.08, std::max(std::abs(high) * 0.001, 0.05));
        const double quantum = NiceStep(high - low + 2 * pad, 8, 1e-6) / 2;
        low = std::floor((low - pad) / quantum) * quantum;
        high = std::ceil((high + pad) / quantum) * quantum;
    }
    SetTicks(p.axis, low, high, 1e-6);
    p.values->SetFrame(chart->plotArea(), axisX->min(), axisX->max(), low, high);
}

void TFrmChart::PlaceValues() {
    for (Parts& p : parts)
        p.values->SetFrame(chart->plotArea(), axisX->min(), axisX->max(), p.axis->min(),
                           p.axis->max());
}

void TFrmChart::Zoom(double factor, QPointF at) {
    const double anchor = chart->mapToValue(at, parts[0].line).x();
    range.SetRecordCount(stats.RecordCount());
    range.Zoom(factor, anchor);
    Refresh();
}

void TFrmChart::ScrollBy(double pages) {
    range.SetRecordCount(stats.RecordCount());
    range.Scroll(pages * (range.Last() - range.First()));
    Refresh();
}

void TFrmChart::ZoomToRect(const QRectF& rect) {
    const QRectF plot = rect.intersected(chart->plotArea());
    if (plot.width() < 1 || plot.height() < 1)
        return;
    range.SetRecordCount(stats.RecordCount());
    range.Set(chart->mapToValue(plot.topLeft(), parts[0].line).x(),
              chart->mapToValue(plot.bottomRight(), parts[0].line).x());
    for (Parts& p : parts) {
        const double top = chart->mapToValue(plot.topLeft(), p.line).y();
        const double bottom = chart->mapToValue(plot.bottomRight(), p.line).y();
        p.manual = std::isfinite(top) && std::isfinite(bottom) && top != bottom;
        p.manualMin = std::min(top, bottom);
        p.manualMax = std::max(top, bottom);
    }
    Refresh();
}

void TFrmChart::ResetView() {
    range.Reset();
    for (Parts& p : parts)
        p.manual = false;
    Refresh();
}

void TFrmChart::UpdateScrollBar() {
    movingScrollBar = true;
    const double width = range.Last() - range.First();
    const double wholeWidth = range.WholeLast() - range.WholeFirst();
    ui->scrollBar->setEnabled(!range.Whole());
    ui->scrollBar->setRange(0, static_cast<int>(std::lround(std::max(0.0, wholeWidth - width))));
    ui->scrollBar->setPageStep(std::max(1, static_cast<int>(std::lround(width))));
    ui->scrollBar->setSingleStep(std::max(1, static_cast<int>(std::lround(width / 10))));
    ui->scrollBar->setValue(static_cast<int>(std::lround(range.First() - range.WholeFirst())));
    movingScrollBar = false;
}

void TFrmChart::ScrollBarMoved(int value) {
    if (movingScrollBar || range.Whole())
        return;
    const double width = range.Last() - range.First();
    const double first = range.WholeFirst() + value;
    range.Set(first, first + width);
    Refresh();
}

QString TFrmChart::SaveImage(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg"))
        return QStringLiteral("The name must end in .png or .svg.");
    Refresh();
    // Lay out axes and legend for what was just drawn; the picture may be
    // taken before the event loop would do it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (suffix == QLatin1String("png")) {
        if (!ui->chartView->grab().save(&file, "PNG")) {
            file.cancelWriting();
            return QStringLiteral("The image could not be written.");
        }
    } else {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(ui->chartView->size());
        svg.setViewBox(QRect(QPoint(0, 0), ui->chartView->size()));
        svg.setTitle(windowTitle());
        QPainter painter;
        if (!painter.begin(&svg)) {
            file.cancelWriting();
            return QStringLiteral("The image could not be written.");
        }
        ui->chartView->render(&painter);
        painter.end();
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

void TFrmChart::btnSaveChartClick() {
    const QString initial = lastImagePath.isEmpty() ? QStringLiteral("chart.png") : lastImagePath;
    const QString path = dialogs().getSaveImageName(this, initial);
    if (path.isEmpty())
        return;
    lastImagePath = path;
    if (const QString error = SaveImage(path); !error.isEmpty())
        dialogs().showMessage(this, QStringLiteral("Save image"),
                              QStringLiteral("The chart was not saved to %1: %2").arg(path, error));
}

} // namespace lrf
