#include "MainFrm.h"
#include "DigitCodes.h"
#include "HexText.h"
#include "ReplyGathering.h"
#include "ShowDataFrm.h"
#include "TestDialogs.h"
#include "Units.h"

#include <QComboBox>
#include <gtest/gtest.h>

#include <array>

using namespace lrf;

namespace {

using Codes = std::array<int, kReadoutCells>;
constexpr int B = DIGIT_BLANK;
constexpr int M = DIGIT_MINUS;
constexpr int ZP = DIGIT_ZERO_POINT;
constexpr Codes kDashes{M, M, M, DIGIT_MINUS_POINT, M};

// The main window with its log window, after its show handler.
class MainWindow : public testing::Test {
protected:
    MainWindow() {
        form.attachLogWindow(logWindow);
        form.FormShow();
    }

    ReadoutPanel* panel(bool distance) const {
        return distance ? static_cast<ReadoutPanel*>(form.controls().GroupBox1)
                        : static_cast<ReadoutPanel*>(form.controls().GroupBox3);
    }

    // What the operator's choice delivers: the current item changes, then activated.
    void pick(bool distance, int index) {
        QComboBox* selector = panel(distance)->unitSelector();
        selector->setCurrentIndex(index);
        emit selector->activated(index);
    }

    // The readout shows what its show operation draws for (unit, value).
    testing::AssertionResult shows(bool distance, std::uint8_t unit, double value) const {
        DistanceReadout distanceReference;
        SpeedReadout speedReference;
        ReadoutPanel* reference = distance ? static_cast<ReadoutPanel*>(&distanceReference)
                                           : static_cast<ReadoutPanel*>(&speedReference);
        distance ? distanceReference.ShowDistance(unit, value)
                 : speedReference.ShowSpeed(unit, value);
        for (int i = 0; i < ReadoutPanel::kCellCount; ++i)
            if (panel(distance)->cellImage(i) != reference->cellImage(i))
                return testing::AssertionFailure() << "cell " << i << " differs";
        if (panel(distance)->unitSelector()->currentIndex() !=
            reference->unitSelector()->currentIndex())
            return testing::AssertionFailure() << "another unit is selected";
        return testing::AssertionSuccess();
    }

    double& value(bool distance) {
        return distance ? form.state().measurement.LinearDistance
                        : form.state().measurement.SpeedValue;
    }
    std::uint8_t& unit(bool distance) {
        return distance ? form.state().units.DistanceUnit : form.state().units.SpeedUnit;
    }

    TestDialogs dialogs;
    TFrmShowData logWindow;
    TForm1 form;
};

} // namespace

// The operator's choice converts the window's held value, stores the new unit
// and shows it.
TEST_F(MainWindow, PickingAUnitConvertsTheHeldValue) {
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
        value(c.isDistance) = c.value;
        unit(c.isDistance) = c.unit;
        pick(c.isDistance, c.item);
        EXPECT_DOUBLE_EQ(value(c.isDistance), c.converted);
        if (c.newUnit == c.unit) {
            EXPECT_EQ(value(c.isDistance), c.value);
        }
        EXPECT_EQ(unit(c.isDistance), c.newUnit);
        EXPECT_EQ(ReadoutCodes(value(c.isDistance), c.isDistance ? kNoDistance : kNoSpeed),
                  c.codes);
        EXPECT_TRUE(shows(c.isDistance, c.newUnit, value(c.isDistance)));
        EXPECT_EQ(panel(c.isDistance)->unitSelector()->currentIndex(), c.item);
    }
}

// A held mark is still the mark after any number of unit changes.
TEST_F(MainWindow, NoValueMarkSurvivesUnitChanges) {
    value(true) = kNoDistance;
    value(false) = kNoSpeed;
    const int picks[] = {1, 2, 0, 1, 1, 0, 2, 1, 0};
    for (int item : picks) {
        pick(true, item);
        pick(false, item);
        EXPECT_EQ(value(true), kNoDistance) << item;
        EXPECT_EQ(value(false), kNoSpeed) << item;
        EXPECT_EQ(unit(true), item);
        EXPECT_EQ(unit(false), item + 3);
        EXPECT_EQ(ReadoutCodes(value(true), kNoDistance), kDashes) << item;
        EXPECT_TRUE(shows(true, unit(true), value(true))) << item;
        EXPECT_TRUE(shows(false, unit(false), value(false))) << item;
    }
}

// Selecting an item from code (as the show operations do) converts nothing.
TEST_F(MainWindow, SelectingFromCodeDoesNotConvert) {
    value(true) = 10.0;
    value(false) = 100.0;
    panel(true)->unitSelector()->setCurrentIndex(2);
    panel(false)->unitSelector()->setCurrentIndex(1);
    form.controls().GroupBox1->ShowDistance(1, 10.0);
    EXPECT_EQ(value(true), 10.0);
    EXPECT_EQ(unit(true), 0);
    EXPECT_EQ(value(false), 100.0);
    EXPECT_EQ(unit(false), 3);
}

// There and back: what is shown is converted each time, from what the window holds.
TEST_F(MainWindow, UnitChangesConvertWhatIsShown) {
    form.controls().GroupBox1->ShowDistance(0, 10.0);
    value(true) = 10.0;
    pick(true, 2);
    EXPECT_EQ(ReadoutCodes(value(true), kNoDistance), (Codes{B, B, 3, -2, 8}));
    EXPECT_TRUE(shows(true, 2, value(true)));
    pick(true, 0);
    EXPECT_EQ(ReadoutCodes(value(true), kNoDistance), (Codes{B, B, 1, ZP, 0})); // 9.9998784 m
    EXPECT_TRUE(shows(true, 0, value(true)));
}

// The record button's image index and caption follow the recording state.
TEST_F(MainWindow, RecordButtonShowsTheRecordingState) {
    ImageButton* button = form.controls().btnRecordData;
    EXPECT_FALSE(form.recorder().RecordingOn());
    button->click();
    EXPECT_TRUE(form.recorder().RecordingOn());
    EXPECT_EQ(button->imageIndex(), 7);
    EXPECT_EQ(button->text(), "Stop Record");
    button->click();
    EXPECT_FALSE(form.recorder().RecordingOn());
    EXPECT_EQ(button->imageIndex(), 8);
    EXPECT_EQ(button->text(), "Record Data");
}

// A run start switches recording on when it is off and never off again, and
// shows the log window.
TEST_F(MainWindow, RunStartSwitchesRecordingOnAndShowsTheLog) {
    form.controls().RzNumericEdit1->setValue(1); // acts as a single shot: no run stays
    form.controls().RzBitBtn6->click();
    EXPECT_TRUE(form.recorder().RecordingOn());
    EXPECT_EQ(form.controls().btnRecordData->imageIndex(), 7);
    EXPECT_TRUE(logWindow.isVisible());
    form.controls().RzBitBtn9->click();
    EXPECT_TRUE(form.recorder().RecordingOn());
    form.controls().RzBitBtn7->click(); // rotation start
    form.controls().RzBitBtn7->click(); // and stop
    EXPECT_TRUE(form.recorder().RecordingOn());
}

// Each record carries the free texts as they read when the reply came, also
// after they were edited between replies.
TEST_F(MainWindow, RecordsCarryTheFreeTextsOfTheirMoment) {
    form.controls().btnRecordData->click();
    const auto frame = HexTextToBytes("DA 00 23 02 A1 99 00 EE");
    const struct {
        const char* model;
        const char* code;
        const char* place;
        const char* destination;
    } texts[] = {{"LRF-900", "A17", "Bridge", "Tower"}, {"LRF-901", "", "Yard", "Gate"}};
    int row = 1;
    for (const auto& t : texts) {
        form.controls().RzEdit1->setText(t.model);
        form.controls().RzEdit2->setText(t.code);
        form.controls().RzEdit3->setText(t.place);
        form.controls().RzEdit4->setText(t.destination);
        form.replyGathering().receive(frame, ReplyGathering::Clock::now());
        EXPECT_EQ(logWindow.Cells(1, row), "  23.0");
        EXPECT_EQ(logWindow.Cells(5, row), t.place);
        EXPECT_EQ(logWindow.Cells(6, row), t.destination);
        EXPECT_EQ(logWindow.Cells(8, row), t.model);
        EXPECT_EQ(logWindow.Cells(9, row), t.code);
        ++row;
    }
}
