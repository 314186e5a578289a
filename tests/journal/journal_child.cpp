// A program that records through the log window into a journal, for the tests
// that kill it: journal_child <journal> <folder> <steps> <pace-ms>
// Plays the steps of PlayStep with the automatic saves going to folder, prints
// "step N" once step N has been handed to the log, then "idle", and waits to
// be killed. The journal's notices are printed as "notice: <text>".

#include "Application.h"
#include "JournalTestSupport.h"

#include <QTimer>

#include <cstdio>

namespace {

struct PrintingDialogs : lrf::Dialogs {
    PrintingDialogs() { lrf::setDialogs(this); }
    void showMessage(QWidget*, const QString&, const QString& text) override {
        std::printf("notice: %s\n", text.simplified().toUtf8().constData());
        std::fflush(stdout);
    }
    QString getSaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
        return {};
    }
    // A question is printed and answered with its last answer ("end and leave
    // them" at exit); a folder dialog is cancelled.
    int ask(QWidget*, const QString&, const QString& text, const QString&,
            const QStringList& answers) override {
        std::printf("question: %s\n", text.simplified().toUtf8().constData());
        std::fflush(stdout);
        return static_cast<int>(answers.size()) - 1;
    }
    QString getExistingDirectory(QWidget*, const QString&, const QString&) override { return {}; }
};

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: journal_child <journal> <folder> <steps> <pace-ms>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    lrf::Application app(argc, argv);
    PrintingDialogs dialogs;
    const QString journalPath = QString::fromLocal8Bit(argv[1]);
    const std::filesystem::path folder(argv[2]);
    const int steps = std::atoi(argv[3]);
    const int paceMs = std::atoi(argv[4]);

    LogUnderTest log(folder);
    lrf::LogJournal journal(log.window, nullptr, QStringLiteral("test"), journalPath);
    int step = 0;
    QTimer pace;
    pace.setInterval(paceMs);
    QObject::connect(&pace, &QTimer::timeout, &pace, [&] {
        if (step == steps) {
            pace.stop();
            std::printf("idle\n");
            std::fflush(stdout);
            return;
        }
        PlayStep(log.recorder, step);
        std::printf("step %d\n", ++step);
        std::fflush(stdout);
    });
    QObject::connect(&journal.journal(), &lrf::journal::Journal::ready, &pace,
                     qOverload<>(&QTimer::start));
    journal.Start();
    return app.exec();
}
