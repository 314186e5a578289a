#include "RunLock.h"

#include <QLockFile>

namespace lrf::journal {

RunLock::RunLock(const QString& journalPath, std::string token)
    : token(std::move(token))
    , file(std::make_unique<QLockFile>(FileFor(journalPath, this->token))) {
    file->setStaleLockTime(0); // only a dead holder makes it stale, never its age
}

RunLock::~RunLock() = default; // unlocks and removes the file

bool RunLock::Acquire() {
    return file->tryLock(0);
}

QString RunLock::FileFor(const QString& journalPath, const std::string& token) {
    return journalPath + ".run-" + QString::fromStdString(token) + ".lock";
}

bool RunLock::IsHeld(const QString& journalPath, const std::string& token) {
    QLockFile probe(FileFor(journalPath, token));
    probe.setStaleLockTime(0);
    if (probe.tryLock(0)) {
        probe.unlock(); // the run is over: its lock file goes
        return false;
    }
    // Held by a live process, or not to be checked here: leave that run alone.
    return true;
}

} // namespace lrf::journal
