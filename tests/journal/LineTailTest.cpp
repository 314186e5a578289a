#include "LineTail.h"
#include "Journal.h"
#include "SqliteJournalStore.h"
#include "TempDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <chrono>
#include <map>

using namespace lrf::journal;

namespace {

JournalLine Line(std::int64_t seq, const std::string& first) {
    JournalLine line;
    line.seq = seq;
    line.gridRow = static_cast<std::int32_t>(seq);
    line.cells = {first, "1.0", "M", "2.0", "KPH", "a", "b", "c", "d", "e"};
    return line;
}

// The journal's lines of the run of token: "<seq>:<first cell>:<taken or not>".
std::vector<std::string> LinesOf(const QString& journal, const std::string& token) {
    std::vector<std::string> lines;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "tail-reader");
        db.setDatabaseName(journal);
        QSqlQuery q(db);
        if (db.open() && q.prepare("SELECT l.seq, l.sn, l.taken_by IS NOT NULL FROM lines l "
                                   "JOIN runs r ON r.id = l.run_id WHERE r.token = ? "
                                   "ORDER BY l.seq")) {
            q.addBindValue(QString::fromStdString(token));
            q.exec();
            while (q.next())
                lines.push_back(q.value(0).toString().toStdString() + ":" +
                                q.value(1).toString().toStdString() +
                                (q.value(2).toBool() ? ":taken" : ":unsaved"));
        }
    }
    QSqlDatabase::removeDatabase("tail-reader");
    return lines;
}

} // namespace

// Cells with the separators of the format in them come back as they were; a
// line the system cut short and text that is not ours are skipped.
TEST(LineTail, CellsComeBackAsWrittenAndCutLinesAreSkipped) {
    TempDir dir;
    const QString path = QString::fromStdString((dir / "j.sqlite.run-t.lines").string());
    JournalLine odd = Line(2, "tab\there \\t back\\slash\r\nline");
    odd.cells[5] = "Quay Süd";
    odd.cells[9] = "";
    {
        LineTail tail;
        ASSERT_TRUE(tail.Open(path));
        tail.Append(AppendLine{Line(1, "one")});
        tail.Append(ReplaceLine{odd});
        tail.Append(MarkTaken{}); // not a line: not in the tail
    }
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("X\t3\t3\tnot\tours\n");
        file.write("A\t4\t4\tcut\tshort"); // no end of line: the kill came mid-write
    }
    const std::vector<JournalOp> ops = LineTail::Read(path);
    ASSERT_EQ(ops.size(), 2u);
    ASSERT_TRUE(std::holds_alternative<AppendLine>(ops[0]));
    EXPECT_EQ(std::get<AppendLine>(ops[0]).line.cells, Line(1, "one").cells);
    ASSERT_TRUE(std::holds_alternative<ReplaceLine>(ops[1]));
    EXPECT_EQ(std::get<ReplaceLine>(ops[1]).line.cells, odd.cells);
    EXPECT_EQ(std::get<ReplaceLine>(ops[1]).line.seq, 2);

    const std::vector<LineTail::Found> found =
        LineTail::FindBeside(QString::fromStdString((dir / "j.sqlite").string()));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].token, "t");
}

// The journal holds the tail's operations up to some point; merging adds the
// rest and only the rest, once, however far the writer had come.
TEST(LineTail, MergeAddsWhatTheJournalLacksOnce) {
    const std::vector<JournalOp> tail = {AppendLine{Line(1, "d1")}, AppendLine{Line(2, "d2")},
                                         ReplaceLine{Line(2, "d2+s")}, AppendLine{Line(3, "d3")}};
    struct Case {
        const char* name;
        std::size_t written; // operations of the tail the writer committed
        bool markedTwo;      // and a save took lines 1 and 2 after them
        std::size_t added;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"nothing committed", 0, false, 4, {"1:d1:unsaved", "2:d2+s:unsaved", "3:d3:unsaved"}},
        {"the replace not yet", 2, false, 2, {"1:d1:unsaved", "2:d2+s:unsaved", "3:d3:unsaved"}},
        {"the replace and a save", 3, true, 1, {"1:d1:taken", "2:d2+s:taken", "3:d3:unsaved"}},
        {"everything", 4, false, 0, {"1:d1:unsaved", "2:d2+s:unsaved", "3:d3:unsaved"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const QString journal = QString::fromStdString((dir / "j.sqlite").string());
        SqliteJournalStore store(journal);
        store.Open();
        const RunId run = store.BeginRun("dead", {});
        store.Write(run, std::span(tail).first(c.written), false);
        if (c.markedTwo) {
            const JournalOp mark = MarkTaken{kThisRun, {{1, 2}}, "saved.csv"};
            store.Write(run, {&mark, 1}, true);
        }
        EXPECT_EQ(store.MergeTail("dead", tail, {}), c.added);
        EXPECT_EQ(LinesOf(journal, "dead"), c.lines);
        EXPECT_EQ(store.MergeTail("dead", tail, {}), 0u); // a second program after it
        EXPECT_EQ(LinesOf(journal, "dead"), c.lines);
        // The tail of a run its journal lost brings the run back with every line.
        EXPECT_EQ(store.MergeTail("orphan", tail, {}), 4u);
        EXPECT_EQ(LinesOf(journal, "orphan"),
                  (std::vector<std::string>{"1:d1:unsaved", "2:d2+s:unsaved", "3:d3:unsaved"}));
        store.Close();
    }
}

// A long run's tail holds only what no file holds yet: it starts afresh after
// a save once the writer has caught up, and the run's end removes it.
TEST(LineTail, StaysShortWhileTheWriterKeepsUpAndGoesAtTheEnd) {
    TempDir dir;
    const QString path = QString::fromStdString((dir / "j.sqlite").string());
    Journal journal(JournalOptions{path, QString::fromStdString(dir.path().string()), "test"});
    journal.Start();
    QElapsedTimer clock;
    clock.start();
    while (!journal.IsReady() && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_TRUE(journal.IsReady());
    const std::vector<std::string> cells{"1", " 12.3", "M", "---.-", "KPH", "", "", "", "", ""};
    for (int i = 1; i <= 3000; ++i) {
        journal.LineWritten(i, cells, false);
        if (i % 100 == 0) {
            journal.MirrorDelivered("/dev/stdout");
            journal.Flush().wait();
        }
    }
    const std::vector<LineTail::Found> tails = LineTail::FindBeside(path);
    ASSERT_EQ(tails.size(), 1u);
    const std::size_t held = LineTail::Read(tails[0].path).size();
    EXPECT_GT(held, 0u);
    EXPECT_LE(held, 600u);
    journal.Finish();
    EXPECT_TRUE(LineTail::FindBeside(path).empty());
}

// While another program holds the journal, the lines wait: beyond the first
// few hundred only in the run's tail, from which they come back in order, with
// the rewrites of the rotation pairs, once the journal takes them again.
TEST(LineTail, LinesHeldWhileTheJournalFailsComeBackInOrder) {
    TempDir dir;
    const QString path = QString::fromStdString((dir / "j.sqlite").string());
    Journal journal(JournalOptions{path, QString::fromStdString(dir.path().string()), "test"});
    QStringList notices;
    QObject::connect(&journal, &Journal::notice, &journal,
                     [&](const QString& text) { notices << text; });
    journal.Start();
    QElapsedTimer clock;
    clock.start();
    while (!journal.IsReady() && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_TRUE(journal.IsReady());

    std::map<std::int64_t, std::string> expected; // seq: its last first cell
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase("QSQLITE", "holder");
        holder.setDatabaseName(path);
        ASSERT_TRUE(holder.open());
        QSqlQuery hold(holder);
        ASSERT_TRUE(hold.exec("BEGIN IMMEDIATE"));
        std::int64_t last = 0;
        for (int i = 1; i <= 3000; ++i) {
            // Every tenth line rewrites the one before it, as a rotation pair does.
            const bool rewrite = i % 10 == 0;
            const std::string first = "v" + std::to_string(i);
            journal.LineWritten(
                i,
                std::vector<std::string>{first, "1", "M", "2", "KPH", "a\tb", "c", "d", "e", "f"},
                rewrite);
            expected[rewrite ? last : ++last] = first;
        }
        clock.restart();
        while (notices.isEmpty() && clock.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ASSERT_EQ(notices.size(), 1);
        EXPECT_TRUE(notices[0].contains("cannot be written")) << notices[0].toStdString();
        ASSERT_TRUE(hold.exec("ROLLBACK"));
    }
    QSqlDatabase::removeDatabase("holder");
    ASSERT_EQ(journal.Flush().wait_for(std::chrono::seconds(60)), std::future_status::ready);

    std::vector<std::string> want;
    for (const auto& [seq, first] : expected)
        want.push_back(std::to_string(seq) + ":" + first + ":unsaved");
    // The run's token is the only one in the journal.
    std::string token;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "token");
        db.setDatabaseName(path);
        QSqlQuery q(db);
        if (db.open() && q.exec("SELECT token FROM runs") && q.next())
            token = q.value(0).toString().toStdString();
    }
    QSqlDatabase::removeDatabase("token");
    EXPECT_EQ(LinesOf(path, token), want);
    journal.Finish();
    EXPECT_TRUE(LineTail::FindBeside(path).empty());
}
