// Frames per second through the receive path's pure part: received bytes, then
// decoding, then conversion into the readouts' units.
#include "ReplyDecoder.h"
#include "Units.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

namespace {

void DecodeAndConvert(benchmark::State& state, const std::array<std::uint8_t, 8>& frame,
                      lrf::DisplayUnits units) {
    lrf::MeasurementState values;
    for (auto _ : state) {
        const lrf::DecodeResult r = lrf::DecodeReply(frame, values);
        lrf::ConvertForDisplay(values, units, r);
        benchmark::DoNotOptimize(values);
        benchmark::DoNotOptimize(r);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_DistanceFrameWithAngle(benchmark::State& state) {
    DecodeAndConvert(state, {0xDA, 0x00, 0x23, 0x02, 0xB1, 0x45, 0x00, 0xEE},
                     {lrf::unitMetre, lrf::unitKph});
}

void BM_SpeedFrame(benchmark::State& state) {
    DecodeAndConvert(state, {0xDA, 0x01, 0x23, 0x40, 0xE0, 0x99, 0x0F, 0xEE},
                     {lrf::unitMetre, lrf::unitMetrePerSecond});
}

} // namespace

BENCHMARK(BM_DistanceFrameWithAngle);
BENCHMARK(BM_SpeedFrame);

BENCHMARK_MAIN();
