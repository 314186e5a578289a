#pragma once

#include "CPort.h"
#include "ImageButton.h"
#include "LinkInfo.h"
#include "MainControls.h"
#include "MainFrm.h"
#include "MeasurementController.h"
#include "MeasurementSession.h"
#include "NumericEdit.h"
#include "RangefinderSimulator.h"
#include "Recorder.h"
#include "ReplyGathering.h"
#include "ShowDataFrm.h"
#include "TestDialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

// The real program objects, offscreen, talking to the simulator through the
// real serial component. The working folder of the automatic saves is a fresh
// temporary folder.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim.Start();
        form.attachLogWindow(logWindow);
        logWindow.SetAutoSaveDirectory(saveDir.path());
        form.setLeadingPortNames({QString::fromStdString(sim.DevicePath())});
        form.show();
        controller().setWatchdogInterval(300);
    }

    void TearDown() override {
        if (form.comPort().Connected())
            ui().btnOpenCom->click();
    }

    const lrf::MainControls& ui() { return form.controls(); }
    lrf::MeasurementController& controller() { return form.controller(); }
    std::int32_t recordCount() { return form.recorder().RecordCount(); }

    void openPort() {
        ui().btnOpenCom->click();
        ASSERT_TRUE(form.comPort().Connected()) << dialogs.messages.join("|").toStdString();
    }

    // For a long run whose subject is neither the watchdog nor the gathering's
    // allowance for a pty's unknown link (tables of their own). A loaded machine
    // holds up the simulator's bytes, and the pty's delivery of them, by tens of
    // milliseconds, and a reply now and then by hundreds: the gathering here
    // allows for a very slow adapter, and the watchdog waits as long as the
    // program's own instead of the set-up's 300 ms. Call it after opening the port.
    void allowForALoadedMachine() {
        cport::LinkInfo slowAdapter;
        slowAdapter.Kind = cport::LinkKind::Usb;
        slowAdapter.LatencyTimer = std::chrono::milliseconds(2000);
        form.replyGathering().setLink(slowAdapter);
        controller().setWatchdogInterval(lrf::MeasurementSession::kWatchdogMs);
    }

    void recordingOn() {
        if (!form.recorder().RecordingOn())
            ui().btnRecordData->click();
    }

    // Runs the event loop until the condition holds or the time is up.
    static bool waitUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > timeoutMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return true;
    }

    // Lets the event loop run for a while, to see that nothing more happens.
    static void settle(int ms) {
        waitUntil([] { return false; }, ms);
    }

    QString cell(int column, int row) const { return logWindow.Cells(column, row); }

    TestDialogs dialogs;
    QTemporaryDir saveDir;
    lrf::sim::RangefinderSimulator sim;
    lrf::TFrmShowData logWindow; // outlives the main window that writes to it
    lrf::TForm1 form;
};
