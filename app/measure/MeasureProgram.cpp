#include "MeasureProgram.h"

#include "CsvFile.h"
#include "Journal.h"
#include "LrfVersion.h"
#include "MeasureRun.h"
#include "MeasureStore.h"
#include "PlanRun.h"
#include "ProgressLine.h"
#include "QuitSignals.h"
#include "RangefinderSimulator.h"
#include "RecordLog.h"
#include "RecordStream.h"
#include "SystemSeparators.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>

#include <csignal>
#include <memory>
#include <optional>

#include <unistd.h>

namespace lrf::measure {

namespace {

void Complain(std::FILE* err, const std::string& text) {
    std::fprintf(err, "%s: %s\n", QCoreApplication::applicationName().toUtf8().constData(),
                 text.c_str());
    std::fflush(err);
}

// The window program's journal, so that either program recovers what the other
// left unsaved; LRF_JOURNAL names another.
QString JournalPath() {
    if (!qEnvironmentVariableIsEmpty("LRF_JOURNAL"))
        return journal::JournalOptions::DefaultPath();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/lrfcontrol/journal.sqlite");
}

} // namespace

int RunMeasure(const MeasureOptions& options, std::FILE* out, std::FILE* err) {
    // A reader that goes away (| head) makes writes fail instead of killing
    // the program before its records are saved.
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    const Separators separators = SystemSeparators();

    MeasureRun::Settings settings{options.port,       options.baudRate, options.mode,
                                  options.rotationMs, options.count,    options.texts};
    std::unique_ptr<sim::RangefinderSimulator> simulator;
    if (options.simulate) {
        simulator = std::make_unique<sim::RangefinderSimulator>();
        // The simulated instrument keeps its line pace but sends each reply whole,
        // so that a busy desktop cannot cut one in two.
        sim::SimSettings simulated = simulator->Settings();
        simulated.wholeReplies = true;
        simulator->SetSettings(simulated);
        try {
            simulator->Start();
        } catch (const std::exception& e) {
            Complain(err, std::string("the simulator could not start: ") + e.what());
            return kExitFailure;
        }
        settings.port = simulator->DevicePath();
    }

    // The outputs: the CSV lines on standard output or in a file, the JSON
    // lines on standard output, or the automatic save files in a folder.
    RecordLog log;
    std::unique_ptr<RecordStream> csv;
    std::unique_ptr<RecordStream> json;
    const std::filesystem::path standardOutput = "/dev/stdout";
    switch (options.csvTarget) {
    case CsvTarget::StandardOutput:
        csv = std::make_unique<RecordStream>(out, standardOutput, RecordStream::Format::Csv,
                                             separators);
        break;
    case CsvTarget::File:
        break; // created once the port is open: a run that cannot start keeps an old file
    case CsvTarget::Folder:
        log.SetMirrorWriter(RecordLog::AutoSaveFiles(options.csvPath));
        break;
    case CsvTarget::None:
        break;
    }
    if (options.json)
        json = std::make_unique<RecordStream>(out, standardOutput, RecordStream::Format::Json,
                                              separators);
    // The output whose files take the records in the journal's eyes: the CSV
    // lines' target, or the JSON lines when they are the only output. A folder
    // takes them with its automatic save files.
    const auto taker = [&csv, &json]() -> RecordStream* { return csv ? csv.get() : json.get(); };
    const auto pipeBroken = [&csv, &json] {
        return (csv && csv->BrokenPipe()) || (json && json->BrokenPipe());
    };
    // A stream holds every line already: the automatic save and the save at the
    // end only make sure it is on the disk, and tell the journal so.
    if (options.csvTarget != CsvTarget::Folder)
        log.SetMirrorWriter([&taker](const std::vector<std::string>&) {
            RecordStream* stream = taker();
            if (!stream)
                throw CsvFileError("No file takes the records.");
            if (!stream->Sync())
                throw CsvFileError("Cannot write file \"" + stream->Name().string() + "\". " +
                                   stream->Error());
            return stream->Name();
        });
    log.SetLineListener([&](const LogLine& line) {
        if (csv)
            csv->Line(line);
        if (json)
            json->Line(line);
    });
    bool saveFailed = false;
    log.SetSaveFailed([&](const std::string& text) {
        saveFailed = true;
        // A reader that went away is no failure to report: its lines wait in
        // the journal.
        if (!pipeBroken())
            Complain(err, text + " The records are kept for the next save.");
    });
    // Lines in a pipe or on a terminal are delivered once written, lines in a
    // file on the disk once synced, which happens at most once a second: the
    // journal is told at once, so that a run that delivered its records leaves
    // nothing to recover.
    // The second counts from the first record.
    QElapsedTimer sinceSync;
    const auto delivered = [&] {
        RecordStream* stream = options.csvTarget == CsvTarget::Folder ? nullptr : taker();
        if (!stream || stream->Failed())
            return;
        if (stream->IsRegularFile()) {
            if (!sinceSync.isValid())
                sinceSync.start();
            if (sinceSync.elapsed() < 1000)
                return;
        }
        log.SaveMirror();
        sinceSync.restart();
    };
    log.SetMirrorDelivers(options.csvTarget == CsvTarget::StandardOutput ||
                          options.csvTarget == CsvTarget::None);

    // Every record also goes into the crash journal, as the window program's do.
    const QString folder = options.csvTarget == CsvTarget::Folder
                               ? QString::fromStdString(options.csvPath)
                               : QDir::currentPath();
    journal::Journal journal({JournalPath(), QDir(folder).absolutePath(),
                              QString::fromUtf8(LRF_VERSION), options.store.has_value()});
    QObject::connect(&journal, &journal::Journal::notice, &journal,
                     [err](const QString& text) { Complain(err, text.toStdString()); });
    log.SetObserver(&journal);
    // The store's worker reports from its own thread; a line to stderr is whole.
    std::unique_ptr<MeasureStore> store;
    if (options.store)
        store =
            std::make_unique<MeasureStore>(journal, *options.store, options.station,
                                           [err](const std::string& text) { Complain(err, text); });
    journal.Start();

    const bool recordsOnTerminal =
        (options.csvTarget == CsvTarget::StandardOutput || options.json) && isatty(fileno(out));
    ProgressLine progress(isatty(fileno(err)) && !recordsOnTerminal ? err : nullptr, options.count);

    MeasureRun run(settings, log, separators);
    // A plan's run judges each reply before the log writes its line.
    std::optional<PlanRun> planRun;
    if (options.plan) {
        planRun.emplace(options);
        QObject::connect(&run, &MeasureRun::measuring, &run, [&](const Measurement& m) {
            const std::string fields = planRun->Judge(m);
            if (json)
                json->SetJsonExtra(fields);
        });
    }
    int exitCode = kExitDone;
    QString message;
    QObject::connect(&run, &MeasureRun::recorded, &run, [&](bool rowComplete) {
        if (!rowComplete)
            return;
        if (csv)
            csv->Commit();
        if (json)
            json->Commit();
        progress.Record();
        // A reader that closed the pipe ends the run as it ends any command-line
        // program, without a word; other failures are reported.
        int failed = kExitDone;
        for (const std::unique_ptr<RecordStream>* stream : {&csv, &json})
            if (*stream && (*stream)->Failed() && failed != kExitOutputFailed)
                failed = (*stream)->BrokenPipe() ? kExitBrokenPipe : kExitOutputFailed;
        if (failed != kExitDone)
            QMetaObject::invokeMethod(
                &run, [&run, failed] { run.Stop(failed); }, Qt::QueuedConnection);
        else
            delivered();
    });
    QObject::connect(&run, &MeasureRun::finished, &run, [&](int code, const QString& text) {
        exitCode = code;
        message = text;
        QCoreApplication::exit(code);
    });
    QuitSignals quitSignals([&run](int signal) { run.Stop(128 + signal); });
    // Records are only made while someone reads them.
    run.setOutputGone(
        [&csv, &json] { return (csv && csv->ReaderGone()) || (json && json->ReaderGone()); });

    std::string openError;
    const bool started = run.Start(openError);
    if (!started) {
        exitCode = kExitPortNotOpened;
        message = QString::fromStdString(openError);
    } else if (options.csvTarget == CsvTarget::File &&
               !(csv = RecordStream::Create(options.csvPath, RecordStream::Format::Csv,
                                            separators))) {
        // No reply is handled before the event loop runs: nothing is lost.
        const std::string reason = SaveErrorText(errno) + ": " + options.csvPath;
        run.Stop(kExitOutputFailed);
        message = QString::fromStdString(reason);
    } else {
        QCoreApplication::exec();
    }
    progress.Finish();
    if (!message.isEmpty())
        Complain(err, message.toStdString());

    // Everything recorded is written and on the disk before the program ends.
    bool written = true;
    for (std::unique_ptr<RecordStream>* stream : {&csv, &json})
        if (*stream && !(*stream)->Finish() && !(*stream)->BrokenPipe()) {
            Complain(err,
                     "Cannot write \"" + (*stream)->Name().string() + "\". " + (*stream)->Error());
            written = false;
        }
    // What a closed pipe did not take stays in the journal for the next start;
    // a folder or a file beside the pipe still gets every record.
    RecordStream* const takingStream = options.csvTarget == CsvTarget::Folder ? nullptr : taker();
    if (!(takingStream && takingStream->BrokenPipe()) && !log.SaveMirror())
        written = false;
    log.SetObserver(nullptr);
    journal.Finish();
    // What the journal had to tell (records recovered at the start of a short
    // run) may still wait for the event loop that is over now; so may its
    // ready(), which starts the store's worker.
    QCoreApplication::sendPostedEvents(&journal, QEvent::MetaCall);
    if (store)
        store->Finish();
    if (!written || (saveFailed && log.Mirror().HasRecords() && !pipeBroken()))
        exitCode = kExitOutputFailed;
    else if (exitCode == kExitDone && pipeBroken())
        exitCode = kExitBrokenPipe;
    // Every unit whose run started gets its verdict, also one cut short.
    if (planRun && started)
        exitCode = planRun->Finish(exitCode, err);
    return exitCode;
}

} // namespace lrf::measure
