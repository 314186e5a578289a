#include "SqliteJournalStore.h"

#include "FileSync.h"
#include "JournalFileCheck.h"
#include "JournalSalvage.h"
#include "JournalTime.h"
#include "LineTail.h"
#include "UnitRows.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <atomic>
#include <cerrno>

#ifndef _WIN32
#include <unistd.h>
#endif
#include <map>

namespace lrf::journal {

namespace {

// SQLite's primary result codes that mean "this file is no usable database".
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;

// The journal of ours is damaged: it is moved aside.
struct Damaged {
    std::string reason;
};

std::string DamagedReason(const std::string& sqliteText) {
    return "it is not an intact SQLite database (" + sqliteText + ")";
}

std::string Reason(const QSqlError& error) {
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.toStdString();
}

bool MeansDamaged(const QSqlError& error) {
    const int code = error.nativeErrorCode().toInt() & 0xff;
    return code == kSqliteCorrupt || code == kSqliteNotADatabase;
}

// Version 1: runs, the files that took lines, and the lines.
const char* const kSchemaV1[] = {
    "CREATE TABLE runs ("
    " id INTEGER PRIMARY KEY,"
    " token TEXT NOT NULL UNIQUE,"
    " started_at TEXT NOT NULL,"
    " ended_at TEXT,"
    " synced_at TEXT,"
    " working_dir TEXT NOT NULL,"
    " program_version TEXT NOT NULL,"
    " recovered_by INTEGER REFERENCES runs(id))",
    "CREATE TABLE csv_files ("
    " id INTEGER PRIMARY KEY,"
    " path TEXT NOT NULL,"
    " written_at TEXT NOT NULL)",
    "CREATE TABLE lines ("
    " run_id INTEGER NOT NULL REFERENCES runs(id),"
    " seq INTEGER NOT NULL,"
    " grid_row INTEGER NOT NULL,"
    " sn TEXT NOT NULL, linear TEXT NOT NULL, unit TEXT NOT NULL,"
    " speed TEXT NOT NULL, speed_unit TEXT NOT NULL, place TEXT NOT NULL,"
    " destination TEXT NOT NULL, date_time TEXT NOT NULL, model TEXT NOT NULL,"
    " lrf_code TEXT NOT NULL,"
    " taken_by INTEGER REFERENCES csv_files(id),"
    " PRIMARY KEY (run_id, seq)) WITHOUT ROWID",
    "CREATE INDEX lines_unsaved ON lines(run_id, seq) WHERE taken_by IS NULL",
};

// Version 2: the forwarding of lines to a record store. A line of a run that
// forwards starts with forwarded NULL ("waiting") and gets 1 once the store
// has committed it; lines of other runs, and those from before, hold 0. The
// revision counts the rewrites of a line, so that a rewrite while the line is
// on its way is not taken as forwarded. The journal's id tells the store
// which journal, and so which station, a run belongs to.
const char* const kSchemaV2[] = {
    "ALTER TABLE lines ADD COLUMN revision INTEGER NOT NULL DEFAULT 0",
    "ALTER TABLE lines ADD COLUMN forwarded INTEGER DEFAULT 0",
    "CREATE INDEX lines_unforwarded ON lines(run_id, seq) WHERE forwarded IS NULL",
    "CREATE TABLE journal_info (key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID",
    "INSERT INTO journal_info (key, value) VALUES ('id', lower(hex(randomblob(16))))",
};

struct Migration {
    int toVersion;
    std::span<const char* const> statements;
};
// A later version appends its step here (ALTER TABLE ... ADD COLUMN ...).
const Migration kMigrations[] = {
    {1, kSchemaV1},
    {2, kSchemaV2},
};
static_assert(std::size(kMigrations) + 1 == SqliteJournalStore::kSchemaVersion);

const QString kCellColumns =
    "sn, linear, unit, speed, speed_unit, place, destination, date_time, model, lrf_code";

const QString kCellAssignments =
    "sn = excluded.sn, linear = excluded.linear, unit = excluded.unit, speed = excluded.speed, "
    "speed_unit = excluded.speed_unit, place = excluded.place, "
    "destination = excluded.destination, date_time = excluded.date_time, "
    "model = excluded.model, lrf_code = excluded.lrf_code";

// The ten cells of a line, from column first of query's current row on.
Cells ReadCells(const QSqlQuery& query, int first) {
    Cells cells;
    for (std::size_t i = 0; i < cells.size(); ++i)
        cells[i] = query.value(first + static_cast<int>(i)).toString().toStdString();
    return cells;
}

// A line's forwarded column as it is written: NULL while it waits for the record
// store, 0 when its run does not forward.
QVariant ForwardedValue(bool waitsForStore) {
    return waitsForStore ? QVariant(QMetaType::fromType<int>()) : QVariant(0);
}

QString ConnectionNameFor(const void* store) {
    static std::atomic<int> counter{0};
    return QStringLiteral("lrf-journal-%1-%2")
        .arg(reinterpret_cast<quintptr>(store))
        .arg(counter.fetch_add(1));
}

} // namespace

// The open database and the statements the writer uses all the time.
struct SqliteJournalStore::Connection {
    QSqlDatabase db;
    QSqlQuery upsertLine{db};
    QSqlQuery insertFile{db};
    QSqlQuery markRange{db};
    QSqlQuery endRun{db};
    QSqlQuery synced{db};

    explicit Connection(const QSqlDatabase& database)
        : db(database) {}

    // Runs one statement; throws what the failure means for the caller.
    void Exec(const QString& sql) {
        QSqlQuery query(db);
        if (!query.exec(sql))
            Fail(query.lastError());
    }
    static void Run(QSqlQuery& query) {
        if (!query.exec())
            Fail(query.lastError());
    }
    // A new row for the run `token`; returns its id.
    RunId InsertRun(const std::string& token, const RunInfo& info) {
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO runs (token, started_at, working_dir, "
                                      "program_version) VALUES (?, ?, ?, ?)"));
        insert.addBindValue(QString::fromStdString(token));
        insert.addBindValue(QString::fromStdString(info.startedAt));
        insert.addBindValue(QString::fromStdString(info.workingDirectory));
        insert.addBindValue(QString::fromStdString(info.programVersion));
        Run(insert);
        return insert.lastInsertId().toLongLong();
    }
    [[noreturn]] static void Fail(const QSqlError& error) {
        if (MeansDamaged(error))
            throw JournalError(JournalError::Kind::Damaged, DamagedReason(Reason(error)));
        throw JournalError(JournalError::Kind::WriteFailed, Reason(error));
    }
    void Prepare(QSqlQuery& query, const QString& sql) {
        query = QSqlQuery(db);
        if (!query.prepare(sql))
            Fail(query.lastError());
    }
    void PrepareAll() {
        // A rewritten line is held by no file and waits to be forwarded again.
        Prepare(upsertLine,
                "INSERT INTO lines (run_id, seq, grid_row, forwarded, " + kCellColumns +
                    ") VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?) ON CONFLICT (run_id, seq) DO UPDATE "
                    "SET grid_row = excluded.grid_row, forwarded = excluded.forwarded, "
                    "taken_by = NULL, revision = revision + 1, " +
                    kCellAssignments);
        Prepare(insertFile, "INSERT INTO csv_files (path, written_at) VALUES (?, ?)");
        Prepare(markRange,
                "UPDATE lines SET taken_by = ? WHERE run_id = ? AND seq BETWEEN ? AND ?");
        Prepare(endRun, "UPDATE runs SET ended_at = ? WHERE id = ?");
        Prepare(synced, "UPDATE runs SET synced_at = ? WHERE id = ?");
    }
    // forwarded: see ForwardedValue.
    void Upsert(RunId run, const JournalLine& line, const QVariant& forwarded) {
        QSqlQuery& q = upsertLine;
        q.bindValue(0, qlonglong{run});
        q.bindValue(1, static_cast<qlonglong>(line.seq));
        q.bindValue(2, line.gridRow);
        q.bindValue(3, forwarded);
        for (std::size_t i = 0; i < line.cells.size(); ++i)
            q.bindValue(static_cast<int>(i) + 4, QString::fromStdString(line.cells[i]));
        Run(q);
    }
    // Runs body in one transaction that is synced to the disk when it commits.
    template <typename Body> void InDurableTransaction(Body&& body) {
        SetDurable(true);
        Exec(QStringLiteral("BEGIN IMMEDIATE"));
        try {
            body();
            Exec(QStringLiteral("COMMIT"));
            SetDurable(false);
        } catch (...) {
            Rollback();
            throw;
        }
    }
    void Rollback() {
        QSqlQuery query(db);
        query.exec(QStringLiteral("ROLLBACK")); // fails harmlessly when none is open
    }
    void SetDurable(bool durable) {
        Exec(durable ? QStringLiteral("PRAGMA synchronous = FULL")
                     : QStringLiteral("PRAGMA synchronous = NORMAL"));
    }
};

// Qt's SQLite driver is a plugin library with data of its own for each
// thread. It is loaded once, on the thread that makes the store and before the
// writer's thread starts, not by the writer while other threads start: Wine's
// loader can crash when such a library comes in as a thread starts.
namespace {
void LoadSqliteDriver() {
    static const bool loaded = [] {
        const QString name = QStringLiteral("lrf-load-sqlite-driver");
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        QSqlDatabase::removeDatabase(name);
        return true;
    }();
    (void)loaded;
}
} // namespace

SqliteJournalStore::SqliteJournalStore(QString path)
    : path(std::move(path))
    , connectionName(ConnectionNameFor(this)) {
    LoadSqliteDriver();
}

SqliteJournalStore::~SqliteJournalStore() {
    Close();
}

void SqliteJournalStore::Connect() {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(path);
    // Several programs may share one journal: a writer waits for another's commit.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.isValid())
        throw JournalError(JournalError::Kind::Unavailable,
                           "the SQLite driver of Qt is not installed");
    if (!db.open())
        throw JournalError(JournalError::Kind::Unavailable, Reason(db.lastError()));
    connection = std::make_unique<Connection>(db);
}

void SqliteJournalStore::Close() {
    lastFile.clear();
    if (!connection)
        return;
    connection->db.close();
    connection.reset();
    QSqlDatabase::removeDatabase(connectionName);
}

JournalStore::OpenResult SqliteJournalStore::Open() {
    if (path.isEmpty())
        throw JournalError(JournalError::Kind::Unavailable,
                           "the system names no folder for the user's data");
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        throw JournalError(JournalError::Kind::Unavailable,
                           "the folder " + folder.toStdString() + " cannot be created");
    // Another program's file is never opened for writing, let alone moved.
    const JournalFileCheck check =
        CheckJournalFile(path, kApplicationId, !LineTail::FindBeside(path).empty());
    if (check.kind == JournalFileCheck::Kind::Foreign)
        throw JournalError(JournalError::Kind::Unavailable, check.reason);
    if (check.kind == JournalFileCheck::Kind::Damaged)
        return ReplaceDamaged(check.reason);
    if (check.kind == JournalFileCheck::Kind::New && !QFileInfo::exists(path))
        CreateWhole();
    try {
        try {
            Connect();
            Inspect();
            connection->PrepareAll();
        } catch (const Damaged& damaged) {
            return ReplaceDamaged(damaged.reason);
        } catch (const JournalError& e) {
            if (e.kind != JournalError::Kind::Damaged)
                throw;
            return ReplaceDamaged(e.what());
        }
    } catch (const JournalError& e) {
        Close();
        if (e.kind != JournalError::Kind::Newer)
            throw JournalError(JournalError::Kind::Unavailable, e.what());
        throw;
    }
    return {};
}

// A new journal is made under a name of its own beside the path and takes the
// path's name complete (a hard link, or a rename that does not overwrite),
// never over a file that is there: a program that looks at
// the path meanwhile finds nothing or a whole journal of ours, never one half
// made, which it would take for another program's database. Of two programs
// making it at once, the second to take the name opens the first one's.
void SqliteJournalStore::CreateWhole() {
    const QString whole = path;
    const QString made =
        path + ".new-" + QUuid::createUuid().toString(QUuid::WithoutBraces) + ".tmp";
    const auto removeMade = [&] {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            QFile::remove(made + suffix);
    };
    path = made;
    try {
        Connect();
        Inspect();
        Close(); // the last connection: the write-ahead log goes into the file
    } catch (...) {
        Close();
        path = whole;
        removeMade();
        throw;
    }
    path = whole;
    // Synced before it takes the name, so that a crash leaves no empty journal there.
    SyncFileToDisk(std::filesystem::path(made.toStdString()));
#ifndef _WIN32
    // A hard link never replaces a file; a rename there may, where the file
    // system lacks a rename that does not.
    const QByteArray from = QFile::encodeName(made);
    const QByteArray to = QFile::encodeName(path);
    if (::link(from.constData(), to.constData()) == 0 || errno == EEXIST) {
        removeMade(); // the journal has its name; or another program's is there: that one is opened
        return;
    }
#endif
    if (!QFile::rename(made, path))
        removeMade(); // another program's journal is there now: that one is opened
}

JournalStore::OpenResult SqliteJournalStore::ReplaceDamaged(const std::string& reason) {
    Close();
    OpenResult result;
    result.movedAsideReason = reason;
    result.movedAsideTo = MoveAside();
    const Salvage salvage = SalvageJournal(QString::fromStdString(result.movedAsideTo));
    result.salvageIncomplete = salvage.incomplete;
    try {
        Connect();
        Inspect();
        connection->PrepareAll();
        Import(salvage);
    } catch (const Damaged& again) {
        Close();
        throw JournalError(JournalError::Kind::Unavailable, again.reason);
    } catch (const JournalError& e) {
        Close();
        throw JournalError(JournalError::Kind::Unavailable, e.what());
    }
    result.salvagedRecords = salvage.lines;
    return result;
}

void SqliteJournalStore::Import(const Salvage& salvage) {
    if (salvage.runs.empty())
        return;
    Connection& c = *connection;
    c.InDurableTransaction([&] {
        QSqlQuery insert(c.db);
        insert.prepare(QStringLiteral("INSERT INTO runs (token, started_at, ended_at, "
                                      "working_dir, program_version) VALUES (?, ?, ?, ?, ?)"));
        for (const SalvagedRun& run : salvage.runs) {
            // A run whose own row was lost gets a token no lock or tail has.
            const std::string token =
                run.token.empty()
                    ? "salvaged-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString()
                    : run.token;
            insert.bindValue(0, QString::fromStdString(token));
            insert.bindValue(1, QString::fromStdString(run.info.startedAt));
            insert.bindValue(2, run.endedAt.empty() ? QVariant(QMetaType::fromType<QString>())
                                                    : QString::fromStdString(run.endedAt));
            insert.bindValue(3, QString::fromStdString(run.info.workingDirectory));
            insert.bindValue(4, QString::fromStdString(run.info.programVersion));
            Connection::Run(insert);
            const RunId id = insert.lastInsertId().toLongLong();
            for (std::size_t i = 0; i < run.lines.size(); ++i)
                c.Upsert(id, run.lines[i], ForwardedValue(run.waiting[i]));
        }
    });
}

void SqliteJournalStore::Inspect() {
    QSqlQuery query(connection->db);
    const auto single = [&](const QString& sql) {
        if (!query.exec(sql) || !query.next()) {
            const QSqlError error = query.lastError();
            if (MeansDamaged(error))
                throw Damaged{DamagedReason(Reason(error))};
            throw JournalError(JournalError::Kind::Unavailable, Reason(error));
        }
        return query.value(0).toLongLong();
    };
    const qint64 applicationId = single(QStringLiteral("PRAGMA application_id"));
    const qint64 version = single(QStringLiteral("PRAGMA user_version"));
    const qint64 objects = single(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    const bool fresh = applicationId == 0 && version == 0 && objects == 0;
    if (!fresh && applicationId != kApplicationId)
        throw JournalError(JournalError::Kind::Unavailable, "it is a database of another program");
    if (version > kSchemaVersion)
        throw JournalError(JournalError::Kind::Newer, "journal format " + std::to_string(version) +
                                                          ", this version reads up to " +
                                                          std::to_string(kSchemaVersion));
    query.finish();
    if (!query.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !query.next() ||
        query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        const QSqlError error = query.lastError();
        if (MeansDamaged(error))
            throw Damaged{DamagedReason(Reason(error))};
        throw JournalError(JournalError::Kind::Unavailable,
                           error.isValid() ? Reason(error) : "it cannot be written");
    }
    query.finish();
    connection->SetDurable(false);
    if (version < kSchemaVersion)
        Migrate(static_cast<int>(version));
}

void SqliteJournalStore::Migrate(int fromVersion) {
    Connection& c = *connection;
    c.Exec(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        // Another program may have done it while this one waited for the lock.
        QSqlQuery query(c.db);
        if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
            Connection::Fail(query.lastError());
        const int current = query.value(0).toInt();
        query.finish();
        if (current < fromVersion || current > kSchemaVersion)
            throw JournalError(JournalError::Kind::Unavailable,
                               "another program changed it while it was opened");
        // Version 3: the units checked against a test plan.
        const Migration units{3, UnitSchema()};
        for (const Migration& step : kMigrations) {
            if (step.toVersion <= current)
                continue;
            for (const char* sql : step.statements)
                c.Exec(QString::fromUtf8(sql));
        }
        if (current < units.toVersion)
            for (const char* sql : units.statements)
                c.Exec(QString::fromUtf8(sql));
        c.Exec(QStringLiteral("PRAGMA application_id = %1").arg(kApplicationId));
        c.Exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion));
        c.Exec(QStringLiteral("COMMIT"));
    } catch (...) {
        c.Rollback();
        throw;
    }
}

std::string SqliteJournalStore::MoveAside() {
    const QString stamp = JournalFileStamp();
    QString target = path + ".damaged-" + stamp;
    for (int n = 1; QFileInfo::exists(target) && n < 1000; ++n)
        target = path + ".damaged-" + stamp + "-" + QString::number(n);
    if (!QFile::rename(path, target))
        throw JournalError(JournalError::Kind::Unavailable,
                           "it is damaged and cannot be moved aside");
    // The write-ahead log belongs to the damaged file: it goes with it.
    for (const char* suffix : {"-wal", "-shm"}) {
        if (QFileInfo::exists(path + suffix))
            QFile::rename(path + suffix, target + suffix);
    }
    return target.toStdString();
}

RunId SqliteJournalStore::BeginRun(const std::string& token, const RunInfo& info) {
    Connection& c = *connection;
    try {
        c.SetDurable(true);
        const RunId id = c.InsertRun(token, info);
        c.SetDurable(false);
        forwardRun = info.toStore;
        return id;
    } catch (const JournalError& e) {
        if (e.kind == JournalError::Kind::Damaged)
            throw;
        throw JournalError(JournalError::Kind::Unavailable, e.what());
    }
}

RunId SqliteJournalStore::ResumeRun(const std::string& token, const RunInfo& info) {
    if (!connection)
        throw JournalError(JournalError::Kind::WriteFailed, "the journal is not open");
    QSqlQuery find(connection->db);
    find.prepare(QStringLiteral("SELECT id FROM runs WHERE token = ?"));
    find.addBindValue(QString::fromStdString(token));
    Connection::Run(find);
    if (!find.next())
        return BeginRun(token, info);
    forwardRun = info.toStore;
    return find.value(0).toLongLong();
}

std::size_t SqliteJournalStore::RestoreRun(RunId run, std::span<const JournalOp> tail,
                                           std::span<const MarkTaken> taken) {
    if (!connection)
        throw JournalError(JournalError::Kind::WriteFailed, "the journal is not open");
    std::map<std::int64_t, const JournalLine*> latest;
    for (const JournalOp& op : tail) {
        if (const auto* append = std::get_if<AppendLine>(&op))
            latest[append->line.seq] = &append->line;
        else if (const auto* replace = std::get_if<ReplaceLine>(&op))
            latest[replace->line.seq] = &replace->line;
    }
    const auto isTaken = [&](std::int64_t seq) {
        for (const MarkTaken& mark : taken)
            for (const SeqRange& range : mark.ranges)
                if (seq >= range.first && seq <= range.last)
                    return true;
        return false;
    };
    Connection& c = *connection;
    std::size_t restored = 0;
    lastFile.clear(); // the rows of the replaced journal are gone
    c.InDurableTransaction([&] {
        QSqlQuery find(c.db);
        find.prepare("SELECT " + kCellColumns + " FROM lines WHERE run_id = ? AND seq = ?");
        for (const auto& [seq, line] : latest) {
            find.bindValue(0, qlonglong{run});
            find.bindValue(1, static_cast<qlonglong>(seq));
            Connection::Run(find);
            const bool same = find.next() && ReadCells(find, 0) == line->cells;
            find.finish();
            if (same)
                continue;
            // A line that a file took went to the record store with it, if at all.
            c.Upsert(run, *line, isTaken(seq) ? QVariant(0) : ForwardedValue(forwardRun));
            ++restored;
        }
        for (const MarkTaken& mark : taken)
            Mark(run, mark);
    });
    return restored;
}

std::vector<UnsavedRun>
SqliteJournalStore::ClaimUnsavedRuns(RunId claimant,
                                     const std::function<bool(const std::string&)>& isAlive) {
    Connection& c = *connection;
    std::vector<UnsavedRun> claimed;
    c.InDurableTransaction([&] {
        QSqlQuery runs(c.db);
        runs.prepare(QStringLiteral(
            "SELECT r.id, r.token, r.started_at, r.working_dir, r.program_version, c.token "
            "FROM runs r LEFT JOIN runs c ON c.id = r.recovered_by "
            "WHERE r.id <> ? AND EXISTS (SELECT 1 FROM lines l "
            "WHERE l.run_id = r.id AND l.taken_by IS NULL) ORDER BY r.id"));
        runs.addBindValue(qlonglong{claimant});
        Connection::Run(runs);
        std::vector<UnsavedRun> candidates;
        while (runs.next()) {
            const std::string token = runs.value(1).toString().toStdString();
            const std::string recoverer = runs.value(5).toString().toStdString();
            if (isAlive(token) || (!recoverer.empty() && isAlive(recoverer)))
                continue;
            UnsavedRun run;
            run.id = runs.value(0).toLongLong();
            run.info = {runs.value(2).toString().toStdString(),
                        runs.value(3).toString().toStdString(),
                        runs.value(4).toString().toStdString()};
            candidates.push_back(std::move(run));
        }
        runs.finish();

        QSqlQuery claim(c.db);
        claim.prepare(QStringLiteral("UPDATE runs SET recovered_by = ? WHERE id = ?"));
        QSqlQuery lines(c.db);
        lines.prepare("SELECT seq, grid_row, " + kCellColumns +
                      " FROM lines WHERE run_id = ? AND taken_by IS NULL ORDER BY seq");
        for (UnsavedRun& run : candidates) {
            claim.bindValue(0, qlonglong{claimant});
            claim.bindValue(1, qlonglong{run.id});
            Connection::Run(claim);
            lines.bindValue(0, qlonglong{run.id});
            Connection::Run(lines);
            while (lines.next()) {
                JournalLine line;
                line.seq = lines.value(0).toLongLong();
                line.gridRow = lines.value(1).toInt();
                line.cells = ReadCells(lines, 2);
                run.lines.push_back(std::move(line));
            }
            lines.finish();
            claimed.push_back(std::move(run));
        }
    });
    return claimed;
}

std::size_t SqliteJournalStore::MergeTail(const std::string& token, std::span<const JournalOp> tail,
                                          const RunInfo& orphan) {
    if (!connection)
        throw JournalError(JournalError::Kind::WriteFailed, "the journal is not open");
    Connection& c = *connection;
    std::size_t added = 0;
    c.InDurableTransaction([&] {
        QSqlQuery find(c.db);
        find.prepare(QStringLiteral("SELECT id FROM runs WHERE token = ?"));
        find.addBindValue(QString::fromStdString(token));
        Connection::Run(find);
        RunId run = 0;
        if (find.next()) {
            run = find.value(0).toLongLong();
        } else {
            // The tail outlived its journal (moved aside, replaced): its run
            // comes back with every line the tail holds.
            run = c.InsertRun(token, orphan);
        }
        find.finish();
        // The journal holds the operations up to some point of the tail, in
        // order: up to its last line, replaced or not.
        QSqlQuery last(c.db);
        last.prepare("SELECT seq, " + kCellColumns +
                     ", forwarded IS NOT 0 FROM lines WHERE run_id = ? "
                     "ORDER BY seq DESC LIMIT 1");
        last.addBindValue(qlonglong{run});
        Connection::Run(last);
        std::int64_t lastSeq = 0;
        Cells lastCells;
        bool forwards = false;
        if (last.next()) {
            lastSeq = last.value(0).toLongLong();
            lastCells = ReadCells(last, 1);
            forwards = last.value(static_cast<int>(lastCells.size()) + 1).toBool();
        }
        last.finish();
        const QVariant forwarded = ForwardedValue(forwards);
        for (const JournalOp& op : tail) {
            const JournalLine* line = nullptr;
            if (const auto* append = std::get_if<AppendLine>(&op);
                append && append->line.seq > lastSeq)
                line = &append->line;
            else if (const auto* replace = std::get_if<ReplaceLine>(&op);
                     replace && replace->line.seq >= lastSeq &&
                     !(replace->line.seq == lastSeq && replace->line.cells == lastCells))
                line = &replace->line;
            if (!line)
                continue;
            c.Upsert(run, *line, forwarded);
            ++added;
        }
    });
    return added;
}

void SqliteJournalStore::Write(RunId run, std::span<const JournalOp> ops, bool durable) {
    if (!connection)
        throw JournalError(JournalError::Kind::WriteFailed, "the journal is not open");
    Connection& c = *connection;
    const QVariant forwarded = ForwardedValue(forwardRun);
    try {
        if (durable)
            c.SetDurable(true);
        c.Exec(QStringLiteral("BEGIN IMMEDIATE"));
        for (const JournalOp& op : ops) {
            if (const auto* append = std::get_if<AppendLine>(&op)) {
                c.Upsert(run, append->line, forwarded);
            } else if (const auto* replace = std::get_if<ReplaceLine>(&op)) {
                c.Upsert(run, replace->line, forwarded); // a new row: taken by no file
            } else if (const auto* mark = std::get_if<MarkTaken>(&op)) {
                Mark(run, *mark);
            } else if (const auto* unit = std::get_if<UnitRow>(&op)) {
                WriteUnit(c.db, run, *unit, forwarded, &Connection::Fail);
            } else if (const auto* shot = std::get_if<UnitShot>(&op)) {
                WriteUnitShot(c.db, run, *shot, &Connection::Fail);
            } else if (std::holds_alternative<EndRun>(op)) {
                c.endRun.bindValue(0, QString::fromStdString(JournalNow()));
                c.endRun.bindValue(1, qlonglong{run});
                Connection::Run(c.endRun);
            }
        }
        if (durable) {
            c.synced.bindValue(0, QString::fromStdString(JournalNow()));
            c.synced.bindValue(1, qlonglong{run});
            Connection::Run(c.synced);
        }
        c.Exec(QStringLiteral("COMMIT"));
        if (durable)
            c.SetDurable(false);
    } catch (const JournalError&) {
        lastFile.clear(); // its row may have gone with the transaction
        c.Rollback();
        try {
            c.SetDurable(false);
        } catch (const JournalError&) {
        }
        throw;
    }
}

void SqliteJournalStore::Mark(RunId run, const MarkTaken& mark) {
    Connection& c = *connection;
    const QVariant file = FileRow(mark.file);
    for (const SeqRange& range : mark.ranges) {
        c.markRange.bindValue(0, file);
        c.markRange.bindValue(1, qlonglong{mark.run == kThisRun ? run : mark.run});
        c.markRange.bindValue(2, static_cast<qlonglong>(range.first));
        c.markRange.bindValue(3, static_cast<qlonglong>(range.last));
        Connection::Run(c.markRange);
    }
}

std::vector<CutUnit>
SqliteJournalStore::CloseCutUnits(RunId claimant,
                                  const std::function<bool(const std::string&)>& isAlive) {
    if (!connection)
        throw JournalError(JournalError::Kind::WriteFailed, "the journal is not open");
    Connection& c = *connection;
    std::vector<CutUnit> closed;
    c.InDurableTransaction([&] {
        for (const JournalUnit& unit :
             lrf::journal::CloseCutUnits(c.db, claimant, isAlive, &Connection::Fail))
            closed.push_back({unit.record.instrumentCode, verify::VerdictLine(unit.record.result)});
    });
    return closed;
}

void SqliteJournalStore::Sync(RunId run) {
    Write(run, {}, true);
}

QVariant SqliteJournalStore::FileRow(const std::string& file) {
    Connection& c = *connection;
    if (!lastFile.empty() && file == lastFile) {
        // When it is still there (retention, here or in another program,
        // removes rows that no line refers to), it takes the time of this
        // write, so that retention counts from the last one.
        QSqlQuery same(c.db);
        same.prepare(
            QStringLiteral("UPDATE csv_files SET written_at = ? WHERE id = ? AND path = ?"));
        same.addBindValue(QString::fromStdString(JournalNow()));
        same.addBindValue(lastFileId);
        same.addBindValue(QString::fromStdString(file));
        Connection::Run(same);
        if (same.numRowsAffected() == 1)
            return lastFileId;
    }
    c.insertFile.bindValue(0, QString::fromStdString(file));
    c.insertFile.bindValue(1, QString::fromStdString(JournalNow()));
    Connection::Run(c.insertFile);
    lastFile = file;
    lastFileId = c.insertFile.lastInsertId().toLongLong();
    return lastFileId;
}

JournalStore::Pruned SqliteJournalStore::Prune(int keepDays) {
    if (!connection)
        throw JournalError(JournalError::Kind::WriteFailed, "the journal is not open");
    Connection& c = *connection;
    Pruned pruned;
    c.InDurableTransaction([&] {
        // written_at carries its offset from UTC, which julianday() honours.
        QSqlQuery remove(c.db);
        remove.prepare(QStringLiteral(
            "DELETE FROM lines WHERE forwarded IS NOT NULL AND taken_by IN "
            "(SELECT id FROM csv_files WHERE julianday(written_at) <= julianday('now', ?)) "
            "AND seq < (SELECT max(l.seq) FROM lines l WHERE l.run_id = lines.run_id)"));
        remove.addBindValue(QStringLiteral("-%1 days").arg(keepDays));
        Connection::Run(remove);
        pruned.lines = remove.numRowsAffected();
        remove.finish();
        c.Exec(QStringLiteral("DELETE FROM csv_files WHERE id NOT IN "
                              "(SELECT taken_by FROM lines WHERE taken_by IS NOT NULL)"));
    });
    lastFile.clear();
    const auto pragma = [&](const QString& name) {
        QSqlQuery query(c.db);
        if (!query.exec(QStringLiteral("PRAGMA ") + name) || !query.next())
            Connection::Fail(query.lastError());
        return query.value(0).toLongLong();
    };
    const qint64 pages = pragma(QStringLiteral("page_count"));
    const qint64 free = pragma(QStringLiteral("freelist_count"));
    if (free * 2 > pages) {
        // Another program's open transaction makes it fail: it is tried again
        // at the next pass.
        QSqlQuery vacuum(c.db);
        if (vacuum.exec(QStringLiteral("VACUUM"))) {
            pruned.compacted = true;
            QSqlQuery(c.db).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        }
    }
    return pruned;
}

} // namespace lrf::journal
