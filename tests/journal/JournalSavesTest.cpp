#include "JournalTestSupport.h"
#include "LogEvents.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using lrf::TFrmShowData;

namespace {

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

void Add(TFrmShowData& window, int index, const std::string& distance, int wParam = 0,
         const std::string& speed = "---.-") {
    lrf::TAData r;
    r.Index = index;
    r.DistanceText = distance;
    r.DistanceUnitName = "M";
    r.SpeedText = speed;
    r.SpeedUnitName = "KPH";
    r.DateTimeText = "2024/03/05 14:07:39.52";
    lrf::DataAddEvent event(r, wParam);
    QCoreApplication::sendEvent(&window, &event);
}

void Send(TFrmShowData& window, QEvent::Type type) {
    QEvent event(type);
    QCoreApplication::sendEvent(&window, &event);
}

std::string Line(int row, const std::string& distance, const std::string& speed = "---.-") {
    return std::to_string(row) + "," + distance + ",M," + speed + ",KPH,,,2024/03/05 14:07:39.52,,";
}

struct Case {
    const char* name;
    std::function<void(TFrmShowData&, const fs::path& folder)> act;
    std::vector<std::string> recovered; // record lines of the next start's file
    bool folderGone = false;            // the run's folder is removed before the next start
};

} // namespace

// Each save marks exactly the lines it wrote, once written; whatever no file
// took when the run ended, in order or not, the next start recovers.
TEST(JournalSaves, TheNextStartRecoversWhatNoSaveTook) {
    const Case cases[] = {
        {"the automatic save takes the mirror",
         [](TFrmShowData& w, const fs::path&) {
             Add(w, 0, "   1.0");
             Add(w, 1, "   2.0");
             Send(w, lrf::WM_DATA_AUTOSAVE);
             Add(w, 0, "   3.0");
         },
         {Line(1, "   3.0")}},
        {"the manual save takes the rows since the last clear",
         [](TFrmShowData& w, const fs::path& folder) {
             Add(w, 0, "   1.0");
             Send(w, lrf::WM_DATA_CLEAR);
             Add(w, 0, "   2.0");
             Add(w, 1, "   3.0");
             w.SaveFileName = Q(folder / "manual.csv");
             Send(w, lrf::WM_DATA_SAVE);
         },
         {Line(1, "   1.0")}},
        {"a speed half after a manual save is unsaved again",
         [](TFrmShowData& w, const fs::path& folder) {
             Add(w, 0, "   5.0");
             w.SaveFileName = Q(folder / "manual.csv");
             Send(w, lrf::WM_DATA_SAVE);
             Add(w, 0, "", 1, "  45.6");
         },
         {Line(1, "   5.0", "  45.6")}},
        {"failed saves mark nothing",
         [](TFrmShowData& w, const fs::path& folder) {
             Add(w, 0, "   1.0");
             Add(w, 1, "   2.0");
             w.SetAutoSaveDirectory(Q(folder / "missing"));
             Send(w, lrf::WM_DATA_AUTOSAVE);
             w.SaveFileName = Q(folder / "missing" / "manual.csv");
             Send(w, lrf::WM_DATA_SAVE);
         },
         {Line(1, "   1.0"), Line(2, "   2.0")}},
        {"the save at exit leaves nothing",
         [](TFrmShowData& w, const fs::path&) {
             Add(w, 0, "   1.0");
             w.SaveMirrorAtExit();
         },
         {}},
        {"a run whose folder is gone is recovered into the current one",
         [](TFrmShowData& w, const fs::path&) { Add(w, 0, "   7.0"); },
         {Line(1, "   7.0")},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path runFolder = dir / "run";
        const fs::path laterFolder = dir / "later";
        fs::create_directories(runFolder);
        fs::create_directories(laterFolder);
        NoticeDialogs dialogs;
        {
            LogUnderTest log(runFolder);
            lrf::LogJournal journal(log.window, nullptr, "test", Q(dir / "journal.sqlite"));
            StartAndWait(journal);
            c.act(log.window, runFolder);
            journal.Finish(); // an orderly end, without the save at exit
        }
        const std::vector<fs::path> before = CsvFilesIn(runFolder);
        if (c.folderGone)
            fs::remove_all(runFolder);
        dialogs.messages.clear(); // the failed saves' own messages

        LogUnderTest log(laterFolder);
        lrf::LogJournal journal(log.window, nullptr, "test", Q(dir / "journal.sqlite"));
        StartAndWait(journal);
        const fs::path target = c.folderGone ? laterFolder : runFolder;
        std::vector<fs::path> added;
        for (const fs::path& file : CsvFilesIn(target))
            if (std::find(before.begin(), before.end(), file) == before.end() || c.folderGone)
                added.push_back(file);
        if (c.recovered.empty()) {
            EXPECT_TRUE(added.empty());
            EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();
            continue;
        }
        ASSERT_EQ(added.size(), 1u);
        EXPECT_EQ(RecordLines(FileBytes(added[0])), c.recovered);
        ASSERT_EQ(dialogs.messages.size(), 1);
        EXPECT_TRUE(dialogs.messages[0].contains(Q(added[0])));
    }
}
