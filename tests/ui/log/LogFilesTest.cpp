#include "LogActions.h"
#include "LogTestSupport.h"
#include "LogWindowSink.h"
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

class LogFilesTest : public LogWindowTest {
protected:
    LogFilesTest() { window.SetAutoSaveDirectory(ToQ(dir.path())); }
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
        {"/dev/full", "Disk full"},
    };
    for (const auto& c : cases) {
        dialogs.messages.clear();
        dialogs.answer = c.target;
        EXPECT_TRUE(btnSaveDataClick(mainWindow, window)); // the send returns normally
        EXPECT_EQ(dialogs.Texts(), QStringList{c.text}) << c.target.toStdString();
    }
    EXPECT_EQ(window.RowCount(), 4);
    EXPECT_EQ(window.Mirror().Lines(), mirrorBefore);

    // An automatic save into a folder that cannot hold files keeps the mirror.
    dialogs.messages.clear();
    window.SetAutoSaveDirectory(ToQ(dir / "plain"));
    SendPlain(window, WM_DATA_AUTOSAVE);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("Cannot create file \""));
    EXPECT_TRUE(dialogs.messages[0].text.endsWith("\". Not a directory"));
    EXPECT_EQ(window.Mirror().Lines(), mirrorBefore);
}

TEST_F(LogFilesTest, EveryTwoThousandRecordsAFileAndTheLogStartsOver) {
    LogWindowSink sink(window);
    Recorder recorder(sink);
    recorder.btnRecordDataClick();
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
    EXPECT_TRUE(saved.ends_with(LineOf(2000, "  12.3")));
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 2001);
    EXPECT_TRUE(dialogs.messages.isEmpty());

    // The next record starts again at row 1 with a fresh header in the mirror.
    recorder.Record(in, texts, now, {});
    EXPECT_EQ(window.Cells(0, 1), "1");
    ASSERT_EQ(window.Mirror().Lines().size(), 2u);
}

TEST_F(LogFilesTest, FailedAutoSaveKeepsLinesForTheNextOne) {
    LogWindowSink sink(window);
    Recorder recorder(sink);
    recorder.btnRecordDataClick();
    MeasurementInputs in;
    in.LinearDistance = 12.3;
    const LocalDateTime now{2024, 3, 5, 14, 7, 39, 52};

    window.SetAutoSaveDirectory(ToQ(dir / "missing"));
    for (int i = 0; i < 2000; ++i)
        recorder.Record(in, {"X1", "C7", "Quay", "Mast"}, now, {});
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.endsWith("\". No such file or directory"));
    EXPECT_EQ(window.RowCount(), 2); // the log was cleared all the same
    EXPECT_EQ(recorder.RecordCount(), 0);
    EXPECT_EQ(window.Mirror().Lines().size(), 2001u);

    window.SetAutoSaveDirectory(ToQ(dir.path()));
    for (int i = 0; i < 2000; ++i)
        recorder.Record(in, {"X1", "C7", "Quay", "Mast"}, now, {});
    ASSERT_EQ(CsvFiles(dir).size(), 1u);
    const std::string saved = TempDir::ReadBytes(dir / CsvFiles(dir)[0]);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 4001);
    EXPECT_EQ(saved.find(kHeader, 1), std::string::npos); // one header only
    EXPECT_EQ(dialogs.messages.size(), 1);
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
    EXPECT_FALSE(window.SaveMirrorAtExit());
    EXPECT_EQ(dialogs.messages.size(), 1);
}
