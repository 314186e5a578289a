// lrfmeasure --plan as a test line runs it: units against pty instruments set
// to a known distance, their verdicts, exit statuses, JSON lines and reports,
// and CSV files that hold the records and nothing of the verdicts.

#include "LrfVersion.h"
#include "RangefinderSimulator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace {

// 50 m, ±0.5 m of which the outer 0.2 m are marginal, five shots.
const char* const kPlan = "name = Line 2 at 50 m\nmodel = LRF-900\nreference = 50 m\n"
                          "shots = 5\ntolerance = 0.5\nmarginal = 0.2\n";

// lrfmeasure in a child process with a journal of its own in `folder`; runs
// at the same time name journals of their own.
struct Child {
    Child(const QString& folder, const QStringList& args,
          const QString& journal = QStringLiteral("journal.sqlite")) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LRF_JOURNAL"), folder + QLatin1Char('/') + journal);
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        env.insert(QStringLiteral("USER"), QStringLiteral("line-operator"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(folder);
        process.start(QStringLiteral(LRFMEASURE_PROGRAM), args);
    }
    // The exit status, or -1 when it did not end in time or crashed.
    int finish() {
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        out = QString::fromUtf8(process.readAllStandardOutput());
        err = QString::fromUtf8(process.readAllStandardError());
        return process.exitCode();
    }
    QProcess process;
    QString out, err;
};

bool WriteFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QStringList Lines(const QString& text, const QString& end) {
    QStringList lines = text.split(end);
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.pop_back();
    return lines;
}

TEST(MeasurePlan, UnitsGetTheirVerdictStatusJsonAndReport) {
    struct Unit {
        const char* code;
        double distance; // what the instrument measures
        int status;
        const char* verdict;
        const char* shotVerdict;
        double deviation;
    };
    const std::array<Unit, 3> units{{
        {"SN-1", 50.1, 0, "PASS", "PASS", 0.1},
        {"SN-2", 49.6, 7, "MARGINAL", "MARGINAL", -0.4},
        {"SN-3", 50.6, 8, "FAIL", "FAIL", 0.6},
    }};
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString plan = dir.filePath(QStringLiteral("line2.plan"));
    ASSERT_TRUE(WriteFile(plan, kPlan));
    const QString reports = dir.filePath(QStringLiteral("reports"));

    // All three at once, each against its own instrument.
    std::array<lrf::sim::RangefinderSimulator, 3> instruments;
    std::array<std::unique_ptr<Child>, 3> runs;
    for (std::size_t i = 0; i < units.size(); ++i) {
        lrf::sim::SimSettings settings;
        settings.distance = units[i].distance;
        settings.linePace = false;
        instruments[i].SetSettings(settings);
        instruments[i].Start();
        const QString csv = dir.filePath(QStringLiteral("%1.csv").arg(units[i].code));
        runs[i] = std::make_unique<Child>(
            dir.path(),
            QStringList{"--port", QString::fromStdString(instruments[i].DevicePath()), "--plan",
                        plan, "--report", reports, "--json", "--csv", csv, "--code", units[i].code,
                        "--place", "Line 2"},
            QStringLiteral("%1.sqlite").arg(units[i].code));
    }
    for (std::size_t i = 0; i < units.size(); ++i) {
        const Unit& unit = units[i];
        SCOPED_TRACE(unit.code);
        Child& run = *runs[i];
        EXPECT_EQ(run.finish(), unit.status) << run.err.toStdString();
        // One verdict line on standard error, naming the unit.
        const QStringList errLines = Lines(run.err, QStringLiteral("\n"));
        ASSERT_EQ(errLines.size(), 1) << run.err.toStdString();
        EXPECT_TRUE(errLines[0].startsWith(QStringLiteral("%1: %2").arg(unit.code, unit.verdict)))
            << errLines[0].toStdString();
        EXPECT_TRUE(errLines[0].contains(QStringLiteral("5 of 5 shots")));
        EXPECT_TRUE(errLines[0].contains(QStringLiteral(".pdf")));
        EXPECT_EQ(instruments[i].Counters().distanceCommands, 5u);

        const QStringList json = Lines(run.out, QStringLiteral("\n"));
        ASSERT_EQ(json.size(), 5);
        for (const QString& line : json) {
            const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
            EXPECT_EQ(o.value("verdict").toString(), unit.shotVerdict) << line.toStdString();
            EXPECT_NEAR(o.value("deviation").toDouble(), unit.deviation, 1e-9);
            EXPECT_EQ(o.value("deviation_unit").toString(), "m");
            EXPECT_EQ(o.value("model").toString(), "LRF-900"); // the plan's model
        }

        // The CSV file: the header and five records of ten cells, no verdict.
        QFile csv(dir.filePath(QStringLiteral("%1.csv").arg(unit.code)));
        ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
        const QStringList lines = Lines(QString::fromUtf8(csv.readAll()), QStringLiteral("\r\n"));
        ASSERT_EQ(lines.size(), 6);
        for (const QString& line : lines) {
            EXPECT_EQ(line.count(QLatin1Char(',')), 9) << line.toStdString();
            EXPECT_FALSE(line.contains(QStringLiteral("PASS")) || line.contains("FAIL") ||
                         line.contains("MARGINAL"))
                << line.toStdString();
        }
    }
    // A report per unit: HTML and PDF, named by the code.
    const QStringList files = QDir(reports).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 6) << files.join(' ').toStdString();
    for (std::size_t i = 0; i < units.size(); ++i) {
        EXPECT_TRUE(files[static_cast<qsizetype>(2 * i)].startsWith(units[i].code));
        QFile html(QDir(reports).filePath(files[static_cast<qsizetype>(2 * i)]));
        ASSERT_TRUE(html.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(html.readAll());
        EXPECT_TRUE(text.contains(QStringLiteral("<b>%1</b>").arg(units[i].verdict)));
        EXPECT_TRUE(text.contains(QStringLiteral("line-operator")));
        EXPECT_TRUE(text.contains(QString::fromUtf8(LRF_VERSION)));
    }
}

// An instrument whose every shot lies within the tolerance but spreads too
// widely for the plan's limit on the standard deviation.
TEST(MeasurePlan, ASpreadBeyondItsLimitFails) {
    QTemporaryDir dir;
    ASSERT_TRUE(WriteFile(dir.filePath(QStringLiteral("p.plan")),
                          "reference = 50 m\nshots = 30\ntolerance = 5\nmax_stddev = 0.1\n"));
    lrf::sim::RangefinderSimulator instrument;
    lrf::sim::SimSettings settings;
    settings.distance = 50.0;
    settings.distanceNoise = 0.4;
    settings.linePace = false;
    instrument.SetSettings(settings);
    instrument.Start();
    Child run(dir.path(), {"--port", QString::fromStdString(instrument.DevicePath()), "--plan",
                           dir.filePath(QStringLiteral("p.plan")), "--code", "SN-5", "--json"});
    EXPECT_EQ(run.finish(), 8) << run.err.toStdString();
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("SN-5: FAIL: standard deviation 0.")))
        << run.err.toStdString();
    // The values spread: not every shot has the same deviation.
    EXPECT_GT(run.out.count(QStringLiteral("\"verdict\":\"PASS\"")), 25);
    EXPECT_NE(run.out.count(QStringLiteral("\"deviation\":0.000,")), 30);
}

// The README's example: the built-in simulator against the plan made for it.
TEST(MeasurePlan, TheSimulatorPassesItsExamplePlan) {
    QTemporaryDir dir;
    Child run(dir.path(),
              {"--simulate", "--plan", QStringLiteral(LRF_SOURCE_DIR "/docs/plans/simulator.plan"),
               "--code", "SIM-1", "--csv", dir.filePath(QStringLiteral("sim.csv"))});
    EXPECT_EQ(run.finish(), 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("SIM-1: PASS (20 of 20 shots, mean deviation "
                                                  "0.000 m, standard deviation 0.000 m)\n")))
        << run.err.toStdString();
}

// An instrument that stops answering: the run's own status, and the unit's
// verdict FAIL for the shots it did not answer.
TEST(MeasurePlan, ARunCutShortKeepsItsStatusAndFails) {
    QTemporaryDir dir;
    ASSERT_TRUE(WriteFile(dir.filePath(QStringLiteral("p.plan")), kPlan));
    lrf::sim::RangefinderSimulator instrument;
    lrf::sim::SimSettings settings;
    settings.distance = 50.0;
    settings.linePace = false;
    instrument.SetSettings(settings);
    instrument.Start();
    instrument.SetFault(lrf::sim::SimFault::HangUp);
    Child run(dir.path(), {"--port", QString::fromStdString(instrument.DevicePath()), "--plan",
                           dir.filePath(QStringLiteral("p.plan")), "--code", "SN-9"});
    const int status = run.finish();
    EXPECT_TRUE(status == 4 || status == 5) << status << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("SN-9: FAIL: 0 of 5 shots answered")))
        << run.err.toStdString();
}

// A value of the journal at path, read beside the program that writes it.
QVariant JournalValue(const QString& path, const QString& sql) {
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "plan-reader");
        db.setDatabaseName(path);
        QSqlQuery q(db);
        if (db.open() && q.exec(sql) && q.next())
            value = q.value(0);
    }
    QSqlDatabase::removeDatabase("plan-reader");
    return value;
}

// A unit whose run is killed after a few replies: the next start of either
// program finds it in the journal, judges it on the replies it had, tells the
// operator and keeps it as FAIL, cut short; the records are recovered as ever.
TEST(MeasurePlan, AUnitKilledDuringItsRunIsClosedWithItsVerdictAtTheNextStart) {
    QTemporaryDir dir;
    ASSERT_TRUE(WriteFile(dir.filePath(QStringLiteral("long.plan")),
                          "reference = 123.4 m\nshots = 100000\ntolerance = 0.5\n"));
    const QString journal = dir.filePath(QStringLiteral("journal.sqlite"));
    Child cut(dir.path(), {"--simulate", "--plan", dir.filePath(QStringLiteral("long.plan")),
                           "--code", "SN-CUT", "--csv", dir.filePath("cut.csv")});
    QElapsedTimer waited;
    waited.start();
    const QString judged = QStringLiteral("SELECT count(*) FROM unit_shots");
    while (JournalValue(journal, judged).toInt() < 3 && waited.elapsed() < 60000)
        cut.process.waitForFinished(50);
    ASSERT_GE(JournalValue(journal, judged).toInt(), 3)
        << cut.process.readAllStandardError().toStdString();
    cut.process.kill();
    ASSERT_TRUE(cut.process.waitForFinished(30000));

    Child next(dir.path(),
               {"--simulate", "--distance", "--count", "1", "--csv", dir.filePath("next.csv")});
    ASSERT_EQ(next.finish(), 0) << next.err.toStdString();
    EXPECT_TRUE(next.err.contains("The unit SN-CUT was being checked when an earlier run of the "
                                  "program ended; its verdict is kept in the journal: FAIL: cut "
                                  "short after"))
        << next.err.toStdString();
    const int replies = JournalValue(journal, "SELECT replies FROM unit_results").toInt();
    EXPECT_GE(replies, 3);
    EXPECT_EQ(JournalValue(journal, "SELECT verdict || ' ' || cut_short || ' ' || instrument_code "
                                    "|| ' ' || (ended_at IS NOT NULL) FROM unit_results")
                  .toString(),
              "FAIL 1 SN-CUT 1");
    EXPECT_TRUE(JournalValue(journal, "SELECT reasons FROM unit_results")
                    .toString()
                    .startsWith(QStringLiteral("cut short after %1 of 100000 shots").arg(replies)));
    // The second run's own line has no unit.
    EXPECT_EQ(JournalValue(journal, "SELECT count(*) FROM unit_results").toInt(), 1);
}

} // namespace
