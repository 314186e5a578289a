// Units checked against a test plan in the journal: kept beside the records,
// closed with a verdict when a crash cut their run short, a journal of the
// previous format upgraded to hold them; and a new journal made by two
// programs at once.

#include "JournalOutbox.h"
#include "SqliteJournalStore.h"
#include "TempDir.h"
#include "UnitRows.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <thread>

namespace fs = std::filesystem;
using namespace lrf::journal;

namespace {

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// 50 m, ±0.5 m of which the outer 0.1 m are marginal, five shots.
std::shared_ptr<lrf::verify::UnitRecord> Unit(const std::string& code) {
    auto unit = std::make_shared<lrf::verify::UnitRecord>();
    unit->instrumentCode = code;
    unit->station = "Line 2";
    unit->operatorName = "tester";
    unit->plan.name = "fifty";
    unit->plan.reference = 50.0;
    unit->plan.shots = 5;
    unit->plan.tolerance = {0.5, false};
    unit->plan.marginal = lrf::verify::Limit{0.2, true}; // 0.1 m
    return unit;
}

AppendLine Line(std::int64_t seq) {
    AppendLine op;
    op.line.seq = seq;
    op.line.gridRow = static_cast<std::int32_t>(seq);
    op.line.cells = {std::to_string(seq), "50.1", "M", "", "", "", "", "", "", "U"};
    return op;
}

// One value of the journal, read by a connection of its own.
QVariant Value(const fs::path& journal, const QString& sql) {
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "units-reader");
        db.setDatabaseName(Q(journal));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                value = q.value(0);
        }
    }
    QSqlDatabase::removeDatabase("units-reader");
    return value;
}

} // namespace

// A run that ended with its unit's verdict untold (killed after two replies)
// leaves the unit to the next start, which judges it on the two replies, makes
// it FAIL as cut short and lets it wait for the store; a unit with its verdict
// and a unit of a run still alive are left as they are.
TEST(JournalUnits, AUnitCutShortGetsItsVerdictAtTheNextStart) {
    TempDir dir;
    const fs::path journal = dir / "journal.sqlite";
    {
        SqliteJournalStore store(Q(journal));
        store.Open();
        const RunId run = store.BeginRun("dead", {"2026-12-10T03:00:00.000+00:00", "/", "2", true});
        auto done = Unit("DONE");
        lrf::verify::UnitJudge judge(done->plan);
        for (int i = 0; i < 5; ++i)
            judge.AddValue(50.1);
        done->result = judge.Result();
        const std::vector<JournalOp> ops{
            UnitRow{1, done, true},
            Line(1),
            UnitRow{2, Unit("CUT"), false},
            UnitShot{2, 0, lrf::verify::JudgeValue(done->plan, 50.2)},
            Line(2),
            UnitShot{2, 1, lrf::verify::JudgeValue(done->plan, std::nullopt)},
        };
        store.Write(run, ops, true);
        const RunId alive =
            store.BeginRun("alive", {"2026-12-10T03:00:00.000+00:00", "/", "2", false});
        store.Write(alive, std::vector<JournalOp>{UnitRow{1, Unit("LIVE"), false}}, true);
        store.Close();
    }
    SqliteJournalStore next(Q(journal));
    next.Open();
    const RunId run = next.BeginRun("next", {"2026-12-10T04:00:00.000+00:00", "/", "2", false});
    const std::vector<CutUnit> cut =
        next.CloseCutUnits(run, [](const std::string& token) { return token == "alive"; });
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].instrumentCode, "CUT");
    EXPECT_EQ(cut[0].verdictLine.rfind("FAIL: cut short after 2 of 5 shots", 0), 0u)
        << cut[0].verdictLine;
    EXPECT_TRUE(next.CloseCutUnits(run, [](const std::string&) { return false; }).size() == 1u)
        << "the live run's unit, once that run is over";
    next.Close();

    EXPECT_EQ(Value(journal, "SELECT verdict || cut_short || replies || with_value || no_value || "
                             "(forwarded IS NULL) FROM unit_results WHERE instrument_code = 'CUT'")
                  .toString()
                  .toStdString(),
              "FAIL12111");
    EXPECT_EQ(Value(journal, "SELECT verdict || cut_short || replies || (forwarded IS NULL) "
                             "FROM unit_results WHERE instrument_code = 'DONE'")
                  .toString()
                  .toStdString(),
              "PASS051");
    EXPECT_EQ(
        Value(journal, "SELECT count(*) FROM unit_shots WHERE unit = 1 AND run_id = 1").toInt(), 5);

    // The store gets the two finished units of the forwarding run, with every reply.
    JournalOutbox outbox(Q(journal));
    outbox.Open();
    std::vector<JournalUnit> waiting = outbox.WaitingUnits(10);
    ASSERT_EQ(waiting.size(), 2u);
    EXPECT_EQ(waiting[0].record.result.shots.size(), 5u);
    EXPECT_EQ(waiting[1].record.result.shots.size(), 2u);
    EXPECT_TRUE(waiting[1].cutShort);
    EXPECT_EQ(waiting[1].record.plan.marginal->percent, true);
    outbox.MarkUnits(waiting);
    EXPECT_TRUE(outbox.WaitingUnits(10).empty());
}

// A journal of the previous format (no units) is upgraded in place when it is
// opened, with its lines; until then its reader sees no units.
TEST(JournalUnits, ThePreviousFormatIsUpgradedWithItsLines) {
    TempDir dir;
    const fs::path journal = dir / "journal.sqlite";
    {
        SqliteJournalStore store(Q(journal));
        store.Open();
        const RunId run = store.BeginRun("old", {"2026-12-10T03:00:00.000+00:00", "/", "1", true});
        store.Write(run, std::vector<JournalOp>{Line(1), Line(2)}, true);
        store.Close();
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "downgrade");
        db.setDatabaseName(Q(journal));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const char* sql :
             {"DROP TABLE unit_results", "DROP TABLE unit_shots", "PRAGMA user_version = 2"})
            ASSERT_TRUE(q.exec(sql)) << sql;
    }
    QSqlDatabase::removeDatabase("downgrade");
    {
        JournalOutbox outbox(Q(journal));
        outbox.Open();
        EXPECT_TRUE(outbox.WaitingUnits(10).empty());
        EXPECT_EQ(outbox.WaitingCount(), 2);
    }
    SqliteJournalStore store(Q(journal));
    store.Open();
    const RunId run = store.BeginRun("new", {"2026-12-10T04:00:00.000+00:00", "/", "2", false});
    store.Write(run, std::vector<JournalOp>{UnitRow{1, Unit("U1"), false}}, true);
    store.Close();
    EXPECT_EQ(Value(journal, "PRAGMA user_version").toInt(), SqliteJournalStore::kSchemaVersion);
    EXPECT_EQ(Value(journal, "SELECT count(*) FROM lines WHERE run_id = 1").toInt(), 2);
    EXPECT_EQ(Value(journal, "SELECT instrument_code FROM unit_results").toString(), "U1");
}

// Two programs making the same new journal at the same moment both open it:
// neither finds a half-made file and takes it for another program's.
TEST(JournalUnits, TwoProgramsMakingOneNewJournalBothOpenIt) {
    TempDir dir;
    for (int round = 0; round < 20; ++round) {
        const fs::path journal = dir / ("journal-" + std::to_string(round) + ".sqlite");
        std::string failures[2];
        std::thread makers[2];
        for (int i = 0; i < 2; ++i)
            makers[i] = std::thread([&, i] {
                SqliteJournalStore store(Q(journal));
                try {
                    store.Open();
                    store.BeginRun("run-" + std::to_string(i),
                                   {"2026-12-10T04:00:00.000+00:00", "/", "2", false});
                } catch (const JournalError& e) {
                    failures[i] = e.what();
                }
                store.Close();
            });
        for (std::thread& maker : makers)
            maker.join();
        EXPECT_EQ(failures[0] + failures[1], "") << "round " << round;
        EXPECT_EQ(Value(journal, "SELECT count(*) FROM runs").toInt(), 2) << "round " << round;
    }
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().string().find(".new-"), std::string::npos) << entry.path();
}
