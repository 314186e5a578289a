#pragma once

#include "JournalStore.h"

#include <QString>
#include <QVariant>

#include <memory>

namespace lrf::journal {

struct Salvage;

// The journal as one SQLite file, reached through Qt SQL's SQLite driver, in
// WAL mode. Writes commit without waiting for the disk; a durable write, and
// Sync, wait until the write-ahead log is on the disk, which makes every
// earlier write durable too.
//
// The file carries its application id and its schema version; a file of a
// newer version is refused and left as it is, as is any file that is not a
// journal of this program. A damaged journal is renamed, with its write-ahead
// log, to "<name>.damaged-<yyyyMMdd-hhmmss>" and replaced by a new journal,
// into which the lines no file held are salvaged from it.
class SqliteJournalStore final : public JournalStore {
public:
    static constexpr int kSchemaVersion = 3;
    static constexpr int kApplicationId = 0x4C524631; // "LRF1"

    explicit SqliteJournalStore(QString path);
    ~SqliteJournalStore() override;

    OpenResult Open() override;
    OpenResult ReplaceDamaged(const std::string& reason) override;
    RunId BeginRun(const std::string& token, const RunInfo& info) override;
    RunId ResumeRun(const std::string& token, const RunInfo& info) override;
    std::size_t RestoreRun(RunId run, std::span<const JournalOp> tail,
                           std::span<const MarkTaken> taken) override;
    std::vector<UnsavedRun>
    ClaimUnsavedRuns(RunId claimant,
                     const std::function<bool(const std::string&)>& isAlive) override;
    std::size_t MergeTail(const std::string& token, std::span<const JournalOp> tail,
                          const RunInfo& orphan) override;
    void Write(RunId run, std::span<const JournalOp> ops, bool durable) override;
    void Sync(RunId run) override;
    Pruned Prune(int keepDays) override;
    std::vector<CutUnit>
    CloseCutUnits(RunId claimant, const std::function<bool(const std::string&)>& isAlive) override;
    void Close() override;

private:
    struct Connection;
    void Connect();
    void CreateWhole();
    void Inspect();
    void Migrate(int fromVersion);
    void Import(const Salvage& salvage);
    std::string MoveAside();
    // The row of csv_files for a file that takes lines.
    QVariant FileRow(const std::string& file);
    // Within a transaction: the lines of mark are taken by its file.
    void Mark(RunId run, const MarkTaken& mark);

    QString path;
    QString connectionName;
    std::unique_ptr<Connection> connection;
    bool forwardRun = false; // this run's lines wait for the record store
    // The file that took lines last, whose row the next mark of the same file
    // (a stream's, after every record) shares.
    std::string lastFile;
    qlonglong lastFileId = 0;
};

} // namespace lrf::journal
