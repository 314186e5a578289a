// Times the log window with a full log: adding 60000 records (hidden and shown),
// the automatic save of 2000 records, and the manual save of 60000 rows. Prints
// the figures and the peak memory of the process.
#include "Application.h"
#include "LogEvents.h"
#include "LogWindowSink.h"
#include "Recorder.h"
#include "ShowDataFrm.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

lrf::TAData Record(int index) {
    lrf::TAData r;
    r.Index = index;
    r.DistanceText = "  12.3";
    r.DistanceUnitName = "M";
    r.SpeedText = "---.-";
    r.SpeedUnitName = "KPH";
    r.Place = "North quay";
    r.Destination = "Mast 4";
    r.DateTimeText = "2024/03/05 14:07:39.52";
    r.Model = "X1";
    r.InstrumentCode = "C7-0042";
    return r;
}

// Adds count records through the synchronous messages; returns ms per record.
double AddRecords(lrf::TFrmShowData& window, int count) {
    lrf::LogWindowSink sink(window);
    lrf::TAData record = Record(0);
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        record.Index = i;
        sink.Add(record, lrf::RowPart::WholeRow);
    }
    return MillisecondsSince(start) / count;
}

// Peak resident memory of the process (0 where the system does not tell).
long PeakMemoryKiB() {
#ifndef _WIN32
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#else
    return 0;
#endif
}

} // namespace

int main(int argc, char** argv) {
    lrf::Application app(argc, argv);
    QTemporaryDir folder;
    constexpr int kRows = 60000;
    constexpr int kSaves = 20;

    lrf::TFrmShowData window;
    window.InitGrid();
    std::printf("empty log window: peak %.1f MiB\n", PeakMemoryKiB() / 1024.0);
    window.SetAutoSaveDirectory(folder.path());

    const double hidden = AddRecords(window, kRows);
    std::printf("add record, hidden window:  %.4f ms per record (%d records), peak %.1f MiB\n",
                hidden, kRows, PeakMemoryKiB() / 1024.0);

    QEvent clear(lrf::WM_DATA_CLEAR);
    QCoreApplication::sendEvent(&window, &clear);
    window.show();
    QCoreApplication::processEvents();
    const double shown = AddRecords(window, kRows);
    QCoreApplication::processEvents();
    std::printf("add record, shown window:   %.4f ms per record (%d records)\n", shown, kRows);

    auto start = Clock::now();
    window.SaveFileName = QDir(folder.path()).filePath("manual.csv");
    QEvent save(lrf::WM_DATA_SAVE);
    QCoreApplication::sendEvent(&window, &save);
    std::printf("manual save of %d rows:  %.2f ms\n", kRows + 1, MillisecondsSince(start));

    // The mirror now holds both runs; empty it, then time saves of 2000 records.
    QEvent autoSave(lrf::WM_DATA_AUTOSAVE);
    QCoreApplication::sendEvent(&window, &autoSave);
    double saving = 0;
    for (int run = 0; run < kSaves; ++run) {
        QCoreApplication::sendEvent(&window, &clear);
        AddRecords(window, lrf::Recorder::AutoSaveLimit);
        start = Clock::now();
        QCoreApplication::sendEvent(&window, &autoSave);
        saving += MillisecondsSince(start);
    }
    std::printf("automatic save of %d records: %.2f ms per save (%d saves)\n",
                lrf::Recorder::AutoSaveLimit, saving / kSaves, kSaves);
    std::printf("peak memory: %.1f MiB\n", PeakMemoryKiB() / 1024.0);
    std::printf("targets: under 0.2 ms per record added, under 20 ms per save\n");
    return hidden < 0.2 && shown < 0.2 && saving / kSaves < 20 ? 0 : 1;
}
