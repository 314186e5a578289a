#pragma once

#include <QColor>
#include <QImage>

namespace lrf::test {

inline const QColor kButtonFace(212, 208, 200);

// A fresh cell with one code drawn as the readouts draw it.
QImage RenderedCell(int code);

// Draws a code into an existing cell image.
void DrawInto(QImage& cell, int code);

} // namespace lrf::test
