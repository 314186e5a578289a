// Scan to start through the real main window, offscreen, against the simulator
// through the real serial component: the instrument code typed into the LRF
// Code field with Enter, as a barcode scanner types it.

#include "CPort.h"
#include "ImageButton.h"
#include "MainControls.h"
#include "MainFrm.h"
#include "MeasurementController.h"
#include "MeasurementSession.h"
#include "NumericEdit.h"
#include "PortReconnect.h"
#include "RangefinderSimulator.h"
#include "Recorder.h"
#include "ShowDataFrm.h"
#include "TestDialogs.h"
#include "VerificationPanel.h"
#include "VerificationStation.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <functional>

namespace {

using lrf::sim::SimFault;

// 123.4 m is the simulator's distance: PASS within ±0.15, MARGINAL to ±0.2.
constexpr char kPlan[] = "name = Line check\n"
                         "model = LRF-900\n"
                         "reference = 123.4 m\n"
                         "shots = 6\n"
                         "tolerance = 0.2\n"
                         "marginal = 0.05\n";

struct Sink : lrf::verify::UnitResultSink {
    std::vector<lrf::verify::UnitRecord> units;
    void UnitFinished(const lrf::verify::UnitRecord& unit) override { units.push_back(unit); }
};

class ScanToStart : public ::testing::Test {
protected:
    void SetUp() override {
        lrf::sim::SimSettings settings;
        settings.linePace = false;
        sim.SetSettings(settings);
        sim.Start();
        form.attachLogWindow(logWindow);
        logWindow.SetAutoSaveDirectory(dir.path());
        form.setLeadingPortNames({QString::fromStdString(sim.DevicePath())});
        form.show();
        form.controller().setWatchdogInterval(400);
        station.scan().attachSink(sink);
        QDir(dir.path()).mkdir(QStringLiteral("plans"));
        QFile plan(dir.filePath(QStringLiteral("plans/line.plan")));
        ASSERT_TRUE(plan.open(QIODevice::WriteOnly));
        plan.write(kPlan);
        plan.close();
        station.window().setReportsFolder(reports());
        ui().RzEdit1->setText(QStringLiteral("LRF-900"));
        ui().btnOpenCom->click();
        ASSERT_TRUE(form.comPort().Connected()) << dialogs.messages.join("|").toStdString();
    }

    void TearDown() override {
        if (form.comPort().Connected())
            ui().btnOpenCom->click();
    }

    const lrf::MainControls& ui() { return form.controls(); }
    QString reports() const { return dir.filePath(QStringLiteral("reports")); }
    bool choosePlan() { return station.window().choosePlan(dir.filePath("plans/line.plan")); }

    // What a scanner does: the code's keys into the field, then Enter.
    void scan(const QString& code) {
        QLineEdit* field = ui().RzEdit2;
        field->clear();
        QTest::keyClicks(field, code);
        QTest::keyClick(field, Qt::Key_Return);
    }

    static bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > timeoutMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return true;
    }

    // Scans the code and waits for the unit's verdict.
    void testUnit(const QString& code) {
        const std::size_t before = sink.units.size();
        scan(code);
        ASSERT_TRUE(waitUntil([&] { return sink.units.size() > before; }))
            << "status: " << station.window().statusText().toStdString();
    }

    QStringList reportFiles() const {
        return QDir(reports()).entryList({QStringLiteral("*.pdf")}, QDir::Files);
    }

    TestDialogs dialogs;
    QTemporaryDir dir;
    lrf::sim::RangefinderSimulator sim;
    lrf::TFrmShowData logWindow;
    lrf::TForm1 form;
    lrf::VerificationStation station{form};
    Sink sink;
};

// Each scanned unit runs the plan's shots and ends with its verdict, its report
// and its record; the operator's shot count is back afterwards.
TEST_F(ScanToStart, AScannedCodeTestsThatUnit) {
    struct Case {
        const char* code;
        double distance;
        const char* verdict;
    };
    const Case cases[] = {
        {"SN-0001", 123.4, "PASS"},
        {"SN-0002", 123.6, "MARGINAL"}, // exactly on the tolerance's edge
        {"SN-0003", 123.8, "FAIL"},
    };
    ASSERT_TRUE(choosePlan());
    ui().RzNumericEdit1->setValue(250);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        lrf::sim::SimSettings settings = sim.Settings();
        settings.distance = c.distance;
        sim.SetSettings(settings);
        const std::int32_t records = form.recorder().RecordCount();
        testUnit(QString::fromLatin1(c.code));
        const lrf::verify::UnitRecord& unit = sink.units.back();
        EXPECT_EQ(unit.instrumentCode, c.code);
        EXPECT_EQ(unit.model, "LRF-900");
        EXPECT_EQ(unit.plan.name, "Line check");
        EXPECT_EQ(lrf::verify::VerdictText(unit.result.verdict), c.verdict);
        EXPECT_EQ(unit.result.statistics.replies, 6);
        EXPECT_LE(unit.start, unit.end);
        EXPECT_EQ(station.window().panel().verdictText(), c.verdict);
        EXPECT_EQ(form.recorder().RecordCount(), records + 6);
        EXPECT_EQ(ui().RzNumericEdit1->value(), 250);
        EXPECT_FALSE(form.session().busy());
    }
    const QStringList files = reportFiles();
    ASSERT_EQ(files.size(), 3) << files.join(' ').toStdString();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(files[i].startsWith(cases[i].code)) << files[i].toStdString();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('|').toStdString();
}

// With no plan, or with the port closed, Enter in the field starts no run; the
// closed port is told.
TEST_F(ScanToStart, EnterStartsNothingWithoutAPlanOrAnOpenPort) {
    scan(QStringLiteral("SN-0001"));
    EXPECT_FALSE(form.session().busy());
    EXPECT_EQ(station.window().panel().verdictText(), "NO PLAN");

    ASSERT_TRUE(choosePlan());
    ui().btnOpenCom->click();
    scan(QStringLiteral("SN-0001"));
    EXPECT_FALSE(form.session().busy());
    EXPECT_EQ(dialogs.messages, QStringList{"Open the port before testing a unit."});
    EXPECT_EQ(station.window().panel().verdictText(), "READY");
    EXPECT_EQ(sim.Counters().distanceCommands, 0u);
    EXPECT_TRUE(sink.units.empty());
}

// A code tested earlier today, by this program or with its report in the
// reports folder, is asked about; the answer is honoured either way.
TEST_F(ScanToStart, ACodeTestedTodayIsAskedAbout) {
    struct Case {
        bool reportFromEarlier; // else tested in this program first
        int answer;             // 0 do not test, 1 test again
    };
    const Case cases[] = {{false, 0}, {false, 1}, {true, 0}, {true, 1}};
    ASSERT_TRUE(choosePlan());
    int n = 0;
    for (const Case& c : cases) {
        const QString code = QStringLiteral("SN-%1").arg(++n);
        SCOPED_TRACE(code.toStdString());
        if (c.reportFromEarlier) {
            QDir().mkpath(reports());
            QFile earlier(QDir(reports()).filePath(
                code + QLatin1Char('_') +
                QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + "-070000.pdf"));
            ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        } else {
            testUnit(code);
            EXPECT_TRUE(dialogs.questions.isEmpty());
        }
        const std::size_t units = sink.units.size();
        dialogs.questions.clear();
        dialogs.answers = {c.answer};
        scan(code);
        EXPECT_EQ(dialogs.questions,
                  QStringList{"Unit " + code + " was already tested today. Test it again?"});
        if (c.answer == 1) {
            ASSERT_TRUE(waitUntil([&] { return sink.units.size() > units; }));
        } else {
            EXPECT_FALSE(form.session().busy());
            EXPECT_EQ(station.window().statusText(), code + " was not tested again.");
            EXPECT_EQ(sink.units.size(), units);
        }
        dialogs.questions.clear();
    }
    // A code not tested today is not asked about.
    testUnit(QStringLiteral("SN-99"));
    EXPECT_TRUE(dialogs.questions.isEmpty());
}

// A run that ends before its last shot still ends the unit with a final FAIL
// verdict, a report and a record: stopped by the operator, no reply, the
// device gone and not back.
TEST_F(ScanToStart, AnEarlyEndStillGivesAFinalVerdict) {
    enum class End { Stop, NoReply, DeviceGone };
    struct Case {
        End end;
        const char* message; // told to the operator on the way; empty for none
    };
    const Case cases[] = {
        {End::Stop, ""},
        {End::NoReply, "Communication failure!"},
        {End::DeviceGone, ""},
    };
    ASSERT_TRUE(choosePlan());
#ifndef _WIN32
    // The test holds the device open too, from before the window takes it
    // alone: when the device hangs up, its name stays taken, so that the
    // window's reconnection cannot find another test's simulator under it.
    ui().btnOpenCom->click();
    ASSERT_FALSE(form.comPort().Connected());
    const int holder = ::open(sim.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ui().btnOpenCom->click();
    ASSERT_TRUE(form.comPort().Connected());
#endif
    form.portReconnect().setTimeLimit(300);
    form.portReconnect().setRetryInterval(20);
    lrf::sim::SimSettings settings = sim.Settings();
    settings.replyDelay = std::chrono::milliseconds(30);
    sim.SetSettings(settings);
    int n = 0;
    for (const Case& c : cases) {
        const QString code = QStringLiteral("EARLY-%1").arg(++n);
        SCOPED_TRACE(code.toStdString());
        if (!form.comPort().Connected()) {
            sim.Stop();
            sim.Start();
            sim.SetSettings(settings);
            form.setLeadingPortNames({QString::fromStdString(sim.DevicePath())});
            form.refreshPortBox();
            ui().cbbComPort->setCurrentIndex(0);
            ui().btnOpenCom->click();
            ASSERT_TRUE(form.comPort().Connected());
        }
        dialogs.messages.clear();
        const std::size_t units = sink.units.size();
        const std::int32_t records = form.recorder().RecordCount();
        scan(code);
        ASSERT_TRUE(waitUntil([&] { return form.recorder().RecordCount() >= records + 2; }));
        switch (c.end) {
        case End::Stop:
            ui().RzBitBtn6->click();
            break;
        case End::NoReply:
            sim.SetFault(SimFault::DropReply, -1);
            break;
        case End::DeviceGone:
            sim.SetFault(SimFault::HangUp);
            break;
        }
        ASSERT_TRUE(waitUntil([&] { return sink.units.size() > units; }));
        sim.SetFault(SimFault::None);
        const lrf::verify::UnitRecord& unit = sink.units.back();
        EXPECT_EQ(unit.instrumentCode, code.toStdString());
        EXPECT_EQ(unit.result.verdict, lrf::verify::Verdict::Fail);
        EXPECT_LT(unit.result.statistics.replies, 6);
        ASSERT_FALSE(unit.result.reasons.empty());
        EXPECT_NE(unit.result.reasons.front().find("of 6 shots answered"), std::string::npos);
        EXPECT_EQ(station.window().panel().verdictText(), "FAIL");
        EXPECT_FALSE(station.scan().testing());
        if (*c.message) {
            EXPECT_TRUE(dialogs.messages.contains(QString::fromUtf8(c.message)))
                << dialogs.messages.join('|').toStdString();
        }
        // Later replies of the stopped run change the verdict no more.
        QCoreApplication::processEvents();
        EXPECT_EQ(station.window().panel().verdictText(), "FAIL");
        form.session().stopRun();
    }
    EXPECT_EQ(reportFiles().size(), 3);
#ifndef _WIN32
    ::close(holder);
#endif
}

// A plan that cannot be read is told and changes nothing: the plan chosen
// before stays.
TEST_F(ScanToStart, ABadPlanChangesNothing) {
    ASSERT_TRUE(choosePlan());
    QFile bad(dir.filePath(QStringLiteral("plans/bad.plan")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("reference = 50 m\nshots = many\n");
    bad.close();
    EXPECT_FALSE(station.window().choosePlan(bad.fileName()));
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].contains("line 2")) << dialogs.messages[0].toStdString();
    ASSERT_TRUE(station.window().plan());
    EXPECT_EQ(station.window().plan()->name, "Line check");
}

} // namespace
