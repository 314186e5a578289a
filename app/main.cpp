#include "Application.h"
#include "ArgumentText.h"
#include "CommandLine.h"
#include "Dialogs.h"
#include "LogJournal.h"
#include "LogStore.h"
#include "LrfVersion.h"
#include "MainFrm.h"
#include "ProcessSetup.h"
#include "QuitSignals.h"
#include "RangefinderSimulator.h"
#include "ShowDataFrm.h"
#include "UnitJournal.h"
#include "VerificationStation.h"

#include <QSqlDatabase>

#include <memory>
#include <optional>
#include <utility>

#ifdef _WIN32
#include <cstdio>
#include <windows.h>
#endif

// Starts the program: the main window first, then the hidden log window, then
// the message loop. With --simulate a simulated rangefinder runs inside the
// program and its device is listed first in the port box, so that the port can
// be opened and measured at once without an instrument. The options that only
// print something run without a display, and so do the complaints about
// bad arguments. Every record also goes into the crash
// journal; SIGTERM, SIGINT and SIGHUP, and on Windows the end of the user's
// session, end the program as Exit does. With
// --store (or LRF_STORE) a worker forwards the journal's lines to a record
// store on a PostgreSQL server.
int main(int argc, char* argv[]) {
#ifdef _WIN32
    // A window program has no console of its own; started from one, it prints its
    // command-line answers there, unless they are redirected already.
    if (GetStdHandle(STD_OUTPUT_HANDLE) == nullptr && AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
#endif
    lrf::PrepareProcess();
    QCoreApplication::setApplicationName(QStringLiteral("lrfcontrol"));
    // A bad argument is told before Qt looks for a display, which it may not find.
    if (const std::optional<int> status = lrf::RefuseBadArguments(argc, argv))
        return *status;
    lrf::PrepareWindowlessRun(argc, argv);
    lrf::Application app(argc, argv);
    // The application took its own options out of argv; file names keep their bytes.
    const lrf::CommandLine commandLine = lrf::ReadCommandLine(lrf::ArgumentTexts(argc, argv));
    if (const std::optional<int> status = lrf::RunWithoutWindows(commandLine))
        return *status;
    // The main window's close ends the program, whether or not the log is shown.
    QApplication::setQuitOnLastWindowClosed(false);

    std::unique_ptr<lrf::sim::RangefinderSimulator> simulator;
    if (commandLine.simulate) {
        simulator = std::make_unique<lrf::sim::RangefinderSimulator>();
        // The simulated instrument keeps its line pace but sends each reply whole,
        // so that a busy desktop cannot cut one in two.
        lrf::sim::SimSettings simulated = simulator->Settings();
        simulated.wholeReplies = true;
        simulator->SetSettings(simulated);
        try {
            simulator->Start();
        } catch (const std::exception& e) {
            lrf::dialogs().showMessage(nullptr, QCoreApplication::applicationName(),
                                       QStringLiteral("The simulator could not start: ") +
                                           QString::fromUtf8(e.what()));
            simulator.reset();
        }
    }

    int result = 0;
    {
        lrf::TForm1 form;
        lrf::TFrmShowData logWindow;
        form.attachLogWindow(logWindow);
        if (simulator)
            form.setLeadingPortNames({QString::fromStdString(simulator->DevicePath())});
        const QString version = QString::fromUtf8(LRF_VERSION);
        lrf::LogJournal journal(logWindow, &form, version,
                                lrf::journal::JournalOptions::DefaultPath(),
                                commandLine.store.has_value());
        std::unique_ptr<lrf::LogStore> store;
        if (commandLine.store && !QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
            // The Windows build has no PostgreSQL client: said once, and the run goes on.
            lrf::dialogs().showMessage(
                nullptr, QCoreApplication::applicationName(),
                QStringLiteral("The record store needs Qt's PostgreSQL driver, which this "
                               "installation does not have: the records go to the CSV files "
                               "and the crash journal only."));
        } else if (commandLine.store) {
            lrf::journal::ForwarderSettings settings;
            settings.target = *commandLine.store;
            settings.station = lrf::LogStore::Station(commandLine.station, version);
            store = std::make_unique<lrf::LogStore>(journal, &form, std::move(settings));
        }
        // The test line's window and scan to start; with no plan chosen the
        // program measures as it always has.
        // Each unit's verdict is kept in the journal beside its records.
        lrf::journal::UnitJournal unitJournal(journal.journal());
        lrf::VerificationStation verification(form);
        verification.scan().setStation(commandLine.station);
        verification.scan().attachSink(unitJournal);
        lrf::QuitSignals quitSignals([&form](int) { form.btnExitClick(); });
        form.show();
        lrf::ApplyPortChoice(commandLine, *form.controls().cbbComPort,
                             *form.controls().cbbBaudRate);
        journal.Start();
        verification.applyChoices(commandLine.plan, commandLine.reportFolder);
        // The end of the program, once: after the event loop, or inside it when the
        // system asks to end the session (Windows ends the process soon after).
        bool finished = false;
        const auto finish = [&] {
            if (std::exchange(finished, true))
                return;
            // Records not yet written by an automatic save are kept in a file of their own.
            logWindow.SaveMirrorAtExit();
            journal.Finish();
            if (store)
                store->Finish(); // the last lines, while the store takes them
        };
        QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, [&form, &finish] {
            form.btnExitClick();
            finish();
        });
        result = app.exec();
        finish();
    }
    return result;
}
