// A device that vanishes in the middle of a run: the program waits for it and
// goes on where the run stopped, or gives up after the time limit. The instrument
// is the simulator's pseudo-terminal, reached through a link in a temporary
// folder: pulling it hangs the device up and removes the link, bringing it back
// starts a new pseudo-terminal and points the link at it (no udev involved).

#include "PortControl.h"
#include "PortReconnect.h"
#include "ProgramFixture.h"

#include <QFile>
#include <QStatusBar>

using lrf::sim::SimFault;

namespace {

class ReconnectTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        // These tests count records exactly; a paced reply that a loaded machine
        // holds up mid-frame past the frame time would count twice.
        lrf::sim::SimSettings atOnce;
        atOnce.linePace = false;
        sim.SetSettings(atOnce);
        link = linkDir.filePath("instrument");
        ASSERT_TRUE(QFile::link(QString::fromStdString(sim.DevicePath()), link));
        form.portReconnect().setRetryInterval(20);
    }

    void openThroughLink() {
        ui().cbbComPort->setEditText(link);
        openPort();
    }

    // The instrument hangs up at its next command; returns once the program waits.
    void pullDevice() {
        sim.SetFault(SimFault::HangUp);
        ASSERT_TRUE(waitUntil([&] { return form.portReconnect().waiting(); }));
        QFile::remove(link);
    }

    void plugDeviceBackIn() {
        sim.Stop();
        sim.Start();
        ASSERT_TRUE(QFile::link(QString::fromStdString(sim.DevicePath()), link));
    }

    QString statusLine() { return logWindow.statusBar()->currentMessage(); }

    QTemporaryDir linkDir;
    QString link;
};

// The shot in flight when the device vanished lost its reply: it goes out again,
// so that the run still records exactly its shot count.
TEST_F(ReconnectTest, ContinuousRunResumesWithTheShotsItOwed) {
    openThroughLink();
    recordingOn();
    ui().RzNumericEdit1->setValue(12);
    ui().RzBitBtn6->click();
    ASSERT_TRUE(waitUntil([&] { return recordCount() >= 4; }));
    pullDevice();
    EXPECT_EQ(statusLine(), lrf::ReconnectWaitingText(link, lrf::PortReconnect::kTimeLimitMs));
    EXPECT_EQ(ui().btnOpenCom->text(), "Close COM");
    settle(500); // longer than the watchdog: it keeps quiet while the program waits
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(ui().RzBitBtn6->imageIndex(), lrf::imgRunning);

    plugDeviceBackIn();
    ASSERT_TRUE(waitUntil([&] { return recordCount() == 12; }, 10000));
    settle(300);
    EXPECT_EQ(recordCount(), 12);
    EXPECT_EQ(sim.Counters().distanceCommands, 13u); // 12 answered, 1 lost with the device
    EXPECT_EQ(ui().RzBitBtn6->imageIndex(), lrf::imgContinuousDistance);
    EXPECT_EQ(ui().RzNumericEdit1->value(), 12);
    EXPECT_TRUE(form.comPort().Connected());
    EXPECT_EQ(form.comPort().Port(), link.toStdString());
    EXPECT_EQ(statusLine(), lrf::ReconnectedText(link));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// Gone between a reply and the next shot, before the program heard of it: that
// shot's write fails quietly, and the shot is still owed.
TEST_F(ReconnectTest, ShotWrittenToAVanishedDeviceIsStillOwed) {
    openThroughLink();
    recordingOn();
    ui().RzNumericEdit1->setValue(8);
    ui().RzBitBtn6->click();
    ASSERT_TRUE(waitUntil([&] { return recordCount() >= 3 && controller().Timer1().isActive(); }));
    sim.Stop();
    EXPECT_NO_THROW(controller().Timer1Timer()); // the tick comes first
    ASSERT_TRUE(waitUntil([&] { return form.portReconnect().waiting(); }));
    QFile::remove(link);
    plugDeviceBackIn();
    ASSERT_TRUE(waitUntil([&] { return recordCount() == 8; }, 10000));
    settle(300);
    EXPECT_EQ(recordCount(), 8);
    EXPECT_EQ(sim.Counters().distanceCommands, 8u);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// A device with a stable name is the same device wherever its node is next time.
TEST_F(ReconnectTest, DeviceWithAStableNameIsReopenedAtItsNewNode) {
    const std::string firstNode = sim.DevicePath();
    ui().cbbComPort->setEditText(QString::fromStdString(firstNode));
    openPort();
    cport::SerialPortInfo device = cport::PortNamed(firstNode);
    device.ById = link.toStdString();
    form.portReconnect().remember(device, firstNode);
    recordingOn();
    ui().RzNumericEdit1->setValue(6);
    ui().RzBitBtn9->click();
    ASSERT_TRUE(waitUntil([&] { return recordCount() >= 2; }));
    pullDevice();
    // Another device is likely to get the old node meanwhile; it is not ours.
    lrf::sim::RangefinderSimulator stranger;
    stranger.Start();
    plugDeviceBackIn();
    ASSERT_TRUE(waitUntil([&] { return recordCount() == 6; }, 10000));
    EXPECT_EQ(form.comPort().Port(), sim.DevicePath());
    EXPECT_EQ(sim.Counters().speedCommands, 7u);
    EXPECT_EQ(stranger.Counters().speedCommands, 0u);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// Not back within the time limit: the one message of a vanished device, the port
// closed, the rows kept, and no watchdog message while it waited or after.
TEST_F(ReconnectTest, GivesUpAfterTheTimeLimit) {
    form.portReconnect().setTimeLimit(1000);
    openThroughLink();
    recordingOn();
    ui().RzBitBtn6->click();
    ASSERT_TRUE(waitUntil([&] { return recordCount() >= 3; }));
    QElapsedTimer clock;
    clock.start();
    pullDevice();
    const int kept = recordCount();
    ASSERT_TRUE(waitUntil([&] { return !dialogs.messages.isEmpty(); }, 10000));
    EXPECT_GE(clock.elapsed(), 1000);
    EXPECT_EQ(dialogs.messages, QStringList{QString::fromUtf8(lrf::kDeviceLostText)});
    EXPECT_FALSE(form.comPort().Connected());
    EXPECT_EQ(ui().btnOpenCom->text(), "Open COM");
    EXPECT_EQ(ui().RzBitBtn6->imageIndex(), lrf::imgContinuousDistance);
    EXPECT_FALSE(form.portReconnect().waiting());
    EXPECT_TRUE(statusLine().isEmpty());
    settle(500);
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(recordCount(), kept);
    EXPECT_EQ(cell(1, kept), " 123.4");
}

// Closing the port ends the wait: a device that comes back later is left alone,
// and the run meets the closed port as after any close.
TEST_F(ReconnectTest, ClosingThePortEndsTheWait) {
    openThroughLink();
    ui().RzBitBtn6->click();
    ASSERT_TRUE(waitUntil([&] { return sim.Counters().distanceCommands >= 3; }));
    pullDevice();
    ui().btnOpenCom->click();
    EXPECT_FALSE(form.portReconnect().waiting());
    EXPECT_EQ(ui().btnOpenCom->text(), "Open COM");
    plugDeviceBackIn();
    ASSERT_TRUE(waitUntil([&] { return !dialogs.messages.isEmpty(); }));
    EXPECT_EQ(dialogs.messages, QStringList{"Communication failure!"});
    EXPECT_FALSE(form.comPort().Connected());
    EXPECT_EQ(ui().RzBitBtn6->imageIndex(), lrf::imgContinuousDistance);
}

} // namespace
