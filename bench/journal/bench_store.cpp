// What forwarding to a record store costs, against a PostgreSQL server that
// the benchmark starts itself (as the tests do). Prints:
//  - the records per second the forwarder moves from the journal into the
//    store, 50 000 lines waiting (target: over 5000);
//  - continuous distance runs of 2000 shots through the real program objects
//    against the simulator answering at once, with the journal in both, by
//    turns without and with forwarding: shots per second and their ratio
//    (target: at least 0.99), and the lines the store had at the end.

#include "Application.h"
#include "CPort.h"
#include "ImageButton.h"
#include "Journal.h"
#include "MainControls.h"
#include "MainFrm.h"
#include "NumericEdit.h"
#include "PgServer.h"
#include "RangefinderSimulator.h"
#include "ShowDataFrm.h"
#include "StoreForwarder.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using lrf::journal::ForwardState;
using lrf::journal::Journal;
using lrf::journal::StoreForwarder;

std::unique_ptr<Journal> StartedJournal(const QString& path, const QString& folder, bool toStore) {
    auto journal =
        std::make_unique<Journal>(lrf::journal::JournalOptions{path, folder, "bench", toStore});
    journal->Start();
    while (!journal->IsReady())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return journal;
}

// A forwarder whose last state is read by the benchmark.
struct Forwarding {
    Forwarding(const QString& journal, const PgServer& server, const char* station) {
        lrf::journal::ForwarderSettings settings;
        settings.journalPath = journal;
        settings.target = server.Target();
        settings.station = {"bench-host", station, "bench"};
        forwarder = std::make_unique<StoreForwarder>(settings, [this](const ForwardState& s) {
            connected = s.link == ForwardState::Link::Connected;
            waiting = s.waiting;
            if (s.link == ForwardState::Link::Offline)
                std::fprintf(stderr, "store offline: %s\n", s.reason.c_str());
        });
    }
    bool Done() const { return connected && waiting == 0; }
    std::unique_ptr<StoreForwarder> forwarder;
    std::atomic<bool> connected{false};
    std::atomic<std::int64_t> waiting{-1};
};

const std::vector<std::string> kCells{"1234",        " 123.4", "M",    "---.-",
                                      "KPH",         "Quay",   "Mast", "2024/03/05 14:07:39.52",
                                      "Model X-100", "C-0042"};

double ForwardedPerSecond(const PgServer& server, const QString& folder) {
    constexpr int kLines = 50000;
    const QString path = folder + "/throughput.sqlite";
    auto journal = StartedJournal(path, folder, true);
    for (int i = 0; i < kLines; ++i)
        journal->LineWritten(i % 2000 + 1, kCells, false);
    journal->Flush().wait();
    Forwarding forwarding(path, server, "throughput");
    const auto start = Clock::now();
    forwarding.forwarder->Start();
    while (!forwarding.Done())
        QThread::msleep(5);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    forwarding.forwarder->Finish();
    journal->Finish();
    std::printf("forwarder: %d waiting lines into the store in %.2f s (connecting and making "
                "the schema included), %.0f records per second (target: over 5000)\n",
                kLines, seconds, kLines / seconds);
    return kLines / seconds;
}

long long JournalLines(const QString& path) {
    long long lines = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench-reader");
        db.setDatabaseName(path);
        QSqlQuery q(db);
        if (db.open() && q.exec("SELECT count(*) FROM lines") && q.next())
            lines = q.value(0).toLongLong();
    }
    QSqlDatabase::removeDatabase("bench-reader");
    return lines;
}

double ContinuousRun(lrf::TForm1& form, lrf::sim::RangefinderSimulator& sim, int shots,
                     std::size_t& commands) {
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
    commands = sentAt.size();
    if (sentAt.size() < 2)
        return 0.0;
    return static_cast<double>(sentAt.size() - 1) /
           (static_cast<double>(sentAt.back() - sentAt.front()) / 1e9);
}

} // namespace

int main(int argc, char* argv[]) {
    lrf::Application app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (!PgServer::BinDir()) {
        std::printf("skipped: PostgreSQL's server programs are not installed (package "
                    "postgresql)\n");
        return 0;
    }
    int result = 0;
    {
        PgServer server;
        server.Start();
        const QString folder = QString::fromStdString(server.Folder().string());
        std::printf("store on a local server in %s; %d processors\n", qPrintable(folder),
                    QThread::idealThreadCount());
        if (ForwardedPerSecond(server, folder) <= 0)
            result = 1;

        lrf::sim::RangefinderSimulator sim;
        sim.Start();
        lrf::TFrmShowData logWindow;
        lrf::TForm1 form;
        form.attachLogWindow(logWindow);
        logWindow.SetAutoSaveDirectory(folder);
        form.setLeadingPortNames({QString::fromStdString(sim.DevicePath())});
        form.show();
        form.controls().btnOpenCom->click();
        if (!form.comPort().Connected()) {
            std::fprintf(stderr, "the simulator's port did not open\n");
            return 1;
        }
        // Short runs by turns, so that the machine's other load falls on both alike.
        constexpr int kShots = 2000;
        constexpr int kRounds = 4;
        double without = 0, with = 0;
        std::vector<double> ratios;
        double lastWithout = 1;
        long long journaled = 0;
        for (int round = 0; round < kRounds; ++round) {
            for (const bool forward : {false, true}) {
                const QString path =
                    folder + QStringLiteral("/run%1%2.sqlite").arg(round).arg(forward);
                auto journal = StartedJournal(path, folder, forward);
                std::unique_ptr<Forwarding> forwarding;
                if (forward) {
                    forwarding = std::make_unique<Forwarding>(path, server, "continuous");
                    forwarding->forwarder->Start();
                }
                logWindow.Log().SetObserver(journal.get());
                std::size_t commands = 0;
                const double rate = ContinuousRun(form, sim, kShots, commands);
                logWindow.Log().SetObserver(nullptr);
                (forward ? with : without) += rate / kRounds;
                if (forward)
                    ratios.push_back(rate / lastWithout);
                else
                    lastWithout = rate;
                if (commands != static_cast<std::size_t>(kShots))
                    result = 1;
                journal->Finish();
                if (forwarding) {
                    forwarding->forwarder->Finish(std::chrono::seconds(10));
                    journaled += JournalLines(path);
                }
            }
        }
        QSqlQuery count(QSqlDatabase::database(server.Connect()));
        count.exec("SELECT count(*) FROM records r JOIN stations s ON s.id = r.station_id "
                   "WHERE s.station_name = 'continuous'");
        const long long stored = count.next() ? count.value(0).toLongLong() : -1;
        std::printf("continuous run with the journal, without forwarding: %.1f shots per "
                    "second\n",
                    without);
        std::printf("continuous run with the journal, forwarding to the store: %.1f shots per "
                    "second; %lld of the %lld lines of their journals in the store at the end\n",
                    with, stored, journaled);
        std::sort(ratios.begin(), ratios.end());
        std::printf("shots per second with / without forwarding: %.3f over all runs, median of "
                    "the %zu pairs %.3f, lowest %.3f (target: at least 0.99)\n",
                    with / without, ratios.size(),
                    (ratios[(ratios.size() - 1) / 2] + ratios[ratios.size() / 2]) / 2,
                    ratios.front());
        form.controls().btnOpenCom->click();
        server.Stop();
    }
    return result;
}
