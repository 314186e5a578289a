// Cost of keeping the log's statistics: one record (its texts read, its values
// counted), the two halves of a rotation pair, and the status line and chart
// points drawn from a full log. Target: under 2 us per record.
#include "Decimate.h"
#include "LogStatistics.h"
#include "MeasurementRecord.h"
#include "StatisticsText.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr int kLog = 60000;

std::vector<std::string> DistanceTexts() {
    std::vector<std::string> texts;
    for (int i = 0; i < 1024; ++i)
        texts.push_back(i % 50 == 7 ? lrf::kNoDistanceText
                                    : lrf::DistanceRecordText(100 + (i * 37 % 101) / 10.0));
    return texts;
}

// One distance record per iteration, into a log that is cleared every 2000
// records the way the automatic save clears it.
void BM_DistanceRecord(benchmark::State& state) {
    const auto texts = DistanceTexts();
    lrf::LogStatistics stats;
    std::int32_t index = 0;
    for (auto _ : state) {
        stats.SetRecord(index, texts[static_cast<std::size_t>(index) % texts.size()], "M",
                        lrf::kNoSpeedText, "KPH");
        if (++index == 2000) {
            index = 0;
            stats.Clear();
        }
    }
    benchmark::DoNotOptimize(stats.NoValueCount());
}
BENCHMARK(BM_DistanceRecord);

// A rotation pair: the distance half writes the record, the speed half
// completes it.
void BM_RotationPair(benchmark::State& state) {
    const auto texts = DistanceTexts();
    lrf::LogStatistics stats;
    std::int32_t index = 0;
    for (auto _ : state) {
        const std::string& d = texts[static_cast<std::size_t>(index) % texts.size()];
        stats.SetRecord(index, d, "M", lrf::kNoSpeedText, "KPH");
        stats.SetRecord(index, d, "M", "  45.6", "KPH");
        if (++index == 2000) {
            index = 0;
            stats.Clear();
        }
    }
}
BENCHMARK(BM_RotationPair);

lrf::LogStatistics FullLog() {
    const auto texts = DistanceTexts();
    lrf::LogStatistics stats;
    for (int i = 0; i < kLog; ++i)
        stats.SetRecord(i, texts[static_cast<std::size_t>(i) % texts.size()], "M",
                        lrf::kNoSpeedText, "KPH");
    return stats;
}

void BM_StatusLine(benchmark::State& state) {
    const lrf::LogStatistics stats = FullLog();
    for (auto _ : state)
        benchmark::DoNotOptimize(lrf::StatusLine(stats, "."));
}
BENCHMARK(BM_StatusLine);

// The chart's points for the whole full log, 700 pixels wide.
void BM_DecimateFullLog(benchmark::State& state) {
    const lrf::LogStatistics stats = FullLog();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            lrf::DecimatedValues(stats.Points(), lrf::Quantity::Distance, 0.5, kLog + 0.5, 700));
}
BENCHMARK(BM_DecimateFullLog)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
