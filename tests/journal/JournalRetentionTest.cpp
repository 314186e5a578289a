#include "SqliteJournalStore.h"
#include "TempDir.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace fs = std::filesystem;
using namespace lrf::journal;

namespace {

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

JournalLine Line(std::int64_t seq) {
    JournalLine line;
    line.seq = seq;
    line.gridRow = static_cast<std::int32_t>(seq);
    line.cells = {std::to_string(seq),       "  12.3", "M", "---.-", "KPH", "Quay", "Mast",
                  "2026/12/09 15:39:07.052", "X1",     "C7"};
    return line;
}

// One program run on the journal: `lines` lines, of which those up to
// `taken` were taken by `file`.
RunId ProgramRun(const fs::path& journal, bool toStore, int lines, int taken,
                 const std::string& file) {
    SqliteJournalStore store(Q(journal));
    store.Open();
    const RunId run =
        store.BeginRun(file + "-token", {"2026-12-09T15:39:07.052+01:00", "/w", "t", toStore});
    std::vector<JournalOp> ops;
    for (int seq = 1; seq <= lines; ++seq)
        ops.push_back(AppendLine{Line(seq)});
    if (taken > 0)
        ops.push_back(MarkTaken{kThisRun, {{1, taken}}, file});
    ops.push_back(EndRun{});
    store.Write(run, ops, true);
    store.Close();
    return run;
}

// Statements of the test's own on the journal file.
void Exec(const fs::path& journal, const QStringList& statements) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "retention-test");
        db.setDatabaseName(Q(journal));
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        for (const QString& sql : statements)
            ASSERT_TRUE(query.exec(sql)) << sql.toStdString();
    }
    QSqlDatabase::removeDatabase("retention-test");
}

// The lines left, as "run:seq".
std::set<std::string> Left(const fs::path& journal) {
    std::set<std::string> left;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "retention-reader");
        db.setDatabaseName(Q(journal));
        db.open();
        QSqlQuery q(db);
        q.exec("SELECT run_id, seq FROM lines");
        while (q.next())
            left.insert(q.value(0).toString().toStdString() + ":" +
                        q.value(1).toString().toStdString());
    }
    QSqlDatabase::removeDatabase("retention-reader");
    return left;
}

// The journal's bytes on the disk, its write-ahead log included.
std::uintmax_t Bytes(const fs::path& journal) {
    std::uintmax_t bytes = 0;
    for (const fs::path& file : {journal, fs::path(journal.string() + "-wal")}) {
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(file, ec);
        bytes += ec ? 0 : size;
    }
    return bytes;
}

JournalStore::Pruned Prune(const fs::path& journal, int keepDays) {
    SqliteJournalStore store(Q(journal));
    store.Open();
    const JournalStore::Pruned pruned = store.Prune(keepDays);
    store.Close();
    return pruned;
}

} // namespace

// Only lines that a file took long enough ago and that wait for no store go,
// and never the last line of a run (a line tail is compared with it). The age
// counts from when the file took them, with its offset from UTC.
TEST(JournalRetention, RemovesOnlyOldLinesThatEveryTakerHas) {
    struct Case {
        int keepDays;
        std::set<std::string> left;
    };
    // Run 1: taken 31 days ago (at +05:00), one line untaken. Run 2 forwards
    // to a store: taken long ago, the store has lines 1 and 2, 3 and 4 wait.
    // Run 3: taken 29 days ago. Run 4: nothing taken.
    const std::set<std::string> all{"1:1", "1:2", "1:3", "1:4", "1:5", "2:1", "2:2",
                                    "2:3", "2:4", "3:1", "3:2", "3:3", "4:1", "4:2"};
    const Case cases[] = {
        {365, all},
        {30, {"1:5", "2:3", "2:4", "3:1", "3:2", "3:3", "4:1", "4:2"}},
        {0, {"1:5", "2:3", "2:4", "3:3", "4:1", "4:2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keepDays);
        TempDir dir;
        const fs::path journal = dir / "journal.sqlite";
        ASSERT_EQ(ProgramRun(journal, false, 5, 4, "/w/a.csv"), 1);
        ASSERT_EQ(ProgramRun(journal, true, 4, 4, "/w/b.csv"), 2);
        ASSERT_EQ(ProgramRun(journal, false, 3, 3, "/w/c.csv"), 3);
        ASSERT_EQ(ProgramRun(journal, false, 2, 0, ""), 4);
        Exec(journal,
             {"UPDATE csv_files SET written_at = strftime('%Y-%m-%dT%H:%M:%S.000+05:00', 'now', "
              "'-31 days', '+5 hours') WHERE path IN ('/w/a.csv', '/w/b.csv')",
              "UPDATE csv_files SET written_at = strftime('%Y-%m-%dT%H:%M:%S.000-03:00', 'now', "
              "'-29 days', '-3 hours') WHERE path = '/w/c.csv'",
              "UPDATE lines SET forwarded = 1 WHERE run_id = 2 AND seq <= 2"});
        const JournalStore::Pruned pruned = Prune(journal, c.keepDays);
        EXPECT_EQ(Left(journal), c.left);
        EXPECT_EQ(pruned.lines, static_cast<std::int64_t>(all.size() - c.left.size()));
    }
}

// A journal mostly emptied is compacted: the file shrinks, and later runs
// write to it as before.
TEST(JournalRetention, AMostlyFreeFileIsCompacted) {
    TempDir dir;
    const fs::path journal = dir / "journal.sqlite";
    ProgramRun(journal, false, 20000, 20000, "/w/a.csv");
    const auto before = Bytes(journal);
    const JournalStore::Pruned pruned = Prune(journal, 0);
    EXPECT_EQ(pruned.lines, 19999);
    EXPECT_TRUE(pruned.compacted);
    const auto after = Bytes(journal);
    EXPECT_LT(after * 4, before) << before << " -> " << after;
    ProgramRun(journal, false, 3, 0, "");
    EXPECT_EQ(Left(journal), (std::set<std::string>{"1:20000", "2:1", "2:2", "2:3"}));
}
