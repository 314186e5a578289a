#include "UnitRows.h"

#include "JournalTime.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QStringList>

#include <map>

namespace lrf::journal {

namespace {

using Clock = std::chrono::system_clock;

const char* const kSchemaV3[] = {
    // verdict is NULL while the unit's run goes on; reasons one a line.
    "CREATE TABLE unit_results ("
    " run_id INTEGER NOT NULL REFERENCES runs(id),"
    " unit INTEGER NOT NULL,"
    " station TEXT NOT NULL, operator TEXT NOT NULL, instrument_code TEXT NOT NULL,"
    " model TEXT NOT NULL, place TEXT NOT NULL,"
    " plan_name TEXT NOT NULL, plan_model TEXT NOT NULL, quantity TEXT NOT NULL,"
    " reference REAL NOT NULL, unit_name TEXT NOT NULL, shots INTEGER NOT NULL,"
    " tolerance REAL NOT NULL, tolerance_percent INTEGER NOT NULL,"
    " marginal REAL, marginal_percent INTEGER,"
    " mean_limit REAL, mean_limit_percent INTEGER,"
    " std_limit REAL, std_limit_percent INTEGER,"
    " max_no_value INTEGER NOT NULL,"
    " replies INTEGER, with_value INTEGER, no_value INTEGER,"
    " passed INTEGER, marginal_shots INTEGER, failed INTEGER,"
    " mean_deviation REAL, std_deviation REAL, min_deviation REAL, max_deviation REAL,"
    " verdict TEXT, reasons TEXT NOT NULL DEFAULT '',"
    " cut_short INTEGER NOT NULL DEFAULT 0,"
    " started_at TEXT NOT NULL, ended_at TEXT,"
    " forwarded INTEGER DEFAULT 0,"
    " PRIMARY KEY (run_id, unit)) WITHOUT ROWID",
    "CREATE TABLE unit_shots ("
    " run_id INTEGER NOT NULL, unit INTEGER NOT NULL, shot INTEGER NOT NULL,"
    " value REAL, deviation REAL, verdict TEXT NOT NULL,"
    " PRIMARY KEY (run_id, unit, shot)) WITHOUT ROWID",
    "CREATE INDEX unit_results_open ON unit_results(run_id) WHERE verdict IS NULL",
    "CREATE INDEX unit_results_unforwarded ON unit_results(run_id, unit) "
    "WHERE forwarded IS NULL AND verdict IS NOT NULL",
};

const QString kColumns = QStringLiteral(
    "run_id, unit, station, operator, instrument_code, model, place, plan_name, plan_model, "
    "quantity, reference, unit_name, shots, tolerance, tolerance_percent, marginal, "
    "marginal_percent, mean_limit, mean_limit_percent, std_limit, std_limit_percent, "
    "max_no_value, replies, with_value, no_value, passed, marginal_shots, failed, "
    "mean_deviation, std_deviation, min_deviation, max_deviation, verdict, reasons, cut_short, "
    "started_at, ended_at, forwarded");
constexpr int kColumnCount = 38;

QString Text(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Utf8(const QVariant& value) {
    return value.toString().toUtf8().toStdString();
}

QVariant Null() {
    return QVariant(QMetaType::fromType<double>());
}

std::string TimeText(Clock::time_point at) {
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count());
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs).toStdString();
}

Clock::time_point TimeOf(const std::string& text) {
    const QDateTime at = QDateTime::fromString(Text(text), Qt::ISODateWithMs);
    return at.isValid() ? Clock::time_point(std::chrono::milliseconds(at.toMSecsSinceEpoch()))
                        : Clock::time_point{};
}

void Exec(QSqlQuery& query, SqlFailure fail) {
    if (!query.exec())
        fail(query.lastError());
}

void AddLimit(QSqlQuery& q, const std::optional<verify::Limit>& limit) {
    q.addBindValue(limit ? QVariant(limit->value) : Null());
    q.addBindValue(limit ? QVariant(limit->percent ? 1 : 0) : QVariant(QMetaType::fromType<int>()));
}

std::optional<verify::Limit> ReadLimit(const QSqlQuery& q, int at) {
    if (q.value(at).isNull())
        return std::nullopt;
    return verify::Limit{q.value(at).toDouble(), q.value(at + 1).toInt() != 0};
}

UnitCode UnitNamed(const std::string& name) {
    for (int code = unitMetre; code <= unitMetrePerSecond; ++code)
        if (verify::PlanUnitName(static_cast<UnitCode>(code)) == name)
            return static_cast<UnitCode>(code);
    return unitMetre;
}

verify::Verdict VerdictNamed(const std::string& text) {
    for (const verify::Verdict v : {verify::Verdict::Pass, verify::Verdict::Marginal,
                                    verify::Verdict::Fail, verify::Verdict::NoValue})
        if (verify::VerdictText(v) == text)
            return v;
    return verify::Verdict::Fail;
}

std::optional<double> Number(const QVariant& value) {
    return value.isNull() ? std::nullopt : std::optional<double>(value.toDouble());
}

// A row of kColumns, without its shots.
JournalUnit ReadUnit(const QSqlQuery& q) {
    JournalUnit u;
    u.run = q.value(0).toLongLong();
    u.unit = q.value(1).toLongLong();
    verify::UnitRecord& r = u.record;
    r.station = Utf8(q.value(2));
    r.operatorName = Utf8(q.value(3));
    r.instrumentCode = Utf8(q.value(4));
    r.model = Utf8(q.value(5));
    r.place = Utf8(q.value(6));
    verify::TestPlan& p = r.plan;
    p.name = Utf8(q.value(7));
    p.model = Utf8(q.value(8));
    p.quantity = Utf8(q.value(9)) == "speed" ? verify::Quantity::Speed : verify::Quantity::Distance;
    p.reference = q.value(10).toDouble();
    p.unit = UnitNamed(Utf8(q.value(11)));
    p.shots = q.value(12).toInt();
    p.tolerance = *ReadLimit(q, 13);
    p.marginal = ReadLimit(q, 15);
    p.meanDeviation = ReadLimit(q, 17);
    p.stdDev = ReadLimit(q, 19);
    p.maxNoValue = q.value(21).toInt();
    verify::UnitStatistics& s = r.result.statistics;
    s.replies = q.value(22).toInt();
    s.values = q.value(23).toInt();
    s.noValue = q.value(24).toInt();
    s.pass = q.value(25).toInt();
    s.marginal = q.value(26).toInt();
    s.fail = q.value(27).toInt();
    s.meanDeviation = q.value(28).toDouble();
    s.stdDev = q.value(29).toDouble();
    s.minDeviation = q.value(30).toDouble();
    s.maxDeviation = q.value(31).toDouble();
    r.result.verdict = VerdictNamed(Utf8(q.value(32)));
    const QString reasons = q.value(33).toString();
    if (!reasons.isEmpty())
        for (const QString& reason : reasons.split(QLatin1Char('\n')))
            r.result.reasons.push_back(reason.toUtf8().toStdString());
    u.cutShort = q.value(34).toInt() != 0;
    u.startedAt = Utf8(q.value(35));
    u.endedAt = Utf8(q.value(36));
    r.start = TimeOf(u.startedAt);
    r.end = TimeOf(u.endedAt);
    return u;
}

std::vector<verify::ShotResult> ReadShots(const QSqlDatabase& db, const JournalUnit& u,
                                          SqlFailure fail) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT value, deviation, verdict FROM unit_shots WHERE run_id = ? "
                             "AND unit = ? ORDER BY shot"));
    q.addBindValue(qlonglong{u.run});
    q.addBindValue(qlonglong{u.unit});
    Exec(q, fail);
    std::vector<verify::ShotResult> shots;
    while (q.next())
        shots.push_back({Number(q.value(0)), Number(q.value(1)), VerdictNamed(Utf8(q.value(2)))});
    return shots;
}

void Write(const QSqlDatabase& db, RunId run, std::int64_t unit, const verify::UnitRecord& r,
           bool finished, bool cutShort, const std::string& startedAt, const std::string& endedAt,
           const QVariant& forwarded, SqlFailure fail) {
    QSqlQuery q(db);
    QString marks = QStringLiteral("?");
    for (int i = 1; i < kColumnCount; ++i)
        marks += QStringLiteral(",?");
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO unit_results (%1) VALUES (%2)")
                  .arg(kColumns, marks));
    const verify::TestPlan& p = r.plan;
    const verify::UnitStatistics& s = r.result.statistics;
    const auto stat = [&](auto value) { return finished ? QVariant(value) : Null(); };
    q.addBindValue(qlonglong{run});
    q.addBindValue(qlonglong{unit});
    for (const std::string* text :
         {&r.station, &r.operatorName, &r.instrumentCode, &r.model, &r.place, &p.name, &p.model})
        q.addBindValue(Text(*text));
    q.addBindValue(p.quantity == verify::Quantity::Speed ? QStringLiteral("speed")
                                                         : QStringLiteral("distance"));
    q.addBindValue(p.reference);
    q.addBindValue(Text(std::string(verify::PlanUnitName(p.unit))));
    q.addBindValue(p.shots);
    AddLimit(q, p.tolerance);
    AddLimit(q, p.marginal);
    AddLimit(q, p.meanDeviation);
    AddLimit(q, p.stdDev);
    q.addBindValue(p.maxNoValue);
    for (const int count : {s.replies, s.values, s.noValue, s.pass, s.marginal, s.fail})
        q.addBindValue(stat(count));
    for (const double value : {s.meanDeviation, s.stdDev, s.minDeviation, s.maxDeviation})
        q.addBindValue(stat(value));
    q.addBindValue(finished ? QVariant(Text(std::string(verify::VerdictText(r.result.verdict))))
                            : QVariant(QMetaType::fromType<QString>()));
    QStringList reasons;
    for (const std::string& reason : r.result.reasons)
        reasons << Text(reason);
    q.addBindValue(finished ? reasons.join(QLatin1Char('\n')) : QString(""));
    q.addBindValue(cutShort ? 1 : 0);
    q.addBindValue(Text(startedAt));
    q.addBindValue(endedAt.empty() ? QVariant(QMetaType::fromType<QString>())
                                   : QVariant(Text(endedAt)));
    q.addBindValue(forwarded);
    Exec(q, fail);
}

} // namespace

std::span<const char* const> UnitSchema() {
    return kSchemaV3;
}

void WriteUnit(const QSqlDatabase& db, RunId run, const UnitRow& row, const QVariant& forwarded,
               SqlFailure fail) {
    if (!row.record)
        return;
    const verify::UnitRecord& r = *row.record;
    const std::string startedAt = r.start == Clock::time_point{} ? JournalNow() : TimeText(r.start);
    const std::string endedAt =
        !row.finished ? std::string()
                      : (r.end == Clock::time_point{} ? JournalNow() : TimeText(r.end));
    Write(db, run, row.unit, r, row.finished, false, startedAt, endedAt, forwarded, fail);
    if (!row.finished)
        return;
    // Every reply, also those that were not handed over one by one.
    for (std::size_t i = 0; i < r.result.shots.size(); ++i)
        WriteUnitShot(db, run, {row.unit, static_cast<std::int32_t>(i), r.result.shots[i]}, fail);
}

void WriteUnitShot(const QSqlDatabase& db, RunId run, const UnitShot& shot, SqlFailure fail) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO unit_shots (run_id, unit, shot, value, "
                             "deviation, verdict) VALUES (?, ?, ?, ?, ?, ?)"));
    q.addBindValue(qlonglong{run});
    q.addBindValue(qlonglong{shot.unit});
    q.addBindValue(shot.index);
    q.addBindValue(shot.shot.value ? QVariant(*shot.shot.value) : Null());
    q.addBindValue(shot.shot.deviation ? QVariant(*shot.shot.deviation) : Null());
    q.addBindValue(Text(std::string(verify::VerdictText(shot.shot.verdict))));
    Exec(q, fail);
}

std::string CutShortReason(int replies, int shots) {
    return "cut short after " + std::to_string(replies) + " of " + std::to_string(shots) +
           " shots: the program ended during the unit's run";
}

std::vector<JournalUnit> CloseCutUnits(const QSqlDatabase& db, RunId claimant,
                                       const std::function<bool(const std::string&)>& isAlive,
                                       SqlFailure fail) {
    QSqlQuery q(db);
    q.prepare("SELECT u." + kColumns.split(QStringLiteral(", ")).join(QStringLiteral(", u.")) +
              ", r.token, coalesce(r.ended_at, r.synced_at, u.started_at) "
              "FROM unit_results u JOIN runs r ON r.id = u.run_id "
              "WHERE u.verdict IS NULL AND u.run_id <> ? ORDER BY u.run_id, u.unit");
    q.addBindValue(qlonglong{claimant});
    Exec(q, fail);
    std::vector<JournalUnit> cut;
    std::vector<QVariant> forwarded;
    while (q.next()) {
        if (isAlive(Utf8(q.value(kColumnCount))))
            continue;
        JournalUnit u = ReadUnit(q);
        u.endedAt = Utf8(q.value(kColumnCount + 1));
        forwarded.push_back(q.value(37));
        cut.push_back(std::move(u));
    }
    q.finish();
    for (std::size_t i = 0; i < cut.size(); ++i) {
        JournalUnit& u = cut[i];
        verify::UnitJudge judge(u.record.plan);
        for (const verify::ShotResult& shot : ReadShots(db, u, fail))
            judge.AddValue(shot.value);
        verify::UnitResult result = judge.Result();
        // Its verdict was never told: whatever its replies say, it has to be tested again.
        std::vector<std::string> reasons{
            CutShortReason(result.statistics.replies, u.record.plan.shots)};
        if (result.verdict == verify::Verdict::Fail)
            reasons.insert(reasons.end(), result.reasons.begin(), result.reasons.end());
        else
            reasons.push_back("its replies alone: " + verify::VerdictLine(result));
        result.reasons = std::move(reasons);
        result.verdict = verify::Verdict::Fail;
        u.record.result = std::move(result);
        u.cutShort = true;
        u.record.end = TimeOf(u.endedAt);
        Write(db, u.run, u.unit, u.record, true, true, u.startedAt, u.endedAt, forwarded[i], fail);
    }
    return cut;
}

std::vector<JournalUnit> WaitingUnits(const QSqlDatabase& db, std::size_t limit, SqlFailure fail) {
    QSqlQuery q(db);
    q.prepare("SELECT " + kColumns +
              " FROM unit_results WHERE forwarded IS NULL AND verdict IS NOT NULL "
              "ORDER BY run_id, unit LIMIT ?");
    q.addBindValue(static_cast<qlonglong>(limit));
    Exec(q, fail);
    std::vector<JournalUnit> units;
    while (q.next())
        units.push_back(ReadUnit(q));
    q.finish();
    for (JournalUnit& u : units)
        u.record.result.shots = ReadShots(db, u, fail);
    return units;
}

void MarkUnitsForwarded(const QSqlDatabase& db, const std::vector<JournalUnit>& units, int mark,
                        SqlFailure fail) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("UPDATE unit_results SET forwarded = ? WHERE run_id = ? AND "
                             "unit = ? AND verdict IS NOT NULL"));
    for (const JournalUnit& u : units) {
        q.bindValue(0, mark);
        q.bindValue(1, qlonglong{u.run});
        q.bindValue(2, qlonglong{u.unit});
        Exec(q, fail);
    }
}

} // namespace lrf::journal
