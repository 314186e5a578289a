#include "DigitCodes.h"

#include <charconv>
#include <system_error>

namespace lrf {

namespace {

// Segment bits a..g of the digits 0 to 9.
constexpr std::uint8_t kA = 1U << 0, kB = 1U << 1, kC = 1U << 2, kD = 1U << 3, kE = 1U << 4,
                       kF = 1U << 5, kG = 1U << 6;
constexpr std::array<std::uint8_t, 10> kDigitSegments{
    kA | kB | kC | kD | kE | kF,      // 0
    kB | kC,                          // 1
    kA | kB | kD | kE | kG,           // 2
    kA | kB | kC | kD | kG,           // 3
    kB | kC | kF | kG,                // 4
    kA | kC | kD | kF | kG,           // 5
    kA | kC | kD | kE | kF | kG,      // 6
    kA | kB | kC,                     // 7
    kA | kB | kC | kD | kE | kF | kG, // 8
    kA | kB | kC | kD | kF | kG,      // 9
};

constexpr std::string_view kNoValueText = "----.-";
constexpr std::size_t kFieldWidth = 6;

// The code for one character of the text, before a following point is folded in.
int CodeOfCharacter(char c) {
    if (c == 'B')
        return DIGIT_BLANK;
    if (c >= '0' && c <= '9')
        return c - '0';
    return DIGIT_MINUS;
}

int WithPoint(int code) {
    if (code == DIGIT_MINUS)
        return DIGIT_MINUS_POINT;
    if (code == 0)
        return DIGIT_ZERO_POINT;
    return -code;
}

} // namespace

DigitLook LookOfDigitCode(int code) {
    // Table lookups only: negating an arbitrary int could overflow.
    if (code >= 0 && code <= 9)
        return {kDigitSegments[static_cast<std::size_t>(code)], false};
    if (code >= -9 && code <= -1)
        return {kDigitSegments[static_cast<std::size_t>(-code)], true};
    switch (code) {
    case DIGIT_ZERO_POINT:
        return {kDigitSegments[0], true};
    case DIGIT_MINUS:
        return {kG, false};
    case DIGIT_MINUS_POINT:
        return {kG, true};
    default:
        return {};
    }
}

std::string ReadoutText(double value, double noValueThreshold) {
    if (value >= noValueThreshold)
        return std::string(kNoValueText);

    // Wide enough for the largest double in fixed notation. to_chars ignores the
    // locale, so the separator is always '.'; it rounds like printf.
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    std::string digits = result.ec == std::errc{} ? std::string(buffer, result.ptr) : "-";
    if (digits.size() < kFieldWidth)
        digits.insert(0, kFieldWidth - digits.size(), 'B');
    return digits;
}

std::vector<int> CodesOfText(std::string_view text) {
    std::vector<int> codes;
    codes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '.')
            continue;
        int code = CodeOfCharacter(text[i]);
        if (i + 1 < text.size() && text[i + 1] == '.')
            code = WithPoint(code);
        codes.push_back(code);
    }
    return codes;
}

std::array<int, kReadoutCells> ReadoutCodes(double value, double noValueThreshold) {
    std::array<int, kReadoutCells> cells;
    cells.fill(DIGIT_BLANK);
    const std::vector<int> codes = CodesOfText(ReadoutText(value, noValueThreshold));
    for (std::size_t i = 0; i < cells.size() && i < codes.size(); ++i)
        cells[i] = codes[i];
    return cells;
}

} // namespace lrf
