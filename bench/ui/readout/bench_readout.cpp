// Cost of showing a value (five cells rendered and repainted) and of repainting a
// readout from its finished cells, in microseconds per call.
#include "DigitRenderer.h"
#include "ReadoutPanel.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace {

struct ShownReadout {
    ShownReadout() {
        readout.resize(267, 88);
        readout.setTitleText(QStringLiteral("Point to point distance"));
        readout.show();
        QApplication::processEvents();
    }
    lrf::DistanceReadout readout;
};

void BM_ShowDistance(benchmark::State& state) {
    ShownReadout shown;
    const double values[] = {12.34, 1234.5, 2400.0, -123.4, 888.8};
    std::size_t i = 0;
    for (auto _ : state) {
        shown.readout.ShowDistance(0, values[i++ % std::size(values)]);
    }
    state.counters["renders/call"] = benchmark::Counter(
        static_cast<double>(shown.readout.renderCount()) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_ShowDistance)->Unit(benchmark::kMicrosecond);

// A covered readout uncovered: the group box and its cells repaint by copying.
void BM_RepaintReadout(benchmark::State& state) {
    ShownReadout shown;
    shown.readout.ShowDistance(0, 1234.5);
    const auto rendersBefore = shown.readout.renderCount();
    for (auto _ : state) {
        shown.readout.repaint();
    }
    state.counters["renders/call"] =
        benchmark::Counter(static_cast<double>(shown.readout.renderCount() - rendersBefore) /
                           static_cast<double>(state.iterations()));
}
BENCHMARK(BM_RepaintReadout)->Unit(benchmark::kMicrosecond);

// One cell on its own, for scale: what a show operation pays five times.
void BM_DrawDigit(benchmark::State& state) {
    QImage cell(lrf::kCellWidth, lrf::kCellHeight, QImage::Format_RGB32);
    QPainter canvas(&cell);
    lrf::SetUpCellPainter(canvas);
    int code = 0;
    for (auto _ : state) {
        lrf::DrawDigit(canvas, code, Qt::lightGray, Qt::black);
        code = code == 9 ? -13 : code + 1;
    }
}
BENCHMARK(BM_DrawDigit)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
