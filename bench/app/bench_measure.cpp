// lrfmeasure beside the window program, in the same run and against the same
// kind of simulator: shots per second of a continuous distance run, counted on
// the instrument's side (commands received per second), and the shortest and
// median pause from a reply to the next command.
//
// 1. 3000 shots, replies written at once: the rate the pacing allows.
// 2. 1000 shots, replies written byte by byte at 19200 baud, as a real line.
//
// Target: lrfmeasure at least at the window program's rate.

#include "Application.h"
#include "CPort.h"
#include "MainControls.h"
#include "MainFrm.h"
#include "PortControl.h"
#include "RangefinderSimulator.h"
#include "ShowDataFrm.h"
#include "SimPace.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using lrf::sim::SimExchange;

struct Figures {
    std::size_t shots = 0;
    double shotsPerSecond = 0.0;
    double minPauseMs = 0.0;
    double medianPauseMs = 0.0;
    double seconds = 0.0; // the whole run, start to end, as its user waits for it
};

Figures FromHistory(const std::vector<SimExchange>& history, double seconds) {
    const lrf::sim::SimPace pace = lrf::sim::PaceOf(history);
    Figures f;
    f.shots = pace.shots;
    f.seconds = seconds;
    f.shotsPerSecond = pace.shotsPerSecond;
    f.minPauseMs = pace.PauseMs(0.0);
    f.medianPauseMs = pace.PauseMs(0.5);
    return f;
}

lrf::sim::SimSettings Settings(bool paced) {
    lrf::sim::SimSettings settings;
    settings.linePace = paced;
    return settings;
}

// The window program's continuous distance run, pressed as an operator does.
Figures WindowRun(int shots, bool paced) {
    QTemporaryDir saveDir;
    lrf::sim::RangefinderSimulator sim;
    sim.SetSettings(Settings(paced));
    sim.Start();
    lrf::TFrmShowData logWindow;
    lrf::TForm1 form;
    form.attachLogWindow(logWindow);
    logWindow.SetAutoSaveDirectory(saveDir.path());
    form.setLeadingPortNames({QString::fromStdString(sim.DevicePath())});
    form.show();
    const lrf::MainControls& ui = form.controls();
    ui.btnOpenCom->click();
    if (!form.comPort().Connected())
        return {};
    sim.ClearHistory();
    ui.RzNumericEdit1->setValue(shots);
    QElapsedTimer clock;
    clock.start();
    ui.RzBitBtn6->click();
    while ((ui.RzBitBtn6->imageIndex() == lrf::imgRunning ||
            sim.Counters().repliesSent < static_cast<std::uint64_t>(shots)) &&
           clock.elapsed() < 180000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    ui.btnOpenCom->click();
    return FromHistory(sim.History(), seconds);
}

// lrfmeasure as a script runs it, writing its CSV file.
Figures MeasureRun(int shots, bool paced, int& status) {
    QTemporaryDir work;
    lrf::sim::RangefinderSimulator sim;
    sim.SetSettings(Settings(paced));
    sim.Start();
    sim.ClearHistory();
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LRF_JOURNAL"), work.filePath(QStringLiteral("journal.sqlite")));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(work.path());
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(LRFMEASURE_PROGRAM),
                  {QStringLiteral("--port"), QString::fromStdString(sim.DevicePath()),
                   QStringLiteral("--distance"), QStringLiteral("--count"), QString::number(shots),
                   QStringLiteral("--csv"), work.filePath("run.csv")});
    process.waitForFinished(180000);
    const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    if (status != 0)
        std::fprintf(stderr, "lrfmeasure: status %d: %s\n", status,
                     process.readAllStandardError().constData());
    return FromHistory(sim.History(), seconds);
}

void Print(const char* who, const Figures& f) {
    std::printf("%-18s %5zu shots  %7.2f shots/s  pause reply->next command: min %.3f ms, "
                "median %.3f ms  (run %.2f s)\n",
                who, f.shots, f.shotsPerSecond, f.minPauseMs, f.medianPauseMs, f.seconds);
}

bool Compare(const char* what, int shots, bool paced) {
    std::printf("== %s: %d shots\n", what, shots);
    const Figures window = WindowRun(shots, paced);
    Print("window program", window);
    std::fflush(stdout);
    int status = -1;
    const Figures measure = MeasureRun(shots, paced, status);
    Print("lrfmeasure", measure);
    const double ratio =
        window.shotsPerSecond > 0 ? measure.shotsPerSecond / window.shotsPerSecond : 0.0;
    std::printf("lrfmeasure / window program: %.4f (target at least 1.00, within the noise "
                "of one run)\n",
                ratio);
    std::fflush(stdout);
    return status == 0 && window.shots == static_cast<std::size_t>(shots) &&
           measure.shots == static_cast<std::size_t>(shots);
}

} // namespace

int main(int argc, char* argv[]) {
    lrf::Application app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    lrf::InstallGuiHandOver();
    bool ok = Compare("1. replies written at once", 3000, false);
    ok = Compare("2. replies byte by byte at 19200 baud", 1000, true) && ok;
    lrf::RemoveGuiHandOver();
    return ok ? 0 : 1;
}
