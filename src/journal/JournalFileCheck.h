#pragma once

#include <QString>

#include <cstdint>
#include <string>

namespace lrf::journal {

// What a journal path holds, told from its bytes before SQLite opens it, so
// that a file of another program is never changed or moved.
struct JournalFileCheck {
    enum class Kind {
        New,     // nothing yet, or an empty file with nothing beside it
        Ours,    // a journal of this program (it may still be damaged inside)
        Damaged, // recognisably ours, but it cannot be read as it is
        Foreign, // another program's file or database
    };
    Kind kind = Kind::New;
    std::string reason; // for Damaged and Foreign, in plain words
};

// applicationId: the journal's SQLite application id. tailsBeside: line tails
// of earlier runs lie beside the path, which only a journal of ours leaves.
JournalFileCheck CheckJournalFile(const QString& path, std::uint32_t applicationId,
                                  bool tailsBeside);

} // namespace lrf::journal
