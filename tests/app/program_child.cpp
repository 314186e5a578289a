// The program as app/main.cpp puts it together, for the tests that end it from
// outside: program_child <device> <shots>
// With shots > 0 it opens the device once the journal is ready, starts a
// continuous distance run of that many shots and prints "records N" as they
// come; with 0 it ends as soon as the journal is ready. Messages are printed
// as "notice: <text>" instead of shown; "ended" follows the save at exit.

#include "Application.h"
#include "Dialogs.h"
#include "ImageButton.h"
#include "LogJournal.h"
#include "MainControls.h"
#include "MainFrm.h"
#include "NumericEdit.h"
#include "QuitSignals.h"
#include "Recorder.h"
#include "ShowDataFrm.h"

#include <QComboBox>
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
    if (argc != 3) {
        std::fprintf(stderr, "usage: program_child <device> <shots>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    lrf::Application app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lrfcontrol"));
    QApplication::setQuitOnLastWindowClosed(false);
    PrintingDialogs dialogs;
    const QString device = QString::fromLocal8Bit(argv[1]);
    const int shots = std::atoi(argv[2]);

    int result = 0;
    {
        lrf::TForm1 form;
        lrf::TFrmShowData logWindow;
        form.attachLogWindow(logWindow);
        form.setLeadingPortNames({device});
        lrf::LogJournal journal(logWindow, &form, QStringLiteral("test"));
        lrf::QuitSignals quitSignals([&form](int) { form.btnExitClick(); });
        form.show();

        std::int64_t records = 0;
        QTimer progress;
        QObject::connect(&progress, &QTimer::timeout, &progress, [&] {
            std::printf("records %lld\n", static_cast<long long>(records));
            std::fflush(stdout);
        });
        QObject::connect(&journal.journal(), &lrf::journal::Journal::ready, &form, [&] {
            if (shots == 0) {
                form.btnExitClick();
                return;
            }
            QObject::connect(&form, &lrf::TForm1::commandSent, &form,
                             [&] { records = form.recorder().RecordCount(); });
            form.controls().btnOpenCom->click();
            form.controls().RzNumericEdit1->setValue(shots);
            form.controls().RzBitBtn6->click();
            progress.start(20);
        });
        journal.Start();
        result = app.exec();
        logWindow.SaveMirrorAtExit();
        journal.Finish();
    }
    std::printf("ended\n");
    std::fflush(stdout);
    return result;
}
