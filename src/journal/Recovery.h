#pragma once

#include "JournalTypes.h"
#include "LocalTime.h"

#include <filesystem>

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

} // namespace lrf::journal
