#include "StoreRecord.h"

#include "RecordValue.h"

#include <array>
#include <charconv>

namespace lrf::journal {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::optional<double> ValueOf(const std::string& cell) {
    const CellValue read = ReadRecordCell(cell);
    if (read.kind != CellKind::Value)
        return std::nullopt;
    return read.value;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysIn(int year, int month) {
    static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

} // namespace

std::optional<LocalDateTime> ReadRecordTimeStamp(std::string_view text) {
    // Widths: four digits of the year, two of each part up to the seconds, one
    // to three of the milliseconds.
    static constexpr std::array<std::pair<std::size_t, std::size_t>, 7> kWidths{
        {{4, 4}, {2, 2}, {2, 2}, {2, 2}, {2, 2}, {2, 2}, {1, 3}}};
    std::array<int, 7> parts{};
    std::size_t at = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            const std::size_t separatorStart = at;
            while (at < text.size() && !IsDigit(text[at]))
                ++at;
            if (at == separatorStart)
                return std::nullopt;
        }
        std::size_t end = at;
        while (end < text.size() && IsDigit(text[end]))
            ++end;
        const auto [low, high] = kWidths[i];
        if (end - at < low || end - at > high)
            return std::nullopt;
        std::from_chars(text.data() + at, text.data() + end, parts[i]);
        at = end;
    }
    if (at != text.size())
        return std::nullopt;
    const LocalDateTime t{parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]};
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysIn(t.year, t.month) ||
        t.hour > 23 || t.minute > 59 || t.second > 59)
        return std::nullopt;
    return t;
}

std::string Unguarded(const std::string& fileText) {
    if (fileText.size() >= 2 && fileText[0] == '\'') {
        const char next = fileText[1];
        if (next == '=' || next == '+' || next == '@' || next == '\t' || next == '\r')
            return fileText.substr(1);
    }
    return fileText;
}

StoreRecord ReadStoreRecord(const Cells& cells) {
    StoreRecord record;
    int sn = 0;
    const std::string& snText = cells[0];
    if (const auto [end, error] = std::from_chars(snText.data(), snText.data() + snText.size(), sn);
        !snText.empty() && error == std::errc() && end == snText.data() + snText.size())
        record.sn = sn;
    record.distance = ValueOf(cells[1]);
    record.distanceUnit = cells[2];
    record.speed = ValueOf(cells[3]);
    record.speedUnit = cells[4];
    record.place = Unguarded(cells[5]);
    record.destination = Unguarded(cells[6]);
    record.measuredAt = ReadRecordTimeStamp(cells[7]);
    record.model = Unguarded(cells[8]);
    record.lrfCode = Unguarded(cells[9]);
    return record;
}

} // namespace lrf::journal
