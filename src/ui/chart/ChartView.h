#pragma once

#include <QChartView>
#include <QPoint>

class QRubberBand;

namespace lrf {

// The chart's view: turns the mouse and the keys into zoom and scroll requests
// and leaves the axes to the chart window.
//   wheel: zoom around the pointer; Shift+wheel or a sideways wheel: scroll
//   drag with the left button: zoom to the rectangle (rubber band)
//   double click, Home: the whole log again
//   Left/Right: scroll, +/-: zoom
class ChartView : public QChartView {
    Q_OBJECT
public:
    explicit ChartView(QWidget* parent = nullptr);

signals:
    // factor < 1 zooms in; at is the pointer in chart coordinates.
    void zoomRequested(double factor, QPointF at);
    // Move by a fraction of the shown width (negative: to the left).
    void scrollRequested(double pages);
    // The rectangle dragged out, in chart coordinates.
    void zoomToRectRequested(QRectF rect);
    void resetRequested();
    void resized();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPointF ToChart(QPoint viewPos) const;

    QRubberBand* band;
    QPoint bandOrigin;
    bool dragging = false;
};

} // namespace lrf
