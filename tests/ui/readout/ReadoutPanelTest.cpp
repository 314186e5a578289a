#include "ReadoutPanel.h"
#include "CellImages.h"
#include "DigitCell.h"
#include "DigitCodes.h"
#include "DigitRenderer.h"
#include "Units.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPixmap>
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

namespace {

using Codes = std::array<int, 5>;
constexpr int B = lrf::DIGIT_BLANK;
constexpr int M = lrf::DIGIT_MINUS;
constexpr int ZP = lrf::DIGIT_ZERO_POINT;
constexpr Codes kDashes{M, M, M, lrf::DIGIT_MINUS_POINT, M};

// Compares each cell image with a cell rendered on its own for the expected code.
testing::AssertionResult ShowsCodes(const lrf::ReadoutPanel& panel, const Codes& codes) {
    for (int i = 0; i < 5; ++i) {
        if (panel.cellImage(i) != lrf::test::RenderedCell(codes[static_cast<std::size_t>(i)]))
            return testing::AssertionFailure()
                   << "cell " << i << " does not show code " << codes[static_cast<std::size_t>(i)];
    }
    return testing::AssertionSuccess();
}

class Readouts : public testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        window->resize(420, 200);
        distance = new lrf::DistanceReadout(window.get());
        distance->setGeometry(134, 8, 267, 88);
        speed = new lrf::SpeedReadout(window.get());
        speed->setGeometry(134, 97, 267, 89);
        distance->ShowDistance(0, 0.0);
        speed->ShowSpeed(3, 0.0);
    }

    void pick(QComboBox* selector, int index) {
        // What the operator's choice delivers: the current item changes, then activated.
        selector->setCurrentIndex(index);
        emit selector->activated(index);
    }

    std::unique_ptr<QWidget> window;
    lrf::DistanceReadout* distance = nullptr;
    lrf::SpeedReadout* speed = nullptr;
};

} // namespace

TEST_F(Readouts, ChildrenHaveTheirNamesPlacesAndFonts) {
    const struct {
        lrf::ReadoutPanel* panel;
        const char* box;
        const char* title;
        const char* firstCell;
        const char* selector;
        QRect selectorPlace;
        QStringList items;
    } cases[] = {
        {distance,
         "GroupBox1",
         "RzLabel7",
         "PaintBox",
         "RzComboBox3",
         {188, 39, 57, 0},
         {"M", "Y", "Ft"}},
        {speed,
         "GroupBox3",
         "RzLabel12",
         "PaintBox",
         "RzComboBox1",
         {189, 39, 76, 0},
         {"KPH", "MPH", "M/S"}},
    };
    const int firstNumber[] = {1, 20};
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box);
        EXPECT_EQ(c.panel->objectName(), c.box);
        EXPECT_TRUE(c.panel->title().isEmpty());
        QLabel* title = c.panel->findChild<QLabel*>(c.title);
        ASSERT_EQ(title, c.panel->titleLabel());
        EXPECT_EQ(title->pos(), QPoint(8, 9));
        EXPECT_TRUE(title->font().bold());
        EXPECT_EQ(title->font().pixelSize(), 19);
        for (int i = 0; i < 5; ++i) {
            const QString name = QString(c.firstCell) + QString::number(firstNumber[row] + i);
            auto* cell = c.panel->findChild<lrf::DigitCell*>(name);
            ASSERT_NE(cell, nullptr) << name.toStdString();
            EXPECT_EQ(cell, c.panel->cell(i));
            EXPECT_EQ(cell->geometry(), QRect(8 + 35 * i, 31, 36, 52));
        }
        QComboBox* selector = c.panel->findChild<QComboBox*>(c.selector);
        ASSERT_EQ(selector, c.panel->unitSelector());
        EXPECT_EQ(selector->pos(), c.selectorPlace.topLeft());
        EXPECT_EQ(selector->width(), c.selectorPlace.width());
        EXPECT_FALSE(selector->isEditable());
        // The design's 32 pixels, or as much of them as the box's field holds.
        EXPECT_LE(selector->font().pixelSize(), 32);
        EXPECT_GE(selector->font().pixelSize(), 20);
        QStringList items;
        for (int i = 0; i < selector->count(); ++i)
            items << selector->itemText(i);
        EXPECT_EQ(items, c.items);
        ++row;
    }

    distance->setTitleText("Point to point distance");
    EXPECT_EQ(distance->titleLabel()->text(), "Point to point distance");
    EXPECT_GE(distance->titleLabel()->width(), distance->titleLabel()->sizeHint().width());
}

TEST_F(Readouts, StartShowsZeroOnBothWithBaseUnits) {
    EXPECT_TRUE(ShowsCodes(*distance, {B, B, B, ZP, 0}));
    EXPECT_TRUE(ShowsCodes(*speed, {B, B, B, ZP, 0}));
    EXPECT_EQ(distance->unitSelector()->currentText(), "M");
    EXPECT_EQ(speed->unitSelector()->currentText(), "KPH");
}

TEST_F(Readouts, ShowOperationsDrawTheValueAndSelectTheUnit) {
    const struct {
        bool isDistance;
        std::uint8_t unit;
        double value;
        Codes codes;
        const char* item;
    } cases[] = {
        {true, 0, 12.34, {B, B, 1, -2, 3}, "M"},
        {true, 2, 1234.5, {1, 2, 3, -4, 5}, "Ft"},
        {true, 1, -123.4, {M, 1, 2, -3, 4}, "Y"},
        {true, 0, -1234.5, {M, 1, 2, 3, -4}, "M"},
        {true, 0, 2400.0, kDashes, "M"},
        {true, 0, 2399.96, {2, 4, 0, ZP, 0}, "M"},
        {true, 0, 990.0, {B, 9, 9, ZP, 0}, "M"},
        {true, 5, 1.0, {B, B, B, -1, 0}, ""}, // a speed unit on the distance readout
        {false, 4, 67.89, {B, B, 6, -7, 9}, "MPH"},
        {false, 5, 990.0, kDashes, "M/S"},
        {false, 3, 1500.0, kDashes, "KPH"},
        {false, 3, -5000.0, {M, 5, 0, 0, ZP}, "KPH"},
        {false, 0, 5.0, {B, B, B, -5, 0}, ""},
    };
    int picks = 0;
    for (lrf::ReadoutPanel* panel :
         {static_cast<lrf::ReadoutPanel*>(distance), static_cast<lrf::ReadoutPanel*>(speed)})
        QObject::connect(panel, &lrf::ReadoutPanel::unitPicked, panel,
                         [&picks](std::uint8_t) { ++picks; });
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " unit " << int{c.unit});
        lrf::ReadoutPanel* panel = c.isDistance ? static_cast<lrf::ReadoutPanel*>(distance)
                                                : static_cast<lrf::ReadoutPanel*>(speed);
        const auto before = panel->renderCount();
        if (c.isDistance)
            distance->ShowDistance(c.unit, c.value);
        else
            speed->ShowSpeed(c.unit, c.value);
        EXPECT_TRUE(ShowsCodes(*panel, c.codes));
        EXPECT_EQ(panel->renderCount() - before, 5U);
        EXPECT_EQ(panel->unitSelector()->currentText(), c.item);
    }
    // Showing selects the unit's item without announcing a pick: the owner's
    // value and unit stay as they are.
    EXPECT_EQ(picks, 0);
}

// The operator's choice is announced as the picked item's unit code; the owner
// converts its value. The readout itself keeps what it was shown, and an item
// selected from code, as the show operations do, announces nothing.
TEST_F(Readouts, PickingAUnitAnnouncesItOnly) {
    std::vector<int> picked;
    for (lrf::ReadoutPanel* panel :
         {static_cast<lrf::ReadoutPanel*>(distance), static_cast<lrf::ReadoutPanel*>(speed)})
        QObject::connect(panel, &lrf::ReadoutPanel::unitPicked, panel,
                         [&picked](std::uint8_t unit) { picked.push_back(unit); });
    distance->ShowDistance(0, 10.0);
    for (int item : {2, 1, 0})
        pick(distance->unitSelector(), item);
    for (int item : {1, 2, 0})
        pick(speed->unitSelector(), item);
    EXPECT_EQ(picked, (std::vector<int>{2, 1, 0, 4, 5, 3}));
    EXPECT_TRUE(ShowsCodes(*distance, {B, B, 1, ZP, 0}));

    distance->unitSelector()->setCurrentIndex(2);
    speed->unitSelector()->setCurrentIndex(1);
    distance->ShowDistance(1, 10.0);
    speed->ShowSpeed(4, 10.0);
    EXPECT_EQ(picked.size(), 6u);
}

// Uncovering the readouts repaints the cells from their images: the screen shows
// the images and the renderer does not run.
TEST_F(Readouts, RepaintCopiesImagesWithoutRendering) {
    distance->ShowDistance(1, 1234.5);
    speed->ShowSpeed(4, -67.8);
    window->show();
    auto* cover = new QWidget(window.get());
    cover->setAutoFillBackground(true);
    cover->setGeometry(window->rect());
    cover->show();
    cover->raise();
    QApplication::processEvents();

    const auto distanceRuns = distance->renderCount();
    const auto speedRuns = speed->renderCount();
    const auto rendererRuns = lrf::DrawDigitCalls();
    int paintsBefore[10];
    for (int i = 0; i < 5; ++i) {
        paintsBefore[i] = distance->cell(i)->paintCount();
        paintsBefore[5 + i] = speed->cell(i)->paintCount();
    }

    cover->hide();
    QApplication::processEvents();
    window->repaint();
    const QPixmap screen = window->grab();

    EXPECT_EQ(distance->renderCount(), distanceRuns);
    EXPECT_EQ(speed->renderCount(), speedRuns);
    EXPECT_EQ(lrf::DrawDigitCalls(), rendererRuns);
    for (int i = 0; i < 5; ++i) {
        EXPECT_GT(distance->cell(i)->paintCount(), paintsBefore[i]) << "distance cell " << i;
        EXPECT_GT(speed->cell(i)->paintCount(), paintsBefore[5 + i]) << "speed cell " << i;
    }

    // The last cell is drawn whole; the others lose their last, blank column to
    // the next cell, which overlaps it.
    const QImage shown = screen.toImage().convertToFormat(QImage::Format_RGB32);
    for (lrf::ReadoutPanel* panel :
         {static_cast<lrf::ReadoutPanel*>(distance), static_cast<lrf::ReadoutPanel*>(speed)}) {
        for (int i = 0; i < 5; ++i) {
            const QPoint origin = panel->mapTo(window.get(), panel->cell(i)->pos());
            const int width = i == 4 ? 36 : 35;
            EXPECT_EQ(shown.copy(QRect(origin, QSize(width, 52))),
                      panel->cellImage(i).copy(0, 0, width, 52))
                << panel->objectName().toStdString() << " cell " << i;
        }
    }
}
