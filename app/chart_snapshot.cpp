// A 500-shot continuous distance run against the simulator, with the chart of
// the log open, held on screen for a picture of the log window's statistics
// and the chart (docs/statistics-chart.png is made this way):
//
//   xvfb-run -a -s "-screen 0 1600x1000x24" sh -c './lrfcontrol_chart_snapshot 5 >snap.log &
//       until grep -q ready snap.log; do sleep 0.2; done; sleep 0.5;
//       import -window root shot.png; wait'
//
// The simulated instrument drifts slowly and scatters a little, and now and
// then answers without a distance, so the chart has something to show.

#include "Application.h"
#include "CPort.h"
#include "ImageButton.h"
#include "MainControls.h"
#include "MainFrm.h"
#include "NumericEdit.h"
#include "RangefinderSimulator.h"
#include "Recorder.h"
#include "ShowDataFrm.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QToolButton>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>

namespace {

void runFor(
    int ms, const std::function<bool()>& done = [] { return false; }) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

int main(int argc, char* argv[]) {
    constexpr int kShots = 500;
    lrf::Application app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const int showSeconds = argc > 1 ? std::atoi(argv[1]) : 6;

    QTemporaryDir saveDir;
    lrf::sim::RangefinderSimulator sim;
    sim.Start();
    {
        lrf::TForm1 form;
        lrf::TFrmShowData logWindow;
        form.attachLogWindow(logWindow);
        logWindow.SetAutoSaveDirectory(saveDir.path());
        form.setLeadingPortNames({QString::fromStdString(sim.DevicePath())});
        form.move(0, 0);
        form.show();
        runFor(300);

        // The next reply's distance, set as each reply is handled.
        std::mt19937 random(7);
        std::normal_distribution<> scatter(0.0, 0.08);
        int shot = 0;
        auto handler = form.comPort().OnRxChar;
        form.comPort().OnRxChar = [&](cport::TCustomComPort& port, int count) {
            handler(port, count);
            ++shot;
            lrf::sim::SimSettings s = sim.Settings();
            if (shot % 61 == 17)
                s.distance.reset(); // no distance in this reply
            else
                s.distance = 123.4 + 0.25 * std::sin(shot / 70.0) + scatter(random);
            sim.SetSettings(s);
        };

        const lrf::MainControls& ui = form.controls();
        ui.RzEdit1->setText("LR-1500");
        ui.RzEdit2->setText("A0042");
        ui.RzEdit3->setText("Yard 3");
        ui.RzEdit4->setText("Gate");
        ui.btnOpenCom->click();
        ui.RzNumericEdit1->setValue(kShots);
        ui.RzBitBtn6->click(); // the run shows the log window
        runFor(500);
        if (auto* chartButton = logWindow.findChild<QToolButton*>("btnChart"))
            chartButton->click(); // the chart follows the run from here
        runFor(60000, [&] { return form.recorder().RecordCount() >= kShots; });
        runFor(500);
        std::printf("ready: %d records\n", form.recorder().RecordCount());
        std::fflush(stdout);
        runFor(showSeconds * 1000);
        ui.btnOpenCom->click();
    }
    return 0;
}
