#include "JournalOutbox.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace lrf::journal {

namespace {

constexpr int kFirstForwardingVersion = 2;

[[noreturn]] void Fail(JournalError::Kind kind, const QSqlError& error) {
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    throw JournalError(kind, text.toStdString());
}

[[noreturn]] void FailRead(const QSqlError& error) {
    Fail(JournalError::Kind::Unavailable, error);
}

[[noreturn]] void FailWrite(const QSqlError& error) {
    Fail(JournalError::Kind::WriteFailed, error);
}

constexpr int kFirstUnitsVersion = 3;

void Run(QSqlQuery& query, JournalError::Kind kind = JournalError::Kind::Unavailable) {
    if (!query.exec())
        Fail(kind, query.lastError());
}

} // namespace

struct JournalOutbox::Connection {
    QSqlDatabase db;
    QSqlQuery waiting{db};
    QSqlQuery count{db};
    QSqlQuery run{db};
    QSqlQuery mark{db};
};

JournalOutbox::JournalOutbox(QString journalPath)
    : path(std::move(journalPath)) {
    static std::atomic<int> counter{0};
    connectionName = QStringLiteral("lrf-outbox-%1").arg(counter.fetch_add(1));
}

JournalOutbox::~JournalOutbox() {
    Close();
}

JournalOutbox::FileIdentity JournalOutbox::IdentityOf(const QString& path) {
#ifdef _WIN32
    // An open journal cannot be renamed there: it stays where it was opened.
    (void)path;
    return {};
#else
    struct stat info {};
    if (stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino), true};
#endif
}

bool JournalOutbox::IsStillAtPath() const {
    return !opened.known || IdentityOf(path) == opened;
}

void JournalOutbox::Open() {
    Close();
    // Never made here: between a move aside and the new journal, there is none.
    if (!QFile::exists(path))
        throw JournalError(JournalError::Kind::Unavailable, "there is no journal file");
    opened = IdentityOf(path);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        db.setDatabaseName(path);
        // The writer commits all the time: wait for its commits, never fail on them.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        connection = std::make_unique<Connection>();
        connection->db = db;
    }
    Connection& c = *connection;
    try {
        if (!c.db.open())
            Fail(JournalError::Kind::Unavailable, c.db.lastError());
        QSqlQuery query(c.db);
        if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
            Fail(JournalError::Kind::Unavailable, query.lastError());
        if (query.value(0).toInt() < kFirstForwardingVersion)
            throw JournalError(JournalError::Kind::Unavailable,
                               "the journal keeps no marks of forwarded lines");
        keepsUnits = query.value(0).toInt() >= kFirstUnitsVersion;
        if (!query.exec(QStringLiteral("SELECT value FROM journal_info WHERE key = 'id'")) ||
            !query.next())
            Fail(JournalError::Kind::Unavailable, query.lastError());
        journalId = query.value(0).toString().toStdString();
        query.finish();
        // Lines the store refused: forwarded -1 in lines, the reason here.
        if (!query.exec(QStringLiteral(
                "CREATE TABLE IF NOT EXISTS refused_lines (run_id INTEGER NOT NULL, "
                "seq INTEGER NOT NULL, revision INTEGER NOT NULL, reason TEXT NOT NULL, "
                "refused_at TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ')), "
                "PRIMARY KEY (run_id, seq, revision)) WITHOUT ROWID")))
            Fail(JournalError::Kind::Unavailable, query.lastError());
        // A forwarded mark lost with the power only sends its lines again,
        // which the store takes without a duplicate: no sync of its own.
        if (!query.exec(QStringLiteral("PRAGMA synchronous = NORMAL")))
            Fail(JournalError::Kind::Unavailable, query.lastError());
        const auto prepare = [&](QSqlQuery& q, const QString& sql) {
            q = QSqlQuery(c.db);
            if (!q.prepare(sql))
                Fail(JournalError::Kind::Unavailable, q.lastError());
        };
        prepare(c.waiting,
                QStringLiteral("SELECT run_id, seq, revision, sn, linear, unit, speed, speed_unit, "
                               "place, destination, date_time, model, lrf_code FROM lines "
                               "WHERE forwarded IS NULL ORDER BY run_id, seq LIMIT ?"));
        prepare(c.count, QStringLiteral("SELECT count(*) FROM lines WHERE forwarded IS NULL"));
        prepare(c.run, QStringLiteral("SELECT started_at, ended_at, working_dir, program_version "
                                      "FROM runs WHERE id = ?"));
        prepare(c.mark, QStringLiteral("UPDATE lines SET forwarded = 1 WHERE run_id = ? AND "
                                       "seq = ? AND revision = ? AND forwarded IS NULL"));
    } catch (...) {
        Close();
        throw;
    }
}

void JournalOutbox::Close() {
    if (!connection)
        return;
    connection->db.close();
    connection.reset();
    QSqlDatabase::removeDatabase(connectionName);
}

std::vector<OutgoingLine> JournalOutbox::Waiting(std::size_t limit) {
    QSqlQuery& q = connection->waiting;
    q.bindValue(0, static_cast<qlonglong>(limit));
    Run(q);
    std::vector<OutgoingLine> lines;
    while (q.next()) {
        OutgoingLine line;
        line.run = q.value(0).toLongLong();
        line.seq = q.value(1).toLongLong();
        line.revision = q.value(2).toLongLong();
        for (std::size_t i = 0; i < line.cells.size(); ++i)
            line.cells[i] = q.value(static_cast<int>(i) + 3).toString().toStdString();
        lines.push_back(std::move(line));
    }
    q.finish(); // ends the read, so that the writer's checkpoints are not held up
    return lines;
}

std::int64_t JournalOutbox::WaitingCount() {
    QSqlQuery& q = connection->count;
    Run(q);
    const std::int64_t count = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    return count;
}

std::map<RunId, OutgoingRun> JournalOutbox::Runs(const std::set<RunId>& ids) {
    std::map<RunId, OutgoingRun> runs;
    QSqlQuery& q = connection->run;
    for (const RunId id : ids) {
        q.bindValue(0, qlonglong{id});
        Run(q);
        OutgoingRun run;
        if (q.next())
            run = {q.value(0).toString().toStdString(), q.value(1).toString().toStdString(),
                   q.value(2).toString().toStdString(), q.value(3).toString().toStdString()};
        q.finish();
        runs.emplace(id, std::move(run));
    }
    return runs;
}

void JournalOutbox::MarkRefused(const OutgoingLine& line, const std::string& reason) {
    Connection& c = *connection;
    QSqlQuery begin(c.db);
    if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
        Fail(JournalError::Kind::WriteFailed, begin.lastError());
    try {
        QSqlQuery refuse(c.db);
        refuse.prepare(QStringLiteral("UPDATE lines SET forwarded = -1 WHERE run_id = ? AND "
                                      "seq = ? AND revision = ? AND forwarded IS NULL"));
        refuse.addBindValue(qlonglong{line.run});
        refuse.addBindValue(static_cast<qlonglong>(line.seq));
        refuse.addBindValue(static_cast<qlonglong>(line.revision));
        Run(refuse, JournalError::Kind::WriteFailed);
        QSqlQuery why(c.db);
        why.prepare(QStringLiteral("INSERT OR REPLACE INTO refused_lines (run_id, seq, revision, "
                                   "reason) VALUES (?, ?, ?, ?)"));
        why.addBindValue(qlonglong{line.run});
        why.addBindValue(static_cast<qlonglong>(line.seq));
        why.addBindValue(static_cast<qlonglong>(line.revision));
        why.addBindValue(QString::fromStdString(reason));
        Run(why, JournalError::Kind::WriteFailed);
        QSqlQuery commit(c.db);
        if (!commit.exec(QStringLiteral("COMMIT")))
            Fail(JournalError::Kind::WriteFailed, commit.lastError());
    } catch (...) {
        QSqlQuery(c.db).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

std::int64_t JournalOutbox::RefusedCount() {
    QSqlQuery q(connection->db);
    if (!q.exec(QStringLiteral("SELECT count(*) FROM refused_lines")) || !q.next())
        Fail(JournalError::Kind::Unavailable, q.lastError());
    return q.value(0).toLongLong();
}

std::string JournalOutbox::LastRefusal() {
    QSqlQuery q(connection->db);
    if (!q.exec(QStringLiteral("SELECT reason FROM refused_lines ORDER BY refused_at DESC "
                               "LIMIT 1")))
        Fail(JournalError::Kind::Unavailable, q.lastError());
    return q.next() ? q.value(0).toString().toStdString() : std::string();
}

std::vector<JournalUnit> JournalOutbox::WaitingUnits(std::size_t limit) {
    if (!keepsUnits)
        return {};
    return lrf::journal::WaitingUnits(connection->db, limit, &FailRead);
}

void JournalOutbox::MarkUnits(const std::vector<JournalUnit>& units, bool refused) {
    Connection& c = *connection;
    QSqlQuery begin(c.db);
    if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
        FailWrite(begin.lastError());
    try {
        MarkUnitsForwarded(c.db, units, refused ? -1 : 1, &FailWrite);
        QSqlQuery commit(c.db);
        if (!commit.exec(QStringLiteral("COMMIT")))
            FailWrite(commit.lastError());
    } catch (...) {
        QSqlQuery(c.db).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

void JournalOutbox::MarkForwarded(const std::vector<OutgoingLine>& lines) {
    Connection& c = *connection;
    QSqlQuery begin(c.db);
    if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
        Fail(JournalError::Kind::WriteFailed, begin.lastError());
    try {
        for (const OutgoingLine& line : lines) {
            c.mark.bindValue(0, qlonglong{line.run});
            c.mark.bindValue(1, static_cast<qlonglong>(line.seq));
            c.mark.bindValue(2, static_cast<qlonglong>(line.revision));
            Run(c.mark, JournalError::Kind::WriteFailed);
        }
        QSqlQuery commit(c.db);
        if (!commit.exec(QStringLiteral("COMMIT")))
            Fail(JournalError::Kind::WriteFailed, commit.lastError());
    } catch (...) {
        QSqlQuery(c.db).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

} // namespace lrf::journal
