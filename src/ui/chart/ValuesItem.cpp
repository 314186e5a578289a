#include "ValuesItem.h"

#include <QChart>
#include <QPainter>

namespace lrf {

ValuesItem::ValuesItem(QChart* chart)
    : QGraphicsItem(chart) {
    setAcceptedMouseButtons(Qt::NoButton);
    setZValue(100); // over the bands and grid lines of the chart
}

void ValuesItem::SetPen(const QPen& newPen) {
    pen = newPen;
    update();
}

void ValuesItem::SetPoints(const std::vector<ChartPoint>& newPoints) {
    points = newPoints;
    stale = true;
    update();
}

void ValuesItem::SetFrame(const QRectF& plotArea, double x0, double x1, double y0, double y1) {
    if (plotArea == plot && x0 == xMin && x1 == xMax && y0 == yMin && y1 == yMax)
        return;
    if (plotArea != plot)
        prepareGeometryChange();
    plot = plotArea;
    xMin = x0;
    xMax = x1;
    yMin = y0;
    yMax = y1;
    stale = true;
    update();
}

void ValuesItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    if (points.empty() || plot.isEmpty() || !(xMax > xMin) || !(yMax > yMin))
        return;
    if (stale) {
        const double sx = plot.width() / (xMax - xMin);
        const double sy = plot.height() / (yMax - yMin);
        pixels.resize(static_cast<qsizetype>(points.size()));
        for (std::size_t i = 0; i < points.size(); ++i)
            pixels[static_cast<qsizetype>(i)] = QPointF(plot.left() + (points[i].x - xMin) * sx,
                                                        plot.bottom() - (points[i].y - yMin) * sy);
        stale = false;
    }
    painter->save();
    painter->setClipRect(plot.toAlignedRect()); // a whole-pixel clip is the cheapest
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(pen);
    if (pixels.size() == 1)
        painter->drawEllipse(pixels.front(), 2, 2); // a lone value still shows
    else
        painter->drawPolyline(pixels);
    painter->restore();
}

} // namespace lrf
