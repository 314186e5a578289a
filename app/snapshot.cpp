// Shows both windows after a few measurements against the simulator and keeps
// them on screen for a while, so that a picture of the screen can be taken
// (docs/mainwindow.png is made this way under a virtual X server):
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" sh -c './lrfcontrol_snapshot 5 >snap.log &
//       until grep -q ready snap.log; do sleep 0.2; done; sleep 0.5;
//       import -window root shot.png; wait'
//   convert shot.png -crop 800x640+320+300 docs/mainwindow.png
//
// LRF_SNAPSHOT_PALETTE=dark shows them in the Fusion style with a dark palette,
// as a dark desktop theme would; QT_SCALE_FACTOR scales them as usual.

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
#include <QPalette>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

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
    lrf::Application app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (qEnvironmentVariable("LRF_SNAPSHOT_PALETTE") == QStringLiteral("dark")) {
        QApplication::setStyle(QStringLiteral("Fusion"));
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(45, 45, 48));
        dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::AlternateBase, QColor(50, 50, 52));
        dark.setColor(QPalette::Text, QColor(230, 230, 230));
        dark.setColor(QPalette::Button, QColor(60, 60, 63));
        dark.setColor(QPalette::ButtonText, QColor(235, 235, 235));
        dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
        dark.setColor(QPalette::HighlightedText, Qt::white);
        dark.setColor(QPalette::Mid, QColor(90, 90, 90));
        dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(128, 128, 128));
        dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(128, 128, 128));
        QApplication::setPalette(dark);
    }
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
        form.show();
        runFor(300);

        const lrf::MainControls& ui = form.controls();
        ui.RzEdit1->setText("LR-1500");
        ui.RzEdit2->setText("A0042");
        ui.RzEdit3->setText("Yard 3");
        ui.RzEdit4->setText("Gate");
        ui.btnOpenCom->click();
        ui.RzNumericEdit1->setValue(4);
        ui.RzBitBtn6->click(); // four distance shots
        runFor(2000, [&] { return form.recorder().RecordCount() >= 4; });
        ui.RzBitBtn8->click(); // one speed shot
        runFor(1000, [&] { return form.recorder().RecordCount() >= 5; });
        ui.RzNumericEdit2->setValue(100);
        ui.RzBitBtn7->click(); // a rotation run, left running
        runFor(1500, [&] { return form.recorder().RecordCount() >= 7; });
        std::printf("ready\n");
        std::fflush(stdout);
        runFor(showSeconds * 1000);
        ui.RzBitBtn7->click();
        ui.btnOpenCom->click();
    }
    return 0;
}
