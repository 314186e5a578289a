#include "LogTestSupport.h"
#include "LogWindowSink.h"
#include "Recorder.h"

#include <QAbstractItemModelTester>
#include <QTableView>

using namespace lrf;

// The grid follows the log through the model's own signals: Qt's model tester
// checks every row insertion, removal and change the log announces, across
// rows that skip ahead, rotation pairs and clears.
TEST_F(LogWindowTest, TheGridFollowsTheLogByTheModelsRules) {
    auto* grid = window.findChild<QTableView*>("StringGrid1");
    ASSERT_TRUE(grid);
    QAbstractItemModelTester tester(grid->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    LogWindowSink sink(window);
    Recorder recorder(sink);
    recorder.SetRecording(true);
    const FreeTexts texts{"X1", "C7", "Quay", "Mast"};
    const LocalDateTime now{2024, 3, 5, 14, 7, 39, 52};
    MeasurementInputs distance;
    distance.LinearDistance = 12.34;
    distance.RotationMode = true;
    distance.RotationDistancePhase = true;
    MeasurementInputs speed;
    speed.SpeedValue = 45.66;
    speed.RotationMode = true;

    SendAdd(window, MakeRecord(3, "   1.0")); // skips rows 1 to 3
    EXPECT_EQ(grid->model()->rowCount(), 4);
    SendPlain(window, WM_DATA_CLEAR);
    EXPECT_EQ(grid->model()->rowCount(), 1);
    for (int i = 0; i < 50; ++i) {
        recorder.Record(distance, texts, now, {});
        recorder.Record(speed, texts, now, {});
    }
    EXPECT_EQ(grid->model()->rowCount(), 50);
    recorder.Clear();
    recorder.Record(distance, texts, now, {});
    recorder.Record(speed, texts, now, {});
    EXPECT_EQ(grid->model()->rowCount(), 1);
    EXPECT_EQ(grid->model()->index(0, 3).data().toString(), "  45.7");
    // The statistics count the numbers the cells show, not the unrounded ones.
    const StatsGroup* speeds = window.Statistics().CurrentGroup(Quantity::Speed);
    ASSERT_TRUE(speeds);
    EXPECT_EQ(speeds->values.Count(), 1);
    EXPECT_DOUBLE_EQ(speeds->values.Mean(), 45.7);
    EXPECT_DOUBLE_EQ(window.Statistics().CurrentGroup(Quantity::Distance)->values.Mean(), 12.3);
}
