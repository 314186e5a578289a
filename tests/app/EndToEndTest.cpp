#include "CommandLine.h"
#include "LogStatusBar.h"
#include "OrdinaryUser.h"
#include "PortControl.h"
#include "ProgramFixture.h"
#include "ReadoutPanel.h"
#include "RecordingStep.h"
#include "ReplyGathering.h"

#include <QComboBox>
#include <QDir>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using lrf::sim::SimFault;

namespace {

// The five cells a readout would show for a value, drawn by a readout of our own.
template <typename Readout>
std::vector<QImage> cellsFor(void (Readout::*show)(std::uint8_t, double), std::uint8_t unit,
                             double value) {
    Readout expected;
    (expected.*show)(unit, value);
    std::vector<QImage> cells;
    for (int i = 0; i < lrf::ReadoutPanel::kCellCount; ++i)
        cells.push_back(expected.cellImage(i));
    return cells;
}

std::vector<QImage> cellsOf(const lrf::ReadoutPanel& readout) {
    std::vector<QImage> cells;
    for (int i = 0; i < lrf::ReadoutPanel::kCellCount; ++i)
        cells.push_back(readout.cellImage(i));
    return cells;
}

} // namespace

TEST_F(ProgramTest, StartsWithItsDesignValues) {
    EXPECT_EQ(form.windowTitle(),
              "Professional laser rangefinder program-controlled software V2.0");
    EXPECT_EQ(ui().cbbBaudRate->currentText(), "19200");
    EXPECT_EQ(ui().cbbComPort->currentText(), QString::fromStdString(sim.DevicePath()));
    EXPECT_EQ(ui().btnOpenCom->text(), "Open COM");
    EXPECT_EQ(ui().btnOpenCom->imageIndex(), lrf::imgPortClosed);
    EXPECT_EQ(ui().RzNumericEdit1->value(), 0);
    EXPECT_EQ(ui().RzNumericEdit2->value(), 2000);
    EXPECT_FALSE(ui().edtTest->isVisible());
    EXPECT_FALSE(ui().btnTest->isVisible());
    EXPECT_EQ(ui().GroupBox1->unitSelector()->currentText(), "M");
    EXPECT_EQ(ui().GroupBox3->unitSelector()->currentText(), "KPH");
    EXPECT_EQ(cellsOf(*ui().GroupBox1),
              cellsFor(&lrf::DistanceReadout::ShowDistance, lrf::unitMetre, 0.0));
    EXPECT_EQ(logWindow.RowCount(), 2);
}

TEST_F(ProgramTest, OpenCloseAndOpenFailure) {
    openPort();
    EXPECT_EQ(ui().btnOpenCom->text(), "Close COM");
    EXPECT_EQ(ui().btnOpenCom->imageIndex(), lrf::imgPortOpen);
    ui().btnOpenCom->click();
    EXPECT_FALSE(form.comPort().Connected());
    EXPECT_EQ(ui().btnOpenCom->text(), "Open COM");
    EXPECT_EQ(ui().btnOpenCom->imageIndex(), lrf::imgPortClosed);

    // A typed name that does not exist fails and leaves the port closed.
    ui().cbbComPort->setEditText("/dev/no-such-port");
    ui().btnOpenCom->click();
    EXPECT_EQ(dialogs.messages, QStringList{"COM open failure!"});
    EXPECT_FALSE(form.comPort().Connected());
    EXPECT_EQ(ui().btnOpenCom->text(), "Open COM");
}

// Holds a device open and locked in a child process, the way another program
// using the port does, until the end of the scope.
class HeldByAnotherProcess {
public:
    explicit HeldByAnotherProcess(const std::string& device) {
        int ready[2], release[2];
        if (pipe(ready) != 0 || pipe(release) != 0)
            return;
        child_ = fork();
        if (child_ == 0) { // only async-signal-safe calls from here on
            close(ready[0]);
            close(release[1]); // the parent's end: its close lets this child go
            const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const char ok = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 && ioctl(fd, TIOCEXCL) == 0
                                ? '1'
                                : '0';
            (void)!write(ready[1], &ok, 1);
            char byte;
            (void)!read(release[0], &byte, 1);
            _exit(0);
        }
        close(ready[1]);
        close(release[0]);
        release_ = release[1];
        char ok = '0';
        held_ = read(ready[0], &ok, 1) == 1 && ok == '1';
        close(ready[0]);
    }
    ~HeldByAnotherProcess() {
        if (child_ <= 0)
            return;
        close(release_);
        waitpid(child_, nullptr, 0);
    }
    bool held() const { return held_; }

private:
    pid_t child_ = -1;
    int release_ = -1;
    bool held_ = false;
};

// The box keeps "COM open failure!" and says why below it: the port, the
// reason in the operator's words and the component's own message.
TEST_F(ProgramTest, OpenFailureSaysWhy) {
    const QString device = QString::fromStdString(sim.DevicePath());
    const std::string missing = "The device does not exist";
    const std::string denied = "Permission denied: this user may not use the device. Join the "
                               "dialout group (sudo adduser $USER dialout) and log in again.";
    const std::string busy = "The device is busy: another program is using it.";
    struct stat node {};
    ASSERT_EQ(stat(sim.DevicePath().c_str(), &node), 0);

    const auto tryOpen = [&](const QString& name) {
        dialogs.messages.clear();
        dialogs.details.clear();
        ui().cbbComPort->setEditText(name);
        ui().btnOpenCom->click();
        EXPECT_FALSE(form.comPort().Connected());
        EXPECT_EQ(dialogs.messages, QStringList{"COM open failure!"});
        return dialogs.details.value(0).toStdString();
    };

    std::string detail = tryOpen("/dev/no-such-port");
    EXPECT_TRUE(detail.starts_with("/dev/no-such-port: " + missing)) << detail;
    EXPECT_TRUE(detail.ends_with("\nUnable to open com port (win error code: 2)")) << detail;

    ASSERT_EQ(chmod(sim.DevicePath().c_str(), 0), 0);
    {
        OrdinaryUser user;
        detail = tryOpen(device);
    }
    chmod(sim.DevicePath().c_str(), node.st_mode & 07777);
    EXPECT_EQ(detail, device.toStdString() + ": " + denied +
                          "\nUnable to open com port (win error code: 13)");

    {
        HeldByAnotherProcess other(sim.DevicePath());
        ASSERT_TRUE(other.held());
        detail = tryOpen(device);
    }
    EXPECT_TRUE(detail.starts_with(device.toStdString() + ": " + busy)) << detail;

    openPort(); // free again
}

// The baud list's index is the port's rate setting; "Custom" opens at the
// custom rate, which stays 9600. A name typed into the box is used as typed.
TEST_F(ProgramTest, BaudListAndTypedPortName) {
    const std::vector<std::pair<int, cport::TBaudRate>> cases{
        {9, cport::br19200}, {0, cport::brCustom}, {1, cport::br110}, {15, cport::br256000}};
    for (const auto& [index, rate] : cases) {
        SCOPED_TRACE(index);
        ui().cbbComPort->setEditText(QString::fromStdString(sim.DevicePath()));
        ui().cbbBaudRate->setCurrentIndex(index);
        openPort();
        EXPECT_EQ(form.comPort().Port(), sim.DevicePath());
        EXPECT_EQ(form.comPort().BaudRate(), rate);
        EXPECT_EQ(form.comPort().CustomBaudRate(), 9600);
        ui().btnOpenCom->click();
    }
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// --port picks a listed port or types one that is not listed; --baud picks the
// rate, and the port opens with both.
TEST_F(ProgramTest, PortAndBaudFromTheCommandLine) {
    lrf::CommandLine line;
    line.port = QStringLiteral("/dev/lrf-test-unlisted");
    lrf::ApplyPortChoice(line, *ui().cbbComPort, *ui().cbbBaudRate);
    EXPECT_EQ(ui().cbbComPort->currentText(), "/dev/lrf-test-unlisted");
    EXPECT_EQ(ui().cbbBaudRate->currentText(), "19200");

    line.port = QString::fromStdString(sim.DevicePath());
    line.baudIndex = cport::br9600;
    lrf::ApplyPortChoice(line, *ui().cbbComPort, *ui().cbbBaudRate);
    EXPECT_EQ(ui().cbbComPort->currentIndex(), ui().cbbComPort->findText(*line.port));
    EXPECT_EQ(ui().cbbBaudRate->currentText(), "9600");
    openPort();
    EXPECT_EQ(form.comPort().Port(), sim.DevicePath());
    EXPECT_EQ(form.comPort().BaudRate(), cport::br9600);
}

TEST_F(ProgramTest, SingleShotsUpdateTheReadoutsAndRecordRows) {
    openPort();
    recordingOn();
    ui().RzEdit1->setText("Model-7");
    ui().RzEdit3->setText("Yard");
    ui().RzBitBtn5->click();
    ASSERT_TRUE(waitUntil([&] { return recordCount() == 1; }));
    EXPECT_EQ(cellsOf(*ui().GroupBox1),
              cellsFor(&lrf::DistanceReadout::ShowDistance, lrf::unitMetre, 123.4));
    EXPECT_EQ(cell(1, 1), " 123.4");
    EXPECT_EQ(cell(2, 1), "M");
    EXPECT_EQ(cell(3, 1), "---.-");
    EXPECT_EQ(cell(5, 1), "Yard");
    EXPECT_EQ(cell(8, 1), "Model-7");

    ui().RzBitBtn8->click();
    ASSERT_TRUE(waitUntil([&] { return recordCount() == 2; }));
    EXPECT_EQ(cellsOf(*ui().GroupBox3),
              cellsFor(&lrf::SpeedReadout::ShowSpeed, lrf::unitKph, 45.6));
    EXPECT_EQ(cell(1, 2), "----.-");
    EXPECT_EQ(cell(3, 2), "  45.6");
    EXPECT_EQ(cell(4, 2), "KPH");
    EXPECT_FALSE(controller().Timer4().isActive());
    EXPECT_EQ(sim.Counters().distanceCommands, 1u);
    EXPECT_EQ(sim.Counters().speedCommands, 1u);
    EXPECT_EQ(sim.Counters().otherBytes, 0u);
}

TEST_F(ProgramTest, ShotCountTwoSendsTwoCommandsAndRecordsTwoRows) {
    openPort();
    ui().RzNumericEdit1->setValue(2);
    ui().RzBitBtn6->click();
    EXPECT_TRUE(form.recorder().RecordingOn());
    EXPECT_TRUE(logWindow.isVisible());
    ASSERT_TRUE(waitUntil([&] { return recordCount() == 2; }));
    settle(100);
    EXPECT_EQ(sim.Counters().distanceCommands, 2u);
    EXPECT_EQ(recordCount(), 2);
    EXPECT_EQ(ui().RzBitBtn6->imageIndex(), lrf::imgContinuousDistance);
    EXPECT_EQ(ui().RzBitBtn6->text(), "Continuous Testing");
    EXPECT_EQ(ui().RzNumericEdit1->value(), 2);
    EXPECT_FALSE(form.state().control.ContinuousActive);
    EXPECT_FALSE(controller().Timer4().isActive());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(ProgramTest, ShotCountOneActsAsOneShot) {
    openPort();
    ui().RzNumericEdit1->setValue(1);
    ui().RzBitBtn9->click();
    ASSERT_TRUE(waitUntil([&] { return recordCount() == 1; }));
    settle(60);
    EXPECT_EQ(sim.Counters().speedCommands, 1u);
    EXPECT_EQ(ui().RzBitBtn9->imageIndex(), lrf::imgContinuousSpeed);
    EXPECT_EQ(cell(3, 1), "  45.6");
}

TEST_F(ProgramTest, ShotCountZeroRunsUntilStopped) {
    openPort();
    ui().RzBitBtn6->click();
    ASSERT_TRUE(waitUntil([&] { return recordCount() >= 15; }));
    EXPECT_EQ(ui().RzNumericEdit1->value(), 0);
    EXPECT_EQ(ui().RzBitBtn6->imageIndex(), lrf::imgRunning);
    ui().RzBitBtn6->click();
    settle(60);
    const auto sent = sim.Counters().distanceCommands;
    EXPECT_EQ(static_cast<std::uint64_t>(recordCount()), sent);
    settle(60);
    EXPECT_EQ(sim.Counters().distanceCommands, sent);
    EXPECT_EQ(ui().RzBitBtn6->imageIndex(), lrf::imgContinuousDistance);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(ProgramTest, RotationStartsOnePeriodLaterAndPairsFillRows) {
    openPort();
    ui().RzNumericEdit2->setValue(80);
    QElapsedTimer clock;
    clock.start();
    ui().RzBitBtn7->click();
    EXPECT_EQ(sim.Counters().distanceCommands, 0u);
    ASSERT_TRUE(waitUntil([&] { return sim.Counters().distanceCommands == 1; }));
    EXPECT_GE(clock.elapsed(), 75);
    EXPECT_EQ(sim.Counters().speedCommands, 0u);
    ASSERT_TRUE(waitUntil([&] { return recordCount() >= 3; }));
    ui().RzBitBtn7->click();
    settle(100);
    const auto counters = sim.Counters();
    EXPECT_GE(counters.distanceCommands, counters.speedCommands);
    EXPECT_LE(counters.distanceCommands, counters.speedCommands + 1);
    for (int row = 1; row <= 3; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(cell(1, row), " 123.4");
        EXPECT_EQ(cell(3, row), "  45.6");
    }
    // The mirror holds one line per pair, after its header line.
    EXPECT_GE(logWindow.Mirror().Lines().size(), 4u);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// A period longer than the watchdog's lets the watchdog end the run before
// the first command.
TEST_F(ProgramTest, RotationPeriodLongerThanTheWatchdog) {
    openPort();
    ui().RzNumericEdit2->setValue(600);
    ui().RzBitBtn7->click();
    ASSERT_TRUE(waitUntil([&] { return !dialogs.messages.isEmpty(); }));
    EXPECT_EQ(dialogs.messages, QStringList{"Communication failure!"});
    EXPECT_EQ(ui().RzBitBtn7->imageIndex(), lrf::imgRotation);
    settle(400);
    EXPECT_EQ(sim.Counters().distanceCommands + sim.Counters().speedCommands, 0u);
}

TEST_F(ProgramTest, DroppedReplyEndsTheRunThroughTheWatchdog) {
    openPort();
    ui().RzBitBtn6->click();
    ASSERT_TRUE(waitUntil([&] { return recordCount() >= 3; }));
    sim.SetFault(SimFault::DropReply);
    ASSERT_TRUE(waitUntil([&] { return !dialogs.messages.isEmpty(); }));
    EXPECT_EQ(dialogs.messages, QStringList{"Communication failure!"});
    EXPECT_EQ(dialogs.captions, QStringList{"Error"});
    EXPECT_EQ(ui().RzBitBtn6->imageIndex(), lrf::imgContinuousDistance);
    EXPECT_FALSE(controller().Timer4().isActive());
    settle(400);
    EXPECT_EQ(dialogs.messages.size(), 1);
}

TEST_F(ProgramTest, ClosedPortSendsNothingAndTheWatchdogReports) {
    ui().RzBitBtn7->click();
    ui().RzBitBtn5->click();
    ASSERT_TRUE(waitUntil([&] { return !dialogs.messages.isEmpty(); }));
    EXPECT_EQ(dialogs.messages, QStringList{"Communication failure!"});
    EXPECT_EQ(ui().RzBitBtn7->imageIndex(), lrf::imgRotation);
    EXPECT_EQ(sim.Counters().distanceCommands + sim.Counters().speedCommands, 0u);
}

// Garbage that comes in one batch is one record; paced, each byte would be one.
TEST_F(ProgramTest, GarbageReplyIsRecordedWithTheNoValueTexts) {
    lrf::sim::SimSettings atOnce;
    atOnce.linePace = false;
    sim.SetSettings(atOnce);
    openPort();
    recordingOn();
    sim.SetFault(SimFault::Garbage);
    ui().RzBitBtn5->click();
    ASSERT_TRUE(waitUntil([&] { return recordCount() == 1; }));
    EXPECT_EQ(cell(1, 1), "----.-");
    EXPECT_EQ(cell(3, 1), "---.-");
    EXPECT_EQ(cellsOf(*ui().GroupBox1),
              cellsFor(&lrf::DistanceReadout::ShowDistance, lrf::unitMetre, 2400.0));
}

TEST_F(ProgramTest, MalformedReplyFollowedByGoodOnes) {
    openPort();
    recordingOn();
    sim.SetFault(SimFault::CorruptDigit);
    ui().RzBitBtn5->click();
    ASSERT_TRUE(waitUntil([&] { return sim.Counters().repliesSent == 1; }));
    settle(50);
    EXPECT_EQ(recordCount(), 0);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    for (int shot = 1; shot <= 2; ++shot) {
        ui().RzBitBtn5->click();
        ASSERT_TRUE(waitUntil([&] { return recordCount() == shot; }));
        EXPECT_EQ(cell(1, shot), " 123.4");
    }
    EXPECT_FALSE(controller().Timer4().isActive());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// The frame self-test counts records without the automatic save, so it is what
// can reach the record limit; the next reply is refused with the limit message.
TEST_F(ProgramTest, RecordLimitRefusesTheReplyAndSkipsTheReArm) {
    openPort();
    recordingOn();
    ui().edtTest->setText("DA 00 23 02 A1 99 00 EF ");
    ui().btnTest->click();
    // The rest of the way through the self-test's recording step alone, which
    // spares drawing the readout sixty thousand times.
    while (recordCount() <= lrf::Recorder::MaxRecordCount)
        lrf::RecordSelfTest(form.recorder(), {23.0, 0.0, 0.0, 361.0}, {});
    ui().RzNumericEdit1->setValue(0);
    ui().RzBitBtn6->click();
    ASSERT_TRUE(waitUntil([&] { return !dialogs.messages.isEmpty(); }));
    EXPECT_TRUE(dialogs.messages.front().startsWith("The current record number of 60,001"));
    EXPECT_EQ(dialogs.captions.front(), "Error");
    EXPECT_EQ(recordCount(), lrf::Recorder::MaxRecordCount + 1);
    EXPECT_FALSE(controller().Timer1().isActive());
    // Not re-armed: the run ends through the watchdog.
    ASSERT_TRUE(waitUntil([&] { return dialogs.messages.size() == 2; }));
    EXPECT_EQ(dialogs.messages.back(), "Communication failure!");
    EXPECT_EQ(sim.Counters().distanceCommands, 1u);
}

TEST_F(ProgramTest, RunOverTwoThousandRecordsWritesItsAutomaticSave) {
    lrf::sim::SimSettings atOnce; // two thousand replies: the line's pace is not the point
    atOnce.linePace = false;
    sim.SetSettings(atOnce);
    openPort();
    allowForALoadedMachine();
    controller().setShotInterval(0);
    ui().RzBitBtn6->click();
    QDir dir(saveDir.path());
    ASSERT_TRUE(
        waitUntil([&] { return !dir.entryList({"*.csv"}, QDir::Files).isEmpty(); }, 100000));
    ui().RzBitBtn6->click();
    const QStringList files = dir.entryList({"*.csv"}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    QFile file(dir.filePath(files.front()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    EXPECT_EQ(lines.size(), 2002); // header, 2000 records, and nothing after the last CR LF
    EXPECT_TRUE(lines.front().startsWith("SN,Linear,Unit,Speed,Unit,"));
    EXPECT_TRUE(lines[2000].startsWith("2000, 123.4,M,"));
    EXPECT_LT(recordCount(), 2000);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// A failed automatic save in the middle of a run: its error box opens from the
// event loop, not inside the receive handler, so the run goes on under the box
// and the watchdog has nothing to report. The lines go to the folder chosen
// next, and so does the rest of the run: no record is lost.
TEST_F(ProgramTest, FailedAutoSaveDuringARunNeitherStopsItNorLosesRecords) {
    QFile notAFolder(saveDir.filePath("not-a-folder"));
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    notAFolder.close();
    logWindow.SetAutoSaveDirectory(notAFolder.fileName());
    const QString chosen = saveDir.filePath("chosen");
    ASSERT_TRUE(QDir().mkpath(chosen));
    dialogs.folders = {chosen};

    openPort();
    recordingOn();
    while (recordCount() < lrf::Recorder::AutoSaveLimit - 1)
        lrf::RecordSelfTest(form.recorder(), {23.0, 0.0, 0.0, 361.0}, {});
    std::int64_t repliesUnderTheBox = -1;
    dialogs.onMessage = [&] {
        const auto before = sim.Counters().repliesSent;
        settle(1000); // three watchdog intervals
        repliesUnderTheBox = static_cast<std::int64_t>(sim.Counters().repliesSent - before);
    };
    ui().RzNumericEdit1->setValue(0);
    ui().RzBitBtn6->click();
    ASSERT_TRUE(waitUntil([&] { return repliesUnderTheBox >= 0; }, 10000));
    ui().RzBitBtn6->click();
    settle(100);

    EXPECT_GT(repliesUnderTheBox, 0);
    ASSERT_EQ(dialogs.messages.size(), 1) << dialogs.messages.join("|").toStdString();
    EXPECT_TRUE(dialogs.messages[0].startsWith("Cannot create file \"" + notAFolder.fileName()));
    EXPECT_TRUE(logWindow.SaveMirrorAtExit());

    qint64 records = 0;
    const QStringList files = QDir(chosen).entryList({"*.csv"}, QDir::Files);
    EXPECT_FALSE(files.isEmpty()); // a second one when records came after the first
    for (const QString& name : files) {
        QFile file(QDir(chosen).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        records += file.readAll().count('\n') - 1;
    }
    EXPECT_EQ(records,
              lrf::Recorder::AutoSaveLimit - 1 + static_cast<qint64>(sim.Counters().repliesSent));
}

// Without a run under way nothing is waited for (ReconnectTest has the runs).
TEST_F(ProgramTest, VanishedDeviceIsReportedOnceAndThePortCloses) {
    openPort();
    recordingOn();
    ui().RzNumericEdit1->setValue(3);
    ui().RzBitBtn6->click();
    ASSERT_TRUE(waitUntil([&] { return recordCount() == 3; }));
    sim.SetFault(SimFault::HangUp);
    ui().RzBitBtn5->click(); // a single shot
    ASSERT_TRUE(waitUntil([&] { return !dialogs.messages.isEmpty(); }));
    EXPECT_EQ(dialogs.messages, QStringList{QString::fromUtf8(lrf::kDeviceLostText)});
    EXPECT_FALSE(form.comPort().Connected());
    EXPECT_EQ(ui().btnOpenCom->text(), "Open COM");
    EXPECT_EQ(ui().btnOpenCom->imageIndex(), lrf::imgPortClosed);
    EXPECT_EQ(ui().RzBitBtn6->imageIndex(), lrf::imgContinuousDistance);
    settle(500);
    EXPECT_EQ(dialogs.messages.size(), 1); // no watchdog message afterwards
    EXPECT_EQ(recordCount(), 3);
    EXPECT_EQ(cell(1, 3), " 123.4");
}

// A pause at any point of the reply still gives one decoded record. The rest
// follows its first piece well inside the frame time, so that a busy machine
// holding up the instrument's thread cannot make it a late rest.
TEST_F(ProgramTest, AReplySplitAnywhereIsRecordedOnce) {
    openPort();
    recordingOn();
    for (int cut = 1; cut <= 7; ++cut) {
        SCOPED_TRACE(cut);
        lrf::sim::SimSettings settings;
        settings.linePace = false;
        settings.splitGap = std::chrono::milliseconds(1);
        settings.splitAt = cut;
        sim.SetSettings(settings);
        sim.SetFault(SimFault::SplitFrame);
        ui().RzBitBtn5->click();
        ASSERT_TRUE(waitUntil([&] { return recordCount() == cut; }));
        EXPECT_EQ(cell(1, cut), " 123.4");
    }
    settle(50);
    EXPECT_EQ(recordCount(), 7);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// At 110 baud a frame takes 727 ms. While the first piece of a reply waits for
// the rest, nothing is shown or recorded and the watchdog keeps running; after
// the frame time the piece is handled alone.
TEST_F(ProgramTest, TheWatchdogRunsWhileAReplyIsIncomplete) {
    ui().cbbBaudRate->setCurrentIndex(1);
    openPort();
    recordingOn();
    lrf::sim::SimSettings settings;
    settings.splitAt = 1;
    settings.splitGap = std::chrono::milliseconds(1500);
    sim.SetSettings(settings);
    sim.SetFault(SimFault::SplitFrame);
    bool heldAtTheMessage = false;
    dialogs.onMessage = [&] {
        heldAtTheMessage = form.replyGathering().holding() && recordCount() == 0;
    };
    ui().RzBitBtn5->click();
    ASSERT_TRUE(waitUntil([&] { return !dialogs.messages.isEmpty(); }));
    EXPECT_EQ(dialogs.messages, QStringList{"Communication failure!"});
    EXPECT_TRUE(heldAtTheMessage);
    ASSERT_TRUE(waitUntil([&] { return recordCount() == 1; }));
    EXPECT_EQ(cell(1, 1), "----.-");
    EXPECT_EQ(sim.Counters().repliesSent, 0u); // the rest is still to come
}

// A run against an instrument that writes its replies byte by byte at 19200
// baud: one row per shot, each the value of its own frame read here afresh.
TEST_F(ProgramTest, PacedRunRecordsEachFrameOnce) {
    constexpr int kShots = 500;
    lrf::sim::SimSettings settings;
    settings.distanceStep = 0.1;
    sim.SetSettings(settings);
    openPort();
    allowForALoadedMachine();
    ui().RzNumericEdit1->setValue(kShots);
    ui().RzBitBtn6->click();
    ASSERT_TRUE(waitUntil([&] { return recordCount() == kShots; }, 60000))
        << recordCount() << " records, " << sim.History().size()
        << " replies; messages: " << dialogs.messages.join("|").toStdString();
    settle(50);
    EXPECT_EQ(recordCount(), kShots);
    const auto history = sim.History();
    ASSERT_EQ(history.size(), static_cast<std::size_t>(kShots));
    const auto digit = [](std::uint8_t byte, bool high) { return high ? byte >> 4 : byte & 0xF; };
    for (int row = 1; row <= kShots; ++row) {
        const lrf::sim::Frame& f = history[static_cast<std::size_t>(row - 1)].reply;
        const double metres = 1000 * digit(f[1], true) + 100 * digit(f[1], false) +
                              10 * digit(f[2], true) + digit(f[2], false) + 0.1 * digit(f[3], true);
        ASSERT_EQ(cell(1, row), QString::asprintf("%6.1f", metres)) << row;
    }
    EXPECT_EQ(cell(1, kShots), " 173.3");
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// Behind a USB-serial adapter with the default 16 ms latency timer that cuts
// every reply at a random byte, the rest comes one timer after the first piece:
// each reply is still recorded once, with its own value. The link line shows
// the time a shot takes.
TEST_F(ProgramTest, RepliesCutByTheAdapterTimerAreRecordedOnce) {
    // Each reply is cut after one of its first seven bytes, at random: 300 shots
    // meet every cut many times over, and take a timer's wait each.
    constexpr int kShots = 300;
    lrf::sim::SimSettings settings;
    settings.distanceStep = 0.1;
    settings.adapter.latencyTimer = std::chrono::milliseconds(16);
    settings.adapter.cutEveryReply = true;
    sim.SetSettings(settings);
    openPort();
    allowForALoadedMachine();
    ui().RzNumericEdit1->setValue(kShots);
    ui().RzBitBtn6->click();
    ASSERT_TRUE(waitUntil([&] { return recordCount() == kShots; }, 180000)) << recordCount();
    settle(50);
    EXPECT_EQ(recordCount(), kShots);
    const auto history = sim.History();
    ASSERT_EQ(history.size(), static_cast<std::size_t>(kShots));
    const auto digit = [](std::uint8_t byte, bool high) { return high ? byte >> 4 : byte & 0xF; };
    for (int row = 1; row <= kShots; ++row) {
        const lrf::sim::Frame& f = history[static_cast<std::size_t>(row - 1)].reply;
        const double metres = 1000 * digit(f[1], true) + 100 * digit(f[1], false) +
                              10 * digit(f[2], true) + digit(f[2], false) + 0.1 * digit(f[3], true);
        ASSERT_EQ(cell(1, row), QString::asprintf("%6.1f", metres)) << row;
    }
    EXPECT_EQ(cell(1, kShots), " 153.3");
    EXPECT_TRUE(dialogs.messages.isEmpty());
    const QLabel* link = logWindow.StatusBar().LinkLabel();
    EXPECT_TRUE(link->text().startsWith(QStringLiteral("unknown link, median reply ")))
        << link->text().toStdString();
}

// Seen from the instrument, no command of a run follows the reply before it by
// less than the shot pause: the pause counts from the reply's arrival, to the
// microsecond, whether the reply came byte by byte or at once.
TEST_F(ProgramTest, NoCommandLeavesBeforeThePauseAfterTheReply) {
    openPort();
    allowForALoadedMachine();
    for (const bool paced : {true, false}) {
        SCOPED_TRACE(paced ? "paced" : "at once");
        // The last reply of the run before goes out first, and is handled.
        ASSERT_TRUE(waitUntil([&] {
            const auto c = sim.Counters();
            return c.repliesSent == c.distanceCommands;
        }));
        settle(50);
        lrf::sim::SimSettings settings;
        settings.linePace = paced;
        sim.SetSettings(settings);
        sim.ClearHistory();
        ui().RzNumericEdit1->setValue(200);
        ui().RzBitBtn6->click();
        ASSERT_TRUE(waitUntil([&] { return sim.History().size() == 200; }, 60000));
        ASSERT_TRUE(waitUntil([&] { return !form.state().control.ContinuousActive; }));
        const auto history = sim.History();
        for (std::size_t i = 1; i < history.size(); ++i) {
            ASSERT_TRUE(history[i - 1].replied);
            ASSERT_GE(history[i].received - history[i - 1].written, std::chrono::milliseconds(10))
                << "command " << i + 1 << ": "
                << std::chrono::duration<double, std::milli>(history[i].received -
                                                             history[i - 1].written)
                       .count()
                << " ms";
        }
    }
}

TEST_F(ProgramTest, ExitClosesTheMainWindow) {
    openPort();
    ui().btnExit->click();
    EXPECT_FALSE(form.isVisible());
}
