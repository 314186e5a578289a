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
        distance->bind(&linearDistance, &distanceUnit);
        speed->bind(&speedValue, &speedUnit);
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
    double linearDistance = 0.0;
    std::uint8_t distanceUnit = 0;
    double speedValue = 0.0;
    std::uint8_t speedUnit = 3;
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
        EXPECT_EQ(selector->font().pixelSize(), 32);
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
    // Showing never writes the owner's value or unit.
    EXPECT_EQ(linearDistance, 0.0);
    EXPECT_EQ(distanceUnit, 0);
    EXPECT_EQ(speedValue, 0.0);
    EXPECT_EQ(speedUnit, 3);
}

// The operator's choice converts the held value, stores the new unit and shows it.
TEST_F(Readouts, PickingAUnitConvertsTheHeldValue) {
    const struct {
        bool isDistance;
        double value;
        std::uint8_t unit;
        int item;
        double converted;
        std::uint8_t newUnit;
        Codes codes;
    } cases[] = {
        {true, 10.0, 0, 2, 32.808, 2, {B, B, 3, -2, 8}},
        {true, 23.0, 1, 0, 21.0312, 0, {B, B, 2, -1, 0}},
        {true, 100.0, 2, 1, 33.332928, 1, {B, B, 3, -3, 3}},
        {false, 100.0, 3, 2, 100.0 / 3.6, 5, {B, B, 2, -7, 8}},
        {false, 50.0, 4, 0, 80.4672, 3, {B, B, 8, ZP, 5}},
        // Picking the unit already held keeps the value exactly.
        {true, 100.0, 1, 1, 100.0, 1, {B, 1, 0, ZP, 0}},
        {true, 2399.99, 2, 2, 2399.99, 2, {2, 4, 0, ZP, 0}},
        {false, 123.4, 4, 1, 123.4, 4, {B, 1, 2, -3, 4}},
        // A real value above the mark's figure still converts.
        {false, 1000.0, 3, 1, 1000.0 / 1.609344, 4, {B, 6, 2, -1, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.value << " from " << int{c.unit} << " item " << c.item);
        double& value = c.isDistance ? linearDistance : speedValue;
        std::uint8_t& unit = c.isDistance ? distanceUnit : speedUnit;
        lrf::ReadoutPanel* panel = c.isDistance ? static_cast<lrf::ReadoutPanel*>(distance)
                                                : static_cast<lrf::ReadoutPanel*>(speed);
        value = c.value;
        unit = c.unit;
        pick(panel->unitSelector(), c.item);
        EXPECT_DOUBLE_EQ(value, c.converted);
        if (c.newUnit == c.unit) {
            EXPECT_EQ(value, c.value);
        }
        EXPECT_EQ(unit, c.newUnit);
        EXPECT_TRUE(ShowsCodes(*panel, c.codes));
        EXPECT_EQ(panel->unitSelector()->currentIndex(), c.item);
    }
}

// A held mark is still the mark after any number of unit changes.
TEST_F(Readouts, NoValueMarkSurvivesUnitChanges) {
    linearDistance = lrf::kNoDistance;
    speedValue = lrf::kNoSpeed;
    distance->ShowDistance(distanceUnit, linearDistance);
    speed->ShowSpeed(speedUnit, speedValue);
    const int picks[] = {1, 2, 0, 1, 1, 0, 2, 1, 0};
    for (int item : picks) {
        pick(distance->unitSelector(), item);
        pick(speed->unitSelector(), item);
        EXPECT_EQ(linearDistance, lrf::kNoDistance) << item;
        EXPECT_EQ(speedValue, lrf::kNoSpeed) << item;
        EXPECT_EQ(distanceUnit, item);
        EXPECT_EQ(speedUnit, item + 3);
        EXPECT_TRUE(ShowsCodes(*distance, kDashes)) << item;
        EXPECT_TRUE(ShowsCodes(*speed, kDashes)) << item;
    }
}

// Selecting an item from code (as the show operations do) converts nothing.
TEST_F(Readouts, SelectingFromCodeDoesNotConvert) {
    linearDistance = 10.0;
    speedValue = 100.0;
    distance->unitSelector()->setCurrentIndex(2);
    speed->unitSelector()->setCurrentIndex(1);
    distance->ShowDistance(1, 10.0);
    EXPECT_EQ(linearDistance, 10.0);
    EXPECT_EQ(distanceUnit, 0);
    EXPECT_EQ(speedValue, 100.0);
    EXPECT_EQ(speedUnit, 3);
}

// Without an owner's state the panel converts the last value it was shown.
TEST(ReadoutPanel, UnboundPanelConvertsWhatItShows) {
    lrf::DistanceReadout readout;
    readout.ShowDistance(0, 10.0);
    emit readout.unitSelector()->activated(2);
    EXPECT_TRUE(ShowsCodes(readout, {B, B, 3, -2, 8}));
    emit readout.unitSelector()->activated(0);
    EXPECT_TRUE(ShowsCodes(readout, {B, B, 1, ZP, 0})); // 32.808 ft is 9.9998784 m
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
