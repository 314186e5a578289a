#include "CsvFile.h"
#include "OrdinaryUser.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace lrf;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kLines{
    "SN,Linear,Unit,Speed,Unit,Place,Distination,DateTime,Model,LRF Code",
    "1,  12.3,M,---.-,KPH,Quay,,2024/03/05 14:07:39.52,X1,",
    "2,----.-,M,  45.6,KPH,\"Bay, east\",,2024/03/05 14:07:40.7,X1,",
};
const std::string kBytes = "SN,Linear,Unit,Speed,Unit,Place,Distination,DateTime,Model,LRF Code\r\n"
                           "1,  12.3,M,---.-,KPH,Quay,,2024/03/05 14:07:39.52,X1,\r\n"
                           "2,----.-,M,  45.6,KPH,\"Bay, east\",,2024/03/05 14:07:40.7,X1,\r\n";
const LocalDateTime kTime{2024, 3, 5, 14, 7, 39, 52};

#ifndef _WIN32
// Lets files in this process grow to at most `bytes` while it lives, so that a
// write fails part-way on a real file (the signal is ignored, the write
// reports EFBIG instead).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved);
        previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
    }

private:
    rlimit saved{};
    void (*previous)(int) = nullptr;
};
#endif

template <typename F> std::string ErrorOf(F&& action) {
    try {
        action();
    } catch (const CsvFileError& e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(SaveErrorText, SystemErrorsToTexts) {
    const struct {
        int systemError;
        std::string text;
    } cases[] = {
        {ENOENT, "Invalid filename"},
        {ENOTDIR, "Invalid filename"},
        {ENAMETOOLONG, "Invalid filename"},
        {EMFILE, "Too many open files"},
        {ENFILE, "Too many open files"},
        {EACCES, "File access denied"},
        {EROFS, "File access denied"},
        {EISDIR, "File access denied"},
        {ENOSPC, "Disk full"},
        // Other numbers are named as they are, also where they coincide with
        // the numbers of the texts above (5, 101 on Linux).
        {EIO, "I/O error " + std::to_string(EIO)},
        {EFBIG, "I/O error " + std::to_string(EFBIG)},
        {EINTR, "I/O error " + std::to_string(EINTR)},
        {ENETUNREACH, "I/O error " + std::to_string(ENETUNREACH)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SaveErrorText(c.systemError), c.text) << c.systemError;
#ifdef EDQUOT
    EXPECT_EQ(SaveErrorText(EDQUOT), "Disk full");
#endif
}

TEST(ManualSave, ExactBytesCrLfNoByteOrderMark) {
    TempDir dir;
    WriteCsvFile(dir / "log.csv", kLines);
    EXPECT_EQ(TempDir::ReadBytes(dir / "log.csv"), kBytes);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"log.csv"}); // no temporary left

    WriteCsvFile(dir / "empty.csv", {});
    EXPECT_EQ(TempDir::ReadBytes(dir / "empty.csv"), "");
}

TEST(ManualSave, ReplacesAnExistingFileAndKeepsItsRights) {
    TempDir dir;
    TempDir::WriteBytes(dir / "log.csv", std::string(100000, 'x'));
    fs::permissions(dir / "log.csv", fs::perms::owner_read | fs::perms::owner_write);
    WriteCsvFile(dir / "log.csv", kLines);
    EXPECT_EQ(TempDir::ReadBytes(dir / "log.csv"), kBytes);
#ifndef _WIN32 // Windows files carry no POSIX mode bits
    EXPECT_EQ(fs::status(dir / "log.csv").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
#endif
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"log.csv"});
}

TEST(ManualSave, AWriteProtectedFileIsRefusedAndKept) {
    TempDir dir;
    TempDir::WriteBytes(dir / "log.csv", "protected\r\n");
    fs::permissions(dir / "log.csv", fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(ErrorOf([&] { WriteCsvFile(dir / "log.csv", kLines); }), "File access denied");
    EXPECT_EQ(TempDir::ReadBytes(dir / "log.csv"), "protected\r\n");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"log.csv"});
}

#ifndef _WIN32
TEST(ManualSave, AWritableFileInAFolderThatTakesNoNewFiles) {
    if (geteuid() == 0)
        GTEST_SKIP() << "folder rights do not bind the superuser";
    TempDir dir;
    const fs::path shut = dir / "shut";
    fs::create_directory(shut);
    TempDir::WriteBytes(shut / "log.csv", "old\r\n");
    fs::permissions(shut, fs::perms::owner_read | fs::perms::owner_exec);
    const std::string replaced = ErrorOf([&] { WriteCsvFile(shut / "log.csv", kLines); });
    const std::string created = ErrorOf([&] { WriteCsvFile(shut / "new.csv", kLines); });
    fs::permissions(shut, fs::perms::owner_all); // lets the folder be removed
    EXPECT_EQ(replaced, "no error");
    EXPECT_EQ(TempDir::ReadBytes(shut / "log.csv"), kBytes);
    EXPECT_EQ(created, "File access denied");
}
#endif

TEST(ManualSave, ThroughALinkReplacesTheFileItPointsTo) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need extra rights on Windows";
#endif
    TempDir dir;
    TempDir::WriteBytes(dir / "real.csv", "old\r\n");
    fs::create_symlink(dir / "real.csv", dir / "link.csv");
    WriteCsvFile(dir / "link.csv", kLines);
    EXPECT_TRUE(fs::is_symlink(dir / "link.csv"));
    EXPECT_EQ(TempDir::ReadBytes(dir / "real.csv"), kBytes);
}

TEST(ManualSave, FailuresReportTheirTextAndLeaveNothingHalfWritten) {
    TempDir dir;
    TempDir::WriteBytes(dir / "plain", "a file, not a folder");
    fs::create_directory(dir / "folder");
    struct Case {
        fs::path target;
        const char* text;
    };
    std::vector<Case> cases{
        {dir / "missing" / "log.csv", "Invalid filename"},
        {dir / "plain" / "log.csv", "Invalid filename"},
        {dir / "folder", "File access denied"},
    };
    if (fs::exists("/dev/full"))
        cases.push_back({"/dev/full", "Disk full"}); // a device: written in place
    for (const auto& c : cases)
        EXPECT_EQ(ErrorOf([&] { WriteCsvFile(c.target, kLines); }), c.text) << c.target;
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"folder", "plain"}));
    EXPECT_TRUE(fs::is_empty(dir / "folder"));
}

#ifndef _WIN32
TEST(ManualSave, WriteFailingPartWayKeepsTheEarlierFile) {
    TempDir dir;
    TempDir::WriteBytes(dir / "log.csv", "earlier\r\n");
    const std::vector<std::string> many(1000, std::string(100, 'r'));
    std::string error;
    {
        FileSizeLimit limit(4096);
        error = ErrorOf([&] { WriteCsvFile(dir / "log.csv", many); });
    }
    EXPECT_EQ(error, "I/O error 27");
    EXPECT_EQ(TempDir::ReadBytes(dir / "log.csv"), "earlier\r\n");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"log.csv"});
}
#endif

TEST(AutoSave, TimeStampedNameNeverReplacingAnExistingFile) {
    TempDir dir;
    TempDir::WriteBytes(dir / "20240305143907.csv", "someone else's\r\n");
    EXPECT_EQ(WriteAutoSaveFile(dir.path(), kTime, kLines), dir / "20240305143907-1.csv");
    EXPECT_EQ(WriteAutoSaveFile(dir.path(), kTime, kLines), dir / "20240305143907-2.csv");
    EXPECT_EQ(TempDir::ReadBytes(dir / "20240305143907.csv"), "someone else's\r\n");
    EXPECT_EQ(TempDir::ReadBytes(dir / "20240305143907-1.csv"), kBytes);
    EXPECT_EQ(TempDir::ReadBytes(dir / "20240305143907-2.csv"), kBytes);

    const LocalDateTime later{2024, 3, 5, 14, 8, 1, 0};
    EXPECT_EQ(WriteAutoSaveFile(dir.path(), later, kLines), dir / "20240305140108.csv");
}

TEST(AutoSave, CannotCreateNamesTheFileAndTheSystemError) {
    TempDir dir;
    TempDir::WriteBytes(dir / "plain", "");
    const fs::path missing = dir / "missing";
    EXPECT_EQ(ErrorOf([&] { WriteAutoSaveFile(missing, kTime, kLines); }),
              "Cannot create file \"" + (missing / "20240305143907.csv").string() +
                  "\". No such file or directory");
    EXPECT_EQ(ErrorOf([&] { WriteAutoSaveFile(dir / "plain", kTime, kLines); }),
              "Cannot create file \"" + (dir / "plain" / "20240305143907.csv").string() +
#ifdef _WIN32 // Windows reports a file standing in the path as a missing folder
                  "\". No such file or directory");
#else
                  "\". Not a directory");
#endif
}

#ifdef __linux__
// The operator started the program in a folder it may not write: the message
// must say which folder, not only the bare file name.
TEST(AutoSave, InTheWorkingDirectoryTheFullPathIsNamed) {
    TempDir dir;
    const fs::path previous = fs::current_path();
    fs::current_path(dir.path());
    constexpr fs::perms readOnly = fs::perms::owner_read | fs::perms::owner_exec |
                                   fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(dir.path(), readOnly);
    std::string refused;
    {
        OrdinaryUser user;
        refused = ErrorOf([&] { WriteAutoSaveFile({}, kTime, kLines); });
    }
    fs::permissions(dir.path(), fs::perms::all);
    fs::path written;
    {
        OrdinaryUser user;
        written = WriteAutoSaveFile({}, kTime, kLines);
    }
    fs::current_path(previous);
    EXPECT_EQ(refused, "Cannot create file \"" + (dir / "20240305143907.csv").string() +
                           "\". Permission denied");
    EXPECT_EQ(written, dir / "20240305143907.csv");
    EXPECT_EQ(TempDir::ReadBytes(written), kBytes);
}
#endif

#ifndef _WIN32
TEST(AutoSave, WriteFailingPartWayLeavesNoFile) {
    TempDir dir;
    const std::vector<std::string> many(1000, std::string(100, 'r'));
    std::string error;
    {
        FileSizeLimit limit(4096);
        error = ErrorOf([&] { WriteAutoSaveFile(dir.path(), kTime, many); });
    }
    EXPECT_EQ(error, "Cannot write file \"" + (dir / "20240305143907.csv").string() +
                         "\". File too large");
    EXPECT_TRUE(dir.Entries().empty());
}
#endif

#ifndef _WIN32
// The automatic save goes through a hidden part file that only a complete file
// leaves under its final name; a later start tells such parts by their names.
TEST(AutoSave, PartFileNamesAndOwners) {
    TempDir dir;
    TempDir::WriteBytes(
        dir / ("." + std::string("20240305143907.csv.") + std::to_string(getpid()) + ".part"),
        "left by a killed run of this process id");
    EXPECT_EQ(WriteAutoSaveFile(dir.path(), kTime, kLines), dir / "20240305143907.csv");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"20240305143907.csv"});
    EXPECT_EQ(TempDir::ReadBytes(dir / "20240305143907.csv"), kBytes);

    const struct {
        const char* name;
        std::optional<long> owner;
    } cases[] = {
        {".20240305143907.csv.4242.part", 4242}, {".20240305143907-3.csv.7.part", 7},
        {"20240305143907.csv", std::nullopt},    {".20240305143907.csv.part", std::nullopt},
        {".notes.txt.12.part", std::nullopt},    {".20240305143907.csv.12x.part", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AutoSavePartOwner(dir / c.name), c.owner) << c.name;
}
#endif
