#include "ChildProcess.h"
#include "JournalTestSupport.h"
#include "LineTail.h"
#include "TempDir.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// True when bytes are what the automatic save would have written after the
// steps printed, or after the one more that may have been handed over before
// the kill came but not printed: every line handed to the log survives a kill.
bool IsMirrorAtStep(const std::string& bytes, int printed) {
    TempDir scratch;
    LogUnderTest log(scratch.path());
    log.Play(0, printed);
    if (bytes == log.MirrorBytes())
        return true;
    log.Play(printed, printed + 1);
    return bytes == log.MirrorBytes();
}

// Holds the journal's write lock, as another program's long commit would, so
// that the writer thread of the program on it falls behind.
class WriterHeldUp {
public:
    explicit WriterHeldUp(const fs::path& journal) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", kName);
        db.setDatabaseName(QString::fromStdString(journal.string()));
        held = db.open() && QSqlQuery(db).exec("BEGIN IMMEDIATE");
    }
    ~WriterHeldUp() {
        {
            QSqlDatabase db = QSqlDatabase::database(kName);
            QSqlQuery(db).exec("ROLLBACK");
            db.close();
        }
        QSqlDatabase::removeDatabase(kName);
    }
    bool held = false;

private:
    static constexpr const char* kName = "held-up-writer";
};

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
    // Killed while its writer thread is held up: the lines it has not committed
    // are in the run's line tail.
    {
        WriterHeldUp heldUp(journal);
        ASSERT_TRUE(heldUp.held);
        const int before = child.steps;
        ASSERT_TRUE(child.WaitForStep(before + 200)) << child.steps;
        child.Kill();
        EXPECT_LT(FirstRunLines(journal), ScriptLines(child.steps) - 100);
    }
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
        EXPECT_TRUE(IsMirrorAtStep(bytes, child.steps))
            << records << " records recovered after " << child.steps << " steps";
        EXPECT_EQ(FileBytes(autoSaves[0]), autoSaved);
        EXPECT_TRUE(CsvFilesIn(laterFolder).empty());
    }
    // The killed run's line tail is merged, the ended run's own removed.
    EXPECT_TRUE(lrf::journal::LineTail::FindBeside(Q(journal)).empty());
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
    child.Kill();

    NextStart next(journal, second);
    ASSERT_EQ(next.dialogs.messages.size(), 1) << next.dialogs.messages.join('\n').toStdString();
    ASSERT_EQ(CsvFilesIn(first).size(), 1u);
    EXPECT_EQ(CsvFilesIn(second).size(), 1u); // only the other's save at exit
    const std::string bytes = FileBytes(CsvFilesIn(first)[0]);
    EXPECT_TRUE(IsMirrorAtStep(bytes, child.steps))
        << RecordLines(bytes).size() << " records after " << child.steps;
}
