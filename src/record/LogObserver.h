#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace lrf {

// Told by the log window what happens to the lines of its mirror and its
// grid, for a party that keeps a copy of every line of its own (the crash
// journal). Calls come on the log window's thread and must return at once:
// they never wait for a disk.
class LogObserver {
public:
    virtual ~LogObserver() = default;

    // A record line went into the mirror: a new line, or (replacesLast) the
    // same record written again, which replaced the mirror's last line. cells
    // are the ten cells of the grid row as they now stand, in the form they go
    // into the files (free texts guarded against spreadsheet formulas).
    virtual void LineWritten(std::int32_t row, std::span<const std::string> cells,
                             bool replacesLast) = 0;

    // The grid went back to the header and row 1; the mirror keeps its lines.
    virtual void GridCleared() = 0;

    // Every line of the mirror was written completely to file (an automatic
    // save or the save at exit); the mirror is empty now.
    virtual void MirrorSaved(const std::filesystem::path& file) = 0;

    // Every line of the mirror was written to a stream that has them once
    // written (a pipe or a terminal, named by `stream`), with nothing to sync.
    virtual void MirrorDelivered(const std::filesystem::path& stream) { MirrorSaved(stream); }

    // The grid's rows were written completely to file (a manual save).
    virtual void GridSaved(const std::filesystem::path& file) = 0;
};

} // namespace lrf
