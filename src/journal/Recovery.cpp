#include "Recovery.h"

#include "CsvFile.h"
#include "CsvFormat.h"
#include "LogColumns.h"

namespace lrf::journal {

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

} // namespace lrf::journal
