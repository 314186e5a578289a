#include "ChartFrm.h"
#include "ChartView.h"
#include "LogEvents.h"
#include "LogStatusBar.h"
#include "MeasurementRecord.h"
#include "ShowDataFrm.h"
#include "TempDir.h"
#include "TestDialogs.h"

#include <QAreaSeries>
#include <QChart>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineSeries>
#include <QTest>
#include <QToolButton>
#include <QValueAxis>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace lrf;

namespace {

void Add(TFrmShowData& window, int index, const std::string& distance,
         const std::string& speed = kNoSpeedText, int wParam = 0, const char* unit = "M") {
    TAData r;
    r.Index = index;
    r.DistanceText = distance;
    r.DistanceUnitName = unit;
    r.SpeedText = speed;
    r.SpeedUnitName = "KPH";
    DataAddEvent event(r, wParam);
    QCoreApplication::sendEvent(&window, &event);
}

void Clear(TFrmShowData& window) {
    QEvent event(WM_DATA_CLEAR);
    QCoreApplication::sendEvent(&window, &event);
}

// Runs the event loop until done() (no upper bound that a loaded machine could miss).
bool RunUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

class ChartTest : public ::testing::Test {
protected:
    ChartTest() {
        window.InitGrid();
        window.show();
        window.ShowChart();
        chart = window.Chart();
    }
    ~ChartTest() override {
        window.hide();
        if (chart)
            chart->hide();
    }

    int MaxPoints() const { return 2 * static_cast<int>(chart->Chart()->plotArea().width()) + 4; }

    TestDialogs dialogs;
    TFrmShowData window;
    TFrmChart* chart = nullptr;
};

} // namespace

TEST_F(ChartTest, OpensFromTheLogWindowOnly) {
    ASSERT_TRUE(chart);
    EXPECT_TRUE(chart->isVisible());
    EXPECT_TRUE(chart->isWindow());
    chart->hide();
    // The chart button sits at the right end of the status bar ...
    auto* button = window.findChild<QToolButton*>("btnChart");
    ASSERT_TRUE(button);
    const auto* bar = window.findChild<QWidget*>("RzStatusBar1");
    EXPECT_GT(button->geometry().center().x(), bar->width() * 3 / 4);
    button->click();
    EXPECT_TRUE(chart->isVisible());
    EXPECT_EQ(window.Chart(), chart); // one chart window, shown again
    chart->hide();
    // ... and Ctrl+G in the log window does the same.
    window.activateWindow();
    ASSERT_TRUE(RunUntil([&] { return window.isActiveWindow(); }));
    QTest::keyClick(&window, Qt::Key_G, Qt::ControlModifier);
    EXPECT_TRUE(chart->isVisible());
}

TEST_F(ChartTest, SeriesAfterAClearAndAfterSixtyThousandRecords) {
    for (int i = 0; i < 60000; ++i) {
        const double d = 100.0 + 3.0 * std::sin(i / 500.0) + (i % 13) * 0.1;
        Add(window, i, i % 97 == 0 ? kNoDistanceText : DistanceRecordText(d));
    }
    chart->Refresh();
    const int maxPoints = MaxPoints();
    EXPECT_GT(chart->Values(Quantity::Distance)->Count(), maxPoints / 4);
    EXPECT_LE(chart->Values(Quantity::Distance)->Count(), maxPoints);
    EXPECT_EQ(chart->Mean(Quantity::Distance)->count(), 2); // one group: one step
    EXPECT_EQ(chart->Band(Quantity::Distance)->upperSeries()->count(), 2);
    EXPECT_EQ(chart->Band(Quantity::Distance)->lowerSeries()->count(), 2);
    EXPECT_EQ(chart->Values(Quantity::Speed)->Count(), 0);
    EXPECT_FALSE(chart->Line(Quantity::Speed)->isVisible());
    // The whole log, up to a round number a little past its end.
    EXPECT_GE(chart->RecordAxis()->max(), 60000.5);
    EXPECT_LE(chart->RecordAxis()->max(), 60000 * 1.05);
    // The band is drawn at the group's mean plus and minus its deviation.
    const StatsGroup* group = window.Statistics().CurrentGroup(Quantity::Distance);
    ASSERT_TRUE(group);
    EXPECT_DOUBLE_EQ(chart->Mean(Quantity::Distance)->at(0).y(), group->values.Mean());
    EXPECT_DOUBLE_EQ(chart->Band(Quantity::Distance)->upperSeries()->at(0).y(),
                     group->values.Mean() + group->values.StdDev());
    EXPECT_EQ(chart->Chart()->series().size(), 6);

    Clear(window);
    chart->Refresh();
    EXPECT_EQ(chart->Values(Quantity::Distance)->Count(), 0);
    EXPECT_EQ(chart->Mean(Quantity::Distance)->count(), 0);
    EXPECT_EQ(chart->Band(Quantity::Distance)->upperSeries()->count(), 0);
    EXPECT_EQ(chart->Chart()->series().size(), 6);
    EXPECT_TRUE(chart->Range().Whole());
}

TEST_F(ChartTest, FollowsTheLogLiveAtMostTwentyTimesASecond) {
    // A speed-only log: the speed appears on its own axis, the distance stays hidden.
    QElapsedTimer clock;
    clock.start();
    const int redrawsBefore = chart->RedrawCount();
    int index = 0;
    while (clock.elapsed() < 1000) {
        Add(window, index, kNoDistanceText, SpeedRecordText(40 + index % 5));
        ++index;
        QCoreApplication::processEvents();
    }
    const qint64 elapsed = clock.elapsed();
    const int redraws = chart->RedrawCount() - redrawsBefore;
    EXPECT_LE(redraws, elapsed / TFrmChart::kRedrawIntervalMs + 1) << index << " records";
    EXPECT_GE(redraws, 1);
    ASSERT_TRUE(RunUntil([&] { return chart->RecordAxis()->max() >= index + 0.5 - 1e-9; }));
    EXPECT_TRUE(chart->Line(Quantity::Speed)->isVisible());
    EXPECT_TRUE(chart->Axis(Quantity::Speed)->isVisible());
    EXPECT_FALSE(chart->Line(Quantity::Distance)->isVisible());
    EXPECT_EQ(chart->Axis(Quantity::Speed)->titleText(), "Speed (KPH)");
}

TEST_F(ChartTest, WheelZoomsDoubleClickResetsAndUnitChangesStartASecondBand) {
    for (int i = 0; i < 400; ++i)
        Add(window, i, DistanceRecordText(10 + i % 3), kNoSpeedText, 0, i < 300 ? "M" : "Ft");
    chart->Refresh();
    EXPECT_EQ(chart->Mean(Quantity::Distance)->count(), 4); // two groups, two steps
    EXPECT_EQ(chart->Axis(Quantity::Distance)->titleText(), "Distance (M, Ft)");

    auto* chartView = chart->findChild<ChartView*>("chartView");
    ASSERT_TRUE(chartView);
    QWidget* view = chartView->viewport(); // where the view gets its mouse
    const QPoint at = chartView->mapFromScene(chart->Chart()->plotArea().center());
    QWheelEvent wheel(at, view->mapToGlobal(at), QPoint(), QPoint(0, 360), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view, &wheel);
    EXPECT_FALSE(chart->Range().Whole());
    EXPECT_LT(chart->RecordAxis()->max() - chart->RecordAxis()->min(), 400 * 0.6);
    EXPECT_EQ(chart->RecordAxis()->max(), chart->Range().Last());

    QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(at), view->mapToGlobal(QPointF(at)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &click);
    EXPECT_TRUE(chart->Range().Whole());
    EXPECT_GE(chart->RecordAxis()->max(), 400.5);
    EXPECT_LE(chart->RecordAxis()->max(), 400 * 1.05);
}

TEST_F(ChartTest, RubberBandZoomsToTheDraggedRecords) {
    for (int i = 0; i < 1000; ++i)
        Add(window, i, DistanceRecordText(10 + i % 7));
    chart->Refresh();
    auto* chartView = chart->findChild<ChartView*>("chartView");
    ASSERT_TRUE(chartView);
    QWidget* view = chartView->viewport();
    const QRectF plot = chartView->mapFromScene(chart->Chart()->plotArea()).boundingRect();
    const auto send = [&](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
        QMouseEvent e(type, at, view->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &e);
    };
    const QPointF from(plot.left() + plot.width() * 0.25, plot.top() + 10);
    const QPointF to(plot.left() + plot.width() * 0.5, plot.bottom() - 10);
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    EXPECT_FALSE(chart->Range().Whole());
    EXPECT_NEAR(chart->Range().First(), 250, 10);
    EXPECT_NEAR(chart->Range().Last(), 500, 10);

    // A click without a drag zooms nothing.
    const ChartRange before = chart->Range();
    send(QEvent::MouseButtonPress, to, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to + QPointF(2, 1), Qt::NoButton);
    EXPECT_EQ(chart->Range().First(), before.First());
    EXPECT_EQ(chart->Range().Last(), before.Last());
}

TEST_F(ChartTest, SavesPngAndSvgAndRefusesOtherNames) {
    TempDir dir;
    for (int i = 0; i < 50; ++i)
        Add(window, i, DistanceRecordText(10 + i % 4));
    const struct {
        const char* name;
        QByteArray start;
    } cases[] = {
        {"chart.png", QByteArray("\x89PNG", 4)},
        {"chart.SVG", QByteArray("<?xml")},
    };
    for (const auto& c : cases) {
        dialogs.saveFileName = QString::fromStdString((dir.path() / c.name).string());
        chart->btnSaveChartClick();
        QFile file(dialogs.saveFileName);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.name;
        EXPECT_TRUE(file.readAll().startsWith(c.start)) << c.name;
    }
    EXPECT_TRUE(dialogs.messages.isEmpty());

    // Another suffix is refused; a folder that is not there is reported; an
    // existing file is left as it was.
    const QString kept = QString::fromStdString((dir.path() / "chart.jpg").string());
    QFile existing(kept);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("old");
    existing.close();
    dialogs.saveFileName = kept;
    chart->btnSaveChartClick();
    dialogs.saveFileName = QString::fromStdString((dir.path() / "none" / "c.png").string());
    chart->btnSaveChartClick();
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[0].contains(".png or .svg")) << dialogs.messages[0].toStdString();
    EXPECT_TRUE(dialogs.messages[1].contains("none")) << dialogs.messages[1].toStdString();
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), "old");

    dialogs.saveFileName.clear(); // cancelled: nothing happens
    chart->btnSaveChartClick();
    EXPECT_EQ(dialogs.messages.size(), 2);
}
