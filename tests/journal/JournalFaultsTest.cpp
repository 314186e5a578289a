#include "JournalOutbox.h"
#include "JournalTestSupport.h"
#include "SqliteJournalStore.h"
#include "TempDir.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// Makes an SQLite file with the given statements, as another program would.
void MakeDatabase(const fs::path& file, const QStringList& statements) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "maker");
        db.setDatabaseName(Q(file));
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        for (const QString& sql : statements)
            ASSERT_TRUE(query.exec(sql)) << sql.toStdString();
    }
    QSqlDatabase::removeDatabase("maker");
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct Case {
    const char* name;
    std::function<void(const fs::path& journal)> prepare;
    const char* notice; // what the one message at start says
    bool available;     // the program journals all the same
    bool movedAside;    // the old file now is "<name>.damaged-<time>"
    bool keptAsItWas;   // the old file's bytes are untouched
};

} // namespace

// Every journal that cannot be used as it is gives one clear message at start,
// and the program goes on: with a new journal where a damaged one of ours could
// be moved aside, without one otherwise. A file that is not a journal of ours
// is never changed or moved.
TEST(JournalFaults, BadJournalsAreReportedOnceAndTheProgramGoesOn) {
    const Case cases[] = {
        {"a damaged journal",
         [](const fs::path& j) {
             {
                 lrf::journal::SqliteJournalStore store(Q(j));
                 store.Open();
             }
             // The page of its runs, which every start writes, overwritten.
             QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "pages");
             db.setDatabaseName(Q(j));
             ASSERT_TRUE(db.open());
             QSqlQuery q(db);
             ASSERT_TRUE(q.exec("SELECT rootpage FROM sqlite_master WHERE name = 'runs'") &&
                         q.next());
             const int page = q.value(0).toInt();
             q.finish();
             db.close();
             db = QSqlDatabase();
             QSqlDatabase::removeDatabase("pages");
             std::string bytes = FileBytes(j);
             bytes.replace(static_cast<std::size_t>(page - 1) * 4096, 4096,
                           std::string(4096, '\x5a'));
             TempDir::WriteBytes(j, bytes);
         },
         "could not be read: it is not an intact SQLite database", true, true, false},
        {"a text file", [](const fs::path& j) { TempDir::WriteBytes(j, "shopping list\nmilk\n"); },
         "cannot be used (it is not a journal of this program, nor any SQLite database)", false,
         false, true},
        {"a file of random bytes",
         [](const fs::path& j) { TempDir::WriteBytes(j, std::string(4096, '\x5a')); },
         "cannot be used (it is not a journal of this program", false, false, true},
        {"another program's database",
         [](const fs::path& j) { MakeDatabase(j, {"CREATE TABLE notes (text TEXT)"}); },
         "cannot be used (it is a database of another program)", false, false, true},
        {"another program's database in WAL mode",
         [](const fs::path& j) {
             MakeDatabase(j,
                          {"PRAGMA application_id = 1234", "PRAGMA journal_mode = WAL",
                           "CREATE TABLE stock (item TEXT)", "INSERT INTO stock VALUES ('bolts')"});
         },
         "cannot be used (it is a database of another program)", false, false, true},
        {"a journal of a newer version",
         [](const fs::path& j) {
             MakeDatabase(j, {QString("PRAGMA application_id = %1")
                                  .arg(lrf::journal::SqliteJournalStore::kApplicationId),
                              "PRAGMA user_version = 99", "CREATE TABLE runs (id INTEGER)"});
         },
         "written by a newer version of this program (journal format 99, this version reads up "
         "to ",
         false, false, true},
        {"a folder that cannot be made",
         [](const fs::path& j) { TempDir::WriteBytes(j.parent_path(), "a file, not a folder"); },
         "Measurements are not protected against a crash in this run: the journal", false, false,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path folder = dir / "data";
        const fs::path journal = folder / "journal.sqlite";
        if (std::string(c.name) != "a folder that cannot be made")
            fs::create_directories(folder);
        c.prepare(journal);
        const std::string before = fs::is_regular_file(journal) ? FileBytes(journal) : "";

        NoticeDialogs dialogs;
        {
            LogUnderTest log(dir.path());
            lrf::LogJournal lj(log.window, nullptr, "test", Q(journal));
            StartAndWait(lj);
            ASSERT_EQ(dialogs.messages.size(), 1) << dialogs.messages.join('\n').toStdString();
            EXPECT_TRUE(dialogs.messages[0].contains(c.notice))
                << dialogs.messages[0].toStdString();
            EXPECT_EQ(lj.journal().IsAvailable(), c.available);
            log.Play(0, 3);                      // recording goes on either way
            EXPECT_EQ(log.window.RowCount(), 4); // the header and three records
        }
        if (c.keptAsItWas) {
            EXPECT_EQ(FileBytes(journal), before);
            if (!c.movedAside && !c.available) { // nothing beside it either
                EXPECT_EQ(Names(folder).size(), fs::exists(journal.string() + "-wal") ? 2u : 1u);
            }
        }
        if (c.movedAside) {
            const std::vector<std::string> names = Names(folder);
            const auto damaged = std::find_if(names.begin(), names.end(), [](const std::string& n) {
                return n.starts_with("journal.sqlite.damaged-");
            });
            ASSERT_NE(damaged, names.end());
            EXPECT_EQ(FileBytes(folder / *damaged), before);
        }
        if (c.available) {
            // The new journal holds the lines of that run: the next start recovers them.
            dialogs.messages.clear();
            LogUnderTest log(dir.path());
            lrf::LogJournal lj(log.window, nullptr, "test", Q(journal));
            StartAndWait(lj);
            ASSERT_EQ(dialogs.messages.size(), 1);
            EXPECT_TRUE(dialogs.messages[0].startsWith("3 records"))
                << dialogs.messages[0].toStdString();
        }
    }
}

// A journal of the first format, left by a run that crashed with records no
// file took: it is upgraded in place, its records are recovered as before, and
// none of them goes to a record store (only lines of runs with a store do).
TEST(JournalFaults, FirstFormatJournalIsUpgradedAndRecovered) {
    TempDir dir;
    const fs::path journal = dir / "journal.sqlite";
    const QString cells = "'X1','C7'";
    QStringList v1{
        QString("PRAGMA application_id = %1").arg(lrf::journal::SqliteJournalStore::kApplicationId),
        "PRAGMA user_version = 1",
        "CREATE TABLE runs (id INTEGER PRIMARY KEY, token TEXT NOT NULL UNIQUE, started_at TEXT "
        "NOT NULL, ended_at TEXT, synced_at TEXT, working_dir TEXT NOT NULL, program_version TEXT "
        "NOT NULL, recovered_by INTEGER REFERENCES runs(id))",
        "CREATE TABLE csv_files (id INTEGER PRIMARY KEY, path TEXT NOT NULL, written_at TEXT NOT "
        "NULL)",
        "CREATE TABLE lines (run_id INTEGER NOT NULL REFERENCES runs(id), seq INTEGER NOT NULL, "
        "grid_row INTEGER NOT NULL, sn TEXT NOT NULL, linear TEXT NOT NULL, unit TEXT NOT NULL, "
        "speed TEXT NOT NULL, speed_unit TEXT NOT NULL, place TEXT NOT NULL, destination TEXT NOT "
        "NULL, date_time TEXT NOT NULL, model TEXT NOT NULL, lrf_code TEXT NOT NULL, taken_by "
        "INTEGER REFERENCES csv_files(id), PRIMARY KEY (run_id, seq)) WITHOUT ROWID",
        "CREATE INDEX lines_unsaved ON lines(run_id, seq) WHERE taken_by IS NULL",
        QString("INSERT INTO runs (token, started_at, working_dir, program_version) VALUES "
                "('crashed', '2024-03-05T14:00:00.000+00:00', '%1', '1.9')")
            .arg(Q(dir.path())),
    };
    for (int seq = 1; seq <= 3; ++seq)
        v1 << QString("INSERT INTO lines VALUES (1, %1, %1, '%1', ' 12.%1', 'M', '---.-', 'KPH', "
                      "'Quay', 'Mast', '2024/03/05 14:00:0%1.0', %2, NULL)")
                  .arg(seq)
                  .arg(cells);
    MakeDatabase(journal, v1);

    NoticeDialogs dialogs;
    LogUnderTest log(dir.path());
    lrf::LogJournal lj(log.window, nullptr, "test", Q(journal), true);
    StartAndWait(lj);
    ASSERT_EQ(dialogs.messages.size(), 1) << dialogs.messages.join('\n').toStdString();
    EXPECT_TRUE(dialogs.messages[0].startsWith("3 records")) << dialogs.messages[0].toStdString();
    const std::vector<fs::path> files = CsvFilesIn(dir.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(
        RecordLines(FileBytes(files[0])),
        (std::vector<std::string>{"1, 12.1,M,---.-,KPH,Quay,Mast,2024/03/05 14:00:01.0,X1,C7",
                                  "2, 12.2,M,---.-,KPH,Quay,Mast,2024/03/05 14:00:02.0,X1,C7",
                                  "3, 12.3,M,---.-,KPH,Quay,Mast,2024/03/05 14:00:03.0,X1,C7"}));
    log.Play(0, 2);
    lj.journal().Flush().wait();
    lj.Finish();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reader");
        db.setDatabaseName(Q(journal));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("PRAGMA user_version") && q.next());
        EXPECT_EQ(q.value(0).toInt(), lrf::journal::SqliteJournalStore::kSchemaVersion);
        ASSERT_TRUE(q.exec("SELECT run_id, count(*) FROM lines WHERE forwarded IS NULL GROUP BY "
                           "run_id"));
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toInt(), 2); // this run's two lines wait for the store
        EXPECT_EQ(q.value(1).toInt(), 2);
        EXPECT_FALSE(q.next());
    }
    QSqlDatabase::removeDatabase("reader");
}

namespace {

// A folder with little room: a small tmpfs where mounting is allowed,
// otherwise a plain folder with a small file size limit for this process.
class SmallDisk {
public:
    explicit SmallDisk(const fs::path& folder)
        : folder(folder) {
        fs::create_directories(folder);
        // 150 KB free; once the filler goes, room for the journal, its
        // write-ahead log and the run's line tail.
        mounted = mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=2m") == 0;
        if (mounted) {
            TempDir::WriteBytes(folder / "filler", std::string(1898 * 1024, 'f'));
            return;
        }
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of ending us
        getrlimit(RLIMIT_FSIZE, &original);
        rlimit small = original;
        small.rlim_cur = 96 * 1024;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~SmallDisk() {
        if (mounted)
            umount2(folder.c_str(), MNT_DETACH);
        else
            setrlimit(RLIMIT_FSIZE, &original);
    }
    void Free() {
        if (mounted)
            fs::remove(folder / "filler");
        else
            setrlimit(RLIMIT_FSIZE, &original);
    }
    bool mounted = false;

private:
    fs::path folder;
    rlimit original{};
};

} // namespace

// A full disk stops the journal's writes, says so once, keeps the records
// and writes them all once there is room again.
TEST(JournalFaults, FullDiskKeepsTheRecordsUntilThereIsRoom) {
    TempDir dir;
    NoticeDialogs dialogs;
    constexpr int kSteps = 3000;
    {
        SmallDisk disk(dir / "small");
        LogUnderTest log(dir.path());
        lrf::LogJournal lj(log.window, nullptr, "test", Q(dir / "small" / "journal.sqlite"));
        StartAndWait(lj);
        ASSERT_TRUE(lj.journal().IsAvailable()) << dialogs.messages.join('\n').toStdString();
        // Short of the automatic save at record 2000, which needs room too
        // where the limit is the file size.
        int step = 0;
        for (; step < 1800 && dialogs.messages.isEmpty(); step += 10) {
            log.Play(step, step + 10);
            WaitUntil([] { return false; }, 2);
        }
        ASSERT_TRUE(WaitUntil([&] { return !dialogs.messages.isEmpty(); }))
            << "the disk never filled; tmpfs: " << disk.mounted;
        EXPECT_TRUE(dialogs.messages[0].contains("cannot be written"))
            << dialogs.messages[0].toStdString();
        log.Play(step, step + 100); // while the journal cannot take them
        step += 100;
        WaitUntil([] { return false; }, 50);
        disk.Free();
        log.Play(step, kSteps);
        lj.journal().Flush().wait();
        WaitUntil([] { return false; }, 50);
        EXPECT_EQ(dialogs.messages.size(), 1) << dialogs.messages.join('\n').toStdString();
        lj.Finish();
        dialogs.messages.clear();

        LogUnderTest next(dir.path());
        lrf::LogJournal again(next.window, nullptr, "test", Q(dir / "small" / "journal.sqlite"));
        StartAndWait(again);
        ASSERT_EQ(dialogs.messages.size(), 1) << dialogs.messages.join('\n').toStdString();
        // Every line since the automatic save at record 2000 is recovered.
        const std::vector<fs::path> files = CsvFilesIn(dir.path());
        ASSERT_EQ(files.size(), 2u) << dialogs.messages.join(QChar(10)).toStdString();
        fs::create_directories(dir / "reference");
        LogUnderTest reference(dir / "reference");
        reference.Play(0, kSteps);
        const fs::path recovered =
            fs::file_size(files[0]) > fs::file_size(files[1]) ? files[1] : files[0];
        EXPECT_EQ(FileBytes(recovered), reference.MirrorBytes());
    }
}

// The journal's disk is full when the save at exit has to mark its lines: the
// mark is lost, yet the next start finds the lines in the exit's file, cell
// for cell, and recovers none of them a second time.
TEST(JournalFaults, FullDiskAtExitRecoversNothingTheExitFileHolds) {
    TempDir dir;
    const fs::path work = dir / "work";
    fs::create_directories(work);
    const fs::path journal = dir / "journal.sqlite";
    NoticeDialogs dialogs;
    {
        LogUnderTest log(work);
        lrf::LogJournal lj(log.window, nullptr, "test", Q(journal));
        StartAndWait(lj);
        log.Play(0, 80);
        lj.journal().Flush().wait();
        // No file may grow from here on: the write-ahead log takes no mark.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit original{};
        getrlimit(RLIMIT_FSIZE, &original);
        rlimit full = original;
        full.rlim_cur = fs::file_size(journal.string() + "-wal");
        setrlimit(RLIMIT_FSIZE, &full);
        EXPECT_TRUE(log.window.SaveMirrorAtExit());
        lj.Finish();
        setrlimit(RLIMIT_FSIZE, &original);
        EXPECT_TRUE(WaitUntil([&] { return !dialogs.messages.isEmpty(); }));
        EXPECT_TRUE(dialogs.messages.join("").contains("cannot be written"));
    }
    ASSERT_EQ(CsvFilesIn(work).size(), 1u);
    const std::string exitFile = FileBytes(CsvFilesIn(work)[0]);
    EXPECT_EQ(RecordLines(exitFile).size(), static_cast<std::size_t>(ScriptLines(80)));

    dialogs.messages.clear();
    for (int start = 0; start < 2; ++start) {
        LogUnderTest next(work);
        lrf::LogJournal again(next.window, nullptr, "test", Q(journal));
        StartAndWait(again);
        EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();
        ASSERT_EQ(CsvFilesIn(work).size(), 1u);
        EXPECT_EQ(FileBytes(CsvFilesIn(work)[0]), exitFile);
    }
}

// The record store's reader follows a journal that was replaced under it (moved
// aside as damaged during the run), and never makes one itself meanwhile.
TEST(JournalOutbox, FollowsAJournalReplacedUnderIt) {
    TempDir dir;
    const fs::path journal = dir / "journal.sqlite";
    lrf::journal::SqliteJournalStore store(Q(journal));
    store.Open();
    lrf::journal::JournalOutbox outbox(Q(journal));
    outbox.Open();
    const std::string firstId = outbox.JournalId();
    EXPECT_TRUE(outbox.IsStillAtPath());
    store.Close();
    fs::rename(journal, dir / "journal.sqlite.damaged-1");
    EXPECT_FALSE(outbox.IsStillAtPath());
    outbox.Close();
    EXPECT_THROW(outbox.Open(), lrf::journal::JournalError);
    EXPECT_FALSE(fs::exists(journal));

    lrf::journal::SqliteJournalStore replaced(Q(journal));
    replaced.Open();
    outbox.Open();
    EXPECT_TRUE(outbox.IsStillAtPath());
    EXPECT_NE(outbox.JournalId(), firstId);
    outbox.Close();
    replaced.Close();
}
