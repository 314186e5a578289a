// A soak of the journal's retention: 200 000 records handed to the journal as
// the log window hands them, an automatic save file taking every 2000, with
// LRF_JOURNAL_KEEP_DAYS=0 and a retention pass every second instead of every
// day, so that the soak shows in a minute what days of running do. Prints the
// largest size of the journal file (target: under 5 MB) and of its
// write-ahead log seen along the way, the size at the end, and the time.
//
//   bench_retention [RECORDS]

#include "Journal.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

std::uintmax_t Size(const std::filesystem::path& file) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    return ec ? 0 : size;
}

double MiB(std::uintmax_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::stoi(argv[1]) : 200000;
    qputenv("LRF_JOURNAL_KEEP_DAYS", "0");
    QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString();
    const std::filesystem::path path = folder / "journal.sqlite";
    const std::filesystem::path wal = folder / "journal.sqlite-wal";

    lrf::journal::JournalOptions options{QString::fromStdString(path.string()), dir.path(),
                                         "bench"};
    options.retentionEvery = std::chrono::seconds(1);
    lrf::journal::Journal journal(options);
    journal.Start();
    while (!journal.IsReady())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    std::vector<std::string> cells{"1",    " 123.4", "M", "---.-",       "KPH",
                                   "Quay", "Mast",   "",  "Model X-100", "C-0042"};
    std::uintmax_t largest = 0, largestWal = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < records; ++i) {
        const int row = i % 2000 + 1;
        cells[0] = std::to_string(row);
        cells[7] = "2026/12/09 15:" + std::to_string(10 + i / 60000 % 50) + ":" +
                   std::to_string(10 + i / 1000 % 50) + "." + std::to_string(100 + i % 900);
        journal.LineWritten(row, cells, false);
        if (row == 2000) {
            // The automatic save: a file on the disk that takes the 2000 lines.
            const std::filesystem::path file = folder / ("save-" + std::to_string(i) + ".csv");
            std::ofstream(file) << "SN\r\n";
            journal.MirrorSaved(file);
            journal.Flush().wait();
            std::filesystem::remove(file);
            largest = std::max(largest, Size(path));
            largestWal = std::max(largestWal, Size(wal));
            QCoreApplication::processEvents();
        }
    }
    journal.Flush().wait();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    largest = std::max(largest, Size(path));
    largestWal = std::max(largestWal, Size(wal));
    std::printf("retention soak: %d records, retention 0 days, a pass every second\n", records);
    std::printf("  journal file: largest %.2f MiB (target under 5 MB), at the end %.2f MiB\n",
                MiB(largest), MiB(Size(path)));
    std::printf("  write-ahead log: largest %.2f MiB, at the end %.2f MiB\n", MiB(largestWal),
                MiB(Size(wal)));
    std::printf("  %.1f s, %.0f records per second\n", seconds, records / seconds);
    journal.Finish();
    std::printf("  after the end of the run: %.2f MiB\n", MiB(Size(path) + Size(wal)));
    return largest < 5u * 1000u * 1000u ? 0 : 1;
}
