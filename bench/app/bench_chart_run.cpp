// A continuous distance run of 4000 shots through the real program objects
// against the simulator, with the chart of the log closed and open by turns
// (250 shots each), so that both halves see the same machine load. Prints the
// shots per second and the longest gap between two commands for each, and
// their ratio. The gaps in which the chart was opened or closed are left out
// and shown apart: that is the operator's click, not the run.

#include "Application.h"
#include "CPort.h"
#include "ChartFrm.h"
#include "ImageButton.h"
#include "MainControls.h"
#include "MainFrm.h"
#include "NumericEdit.h"
#include "RangefinderSimulator.h"
#include "Recorder.h"
#include "ShowDataFrm.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <set>
#include <vector>

namespace {

constexpr int kShots = 4000;
constexpr int kTurn = 250;

bool ChartTurn(std::size_t commands) {
    return (commands / kTurn) % 2 == 1;
}

std::string LoadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return "unknown";
    return file.readLine().trimmed().toStdString();
}

struct Figures {
    double perSecond = 0;
    double longestMs = 0;
    std::size_t gaps = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    lrf::Application app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    std::printf("load average at start: %s\n", LoadAverage().c_str());

    QTemporaryDir saveDir;
    lrf::sim::RangefinderSimulator sim;
    sim.Start();
    int result = 0;
    {
        lrf::TFrmShowData logWindow;
        lrf::TForm1 form;
        form.attachLogWindow(logWindow);
        logWindow.SetAutoSaveDirectory(saveDir.path());
        form.setLeadingPortNames({QString::fromStdString(sim.DevicePath())});
        form.show();
        form.controls().btnOpenCom->click();
        if (!form.comPort().Connected()) {
            std::fprintf(stderr, "the simulator's port did not open\n");
            return 1;
        }
        // Made once before the run, as the first click on the chart button would.
        logWindow.ShowChart();
        lrf::TFrmChart& chart = *logWindow.Chart();
        chart.hide();

        QElapsedTimer clock;
        std::vector<qint64> sentAt;
        sentAt.reserve(kShots);
        QObject::connect(&form, &lrf::TForm1::commandSent, &form,
                         [&] { sentAt.push_back(clock.nsecsElapsed()); });

        std::set<std::size_t> toggles; // gap i lies between commands i - 1 and i
        std::vector<qint64> toggleCost;
        form.controls().RzNumericEdit1->setValue(kShots);
        clock.start();
        form.controls().RzBitBtn6->click();
        const int redrawsBefore = chart.RedrawCount();
        while (form.controls().RzBitBtn6->imageIndex() == lrf::imgRunning &&
               clock.elapsed() < 180000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            const bool wanted = ChartTurn(sentAt.size());
            if (wanted != chart.isVisible() && !sentAt.empty()) {
                const qint64 start = clock.nsecsElapsed();
                if (wanted)
                    logWindow.ShowChart();
                else
                    chart.hide();
                toggleCost.push_back(clock.nsecsElapsed() - start);
                toggles.insert(sentAt.size());
            }
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

        Figures closed, open;
        double closedSeconds = 0, openSeconds = 0;
        for (std::size_t i = 1; i < sentAt.size(); ++i) {
            if (toggles.count(i))
                continue;
            const qint64 gap = sentAt[i] - sentAt[i - 1];
            Figures& f = ChartTurn(i - 1) ? open : closed;
            (ChartTurn(i - 1) ? openSeconds : closedSeconds) += static_cast<double>(gap) / 1e9;
            ++f.gaps;
            f.longestMs = std::max(f.longestMs, static_cast<double>(gap) / 1e6);
        }
        closed.perSecond = static_cast<double>(closed.gaps) / closedSeconds;
        open.perSecond = static_cast<double>(open.gaps) / openSeconds;
        const int redraws = chart.RedrawCount() - redrawsBefore;

        std::printf("continuous distance run: %zu commands, %d shots a turn\n", sentAt.size(),
                    kTurn);
        std::printf("chart closed: %.1f shots per second, longest gap %.2f ms (%zu gaps)\n",
                    closed.perSecond, closed.longestMs, closed.gaps);
        std::printf("chart open:   %.1f shots per second, longest gap %.2f ms (%zu gaps), "
                    "%d redraws, %.1f per second\n",
                    open.perSecond, open.longestMs, open.gaps, redraws, redraws / openSeconds);
        std::printf("open / closed: %.4f (target at least 0.99); longest gap with the chart open "
                    "target under 25 ms\n",
                    open.perSecond / closed.perSecond);
        if (!toggleCost.empty())
            std::printf(
                "opening or closing the chart during the run: longest %.2f ms (%zu times, "
                "left out above)\n",
                static_cast<double>(*std::max_element(toggleCost.begin(), toggleCost.end())) / 1e6,
                toggleCost.size());
        std::printf("load average at end: %s\n", LoadAverage().c_str());
        if (sentAt.size() != static_cast<std::size_t>(kShots))
            result = 1;
        form.controls().btnOpenCom->click();
    }
    return result;
}
