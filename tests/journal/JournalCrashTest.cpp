#include "ChildProcess.h"
#include "JournalTestSupport.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// What the automatic save would write after the first steps of the script.
std::string MirrorAfter(int steps) {
    TempDir scratch;
    LogUnderTest log(scratch.path());
    log.Play(0, steps);
    return log.MirrorBytes();
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
        // At most the step in flight when the kill came is missing or extra.
        bool matched = false;
        for (int steps = child.steps - 1; steps <= child.steps + 1 && !matched; ++steps)
            matched = bytes == MirrorAfter(steps);
        EXPECT_TRUE(matched) << records << " records recovered after " << child.steps << " steps";
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
    child.Kill();

    NextStart next(journal, second);
    ASSERT_EQ(next.dialogs.messages.size(), 1) << next.dialogs.messages.join('\n').toStdString();
    ASSERT_EQ(CsvFilesIn(first).size(), 1u);
    EXPECT_EQ(CsvFilesIn(second).size(), 1u); // only the other's save at exit
    const std::string bytes = FileBytes(CsvFilesIn(first)[0]);
    bool matched = false;
    for (int steps = child.steps - 1; steps <= child.steps + 1 && !matched; ++steps)
        matched = bytes == MirrorAfter(steps);
    EXPECT_TRUE(matched) << RecordLines(bytes).size() << " records after " << child.steps;
}
