#include "PgRecordStore.h"

#include "StoreRecord.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <span>

namespace lrf::journal {

namespace {

// Serialises the schema's creation and upgrades among stations.
constexpr qlonglong kSchemaLockKey = 0x4C5246314442; // "LRF1DB"

// Lines per INSERT statement: few round trips, statements of sane size.
constexpr std::size_t kRowsPerStatement = 100;

// Version 1: stations, their runs and the records.
const char* const kSchemaV1[] = {
    "CREATE TABLE stations ("
    " id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
    " journal_id text NOT NULL UNIQUE,"
    " host_name text NOT NULL,"
    " station_name text NOT NULL,"
    " program_version text NOT NULL,"
    " last_seen timestamptz NOT NULL DEFAULT now())",
    "CREATE TABLE runs ("
    " station_id bigint NOT NULL REFERENCES stations (id),"
    " run bigint NOT NULL,"
    " started_at timestamptz NOT NULL,"
    " ended_at timestamptz,"
    " working_dir text NOT NULL,"
    " program_version text NOT NULL,"
    " PRIMARY KEY (station_id, run))",
    "CREATE TABLE records ("
    " station_id bigint NOT NULL,"
    " run bigint NOT NULL,"
    " line bigint NOT NULL,"
    " sn integer,"
    " distance double precision,"
    " distance_unit text,"
    " speed double precision,"
    " speed_unit text,"
    " measured_at timestamptz,"
    " place text NOT NULL,"
    " destination text NOT NULL,"
    " model text NOT NULL,"
    " lrf_code text NOT NULL,"
    " rotation_half smallint NOT NULL,"
    " cell_sn text NOT NULL, cell_linear text NOT NULL, cell_unit text NOT NULL,"
    " cell_speed text NOT NULL, cell_speed_unit text NOT NULL, cell_place text NOT NULL,"
    " cell_destination text NOT NULL, cell_date_time text NOT NULL, cell_model text NOT NULL,"
    " cell_lrf_code text NOT NULL,"
    " forwarded_at timestamptz NOT NULL DEFAULT now(),"
    " PRIMARY KEY (station_id, run, line),"
    " FOREIGN KEY (station_id, run) REFERENCES runs (station_id, run))",
    "CREATE INDEX records_by_lrf_code ON records (lrf_code, measured_at)",
    "CREATE INDEX records_by_model ON records (model, measured_at)",
    "CREATE INDEX records_by_time ON records (measured_at)",
};

// Additions that leave the tables as they are, so that a station of an earlier
// version still writes to a store that has them: made if missing at every
// connection, under the same lock as the migrations.
//
// records_metric: every record with its station's name, its distance in metres
// and its speed in metres per second beside the values as recorded, and the
// kind of shot its frame was: 'distance' (a distance frame leaves the speed
// empty), 'speed' (the other way round), 'rotation' (a pair whose speed half
// completed the distance half), NULL when the frame carried no value.
const char* const kAdditions[] = {
    "CREATE INDEX IF NOT EXISTS records_by_station ON records (station_id, measured_at)",
    "CREATE OR REPLACE VIEW records_metric AS SELECT"
    " r.station_id, s.station_name, r.run, r.line, r.sn, r.measured_at,"
    " r.distance, r.distance_unit,"
    " r.distance * CASE r.distance_unit WHEN 'M' THEN 1.0 WHEN 'Y' THEN 0.9144"
    " WHEN 'Ft' THEN 0.3048 END AS distance_m,"
    " r.speed, r.speed_unit,"
    " r.speed * CASE r.speed_unit WHEN 'M/S' THEN 1.0 WHEN 'KPH' THEN 1.0 / 3.6"
    " WHEN 'MPH' THEN 0.44704 END AS speed_mps,"
    " CASE WHEN r.rotation_half = 2 THEN 'rotation'"
    " WHEN r.distance IS NOT NULL AND r.speed IS NULL THEN 'distance'"
    " WHEN r.speed IS NOT NULL AND r.distance IS NULL THEN 'speed' END AS shot_kind,"
    " r.place, r.destination, r.model, r.lrf_code, r.forwarded_at"
    " FROM records r JOIN stations s ON s.id = r.station_id",
    // unit_results: each unit checked against a test plan, with the plan's
    // limits, the statistics of its replies and its verdict; reasons is empty
    // for PASS. cut_short: its run ended before its verdict (a crash), which
    // makes it FAIL. A unit is keyed by the run that checked it.
    "CREATE TABLE IF NOT EXISTS unit_results ("
    " station_id bigint NOT NULL,"
    " run bigint NOT NULL,"
    " unit integer NOT NULL,"
    " station text NOT NULL,"
    " operator text NOT NULL,"
    " instrument_code text NOT NULL,"
    " model text NOT NULL,"
    " place text NOT NULL,"
    " plan_name text NOT NULL,"
    " plan_model text NOT NULL,"
    " quantity text NOT NULL,"
    " reference double precision NOT NULL,"
    " unit_name text NOT NULL,"
    " shots integer NOT NULL,"
    " tolerance double precision NOT NULL,"
    " tolerance_percent boolean NOT NULL,"
    " marginal double precision, marginal_percent boolean,"
    " mean_limit double precision, mean_limit_percent boolean,"
    " std_limit double precision, std_limit_percent boolean,"
    " max_no_value integer NOT NULL,"
    " replies integer NOT NULL,"
    " with_value integer NOT NULL,"
    " no_value integer NOT NULL,"
    " passed integer NOT NULL,"
    " marginal_shots integer NOT NULL,"
    " failed integer NOT NULL,"
    " mean_deviation double precision,"
    " std_deviation double precision,"
    " min_deviation double precision,"
    " max_deviation double precision,"
    " verdict text NOT NULL CHECK (verdict IN ('PASS', 'MARGINAL', 'FAIL')),"
    " reasons text[] NOT NULL,"
    " cut_short boolean NOT NULL,"
    " started_at timestamptz NOT NULL,"
    " ended_at timestamptz,"
    " forwarded_at timestamptz NOT NULL DEFAULT now(),"
    " PRIMARY KEY (station_id, run, unit),"
    " FOREIGN KEY (station_id, run) REFERENCES runs (station_id, run))",
    "CREATE INDEX IF NOT EXISTS unit_results_by_code ON unit_results (instrument_code, started_at)",
};

struct Migration {
    int toVersion;
    std::span<const char* const> statements;
};
// A later version appends its step here.
const Migration kMigrations[] = {
    {1, kSchemaV1},
};
static_assert(std::size(kMigrations) == PgRecordStore::kSchemaVersion);

const char* const kRecordColumns =
    "station_id, run, line, sn, distance, distance_unit, speed, speed_unit, measured_at, place, "
    "destination, model, lrf_code, rotation_half, cell_sn, cell_linear, cell_unit, cell_speed, "
    "cell_speed_unit, cell_place, cell_destination, cell_date_time, cell_model, cell_lrf_code";

const char* const kRecordUpdates =
    "sn = EXCLUDED.sn, distance = EXCLUDED.distance, distance_unit = EXCLUDED.distance_unit, "
    "speed = EXCLUDED.speed, speed_unit = EXCLUDED.speed_unit, "
    "measured_at = EXCLUDED.measured_at, place = EXCLUDED.place, "
    "destination = EXCLUDED.destination, model = EXCLUDED.model, lrf_code = EXCLUDED.lrf_code, "
    "rotation_half = EXCLUDED.rotation_half, cell_sn = EXCLUDED.cell_sn, "
    "cell_linear = EXCLUDED.cell_linear, cell_unit = EXCLUDED.cell_unit, "
    "cell_speed = EXCLUDED.cell_speed, cell_speed_unit = EXCLUDED.cell_speed_unit, "
    "cell_place = EXCLUDED.cell_place, cell_destination = EXCLUDED.cell_destination, "
    "cell_date_time = EXCLUDED.cell_date_time, cell_model = EXCLUDED.cell_model, "
    "cell_lrf_code = EXCLUDED.cell_lrf_code, forwarded_at = now()";

// The server's reason in one line: its first, without the blanks around it.
std::string Reason(const QSqlError& error) {
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    text = text.section(QLatin1Char('\n'), 0, 0).trimmed();
    return text.isEmpty() ? std::string("the server gave no reason") : text.toStdString();
}

// A text as the server takes it: PostgreSQL's text holds no NUL character,
// and one in a free text must not hold up every later line.
QString Text(const std::string& text) {
    return QString::fromStdString(text).remove(QChar(u'\0'));
}

QVariant NullableText(const std::string& text) {
    return text.empty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(Text(text));
}

QVariant NullableNumber(const std::optional<double>& value) {
    return value ? QVariant(*value) : QVariant(QMetaType::fromType<double>());
}

// The local time of the station with its offset from UTC, for timestamptz.
QVariant Moment(const std::optional<LocalDateTime>& t) {
    if (!t)
        return QVariant(QMetaType::fromType<QString>());
    const QDateTime at(QDate(t->year, t->month, t->day),
                       QTime(t->hour, t->minute, t->second, t->millisecond), Qt::LocalTime);
    if (!at.isValid())
        return QVariant(QMetaType::fromType<QString>());
    return at.toString(Qt::ISODateWithMs);
}

// A value in libpq's connection string: quoted, its quotes and backslashes escaped.
QString Quoted(const std::string& value) {
    QString text = Text(value);
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

// The driver's connect options: this program's defaults, then the address's
// own parameters, which take the place of a default of the same name.
QString ConnectOptions(const StoreTarget& target, const StoreLimits& limits) {
    const QString program = QCoreApplication::applicationName();
    std::vector<std::pair<std::string, std::string>> options{
        {"connect_timeout", std::to_string(limits.connectTimeout.count())},
        {"application_name", program.isEmpty() ? "lrfcontrol" : program.toStdString()},
        {"keepalives_idle", "10"},
        {"keepalives_interval", "5"},
        {"keepalives_count", "3"},
        {"client_encoding", "UTF8"},
    };
    for (const auto& parameter : target.parameters) {
        const auto same = std::find_if(options.begin(), options.end(),
                                       [&](const auto& o) { return o.first == parameter.first; });
        // The texts go as UTF-8 whatever the server's own encoding or the address says.
        if (parameter.first == "client_encoding")
            continue;
        if (same != options.end())
            same->second = parameter.second;
        else
            options.push_back(parameter);
    }
    QStringList texts;
    for (const auto& [key, value] : options)
        texts << QString::fromStdString(key) + QLatin1Char('=') + Quoted(value);
    return texts.join(QLatin1Char(';'));
}

QString ConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("lrf-store-%1").arg(counter.fetch_add(1));
}

const char* const kUnitColumns =
    "station_id, run, unit, station, operator, instrument_code, model, place, plan_name, "
    "plan_model, quantity, reference, unit_name, shots, tolerance, tolerance_percent, marginal, "
    "marginal_percent, mean_limit, mean_limit_percent, std_limit, std_limit_percent, "
    "max_no_value, replies, with_value, no_value, passed, marginal_shots, failed, "
    "mean_deviation, std_deviation, min_deviation, max_deviation, verdict, reasons, cut_short, "
    "started_at, ended_at";

QVariant LimitValue(const std::optional<verify::Limit>& limit) {
    return limit ? QVariant(limit->value) : QVariant(QMetaType::fromType<double>());
}

// A boolean as a literal the server reads as one, whatever the driver makes of a bool.
QVariant Boolean(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QVariant LimitPercent(const std::optional<verify::Limit>& limit) {
    return limit ? Boolean(limit->percent) : QVariant(QMetaType::fromType<QString>());
}

} // namespace

// Statements go as text with their values written in by the driver, not as
// prepared statements: nothing lives on the server between two statements,
// so a lost connection leaves nothing to free.
struct PgRecordStore::Connection {
    QSqlDatabase db;

    // SQLSTATE classes 22 (data exception) and 23 (integrity constraint
    // violation) concern the values sent, not the server.
    [[noreturn]] static void Fail(const QSqlError& error) {
        const QString state = error.nativeErrorCode();
        throw StoreError(Reason(error), state.startsWith(QLatin1String("22")) ||
                                            state.startsWith(QLatin1String("23")));
    }
    QSqlQuery Exec(const QString& sql) {
        QSqlQuery query(db);
        if (!query.exec(sql))
            Fail(query.lastError());
        return query;
    }
    // A value as SQL text: quoted and escaped, or NULL.
    QString Value(const QVariant& value) const {
        QSqlField field(QString(), value.metaType());
        field.setValue(value);
        return db.driver()->formatValue(field);
    }
    QString Row(std::initializer_list<QVariant> values) const {
        QString row = QStringLiteral("(");
        for (const QVariant& value : values) {
            if (row.size() > 1)
                row += QLatin1Char(',');
            row += Value(value);
        }
        return row + QLatin1Char(')');
    }
    void Rollback() { QSqlQuery(db).exec(QStringLiteral("ROLLBACK")); }
    // The rows of the runs that lines or units belong to; `onConflict` says
    // what becomes of a row already there.
    void InsertRuns(qlonglong stationId, const std::map<RunId, OutgoingRun>& runs,
                    QLatin1String onConflict) {
        for (const auto& [id, run] : runs)
            Exec(QStringLiteral("INSERT INTO runs (station_id, run, started_at, ended_at, "
                                "working_dir, program_version) VALUES %1 ON CONFLICT "
                                "(station_id, run) %2")
                     .arg(Row({stationId, qlonglong{id}, Text(run.startedAt),
                               NullableText(run.endedAt), Text(run.workingDirectory),
                               Text(run.programVersion)}),
                          onConflict));
    }
};

PgRecordStore::PgRecordStore(StoreTarget target, StoreLimits limits)
    : target(std::move(target))
    , limits(limits)
    , connectionName(ConnectionName()) {}

PgRecordStore::~PgRecordStore() {
    Disconnect();
}

void PgRecordStore::Disconnect() {
    if (!connection)
        return;
    connection->db.close();
    connection.reset();
    QSqlDatabase::removeDatabase(connectionName);
}

void PgRecordStore::Connect(const std::string& journalId, const StationInfo& station) {
    Disconnect();
    connection = std::make_unique<Connection>();
    try {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
        if (!db.isValid())
            throw StoreError("the PostgreSQL driver of Qt is not installed (libqt6sql6-psql)");
        if (!target.host.empty())
            db.setHostName(Text(target.host));
        if (target.port != 0)
            db.setPort(target.port);
        if (!target.user.empty())
            db.setUserName(Text(target.user));
        if (!target.database.empty())
            db.setDatabaseName(Text(target.database));
        // No password here: libpq reads PGPASSFILE or ~/.pgpass.
        db.setConnectOptions(ConnectOptions(target, limits));
        connection->db = db;
        if (!db.open())
            Connection::Fail(db.lastError());
        Connection& c = *connection;
        c.Exec(QStringLiteral("SET statement_timeout = %1").arg(limits.statementTimeout.count()));
        c.Exec(QStringLiteral("SET lock_timeout = %1").arg(limits.lockTimeout.count()));
        c.Exec(QStringLiteral("SET TIME ZONE 'UTC'"));
        Migrate();

        QSqlQuery registered = c.Exec(
            QStringLiteral("INSERT INTO stations (journal_id, host_name, station_name, "
                           "program_version) VALUES %1 ON CONFLICT (journal_id) DO UPDATE SET "
                           "host_name = EXCLUDED.host_name, station_name = EXCLUDED.station_name, "
                           "program_version = EXCLUDED.program_version, last_seen = now() "
                           "RETURNING id")
                .arg(c.Row({Text(journalId), Text(station.hostName), Text(station.stationName),
                            Text(station.programVersion)})));
        if (!registered.next())
            throw StoreError("the store did not register this station");
        stationId = registered.value(0).toLongLong();
    } catch (...) {
        Disconnect();
        throw;
    }
}

void PgRecordStore::Migrate() {
    Connection& c = *connection;
    c.Exec(QStringLiteral("BEGIN"));
    try {
        c.Exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLockKey));
        QSqlQuery exists =
            c.Exec(QStringLiteral("SELECT to_regclass('schema_version') IS NOT NULL"));
        int version = 0;
        if (exists.next() && exists.value(0).toBool()) {
            QSqlQuery current =
                c.Exec(QStringLiteral("SELECT coalesce(max(version), 0) FROM schema_version"));
            version = current.next() ? current.value(0).toInt() : 0;
        } else {
            c.Exec(QStringLiteral("CREATE TABLE schema_version (version integer NOT NULL, "
                                  "migrated_at timestamptz NOT NULL DEFAULT now())"));
        }
        if (version > kSchemaVersion)
            throw StoreError("the store's schema is version " + std::to_string(version) +
                             ", newer than this program's " + std::to_string(kSchemaVersion));
        for (const Migration& step : kMigrations) {
            if (step.toVersion <= version)
                continue;
            for (const char* sql : step.statements)
                c.Exec(QString::fromUtf8(sql));
            c.Exec(QStringLiteral("INSERT INTO schema_version (version) VALUES (%1)")
                       .arg(step.toVersion));
        }
        for (const char* sql : kAdditions)
            c.Exec(QString::fromUtf8(sql));
        c.Exec(QStringLiteral("COMMIT"));
    } catch (...) {
        c.Rollback();
        throw;
    }
}

void PgRecordStore::Push(const std::vector<OutgoingLine>& lines,
                         const std::map<RunId, OutgoingRun>& runs) {
    if (!connection)
        throw StoreError("not connected");
    Connection& c = *connection;
    c.Exec(QStringLiteral("BEGIN"));
    try {
        c.InsertRuns(stationId, runs, QLatin1String("DO UPDATE SET ended_at = EXCLUDED.ended_at"));
        for (std::size_t first = 0; first < lines.size(); first += kRowsPerStatement) {
            const std::size_t end = std::min(lines.size(), first + kRowsPerStatement);
            QString sql = QStringLiteral("INSERT INTO records (%1) VALUES ").arg(kRecordColumns);
            for (std::size_t i = first; i < end; ++i) {
                const OutgoingLine& line = lines[i];
                const StoreRecord record = ReadStoreRecord(line.cells);
                if (i > first)
                    sql += QLatin1Char(',');
                sql +=
                    c.Row({stationId, qlonglong{line.run}, static_cast<qlonglong>(line.seq),
                           record.sn ? QVariant(*record.sn) : QVariant(QMetaType::fromType<int>()),
                           NullableNumber(record.distance), NullableText(record.distanceUnit),
                           NullableNumber(record.speed), NullableText(record.speedUnit),
                           Moment(record.measuredAt), Text(record.place), Text(record.destination),
                           Text(record.model), Text(record.lrfCode), line.revision > 0 ? 2 : 1});
                // The ten cell texts close the row.
                sql.chop(1);
                for (const std::string& cell : line.cells)
                    sql += QLatin1Char(',') + c.Value(Text(cell));
                sql += QLatin1Char(')');
            }
            sql += QStringLiteral(" ON CONFLICT (station_id, run, line) DO UPDATE SET ");
            sql += QLatin1String(kRecordUpdates);
            c.Exec(sql);
        }
        c.Exec(QStringLiteral("COMMIT"));
    } catch (...) {
        c.Rollback();
        throw;
    }
}

void PgRecordStore::PushUnits(const std::vector<JournalUnit>& units,
                              const std::map<RunId, OutgoingRun>& runs) {
    if (!connection)
        throw StoreError("not connected");
    Connection& c = *connection;
    c.Exec(QStringLiteral("BEGIN"));
    try {
        // The run of a unit is in the store once a line of it is; one whose
        // lines all went before this version forwarded units gets its row here.
        c.InsertRuns(stationId, runs, QLatin1String("DO NOTHING"));
        for (const JournalUnit& u : units) {
            const verify::UnitRecord& r = u.record;
            const verify::TestPlan& p = r.plan;
            const verify::UnitStatistics& s = r.result.statistics;
            const bool values = s.values > 0;
            const auto deviation = [&](double value) {
                return values ? QVariant(value) : QVariant(QMetaType::fromType<double>());
            };
            QString row =
                c.Row({stationId,
                       qlonglong{u.run},
                       static_cast<qlonglong>(u.unit),
                       Text(r.station),
                       Text(r.operatorName),
                       Text(r.instrumentCode),
                       Text(r.model),
                       Text(r.place),
                       Text(p.name),
                       Text(p.model),
                       QString(p.quantity == verify::Quantity::Speed ? "speed" : "distance"),
                       p.reference,
                       Text(std::string(verify::PlanUnitName(p.unit))),
                       p.shots,
                       p.tolerance.value,
                       Boolean(p.tolerance.percent),
                       LimitValue(p.marginal),
                       LimitPercent(p.marginal),
                       LimitValue(p.meanDeviation),
                       LimitPercent(p.meanDeviation),
                       LimitValue(p.stdDev),
                       LimitPercent(p.stdDev),
                       p.maxNoValue,
                       s.replies,
                       s.values,
                       s.noValue,
                       s.pass,
                       s.marginal,
                       s.fail,
                       deviation(s.meanDeviation),
                       deviation(s.stdDev),
                       deviation(s.minDeviation),
                       deviation(s.maxDeviation),
                       Text(std::string(verify::VerdictText(r.result.verdict)))});
            QStringList reasons;
            for (const std::string& reason : r.result.reasons)
                reasons << c.Value(Text(reason));
            row.chop(1);
            row += QStringLiteral(",ARRAY[%1]::text[],%2,%3,%4)")
                       .arg(reasons.join(QLatin1Char(',')), c.Value(Boolean(u.cutShort)),
                            c.Value(Text(u.startedAt)), c.Value(NullableText(u.endedAt)));
            QString updates;
            for (const QString& column : QString(kUnitColumns).split(QStringLiteral(", ")).mid(3))
                updates += column + QStringLiteral(" = EXCLUDED.") + column + QStringLiteral(", ");
            c.Exec(QStringLiteral("INSERT INTO unit_results (%1) VALUES %2 ON CONFLICT "
                                  "(station_id, run, unit) DO UPDATE SET %3forwarded_at = now()")
                       .arg(QLatin1String(kUnitColumns), row, updates));
        }
        c.Exec(QStringLiteral("COMMIT"));
    } catch (...) {
        c.Rollback();
        throw;
    }
}

} // namespace lrf::journal
