#include "ProgressLine.h"

#include <algorithm>
#include <cmath>

namespace lrf::measure {

ProgressLine::ProgressLine(std::FILE* terminal, int total, QObject* parent)
    : QObject(parent)
    , terminal(terminal)
    , total(total) {
    if (!terminal)
        return;
    clock.start();
    redraw.setInterval(200);
    connect(&redraw, &QTimer::timeout, this, [this] {
        if (dirty)
            Draw();
    });
    redraw.start();
    Draw();
}

void ProgressLine::Record() {
    ++done;
    dirty = true;
}

void ProgressLine::Finish() {
    if (!terminal)
        return;
    redraw.stop();
    std::fputs("\r\033[K", terminal);
    std::fflush(terminal);
    terminal = nullptr;
}

void ProgressLine::Draw() {
    dirty = false;
    const std::string text = Text(done, total, static_cast<double>(clock.elapsed()) / 1000.0);
    std::fprintf(terminal, "\r%s\033[K", text.c_str());
    std::fflush(terminal);
}

std::string ProgressLine::Text(int done, int total, double seconds, int width) {
    const double rate = seconds > 0.0 ? done / seconds : 0.0;
    char buffer[160];
    if (total <= 0) {
        std::snprintf(buffer, sizeof buffer, "%d records  %.1f/s", done, rate);
        return buffer;
    }
    const double part = std::clamp(static_cast<double>(done) / total, 0.0, 1.0);
    const int filled = static_cast<int>(part * width);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(width - filled), '-');
    std::string left = "--:--";
    if (rate > 0.0) {
        const auto rest = static_cast<long long>(std::ceil(std::max(0, total - done) / rate));
        char time[32];
        std::snprintf(time, sizeof time, "%lld:%02lld", rest / 60, rest % 60);
        left = time;
    }
    std::snprintf(buffer, sizeof buffer, "[%s] %d/%d  %.1f/s  %s left", bar.c_str(), done, total,
                  rate, left.c_str());
    return buffer;
}

} // namespace lrf::measure
