#include "MeasureOptions.h"
#include "ArgumentText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

namespace {

using lrf::measure::CsvTarget;
using lrf::measure::Mode;

QStringList Args(const std::vector<QString>& args) {
    QStringList list{QStringLiteral("lrfmeasure")};
    for (const QString& a : args)
        list << a;
    return list;
}

// Every way of asking for a run that cannot be run ends with status 2 and
// names what was wrong.
TEST(MeasureOptions, BadArgumentsEndWithStatusTwo) {
    const std::vector<std::pair<std::vector<QString>, QString>> cases{
        {{"--port", "/dev/x"}, "--distance"},                       // no mode
        {{"--port", "/dev/x", "--distance", "--speed"}, "--speed"}, // two modes
        {{"--port", "/dev/x", "--distance", "--rotation", "100"}, "--rotation"},
        {{"--distance"}, "--port"}, // no port
        {{"--simulate", "--port", "/dev/x", "--distance"}, "--simulate"},
        {{"--port", "", "--distance"}, "--port"},
        {{"--port", "/dev/x", "--distance", "--baud", "12345"}, "12345"},
        {{"--port", "/dev/x", "--distance", "--baud", "0"}, "'0'"},
        {{"--port", "/dev/x", "--distance", "--count", "-1"}, "-1"},
        {{"--port", "/dev/x", "--distance", "--count", "ten"}, "ten"},
        {{"--port", "/dev/x", "--rotation", "0"}, "'0'"},
        {{"--port", "/dev/x", "--rotation", "10000"}, "10000"}, // the watchdog would end it
        {{"--port", "/dev/x", "--rotation", "fast"}, "fast"},
        {{"--port", "/dev/x", "--distance", "--json", "--csv", "-"}, "standard output"},
        {{"--port", "/dev/x", "--distance", "--csv", ""}, "--csv"},
        {{"--port", "/dev/x", "--distance", "--csv", "/no/such/folder/"}, "/no/such/folder/"},
        {{"--port", "/dev/x", "--distance", "extra"}, "extra"},
        {{"--port", "/dev/x", "--distanse"}, "distanse"},
        {{"--port"}, "port"},
    };
    for (const auto& [args, named] : cases) {
        const QStringList line = Args(args);
        SCOPED_TRACE(line.join(' ').toStdString());
        const lrf::measure::MeasureCommandLine read = lrf::measure::ReadMeasureCommandLine(line);
        EXPECT_FALSE(read.options);
        EXPECT_EQ(read.exitStatus, 2);
        EXPECT_TRUE(read.message.contains(named)) << read.message.toStdString();
        EXPECT_TRUE(read.message.contains("--help")) << read.message.toStdString();
    }
}

TEST(MeasureOptions, ARunAndItsDefaults) {
    QTemporaryDir folder;
    const std::vector<QString> texts{"--model", "M7",   "--code",        "C-1",
                                     "--place", "Yard", "--destination", "Gate"};

    auto read = lrf::measure::ReadMeasureCommandLine(Args({"--port", "/dev/ttyUSB0", "--speed"}));
    ASSERT_TRUE(read.options);
    EXPECT_EQ(read.options->port, "/dev/ttyUSB0");
    EXPECT_EQ(read.options->mode, Mode::Speed);
    EXPECT_EQ(read.options->baudRate, cport::br19200);
    EXPECT_EQ(read.options->count, 1);
    EXPECT_EQ(read.options->csvTarget, CsvTarget::StandardOutput);
    EXPECT_FALSE(read.options->json);

    std::vector<QString> args{"--simulate", "--rotation", "250",   "--count",     "0",
                              "--baud",     "9600",       "--csv", folder.path(), "--json"};
    args.insert(args.end(), texts.begin(), texts.end());
    read = lrf::measure::ReadMeasureCommandLine(Args(args));
    ASSERT_TRUE(read.options) << read.message.toStdString();
    EXPECT_TRUE(read.options->simulate);
    EXPECT_EQ(read.options->mode, Mode::Rotation);
    EXPECT_EQ(read.options->rotationMs, 250);
    EXPECT_EQ(read.options->count, 0);
    EXPECT_EQ(read.options->baudRate, cport::br9600);
    EXPECT_EQ(read.options->csvTarget, CsvTarget::Folder);
    EXPECT_TRUE(read.options->json);
    EXPECT_EQ(read.options->texts.Model, "M7");
    EXPECT_EQ(read.options->texts.InstrumentCode, "C-1");
    EXPECT_EQ(read.options->texts.Place, "Yard");
    EXPECT_EQ(read.options->texts.Destination, "Gate");

    // A name that is no folder is the file; --json alone leaves no CSV on stdout.
    read = lrf::measure::ReadMeasureCommandLine(
        Args({"--simulate", "--distance", "--csv", folder.filePath("run.csv")}));
    ASSERT_TRUE(read.options);
    EXPECT_EQ(read.options->csvTarget, CsvTarget::File);
    read = lrf::measure::ReadMeasureCommandLine(Args({"--simulate", "--distance", "--json"}));
    ASSERT_TRUE(read.options);
    EXPECT_EQ(read.options->csvTarget, CsvTarget::None);
}

// A plan sets the mode, the shots and the model; what contradicts it, and a
// plan file that cannot be used, end with status 2 and say why.
TEST(MeasureOptions, APlansRun) {
    QTemporaryDir folder;
    const QString speed = folder.filePath("radar.plan");
    const QString bad = folder.filePath("bad.plan");
    {
        QFile file(speed);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("model = R-2\nreference = 60 km/h\nshots = 12\ntolerance = 1\n");
        QFile broken(bad);
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
        broken.write("reference = 60 km/h\nshots = 12\ntolerance = wide\n");
    }
    auto read = lrf::measure::ReadMeasureCommandLine(
        Args({"--simulate", "--plan", speed, "--report", folder.path()}));
    ASSERT_TRUE(read.options) << read.message.toStdString();
    EXPECT_EQ(read.options->mode, Mode::Speed);
    EXPECT_EQ(read.options->count, 12);
    EXPECT_EQ(read.options->texts.Model, "R-2");
    EXPECT_EQ(read.options->reportFolder, folder.path().toStdString());
    read = lrf::measure::ReadMeasureCommandLine(
        Args({"--simulate", "--plan", speed, "--model", "R-2b"}));
    ASSERT_TRUE(read.options);
    EXPECT_EQ(read.options->texts.Model, "R-2b");

    const std::vector<std::pair<std::vector<QString>, QString>> cases{
        {{"--simulate", "--plan", speed, "--distance"}, "--plan sets the mode"},
        {{"--simulate", "--plan", speed, "--count", "3"}, "--plan sets the mode"},
        {{"--simulate", "--plan", bad}, "bad.plan, line 3: 'tolerance'"},
        {{"--simulate", "--plan", folder.filePath("none.plan")}, "none.plan"},
        {{"--simulate", "--distance", "--report", folder.path()}, "--report"},
        {{"--simulate", "--plan", speed, "--report", ""}, "--report needs a folder"},
    };
    for (const auto& [args, named] : cases) {
        const QStringList line = Args(args);
        SCOPED_TRACE(line.join(' ').toStdString());
        read = lrf::measure::ReadMeasureCommandLine(line);
        EXPECT_FALSE(read.options);
        EXPECT_EQ(read.exitStatus, 2);
        EXPECT_TRUE(read.message.contains(named)) << read.message.toStdString();
    }
}

} // namespace

// File names and texts are bytes: what is no UTF-8 reaches the file system and
// the records unchanged.
TEST(MeasureOptions, ArgumentsKeepTheirBytes) {
    const std::vector<std::string> bytes{"name\xff.csv",
                                         "Mast\xa4",
                                         "Br\xc3\xbc"
                                         "cke",
                                         "\xe2\x82\xac 5",
                                         "\xed\xa0\x80",
                                         "\xc3",
                                         "\xf0\x9f\x93\x8f"};
    for (const std::string& b : bytes)
        EXPECT_EQ(lrf::ArgumentBytes(lrf::ArgumentText(b)), b);
    EXPECT_EQ(lrf::ArgumentText("Br\xc3\xbc"
                                "cke"),
              QString::fromUtf8("Brücke"));

    char* argv[] = {const_cast<char*>("lrfmeasure"),   const_cast<char*>("--simulate"),
                    const_cast<char*>("--distance"),   const_cast<char*>("--csv"),
                    const_cast<char*>("name\xff.csv"), const_cast<char*>("--destination"),
                    const_cast<char*>("Mast\xa4")};
    const lrf::measure::MeasureCommandLine read =
        lrf::measure::ReadMeasureCommandLine(lrf::ArgumentTexts(7, argv));
    ASSERT_TRUE(read.options) << read.message.toStdString();
    EXPECT_EQ(read.options->csvPath, "name\xff.csv");
    EXPECT_EQ(read.options->csvTarget, CsvTarget::File);
    EXPECT_EQ(read.options->texts.Destination, "Mast\xa4");
}
