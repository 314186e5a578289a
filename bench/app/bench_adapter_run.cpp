// Continuous distance runs through the real program objects against the
// simulator at the line's pace (19200 baud), with and without a simulated
// USB-serial adapter in between: what the adapter's latency timer costs a run.
//
// Prints, for each link: shots per second from the instrument's side, the median
// time from a command received to its reply's last byte written (the reply's
// wait in the adapter included), and whether every shot made one record.

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

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using lrf::sim::SimExchange;

constexpr int kShots = 600;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
    if (v.empty())
        return 0.0;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

struct Figures {
    double shotsPerSecond = 0;
    double replyMs = 0;
    int records = 0;
    bool ok = false;
};

Figures Run(std::chrono::milliseconds latencyTimer) {
    Figures figures;
    QTemporaryDir saveDir;
    lrf::sim::RangefinderSimulator sim;
    lrf::sim::SimSettings settings;
    settings.adapter.latencyTimer = latencyTimer;
    sim.SetSettings(settings);
    sim.Start();
    lrf::TFrmShowData logWindow;
    lrf::TForm1 form;
    form.attachLogWindow(logWindow);
    logWindow.SetAutoSaveDirectory(saveDir.path());
    form.setLeadingPortNames({QString::fromStdString(sim.DevicePath())});
    form.show();
    form.controls().btnOpenCom->click();
    if (!form.comPort().Connected()) {
        std::fprintf(stderr, "the simulator's port did not open\n");
        return figures;
    }
    sim.ClearHistory();
    form.controls().RzNumericEdit1->setValue(kShots);
    QElapsedTimer clock;
    clock.start();
    form.controls().RzBitBtn6->click();
    while (form.controls().RzBitBtn6->imageIndex() == lrf::imgRunning && clock.elapsed() < 180000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // The reply to the last shot, and its record.
    QElapsedTimer tail;
    tail.start();
    while (form.recorder().RecordCount() < kShots && tail.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

    const std::vector<SimExchange> history = sim.History();
    std::vector<double> replyMs;
    for (const SimExchange& e : history)
        if (e.replied)
            replyMs.push_back(Ms(e.written - e.received));
    if (history.size() > 1)
        figures.shotsPerSecond = static_cast<double>(history.size() - 1) /
                                 (Ms(history.back().received - history.front().received) / 1000);
    figures.replyMs = Median(replyMs);
    figures.records = form.recorder().RecordCount();
    figures.ok = history.size() == kShots && figures.records == kShots;
    form.controls().btnOpenCom->click();
    return figures;
}

} // namespace

int main(int argc, char* argv[]) {
    lrf::Application app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    struct Link {
        const char* name;
        std::chrono::milliseconds timer;
    };
    const Link links[] = {{"line pace, no adapter", std::chrono::milliseconds(0)},
                          {"adapter, latency timer 16 ms", std::chrono::milliseconds(16)},
                          {"adapter, latency timer 1 ms", std::chrono::milliseconds(1)}};
    int result = 0;
    std::printf("continuous distance runs of %d shots at 19200 baud\n", kShots);
    for (const Link& link : links) {
        const Figures f = Run(link.timer);
        std::printf("%-30s shots per second %6.2f; command to last reply byte: median %6.2f ms; "
                    "records %d of %d\n",
                    link.name, f.shotsPerSecond, f.replyMs, f.records, kShots);
        std::fflush(stdout);
        if (!f.ok)
            result = 1;
    }
    return result;
}
