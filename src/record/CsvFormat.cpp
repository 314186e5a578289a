#include "CsvFormat.h"

#include <algorithm>

namespace lrf {

namespace {

bool NeedsQuotes(std::string_view text) {
    return text.find_first_of(",\"\r\n") != std::string_view::npos;
}

// True when the text holds something besides blanks and control characters.
bool HasVisibleText(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) > ' '; });
}

} // namespace

std::string CsvCell(std::string_view text) {
    if (!NeedsQuotes(text))
        return std::string(text);
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

// "-12", "-12.5", "-12,5", "-.5": a negative number, which no spreadsheet runs.
bool IsNegativeNumber(std::string_view text) {
    if (text.size() < 2 || text.front() != '-')
        return false;
    bool digits = false;
    bool separator = false;
    for (const char c : text.substr(1)) {
        if (c >= '0' && c <= '9')
            digits = true;
        else if ((c == '.' || c == ',') && !separator)
            separator = true;
        else
            return false;
    }
    return digits;
}

std::string FormulaGuarded(std::string_view text) {
    if (text.empty() || std::string_view("=+-@\t\r").find(text.front()) == std::string_view::npos ||
        IsNegativeNumber(text))
        return std::string(text);
    std::string guarded;
    guarded.reserve(text.size() + 1);
    guarded += '\'';
    guarded += text;
    return guarded;
}

std::string CsvRecordLine(std::span<const std::string> cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += ',';
        if (NeedsQuotes(cells[i]))
            line += CsvCell(cells[i]);
        else
            line += cells[i];
    }
    return line;
}

std::string CsvHeaderLine(std::span<const std::string> headers) {
    std::string line;
    for (const std::string& header : headers) {
        if (HasVisibleText(line))
            line += ',';
        line += CsvCell(header);
    }
    return line;
}

} // namespace lrf
