#include "DigitRenderer.h"

#include "DigitCodes.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygon>

namespace lrf {

namespace {

QPolygon VerticesOf(const SegmentPolygon& polygon) {
    QPolygon points;
    for (const SegmentVertex& vertex : polygon) {
        if (vertex.x < 0)
            break;
        points << QPoint(vertex.x, vertex.y);
    }
    return points;
}

QRectF PointBounds(QPoint center) {
    return QRectF(center.x() - kPointRadius, center.y() - kPointRadius, 2 * kPointRadius,
                  2 * kPointRadius);
}

// Sets the pen colour for the lifetime of the object and then puts the old pen back.
class PenColour {
public:
    PenColour(QPainter& canvas, const QColor& color)
        : canvas_(canvas)
        , saved_(canvas.pen()) {
        QPen pen = saved_;
        pen.setColor(color);
        canvas_.setPen(pen);
    }
    ~PenColour() { canvas_.setPen(saved_); }
    PenColour(const PenColour&) = delete;
    PenColour& operator=(const PenColour&) = delete;

private:
    QPainter& canvas_;
    QPen saved_;
};

// The painter's clip rectangle, which is the whole surface when nothing clips.
QRect ClipRectangle(const QPainter& canvas) {
    if (canvas.hasClipping())
        return canvas.clipBoundingRect().toAlignedRect();
    const QPaintDevice* device = canvas.device();
    return device ? QRect(0, 0, device->width(), device->height()) : QRect();
}

std::uint64_t drawDigitCalls = 0; // GUI thread only

} // namespace

std::uint64_t DrawDigitCalls() {
    return drawDigitCalls;
}

void DrawSegmentOutline(QPainter& canvas, SegmentPolygon polygon, const QColor& color) {
    const QPolygon points = VerticesOf(polygon);
    if (points.isEmpty())
        return;
    PenColour pen(canvas, color);
    if (points.size() == 1)
        canvas.drawPoint(points.front());
    else
        canvas.drawPolyline(points);
}

void FillSegment(QPainter& canvas, SegmentPolygon polygon, const QColor& color) {
    // Filling through a path of its own never touches the painter's brush or pen.
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addPolygon(VerticesOf(polygon));
    canvas.fillPath(path, color);
}

void DrawPointOutline(QPainter& canvas, QPoint center, const QColor& color) {
    PenColour pen(canvas, color);
    canvas.drawEllipse(PointBounds(center));
}

void FillPoint(QPainter& canvas, QPoint center, const QColor& color) {
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addEllipse(PointBounds(center));
    canvas.fillPath(path, color);
}

void DrawDigit(QPainter& canvas, int code, const QColor& outline, const QColor& fill) {
    ++drawDigitCalls;
    canvas.fillRect(ClipRectangle(canvas), canvas.brush());
    for (const SegmentPolygon& polygon : SegmentPolygons)
        DrawSegmentOutline(canvas, polygon, outline);
    DrawPointOutline(canvas, PointCenter, outline);

    const DigitLook look = LookOfDigitCode(code);
    for (std::size_t segment = 0; segment < SegmentPolygons.size(); ++segment) {
        if (look.lights(segment))
            FillSegment(canvas, SegmentPolygons[segment], fill);
    }
    if (look.point)
        FillPoint(canvas, PointCenter, fill);
}

const QImage& DigitPictures::Picture(int code, const QColor& outline, const QColor& fill) {
    if (outline != outline_ || fill != fill_) {
        pictures = {};
        outline_ = outline;
        fill_ = fill;
    }
    // Codes outside the table light nothing: the blank cell's picture.
    if (code < kFirstCode || code > kLastCode)
        code = DIGIT_BLANK;
    QImage& picture = pictures[static_cast<std::size_t>(code - kFirstCode)];
    if (picture.isNull()) {
        QImage cell(kCellWidth, kCellHeight, QImage::Format_RGB32);
        cell.fill(Qt::white);
        QPainter canvas(&cell);
        if (!canvas.isActive())
            return picture;
        SetUpCellPainter(canvas);
        DrawDigit(canvas, code, outline, fill);
        canvas.end();
        picture = std::move(cell);
    }
    return picture;
}

void SetUpCellPainter(QPainter& canvas) {
    canvas.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(Qt::black, 1, Qt::SolidLine);
    pen.setCosmetic(true);
    canvas.setPen(pen);
    canvas.setBrush(QBrush(Qt::white, Qt::SolidPattern));
}

} // namespace lrf
