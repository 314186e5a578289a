// lrfmeasure --store against a PostgreSQL server the test starts itself, and
// the store's view of the records in metres and metres per second.

#include "PgServer.h"

#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Result {
    int status = -1;
    QString out, err;
};

// lrfmeasure with the simulator, its journal in `folder`.
Result Measure(const QString& folder, const QStringList& args) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LRF_JOURNAL", folder + "/journal.sqlite");
    env.insert("LC_ALL", "C.UTF-8");
    env.remove("LRF_STORE");
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(LRFMEASURE_PROGRAM), QStringList{"--simulate"} + args);
    Result result;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.status = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

qlonglong Count(const QString& connection, const QString& sql) {
    QSqlQuery q(QSqlDatabase::database(connection));
    return q.exec(sql) && q.next() ? q.value(0).toLongLong() : -1;
}

QString Text(const QString& connection, const QString& sql) {
    QSqlQuery q(QSqlDatabase::database(connection));
    return q.exec(sql) && q.next() ? q.value(0).toString() : QStringLiteral("(none)");
}

bool WritePlan(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

// The window program's meaning: every record reaches the store under the
// station's name, over an address with further libpq parameters; records the
// store cannot take at once wait in the journal and go with a later run; an
// address with a password is refused before anything starts.
TEST(MeasureStore, RecordsReachTheStoreOrWaitInTheJournal) {
    PgServer server;
    server.Start();
    const QString connection = server.Connect();
    const QString uri = QStringLiteral("postgresql://%1@/postgres?host=%2&port=%3&sslmode=disable"
                                       "&application_name=lrfmeasure%20test&connect_timeout=5")
                            .arg(PgServer::kUser)
                            .arg(QString::fromStdString(server.Folder().string()))
                            .arg(server.Target().port);
    QTemporaryDir work;

    Result first = Measure(work.path(), {"--distance", "--count", "20", "--store", uri, "--station",
                                         "Yard 1", "--code", "C7"});
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_TRUE(first.err.isEmpty()) << first.err.toStdString();
    EXPECT_EQ(first.out.count('\n'), 21);
    EXPECT_EQ(Count(connection, "SELECT count(*) FROM records_metric WHERE station_name = 'Yard 1' "
                                "AND lrf_code = 'C7' AND shot_kind = 'distance' "
                                "AND distance_m = 123.4 AND distance_unit = 'M'"),
              20);

    // The server away: the records are measured and written all the same, and wait.
    server.Stop();
    Result offline =
        Measure(work.path(), {"--speed", "--count", "5", "--store", uri, "--station", "Yard 1"});
    EXPECT_EQ(offline.status, 0) << offline.err.toStdString();
    EXPECT_EQ(offline.out.count('\n'), 6);
    EXPECT_TRUE(offline.err.contains("wait in the journal")) << offline.err.toStdString();

    server.Start();
    const QString again = server.Connect();
    Result later = Measure(work.path(), {"--distance", "--store", uri, "--station", "Yard 1"});
    EXPECT_EQ(later.status, 0) << later.err.toStdString();
    EXPECT_EQ(Count(again, "SELECT count(*) FROM records_metric WHERE station_name = 'Yard 1'"),
              26);
    EXPECT_EQ(Count(again, "SELECT count(*) FROM records_metric WHERE shot_kind = 'speed' "
                           "AND abs(speed_mps - speed / 3.6) < 1e-9 AND speed_unit = 'KPH'"),
              5);

    Result refused = Measure(
        work.path(), {"--distance", "--store", "postgresql://lrf:secret@/postgres?host=/tmp"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.err.contains(".pgpass")) << refused.err.toStdString();
    EXPECT_FALSE(refused.err.contains("secret")) << refused.err.toStdString();
}

// Every unit into metres and metres per second, and the kind of shot.
TEST(MeasureStore, TheViewHasEveryValueInMetres) {
    PgServer server;
    server.Start();
    // A run of lrfmeasure makes the schema and the view.
    QTemporaryDir work;
    const QString uri = QStringLiteral("postgresql://%1@/postgres?host=%2&port=%3")
                            .arg(PgServer::kUser)
                            .arg(QString::fromStdString(server.Folder().string()))
                            .arg(server.Target().port);
    ASSERT_EQ(Measure(work.path(), {"--distance", "--store", uri}).status, 0);
    const QString connection = server.Connect();
    QSqlQuery q(QSqlDatabase::database(connection));
    struct Case {
        const char* distance; // SQL literals
        const char* distanceUnit;
        const char* speed;
        const char* speedUnit;
        int half;
        double metres, metresPerSecond; // NAN: NULL
        const char* kind;               // nullptr: NULL
    };
    const Case cases[] = {
        {"100", "'M'", "NULL", "'KPH'", 1, 100.0, NAN, "distance"},
        {"100", "'Y'", "NULL", "'KPH'", 1, 91.44, NAN, "distance"},
        {"100", "'Ft'", "NULL", "'KPH'", 1, 30.48, NAN, "distance"},
        {"NULL", "'M'", "36", "'KPH'", 1, NAN, 10.0, "speed"},
        {"NULL", "'M'", "10", "'MPH'", 1, NAN, 4.4704, "speed"},
        {"NULL", "'M'", "-2.5", "'M/S'", 1, NAN, -2.5, "speed"},
        {"50", "'M'", "18", "'KPH'", 2, 50.0, 5.0, "rotation"},
        {"NULL", "'M'", "NULL", "'KPH'", 1, NAN, NAN, nullptr},
    };
    int line = 1000;
    for (const Case& c : cases) {
        SCOPED_TRACE(line);
        ASSERT_TRUE(q.exec(
            QStringLiteral(
                "INSERT INTO records (station_id, run, line, distance, distance_unit, speed, "
                "speed_unit, place, destination, model, lrf_code, rotation_half, cell_sn, "
                "cell_linear, cell_unit, cell_speed, cell_speed_unit, cell_place, "
                "cell_destination, "
                "cell_date_time, cell_model, cell_lrf_code) SELECT station_id, run, %1, %2, %3, "
                "%4, "
                "%5, '', '', '', '', %6, '', '', '', '', '', '', '', '', '', '' FROM runs LIMIT 1")
                .arg(line)
                .arg(c.distance, c.distanceUnit, c.speed, c.speedUnit)
                .arg(c.half)));
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT distance_m, speed_mps, shot_kind FROM "
                                          "records_metric WHERE line = %1")
                               .arg(line++)));
        ASSERT_TRUE(q.next());
        for (const auto& [column, expected] : {std::pair{0, c.metres}, {1, c.metresPerSecond}}) {
            if (std::isnan(expected)) {
                EXPECT_TRUE(q.value(column).isNull()) << column;
            } else {
                EXPECT_NEAR(q.value(column).toDouble(), expected, 1e-9) << column;
            }
        }
        EXPECT_EQ(q.value(2).isNull(), c.kind == nullptr);
        if (c.kind) {
            EXPECT_EQ(q.value(2).toString(), c.kind);
        }
    }
    // The indexes of the usual dashboard queries.
    EXPECT_EQ(Count(connection, "SELECT count(*) FROM pg_indexes WHERE tablename = 'records' AND "
                                "indexname IN ('records_by_station', 'records_by_lrf_code')"),
              2);
}

// lrfmeasure --plan with a store: each unit reaches unit_results with its plan,
// limits, statistics, verdict and reasons in typed columns; a unit checked
// while the server is away waits in the journal and goes with a later run,
// and no unit is there twice.
TEST(MeasureStore, UnitResultsReachTheStoreOnce) {
    PgServer server;
    server.Start();
    const QString uri = QStringLiteral("postgresql://%1@/postgres?host=%2&port=%3")
                            .arg(PgServer::kUser)
                            .arg(QString::fromStdString(server.Folder().string()))
                            .arg(server.Target().port);
    QTemporaryDir work;
    // The simulator answers 123.4 m.
    ASSERT_TRUE(WritePlan(work.filePath("pass.plan"),
                          "name = Line 3\nreference = 123.4 m\nshots = 3\ntolerance = 0.5\n"
                          "marginal = 0.1\nmax_mean_deviation = 0.2\n"));
    ASSERT_TRUE(
        WritePlan(work.filePath("fail.plan"), "reference = 120 m\nshots = 2\ntolerance = 1 %\n"));
    const QStringList store{"--store", uri, "--station", "Line 3"};
    Result pass = Measure(work.path(), QStringList{"--plan", work.filePath("pass.plan"), "--code",
                                                   "U-PASS", "--model", "LRF-9"} +
                                           store);
    ASSERT_EQ(pass.status, 0) << pass.err.toStdString();
    const QString connection = server.Connect();
    EXPECT_EQ(Text(connection,
                   "SELECT concat_ws(' ', station, instrument_code, model, plan_name, reference, "
                   "unit_name, shots, tolerance, tolerance_percent, marginal, marginal_percent, "
                   "mean_limit, std_limit IS NULL, replies, with_value, mean_deviation, verdict, "
                   "cardinality(reasons), cut_short, started_at <= ended_at) FROM unit_results")
                  .toStdString(),
              "Line 3 U-PASS LRF-9 Line 3 123.4 m 3 0.5 f 0.1 f 0.2 t 3 3 0 PASS 0 f t");

    server.Stop();
    Result fail = Measure(
        work.path(), QStringList{"--plan", work.filePath("fail.plan"), "--code", "U-FAIL"} + store);
    EXPECT_EQ(fail.status, 8) << fail.err.toStdString();
    server.Start();
    const QString again = server.Connect();
    ASSERT_EQ(Measure(work.path(), QStringList{"--distance", "--count", "1"} + store).status, 0);
    EXPECT_EQ(Count(again, "SELECT count(*) FROM unit_results"), 2);
    const QString failed = Text(again, "SELECT verdict || ' ' || array_to_string(reasons, '|') "
                                       "FROM unit_results WHERE instrument_code = 'U-FAIL'");
    EXPECT_TRUE(failed.startsWith("FAIL 2 shots beyond the tolerance of ±1 %"))
        << failed.toStdString();
}
