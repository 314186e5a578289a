#include "ChartView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QRubberBand>
#include <QWheelEvent>

#include <cmath>

namespace lrf {

namespace {

constexpr double kZoomPerStep = 0.8;   // one wheel notch shows 80 % of the records
constexpr double kScrollPerStep = 0.1; // one notch or key press moves a tenth
constexpr int kDragThreshold = 6;      // pixels: less is a click, not a rectangle

} // namespace

ChartView::ChartView(QWidget* parent)
    : QChartView(parent)
    , band(new QRubberBand(QRubberBand::Rectangle, viewport())) {
    setRubberBand(QChartView::NoRubberBand); // drawn here, so a click never zooms
    setFocusPolicy(Qt::StrongFocus);
    setDragMode(QGraphicsView::NoDrag);
}

QPointF ChartView::ToChart(QPoint viewPos) const {
    return chart() ? chart()->mapFromScene(mapToScene(viewPos)) : QPointF(viewPos);
}

void ChartView::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    const bool sideways = std::abs(delta.x()) > std::abs(delta.y());
    if (sideways || event->modifiers() & Qt::ShiftModifier) {
        const int amount = sideways ? -delta.x() : -delta.y();
        emit scrollRequested(amount / 120.0 * kScrollPerStep);
    } else if (delta.y() != 0) {
        emit zoomRequested(std::pow(kZoomPerStep, delta.y() / 120.0),
                           ToChart(event->position().toPoint()));
    }
    event->accept();
}

void ChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragging = true;
        bandOrigin = event->position().toPoint();
        band->setGeometry(QRect(bandOrigin, QSize()));
        event->accept();
        return;
    }
    QGraphicsView::mousePressEvent(event);
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
    if (dragging) {
        band->setGeometry(QRect(bandOrigin, event->position().toPoint()).normalized());
        if ((event->position().toPoint() - bandOrigin).manhattanLength() >= kDragThreshold)
            band->show();
        event->accept();
        return;
    }
    QGraphicsView::mouseMoveEvent(event);
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging && event->button() == Qt::LeftButton) {
        dragging = false;
        band->hide();
        const QPoint end = event->position().toPoint();
        if ((end - bandOrigin).manhattanLength() >= kDragThreshold)
            emit zoomToRectRequested(QRectF(ToChart(bandOrigin), ToChart(end)).normalized());
        event->accept();
        return;
    }
    // Not QChartView's handler: its right click would zoom out behind the menu.
    QGraphicsView::mouseReleaseEvent(event);
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragging = false;
        band->hide();
        emit resetRequested();
        event->accept();
        return;
    }
    QGraphicsView::mouseDoubleClickEvent(event);
}

void ChartView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
        emit scrollRequested(-kScrollPerStep);
        break;
    case Qt::Key_Right:
        emit scrollRequested(kScrollPerStep);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        emit zoomRequested(kZoomPerStep, chart() ? chart()->plotArea().center() : QPointF());
        break;
    case Qt::Key_Minus:
        emit zoomRequested(1 / kZoomPerStep, chart() ? chart()->plotArea().center() : QPointF());
        break;
    case Qt::Key_Home:
        emit resetRequested();
        break;
    default:
        QChartView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void ChartView::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    emit resized();
}

} // namespace lrf
