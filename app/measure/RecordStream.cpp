#include "RecordStream.h"

#include "CsvFormat.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <io.h>
// The system's cache onto the disk (FlushFileBuffers underneath).
static int fsync(int fd) {
    return _commit(fd);
}
#else
#include <unistd.h>
#endif

namespace lrf::measure {

namespace {

// The JSON keys of the ten columns.
constexpr std::array<const char*, 10> kJsonKeys{
    "sn",    "linear",      "unit",      "speed", "speed_unit",
    "place", "destination", "date_time", "model", "lrf_code",
};
// The columns that hold numbers: the row number, the distance and the speed.
constexpr std::array<bool, 10> kNumberColumns{true,  true,  false, true,  false,
                                              false, false, false, false, false};

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

// A value cell as a JSON number: the blanks of its six-character format
// dropped, the locale's decimal separator read as the point; null for the
// dashes of "no value" or anything else that is not a number.
std::string JsonNumber(std::string_view cell, const std::string& decimal) {
    std::string text;
    for (std::size_t i = 0; i < cell.size();) {
        if (cell[i] == ' ') {
            ++i;
        } else if (!decimal.empty() && cell.substr(i, decimal.size()) == decimal) {
            text += '.';
            i += decimal.size();
        } else {
            text += cell[i++];
        }
    }
    if (text.empty() || text.find_first_not_of("-.0123456789") != std::string::npos)
        return "null";
    char* end = nullptr;
    errno = 0;
    std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() ||
        text.find_first_of("0123456789") == std::string::npos)
        return "null";
    // JSON has no leading point and no leading zeros beyond one.
    const bool negative = text.front() == '-';
    std::string digits = negative ? text.substr(1) : text;
    if (digits.front() == '.')
        digits.insert(0, "0");
    while (digits.size() > 1 && digits[0] == '0' && digits[1] != '.')
        digits.erase(0, 1);
    return (negative ? "-" : "") + digits;
}

} // namespace

RecordStream::RecordStream(std::FILE* file, std::filesystem::path name, Format format,
                           Separators separators)
    : file(file)
    , name(std::move(name))
    , format(format)
    , separators(std::move(separators)) {}

std::unique_ptr<RecordStream> RecordStream::Create(const std::filesystem::path& path, Format format,
                                                   Separators separators) {
#ifdef _WIN32
    std::FILE* file = _wfopen(path.c_str(), L"wb");
#else
    std::FILE* file = std::fopen(path.c_str(), "wb");
#endif
    if (!file)
        return nullptr;
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    auto stream =
        std::make_unique<RecordStream>(file, ec ? path : absolute, format, std::move(separators));
    stream->ownsFile = true;
    return stream;
}

RecordStream::~RecordStream() {
    if (ownsFile && file)
        std::fclose(file);
}

std::string RecordStream::JsonLine(std::span<const std::string> cells, const std::string& decimal) {
    std::string out = "{";
    for (std::size_t i = 0; i < kJsonKeys.size(); ++i) {
        if (i > 0)
            out += ',';
        AppendJsonString(out, kJsonKeys[i]);
        out += ':';
        const std::string_view cell = i < cells.size() ? std::string_view(cells[i]) : "";
        if (kNumberColumns[i])
            out += JsonNumber(cell, decimal);
        else
            AppendJsonString(out, cell);
    }
    out += '}';
    return out;
}

std::string RecordStream::Render(const LogLine& line) const {
    if (format == Format::Json)
        return JsonLine(line.cells, separators.decimal) + '\n';
    return CsvRecordLine(line.fileCells) + std::string(kCsvLineEnd);
}

void RecordStream::Line(const LogLine& line) {
    if (format == Format::Csv && !headerWritten && headerLine.empty())
        headerLine = CsvHeaderLine(std::vector<std::string>(LogColumnHeaderTexts())) +
                     std::string(kCsvLineEnd);
    // A new line makes the one that waited final; a line that replaces the
    // one before (the speed half of a pair) takes its place.
    if (!line.replacesLast)
        Commit();
    waiting = Render(line);
}

void RecordStream::Commit() {
    if (!waiting)
        return;
    if (!headerWritten && format == Format::Csv) {
        Write(headerLine);
        headerWritten = true;
    }
    Write(*waiting);
    waiting.reset();
    if (file && std::fflush(file) != 0 && error.empty())
        error = std::generic_category().message(errno);
}

void RecordStream::Write(const std::string& text) {
    if (!file || !error.empty())
        return;
    if (std::fwrite(text.data(), 1, text.size(), file) != text.size())
        error = std::generic_category().message(errno ? errno : EIO);
}

bool RecordStream::Sync() {
    if (!file)
        return error.empty();
    if (std::fflush(file) != 0 && error.empty())
        error = std::generic_category().message(errno);
    // Pipes and terminals cannot be synced; that is no failure.
    if (error.empty() && fsync(fileno(file)) != 0 && errno != EINVAL && errno != EROFS &&
        errno != ENOTSUP)
        error = std::generic_category().message(errno);
    return error.empty();
}

bool RecordStream::Finish() {
    Commit();
    return Sync();
}

} // namespace lrf::measure
