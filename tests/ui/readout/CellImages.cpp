#include "CellImages.h"

#include "DigitRenderer.h"

#include <QPainter>

namespace lrf::test {

void DrawInto(QImage& cell, int code) {
    QPainter canvas(&cell);
    SetUpCellPainter(canvas);
    DrawDigit(canvas, code, kButtonFace, Qt::black);
}

QImage RenderedCell(int code) {
    QImage cell(kCellWidth, kCellHeight, QImage::Format_RGB32);
    cell.fill(Qt::red); // anything the renderer fails to clear shows up
    DrawInto(cell, code);
    return cell;
}

} // namespace lrf::test
