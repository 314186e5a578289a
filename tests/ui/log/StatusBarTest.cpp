#include "LogStatistics.h"
#include "LogStatusBar.h"
#include "LogTestSupport.h"
#include "LogWindowSink.h"
#include "Recorder.h"
#include "TempDir.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QToolButton>

#include <functional>

using namespace lrf;

namespace {

bool RunUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

class StatusBarTest : public LogWindowTest {
protected:
    StatusBarTest() {
        window.SetAutoSaveDirectory(QString::fromStdString(dir.path().string()));
        recorder.SetRecording(true);
    }

    void Record(double distance, double speed, bool rotation = false, bool distancePhase = false,
                std::uint8_t distanceUnit = unitMetre) {
        MeasurementInputs values;
        values.LinearDistance = distance;
        values.SpeedValue = speed;
        values.DistanceUnit = distanceUnit;
        values.RotationMode = rotation;
        values.RotationDistancePhase = distancePhase;
        recorder.Record(values, {}, LocalDateTime{2024, 3, 5, 14, 7, 39, 52}, {});
    }
    QLabel* Label() const { return window.findChild<QLabel*>("statsLabel"); }
    // The whole line once the paced refresh has shown the statistics of now.
    QString Shown() const {
        RunUntil([&] { return !window.StatusBar().RefreshPending(); });
        return Label()->toolTip();
    }

    TempDir dir;
    LogWindowSink sink{window};
    Recorder recorder{sink};
};

} // namespace

TEST_F(StatusBarTest, ShowsTheStatisticsOfAKnownLog) {
    window.show();
    Record(12.2, kNoSpeed);
    Record(12.4, kNoSpeed);
    Record(kNoDistance, kNoSpeed); // a reply without a value
    Record(12.6, kNoSpeed);
    Record(20.0, kNoSpeed, true, true); // a rotation pair: one record
    Record(kNoDistance, 45.6, true, false);
    const std::string expected = "5 records | Distance M: n 4, mean 14.30, sd 3.80, min 12.2, "
                                 "max 20.0, spread 7.8 | Speed KPH: n 1, mean 45.60, sd 0.00, "
                                 "min 45.6, max 45.6, spread 0.0 | no value 1";
    EXPECT_EQ(Shown().toStdString(), expected);
    // Too long for the bar: the shorter line, cut off.
    EXPECT_TRUE(Label()->text().startsWith("5 records | Distance M: n 4, mean 14.30, sd 3.80, "
                                           "spread 7.8"))
        << Label()->text().toStdString();

    // A change of unit starts a second distance group.
    Record(40.0, kNoSpeed, false, false, unitFoot);
    EXPECT_TRUE(Shown().contains("Distance Ft (group 2): n 1, mean 40.00"));
    // The window and its status bar keep their design sizes.
    EXPECT_EQ(window.size(), QSize(768, 230));
    EXPECT_EQ(window.findChild<QStatusBar*>("RzStatusBar1")->height(), 19);
    EXPECT_LE(window.minimumSizeHint().width(), 768);

    // The context menu copies every group as text.
    QAction* copy = window.findChild<QAction*>("actCopyStatistics");
    ASSERT_TRUE(copy);
    copy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
              "Quantity\tUnit\tFirst record\tLast record\tn\tMean\tStandard deviation\tMinimum\t"
              "Maximum\tSpread\n"
              "Distance\tM\t1\t5\t4\t14.300\t3.804\t12.2\t20.0\t7.8\n"
              "Distance\tFt\t6\t6\t1\t40.000\t0.000\t40.0\t40.0\t0.0\n"
              "Speed\tKPH\t5\t5\t1\t45.600\t0.000\t45.6\t45.6\t0.0\n"
              "Records\t6\n"
              "No value\t1\n");
    window.hide();
}

TEST_F(StatusBarTest, ClearsStartAfreshAndMessagesGiveTheStatisticsBack) {
    window.show();
    auto* bar = window.findChild<QStatusBar*>("RzStatusBar1");
    auto* store = window.findChild<QLabel*>("storeStateLabel");
    auto* chart = window.findChild<QToolButton*>("btnChart");
    ASSERT_TRUE(store && chart);
    EXPECT_FALSE(store->isVisible()); // until a store state is given

    Record(10.0, kNoSpeed);
    ASSERT_TRUE(RunUntil([&] { return !Label()->text().isEmpty(); }));
    window.StatusBar().SetStoreState("stored");
    window.ShowStatusMessage("automatic save written");
    EXPECT_EQ(bar->currentMessage(), "automatic save written");
    EXPECT_FALSE(Label()->isVisible());
    EXPECT_TRUE(store->isVisible());
    EXPECT_TRUE(chart->isVisible());
    Record(11.0, kNoSpeed); // counted underneath the message
    bar->clearMessage();
    EXPECT_TRUE(Label()->isVisible());
    EXPECT_TRUE(Shown().startsWith("2 records | Distance M: n 2, mean 10.50"));

    recorder.Clear();
    EXPECT_EQ(window.Statistics().RecordCount(), 0);
    ASSERT_TRUE(RunUntil([&] { return Label()->text().isEmpty(); }));

    // The clear after the automatic save at 2000 records starts the statistics
    // again from the next record.
    for (int i = 0; i < Recorder::AutoSaveLimit + 3; ++i)
        Record(i % 2 ? 5.0 : 6.0, kNoSpeed);
    EXPECT_EQ(window.Statistics().RecordCount(), 3);
    EXPECT_EQ(window.Statistics().CurrentGroup(Quantity::Distance)->values.Count(), 3);
    EXPECT_TRUE(Shown().startsWith("3 records | Distance M: n 3, mean 5.67"));
    window.hide();
}
