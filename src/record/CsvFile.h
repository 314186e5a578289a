#pragma once

#include "LocalTime.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace lrf {

// A log file could not be written. what() is the text the operator sees.
class CsvFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Text of a failed manual save for a system error number: "Invalid filename"
// for a wrong name or folder, "Too many open files", "File access denied",
// "Disk full", or "I/O error <number>" for any other error.
std::string SaveErrorText(int systemError);

// The manual save: writes the lines, each ending in CR LF, to path. An existing
// file of that name is replaced only once the new file is complete: the lines
// go to a temporary file beside it, which is renamed over it on success, so a
// failure leaves neither a half-written file nor a destroyed earlier one.
// Targets that are not regular files (devices, pipes) are written directly.
// Throws CsvFileError with SaveErrorText on failure.
void WriteCsvFile(const std::filesystem::path& path, const std::vector<std::string>& lines);

// The automatic save: writes the lines, each ending in CR LF, to a new file in
// directory (the working directory when empty) named AutoSaveStem(now) + ".csv".
// An existing file is never replaced: if the name is taken, "-1", "-2", ... is
// added before ".csv". The lines are written to a hidden part file beside it
// first, which gets the final name only once it is complete: a crash leaves no
// empty or cut file under that name. A part that cannot be written is removed.
// Returns the full path written. Throws CsvFileError ("Cannot create file
// "<full path>". <system error>" or "Cannot write file ...") on failure.
std::filesystem::path WriteAutoSaveFile(const std::filesystem::path& directory,
                                        const LocalDateTime& now,
                                        const std::vector<std::string>& lines);

// The process id that wrote a part file of an automatic save (see
// WriteAutoSaveFile), or nothing when file is no such part.
std::optional<long> AutoSavePartOwner(const std::filesystem::path& file);

} // namespace lrf
