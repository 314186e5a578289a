#include "DigitCell.h"

#include "DigitRenderer.h"

#include <QPainter>

namespace lrf {

DigitCell::DigitCell(QWidget* parent)
    : QWidget(parent)
    , image_(kCellWidth, kCellHeight, QImage::Format_RGB32) {
    image_.fill(Qt::white);
    setFixedSize(kCellWidth, kCellHeight);
    // The copy covers every pixel, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void DigitCell::paintEvent(QPaintEvent*) {
    ++paintCount_;
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(0, 0), image_, rect());
}

} // namespace lrf
