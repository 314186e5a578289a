#pragma once

#include "JournalTypes.h"
#include "UnitRows.h"

#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace lrf::journal {

// A line that waits for the record store, as the journal holds it now.
struct OutgoingLine {
    RunId run = 0;
    std::int64_t seq = 0;
    std::int64_t revision = 0; // rewrites so far: 1 and more for a completed rotation pair
    Cells cells;
};

// What the store keeps of a run.
struct OutgoingRun {
    std::string startedAt; // ISO 8601 with the offset
    std::string endedAt;   // empty while it runs or when it did not end in order
    std::string workingDirectory;
    std::string programVersion;
};

// The journal as the forwarder sees it: the lines that wait for the store, in
// order, and the mark that the store has them. Its own connection to the
// journal file, used from the forwarder's thread only; the journal's writer
// made and upgraded the file before.
class JournalOutbox {
public:
    explicit JournalOutbox(QString path);
    ~JournalOutbox();
    JournalOutbox(const JournalOutbox&) = delete;
    JournalOutbox& operator=(const JournalOutbox&) = delete;

    // Throws JournalError (Unavailable) when the journal cannot be read.
    void Open();
    void Close();
    bool IsOpen() const { return connection != nullptr; }

    // Whether the file at the journal's path is still the one opened: a journal
    // that was moved aside as damaged during the run is to be opened afresh.
    bool IsStillAtPath() const;

    // The journal's own id, the same for every run that writes it.
    const std::string& JournalId() const { return journalId; }

    // Up to limit waiting lines, by run and line number. Throws JournalError.
    std::vector<OutgoingLine> Waiting(std::size_t limit);
    std::int64_t WaitingCount();
    // The journal's account of each of these runs.
    std::map<RunId, OutgoingRun> Runs(const std::set<RunId>& ids);

    // The runs that lines or units belong to.
    template <typename Items> static std::set<RunId> RunsOf(const Items& items) {
        std::set<RunId> ids;
        for (const auto& item : items)
            ids.insert(item.run);
        return ids;
    }

    // The store has committed these lines: marks each as it was sent; a line
    // rewritten meanwhile keeps waiting. Throws JournalError (WriteFailed).
    void MarkForwarded(const std::vector<OutgoingLine>& lines);

    // Up to limit units with their verdict that wait for the store (none in
    // a journal of an earlier version), and the mark that the store has them
    // or refused them for what they hold. Throw JournalError.
    std::vector<JournalUnit> WaitingUnits(std::size_t limit);
    void MarkUnits(const std::vector<JournalUnit>& units, bool refused = false);

    // The store refused the line for what it holds: it no longer waits, and
    // the journal keeps the store's reason beside it. Throws JournalError.
    void MarkRefused(const OutgoingLine& line, const std::string& reason);
    // Lines the store refused so far, and the latest reason.
    std::int64_t RefusedCount();
    std::string LastRefusal();

private:
    struct Connection;
    QString path;
    QString connectionName;
    std::unique_ptr<Connection> connection;
    std::string journalId;
    bool keepsUnits = false; // the journal's version has unit_results
    // The opened file's device and inode, where the system has them.
    struct FileIdentity {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        bool known = false;
        bool operator==(const FileIdentity&) const = default;
    };
    static FileIdentity IdentityOf(const QString& path);
    FileIdentity opened;
};

} // namespace lrf::journal
