// The log without the window writes what the log window writes: fed the same
// records by the same recording step, both hold the same mirror lines and
// write the same automatic save files.

#include "RecordLog.h"
#include "LogWindowSink.h"
#include "Recorder.h"
#include "ShowDataFrm.h"
#include "TestDialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList FilesIn(const QString& folder) {
    QStringList contents;
    for (const QString& name : QDir(folder).entryList({"*.csv"}, QDir::Files, QDir::Name)) {
        QFile file(QDir(folder).filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        contents << QString::fromUtf8(file.readAll());
    }
    return contents;
}

TEST(RecordLog, HoldsAndSavesTheLogWindowsLines) {
    TestDialogs dialogs;
    QTemporaryDir windowFolder, logFolder;
    lrf::TFrmShowData window;
    window.InitGrid();
    window.SetAutoSaveDirectory(windowFolder.path());
    lrf::LogWindowSink windowSink(window);
    lrf::RecordLog log;
    log.SetMirrorWriter(lrf::RecordLog::AutoSaveFiles(logFolder.path().toStdString()));
    lrf::Recorder windowRecorder(windowSink), logRecorder(log);
    windowRecorder.SetRecording(true);
    logRecorder.SetRecording(true);

    // Rotation pairs (and a distance half left alone), single shots, values
    // at and past the limits, free texts with commas, quotes and formulas,
    // a decimal comma; across a manual clear and one automatic save.
    const lrf::FreeTexts texts[] = {
        {"M-7", "=SUM(A1)", "Yard, north", "Gate \"3\""},
        {"+1", "@x", "\tTab", "-5"},
        {"", "", "", ""},
    };
    const lrf::Separators separators[] = {{}, {",", ".", ":"}};
    const double distances[] = {12.3, 2399.9, 2400.0, -0.04, 0.0};
    const double speeds[] = {45.6, 360.9, 361.0, -123.4, 990.0};
    lrf::LocalDateTime now{2026, 12, 9, 3, 4, 5, 6};
    for (int i = 0; i < 4000; ++i) {
        if (i == 500) { // a clear keeps the mirror; the next row 1 is a new line
            windowRecorder.Clear();
            logRecorder.Clear();
        }
        lrf::MeasurementInputs values;
        values.LinearDistance = distances[i % 5];
        values.SpeedValue = speeds[(i / 5) % 5];
        values.RotationMode = i % 7 < 4; // pairs, then single shots
        values.RotationDistancePhase = i % 2 == 0 || i % 7 == 6;
        now.millisecond = i % 1000;
        const lrf::FreeTexts& t = texts[i % 3];
        const lrf::Separators& s = separators[(i / 11) % 2];
        ASSERT_EQ(windowRecorder.Record(values, t, now, s), lrf::RecordOutcome::Recorded);
        ASSERT_EQ(logRecorder.Record(values, t, now, s), lrf::RecordOutcome::Recorded);
    }
    EXPECT_EQ(log.Mirror().Lines(), window.Mirror().Lines());
    EXPECT_EQ(log.Mirror().LastRow(), window.Mirror().LastRow());
    EXPECT_EQ(log.RowCount(), window.RowCount());
    const QStringList files = FilesIn(logFolder.path());
    EXPECT_GE(files.size(), 1);
    EXPECT_EQ(files, FilesIn(windowFolder.path()));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// A folder that cannot take the file keeps the lines for the next save, and
// says why.
TEST(RecordLog, AFailedSaveKeepsItsLines) {
    QTemporaryDir folder;
    const std::string missing = folder.filePath("gone").toStdString();
    lrf::RecordLog log;
    log.SetMirrorWriter(lrf::RecordLog::AutoSaveFiles(missing));
    std::vector<std::string> reports;
    log.SetSaveFailed([&](const std::string& text) { reports.push_back(text); });
    lrf::TAData record;
    record.DistanceText = " 123.4";
    log.Add(record, lrf::RowPart::WholeRow);
    EXPECT_FALSE(log.SaveMirror());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("gone"), std::string::npos) << reports[0];
    EXPECT_EQ(log.Mirror().Lines().size(), 2u);
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(missing)));
    EXPECT_TRUE(log.SaveMirror());
    EXPECT_FALSE(log.Mirror().HasRecords());
    EXPECT_EQ(FilesIn(QString::fromStdString(missing)).size(), 1);
}

} // namespace
