#pragma once

#include "Decimate.h"

#include <QGraphicsItem>
#include <QPen>
#include <QPolygonF>

#include <vector>

class QChart;

namespace lrf {

// The measured values as one thin line over the chart's plot area. The chart's
// own line series builds a stroked outline of the whole line for mouse hit
// tests at every change, which costs about ten times the drawing; this item
// only draws, so a redraw during a run fits in the pause between two shots.
class ValuesItem : public QGraphicsItem {
public:
    explicit ValuesItem(QChart* chart);

    void SetPen(const QPen& pen);
    // Points in record numbers and values.
    void SetPoints(const std::vector<ChartPoint>& points);
    // Where the values go: the plot area and the axis ranges it shows.
    void SetFrame(const QRectF& plotArea, double xMin, double xMax, double yMin, double yMax);

    int Count() const { return static_cast<int>(points.size()); }
    const std::vector<ChartPoint>& Points() const { return points; }

    QRectF boundingRect() const override { return plot; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    std::vector<ChartPoint> points;
    QPolygonF pixels; // points in chart coordinates, made when first painted
    bool stale = true;
    QPen pen;
    QRectF plot;
    double xMin = 0, xMax = 1, yMin = 0, yMax = 1;
};

} // namespace lrf
