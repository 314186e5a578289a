#include "ChildProcess.h"
#include "JournalTestSupport.h"
#include "TempDir.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// Lines handed over in the last milliseconds before a kill may not have reached
// the writer thread yet, more of them on a loaded machine; a journal that held
// lines back for its group commit would lose hundreds at this pace.
constexpr int kInFlight = 20;

// True when bytes are what the automatic save would have written after some
// number of steps of the script between printed - kInFlight and printed + 1.
bool IsMirrorNearStep(const std::string& bytes, int printed) {
    TempDir scratch;
    LogUnderTest log(scratch.path());
    log.Play(0, std::max(0, printed - kInFlight));
    for (int steps = std::max(0, printed - kInFlight); steps <= printed + 1; ++steps) {
        if (bytes == log.MirrorBytes())
            return true;
        log.Play(steps, steps + 1);
    }
    return false;
}

// The lines the journal holds of its first run.
int FirstRunLines(const fs::path& journal) {
    int lines = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "first-run-reader");
        db.setDatabaseName(QString::fromStdString(journal.string()));
        QSqlQuery q(db);
        if (db.open() &&
            q.exec("SELECT COUNT(*) FROM lines WHERE run_id = (SELECT MIN(id) FROM runs)") &&
            q.next())
            lines = q.value(0).toInt();
    }
    QSqlDatabase::removeDatabase("first-run-reader");
    return lines;
}

// The next start of the program in folder: a log window and its journal.
struct NextStart {
    NextStart(const fs::path& journal, const fs::path& folder)
        : log(folder)
        , journal(log.window, nullptr, QStringLiteral("test"), Q(journal)) {
        StartAndWait(this->journal);
    }
    NoticeDialogs dialogs;
    LogUnderTest log;
    lrf::LogJournal journal;
};

} // namespace

// Killed past an automatic save, in the middle of its run: the next start
// writes the lines since that save into a new file of the run's folder, byte
// for byte as the automatic save would have written them, says so once, and
// the start after it recovers nothing.
TEST(JournalCrash, KilledRunIsRecoveredOnceAsItsAutomaticSave) {
    TempDir dir;
    const fs::path journal = dir / "journal.sqlite";
    const fs::path runFolder = dir / "run";
    const fs::path laterFolder = dir / "later";
    fs::create_directories(runFolder);
    fs::create_directories(laterFolder);

    JournalChild child(Q(journal), Q(runFolder), 100000, 1);
    ASSERT_TRUE(child.WaitForStep(2600)) << child.steps;
    // The automatic save's marks can hold the writer up for a while on a slow
    // machine; the kill comes once it has caught up with the lines again.
    ASSERT_TRUE(child.WaitFor([&](const QString&) {
        return FirstRunLines(journal) >= ScriptLines(child.steps) - kInFlight / 2;
    })) << FirstRunLines(journal)
        << " lines in the journal after " << child.steps << " steps";
    child.Kill();
    ASSERT_TRUE(child.notices.isEmpty()) << child.notices.join('\n').toStdString();
    const std::vector<fs::path> autoSaves = CsvFilesIn(runFolder);
    ASSERT_EQ(autoSaves.size(), 1u); // the save at record 2000
    const std::string autoSaved = FileBytes(autoSaves[0]);

    {
        NextStart next(journal, laterFolder);
        ASSERT_EQ(next.dialogs.messages.size(), 1)
            << next.dialogs.messages.join('\n').toStdString();
        const std::vector<fs::path> files = CsvFilesIn(runFolder);
        ASSERT_EQ(files.size(), 2u);
        const fs::path recovered = files[0] == autoSaves[0] ? files[1] : files[0];
        EXPECT_TRUE(next.dialogs.messages[0].contains(Q(recovered)))
            << next.dialogs.messages[0].toStdString();
        const std::string bytes = FileBytes(recovered);
        const std::size_t records = RecordLines(bytes).size();
        EXPECT_TRUE(next.dialogs.messages[0].startsWith(QString::number(records) + " records"));
        EXPECT_TRUE(IsMirrorNearStep(bytes, child.steps))
            << records << " records recovered after " << child.steps << " steps";
        EXPECT_EQ(FileBytes(autoSaves[0]), autoSaved);
        EXPECT_TRUE(CsvFilesIn(laterFolder).empty());
    }
    NextStart again(journal, laterFolder);
    EXPECT_TRUE(again.dialogs.messages.isEmpty())
        << again.dialogs.messages.join('\n').toStdString();
    EXPECT_EQ(CsvFilesIn(runFolder).size(), 2u);
    EXPECT_TRUE(CsvFilesIn(laterFolder).empty());
}

// A program that starts while another records into the same journal takes
// nothing of the living run; both write side by side; once the first is
// killed, the next start recovers its lines and only them.
TEST(JournalCrash, TwoProgramsShareOneJournal) {
    TempDir dir;
    const fs::path journal = dir / "journal.sqlite";
    const fs::path first = dir / "first";
    const fs::path second = dir / "second";
    fs::create_directories(first);
    fs::create_directories(second);

    JournalChild child(Q(journal), Q(first), 100000, 2);
    ASSERT_TRUE(child.WaitForStep(100));
    {
        NextStart other(journal, second);
        EXPECT_TRUE(other.dialogs.messages.isEmpty())
            << other.dialogs.messages.join('\n').toStdString();
        other.log.Play(0, 300);
        other.journal.journal().Flush().wait();
        other.log.window.SaveMirrorAtExit();
        other.journal.Finish();
        EXPECT_TRUE(other.dialogs.messages.isEmpty())
            << other.dialogs.messages.join('\n').toStdString();
    }
    EXPECT_EQ(CsvFilesIn(first).size(), 0u);
    ASSERT_TRUE(child.WaitForStep(child.steps + 50));
    // The first program's writer waited for the other's commits; once it has
    // caught up, the kill finds no more than the usual lines in flight.
    ASSERT_TRUE(child.WaitFor([&](const QString&) {
        return FirstRunLines(journal) >= ScriptLines(child.steps) - kInFlight / 2;
    })) << FirstRunLines(journal)
        << " lines in the journal after " << child.steps << " steps";
    child.Kill();

    NextStart next(journal, second);
    ASSERT_EQ(next.dialogs.messages.size(), 1) << next.dialogs.messages.join('\n').toStdString();
    ASSERT_EQ(CsvFilesIn(first).size(), 1u);
    EXPECT_EQ(CsvFilesIn(second).size(), 1u); // only the other's save at exit
    const std::string bytes = FileBytes(CsvFilesIn(first)[0]);
    EXPECT_TRUE(IsMirrorNearStep(bytes, child.steps))
        << RecordLines(bytes).size() << " records after " << child.steps;
}
