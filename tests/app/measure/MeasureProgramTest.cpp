// The built lrfmeasure as a script runs it, against the built-in simulator and
// against a pty instrument, beside the window program's own log of the same
// replies.

#include "LrfVersion.h"
#include "ProgramFixture.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <array>
#include <csignal>
#include <memory>

namespace {

using lrf::sim::SimFault;
using lrf::sim::SimSettings;

// lrfmeasure in a child process, with a journal of its own and the C locale's
// separators; its standard output read as it comes.
class Measure {
public:
    // Runs in `folder` with the journal there; a folder of its own by default.
    explicit Measure(const QStringList& args, const QString& folder = {}) {
        const QString work = folder.isEmpty() ? own.path() : folder;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LRF_JOURNAL"), work + QStringLiteral("/journal.sqlite"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(work);
        process.start(QStringLiteral(LRFMEASURE_PROGRAM), args);
        clock.start();
    }
    ~Measure() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    // Waits until standard output holds `count` lines.
    bool waitForLines(int count, int timeoutMs = 30000) {
        while (out.count('\n') < count) {
            if (clock.elapsed() > timeoutMs || process.state() == QProcess::NotRunning)
                return false;
            process.waitForReadyRead(100);
            out += process.readAllStandardOutput();
        }
        return true;
    }

    // The exit status, or -1 when it did not end in time or ended by a crash.
    int finish(int timeoutMs = 60000) {
        if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        out += process.readAllStandardOutput();
        err = process.readAllStandardError();
        return process.exitCode();
    }

    void signal(int number) { ::kill(static_cast<pid_t>(process.processId()), number); }

    QStringList csvLines() const { return SplitLines(out, QStringLiteral("\r\n")); }

    static QStringList SplitLines(const QString& text, const QString& end) {
        QStringList lines = text.split(end);
        if (!lines.isEmpty() && lines.back().isEmpty())
            lines.pop_back();
        return lines;
    }

    QTemporaryDir own;
    QProcess process;
    QElapsedTimer clock;
    QString out, err;
};

// A record line with its time stamp replaced: the one cell that two runs of
// the same replies cannot share. Each line must hold exactly one.
QStringList WithoutTimeStamps(const QStringList& lines) {
    static const QRegularExpression stamp(
        QStringLiteral(R"(,\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{1,3},)"));
    QStringList masked;
    for (QString line : lines) {
        if (!masked.isEmpty()) { // the header has none
            EXPECT_EQ(line.count(stamp), 1) << line.toStdString();
        }
        masked << line.replace(stamp, QStringLiteral(",<time>,"));
    }
    return masked;
}

// Both lists as one text, one line each, so that a difference reads plainly.
std::string Joined(const QStringList& lines) {
    return lines.join('\n').toStdString();
}

QString FileText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Free texts with a comma, double quotes and formulas: quoting and the guard.
const QStringList kTexts{"--model", "M-7, rev \"B\"", "--code",        "=HYPERLINK(x)",
                         "--place", "+north",         "--destination", "Gate 3"};

class MeasureProgram : public ProgramTest {
protected:
    // Replies in one piece, for the tests that count records rather than look
    // at the line's pace: on a loaded machine a reply written byte by byte can
    // be stretched past the frame time of the gathering and count twice.
    void answerAtOnce() {
        SimSettings atOnce;
        atOnce.linePace = false;
        sim.SetSettings(atOnce);
    }

    // The window program's mirror after a continuous run of `shots` with the
    // same free texts, against the fixture's simulator with `settings`. Its
    // replies come at once: the pace changes no text, and a loaded machine can
    // stretch a paced reply past the frame time of the gathering.
    QStringList windowRun(int shots, bool speed, SimSettings settings = {}) {
        settings.linePace = false;
        sim.SetSettings(settings);
        openPort();
        ui().RzEdit1->setText(kTexts[1]);
        ui().RzEdit2->setText(kTexts[3]);
        ui().RzEdit3->setText(kTexts[5]);
        ui().RzEdit4->setText(kTexts[7]);
        ui().RzNumericEdit1->setValue(shots);
        lrf::ImageButton* button = speed ? ui().RzBitBtn9 : ui().RzBitBtn6;
        button->click();
        EXPECT_TRUE(waitUntil(
            [&] { return recordCount() == shots && button->imageIndex() != lrf::imgRunning; },
            60000));
        settle(50);
        QStringList lines;
        for (const std::string& line : logWindow.Mirror().Lines())
            lines << QString::fromStdString(line);
        return lines;
    }
};

TEST_F(MeasureProgram, HundredShotsOfTheSimulatorGiveTheWindowProgramsLines) {
    Measure measure(QStringList{"--simulate", "--speed", "--count", "100"} + kTexts);
    ASSERT_EQ(measure.finish(), 0) << measure.err.toStdString();
    const QStringList lines = measure.csvLines();
    EXPECT_EQ(lines.size(), 101);
    EXPECT_EQ(Joined(WithoutTimeStamps(lines)), Joined(WithoutTimeStamps(windowRun(100, true))));
    EXPECT_TRUE(measure.err.isEmpty()) << measure.err.toStdString(); // no terminal: no bar
}

// Replies at the pace of a real line, in yards with an inclination and a value
// that changes with every shot: the same decoding, conversion and texts.
TEST_F(MeasureProgram, HundredShotsOfAPtyInstrumentGiveTheWindowProgramsLines) {
    SimSettings settings;
    settings.distanceUnitLetter = 'B';
    settings.inclination = 12.5;
    settings.distanceStep = 0.7;
    settings.linePace = true;
    QTemporaryDir dir;
    QStringList measured;
    {
        lrf::sim::RangefinderSimulator instrument;
        instrument.SetSettings(settings);
        instrument.Start();
        const QString csv = dir.filePath("run.csv");
        Measure measure(QStringList{"--port", QString::fromStdString(instrument.DevicePath()),
                                    "--distance", "--count", "100", "--csv", csv} +
                        kTexts);
        ASSERT_EQ(measure.finish(), 0) << measure.err.toStdString();
        EXPECT_TRUE(measure.out.isEmpty());
        measured = Measure::SplitLines(FileText(csv), QStringLiteral("\r\n"));
        EXPECT_EQ(instrument.Counters().distanceCommands, 100u);
    }
    EXPECT_EQ(measured.size(), 101);
    EXPECT_EQ(Joined(WithoutTimeStamps(measured)),
              Joined(WithoutTimeStamps(windowRun(100, false, settings))));
}

// The rotation run pairs a distance and the speed after it in one record.
TEST_F(MeasureProgram, JsonLinesParseAndRotationPairsMakeOneRecord) {
    Measure measure(
        {"--simulate", "--rotation", "20", "--count", "4", "--json", "--place", "Yard"});
    ASSERT_EQ(measure.finish(), 0) << measure.err.toStdString();
    const QStringList lines = Measure::SplitLines(measure.out, QStringLiteral("\n"));
    ASSERT_EQ(lines.size(), 4);
    for (int i = 0; i < lines.size(); ++i) {
        QJsonParseError error{};
        const QJsonObject o = QJsonDocument::fromJson(lines[i].toUtf8(), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << lines[i].toStdString();
        EXPECT_EQ(o.value("sn"), i + 1);
        EXPECT_EQ(o.value("linear"), 123.4);
        EXPECT_EQ(o.value("speed"), 45.6);
        EXPECT_EQ(o.value("place"), "Yard");
    }
}

// A reply that does not come, and one that never ends like a frame (which
// leaves the window program's run waiting): the watchdog's 10 seconds, status
// 4, and every record made before written. Both run at once.
TEST(MeasureWatchdog, AMissingOrUnfinishedReplyEndsWithItsStatus) {
    struct Run {
        SimFault fault;
        lrf::sim::RangefinderSimulator instrument;
        std::unique_ptr<Measure> measure;
        QElapsedTimer silence;
    };
    std::array<Run, 2> runs{Run{SimFault::DropReply, {}, {}, {}},
                            Run{SimFault::Garbage, {}, {}, {}}};
    for (Run& run : runs) {
        SimSettings atOnce;
        atOnce.linePace = false;
        run.instrument.SetSettings(atOnce);
        run.instrument.Start();
        run.measure = std::make_unique<Measure>(
            QStringList{"--port", QString::fromStdString(run.instrument.DevicePath()), "--distance",
                        "--count", "0"});
    }
    for (Run& run : runs) {
        ASSERT_TRUE(run.measure->waitForLines(4)) << run.measure->err.toStdString();
        run.instrument.SetFault(run.fault);
        run.silence.start();
    }
    for (Run& run : runs) {
        SCOPED_TRACE(static_cast<int>(run.fault));
        EXPECT_EQ(run.measure->finish(), 4) << run.measure->err.toStdString();
        EXPECT_GE(run.silence.elapsed(), 9500);
        EXPECT_TRUE(run.measure->err.contains("Communication failure!"))
            << run.measure->err.toStdString();
        // The garbage is a reply, recorded with the no-value texts; the dropped one is not.
        const QStringList lines = run.measure->csvLines();
        EXPECT_EQ(lines.size() - 1, static_cast<qsizetype>(run.instrument.Counters().repliesSent));
        if (run.fault == SimFault::Garbage) {
            EXPECT_TRUE(lines.back().contains(",----.-,M,---.-,KPH,"))
                << lines.back().toStdString();
        }
    }
}

// Ctrl+C in the middle of an endless run: status 130, and the file holds every
// record whose reply had been handled, numbered without a gap.
TEST_F(MeasureProgram, CtrlCWritesEveryRecordReceived) {
    answerAtOnce();
    QTemporaryDir dir;
    const QString csv = dir.filePath("run.csv");
    Measure measure({"--port", QString::fromStdString(sim.DevicePath()), "--distance", "--count",
                     "0", "--csv", csv, "--json"});
    ASSERT_TRUE(measure.waitForLines(20)) << measure.err.toStdString();
    measure.signal(SIGINT);
    EXPECT_EQ(measure.finish(), 130) << measure.err.toStdString();
    const QStringList lines = Measure::SplitLines(FileText(csv), QStringLiteral("\r\n"));
    const auto records = lines.size() - 1;
    const auto replies = static_cast<qsizetype>(sim.Counters().repliesSent);
    EXPECT_GE(records, 20);
    EXPECT_TRUE(records == replies || records == replies - 1) << records << " of " << replies;
    for (qsizetype i = 1; i < lines.size(); ++i)
        EXPECT_TRUE(lines[i].startsWith(QString::number(i) + ',')) << lines[i].toStdString();
    EXPECT_EQ(Measure::SplitLines(measure.out, QStringLiteral("\n")).size(), records);
}

TEST_F(MeasureProgram, AVanishedDeviceEndsWithItsStatus) {
    Measure measure(
        {"--port", QString::fromStdString(sim.DevicePath()), "--speed", "--count", "0"});
    ASSERT_TRUE(measure.waitForLines(3)) << measure.err.toStdString();
    sim.SetFault(SimFault::HangUp);
    EXPECT_EQ(measure.finish(), 5) << measure.err.toStdString();
    EXPECT_TRUE(measure.err.contains("gone")) << measure.err.toStdString();
    EXPECT_GE(measure.csvLines().size(), 3);
}

// A folder gets the window program's files: one automatic save of 2000 records
// and the rest at the end, each with its header, named after the time.
TEST_F(MeasureProgram, AFolderGetsTheAutomaticSaveFiles) {
    answerAtOnce();
    QTemporaryDir dir;
    Measure measure({"--port", QString::fromStdString(sim.DevicePath()), "--distance", "--count",
                     "2001", "--csv", dir.path()});
    ASSERT_EQ(measure.finish(120000), 0) << measure.err.toStdString();
    const QStringList files = QDir(dir.path()).entryList({"*.csv"}, QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 2) << files.join(' ').toStdString();
    static const QRegularExpression name(QStringLiteral(R"(^\d{14}(-\d+)?\.csv$)"));
    QList<QStringList> contents;
    for (const QString& file : files) {
        EXPECT_TRUE(name.match(file).hasMatch()) << file.toStdString();
        contents << Measure::SplitLines(FileText(dir.filePath(file)), QStringLiteral("\r\n"));
    }
    std::sort(contents.begin(), contents.end(),
              [](const QStringList& a, const QStringList& b) { return a.size() > b.size(); });
    EXPECT_EQ(contents[0].size(), 2001);
    ASSERT_EQ(contents[1].size(), 2);
    EXPECT_EQ(contents[0][0], contents[1][0]);
    EXPECT_TRUE(contents[1][1].startsWith("1, 123.4,M,")) << contents[1][1].toStdString();
}

// Every record also goes into the window program's crash journal: a run that
// ends in order leaves nothing to recover; the records of one killed from
// outside are written by the next start into a file laid out like an
// automatic save, in the killed run's folder.
TEST(MeasureJournal, AKilledRunIsRecoveredByTheNextStart) {
    lrf::sim::RangefinderSimulator instrument;
    SimSettings atOnce;
    atOnce.linePace = false;
    instrument.SetSettings(atOnce);
    instrument.Start();
    const QString port = QString::fromStdString(instrument.DevicePath());
    QTemporaryDir work;
    const auto csvFiles = [&] { return QDir(work.path()).entryList({"*.csv"}, QDir::Files); };

    Measure inOrder({"--port", port, "--distance", "--count", "5", "--csv", "a.csv"}, work.path());
    ASSERT_EQ(inOrder.finish(), 0) << inOrder.err.toStdString();
    {
        Measure killed({"--port", port, "--distance", "--count", "0", "--csv", "b.csv", "--json"},
                       work.path());
        ASSERT_TRUE(killed.waitForLines(20)) << killed.err.toStdString();
        killed.signal(SIGKILL);
        EXPECT_EQ(killed.finish(), -1);
    }
    const QStringList killedLines =
        Measure::SplitLines(FileText(work.filePath("b.csv")), QStringLiteral("\r\n"));
    EXPECT_EQ(csvFiles(), (QStringList{"a.csv", "b.csv"}));

    Measure next({"--simulate", "--distance", "--csv", "c.csv"}, work.path());
    ASSERT_EQ(next.finish(), 0) << next.err.toStdString();
    EXPECT_TRUE(next.err.contains("records that an earlier run")) << next.err.toStdString();
    QStringList recovered = csvFiles();
    recovered.removeAll("a.csv");
    recovered.removeAll("b.csv");
    recovered.removeAll("c.csv");
    ASSERT_EQ(recovered.size(), 1) << csvFiles().join(' ').toStdString();
    const QStringList lines =
        Measure::SplitLines(FileText(work.filePath(recovered[0])), QStringLiteral("\r\n"));
    // What the killed run had written to its file but not yet synced (it syncs
    // once a second), but for the last few milliseconds' records that its
    // journal writer had not yet taken: each line as the file has it.
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], killedLines[0]);
    const qsizetype first = lines[1].section(',', 0, 0).toLongLong();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype sn = first + i - 1;
        EXPECT_TRUE(lines[i].startsWith(QString::number(sn) + ',')) << lines[i].toStdString();
        if (sn < killedLines.size()) {
            EXPECT_EQ(lines[i], killedLines[sn]) << i;
        }
    }
    EXPECT_GE(first + lines.size() - 2, killedLines.size() - 1 - 3);
}

// lrfmeasure in a shell pipeline in `folder` with the journal there: its exit
// status (PIPESTATUS), what the pipeline printed and lrfmeasure's stderr.
struct Piped {
    int status = -1;
    QString out, err;
};
Piped RunPiped(const QString& folder, const QString& args, const QString& reader) {
    QProcess shell;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LRF_JOURNAL"), folder + QStringLiteral("/journal.sqlite"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("LRFMEASURE"), QStringLiteral(LRFMEASURE_PROGRAM));
    shell.setProcessEnvironment(env);
    shell.setWorkingDirectory(folder);
    shell.start(QStringLiteral("bash"),
                {QStringLiteral("-c"),
                 QStringLiteral("\"$LRFMEASURE\" %1 2>err.txt | %2; exit ${PIPESTATUS[0]}")
                     .arg(args, reader)});
    Piped result;
    if (!shell.waitForFinished(120000) || shell.exitStatus() != QProcess::NormalExit)
        return result;
    result.status = shell.exitCode();
    result.out = QString::fromUtf8(shell.readAllStandardOutput());
    result.err = FileText(folder + QStringLiteral("/err.txt"));
    return result;
}

// Records written into a pipe are delivered: nothing of them is recovered at
// the next start. A reader that goes away (head) ends the run at once with
// status 141 and without a word, as it ends any command-line program.
TEST(MeasurePipes, DeliveredRecordsAreNotRecoveredLater) {
    struct Case {
        const char* args;
        const char* reader;
        int status;
        qsizetype lines;
    };
    const Case cases[] = {
        {"--simulate --distance --count 5", "cat", 0, 6},
        {"--simulate --distance --count 5 --json", "cat", 0, 5},
        {"--simulate --speed --count 300", "head -2", 141, 2},
        {"--simulate --distance --count 300 --json", "head -1", 141, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.args) + " | " + c.reader);
        QTemporaryDir work;
        const Piped piped = RunPiped(work.path(), QString::fromUtf8(c.args), c.reader);
        EXPECT_EQ(piped.status, c.status) << piped.err.toStdString();
        EXPECT_TRUE(piped.err.isEmpty()) << piped.err.toStdString();
        EXPECT_EQ(piped.out.count('\n'), c.lines) << piped.out.toStdString();

        Measure next({"--simulate", "--distance", "--csv", "next.csv"}, work.path());
        ASSERT_EQ(next.finish(), 0) << next.err.toStdString();
        EXPECT_TRUE(next.err.isEmpty()) << next.err.toStdString();
        EXPECT_EQ(QDir(work.path()).entryList({"*.csv"}, QDir::Files), QStringList{"next.csv"});
    }
}

// Script readers get the time as ISO 8601 with milliseconds and the offset
// from UTC that the zone had then.
TEST(MeasureJson, TimeIsIso8601WithItsOffset) {
    Measure measure({"--simulate", "--distance", "--count", "3", "--json"});
    ASSERT_EQ(measure.finish(), 0) << measure.err.toStdString();
    static const QRegularExpression iso(
        QStringLiteral(R"(^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}[+-]\d{2}:\d{2}$)"));
    const QStringList lines = Measure::SplitLines(measure.out, QStringLiteral("\n"));
    ASSERT_EQ(lines.size(), 3);
    for (const QString& line : lines) {
        const QString time =
            QJsonDocument::fromJson(line.toUtf8()).object().value("date_time").toString();
        EXPECT_TRUE(iso.match(time).hasMatch()) << time.toStdString();
        const QDateTime at = QDateTime::fromString(time, Qt::ISODateWithMs);
        EXPECT_LT(std::abs(at.secsTo(QDateTime::currentDateTime())), 120) << time.toStdString();
    }
}

TEST(MeasureProgramEnds, QuickEndsAndTheirStatuses) {
    struct Case {
        QStringList args;
        int status;
        const char* inOutput;
    };
    const std::vector<Case> cases{
        {{"--version"}, 0, " " LRF_VERSION},
        {{"--help"}, 0, "communication failure"},
        {{"--distance"}, 2, "--port"},
        {{"--port", "/dev/lrf-test-no-such-port", "--distance"}, 3, "/dev/lrf-test-no-such-port"},
    };
    QTemporaryDir work;
    QFile earlier(work.filePath("earlier.csv"));
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("SN,Linear\r\n1, 12.3\r\n");
    earlier.close();
    const std::vector<Case> runs{
        // A run that cannot start leaves an earlier file as it was.
        {{"--port", "/dev/lrf-test-no-such-port", "--distance", "--csv", "earlier.csv"},
         3,
         "/dev/lrf-test-no-such-port"},
        {{"--simulate", "--distance", "--csv", "no-such-folder/run.csv"}, 6, "run.csv"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        Measure measure(c.args);
        EXPECT_EQ(measure.finish(), c.status);
        EXPECT_TRUE((measure.out + measure.err).contains(QString::fromUtf8(c.inOutput)))
            << (measure.out + measure.err).toStdString();
    }
    for (const Case& c : runs) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        Measure measure(c.args, work.path());
        EXPECT_EQ(measure.finish(), c.status);
        EXPECT_TRUE(measure.err.contains(QString::fromUtf8(c.inOutput)))
            << measure.err.toStdString();
    }
    EXPECT_EQ(FileText(earlier.fileName()), "SN,Linear\r\n1, 12.3\r\n");
}

} // namespace
