#pragma once

#include <QString>

#include <memory>
#include <string>

class QLockFile;

namespace lrf::journal {

// The lock a run holds while it lives, a file beside the journal named after
// the run's token. The system lets go of it when the process ends in any way,
// so a run whose lock can be taken is over.
class RunLock {
public:
    RunLock(const QString& journalPath, std::string token);
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    // Takes the lock; false when that is not possible.
    bool Acquire();
    const std::string& Token() const { return token; }

    // True while the run of token lives: its lock is held, or cannot be checked.
    static bool IsHeld(const QString& journalPath, const std::string& token);

private:
    static QString FileFor(const QString& journalPath, const std::string& token);
    std::string token;
    std::unique_ptr<QLockFile> file;
};

} // namespace lrf::journal
