#include "LogActions.h"
#include "LogGridModel.h"
#include "LogTestSupport.h"
#include "LogWindowSink.h"
#include "Recorder.h"

#include <QApplication>
#include <QHeaderView>
#include <QLocale>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>

#include <stdexcept>

using namespace lrf;

TEST_F(LogWindowTest, StartsHiddenWithHeaderRowAndOneEmptyRow) {
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "Data show window");
    EXPECT_EQ(window.RowCount(), 2);
    EXPECT_EQ(Row(0), (QStringList{"SN", "Linear", "Unit", "Speed", "Unit", "Place", "Distination",
                                   "DateTime", "Model", "LRF Code"}));
    EXPECT_EQ(Row(1), QStringList(10, QString()));
    // Cells outside the grid are refused, not read from beside it.
    EXPECT_THROW(window.Cells(10, 1), std::out_of_range);
    EXPECT_THROW(window.Cells(-1, 1), std::out_of_range);
    EXPECT_THROW(window.Cells(0, 2), std::out_of_range);
    const int widths[] = {30, 60, 30, 60, 50, 100, 100, 100, 80, 80};
    for (int column = 0; column < 10; ++column)
        EXPECT_EQ(window.ColWidths(column), widths[column]) << column;
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);

    const auto* grid = window.findChild<QTableView*>("StringGrid1");
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(), 20);
    EXPECT_FALSE(grid->model()->flags(grid->model()->index(0, 1)) & Qt::ItemIsEditable);
    ASSERT_TRUE(window.findChild<QStatusBar*>("RzStatusBar1"));
    EXPECT_TRUE(window.findChild<QStatusBar*>("RzStatusBar1")->currentMessage().isEmpty());
}

TEST_F(LogWindowTest, RowsGrowWithRecordsAndFollowTheCurrentRecord) {
    SendAdd(window, MakeRecord(0, "  12.3"));
    EXPECT_EQ(window.RowCount(), 2); // the first record fills row 1
    EXPECT_EQ(Row(1), (QStringList{"1", "  12.3", "M", "---.-", "KPH", "Quay", "Mast",
                                   "2024/03/05 14:07:39.52", "X1", "C7"}));
    EXPECT_EQ(window.Row(), 1);

    SendAdd(window, MakeRecord(1, "  13.0"));
    EXPECT_EQ(window.RowCount(), 3);
    EXPECT_EQ(window.Row(), 2);

    // A record for a later row grows the grid to it; rewriting an earlier row
    // does not shrink it.
    SendAdd(window, MakeRecord(5, "   1.0"));
    EXPECT_EQ(window.RowCount(), 7);
    SendAdd(window, MakeRecord(1, "  14.0"));
    EXPECT_EQ(window.RowCount(), 7);
    EXPECT_EQ(window.Cells(1, 2), "  14.0");
    EXPECT_EQ(window.Row(), 2);
    EXPECT_FALSE(window.isVisible()); // all handled while hidden
}

// The grid's current row follows the records once the sender's handler has
// returned: Row() tells it at once, the shown grid has it selected and in view
// after the event loop's pass, and a clear in between leaves row 1 current.
TEST_F(LogWindowTest, ShownGridSelectsAndShowsTheLastRecordAfterTheHandler) {
    window.show();
    auto* grid = window.findChild<QTableView*>("StringGrid1");
    ASSERT_TRUE(grid);
    for (int i = 0; i < 200; ++i)
        SendAdd(window, MakeRecord(i, "   5.0"));
    EXPECT_EQ(window.Row(), 200);
    QApplication::processEvents();
    EXPECT_EQ(grid->currentIndex().row(), LogGridModel::ModelRow(200));
    EXPECT_TRUE(grid->viewport()->rect().contains(grid->visualRect(grid->currentIndex())));

    for (int i = 200; i < 205; ++i)
        SendAdd(window, MakeRecord(i, "   6.0"));
    SendPlain(window, WM_DATA_CLEAR);
    QApplication::processEvents();
    EXPECT_EQ(window.RowCount(), 2);
    EXPECT_EQ(window.Row(), 1);
    window.hide();
}

TEST_F(LogWindowTest, SpeedHalfChangesOnlyTheSpeedCells) {
    SendAdd(window, MakeRecord(0, " 100.0"));
    const QStringList before = Row(1);
    TAData speed;
    speed.Index = 0;
    speed.SpeedText = "  50.0";
    speed.SpeedUnitName = "M/S";
    SendAdd(window, speed, 1);
    QStringList expected = before;
    expected[3] = "  50.0";
    expected[4] = "M/S";
    EXPECT_EQ(Row(1), expected);
    ASSERT_EQ(window.Mirror().Lines().size(), 2u);
    EXPECT_EQ(window.Mirror().Lines()[1],
              "1, 100.0,M,  50.0,M/S,Quay,Mast,2024/03/05 14:07:39.52,X1,C7");
}

TEST_F(LogWindowTest, ClearKeepsRowOneNumberAndTheMirror) {
    for (int i = 0; i < 3; ++i)
        SendAdd(window, MakeRecord(i, "   2.0"));
    SendPlain(window, WM_DATA_CLEAR);
    EXPECT_EQ(window.RowCount(), 2);
    QStringList expected(10, QString());
    expected[0] = "1";
    EXPECT_EQ(Row(1), expected);
    EXPECT_EQ(Row(0)[0], "SN");
    EXPECT_EQ(window.Mirror().Lines().size(), 4u);

    // The next record on row 1 follows the earlier lines.
    SendAdd(window, MakeRecord(0, "   3.0"));
    ASSERT_EQ(window.Mirror().Lines().size(), 5u);
    EXPECT_EQ(window.Mirror().Lines()[1].substr(0, 8), "1,   2.0");
    EXPECT_EQ(window.Mirror().Lines()[4].substr(0, 8), "1,   3.0");
}

TEST_F(LogWindowTest, ShowingPlacesBelowTheMainWindowAndSelectsTheLastRow) {
    QWidget mainWindow;
    mainWindow.setGeometry(10, 10, 776, 200); // room below it on the test screen
    btnShowDataClick(mainWindow, window);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.Row(), 1); // also the empty row 1
    EXPECT_EQ(window.frameGeometry().left(), mainWindow.frameGeometry().left());
    EXPECT_EQ(window.frameGeometry().top(),
              mainWindow.frameGeometry().top() + mainWindow.frameGeometry().height());

    for (int i = 0; i < 40; ++i)
        SendAdd(window, MakeRecord(i, "   5.0"));
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.RowCount(), 41);
    btnShowDataClick(mainWindow, window);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.RowCount(), 41);
    EXPECT_EQ(window.Row(), 40);
    window.hide();

    // Low on the screen: below would leave it, so the log window stays on it.
    mainWindow.setGeometry(338, 324, 776, 347);
    btnShowDataClick(mainWindow, window);
    EXPECT_TRUE(mainWindow.screen()->availableGeometry().contains(window.frameGeometry()))
        << window.frameGeometry().y();
    window.hide();
}

// The high-DPI case is the second row: a 2200 x 1500 screen at scale
// factor 2 is 1100 x 750 for the windows.
TEST(LogWindowPlace, StaysOnTheScreenAndBelowWhereItFits) {
    const QSize log(776, 264);
    const struct {
        const char* name;
        QRect screen, mainFrame, expected;
    } cases[] = {
        {"fits below", {0, 0, 1920, 1080}, {338, 324, 776, 347}, {338, 671, 776, 264}},
        {"moved up", {0, 0, 1100, 750}, {162, 324, 776, 347}, {162, 486, 776, 264}},
        {"beside, right", {0, 0, 1920, 900}, {338, 324, 776, 347}, {1114, 324, 776, 264}},
        {"beside, left", {0, 0, 1920, 900}, {1100, 324, 776, 347}, {324, 324, 776, 264}},
        {"up and in from the edge", {0, 0, 1100, 750}, {600, 500, 776, 347}, {324, 486, 776, 264}},
        {"second screen", {1920, 0, 1100, 750}, {2100, 400, 776, 347}, {2100, 486, 776, 264}},
        {"larger than the screen", {0, 0, 640, 200}, {0, 0, 640, 100}, {0, 0, 776, 264}},
    };
    for (const auto& c : cases) {
        const QRect place = LogWindowPlace(c.mainFrame, log, c.screen);
        EXPECT_EQ(place, c.expected) << c.name;
        if (log.width() <= c.screen.width() && log.height() <= c.screen.height()) {
            EXPECT_TRUE(c.screen.contains(place)) << c.name;
        }
    }
}

TEST_F(LogWindowTest, SixtyThousandRowsStayReachable) {
    TAData record = MakeRecord(0, "  12.3");
    for (int i = 0; i < 60000; ++i) {
        record.Index = i;
        SendAdd(window, record);
    }
    EXPECT_EQ(window.RowCount(), 60001);
    EXPECT_EQ(window.Cells(0, 60000), "60000");
    window.GotoLastRow();
    EXPECT_EQ(window.Row(), 60000);
    SendPlain(window, WM_DATA_CLEAR);
    EXPECT_EQ(window.RowCount(), 2);
    window.Mirror(); // the mirror holds them until the next automatic save
    EXPECT_EQ(window.Mirror().Lines().size(), 60001u);
}

TEST_F(LogWindowTest, RecorderDrivesTheWindowThroughSynchronousEvents) {
    LogWindowSink sink(window);
    Recorder recorder(sink);
    recorder.SetRecording(true);
    const FreeTexts texts{"X1", "C7", "Quay", "Mast"};
    MeasurementInputs distance;
    distance.LinearDistance = 12.3;
    distance.RotationMode = true;
    distance.RotationDistancePhase = true;
    MeasurementInputs speed;
    speed.SpeedValue = 45.6;
    speed.RotationMode = true;
    const LocalDateTime now{2024, 3, 5, 14, 7, 39, 52};

    recorder.Record(distance, texts, now, {});
    recorder.Record(speed, texts, now, {});
    recorder.Record(distance, texts, now, {});
    EXPECT_EQ(window.RowCount(), 3);
    EXPECT_EQ(Row(1), (QStringList{"1", "  12.3", "M", "  45.6", "KPH", "Quay", "Mast",
                                   "2024/03/05 14:07:39.052", "X1", "C7"}));
    EXPECT_EQ(window.Cells(3, 2), "---.-");
    EXPECT_EQ(window.Mirror().Lines().size(), 3u);

    recorder.Clear();
    EXPECT_EQ(window.RowCount(), 2);
    EXPECT_EQ(recorder.RecordCount(), 0);
}
