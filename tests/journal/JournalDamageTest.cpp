#include "ChildProcess.h"
#include "JournalTestSupport.h"
#include "LineTail.h"
#include "LocalTime.h"
#include "TempDir.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <map>
#include <random>
#include <thread>

namespace fs = std::filesystem;

namespace {

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// Runs one statement on the journal as a tool of the operator would.
bool OnJournal(const fs::path& journal, const QString& sql, int* single = nullptr) {
    bool done = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "damage-tool");
        db.setDatabaseName(Q(journal));
        QSqlQuery q(db);
        done = db.open() && q.exec(sql);
        if (done && single)
            done = q.next() && (*single = q.value(0).toInt(), true);
    }
    QSqlDatabase::removeDatabase("damage-tool");
    return done;
}

// A run of journal_child recording steps into folder, killed once its journal
// holds every line (its write-ahead log not yet folded into the file).
struct KilledRun {
    KilledRun(const fs::path& journal, const fs::path& folder, int steps) {
        JournalChild child(Q(journal), Q(folder), steps, 0);
        EXPECT_TRUE(child.WaitFor([](const QString& line) { return line == "idle"; }));
        const int lines = ScriptLines(steps) - (steps >= 2000 ? 0 : 0);
        EXPECT_TRUE(WaitUntil([&] {
            int held = 0;
            return OnJournal(journal, "SELECT COUNT(*) FROM lines", &held) && held >= lines;
        }));
        pid = child.process.processId();
        child.Kill();
        notices = child.notices;
    }
    qint64 pid = 0;
    QStringList notices;
};

// Every record line of the CSV files in the folders, with how often it occurs.
std::map<std::string, int> RecordsIn(std::initializer_list<fs::path> folders) {
    std::map<std::string, int> records;
    for (const fs::path& folder : folders)
        for (const fs::path& file : CsvFilesIn(folder))
            for (const std::string& line : RecordLines(FileBytes(file)))
                ++records[line];
    return records;
}

// The record lines the first steps of the script make: in its automatic
// saves and in the mirror.
std::map<std::string, int> ScriptRecords(int steps) {
    TempDir scratch;
    LogUnderTest log(scratch.path());
    log.Play(0, steps);
    std::map<std::string, int> records = RecordsIn({scratch.path()});
    for (const std::string& line : RecordLines(log.MirrorBytes()))
        ++records[line];
    return records;
}

bool StartsWith(const fs::path& file, const std::string& prefix) {
    return file.filename().string().starts_with(prefix);
}

std::vector<fs::path> Entries(const fs::path& folder, const std::string& prefix) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (StartsWith(entry.path(), prefix))
            found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

struct NextStart {
    NextStart(const fs::path& journal, const fs::path& folder)
        : log(folder)
        , journal(log.window, nullptr, QStringLiteral("test"), Q(journal)) {
        StartAndWait(this->journal);
    }
    std::string Messages() const { return dialogs.messages.join('\n').toStdString(); }
    NoticeDialogs dialogs;
    LogUnderTest log;
    lrf::LogJournal journal;
};

} // namespace

// A journal emptied by a crash of the file system or a tool: what its
// write-ahead log and the killed run's line tail hold is salvaged and
// recovered, once, and the operator is told in one message.
TEST(JournalDamage, EmptiedJournalIsSalvagedFromItsLogAndTail) {
    struct Case {
        const char* name;
        bool keepLog;
        bool keepTail;
    };
    for (const Case& c : {Case{"its log and tail beside", true, true},
                          Case{"only its log", true, false}, Case{"only its tail", false, true}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path journal = dir / "journal.sqlite";
        const fs::path runFolder = dir / "run";
        const fs::path later = dir / "later";
        fs::create_directories(runFolder);
        fs::create_directories(later);
        KilledRun killed(journal, runFolder, 400);
        fs::resize_file(journal, 0);
        if (!c.keepLog) {
            fs::remove(Q(journal).toStdString() + "-wal");
            fs::remove(Q(journal).toStdString() + "-shm");
        }
        if (!c.keepTail)
            for (const auto& tail : lrf::journal::LineTail::FindBeside(Q(journal)))
                fs::remove(tail.path.toStdString());

        {
            NextStart next(journal, later);
            ASSERT_EQ(next.dialogs.messages.size(), 1) << next.Messages();
            EXPECT_TRUE(next.dialogs.messages[0].contains("it is empty. It was moved aside"))
                << next.Messages();
            EXPECT_TRUE(next.dialogs.messages[0].contains("recovered")) << next.Messages();
            EXPECT_TRUE(next.journal.journal().IsAvailable());
        }
        EXPECT_EQ(RecordsIn({runFolder, later}), ScriptRecords(400));
        const std::vector<fs::path> aside = Entries(dir.path(), "journal.sqlite.damaged-");
        ASSERT_FALSE(aside.empty());
        EXPECT_EQ(fs::file_size(aside[0]), 0u); // kept as it was
        EXPECT_EQ(fs::exists(aside[0].string() + "-wal"), c.keepLog);
        EXPECT_TRUE(lrf::journal::LineTail::FindBeside(Q(journal)).empty());

        NextStart again(journal, later);
        EXPECT_TRUE(again.dialogs.messages.isEmpty()) << again.Messages();
        EXPECT_EQ(RecordsIn({runFolder, later}), ScriptRecords(400));
    }
}

// Damage inside the file that the open does not see shows at the claim of the
// killed run's lines: the journal is moved aside with its log, what can be read
// is recovered, no record twice, and the next start is protected again.
TEST(JournalDamage, DamageFoundAtTheClaimIsMovedAsideOnce) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> damage;
    };
    const Case cases[] = {
        {"cut to half", [](const fs::path& j) { fs::resize_file(j, fs::file_size(j) / 2); }},
        {"8 KB of random bytes inside",
         [](const fs::path& j) {
             std::string bytes = FileBytes(j);
             std::mt19937 random(23);
             const std::size_t from = bytes.size() / 2 / 4096 * 4096;
             for (std::size_t i = from; i < std::min(bytes.size(), from + 8192); ++i)
                 bytes[i] = static_cast<char>(random());
             TempDir::WriteBytes(j, bytes);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path journal = dir / "journal.sqlite";
        const fs::path runFolder = dir / "run";
        fs::create_directories(runFolder);
        KilledRun killed(journal, runFolder, 1500);
        // Everything into the file itself, as a later checkpoint would have done.
        ASSERT_TRUE(OnJournal(journal, "PRAGMA wal_checkpoint(TRUNCATE)"));
        c.damage(journal);

        const std::map<std::string, int> script = ScriptRecords(1500);
        {
            NextStart next(journal, runFolder);
            ASSERT_EQ(next.dialogs.messages.size(), 1) << next.Messages();
            EXPECT_TRUE(next.dialogs.messages[0].contains("It was moved aside")) << next.Messages();
            EXPECT_TRUE(next.journal.journal().IsAvailable());
        }
        const std::map<std::string, int> records = RecordsIn({runFolder});
        EXPECT_FALSE(records.empty());
        for (const auto& [line, count] : records) {
            EXPECT_EQ(count, 1) << line;
            EXPECT_TRUE(script.contains(line)) << line;
        }
        EXPECT_EQ(Entries(dir.path(), "journal.sqlite.damaged-").size(), 1u);

        // No message at every start, no tails piling up.
        {
            NextStart again(journal, runFolder);
            EXPECT_TRUE(again.dialogs.messages.isEmpty()) << again.Messages();
            EXPECT_EQ(RecordsIn({runFolder}), records);
        }
        EXPECT_TRUE(lrf::journal::LineTail::FindBeside(Q(journal)).empty());
    }
}

// Damage that the writer meets during the run: the journal is moved aside with
// its log at once and salvaged, the run goes on in a new journal with every
// line that no file holds (its line tail has them), the operator is told once,
// and after the run every record is in exactly one file.
TEST(JournalDamage, DamageFoundDuringTheRunIsReplacedAtOnceAndNothingIsLost) {
    constexpr std::uintmax_t kKept = 8 * 4096; // the first pages: the tables' roots
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> damage;
    };
    const Case cases[] = {
        {"random bytes past the tables' roots",
         [](const fs::path& j) {
             std::fstream file(j, std::ios::in | std::ios::out | std::ios::binary);
             std::mt19937 random(23);
             std::string bytes(fs::file_size(j) - kKept, '\0');
             for (char& byte : bytes)
                 byte = static_cast<char>(random());
             file.seekp(static_cast<std::streamoff>(kKept));
             file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
         }},
        {"cut after the tables' roots", [](const fs::path& j) { fs::resize_file(j, kKept); }},
    };
    constexpr int kSteps = 3000;
    const std::map<std::string, int> script = ScriptRecords(kSteps);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path journal = dir / "journal.sqlite";
        const fs::path runFolder = dir / "run";
        fs::create_directories(runFolder);
        {
            NoticeDialogs dialogs;
            LogUnderTest log(runFolder);
            lrf::LogJournal lj(log.window, nullptr, QStringLiteral("test"), Q(journal));
            StartAndWait(lj);
            log.Play(0, 2600); // the automatic save at record 2000 among them
            lj.journal().Flush().wait();
            // Everything into the file itself, which is then damaged; another
            // program's commit makes the writer read the file again.
            int busy = -1;
            ASSERT_TRUE(OnJournal(journal, "PRAGMA wal_checkpoint(TRUNCATE)", &busy));
            ASSERT_EQ(busy, 0);
            c.damage(journal);
            ASSERT_TRUE(OnJournal(journal, "UPDATE journal_info SET value = value"));

            log.Play(2600, kSteps);
            ASSERT_TRUE(WaitUntil([&] { return !dialogs.messages.isEmpty(); }));
            ASSERT_EQ(lj.journal().Flush().wait_for(std::chrono::seconds(60)),
                      std::future_status::ready);
            WaitUntil([] { return false; }, 50);
            ASSERT_EQ(dialogs.messages.size(), 1) << dialogs.messages.join('\n').toStdString();
            EXPECT_TRUE(dialogs.messages[0].contains("was found damaged during the run"))
                << dialogs.messages[0].toStdString();
            EXPECT_TRUE(lj.journal().IsAvailable());
            lj.Finish();
        }
        std::vector<fs::path> movedAside;
        for (const fs::path& entry : Entries(dir.path(), "journal.sqlite.damaged-"))
            if (!entry.string().ends_with("-wal") && !entry.string().ends_with("-shm"))
                movedAside.push_back(entry);
        EXPECT_EQ(movedAside.size(), 1u);
        EXPECT_TRUE(lrf::journal::LineTail::FindBeside(Q(journal)).empty());

        // The lines since the automatic save come back once, from the new journal.
        {
            NextStart next(journal, runFolder);
            EXPECT_EQ(next.dialogs.messages.size(), 1) << next.Messages();
        }
        EXPECT_EQ(RecordsIn({runFolder}), script);
    }
}

// A kill in the middle of an automatic save, at each of its steps as the disk
// then holds them: the next start leaves no part file and no empty file, and
// every record is in exactly one file.
TEST(JournalDamage, SaveCutShortAtEachStepKeepsEveryRecordOnce) {
    struct Case {
        const char* name;
        bool part;    // the part file was written, not yet renamed
        bool renamed; // the file has its final name; the journal never heard
        bool cut;     // the part was cut short
    };
    for (const Case& c :
         {Case{"part being written", true, false, true}, Case{"part written", true, false, false},
          Case{"renamed, not marked", false, true, false}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path journal = dir / "journal.sqlite";
        const fs::path runFolder = dir / "run";
        fs::create_directories(runFolder);
        KilledRun killed(journal, runFolder, 300);
        TempDir scratch;
        LogUnderTest reference(scratch.path());
        reference.Play(0, 300);
        std::string bytes = reference.MirrorBytes();
        if (c.cut)
            bytes.resize(bytes.size() / 3);
        const std::string stem = lrf::AutoSaveStem(lrf::LocalNow());
        if (c.part)
            TempDir::WriteBytes(
                runFolder / ("." + stem + ".csv." + std::to_string(killed.pid) + ".part"), bytes);
        if (c.renamed)
            TempDir::WriteBytes(runFolder / (stem + ".csv"), bytes);

        NextStart next(journal, runFolder);
        EXPECT_EQ(next.dialogs.messages.size(), c.renamed ? 0 : 1) << next.Messages();
        EXPECT_EQ(RecordsIn({runFolder}), ScriptRecords(300));
        EXPECT_TRUE(Entries(runFolder, ".").empty()); // no part file left
        for (const fs::path& file : CsvFilesIn(runFolder))
            EXPECT_GT(fs::file_size(file), 0u);
    }
}

// Killed during the automatic save at record 2000, at delays from 0 to 20 ms
// after its file appears: after the next start every record handed to the log
// is in exactly one file, and no empty or part file is left.
TEST(JournalDamage, KilledDuringTheAutomaticSaveEveryRecordOnce) {
    for (const int delayMs : {0, 2, 4, 6, 9, 11, 13, 15, 18, 20}) {
        SCOPED_TRACE(delayMs);
        TempDir dir;
        const fs::path journal = dir / "journal.sqlite";
        const fs::path runFolder = dir / "run";
        fs::create_directories(runFolder);
        JournalChild child(Q(journal), Q(runFolder), 2300, 0);
        ASSERT_TRUE(child.WaitForStep(1900)) << child.steps;
        QElapsedTimer clock;
        clock.start();
        while (fs::directory_iterator(runFolder) == fs::directory_iterator() &&
               clock.elapsed() < 30000) {
        }
        ASSERT_FALSE(fs::is_empty(runFolder));
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs)); // the kill's moment
        child.Kill();
        const int steps = child.steps;

        NextStart next(journal, runFolder);
        const std::map<std::string, int> records = RecordsIn({runFolder});
        EXPECT_TRUE(records == ScriptRecords(steps) || records == ScriptRecords(steps + 1))
            << steps << " steps; " << records.size() << " distinct records; " << next.Messages();
        for (const auto& [line, count] : records)
            ASSERT_EQ(count, 1) << line;
        EXPECT_TRUE(Entries(runFolder, ".").empty());
        for (const fs::path& file : CsvFilesIn(runFolder))
            EXPECT_GT(fs::file_size(file), 0u);
    }
}
