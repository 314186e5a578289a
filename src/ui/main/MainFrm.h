#pragma once

#include "LinkInfo.h"
#include "LinkTiming.h"
#include "MainControls.h"
#include "MainState.h"
#include "Recorder.h"

#include <QStringList>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace Ui {
class TForm1;
}

namespace cport {
class TComPort;
}

namespace lrf {

class LogSink;
struct Measurement;
class MeasurementController;
class MeasurementSession;
class PortControl;
class PortListWatcher;
class PortReconnect;
class Recorder;
class ReplyGathering;
class TFrmShowData;
enum class RunMode;

// The main window. It owns the measurement state and the measurement session
// (the port, the runs and their timers), and wires its controls to the units
// that do the work: the measurement controller, the recorder and the port
// button. The session announces what the window is to show through signals,
// connected directly (all of it runs on the GUI thread), so a reply is shown
// and recorded before the session re-arms the run.
class TForm1 : public QWidget {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The log window is created after the main window and must be attached
    // before the main window is shown.
    void attachLogWindow(TFrmShowData& logWindow);

    // Port names listed before the machine's own ports (the embedded
    // simulator's device), so that the first of them is selected at start.
    void setLeadingPortNames(const QStringList& names) { leadingPorts_ = names; }

    // Handlers, named after their controls.
    void FormShow();
    void btnOpenComClick();
    void btnExitClick();
    void btnRecordDataClick();
    void btnClearDataClick();
    void btnShowDataClick();
    void btnSaveDataClick();
    void btnTestClick();
    void ComPort1RxChar(const Measurement& m);
    void ComPort1DeviceLost();
    // The operator picked a unit on the distance or the speed readout: the held
    // value is converted into it and shown.
    void RzComboBox3Change(std::uint8_t unit);
    void RzComboBox1Change(std::uint8_t unit);

    // A run started by another step than its button (a test plan's unit): as a
    // press of the button starts it, with recording on and the log window
    // shown, but with its own shot count (the shot-count field counts it down).
    void startPlannedRun(RunMode mode, std::int64_t shots);

    // Brings the port box up to date with the machine's ports, keeping what the
    // operator picked or typed; runs when the box opens and on hot-plug.
    void refreshPortBox();

    // Units and state, for the program entry and the tests.
    ReplyGathering& replyGathering();
    MeasurementSession& session() { return *session_; }
    const MainControls& controls() const { return controls_; }
    MainState& state() { return state_; }
    MeasurementController& controller() { return *controller_; }
    Recorder& recorder() { return *recorder_; }
    cport::TComPort& comPort();
    PortReconnect& portReconnect() { return *reconnect_; }

signals:
    // A measurement command has just been written to the port (or found it closed).
    void commandSent();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void setCaptions();
    void setUpLook();
    void setUpAccess();
    void placeOnScreen();
    void connectControls();
    void connectUnits();
    void showDistance(std::uint8_t unit, double value);
    void showSpeed(std::uint8_t unit, double value);
    void showValues(std::uint8_t distanceUnit, double distance, std::uint8_t speedUnit,
                    double speed);
    void showRecordLimit();
    void showRecording(bool on);
    void runStarting();
    void commandWritten(std::chrono::steady_clock::time_point at);
    void replyArrived(std::chrono::steady_clock::time_point at);
    void freeTextEdited();
    void portReopened();
    void reconnectGaveUp();
    void showStatusLine(const QString& text, int timeoutMs = 0);
    void portOpened();
    void showLinkLine();

    std::unique_ptr<Ui::TForm1> ui_;
    MainControls controls_;
    MainState state_;
    std::unique_ptr<MeasurementSession> session_;
    std::unique_ptr<PortControl> portControl_;
    std::unique_ptr<PortReconnect> reconnect_;
    PortListWatcher* portWatcher_ = nullptr;
    std::unique_ptr<MeasurementController> controller_;
    std::unique_ptr<LogSink> logSink_;
    std::unique_ptr<Recorder> recorder_;
    TFrmShowData* logWindow_ = nullptr;
    FreeTexts freeTexts_; // the four text fields as they read now
    QStringList leadingPorts_;
    bool shown_ = false;
    // The serial link of the open port, the time its shots take, and the ports
    // whose slow latency timer the operator has been told about.
    cport::LinkInfo link_;
    LinkTiming linkTiming_;
    std::string linkWarning_;
    LatencyNotices latencyNotices_;
};

} // namespace lrf
