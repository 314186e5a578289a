// A continuous distance run of 3000 shots through the real program objects
// against the simulator answering at once. Prints shots per second and the
// longest gap between two commands; the run crosses one automatic save.

#include "Application.h"
#include "CPort.h"
#include "ImageButton.h"
#include "MainFrm.h"
#include "NumericEdit.h"
#include "PortControl.h"
#include "RangefinderSimulator.h"
#include "Recorder.h"
#include "ShowDataFrm.h"
#include "ui_MainFrm.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char* argv[]) {
    constexpr int kShots = 3000;
    lrf::Application app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    lrf::InstallGuiHandOver();

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
        form.ui().btnOpenCom->click();
        if (!form.comPort().Connected()) {
            std::fprintf(stderr, "the simulator's port did not open\n");
            return 1;
        }

        QElapsedTimer clock;
        std::vector<qint64> sentAt;
        sentAt.reserve(kShots);
        form.onCommandSent = [&] { sentAt.push_back(clock.nsecsElapsed()); };

        // Where the time of a shot goes: from the command to the start of its
        // reply's handling, and the handling itself.
        std::vector<qint64> replyStart, replyEnd;
        replyStart.reserve(kShots);
        replyEnd.reserve(kShots);
        auto handler = form.comPort().OnRxChar;
        form.comPort().OnRxChar = [&](cport::TCustomComPort& port, int count) {
            replyStart.push_back(clock.nsecsElapsed());
            handler(port, count);
            replyEnd.push_back(clock.nsecsElapsed());
        };

        form.ui().RzNumericEdit1->setValue(kShots);
        clock.start();
        form.ui().RzBitBtn6->click();
        while (form.ui().RzBitBtn6->imageIndex() == lrf::imgRunning && clock.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        // The reply to the last shot.
        QElapsedTimer tail;
        tail.start();
        while (sim.Counters().repliesSent < static_cast<std::uint64_t>(sentAt.size()) &&
               tail.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

        qint64 longestGap = 0;
        std::size_t longestAt = 0;
        for (std::size_t i = 1; i < sentAt.size(); ++i) {
            const qint64 gap = sentAt[i] - sentAt[i - 1];
            if (gap > longestGap) {
                longestGap = gap;
                longestAt = i;
            }
        }
        std::vector<qint64> gaps;
        for (std::size_t i = 1; i < sentAt.size(); ++i)
            gaps.push_back(sentAt[i] - sentAt[i - 1]);
        std::sort(gaps.begin(), gaps.end());
        const auto percentile = [&](double p) {
            return static_cast<double>(gaps[static_cast<std::size_t>(p * (gaps.size() - 1))]) / 1e6;
        };
        const double seconds = static_cast<double>(sentAt.back() - sentAt.front()) / 1e9;
        const double perSecond = static_cast<double>(sentAt.size() - 1) / seconds;
        const QStringList saves = QDir(saveDir.path()).entryList({"*.csv"}, QDir::Files);
        std::printf("continuous distance run: %zu commands, %zu replies\n", sentAt.size(),
                    static_cast<std::size_t>(sim.Counters().repliesSent));
        std::printf("shots per second: %.1f (target at least 96)\n", perSecond);
        std::printf("longest gap between two commands: %.2f ms, before command %zu "
                    "(target at most 30 ms)\n",
                    static_cast<double>(longestGap) / 1e6, longestAt + 1);
        // The reply to shot 2000 makes the automatic save; shot 2001 follows it.
        if (sentAt.size() > 2000)
            std::printf("gap across the automatic save (commands 2000 to 2001): %.2f ms\n",
                        static_cast<double>(sentAt[2000] - sentAt[1999]) / 1e6);
        std::printf("gap between commands: median %.2f ms, 99th percentile %.2f ms\n",
                    percentile(0.5), percentile(0.99));
        const auto average = [&](auto part) {
            double sum = 0;
            const std::size_t n = std::min({sentAt.size(), replyStart.size(), replyEnd.size()});
            for (std::size_t i = 0; i + 1 < n; ++i)
                sum += static_cast<double>(part(i));
            return sum / static_cast<double>(n - 1) / 1e6;
        };
        std::printf("average ms: command to reply handling %.3f, handling %.3f, "
                    "handled to next command %.3f\n",
                    average([&](std::size_t i) { return replyStart[i] - sentAt[i]; }),
                    average([&](std::size_t i) { return replyEnd[i] - replyStart[i]; }),
                    average([&](std::size_t i) { return sentAt[i + 1] - replyEnd[i]; }));
        std::printf("automatic saves written: %lld; records in the log now: %d\n",
                    static_cast<long long>(saves.size()), form.recorder().RecordCount());
        if (sentAt.size() != static_cast<std::size_t>(kShots))
            result = 1;
        form.ui().btnOpenCom->click();
    }
    lrf::RemoveGuiHandOver();
    return result;
}
