#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>

#include <array>
#include <cstdint>

class QPainter;

// Draws one seven-segment digit cell of 36 x 52 pixels with polygons. The cell
// background is the painter's brush when drawing starts; every operation leaves
// the painter's pen and brush as it found them.
namespace lrf {

inline constexpr int kCellWidth = 36;
inline constexpr int kCellHeight = 52;

struct SegmentVertex {
    std::int32_t x;
    std::int32_t y;
};

// A segment outline: up to 15 vertices, ending at the first vertex with a negative
// x or after the fifteenth. Each outline repeats its first vertex as its last.
using SegmentPolygon = std::array<SegmentVertex, 15>;

// Segments a to g (top, upper right, lower right, bottom, lower left, upper left,
// middle); the figure leans to the right.
// clang-format off
inline constexpr std::array<SegmentPolygon, 7> SegmentPolygons{{
    {{{9, 1}, {27, 1}, {28, 2}, {23, 7}, {12, 7}, {10, 5}, {10, 4}, {8, 2}, {9, 1},
      {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}}},
    {{{29, 4}, {31, 6}, {31, 12}, {30, 13}, {30, 19}, {27, 22}, {24, 19}, {24, 11}, {25, 10},
      {25, 8}, {29, 4}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}}},
    {{{26, 25}, {29, 28}, {29, 30}, {28, 31}, {28, 41}, {26, 43}, {22, 39}, {22, 36}, {23, 35},
      {23, 28}, {26, 25}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}}},
    {{{10, 40}, {20, 40}, {22, 42}, {22, 43}, {24, 45}, {23, 46}, {6, 46}, {5, 45}, {10, 40},
      {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}}},
    {{{6, 25}, {7, 26}, {7, 27}, {8, 28}, {8, 35}, {7, 36}, {7, 39}, {3, 43}, {1, 41}, {1, 38},
      {2, 37}, {2, 28}, {4, 26}, {5, 26}, {6, 25}}},
    {{{6, 4}, {10, 8}, {10, 10}, {9, 11}, {9, 19}, {8, 20}, {7, 20}, {6, 21}, {5, 20}, {4, 20},
      {3, 19}, {3, 16}, {4, 15}, {4, 6}, {6, 4}}},
    {{{11, 21}, {22, 21}, {24, 23}, {21, 26}, {11, 26}, {8, 23}, {9, 22}, {10, 22}, {11, 21},
      {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}}},
}};
// clang-format on

// Centre of the decimal point, a circle of radius 3 at the lower right.
inline constexpr QPoint PointCenter{31, 47};
inline constexpr int kPointRadius = 3;

// Clears the cell with the current brush, outlines all seven segments and the point
// in the outline colour, then fills what the code lights in the fill colour.
void DrawDigit(QPainter& canvas, int code, const QColor& outline, const QColor& fill);

// Strokes the polygon's outline with the current pen in the given colour.
void DrawSegmentOutline(QPainter& canvas, SegmentPolygon polygon, const QColor& color);

// Fills the polygon's inside with the colour, without a stroke.
void FillSegment(QPainter& canvas, SegmentPolygon polygon, const QColor& color);

// Draws the point's circle with the pen in the colour; its inside gets the current brush.
void DrawPointOutline(QPainter& canvas, QPoint center, const QColor& color);

// Fills the point's circle with the colour, without a stroke.
void FillPoint(QPainter& canvas, QPoint center, const QColor& color);

// How many times DrawDigit has run in this program; lets tests prove that a
// repaint only copies finished cells.
std::uint64_t DrawDigitCalls();

// Prepares a painter on a cell image the way the renderer expects: aliased, a
// cosmetic solid pen of width 1 and a solid white brush as the background.
void SetUpCellPainter(QPainter& canvas);

// Finished cells, one per digit code in one pair of colours. DrawDigit runs
// once per code; later cells share the picture's pixels, so showing a value
// costs five copies instead of forty polygons. New colours start afresh.
class DigitPictures {
public:
    // The cell for `code` on a white background, drawn on first use; a null
    // image when no picture could be made.
    const QImage& Picture(int code, const QColor& outline, const QColor& fill);

private:
    static constexpr int kFirstCode = -13; // DIGIT_ZERO_POINT
    static constexpr int kLastCode = 9;

    std::array<QImage, kLastCode - kFirstCode + 1> pictures;
    QColor outline_;
    QColor fill_;
};

} // namespace lrf
