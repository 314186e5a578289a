#pragma once

#include "JournalTypes.h"
#include "LocalTime.h"

#include <filesystem>
#include <vector>

namespace lrf::journal {

// Writes the unsaved lines of an earlier run exactly as an automatic save
// writes the mirror: the header line, one line per record, CR LF after each,
// in a new file named after now, never replacing one. The file goes into the
// run's own working directory, or into fallback when that is gone or takes no
// file. Returns the path written; throws CsvFileError when neither folder
// takes it.
std::filesystem::path WriteRecoveryFile(const UnsavedRun& run,
                                        const std::filesystem::path& fallback,
                                        const LocalDateTime& now);

// Lines of a run that a file of its folder already holds.
struct LinesInFile {
    std::filesystem::path file;
    std::vector<std::int64_t> seqs;
};

// A save can complete on the disk while the journal never learns of it (a kill
// right after it, a journal on a full disk). Looks, cell for cell, for the
// run's unsaved lines in the automatic save files of its working directory
// named for a time since the run began, and takes every line found out of
// run.lines: those are saved, and recovering them would duplicate them.
std::vector<LinesInFile> TakeLinesSavedInFiles(UnsavedRun& run);

// Removes the part files of automatic saves in folder whose writing process
// is gone: a save that was cut short, whose lines the journal still holds.
void RemoveDeadSaveParts(const std::filesystem::path& folder);

} // namespace lrf::journal
