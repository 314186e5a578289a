// A journal that keeps failing while 6000 lines come in (another program holds
// its lock): what the waiting lines cost. For the lines beyond 512 kept only
// in the run's line tail (as the program does) and for every line kept in
// memory (as before), prints the growth of the resident memory over the 6000
// lines, the processor time (user and system, all threads) while they came
// and waited, and the time to write them all once the journal takes them again.
//
// Each variant runs in a process of its own, so that neither inherits the
// other's heap: "bench_failing" runs both; "bench_failing <held>" one.

#include "JournalWriter.h"
#include "LineTail.h"
#include "SqliteJournalStore.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <limits>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace lrf::journal;
using Clock = std::chrono::steady_clock;
constexpr int kLines = 6000;

double ResidentMb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

double ProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

JournalLine LineNumber(int i) {
    JournalLine line;
    line.seq = i;
    line.gridRow = i % 2000 + 1;
    line.cells = {std::to_string(i),
                  " 123.4",
                  "M",
                  "---.-",
                  "KPH",
                  "Quay Süd",
                  "Mast 7, north side",
                  "2024/03/05 14:07:39.52",
                  "Model X-100",
                  "C-0042"};
    return line;
}

int RunOne(std::size_t heldInMemory) {
    QTemporaryDir dir;
    const QString path = dir.filePath("journal.sqlite");
    WriterSettings settings;
    settings.path = path;
    settings.token = "bench";
    settings.info = {"2024-03-05T14:00:00+01:00", dir.path().toStdString(), "bench", false};
    settings.heldInMemory = heldInMemory;
    std::atomic<bool> started{false}, failed{false};
    JournalWriter::Events events;
    events.started = [&](const StartReport&) { started = true; };
    events.writeFailed = [&](const std::string&) { failed = true; };
    JournalWriter writer(std::make_unique<SqliteJournalStore>(path), settings, events);
    writer.Start();
    while (!started)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    LineTail tail;
    tail.Open(LineTail::PathFor(path, settings.token));

    int status = 0;
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase("QSQLITE", "holder");
        holder.setDatabaseName(path);
        QSqlQuery hold(holder);
        if (!holder.open() || !hold.exec("BEGIN IMMEDIATE")) {
            std::fprintf(stderr, "the journal could not be locked\n");
            return 1;
        }
        const double memoryBefore = ResidentMb();
        const double processorBefore = ProcessorSeconds();
        const auto begin = Clock::now();
        for (int i = 1; i <= kLines; ++i) {
            const JournalOp op = AppendLine{LineNumber(i)};
            writer.Push(op, tail.Append(op));
            std::this_thread::sleep_until(begin + std::chrono::milliseconds(i));
        }
        while (!failed)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        const double processor = ProcessorSeconds() - processorBefore;
        std::printf("%s: memory +%.2f MB over %d lines; processor %.3f s in %.1f s (%.1f %%)\n",
                    heldInMemory == std::numeric_limits<std::size_t>::max()
                        ? "every line in memory (before)"
                        : "lines beyond 512 in the tail (now)",
                    ResidentMb() - memoryBefore, kLines, processor, seconds,
                    100.0 * processor / seconds);
        hold.exec("ROLLBACK");
        const auto released = Clock::now();
        if (writer.Flush().wait_for(std::chrono::seconds(120)) != std::future_status::ready) {
            std::fprintf(stderr, "the journal never took the lines\n");
            status = 1;
        }
        std::printf("    written %.2f s after the journal was free again\n",
                    std::chrono::duration<double>(Clock::now() - released).count());
    }
    QSqlDatabase::removeDatabase("holder");
    writer.Finish();
    return status;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc > 1)
        return RunOne(std::stoull(argv[1]));
    int status = 0;
    for (const std::size_t held : {std::size_t{512}, std::numeric_limits<std::size_t>::max()}) {
        QProcess one;
        one.setProcessChannelMode(QProcess::ForwardedChannels);
        one.start(QCoreApplication::applicationFilePath(), {QString::number(held)});
        if (!one.waitForFinished(300000) || one.exitCode() != 0)
            status = 1;
    }
    return status;
}
