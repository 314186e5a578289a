// Three units tested in a row on the whole program, as on a test line: the
// main window, the log window and the verification window against the
// embedded simulator, whose distance is moved between the units. Each code is
// typed into the LRF Code field with Enter, as a barcode scanner types it.
// Prints one line per unit and writes a picture of the verification window
// after each verdict (scripts/verification-run.sh runs it under a virtual X
// server):
//
//   lrfcontrol_verify_snapshot PLAN REPORTS PICTURES
//
// Exits 0 when the three units got the verdicts PASS, MARGINAL and FAIL.

#include "Application.h"
#include "CPort.h"
#include "ImageButton.h"
#include "MainControls.h"
#include "MainFrm.h"
#include "RangefinderSimulator.h"
#include "ShowDataFrm.h"
#include "TestPlan.h"
#include "VerificationPanel.h"
#include "VerificationStation.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <functional>

namespace {

bool runUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

struct Unit {
    const char* code;
    double distance; // what the simulator measures for it
    double noise;    // the spread of its distances
    const char* expected;
};

} // namespace

int main(int argc, char* argv[]) {
    lrf::Application app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (argc != 4) {
        std::fprintf(stderr, "usage: lrfcontrol_verify_snapshot PLAN REPORTS PICTURES\n");
        return 2;
    }
    const QString planFile = QString::fromLocal8Bit(argv[1]);
    const QString reports = QString::fromLocal8Bit(argv[2]);
    const QDir pictures(QString::fromLocal8Bit(argv[3]));
    const lrf::verify::TestPlan plan = lrf::verify::LoadTestPlan(argv[1]);
    const double reference = plan.reference;
    const Unit units[] = {
        {"LRF900-0417", reference, 0.06, "PASS"},
        {"LRF900-0418", reference + 0.4, 0.04, "MARGINAL"},
        {"LRF900-0419", reference + 0.9, 0.08, "FAIL"},
    };

    QTemporaryDir saveDir;
    lrf::sim::RangefinderSimulator sim;
    sim.Start();
    int failures = 0;
    {
        lrf::TForm1 form;
        lrf::TFrmShowData logWindow;
        form.attachLogWindow(logWindow);
        logWindow.SetAutoSaveDirectory(saveDir.path());
        form.setLeadingPortNames({QString::fromStdString(sim.DevicePath())});
        lrf::VerificationStation station(form);
        form.show();
        station.applyChoices(planFile, reports);
        station.window().move(20, 20);
        runUntil([] { return false; }, 300);

        const lrf::MainControls& ui = form.controls();
        ui.RzEdit1->setText(QString::fromStdString(plan.model));
        ui.RzEdit3->setText(QStringLiteral("Line 2"));
        ui.btnOpenCom->click();
        if (!form.comPort().Connected()) {
            std::fprintf(stderr, "the simulator's port did not open\n");
            return 1;
        }
        int finished = 0;
        QObject::connect(&station.scan(), &lrf::ScanToStart::unitFinished, &form,
                         [&] { ++finished; });
        for (const Unit& unit : units) {
            lrf::sim::SimSettings settings = sim.Settings();
            settings.distance = unit.distance;
            settings.distanceNoise = unit.noise;
            sim.SetSettings(settings);

            const int before = finished;
            ui.RzEdit2->setFocus();
            ui.RzEdit2->selectAll();
            QTest::keyClicks(ui.RzEdit2, QString::fromLatin1(unit.code));
            QTest::keyClick(ui.RzEdit2, Qt::Key_Return);
            if (!runUntil([&] { return finished > before; }, 60000)) {
                std::fprintf(stderr, "%s: no verdict\n", unit.code);
                return 1;
            }
            runUntil([] { return false; }, 300); // drawn
            const QString verdict = station.window().panel().verdictText();
            const QString picture = pictures.filePath(QString::fromLatin1(unit.code) + ".png");
            station.window().grab().save(picture);
            if (verdict != QLatin1String(unit.expected))
                ++failures;
            std::printf("%s at %.2f m (noise %.2f m): %s (expected %s); %s\n", unit.code,
                        unit.distance, unit.noise, verdict.toUtf8().constData(), unit.expected,
                        station.window().statusText().toUtf8().constData());
            std::fflush(stdout);
        }
        ui.btnOpenCom->click();
    }
    return failures == 0 ? 0 : 1;
}
