#include "JournalSalvage.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>
#include <map>
#include <optional>

namespace lrf::journal {

namespace {

constexpr qint64 kWalHeader = 32;
constexpr qint64 kFrameHeader = 24;

std::uint32_t BigEndian32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 |
           std::uint32_t{b[3]};
}

// Copies the journal's file and lays the committed pages of its write-ahead log
// over it, as SQLite would see the database. False when nothing usable results.
bool BuildImage(const QString& path, const QString& image) {
    QFile::remove(image);
    QFile out(image);
    if (!out.open(QIODevice::ReadWrite | QIODevice::Truncate))
        return false;
    {
        QFile in(path);
        if (in.open(QIODevice::ReadOnly)) {
            while (!in.atEnd()) {
                const QByteArray chunk = in.read(1 << 20);
                if (chunk.isEmpty() || out.write(chunk) != chunk.size())
                    break;
            }
        }
    }
    QFile wal(path + QStringLiteral("-wal"));
    if (wal.open(QIODevice::ReadOnly) && wal.size() > kWalHeader) {
        const QByteArray header = wal.read(kWalHeader);
        const std::uint32_t magic = BigEndian32(header.constData());
        const qint64 pageSize = BigEndian32(header.constData() + 8);
        const bool valid = (magic == 0x377f0682 || magic == 0x377f0683) && pageSize >= 512 &&
                           pageSize <= 65536 && (pageSize & (pageSize - 1)) == 0;
        // Frames of this log carry its salts; frames past the last commit are
        // of a transaction that never ended and do not count.
        std::map<std::uint32_t, qint64> pending, committed;
        qint64 databasePages = -1;
        for (qint64 at = kWalHeader; valid && at + kFrameHeader + pageSize <= wal.size();
             at += kFrameHeader + pageSize) {
            wal.seek(at);
            const QByteArray frame = wal.read(kFrameHeader);
            if (frame.size() != kFrameHeader || frame.mid(8, 8) != header.mid(16, 8))
                break;
            const std::uint32_t page = BigEndian32(frame.constData());
            pending[page] = at + kFrameHeader;
            if (const std::uint32_t pages = BigEndian32(frame.constData() + 4); pages != 0) {
                for (const auto& [number, offset] : pending)
                    committed[number] = offset;
                pending.clear();
                databasePages = pages;
            }
        }
        for (const auto& [page, offset] : committed) {
            if (page == 0)
                continue;
            wal.seek(offset);
            const QByteArray bytes = wal.read(pageSize);
            out.seek((page - 1) * pageSize);
            out.write(bytes);
        }
        if (databasePages > 0)
            out.resize(databasePages * pageSize);
    }
    if (out.size() < 100)
        return false;
    // The copy is read as a database without a log of its own.
    out.seek(18);
    out.write("\x01\x01", 2);
    return out.flush();
}

QString ConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("lrf-salvage-%1").arg(counter.fetch_add(1));
}

class Reader {
public:
    explicit Reader(QSqlDatabase db)
        : db(std::move(db)) {}

    void ReadRuns(Salvage& salvage) {
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT id, token, started_at, ended_at, working_dir, "
                                       "program_version FROM runs ORDER BY id"))) {
            salvage.incomplete = true;
            return;
        }
        while (query.next()) {
            SalvagedRun run;
            run.token = query.value(1).toString().toStdString();
            run.info = {query.value(2).toString().toStdString(),
                        query.value(4).toString().toStdString(),
                        query.value(5).toString().toStdString()};
            run.endedAt = query.value(3).toString().toStdString();
            runs.emplace(query.value(0).toLongLong(), std::move(run));
        }
        if (query.lastError().isValid())
            salvage.incomplete = true;
    }

    // The lines in key order, in batches; a batch that meets damage is read
    // again line by line, and a line that cannot be read is stepped over with
    // growing strides until the reading goes on. Bounded, whatever the damage.
    void ReadLines(Salvage& salvage, bool forwards) {
        const QString sql =
            QStringLiteral("SELECT run_id, seq, grid_row, sn, linear, unit, speed, "
                           "speed_unit, place, destination, date_time, model, lrf_code, "
                           "taken_by IS NOT NULL, %1 FROM lines "
                           "WHERE (run_id, seq) > (?, ?) ORDER BY run_id, seq LIMIT ?")
                .arg(forwards ? "forwarded IS NULL" : "0");
        QSqlQuery query(db);
        if (!query.prepare(sql)) {
            salvage.incomplete = true;
            return;
        }
        RunId run = 0;
        std::int64_t seq = 0;
        int batch = 256;
        std::int64_t stride = 1;
        for (int failures = 0; failures < 4000;) {
            query.bindValue(0, qlonglong{run});
            query.bindValue(1, qlonglong{seq});
            query.bindValue(2, batch);
            std::vector<std::pair<RunId, std::int64_t>> keys;
            bool failed = !query.exec();
            while (!failed && query.next()) {
                keys.emplace_back(query.value(0).toLongLong(), query.value(1).toLongLong());
                Take(query);
            }
            failed = failed || query.lastError().isValid();
            query.finish();
            if (!keys.empty()) {
                std::tie(run, seq) = keys.back();
                if (!failed) {
                    stride = 1;
                    batch = std::min(batch * 2, 256);
                }
            }
            if (!failed) {
                if (keys.empty())
                    break;
                continue;
            }
            salvage.incomplete = true;
            ++failures;
            if (batch > 1) {
                batch = 1;
                continue;
            }
            // Past the damaged part of this run, or on to the next run.
            if (stride > (std::int64_t{1} << 24)) {
                ++run;
                seq = 0;
                stride = 1;
                if (run > LastRunId() + 64)
                    break;
            } else {
                seq += stride;
                stride *= 2;
            }
        }
        for (auto& [id, found] : runs) {
            if (found.lines.empty())
                continue;
            salvage.lines += found.lines.size();
            salvage.runs.push_back(std::move(found));
        }
    }

private:
    void Take(const QSqlQuery& query) {
        if (query.value(13).toBool())
            return; // a file holds it
        SalvagedRun& run = runs[query.value(0).toLongLong()];
        JournalLine line;
        line.seq = query.value(1).toLongLong();
        line.gridRow = query.value(2).toInt();
        for (std::size_t i = 0; i < line.cells.size(); ++i)
            line.cells[i] = query.value(3 + static_cast<int>(i)).toString().toStdString();
        run.lines.push_back(std::move(line));
        run.waiting.push_back(query.value(14).toBool());
    }
    RunId LastRunId() const { return runs.empty() ? 0 : runs.rbegin()->first; }

    QSqlDatabase db;
    std::map<RunId, SalvagedRun> runs;
};

} // namespace

Salvage SalvageJournal(const QString& path) {
    Salvage salvage;
    const QString image = path + QStringLiteral(".salvage");
    if (!BuildImage(path, image)) {
        QFile::remove(image);
        salvage.incomplete = true;
        return salvage;
    }
    const QString name = ConnectionName();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(image);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery version(db);
            const bool forwards = version.exec(QStringLiteral("PRAGMA user_version")) &&
                                  version.next() && version.value(0).toInt() >= 2;
            version.finish();
            Reader reader(db);
            reader.ReadRuns(salvage);
            reader.ReadLines(salvage, forwards);
            db.close();
        } else {
            salvage.incomplete = true;
        }
    }
    QSqlDatabase::removeDatabase(name);
    QFile::remove(image);
    return salvage;
}

} // namespace lrf::journal
