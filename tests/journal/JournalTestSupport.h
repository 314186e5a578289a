#pragma once

#include "Dialogs.h"
#include "LogJournal.h"
#include "LogWindowSink.h"
#include "Recorder.h"
#include "ShowDataFrm.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

// One recording step of a fixed script, the same in a child process and in
// the test that checks what it left: every fifth and sixth step of ten are the
// distance and speed halves of a rotation pair, the others distance shots.
inline void PlayStep(lrf::Recorder& recorder, int step) {
    lrf::MeasurementInputs in;
    const int phase = step % 10;
    in.RotationMode = phase == 4 || phase == 5;
    in.RotationDistancePhase = phase == 4;
    if (phase == 5) {
        in.SpeedValue = 40.0 + step % 200 * 0.1;
    } else {
        in.LinearDistance = 10.0 + step % 2000 * 0.1;
    }
    const lrf::FreeTexts texts{"X1", "C7", "Quay Süd", "Mast"};
    const lrf::LocalDateTime at{2024, 3, 5, 14, step / 60 % 60, step % 60, step % 1000};
    recorder.Record(in, texts, at, {});
}

// The log lines that the first `steps` steps of the script make: every tenth
// step, phase 5, completes the rotation line of the step before it.
inline int ScriptLines(int steps) {
    return steps - (steps + 4) / 10;
}

// A log window with its recorder, as the program has them, the automatic saves
// going to folder.
struct LogUnderTest {
    explicit LogUnderTest(const std::filesystem::path& folder) {
        window.SetAutoSaveDirectory(QString::fromStdString(folder.string()));
        window.InitGrid();
        recorder.SetRecording(true);
    }
    void Play(int first, int end) {
        for (int step = first; step < end; ++step)
            PlayStep(recorder, step);
    }
    // What an automatic save would write now.
    std::string MirrorBytes() const {
        std::string bytes;
        for (const std::string& line : window.Mirror().Lines())
            bytes += line + "\r\n";
        return bytes;
    }

    lrf::TFrmShowData window;
    lrf::LogWindowSink sink{window};
    lrf::Recorder recorder{sink};
};

// Dialogs replaced: messages are kept instead of shown.
struct NoticeDialogs : lrf::Dialogs {
    QStringList messages;
    NoticeDialogs() { lrf::setDialogs(this); }
    ~NoticeDialogs() override { lrf::setDialogs(nullptr); }
    void showMessage(QWidget*, const QString&, const QString& text) override { messages << text; }
    QString getSaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
        return {};
    }
    // Questions get their last answer ("end and leave them" at exit); folder
    // dialogs are cancelled.
    int ask(QWidget*, const QString&, const QString& text, const QString&,
            const QStringList& answers) override {
        messages << text;
        return static_cast<int>(answers.size()) - 1;
    }
    QString getExistingDirectory(QWidget*, const QString&, const QString&) override { return {}; }
};

// Runs the event loop until done() or the time is up.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Starts a journal and waits until it has opened and recovered.
inline void StartAndWait(lrf::LogJournal& journal) {
    journal.Start();
    WaitUntil([&] { return journal.journal().IsReady(); });
}

inline std::string FileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The CSV files of a folder, sorted by name.
inline std::vector<std::filesystem::path> CsvFilesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".csv")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// Record lines of a CSV file's bytes (the header line left out).
inline std::vector<std::string> RecordLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = bytes.find("\r\n");
    while (start != std::string::npos && start + 2 < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", start + 2);
        lines.push_back(bytes.substr(start + 2, end - start - 2));
        start = end;
    }
    return lines;
}
