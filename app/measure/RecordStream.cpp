#include "RecordStream.h"

#include "CsvFormat.h"
#include "StoreRecord.h"

#include <QDateTime>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
// The system's cache onto the disk (FlushFileBuffers underneath).
static int fsync(int fd) {
    return _commit(fd);
}
#else
#include <poll.h>
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
// The time stamp, which JSON readers get in ISO 8601 with its offset from UTC.
constexpr std::size_t kTimeColumn = 7;

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

// Decimal text of a non-negative number with leading zeros up to width digits.
std::string Padded(int value, int width) {
    std::string text = std::to_string(value);
    if (text.size() < static_cast<std::size_t>(width))
        text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
    return text;
}

} // namespace

std::string RecordStream::IsoTime(std::string_view cell) {
    const std::optional<LocalDateTime> t = journal::ReadRecordTimeStamp(cell);
    if (!t)
        return std::string(cell);
    // The offset that the machine's time zone had at that local time.
    const QDateTime local(QDate(t->year, t->month, t->day),
                          QTime(t->hour, t->minute, t->second, t->millisecond));
    const int offset = local.isValid() ? local.offsetFromUtc() : 0;
    const int minutes = (offset < 0 ? -offset : offset) / 60;
    return Padded(t->year, 4) + '-' + Padded(t->month, 2) + '-' + Padded(t->day, 2) + 'T' +
           Padded(t->hour, 2) + ':' + Padded(t->minute, 2) + ':' + Padded(t->second, 2) + '.' +
           Padded(t->millisecond, 3) + (offset < 0 ? '-' : '+') + Padded(minutes / 60, 2) + ':' +
           Padded(minutes % 60, 2);
}

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
        else if (i == kTimeColumn)
            AppendJsonString(out, IsoTime(cell));
        else
            AppendJsonString(out, cell);
    }
    out += '}';
    return out;
}

std::string RecordStream::Render(const LogLine& line) const {
    if (format == Format::Json) {
        std::string json = JsonLine(line.cells, separators.decimal);
        if (!jsonExtra.empty())
            json.insert(json.size() - 1, "," + jsonExtra);
        return json + '\n';
    }
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
    if (file && error.empty() && std::fflush(file) != 0)
        Fail(errno);
}

void RecordStream::Fail(int number) {
    if (!error.empty())
        return;
    brokenPipe = number == EPIPE;
    error = std::generic_category().message(number ? number : EIO);
}

void RecordStream::Write(const std::string& text) {
    if (!file || !error.empty())
        return;
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file) != text.size())
        Fail(errno);
}

bool RecordStream::IsRegularFile() const {
    struct stat status {};
    return file && fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
}

bool RecordStream::ReaderGone() const {
    if (brokenPipe)
        return true;
#ifdef _WIN32
    return false;
#else
    // A pipe whose reader has closed its end reports an error condition at once.
    if (!file)
        return false;
    pollfd watched{fileno(file), 0, 0};
    return poll(&watched, 1, 0) == 1 && (watched.revents & POLLERR) != 0;
#endif
}

bool RecordStream::Sync() {
    if (!file)
        return error.empty();
    if (error.empty() && std::fflush(file) != 0)
        Fail(errno);
    // Pipes and terminals cannot be synced; that is no failure.
    if (error.empty() && fsync(fileno(file)) != 0 && errno != EINVAL && errno != EROFS &&
        errno != ENOTSUP)
        Fail(errno);
    return error.empty();
}

bool RecordStream::Finish() {
    Commit();
    return Sync();
}

} // namespace lrf::measure
