#include "Recovery.h"

#include "CsvFile.h"
#include "CsvFormat.h"
#include "LogColumns.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <unordered_map>

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace lrf::journal {

namespace {

constexpr std::uintmax_t kLargestFileLooked = 256u << 20;

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "yyyyMMddhhmmss" of an ISO 8601 local time, or empty.
std::string StampOfIso(const std::string& iso) {
    std::string digits;
    for (const char c : iso.substr(0, 19)) {
        if (c >= '0' && c <= '9')
            digits += c;
    }
    return digits.size() == 14 ? digits : std::string();
}

// "yyyyMMddhhmmss" of an automatic save's name ("<yyyyMMddhh><ss><mm>[-n].csv").
std::string StampOfSaveName(const std::string& name) {
    if (!name.ends_with(".csv") || name.size() < 18)
        return {};
    std::string stem = name.substr(0, name.size() - 4);
    if (const std::size_t dash = stem.find('-'); dash != std::string::npos) {
        if (!AllDigits(stem.substr(dash + 1)))
            return {};
        stem.resize(dash);
    }
    if (stem.size() != 14 || !AllDigits(stem))
        return {};
    return stem.substr(0, 10) + stem.substr(12, 2) + stem.substr(10, 2);
}

// The record lines of a file as written: split at CR LF outside quotes.
std::vector<std::string> RecordLinesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::string> lines;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '"')
            quoted = !quoted;
        else if (!quoted && bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            lines.push_back(bytes.substr(start, i - start));
            start = ++i + 1;
        }
    }
    return lines;
}

bool ProcessIsGone([[maybe_unused]] long pid) {
#ifdef _WIN32
    return false; // not told here: the part stays
#else
    return pid > 0 && pid != static_cast<long>(getpid()) && kill(static_cast<pid_t>(pid), 0) != 0 &&
           errno == ESRCH;
#endif
}

} // namespace

std::filesystem::path WriteRecoveryFile(const UnsavedRun& run,
                                        const std::filesystem::path& fallback,
                                        const LocalDateTime& now) {
    std::vector<std::string> lines;
    lines.reserve(run.lines.size() + 1);
    lines.push_back(CsvHeaderLine(LogColumnHeaderTexts()));
    for (const JournalLine& line : run.lines)
        lines.push_back(CsvRecordLine(line.cells));

    const std::filesystem::path own(run.info.workingDirectory);
    std::error_code ec;
    if (!own.empty() && std::filesystem::is_directory(own, ec)) {
        try {
            return WriteAutoSaveFile(own, now, lines);
        } catch (const CsvFileError&) {
            if (own == fallback)
                throw;
        }
    }
    return WriteAutoSaveFile(fallback, now, lines);
}

std::vector<LinesInFile> TakeLinesSavedInFiles(UnsavedRun& run) {
    std::vector<LinesInFile> found;
    const std::string since = StampOfIso(run.info.startedAt);
    const fs::path folder(run.info.workingDirectory);
    std::error_code ec;
    if (since.empty() || folder.empty() || run.lines.empty() || !fs::is_directory(folder, ec))
        return found;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string stamp = StampOfSaveName(it->path().filename().string());
        std::error_code sizeError;
        if (!stamp.empty() && stamp >= since && it->is_regular_file(sizeError) &&
            it->file_size(sizeError) <= kLargestFileLooked)
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    // Each line of a file stands for one record, however often its text recurs.
    std::unordered_map<std::string, std::vector<std::size_t>> unsaved;
    for (std::size_t i = run.lines.size(); i-- > 0;)
        unsaved[CsvRecordLine(run.lines[i].cells)].push_back(i);
    std::vector<bool> taken(run.lines.size(), false);
    for (const fs::path& file : files) {
        LinesInFile in{file, {}};
        for (const std::string& line : RecordLinesOf(file)) {
            const auto match = unsaved.find(line);
            if (match == unsaved.end() || match->second.empty())
                continue;
            const std::size_t index = match->second.back();
            match->second.pop_back();
            taken[index] = true;
            in.seqs.push_back(run.lines[index].seq);
        }
        if (!in.seqs.empty())
            found.push_back(std::move(in));
    }
    if (found.empty())
        return found;
    std::vector<JournalLine> rest;
    for (std::size_t i = 0; i < run.lines.size(); ++i) {
        if (!taken[i])
            rest.push_back(std::move(run.lines[i]));
    }
    run.lines = std::move(rest);
    return found;
}

void RemoveDeadSaveParts(const std::filesystem::path& folder) {
    std::error_code ec;
    if (folder.empty())
        return;
    std::vector<fs::path> dead;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::optional<long> owner = AutoSavePartOwner(it->path());
        if (owner && ProcessIsGone(*owner))
            dead.push_back(it->path());
    }
    for (const fs::path& part : dead)
        fs::remove(part, ec);
}

} // namespace lrf::journal
