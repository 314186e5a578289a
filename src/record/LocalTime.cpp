#include "LocalTime.h"

#include <chrono>
#include <ctime>
#include <utility>

namespace lrf {

namespace {

// Decimal text of a non-negative number with leading zeros up to width digits.
std::string Padded(int value, std::size_t width) {
    std::string text = std::to_string(value);
    if (text.size() < width)
        text.insert(0, width - text.size(), '0');
    return text;
}

Separators& Current() {
    static Separators separators;
    return separators;
}

} // namespace

const Separators& CurrentSeparators() {
    return Current();
}

void SetCurrentSeparators(Separators separators) {
    Current() = std::move(separators);
}

LocalDateTime LocalNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto sinceEpoch = now.time_since_epoch();
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &seconds);
#else
    localtime_r(&seconds, &parts);
#endif
    LocalDateTime t;
    t.year = parts.tm_year + 1900;
    t.month = parts.tm_mon + 1;
    t.day = parts.tm_mday;
    t.hour = parts.tm_hour;
    t.minute = parts.tm_min;
    t.second = parts.tm_sec;
    t.millisecond = static_cast<int>(duration_cast<milliseconds>(sinceEpoch).count() % 1000);
    if (t.millisecond < 0) // clocks before 1970
        t.millisecond += 1000;
    return t;
}

std::string RecordTimeStamp(const LocalDateTime& t, const Separators& separators) {
    return Padded(t.year, 4) + separators.date + Padded(t.month, 2) + separators.date +
           Padded(t.day, 2) + ' ' + Padded(t.hour, 2) + separators.time + Padded(t.minute, 2) +
           separators.time + Padded(t.second, 2) + '.' + Padded(t.millisecond, 3);
}

std::string AutoSaveStem(const LocalDateTime& t) {
    return Padded(t.year, 4) + Padded(t.month, 2) + Padded(t.day, 2) + Padded(t.hour, 2) +
           Padded(t.second, 2) + Padded(t.minute, 2);
}

} // namespace lrf
