// Continuous distance runs through the real program objects against the
// simulator, and beside them a raw termios loop with the same pause.
//
// 1. 3000 shots, replies written at once: shots per second, the gaps between
//    commands, where a shot's time goes, and, from the instrument's side, the
//    time from each reply written to the next command received. The run crosses
//    one automatic save.
// 2. 1000 shots against replies written byte by byte at 19200 baud: shots per
//    second against the at-once rate less the time the bytes take on the line.
// 3. A raw termios loop of 3000 shots (command, eight bytes read, 10 ms pause from
//    their arrival) against the same simulator: the rate a program can reach.

#include "Application.h"
#include "CPort.h"
#include "ImageButton.h"
#include "MainControls.h"
#include "MainFrm.h"
#include "MeasurementController.h"
#include "NumericEdit.h"
#include "RangefinderSimulator.h"
#include "Recorder.h"
#include "ShowDataFrm.h"
#include "SimPace.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using lrf::sim::SimExchange;

double Percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

// Seen from the instrument: each reply written to the next command received.
std::vector<double> ReplyToNextCommand(const std::vector<SimExchange>& history) {
    return lrf::sim::PaceOf(history).pausesMs;
}

// Shots per second from the instrument's side: commands received per second.
double ShotsPerSecond(const std::vector<SimExchange>& history) {
    return lrf::sim::PaceOf(history).shotsPerSecond;
}

void PrintInstrumentSide(const char* what, const std::vector<SimExchange>& history) {
    const std::vector<double> gaps = ReplyToNextCommand(history);
    std::printf("%s, instrument side: reply written to next command received over %zu shots: "
                "min %.3f ms, median %.3f ms, p99 %.3f ms, max %.3f ms "
                "(targets: min >= 10.0, median <= 10.3)\n",
                what, gaps.size() + 1, Percentile(gaps, 0.0), Percentile(gaps, 0.5),
                Percentile(gaps, 0.99), Percentile(gaps, 1.0));
    const auto shortOnes =
        std::count_if(gaps.begin(), gaps.end(), [](double g) { return g < 10.0; });
    std::printf("%s: %lld of %zu pauses shorter than 10 ms\n", what,
                static_cast<long long>(shortOnes), gaps.size());
}

struct ProgramRun {
    std::vector<qint64> sentAt, replyStart, replyEnd; // ns on one clock
    std::vector<double> handOverUs; // the event thread saw the bytes -> the handler ran
    std::vector<double> lateUs;     // a shot sent after its timer's moment
    std::vector<SimExchange> history;
    long long automaticSaves = 0;
    int recordsNow = 0;
    bool ok = false;
};

ProgramRun RunProgram(int shots, bool paced) {
    ProgramRun run;
    QTemporaryDir saveDir;
    lrf::sim::RangefinderSimulator sim;
    lrf::sim::SimSettings settings;
    settings.linePace = paced;
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
        return run;
    }

    QElapsedTimer clock;
    run.sentAt.reserve(static_cast<std::size_t>(shots));
    QObject::connect(&form, &lrf::TForm1::commandSent, &form, [&] {
        run.sentAt.push_back(clock.nsecsElapsed());
        if (run.sentAt.size() > 1)
            run.lateUs.push_back(std::chrono::duration<double, std::micro>(
                                     Clock::now() - form.controller().Timer1().deadline())
                                     .count());
    });
    // Where the time of a shot goes: from the command to the start of its reply's
    // handling, and the handling itself.
    run.replyStart.reserve(static_cast<std::size_t>(shots) * 8);
    run.replyEnd.reserve(static_cast<std::size_t>(shots) * 8);
    auto handler = form.comPort().OnRxChar;
    form.comPort().OnRxChar = [&](cport::TCustomComPort& port, int count) {
        run.handOverUs.push_back(
            std::chrono::duration<double, std::micro>(Clock::now() - port.RxTime()).count());
        run.replyStart.push_back(clock.nsecsElapsed());
        handler(port, count);
        run.replyEnd.push_back(clock.nsecsElapsed());
    };

    sim.ClearHistory();
    form.controls().RzNumericEdit1->setValue(shots);
    clock.start();
    form.controls().RzBitBtn6->click();
    while (form.controls().RzBitBtn6->imageIndex() == lrf::imgRunning && clock.elapsed() < 180000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // The reply to the last shot.
    QElapsedTimer tail;
    tail.start();
    while (sim.Counters().repliesSent < static_cast<std::uint64_t>(run.sentAt.size()) &&
           tail.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 100)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    run.history = sim.History();
    run.automaticSaves = QDir(saveDir.path()).entryList({"*.csv"}, QDir::Files).size();
    run.recordsNow = form.recorder().RecordCount();
    run.ok = run.sentAt.size() == static_cast<std::size_t>(shots);
    form.controls().btnOpenCom->click();
    return run;
}

void PrintProgramRun(const ProgramRun& run) {
    const auto& sentAt = run.sentAt;
    if (sentAt.size() < 2)
        return;
    qint64 longestGap = 0;
    std::size_t longestAt = 0;
    std::vector<double> gaps;
    for (std::size_t i = 1; i < sentAt.size(); ++i) {
        const qint64 gap = sentAt[i] - sentAt[i - 1];
        gaps.push_back(static_cast<double>(gap) / 1e6);
        if (gap > longestGap) {
            longestGap = gap;
            longestAt = i;
        }
    }
    const double seconds = static_cast<double>(sentAt.back() - sentAt.front()) / 1e9;
    std::printf("continuous distance run: %zu commands, %zu replies\n", sentAt.size(),
                run.history.size());
    std::printf("shots per second: %.1f (target at least 96)\n",
                static_cast<double>(sentAt.size() - 1) / seconds);
    std::printf("longest gap between two commands: %.2f ms, before command %zu "
                "(target at most 30 ms)\n",
                static_cast<double>(longestGap) / 1e6, longestAt + 1);
    // The reply to shot 2000 makes the automatic save; shot 2001 follows it.
    if (sentAt.size() > 2000)
        std::printf("gap across the automatic save (commands 2000 to 2001): %.2f ms\n",
                    static_cast<double>(sentAt[2000] - sentAt[1999]) / 1e6);
    std::printf("gap between commands: median %.2f ms, 99th percentile %.2f ms\n",
                Percentile(gaps, 0.5), Percentile(gaps, 0.99));
    // One handled batch per shot when the replies come at once.
    if (run.replyStart.size() == sentAt.size()) {
        double toReply = 0, handling = 0, toNext = 0;
        for (std::size_t i = 0; i + 1 < sentAt.size(); ++i) {
            toReply += static_cast<double>(run.replyStart[i] - sentAt[i]);
            handling += static_cast<double>(run.replyEnd[i] - run.replyStart[i]);
            toNext += static_cast<double>(sentAt[i + 1] - run.replyEnd[i]);
        }
        const double n = static_cast<double>(sentAt.size() - 1) * 1e6;
        std::printf("average ms: command to reply handling %.3f, handling %.3f, "
                    "handled to next command %.3f\n",
                    toReply / n, handling / n, toNext / n);
    }
    // The handling of each reply on the GUI thread, from the receive event to
    // the end of the re-arm step.
    std::vector<double> handlingMs;
    for (std::size_t i = 0; i < run.replyStart.size() && i < run.replyEnd.size(); ++i)
        handlingMs.push_back(static_cast<double>(run.replyEnd[i] - run.replyStart[i]) / 1e6);
    std::printf("handling of a reply: median %.3f ms, p90 %.3f ms, p99 %.3f ms (target: median "
                "at most 0.25)\n",
                Percentile(handlingMs, 0.5), Percentile(handlingMs, 0.9),
                Percentile(handlingMs, 0.99));
    std::printf("hand-over through the Qt event loop (event thread saw the bytes to the "
                "handler): median %.1f us, p99 %.1f us\n",
                Percentile(run.handOverUs, 0.5), Percentile(run.handOverUs, 0.99));
    std::printf("shot sent after its timer's moment: median %.1f us, p99 %.1f us\n",
                Percentile(run.lateUs, 0.5), Percentile(run.lateUs, 0.99));
    std::printf("automatic saves written: %lld; records in the log now: %d\n", run.automaticSaves,
                run.recordsNow);
}

// The same run without the program: a raw termios loop on the simulator's device.
std::vector<SimExchange> RunRawLoop(int shots) {
    lrf::sim::RangefinderSimulator sim;
    lrf::sim::SimSettings settings;
    settings.linePace = false;
    sim.SetSettings(settings);
    sim.Start();
    const int fd = ::open(sim.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B19200);
    tio.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(fd, TCSANOW, &tio);
    const std::uint8_t command = 0x0F;
    for (int shot = 0; shot < shots; ++shot) {
        if (::write(fd, &command, 1) != 1)
            break;
        std::uint8_t reply[64];
        std::size_t got = 0;
        while (got < 8) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0)
                break;
            const ssize_t n = ::read(fd, reply + got, sizeof reply - got);
            if (n > 0)
                got += static_cast<std::size_t>(n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                break;
        }
        if (got < 8)
            break;
        const auto due = Clock::now() + std::chrono::milliseconds(10);
        const auto ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(due.time_since_epoch());
        const timespec at{static_cast<time_t>(ns.count() / 1'000'000'000),
                          static_cast<long>(ns.count() % 1'000'000'000)};
        while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
        }
    }
    ::close(fd);
    auto history = sim.History();
    sim.Stop();
    return history;
}

} // namespace

int main(int argc, char* argv[]) {
    constexpr int kShots = 3000;
    constexpr int kPacedShots = 1000;
    lrf::Application app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    int result = 0;

    std::printf("== 1. the program, replies written at once\n");
    const ProgramRun atOnce = RunProgram(kShots, false);
    PrintProgramRun(atOnce);
    PrintInstrumentSide("the program", atOnce.history);
    const double atOnceRate = ShotsPerSecond(atOnce.history);
    std::fflush(stdout);

    std::printf("== 2. the program, replies written byte by byte at 19200 baud\n");
    const ProgramRun paced = RunProgram(kPacedShots, true);
    PrintProgramRun(paced);
    // The bytes of a paced reply leave one character time (10 bits) apart: the
    // last one 7 character times after the first.
    const double wireMs = 7 * 10 * 1000.0 / 19200;
    const double expected = 1000.0 / (1000.0 / atOnceRate + wireMs);
    const double pacedRate = ShotsPerSecond(paced.history);
    std::printf("paced shots per second %.2f; at-once rate less the wire time (%.3f ms) %.2f; "
                "ratio %.4f (target at least 0.99)\n",
                pacedRate, wireMs, expected, pacedRate / expected);
    std::fflush(stdout);

    std::printf("== 3. a raw termios loop with the same 10 ms pause\n");
    const auto raw = RunRawLoop(kShots);
    PrintInstrumentSide("raw termios loop", raw);
    const double rawRate = ShotsPerSecond(raw);
    std::printf("shots per second: program %.2f, raw termios loop %.2f, ratio %.4f "
                "(target at least 0.99)\n",
                atOnceRate, rawRate, rawRate > 0 ? atOnceRate / rawRate : 0.0);

    if (!atOnce.ok || !paced.ok || raw.size() != static_cast<std::size_t>(kShots))
        result = 1;
    return result;
}
