#include "CommandLine.h"

#include "ArgumentText.h"
#include "ComTypes.h"
#include "LrfVersion.h"
#include "PortCheck.h"

#include <QComboBox>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <iostream>

namespace lrf {

namespace {

// The options, in one place: a later option is one more entry here and one more
// field of CommandLine.
struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Print these options and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Print the version and exit.")};
    QCommandLineOption simulate{QStringLiteral("simulate"),
                                QStringLiteral("Run a simulated rangefinder inside the program; "
                                               "its port is listed first.")};
    QCommandLineOption checkPort{QStringLiteral("check-port"),
                                 QStringLiteral("Open <port> with the main window's settings, "
                                                "print the outcome (the serial component's error "
                                                "text when it fails) and exit: 0 when it opened, "
                                                "1 when not. Opens no window."),
                                 QStringLiteral("port")};
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("Pick <path> in the port box (typed in when it is "
                                           "not listed)."),
                            QStringLiteral("path")};
    QCommandLineOption baud{QStringLiteral("baud"),
                            QStringLiteral("Select the baud rate <rate>, 110 to 256000."),
                            QStringLiteral("rate")};
    QCommandLineOption store{
        QStringLiteral("store"),
        QStringLiteral("Forward every record to the PostgreSQL database <uri> "
                       "(postgresql://user@host:port/dbname, ?host=/socket/dir for a local "
                       "socket); the password comes from PGPASSFILE or ~/.pgpass. Also LRF_STORE."),
        QStringLiteral("uri")};
    QCommandLineOption station{QStringLiteral("station"),
                               QStringLiteral("The name of this station in the store (the host "
                                              "name by default). Also LRF_STATION."),
                               QStringLiteral("name")};
    QCommandLineOption plan{QStringLiteral("plan"),
                            QStringLiteral("Open the verification window with the test plan "
                                           "<file> chosen: an instrument code typed or scanned "
                                           "into the LRF Code field with Enter then tests that "
                                           "unit."),
                            QStringLiteral("file")};
    QCommandLineOption report{QStringLiteral("report"),
                              QStringLiteral("Write the units' reports into <folder> (\"reports\" "
                                             "in the working folder by default)."),
                              QStringLiteral("folder")};

    void addTo(QCommandLineParser& parser) const {
        // "-reverse" is Qt's option, not -r -e -v...: single-dash words stay whole.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.setApplicationDescription(
            QStringLiteral("Controls a laser rangefinder on a serial port and logs its "
                           "measurements."));
        parser.addOptions(
            {help, version, simulate, checkPort, port, baud, store, station, plan, report});
    }

    bool windowless(const QCommandLineParser& parser) const {
        return parser.isSet(help) || parser.isSet(version) || parser.isSet(checkPort);
    }
};

// An argument before the application object exists. A file name keeps its
// bytes, UTF-8 or not; on Windows the system's code page applies, as it does
// to argv there.
QString RawArgument(const char* argument) {
#ifdef _WIN32
    return QString::fromLocal8Bit(argument);
#else
    return ArgumentText(argument);
#endif
}

QString VersionText() {
    return QCoreApplication::applicationName() + QLatin1Char(' ') + QString::fromUtf8(LRF_VERSION) +
           QLatin1Char('\n');
}

} // namespace

CommandLine ReadCommandLine(const QStringList& arguments) {
    const Options options;
    QCommandLineParser parser;
    options.addTo(parser);

    CommandLine result;
    const auto complain = [&](const QString& text) {
        result.exitStatus = 2;
        result.message = QCoreApplication::applicationName() + QStringLiteral(": ") + text +
                         QStringLiteral("\nTry '") + QCoreApplication::applicationName() +
                         QStringLiteral(" --help'.\n");
        return result;
    };
    if (!parser.parse(arguments))
        return complain(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return complain(
            QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments().first()));
    if (parser.isSet(options.help)) {
        result.exitStatus = 0;
        result.message = parser.helpText();
        return result;
    }
    if (parser.isSet(options.version)) {
        result.exitStatus = 0;
        result.message = VersionText();
        return result;
    }
    result.simulate = parser.isSet(options.simulate);
    if (parser.isSet(options.port))
        result.port = parser.value(options.port);
    if (parser.isSet(options.baud)) {
        bool ok = false;
        const uint bits = parser.value(options.baud).toUInt(&ok);
        const std::optional<cport::TBaudRate> rate =
            ok ? cport::BaudRateFromBits(bits) : std::nullopt;
        if (!rate)
            return complain(
                QStringLiteral("unknown baud rate '%1'.").arg(parser.value(options.baud)));
        result.baudIndex = static_cast<int>(*rate); // the list's items follow the rates
    }
    if (parser.isSet(options.checkPort))
        result.checkPort = parser.value(options.checkPort);
    const QString store = parser.isSet(options.store) ? parser.value(options.store)
                                                      : qEnvironmentVariable("LRF_STORE");
    if (!store.isEmpty()) {
        try {
            result.store = journal::ParseStoreUri(store.toStdString());
        } catch (const journal::StoreUriError& e) {
            return complain(QString::fromUtf8(e.what()) + QLatin1Char('.'));
        }
    }
    result.station = parser.isSet(options.station) ? parser.value(options.station)
                                                   : qEnvironmentVariable("LRF_STATION");
    result.plan = parser.value(options.plan);
    result.reportFolder = parser.value(options.report);
    return result;
}

QStringList WithoutQtOptions(int argc, char** argv) {
    // Qt's options that take the next argument as their value, and those that
    // stand alone; each also with two dashes. A few more take "=value".
    static const QStringList withValue{QStringLiteral("platform"),
                                       QStringLiteral("platformpluginpath"),
                                       QStringLiteral("platformtheme"),
                                       QStringLiteral("plugin"),
                                       QStringLiteral("qwindowgeometry"),
                                       QStringLiteral("geometry"),
                                       QStringLiteral("qwindowtitle"),
                                       QStringLiteral("title"),
                                       QStringLiteral("qwindowicon"),
                                       QStringLiteral("icon"),
                                       QStringLiteral("session"),
                                       QStringLiteral("style"),
                                       QStringLiteral("stylesheet"),
                                       QStringLiteral("display"),
                                       QStringLiteral("name"),
                                       QStringLiteral("visual")};
    static const QStringList alone{QStringLiteral("reverse"), QStringLiteral("testability"),
                                   QStringLiteral("nograb"),  QStringLiteral("dograb"),
                                   QStringLiteral("sync"),    QStringLiteral("widgetcount")};
    static const QStringList withEquals{QStringLiteral("style="), QStringLiteral("stylesheet="),
                                        QStringLiteral("qmljsdebugger=")};
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        const QString argument = RawArgument(argv[i]);
        if (i == 0 || !argument.startsWith(QLatin1Char('-'))) {
            arguments << argument;
            continue;
        }
        const QString word = argument.mid(argument.startsWith(QStringLiteral("--")) ? 2 : 1);
        if (withValue.contains(word)) {
            ++i; // and its value
            continue;
        }
        const bool equalsForm = std::any_of(withEquals.begin(), withEquals.end(),
                                            [&](const QString& w) { return word.startsWith(w); });
        if (!alone.contains(word) && !equalsForm)
            arguments << argument;
    }
    return arguments;
}

std::optional<int> RefuseBadArguments(int argc, char** argv) {
    const CommandLine line = ReadCommandLine(WithoutQtOptions(argc, argv));
    if (!line.exitStatus || *line.exitStatus == 0)
        return std::nullopt; // the help and the version are printed by the application
    return RunWithoutWindows(line);
}

bool AsksForNoWindow(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << RawArgument(argv[i]);
    const Options options;
    QCommandLineParser parser;
    options.addTo(parser);
    parser.parse(arguments); // Qt's own options are unknown here: read the rest anyway
    return options.windowless(parser);
}

void PrepareWindowlessRun(int argc, char** argv) {
    if (AsksForNoWindow(argc, argv) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

void ApplyPortChoice(const CommandLine& commandLine, QComboBox& portBox, QComboBox& baudBox) {
    if (commandLine.port) {
        const int listed = portBox.findText(*commandLine.port);
        if (listed >= 0)
            portBox.setCurrentIndex(listed);
        else
            portBox.setEditText(*commandLine.port);
    }
    if (commandLine.baudIndex)
        baudBox.setCurrentIndex(*commandLine.baudIndex);
}

std::optional<int> RunWithoutWindows(const CommandLine& commandLine) {
    if (commandLine.exitStatus) {
        (*commandLine.exitStatus == 0 ? std::cout : std::cerr)
            << commandLine.message.toStdString() << std::flush;
        return commandLine.exitStatus;
    }
    if (commandLine.checkPort) {
        const std::string port = ArgumentBytes(*commandLine.checkPort);
        const PortCheckResult check = CheckPort(port);
        (check.opened ? std::cout : std::cerr) << port << ": " << check.text << std::endl;
        return check.opened ? 0 : 1;
    }
    return std::nullopt;
}

} // namespace lrf
