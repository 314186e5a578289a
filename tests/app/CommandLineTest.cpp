// The program's command line: what each option asks for, and the programs as
// built, run without a display the way a script or an installer runs them.

#include "CommandLine.h"
#include "ArgumentText.h"
#include "LrfVersion.h"
#include "RangefinderSimulator.h"

#include <QComboBox>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

QStringList Args(const std::vector<const char*>& args) {
    QStringList list{QStringLiteral("lrfcontrol")};
    for (const char* a : args)
        list << QString::fromUtf8(a);
    return list;
}

TEST(CommandLine, EachOptionAsksForItsOwnRun) {
    struct Case {
        std::vector<const char*> args;
        std::optional<int> exitStatus; // set: the program ends at once
        bool simulate;
        std::optional<QString> checkPort;
        const char* inMessage;
    };
    const std::vector<Case> cases{
        {{}, std::nullopt, false, std::nullopt, ""}, // the windows, as always
        {{"--simulate"}, std::nullopt, true, std::nullopt, ""},
        {{"--check-port", "/dev/ttyUSB0"}, std::nullopt, false, QStringLiteral("/dev/ttyUSB0"), ""},
        // An empty name is still a check (it fails), never the windows.
        {{"--check-port", ""}, std::nullopt, false, QString(), ""},
        {{"--version"}, 0, false, std::nullopt, " " LRF_VERSION "\n"},
        {{"--help"}, 0, false, std::nullopt, "--check-port <port>"},
        {{"--simulat"}, 2, false, std::nullopt, "simulat"},
        {{"--check-port"}, 2, false, std::nullopt, "check-port"},
        {{"COM5"}, 2, false, std::nullopt, "COM5"},
    };
    for (const Case& c : cases) {
        const QStringList args = Args(c.args);
        SCOPED_TRACE(args.join(' ').toStdString());
        const lrf::CommandLine line = lrf::ReadCommandLine(args);
        EXPECT_EQ(line.exitStatus, c.exitStatus);
        EXPECT_EQ(line.simulate, c.simulate);
        EXPECT_EQ(line.checkPort, c.checkPort);
        EXPECT_TRUE(line.message.contains(QString::fromUtf8(c.inMessage)))
            << line.message.toStdString();
    }
}

// The store address, from the option or else LRF_STORE: what libpq is given,
// and a clear complaint (never echoing a password) for what cannot be used.
TEST(CommandLine, StoreAddressesAreReadOrRefusedClearly) {
    using lrf::journal::StoreTarget;
    struct Case {
        std::vector<const char*> args;
        const char* environment; // LRF_STORE
        std::optional<StoreTarget> store;
        const char* inComplaint; // empty: none
    };
    const std::vector<Case> cases{
        {{}, "", std::nullopt, ""},
        {{"--store", "postgresql://lrf@db.example:5433/survey"},
         "",
         StoreTarget{"lrf", "db.example", 5433, "survey"},
         ""},
        {{"--store", "postgres://db.example/survey"},
         "",
         StoreTarget{"", "db.example", 0, "survey"},
         ""},
        {{"--store", "postgresql://lrf@:5433/survey?host=/run/pg%20sock"},
         "",
         StoreTarget{"lrf", "/run/pg sock", 5433, "survey"},
         ""},
        {{},
         "postgresql://team%40north@db/records",
         StoreTarget{"team@north", "db", 0, "records"},
         ""},
        // The option wins over the environment.
        {{"--store", "postgresql://a@b/c"},
         "postgresql://x@y/z",
         StoreTarget{"a", "b", 0, "c"},
         ""},
        {{"--store", "postgresql://lrf:hunter2@db/survey"}, "", std::nullopt, "~/.pgpass"},
        {{}, "postgresql://lrf@db/survey?password=hunter2", std::nullopt, "PGPASSFILE"},
        {{"--store", "mysql://lrf@db/survey"}, "", std::nullopt, "must begin with postgresql://"},
        {{"--store", "postgresql://lrf@db:99999/survey"}, "", std::nullopt, "port"},
        // Every other libpq parameter goes to libpq as given; one it does not know is refused.
        {{"--store", "postgresql://lrf@db/survey?sslmode=verify-full&sslrootcert=/etc/ca%20x.pem"
                     "&connect_timeout=5&application_name=yard%20one"},
         "",
         StoreTarget{"lrf",
                     "db",
                     0,
                     "survey",
                     {{"sslmode", "verify-full"},
                      {"sslrootcert", "/etc/ca x.pem"},
                      {"connect_timeout", "5"},
                      {"application_name", "yard one"}}},
         ""},
        {{"--store", "postgresql://lrf@db/survey?sslmode=require&sslmod=x"},
         "",
         std::nullopt,
         "sslmod"},
        {{"--store", "postgresql://lrf@db/survey?sslpassword=x"}, "", std::nullopt, ".pgpass"},
        {{"--store", "postgresql://lrf@db/survey?options=a%3Bb"}, "", std::nullopt, "';'"},
        {{"--store", "postgresql://lrf@db/surv%zzey"}, "", std::nullopt, "%-escape"},
    };
    for (const Case& c : cases) {
        const QStringList args = Args(c.args);
        SCOPED_TRACE(args.join(' ').toStdString() + " LRF_STORE=" + c.environment);
        qputenv("LRF_STORE", c.environment);
        const lrf::CommandLine line = lrf::ReadCommandLine(args);
        EXPECT_EQ(line.store, c.store);
        if (*c.inComplaint) {
            EXPECT_EQ(line.exitStatus, 2);
            EXPECT_TRUE(line.message.contains(QString::fromUtf8(c.inComplaint)))
                << line.message.toStdString();
            EXPECT_FALSE(line.message.contains("hunter2"));
        } else {
            EXPECT_FALSE(line.exitStatus) << line.message.toStdString();
        }
    }
    qunsetenv("LRF_STORE");
    qputenv("LRF_STATION", "bench 3");
    EXPECT_EQ(lrf::ReadCommandLine(Args({})).station, "bench 3");
    EXPECT_EQ(lrf::ReadCommandLine(Args({"--station", "quay"})).station, "quay");
    qunsetenv("LRF_STATION");
}

// --port and --baud only preselect: the windows still open; a rate the port
// does not offer ends the program before any window.
TEST(CommandLine, PortAndBaudPreselectTheBoxes) {
    struct Case {
        std::vector<const char*> args;
        std::optional<int> exitStatus;
        std::optional<QString> port;
        std::optional<int> baudIndex;
    };
    const std::vector<Case> cases{
        {{"--port", "/dev/ttyUSB3"}, std::nullopt, QStringLiteral("/dev/ttyUSB3"), std::nullopt},
        {{"--baud", "9600"}, std::nullopt, std::nullopt, 7},
        {{"--baud", "256000", "--port", "COM5"}, std::nullopt, QStringLiteral("COM5"), 15},
        {{"--baud", "12345"}, 2, std::nullopt, std::nullopt},
        {{"--baud", "19200x"}, 2, std::nullopt, std::nullopt},
        {{"--baud", "0"}, 2, std::nullopt, std::nullopt}, // "Custom" has no number
        {{"--port"}, 2, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        const QStringList args = Args(c.args);
        SCOPED_TRACE(args.join(' ').toStdString());
        const lrf::CommandLine line = lrf::ReadCommandLine(args);
        EXPECT_EQ(line.exitStatus, c.exitStatus) << line.message.toStdString();
        EXPECT_EQ(line.port, c.port);
        EXPECT_EQ(line.baudIndex, c.baudIndex);
        if (c.exitStatus) {
            EXPECT_TRUE(line.message.contains(QString::fromUtf8(c.args.back())));
        }
    }
}

TEST(CommandLine, OnlyOurWindowlessOptionsChooseTheOffscreenPlatform) {
    // Qt's own options are still in argv when this is asked; none of them may
    // hide the windows ("-reverse" is not -r -e -v...).
    const std::vector<std::pair<std::vector<const char*>, bool>> cases{
        {{"lrfcontrol"}, false},
        {{"lrfcontrol", "-reverse"}, false},
        {{"lrfcontrol", "-platform", "xcb", "--simulate"}, false},
        {{"lrfcontrol", "-style", "fusion", "-session", "h1"}, false},
        {{"lrfcontrol", "--version"}, true},
        {{"lrfcontrol", "-platform", "xcb", "-h"}, true},
        {{"lrfcontrol", "--check-port", "/dev/ttyS0"}, true},
    };
    for (const auto& [args, windowless] : cases) {
        std::vector<char*> argv;
        for (const char* a : args)
            argv.push_back(const_cast<char*>(a));
        EXPECT_EQ(lrf::AsksForNoWindow(static_cast<int>(argv.size()), argv.data()), windowless)
            << argv.size() << " " << args.back();
    }
}

TEST(CommandLine, QtsOwnOptionsAreSetAsideBeforeTheApplicationExists) {
    const std::vector<std::pair<std::vector<const char*>, QStringList>> cases{
        {{"lrfcontrol", "-platform", "xcb", "--simulate"}, {"lrfcontrol", "--simulate"}},
        {{"lrfcontrol", "--style", "fusion", "-reverse", "--port", "/dev/x"},
         {"lrfcontrol", "--port", "/dev/x"}},
        {{"lrfcontrol", "-style=fusion", "-qwindowgeometry", "800x600", "-session", "s1"},
         {"lrfcontrol"}},
        // Ours and unknown ones stay, and so does a value that looks like Qt's.
        {{"lrfcontrol", "--bogus", "--station", "-reverse"},
         {"lrfcontrol", "--bogus", "--station"}},
        {{"lrfcontrol", "--port", "platform"}, {"lrfcontrol", "--port", "platform"}},
    };
    for (const auto& [args, expected] : cases) {
        std::vector<char*> argv;
        for (const char* a : args)
            argv.push_back(const_cast<char*>(a));
        EXPECT_EQ(lrf::WithoutQtOptions(static_cast<int>(argv.size()), argv.data()), expected)
            << args.back();
    }
}

// Port names that are not UTF-8 keep their bytes, through the port box too,
// whose text is what the port is opened with.
TEST(CommandLine, PortNamesKeepTheirBytes) {
    for (const std::string name : {"/dev/tty\xff",
                                   "/tmp/Br\xfc"
                                   "cke",
                                   "/dev/ttyS\xc3\xbc"}) {
        SCOPED_TRACE(name);
        for (const char* option : {"--port", "--check-port"}) {
            std::vector<std::string> raw{"lrfcontrol", option, name};
            std::vector<char*> argv;
            for (std::string& a : raw)
                argv.push_back(a.data());
            const lrf::CommandLine line = lrf::ReadCommandLine(
                lrf::WithoutQtOptions(static_cast<int>(argv.size()), argv.data()));
            const std::optional<QString>& given =
                std::string_view(option) == "--port" ? line.port : line.checkPort;
            ASSERT_TRUE(given.has_value()) << line.message.toStdString();
            EXPECT_EQ(lrf::ArgumentBytes(*given), name);
        }
        std::vector<std::string> raw{"lrfcontrol", "--port", name};
        std::vector<char*> argv;
        for (std::string& a : raw)
            argv.push_back(a.data());
        const lrf::CommandLine line =
            lrf::ReadCommandLine(lrf::ArgumentTexts(static_cast<int>(argv.size()), argv.data()));
        QComboBox portBox, baudBox;
        portBox.setEditable(true);
        portBox.addItem(QStringLiteral("/dev/ttyS0"));
        lrf::ApplyPortChoice(line, portBox, baudBox);
        EXPECT_EQ(lrf::ArgumentBytes(portBox.currentText()), name);
    }
}

struct ProgramRun {
    int status = -1;
    QString out, err;
};

// Runs a built program as a user's script would: no display, no Qt platform
// chosen, German as the language.
ProgramRun RunProgram(const QString& program, const QStringList& args) {
    static QTemporaryDir runtime; // Qt's runtime folder, private to the tests
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("LANGUAGE"), QStringLiteral("de"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    ProgramRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

TEST(BuiltPrograms, PrintTheOneVersionWithoutADisplay) {
    for (const char* program : {LRFCONTROL_PROGRAM, LRFSIM_PROGRAM, LRFMEASURE_PROGRAM}) {
        const ProgramRun run =
            RunProgram(QString::fromUtf8(program), {QStringLiteral("--version")});
        EXPECT_EQ(run.status, 0) << program << run.err.toStdString();
        EXPECT_TRUE(run.out.endsWith(QStringLiteral(" " LRF_VERSION "\n")))
            << run.out.toStdString();
    }
}

// Over ssh, without a display: a mistake on the command line is told in words
// and status 2, never as an abort for want of a display.
TEST(BuiltPrograms, RefuseBadArgumentsWithoutADisplay) {
    struct Case {
        QStringList args;
        const char* complaint;
    };
    const std::vector<Case> cases{
        {{QStringLiteral("--bogus")}, "lrfcontrol: Unknown option 'bogus'."},
        {{QStringLiteral("--baud"), QStringLiteral("12345")},
         "lrfcontrol: unknown baud rate '12345'."},
        {{QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("COM5")},
         "lrfcontrol: unexpected argument 'COM5'."},
        {{QStringLiteral("--simulate"), QStringLiteral("--store"), QStringLiteral("mysql://x")},
         "lrfcontrol: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const ProgramRun run = RunProgram(QStringLiteral(LRFCONTROL_PROGRAM), c.args);
        EXPECT_EQ(run.status, 2) << run.err.toStdString();
        EXPECT_TRUE(run.err.startsWith(QString::fromUtf8(c.complaint))) << run.err.toStdString();
        EXPECT_TRUE(run.err.endsWith(QStringLiteral("Try 'lrfcontrol --help'.\n")));
        EXPECT_TRUE(run.out.isEmpty());
    }
    // Qt's own options are no mistake: the help still comes.
    const ProgramRun help = RunProgram(QStringLiteral(LRFCONTROL_PROGRAM),
                                       {QStringLiteral("-style"), QStringLiteral("fusion"),
                                        QStringLiteral("-reverse"), QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("--check-port"))) << help.out.toStdString();
}

TEST(BuiltPrograms, PortCheckTellsTheOutcomeInTheStatusAndTheComponentsText) {
    lrf::sim::RangefinderSimulator sim;
    sim.Start();
    const QString device = QString::fromStdString(sim.DevicePath());
    const ProgramRun opened =
        RunProgram(QStringLiteral(LRFCONTROL_PROGRAM), {QStringLiteral("--check-port"), device});
    EXPECT_EQ(opened.status, 0) << opened.err.toStdString();
    // The link line: a pseudo-terminal is no link the program knows, and the
    // simulator answers the distance shots.
    EXPECT_TRUE(opened.out.startsWith(device + QStringLiteral(": opened\nlink: unknown link, "
                                                              "median reply ")))
        << opened.out.toStdString();
    EXPECT_TRUE(opened.out.endsWith(QStringLiteral(" ms\n"))) << opened.out.toStdString();
    EXPECT_EQ(sim.Counters().distanceCommands, 5u);

    // Failed: the serial component's text, from the catalogue beside the program.
    const QString missing = QStringLiteral("/dev/lrf-test-no-such-port");
    const ProgramRun failed =
        RunProgram(QStringLiteral(LRFCONTROL_PROGRAM), {QStringLiteral("--check-port"), missing});
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(failed.err.contains(
        missing + QStringLiteral(": Die serielle Schnittstelle kann nicht geöffnet werden")))
        << failed.err.toStdString();
    EXPECT_TRUE(failed.out.isEmpty()) << failed.out.toStdString();
}

// A port whose name is not UTF-8 is the one the check opens: a link to the
// simulator's terminal named with a byte that no UTF-8 text has.
TEST(BuiltPrograms, PortCheckOpensANameThatIsNotUtf8) {
    lrf::sim::RangefinderSimulator sim;
    sim.Start();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::filesystem::path link =
        std::filesystem::path(dir.path().toStdString()) / "port-\xff\xfe";
    std::filesystem::create_symlink(sim.DevicePath(), link);
    // The bytes are made by the shell: QProcess would pass the arguments as text.
    const ProgramRun run =
        RunProgram(QStringLiteral("/bin/sh"),
                   {QStringLiteral("-c"),
                    QStringLiteral("exec \"$0\" --check-port \"$1/$(printf 'port-\\377\\376')\""),
                    QStringLiteral(LRFCONTROL_PROGRAM), dir.path()});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral(": opened\n"))) << run.out.toStdString();
    EXPECT_EQ(sim.Counters().distanceCommands, 5u);
}

} // namespace
