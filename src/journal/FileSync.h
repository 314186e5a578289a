#pragma once

#include <filesystem>

namespace lrf::journal {

// Waits until a file written by the program and its folder entry are on the
// disk. False when the file is gone, is no regular file, or cannot be synced:
// then nothing may count on it.
bool SyncFileToDisk(const std::filesystem::path& file);

} // namespace lrf::journal
