#include "MeasureOptions.h"

#include "ArgumentText.h"
#include "LrfVersion.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>

#include <filesystem>

namespace lrf::measure {

namespace {

const QString kExitStatusHelp =
    QStringLiteral("Exit status:\n"
                   "  0    done: every shot answered, every record written\n"
                   "  1    another failure (the simulator could not start)\n"
                   "  2    bad arguments\n"
                   "  3    the port could not be opened\n"
                   "  4    communication failure: no reply within 10 seconds\n"
                   "  5    the device vanished during the run\n"
                   "  6    records could not be written to their file or folder (or the\n"
                   "       report into its folder)\n"
                   "  7    --plan: the unit is MARGINAL\n"
                   "  8    --plan: the unit FAILs\n"
                   "  128+N  ended by signal N (130 Ctrl+C, 143 SIGTERM), every record written\n"
                   "  141  the reader of standard output went away (| head): the records it\n"
                   "       did not take stay in the journal for the next start\n");

struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Print these options and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Print the version and exit.")};
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("The serial port of the instrument (/dev/ttyUSB0)."),
                            QStringLiteral("path")};
    QCommandLineOption baud{QStringLiteral("baud"),
                            QStringLiteral("The baud rate, 110 to 256000 (19200)."),
                            QStringLiteral("rate"), QStringLiteral("19200")};
    QCommandLineOption distance{QStringLiteral("distance"),
                                QStringLiteral("Measure distances (command 0x0F).")};
    QCommandLineOption speed{QStringLiteral("speed"),
                             QStringLiteral("Measure speeds (command 0x0D).")};
    QCommandLineOption rotation{QStringLiteral("rotation"),
                                QStringLiteral("Alternate distance and speed shots, each "
                                               "<ms> milliseconds after the reply before "
                                               "(1 to 9999); a pair makes one record."),
                                QStringLiteral("ms")};
    QCommandLineOption count{QStringLiteral("count"),
                             QStringLiteral("Records to make (1); 0 runs until Ctrl+C."),
                             QStringLiteral("n"), QStringLiteral("1")};
    QCommandLineOption csv{QStringLiteral("csv"),
                           QStringLiteral("Write the CSV lines to <target>: a file, a folder "
                                          "(the window program's automatic save files, one "
                                          "every 2000 records and one at the end) or - for "
                                          "standard output (the default)."),
                           QStringLiteral("target")};
    QCommandLineOption json{QStringLiteral("json"),
                            QStringLiteral("Print one JSON object per record on standard output "
                                           "instead of the CSV lines there.")};
    QCommandLineOption model{QStringLiteral("model"), QStringLiteral("Model text of the records."),
                             QStringLiteral("text")};
    QCommandLineOption code{QStringLiteral("code"), QStringLiteral("LRF Code text of the records."),
                            QStringLiteral("text")};
    QCommandLineOption place{QStringLiteral("place"), QStringLiteral("Place text of the records."),
                             QStringLiteral("text")};
    QCommandLineOption destination{QStringLiteral("destination"),
                                   QStringLiteral("Destination text of the records."),
                                   QStringLiteral("text")};
    QCommandLineOption store{
        QStringLiteral("store"),
        QStringLiteral("Forward every record to the PostgreSQL database <uri> "
                       "(postgresql://user@host:port/dbname, ?host=/socket/dir for a local "
                       "socket, and any other libpq parameter such as ?sslmode=require); the "
                       "password comes from PGPASSFILE or ~/.pgpass. Also LRF_STORE."),
        QStringLiteral("uri")};
    QCommandLineOption station{QStringLiteral("station"),
                               QStringLiteral("The name of this station in the store (the host "
                                              "name by default). Also LRF_STATION."),
                               QStringLiteral("name")};
    QCommandLineOption plan{
        QStringLiteral("plan"),
        QStringLiteral("Check the unit against the test plan <file>: its shots and mode come "
                       "from the plan, the unit's verdict goes to standard error and sets the "
                       "exit status (0 PASS, 7 MARGINAL, 8 FAIL); --json lines carry each "
                       "shot's deviation and verdict."),
        QStringLiteral("file")};
    QCommandLineOption report{QStringLiteral("report"),
                              QStringLiteral("With --plan: write the unit's report (HTML and "
                                             "PDF, named by --code and the time) into <folder>."),
                              QStringLiteral("folder")};
    QCommandLineOption simulate{QStringLiteral("simulate"),
                                QStringLiteral("Measure with the built-in simulated rangefinder "
                                               "instead of a port.")};

    void addTo(QCommandLineParser& parser) const {
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.setApplicationDescription(
            QStringLiteral("Measures with a laser rangefinder on a serial port and writes the "
                           "records as the window program logs them.\n\n") +
            kExitStatusHelp);
        parser.addOptions({help, version, port, baud, distance, speed, rotation, count, csv, json,
                           model, code, place, destination, store, station, plan, report,
                           simulate});
    }
};

std::optional<int> ReadInt(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace

std::optional<cport::TBaudRate> BaudRateFromText(const QString& text) {
    bool ok = false;
    const uint bits = text.toUInt(&ok);
    if (!ok)
        return std::nullopt;
    return cport::BaudRateFromBits(bits);
}

MeasureCommandLine ReadMeasureCommandLine(const QStringList& arguments) {
    const Options o;
    QCommandLineParser parser;
    o.addTo(parser);

    MeasureCommandLine result;
    const auto complain = [&](const QString& text) {
        result.exitStatus = kExitBadArguments;
        result.message = QCoreApplication::applicationName() + QStringLiteral(": ") + text +
                         QStringLiteral("\nTry '") + QCoreApplication::applicationName() +
                         QStringLiteral(" --help'.\n");
        return result;
    };
    if (!parser.parse(arguments))
        return complain(parser.errorText());
    if (parser.isSet(o.help)) {
        result.message = parser.helpText();
        return result;
    }
    if (parser.isSet(o.version)) {
        result.message = QCoreApplication::applicationName() + QLatin1Char(' ') +
                         QString::fromUtf8(LRF_VERSION) + QLatin1Char('\n');
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return complain(
            QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments().first()));

    MeasureOptions options;
    const int modes =
        int{parser.isSet(o.distance)} + int{parser.isSet(o.speed)} + int{parser.isSet(o.rotation)};
    if (parser.isSet(o.plan)) {
        if (modes > 0 || parser.isSet(o.count))
            return complain(QStringLiteral("--plan sets the mode and the shots: leave out "
                                           "--distance, --speed, --rotation and --count."));
        try {
            options.plan = verify::LoadTestPlan(ArgumentBytes(parser.value(o.plan)));
        } catch (const verify::PlanError& e) {
            result.exitStatus = kExitBadArguments;
            result.message = QCoreApplication::applicationName() + QStringLiteral(": ") +
                             QString::fromUtf8(e.what()) + QLatin1Char('\n');
            return result;
        }
        options.reportFolder = ArgumentBytes(parser.value(o.report));
        if (parser.isSet(o.report) && options.reportFolder.empty())
            return complain(QStringLiteral("--report needs a folder."));
    } else if (parser.isSet(o.report)) {
        return complain(QStringLiteral("--report writes the report of a --plan run."));
    } else if (modes != 1) {
        return complain(QStringLiteral("name one of --distance, --speed and --rotation."));
    }
    if (parser.isSet(o.speed))
        options.mode = Mode::Speed;
    if (parser.isSet(o.rotation)) {
        options.mode = Mode::Rotation;
        const std::optional<int> ms = ReadInt(parser.value(o.rotation));
        if (!ms || *ms < 1 || *ms > kMaxRotationMs)
            return complain(QStringLiteral("--rotation takes 1 to %1 milliseconds, not '%2'.")
                                .arg(kMaxRotationMs)
                                .arg(parser.value(o.rotation)));
        options.rotationMs = *ms;
    }

    options.simulate = parser.isSet(o.simulate);
    if (options.simulate == parser.isSet(o.port))
        return complain(options.simulate
                            ? QStringLiteral("--port and --simulate exclude each other.")
                            : QStringLiteral("name the port with --port PATH, or "
                                             "use --simulate."));
    options.port = ArgumentBytes(parser.value(o.port));
    if (parser.isSet(o.port) && options.port.empty())
        return complain(QStringLiteral("--port needs a path."));

    const std::optional<cport::TBaudRate> rate = BaudRateFromText(parser.value(o.baud));
    if (!rate)
        return complain(QStringLiteral("unknown baud rate '%1'.").arg(parser.value(o.baud)));
    options.baudRate = *rate;

    const std::optional<int> count = ReadInt(parser.value(o.count));
    if (!count || *count < 0)
        return complain(QStringLiteral("--count takes a number of records, 0 or more, not '%1'.")
                            .arg(parser.value(o.count)));
    options.count = *count;
    if (options.plan) {
        options.mode =
            options.plan->quantity == verify::Quantity::Speed ? Mode::Speed : Mode::Distance;
        options.count = options.plan->shots;
    }

    options.json = parser.isSet(o.json);
    const QString csv = parser.isSet(o.csv) ? parser.value(o.csv) : QStringLiteral("-");
    if (csv.isEmpty())
        return complain(QStringLiteral("--csv needs a file, a folder or -."));
    if (csv == QLatin1String("-")) {
        if (options.json && parser.isSet(o.csv))
            return complain(QStringLiteral("--json and --csv - both write to standard output."));
        options.csvTarget = options.json ? CsvTarget::None : CsvTarget::StandardOutput;
    } else {
        // The name's bytes as given, also where they are no UTF-8.
        options.csvPath = ArgumentBytes(csv);
        std::error_code ec;
        if (std::filesystem::is_directory(options.csvPath, ec))
            options.csvTarget = CsvTarget::Folder;
        else if (csv.endsWith(QLatin1Char('/')))
            return complain(QStringLiteral("no folder '%1'.").arg(csv));
        else
            options.csvTarget = CsvTarget::File;
    }

    const QString store =
        parser.isSet(o.store) ? parser.value(o.store) : qEnvironmentVariable("LRF_STORE");
    if (!store.isEmpty()) {
        try {
            options.store = journal::ParseStoreUri(store.toStdString());
        } catch (const journal::StoreUriError& e) {
            return complain(QString::fromUtf8(e.what()) + QLatin1Char('.'));
        }
    } else if (parser.isSet(o.store)) {
        return complain(QStringLiteral("--store needs an address: postgresql://user@host/dbname."));
    }
    options.station =
        (parser.isSet(o.station) ? parser.value(o.station) : qEnvironmentVariable("LRF_STATION"))
            .toStdString();

    // A plan's run records its model unless the command line names another.
    options.texts.Model = parser.isSet(o.model) || !options.plan
                              ? ArgumentBytes(parser.value(o.model))
                              : options.plan->model;
    options.texts.InstrumentCode = ArgumentBytes(parser.value(o.code));
    options.texts.Place = ArgumentBytes(parser.value(o.place));
    options.texts.Destination = ArgumentBytes(parser.value(o.destination));
    result.options = std::move(options);
    return result;
}

} // namespace lrf::measure
