#include "DigitRenderer.h"
#include "CellImages.h"
#include "DigitCodes.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

namespace {

using lrf::test::kButtonFace;
using lrf::test::RenderedCell;

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);

// A pixel well inside each segment a..g, and the middle of the point.
const QPoint kInside[7] = {{18, 4}, {27, 12}, {25, 33}, {14, 43}, {4, 33}, {6, 12}, {16, 23}};
const QPoint kPointInside{31, 47};
// The point's lowest outline pixel, which its fill never covers.
const QPoint kPointOutline{31, 50};

struct LookCase {
    int code;
    const char* lit; // segments a..g that the code lights
    bool point;
};

// The seven-segment figures, written out independently of the code under test.
const LookCase kLooks[] = {
    {0, "abcdef", false},
    {1, "bc", false},
    {2, "abdeg", false},
    {3, "abcdg", false},
    {4, "bcfg", false},
    {5, "acdfg", false},
    {6, "acdefg", false},
    {7, "abc", false},
    {8, "abcdefg", false},
    {9, "abcdfg", false},
    {-1, "bc", true},
    {-2, "abdeg", true},
    {-3, "abcdg", true},
    {-4, "bcfg", true},
    {-5, "acdfg", true},
    {-6, "acdefg", true},
    {-7, "abc", true},
    {-8, "abcdefg", true},
    {-9, "abcdfg", true},
    {lrf::DIGIT_ZERO_POINT, "abcdef", true},
    {lrf::DIGIT_MINUS, "g", false},
    {lrf::DIGIT_MINUS_POINT, "g", true},
    {lrf::DIGIT_BLANK, "", false},
};

// The pixel of a segment's lowest vertex lies on its bottom edge, which a fill
// never reaches, so it shows the outline colour whether the segment is lit or not.
QPoint LowestVertex(const lrf::SegmentPolygon& polygon) {
    QPoint lowest(polygon[0].x, polygon[0].y);
    for (const lrf::SegmentVertex& v : polygon)
        if (v.x >= 0 && v.y > lowest.y())
            lowest = QPoint(v.x, v.y);
    return lowest;
}

QImage WhiteCell() {
    QImage cell(lrf::kCellWidth, lrf::kCellHeight, QImage::Format_RGB32);
    cell.fill(Qt::white);
    return cell;
}

} // namespace

TEST(DigitRenderer, EveryCodeLightsExactlyItsSegmentsAndPoint) {
    for (const LookCase& c : kLooks) {
        SCOPED_TRACE(testing::Message() << "code " << c.code);
        const QImage cell = RenderedCell(c.code);
        for (int s = 0; s < 7; ++s) {
            const bool lit = std::string(c.lit).find(char('a' + s)) != std::string::npos;
            EXPECT_EQ(cell.pixel(kInside[s]), lit ? kBlack : kWhite) << "segment " << char('a' + s);
            EXPECT_EQ(cell.pixel(LowestVertex(lrf::SegmentPolygons[s])), kButtonFace.rgb())
                << "outline of segment " << char('a' + s);
        }
        EXPECT_EQ(cell.pixel(kPointInside), c.point ? kBlack : kWhite) << "point";
        EXPECT_EQ(cell.pixel(kPointOutline), kButtonFace.rgb()) << "point outline";
    }
}

// Aliased drawing: only background, outline and fill colours, and the last column
// and the corners stay background.
TEST(DigitRenderer, CellsAreCrispAndKeepTheirBorder) {
    for (const LookCase& c : kLooks) {
        SCOPED_TRACE(testing::Message() << "code " << c.code);
        const QImage cell = RenderedCell(c.code);
        for (int y = 0; y < cell.height(); ++y) {
            EXPECT_EQ(cell.pixel(lrf::kCellWidth - 1, y), kWhite) << "row " << y;
            for (int x = 0; x < cell.width(); ++x) {
                const QRgb p = cell.pixel(x, y);
                ASSERT_TRUE(p == kWhite || p == kBlack || p == kButtonFace.rgb())
                    << x << "," << y << " has " << std::hex << p;
            }
        }
        EXPECT_EQ(cell.pixel(0, 0), kWhite);
        EXPECT_EQ(cell.pixel(0, lrf::kCellHeight - 1), kWhite);
    }
}

TEST(DigitRenderer, BlankCellHasAllOutlinesAndNothingFilled) {
    const QImage blank = RenderedCell(lrf::DIGIT_BLANK);
    for (const lrf::SegmentPolygon& polygon : lrf::SegmentPolygons) {
        for (const lrf::SegmentVertex& v : polygon) {
            if (v.x >= 0) {
                EXPECT_EQ(blank.pixel(v.x, v.y), kButtonFace.rgb()) << v.x << "," << v.y;
            }
        }
    }
    for (int x = 0; x < blank.width(); ++x)
        for (int y = 0; y < blank.height(); ++y)
            ASSERT_NE(blank.pixel(x, y), kBlack) << x << "," << y;
}

TEST(DigitRenderer, CodesOutsideTheTableDrawBlank) {
    const QImage blank = RenderedCell(lrf::DIGIT_BLANK);
    for (int code : {10, 11, 12, 99, -14, -100, INT_MAX, INT_MIN, INT_MIN + 1})
        EXPECT_EQ(RenderedCell(code), blank) << "code " << code;
}

// The whole cell is cleared first, so nothing of an earlier code survives.
TEST(DigitRenderer, SecondCodeLeavesNoTraceOfTheFirst) {
    for (const LookCase& first : kLooks) {
        for (const LookCase& second : kLooks) {
            QImage cell = RenderedCell(first.code);
            lrf::test::DrawInto(cell, second.code);
            ASSERT_EQ(cell, RenderedCell(second.code)) << first.code << " then " << second.code;
        }
    }
}

TEST(DigitRenderer, SegmentTableIsClosedAndTerminated) {
    const int vertexCounts[7] = {9, 11, 11, 9, 15, 15, 9};
    for (int s = 0; s < 7; ++s) {
        const lrf::SegmentPolygon& polygon = lrf::SegmentPolygons[s];
        int count = 0;
        while (count < 15 && polygon[count].x >= 0)
            ++count;
        EXPECT_EQ(count, vertexCounts[s]) << "segment " << s;
        EXPECT_EQ(polygon[0].x, polygon[count - 1].x) << "segment " << s;
        EXPECT_EQ(polygon[0].y, polygon[count - 1].y) << "segment " << s;
        for (int i = count; i < 15; ++i)
            EXPECT_TRUE(polygon[i].x == -1 && polygon[i].y == -1) << "segment " << s;
    }
}

// Outlines and fills on their own: a fill has no stroke (its bottom edge stays
// clear), segments without a terminator are drawn to their fifteenth vertex, and a
// polygon that starts with the terminator draws nothing.
TEST(DigitRenderer, SingleOperationsDrawOnlyTheirFigure) {
    const QColor red(Qt::red);
    const struct {
        const char* name;
        std::function<void(QPainter&)> draw;
        QPoint drawn;
        QPoint untouched;
    } cases[] = {
        {"outline e, last vertex",
         [&](QPainter& p) { lrf::DrawSegmentOutline(p, lrf::SegmentPolygons[4], red); },
         {5, 26},
         {4, 33}},
        {"outline f, last vertex",
         [&](QPainter& p) { lrf::DrawSegmentOutline(p, lrf::SegmentPolygons[5], red); },
         {4, 6},
         {6, 12}},
        {"fill a without stroke",
         [&](QPainter& p) { lrf::FillSegment(p, lrf::SegmentPolygons[0], red); },
         {18, 4},
         {12, 7}},
        {"fill e, all fifteen vertices",
         [&](QPainter& p) { lrf::FillSegment(p, lrf::SegmentPolygons[4], red); },
         {4, 33},
         {3, 43}},
        {"point outline",
         [&](QPainter& p) {
             lrf::DrawPointOutline(p, {10, 10}, red);
         },
         {10, 7},
         {10, 10}},
        {"point fill",
         [&](QPainter& p) {
             lrf::FillPoint(p, {10, 10}, red);
         },
         {10, 10},
         {10, 13}},
    };
    for (const auto& c : cases) {
        QImage cell = WhiteCell();
        QPainter canvas(&cell);
        lrf::SetUpCellPainter(canvas);
        c.draw(canvas);
        canvas.end();
        EXPECT_EQ(cell.pixel(c.drawn), red.rgb()) << c.name;
        EXPECT_EQ(cell.pixel(c.untouched), kWhite) << c.name;
    }

    lrf::SegmentPolygon empty;
    empty.fill({-1, -1});
    QImage cell = WhiteCell();
    QPainter canvas(&cell);
    lrf::SetUpCellPainter(canvas);
    lrf::DrawSegmentOutline(canvas, empty, red);
    lrf::FillSegment(canvas, empty, red);
    canvas.end();
    EXPECT_EQ(cell, WhiteCell());
}

TEST(DigitRenderer, OperationsLeavePenAndBrushAsTheyWere) {
    const QColor blue(Qt::blue);
    const std::function<void(QPainter&)> operations[] = {
        [&](QPainter& p) { lrf::DrawDigit(p, 8, blue, blue); },
        [&](QPainter& p) { lrf::DrawDigit(p, -11, blue, blue); },
        [&](QPainter& p) { lrf::DrawDigit(p, lrf::DIGIT_BLANK, blue, blue); },
        [&](QPainter& p) { lrf::DrawSegmentOutline(p, lrf::SegmentPolygons[6], blue); },
        [&](QPainter& p) { lrf::FillSegment(p, lrf::SegmentPolygons[6], blue); },
        [&](QPainter& p) { lrf::DrawPointOutline(p, lrf::PointCenter, blue); },
        [&](QPainter& p) { lrf::FillPoint(p, lrf::PointCenter, blue); },
    };
    int index = 0;
    for (const auto& operation : operations) {
        QImage cell = WhiteCell();
        QPainter canvas(&cell);
        lrf::SetUpCellPainter(canvas);
        QPen pen(QColor(10, 20, 30), 1, Qt::SolidLine);
        pen.setCosmetic(true);
        canvas.setPen(pen);
        canvas.setBrush(QColor(40, 50, 60));
        const QPen penBefore = canvas.pen();
        const QBrush brushBefore = canvas.brush();
        operation(canvas);
        EXPECT_EQ(canvas.pen(), penBefore) << "operation " << index;
        EXPECT_EQ(canvas.brush(), brushBefore) << "operation " << index;
        ++index;
    }
}

// The background is the painter's brush when drawing starts.
TEST(DigitRenderer, BackgroundIsTheCurrentBrush) {
    QImage cell = WhiteCell();
    QPainter canvas(&cell);
    lrf::SetUpCellPainter(canvas);
    canvas.setBrush(QColor(Qt::yellow));
    lrf::DrawDigit(canvas, 1, kButtonFace, Qt::black);
    canvas.end();
    EXPECT_EQ(cell.pixel(0, 0), QColor(Qt::yellow).rgb());
    EXPECT_EQ(cell.pixel(kInside[0]), QColor(Qt::yellow).rgb());
    EXPECT_EQ(cell.pixel(kPointInside), QColor(Qt::yellow).rgb()); // unlit point inside
    EXPECT_EQ(cell.pixel(kInside[1]), kBlack);
}

// A picture is the cell the renderer draws for its code and colours, made once:
// asked again it is not drawn again, and other colours get pictures of their own.
TEST(DigitPictures, AreTheRenderedCellsDrawnOncePerCodeAndColours) {
    lrf::DigitPictures pictures;
    const QColor outlines[] = {kButtonFace, QColor(Qt::red), kButtonFace};
    for (const QColor& outline : outlines) {
        for (int code = -15; code <= 11; ++code) {
            SCOPED_TRACE(testing::Message()
                         << "code " << code << " outline " << outline.name().toStdString());
            QImage drawn = WhiteCell();
            {
                QPainter canvas(&drawn);
                lrf::SetUpCellPainter(canvas);
                lrf::DrawDigit(canvas, code, outline, Qt::black);
            }
            EXPECT_EQ(pictures.Picture(code, outline, Qt::black), drawn);
            const auto runs = lrf::DrawDigitCalls();
            EXPECT_EQ(pictures.Picture(code, outline, Qt::black), drawn);
            EXPECT_EQ(lrf::DrawDigitCalls(), runs);
        }
    }
}
