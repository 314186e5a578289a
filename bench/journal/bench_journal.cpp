// What the crash journal costs. Prints:
//  - the time the log's thread spends handing one line to the journal
//    (target: median under 20 us), paced as a fast run and in a burst;
//  - the lines per second the writer thread commits (target: over 20 000);
//  - continuous distance runs of 3000 shots through the real program objects
//    against the simulator answering at once, alternately without and with
//    the journal: shots per second, their ratio (target: at least 0.99) and
//    the longest gap between two commands, also across the automatic save at
//    record 2000 (target: under 25 ms).

#include "Application.h"
#include "CPort.h"
#include "ImageButton.h"
#include "Journal.h"
#include "MainControls.h"
#include "MainFrm.h"
#include "NumericEdit.h"
#include "RangefinderSimulator.h"
#include "Recorder.h"
#include "ShowDataFrm.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using lrf::journal::Journal;

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

std::unique_ptr<Journal> StartedJournal(const QString& path, const QString& folder) {
    auto journal = std::make_unique<Journal>(lrf::journal::JournalOptions{path, folder, "bench"});
    journal->Start();
    while (!journal->IsReady())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return journal;
}

const std::vector<std::string> kCells{"1234",        " 123.4", "M",    "---.-",
                                      "KPH",         "Quay",   "Mast", "2024/03/05 14:07:39.52",
                                      "Model X-100", "C-0042"};

// Time of each hand-over of a line, paced by pause (none: a burst).
std::vector<double> HandOverTimes(Journal& journal, int lines, std::chrono::microseconds pause) {
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(lines));
    for (int i = 0; i < lines; ++i) {
        const auto start = Clock::now();
        journal.LineWritten(i % 2000 + 1, kCells, false);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        if (pause.count() > 0) {
            const auto until = Clock::now() + pause;
            while (Clock::now() < until) {
            }
        }
        if (i % 2000 == 1999)
            journal.MirrorSaved("/dev/null"); // marks, as the automatic save does
    }
    journal.Flush().wait();
    return us;
}

struct RunFigures {
    double shotsPerSecond = 0;
    double longestGapMs = 0;
    double autoSaveGapMs = 0;
    std::size_t commands = 0;
};

RunFigures ContinuousRun(lrf::TForm1& form, lrf::sim::RangefinderSimulator& sim, int shots) {
    form.btnClearDataClick();
    QElapsedTimer clock;
    std::vector<qint64> sentAt;
    sentAt.reserve(static_cast<std::size_t>(shots));
    const QMetaObject::Connection sent = QObject::connect(
        &form, &lrf::TForm1::commandSent, &form, [&] { sentAt.push_back(clock.nsecsElapsed()); });
    const auto repliesBefore = sim.Counters().repliesSent;
    form.controls().RzNumericEdit1->setValue(shots);
    clock.start();
    form.controls().RzBitBtn6->click();
    while (form.controls().RzBitBtn6->imageIndex() == lrf::imgRunning && clock.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QElapsedTimer tail;
    tail.start();
    while (sim.Counters().repliesSent - repliesBefore < sentAt.size() && tail.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QObject::disconnect(sent);

    RunFigures figures;
    figures.commands = sentAt.size();
    if (sentAt.size() < 2)
        return figures;
    for (std::size_t i = 1; i < sentAt.size(); ++i)
        figures.longestGapMs =
            std::max(figures.longestGapMs, static_cast<double>(sentAt[i] - sentAt[i - 1]) / 1e6);
    if (sentAt.size() > 2000)
        figures.autoSaveGapMs = static_cast<double>(sentAt[2000] - sentAt[1999]) / 1e6;
    figures.shotsPerSecond = static_cast<double>(sentAt.size() - 1) /
                             (static_cast<double>(sentAt.back() - sentAt.front()) / 1e9);
    return figures;
}

} // namespace

int main(int argc, char* argv[]) {
    lrf::Application app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QTemporaryDir dir;
    std::printf("journal in %s; %d processors\n", qPrintable(dir.path()),
                QThread::idealThreadCount());

    {
        auto journal = StartedJournal(dir.filePath("handover.sqlite"), dir.path());
        const std::vector<double> paced =
            HandOverTimes(*journal, 20000, std::chrono::microseconds(200));
        const std::vector<double> burst = HandOverTimes(*journal, 20000, {});
        std::printf("hand-over of a line on the log's thread, paced (one per 200 us): median %.2f "
                    "us, 99th percentile %.2f us, longest %.1f us (target: median under 20 us)\n",
                    Percentile(paced, 0.5), Percentile(paced, 0.99), Percentile(paced, 1.0));
        std::printf("hand-over of a line, in a burst: median %.2f us, 99th percentile %.2f us\n",
                    Percentile(burst, 0.5), Percentile(burst, 0.99));
        journal->Finish();
    }
    {
        auto journal = StartedJournal(dir.filePath("throughput.sqlite"), dir.path());
        constexpr int kLines = 200000;
        const auto start = Clock::now();
        for (int i = 0; i < kLines; ++i)
            journal->LineWritten(i % 2000 + 1, kCells, false);
        journal->Flush().wait();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("writer thread: %d lines committed in %.2f s, %.0f lines per second "
                    "(target: over 20 000)\n",
                    kLines, seconds, kLines / seconds);
        journal->Finish();
    }

    int result = 0;
    lrf::sim::RangefinderSimulator sim;
    sim.Start();
    {
        lrf::TFrmShowData logWindow;
        lrf::TForm1 form;
        form.attachLogWindow(logWindow);
        logWindow.SetAutoSaveDirectory(dir.path());
        form.setLeadingPortNames({QString::fromStdString(sim.DevicePath())});
        form.show();
        form.controls().btnOpenCom->click();
        if (!form.comPort().Connected()) {
            std::fprintf(stderr, "the simulator's port did not open\n");
            return 1;
        }
        constexpr int kShots = 3000;
        std::vector<RunFigures> without, with;
        for (int round = 0; round < 2; ++round) {
            without.push_back(ContinuousRun(form, sim, kShots));
            auto journal =
                StartedJournal(dir.filePath(QStringLiteral("run%1.sqlite").arg(round)), dir.path());
            logWindow.Log().SetObserver(journal.get());
            with.push_back(ContinuousRun(form, sim, kShots));
            logWindow.Log().SetObserver(nullptr);
            journal->Finish();
        }
        const auto print = [](const char* name, const std::vector<RunFigures>& runs) {
            double rate = 0, longest = 0, autoSave = 0;
            for (const RunFigures& r : runs) {
                rate += r.shotsPerSecond / static_cast<double>(runs.size());
                longest = std::max(longest, r.longestGapMs);
                autoSave = std::max(autoSave, r.autoSaveGapMs);
            }
            std::printf("continuous run %s the journal: %.1f shots per second, longest gap "
                        "%.2f ms, across the automatic save %.2f ms (target: under 25 ms)\n",
                        name, rate, longest, autoSave);
            return rate;
        };
        const double rateWithout = print("without", without);
        const double rateWith = print("with", with);
        std::printf("shots per second with / without the journal: %.3f (target: at least 0.99)\n",
                    rateWith / rateWithout);
        for (const auto& runs : {without, with})
            for (const RunFigures& r : runs)
                if (r.commands != static_cast<std::size_t>(kShots))
                    result = 1;
        form.controls().btnOpenCom->click();
    }
    return result;
}
