#include "LogActions.h"
#include "LogTestSupport.h"
#include "LogWindowSink.h"
#include "OrdinaryUser.h"
#include "Recorder.h"
#include "TempDir.h"

#include <QDir>

using namespace lrf;
namespace fs = std::filesystem;

namespace {

const std::string kHeader =
    "SN,Linear,Unit,Speed,Unit,Place,Distination,DateTime,Model,LRF Code\r\n";

std::string LineOf(int row, const std::string& distance) {
    return std::to_string(row) + "," + distance +
           ",M,---.-,KPH,Quay,Mast,2024/03/05 14:07:39.52,X1,C7\r\n";
}

QString ToQ(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// Files that automatic saves wrote into a folder, oldest name first.
std::vector<std::string> CsvFiles(const TempDir& dir) {
    std::vector<std::string> names;
    for (const std::string& name : dir.Entries())
        if (name.ends_with(".csv"))
            names.push_back(name);
    return names;
}

[[maybe_unused]] std::size_t LineCount(const std::string& bytes) {
    return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
}

class LogFilesTest : public LogWindowTest {
protected:
    LogFilesTest() { window.SetAutoSaveDirectory(ToQ(dir.path())); }

    // Records `count` measurements through the recording step, as a run does.
    void Measure(Recorder& recorder, int count) {
        MeasurementInputs in;
        in.LinearDistance = 12.3;
        for (int i = 0; i < count; ++i)
            recorder.Record(in, {"X1", "C7", "Quay", "Mast"}, {2024, 3, 5, 14, 7, 39, 52}, {});
    }

    // A folder of the temporary directory that takes files, or that takes none.
    fs::path Folder(const std::string& name, bool writable) const {
        const fs::path folder = dir / name;
        fs::create_directory(folder);
        fs::permissions(folder, writable ? fs::perms::all
                                         : fs::perms::owner_read | fs::perms::owner_exec |
                                               fs::perms::others_read | fs::perms::others_exec);
        return folder;
    }

    TempDir dir;
    QWidget mainWindow;
};

} // namespace

TEST_F(LogFilesTest, ManualSaveWritesTheGridExactly) {
    SendAdd(window, MakeRecord(0, "  12.3"));
    TAData comma = MakeRecord(1, "  12,5");
    comma.Place = "Bay, \"east\"";
    SendAdd(window, comma);

    dialogs.answer = ToQ(dir / "log.csv");
    EXPECT_TRUE(btnSaveDataClick(mainWindow, window));
    EXPECT_EQ(dialogs.askedFilter, "*.csv");
    EXPECT_EQ(dialogs.askedSuffix, "csv");
    EXPECT_EQ(window.SaveFileName, dialogs.answer);
    EXPECT_EQ(
        TempDir::ReadBytes(dir / "log.csv"),
        kHeader + LineOf(1, "  12.3") +
            "2,\"  12,5\",M,---.-,KPH,\"Bay, \"\"east\"\"\",Mast,2024/03/05 14:07:39.52,X1,C7\r\n");
    EXPECT_TRUE(dialogs.messages.isEmpty());

    // The next dialog starts from the previous name; cancelling saves nothing.
    dialogs.answer.clear();
    EXPECT_FALSE(btnSaveDataClick(mainWindow, window));
    EXPECT_EQ(dialogs.askedInitial, ToQ(dir / "log.csv"));
    EXPECT_EQ(window.SaveFileName, ToQ(dir / "log.csv"));
}

TEST_F(LogFilesTest, ManualSaveOfAnEmptyOrClearedLog) {
    window.SaveFileName = ToQ(dir / "empty.csv");
    SendPlain(window, WM_DATA_SAVE);
    EXPECT_EQ(TempDir::ReadBytes(dir / "empty.csv"), kHeader + ",,,,,,,,,\r\n");

    SendAdd(window, MakeRecord(0, "   1.0"));
    SendPlain(window, WM_DATA_CLEAR);
    window.SaveFileName = ToQ(dir / "cleared.csv");
    SendPlain(window, WM_DATA_SAVE);
    EXPECT_EQ(TempDir::ReadBytes(dir / "cleared.csv"), kHeader + "1,,,,,,,,,\r\n");
}

TEST_F(LogFilesTest, FailedSavesAreShownAndLoseNothing) {
    for (int i = 0; i < 3; ++i)
        SendAdd(window, MakeRecord(i, "   7.0"));
    TempDir::WriteBytes(dir / "plain", "");
    const auto mirrorBefore = window.Mirror().Lines();

    const struct {
        QString target;
        QString text;
    } cases[] = {
        {ToQ(dir / "missing" / "log.csv"), "Invalid filename"},
        {ToQ(dir / "plain" / "log.csv"), "Invalid filename"},
#ifndef _WIN32
        {"/dev/full", "Disk full"},
#endif
    };
    for (const auto& c : cases) {
        dialogs.messages.clear();
        dialogs.answer = c.target;
        EXPECT_TRUE(btnSaveDataClick(mainWindow, window)); // the send returns normally
        EXPECT_EQ(dialogs.Texts(), QStringList{c.text}) << c.target.toStdString();
    }
    EXPECT_EQ(window.RowCount(), 4);
    EXPECT_EQ(window.Mirror().Lines(), mirrorBefore);

    // An automatic save into a folder that cannot hold files keeps the mirror;
    // its error is shown from the event loop, not inside the sender's handler.
    dialogs.messages.clear();
    window.SetAutoSaveDirectory(ToQ(dir / "plain"));
    SendPlain(window, WM_DATA_AUTOSAVE);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("Cannot create file \""));
    // The C library's reason follows: POSIX names the plain file in the path, Windows
    // only finds no such folder.
#ifdef _WIN32
    const QString reason = QStringLiteral("\". No such file or directory");
#else
    const QString reason = QStringLiteral("\". Not a directory");
#endif
    EXPECT_TRUE(dialogs.messages[0].text.endsWith(reason))
        << dialogs.messages[0].text.toStdString();
    EXPECT_EQ(dialogs.foldersAsked, 1); // cancelled
    EXPECT_EQ(window.Mirror().Lines(), mirrorBefore);
}

TEST_F(LogFilesTest, EveryTwoThousandRecordsAFileAndTheLogStartsOver) {
    LogWindowSink sink(window);
    Recorder recorder(sink);
    recorder.SetRecording(true);
    MeasurementInputs in;
    in.LinearDistance = 12.3;
    const FreeTexts texts{"X1", "C7", "Quay", "Mast"};
    const LocalDateTime now{2024, 3, 5, 14, 7, 39, 52};

    for (int i = 0; i < 1999; ++i)
        recorder.Record(in, texts, now, {});
    EXPECT_TRUE(CsvFiles(dir).empty());
    recorder.Record(in, texts, now, {});
    ASSERT_EQ(CsvFiles(dir).size(), 1u);
    EXPECT_EQ(window.RowCount(), 2);
    EXPECT_EQ(recorder.RecordCount(), 0);
    EXPECT_TRUE(window.Mirror().Lines().empty());

    const std::string saved = TempDir::ReadBytes(dir / CsvFiles(dir)[0]);
    EXPECT_TRUE(saved.starts_with(kHeader));
    EXPECT_TRUE(
        saved.ends_with("2000,  12.3,M,---.-,KPH,Quay,Mast,2024/03/05 14:07:39.052,X1,C7\r\n"));
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 2001);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    // Announced in the status bar, not in a box.
    EXPECT_EQ(window.StatusText(), "2000 records saved in " + ToQ(dir / CsvFiles(dir)[0]));

    // The next record starts again at row 1 with a fresh header in the mirror.
    recorder.Record(in, texts, now, {});
    EXPECT_EQ(window.Cells(0, 1), "1");
    ASSERT_EQ(window.Mirror().Lines().size(), 2u);
}

TEST_F(LogFilesTest, FailedAutoSaveKeepsLinesForTheNextOne) {
    LogWindowSink sink(window);
    Recorder recorder(sink);
    recorder.SetRecording(true);

    window.SetAutoSaveDirectory(ToQ(dir / "missing"));
    Measure(recorder, 2000);
    QCoreApplication::processEvents(); // error shown, folder dialog cancelled
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.endsWith("\". No such file or directory"));
    EXPECT_EQ(dialogs.foldersAsked, 1);
    EXPECT_EQ(window.RowCount(), 2); // the log was cleared all the same
    EXPECT_EQ(recorder.RecordCount(), 0);
    EXPECT_EQ(window.Mirror().Lines().size(), 2001u);

    window.SetAutoSaveDirectory(ToQ(dir.path()));
    Measure(recorder, 2000);
    QCoreApplication::processEvents();
    ASSERT_EQ(CsvFiles(dir).size(), 1u);
    const std::string saved = TempDir::ReadBytes(dir / CsvFiles(dir)[0]);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 4001);
    EXPECT_EQ(saved.find(kHeader, 1), std::string::npos); // one header only
    EXPECT_EQ(dialogs.messages.size(), 1);
}

#ifdef __linux__
// The operator's folder takes no files: the error names the full path and the
// reason, a folder is asked for once for the failed save (again only while the
// chosen one fails too), every kept line goes there and so do the later saves.
TEST_F(LogFilesTest, UnwritableFolderAsksForAnotherAndLosesNoRecord) {
    LogWindowSink sink(window);
    Recorder recorder(sink);
    recorder.SetRecording(true);
    const fs::path shut = Folder("shut", false);
    const fs::path alsoShut = Folder("also-shut", false);
    const fs::path chosen = Folder("chosen", true);
    window.SetAutoSaveDirectory(ToQ(shut));
    dialogs.folders = {ToQ(alsoShut), ToQ(chosen)};

    OrdinaryUser user;
    Measure(recorder, 2000);
    EXPECT_TRUE(dialogs.messages.isEmpty()); // nothing modal inside the recording step
    Measure(recorder, 5);                    // the run goes on meanwhile
    QCoreApplication::processEvents();

    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("Cannot create file \"" + ToQ(shut) + "/"));
    EXPECT_TRUE(dialogs.messages[0].text.endsWith(".csv\". Permission denied"));
    EXPECT_TRUE(dialogs.messages[1].text.startsWith("Cannot create file \"" + ToQ(alsoShut)));
    EXPECT_TRUE(dialogs.messages[1].detail.contains("2005 records are kept"));
    EXPECT_EQ(dialogs.foldersAsked, 2);
    EXPECT_EQ(window.AutoSaveDirectory(), ToQ(chosen));

    const auto files = [](const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        return names;
    };
    ASSERT_EQ(files(chosen).size(), 1u);
    const std::string saved = TempDir::ReadBytes(chosen / files(chosen)[0]);
    EXPECT_TRUE(saved.starts_with(kHeader));
    EXPECT_EQ(LineCount(saved), 2006u); // the header and every record
    EXPECT_EQ(window.StatusText(), "2005 records saved in " + ToQ(chosen / files(chosen)[0]));
    EXPECT_FALSE(window.Mirror().HasRecords());

    // The next automatic save of the run goes to the chosen folder unasked.
    Measure(recorder, 1995);
    QCoreApplication::processEvents();
    EXPECT_EQ(files(chosen).size(), 2u);
    EXPECT_EQ(dialogs.foldersAsked, 2);
    EXPECT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(files(shut).empty());
}

// Records that could not be written are not dropped silently at exit: the
// operator saves them elsewhere or ends and leaves them.
TEST_F(LogFilesTest, ExitWithUnwritableRecordsAsks) {
    const fs::path shut = Folder("shut", false);
    const fs::path chosen = Folder("chosen", true);
    OrdinaryUser user;
    window.SetAutoSaveDirectory(ToQ(shut));
    for (int i = 0; i < 3; ++i)
        SendAdd(window, MakeRecord(i, "   7.7"));

    // End and leave them.
    dialogs.answers = {1};
    EXPECT_FALSE(window.SaveMirrorAtExit());
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].text.startsWith("Cannot create file \"" + ToQ(shut) + "/"));
    EXPECT_TRUE(dialogs.questions[0].text.endsWith("Permission denied"));
    EXPECT_EQ(dialogs.questions[0].detail, "3 records have not been written to a file.");
    EXPECT_EQ(dialogs.questions[0].answers,
              QStringList({"Save elsewhere...", "End and leave them"}));
    EXPECT_EQ(window.Mirror().Lines().size(), 4u);

    // Save elsewhere, the folder dialog cancelled: asked again; then a folder.
    dialogs.questions.clear();
    dialogs.answers = {0, 0};
    dialogs.folders = {QString(), ToQ(chosen)};
    EXPECT_TRUE(window.SaveMirrorAtExit());
    EXPECT_EQ(dialogs.questions.size(), 2);
    EXPECT_EQ(dialogs.foldersAsked, 2);
    const auto first = fs::directory_iterator(chosen);
    ASSERT_NE(first, fs::directory_iterator());
    EXPECT_EQ(TempDir::ReadBytes(first->path()),
              kHeader + LineOf(1, "   7.7") + LineOf(2, "   7.7") + LineOf(3, "   7.7"));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}
#endif

// A free text that a spreadsheet would run as a formula is written as text;
// the grid shows what was typed, and every other cell goes out unchanged.
TEST_F(LogFilesTest, FormulaTextsAreDefusedInBothFilesOnly) {
    TAData record = MakeRecord(0, "  -1.5");
    record.Place = "=1+1";
    record.Destination = "+SUM(A1)";
    record.Model = "@cmd";
    record.InstrumentCode = "-7";
    SendAdd(window, record);
    record = MakeRecord(1, "   2.0");
    record.Place = "\tTab";
    record.Destination = "\rReturn";
    SendAdd(window, record);
    EXPECT_EQ(window.Cells(5, 1), "=1+1");
    EXPECT_EQ(window.Cells(6, 2), "\rReturn");

    const std::string lines =
        kHeader + "1,  -1.5,M,---.-,KPH,'=1+1,'+SUM(A1),2024/03/05 14:07:39.52,'@cmd,-7\r\n" +
        "2,   2.0,M,---.-,KPH,'\tTab,\"'\rReturn\",2024/03/05 14:07:39.52,X1,C7\r\n";
    window.SaveFileName = ToQ(dir / "manual.csv");
    SendPlain(window, WM_DATA_SAVE);
    EXPECT_EQ(TempDir::ReadBytes(dir / "manual.csv"), lines);
    EXPECT_TRUE(window.SaveMirrorAtExit());
    const std::vector<std::string> saved = CsvFiles(dir);
    ASSERT_EQ(saved.size(), 2u); // manual.csv and the automatic one
    EXPECT_EQ(TempDir::ReadBytes(dir / (saved[0] == "manual.csv" ? saved[1] : saved[0])), lines);
}

TEST_F(LogFilesTest, RecordsLeftInTheMirrorAreSavedAtExit) {
    EXPECT_TRUE(window.SaveMirrorAtExit());
    EXPECT_TRUE(CsvFiles(dir).empty()); // nothing recorded, no file

    SendAdd(window, MakeRecord(0, "   9.9"));
    SendPlain(window, WM_DATA_CLEAR);
    SendAdd(window, MakeRecord(0, "   8.8"));
    EXPECT_TRUE(window.SaveMirrorAtExit());
    ASSERT_EQ(CsvFiles(dir).size(), 1u);
    EXPECT_EQ(TempDir::ReadBytes(dir / CsvFiles(dir)[0]),
              kHeader + LineOf(1, "   9.9") + LineOf(1, "   8.8"));

    SendAdd(window, MakeRecord(1, "   7.7"));
    window.SetAutoSaveDirectory(ToQ(dir / "missing"));
    EXPECT_FALSE(window.SaveMirrorAtExit()); // the operator ends and leaves them
    EXPECT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}
