#include "MainFrm.h"

#include "Accessibility.h"
#include "Application.h"
#include "CPort.h"
#include "Fonts.h"
#include "ImageButton.h"
#include "ImageList.h"
#include "LocalTime.h"
#include "LogActions.h"
#include "LogStatusBar.h"
#include "LogWindowSink.h"
#include "MeasurementController.h"
#include "MeasurementSession.h"
#include "PortControl.h"
#include "PortListWatcher.h"
#include "PortReconnect.h"
#include "RecordingStep.h"
#include "ReplyGathering.h"
#include "SelfTest.h"
#include "SerialPorts.h"
#include "ShowDataFrm.h"
#include "Texts.h"
#include "Units.h"
#include "WindowPlaces.h"
#include "ui_MainFrm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGraphicsDropShadowEffect>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionComboBox>

#include <string>
#include <vector>

namespace lrf {

TForm1::TForm1(QWidget* parent)
    : QWidget(parent)
    , ui_(std::make_unique<Ui::TForm1>()) {
    ui_->setupUi(this);
    controls_ = {ui_->cbbComPort,     ui_->cbbBaudRate,   ui_->btnOpenCom,  ui_->btnClearData,
                 ui_->btnSaveData,    ui_->btnRecordData, ui_->btnShowData, ui_->btnExit,
                 ui_->RzBitBtn5,      ui_->RzBitBtn6,     ui_->RzBitBtn8,   ui_->RzBitBtn9,
                 ui_->RzBitBtn7,      ui_->GroupBox1,     ui_->GroupBox3,   ui_->RzEdit1,
                 ui_->RzEdit2,        ui_->RzEdit3,       ui_->RzEdit4,     ui_->RzNumericEdit1,
                 ui_->RzNumericEdit2, ui_->edtTest,       ui_->btnTest};
    session_ = std::make_unique<MeasurementSession>(SessionOptions{}, &state_.control);
    setUpLook();
    portControl_ = std::make_unique<PortControl>(session_->port(), *ui_->btnOpenCom);

    MeasurementController::Controls controls{ui_->RzBitBtn6, ui_->RzBitBtn9, ui_->RzBitBtn7,
                                             ui_->RzNumericEdit1, ui_->RzNumericEdit2};
    controller_ = std::make_unique<MeasurementController>(*session_, controls, this);

    // A device that vanishes mid-run is waited for; the port list follows the machine.
    reconnect_ = std::make_unique<PortReconnect>(session_->port());
    connect(reconnect_.get(), &PortReconnect::reopened, this, &TForm1::portReopened);
    connect(reconnect_.get(), &PortReconnect::gaveUp, this, &TForm1::reconnectGaveUp);
    portWatcher_ = new PortListWatcher(this);
    connect(portWatcher_, &PortListWatcher::portsChanged, this, [this] {
        refreshPortBox();
        reconnect_->portsChanged();
    });
    connect(ui_->cbbComPort, &PortComboBox::popupAboutToShow, this, &TForm1::refreshPortBox);

    connectUnits();
    connectControls();
}

TForm1::~TForm1() {
    // The session's announcements reach this window: close the port while it
    // still exists.
    reconnect_.reset();
    session_.reset();
}

cport::TComPort& TForm1::comPort() {
    return session_->port();
}

ReplyGathering& TForm1::replyGathering() {
    return session_->gathering();
}

void TForm1::attachLogWindow(TFrmShowData& logWindow) {
    logWindow_ = &logWindow;
    logSink_ = std::make_unique<LogWindowSink>(logWindow);
    recorder_ = std::make_unique<Recorder>(*logSink_);
}

void TForm1::setUpLook() {
    // The window's sizes hold the texts in the narrow face of Fonts.h; the
    // title and the version shrink where a fallback face is wider.
    const QFont font = TextFont(13);
    setFont(font);
    // A widget with a style sheet of its own does not take its parent's font.
    for (ImageButton* button : findChildren<ImageButton*>())
        button->setFont(font);
    move(kMainWindowPlace);
    resize(768, 313);

    // The title band: white with black text in a light theme, the palette's
    // field colours (face and text together) in any other.
    ui_->RzPanel1->setBackgroundRole(QPalette::Base);
    for (QLabel* label : {ui_->AALabel1, ui_->AALabel2})
        label->setForegroundRole(QPalette::Text);
    ui_->Image1->setPixmap(Logo());
    HideFromAccessibility(*ui_->Image1);

    ui_->AALabel1->setFont(
        FittedFont(TextFont(20, true), {ui_->AALabel1->text()}, ui_->AALabel1->size()));
    auto* shadow = new QGraphicsDropShadowEffect(ui_->AALabel1);
    shadow->setOffset(2, 2);
    shadow->setBlurRadius(2);
    shadow->setColor(QColor(160, 160, 160));
    ui_->AALabel1->setGraphicsEffect(shadow);
    ui_->AALabel2->setFont(
        FittedFont(VersionFont(48), {ui_->AALabel2->text()}, ui_->AALabel2->size()));

    ui_->btnOpenCom->setImageIndex(imgPortClosed);
    ui_->btnRecordData->setImageIndex(imgRecord);
    ui_->btnShowData->setImageIndex(imgShowData);
    ui_->RzBitBtn6->setImageIndex(imgContinuousDistance);
    ui_->RzBitBtn9->setImageIndex(imgContinuousSpeed);
    ui_->RzBitBtn7->setImageIndex(imgRotation);
    ui_->btnClearData->setGlyph(Glyph::ClearData);
    ui_->btnSaveData->setGlyph(Glyph::SaveData);
    ui_->btnExit->setGlyph(Glyph::Exit);
    ui_->RzBitBtn5->setGlyph(Glyph::SingleDistance);
    ui_->RzBitBtn8->setGlyph(Glyph::SingleSpeed);

    ui_->RzNumericEdit1->setValue(0);
    ui_->RzNumericEdit2->setValue(MeasurementSession::kRotationPeriodMs);
    setUpAccess();
}

// For a screen reader and the keyboard: names that tell the controls apart,
// the labels joined to their fields, keys for the buttons, shown in the tool
// tips. The captions themselves stay as they are.
void TForm1::setUpAccess() {
    struct Named {
        ImageButton* button;
        const char* idle;
        const char* busy; // while it shows busyImage; nullptr: no second name
        int busyImage;
        QKeySequence key;
        std::vector<int> captions; // every caption the button shows
    };
    const Named buttons[] = {
        {ui_->btnOpenCom,
         "Open port",
         "Close port",
         imgPortOpen,
         QKeySequence(Qt::ALT | Qt::Key_O),
         {strOpenCom, strCloseCom}},
        {ui_->btnClearData,
         "Clear log",
         nullptr,
         imgNone,
         QKeySequence(Qt::ALT | Qt::Key_C),
         {strClearData}},
        {ui_->btnSaveData,
         "Save log",
         nullptr,
         imgNone,
         QKeySequence(Qt::ALT | Qt::Key_S),
         {strSaveData}},
        {ui_->btnRecordData,
         "Start recording",
         "Stop recording",
         imgRunning,
         QKeySequence(Qt::ALT | Qt::Key_R),
         {strRecordData, strStopRecord}},
        {ui_->btnShowData,
         "Show log window",
         nullptr,
         imgNone,
         QKeySequence(Qt::ALT | Qt::Key_D),
         {strDisplayData}},
        {ui_->btnExit, "Exit", nullptr, imgNone, QKeySequence(Qt::ALT | Qt::Key_X), {strExit}},
        {ui_->RzBitBtn5,
         "Single distance",
         nullptr,
         imgNone,
         QKeySequence(Qt::Key_F5),
         {strSingleTesting}},
        {ui_->RzBitBtn6,
         "Continuous distance run",
         "Stop continuous distance run",
         imgRunning,
         QKeySequence(Qt::Key_F6),
         {strContinuousTesting, strStopTesting}},
        {ui_->RzBitBtn8,
         "Single speed",
         nullptr,
         imgNone,
         QKeySequence(Qt::Key_F7),
         {strSingleTesting}},
        {ui_->RzBitBtn9,
         "Continuous speed run",
         "Stop continuous speed run",
         imgRunning,
         QKeySequence(Qt::Key_F8),
         {strContinuousTesting, strStopTesting}},
        {ui_->RzBitBtn7,
         "Rotation run",
         "Stop rotation run",
         imgRunning,
         QKeySequence(Qt::Key_F9),
         {strRotationMeasure, strStopTesting}},
    };
    for (const Named& n : buttons) {
        QStringList captions;
        for (const int number : n.captions)
            captions << LoadText(number);
        n.button->fitCaptions(captions);
        const QString idle = QString::fromLatin1(n.idle);
        n.button->setAccessibleNames(idle, n.busy ? QString::fromLatin1(n.busy) : QString(),
                                     n.busyImage);
        n.button->setToolTip(idle + QStringLiteral(" (") +
                             n.key.toString(QKeySequence::NativeText) + QLatin1Char(')'));
        auto* shortcut = new QShortcut(n.key, this);
        // The measuring keys work from the log window and the chart too.
        if (n.key[0].key() >= Qt::Key_F5 && n.key[0].key() <= Qt::Key_F9)
            shortcut->setContext(Qt::ApplicationShortcut);
        ImageButton* button = n.button;
        connect(shortcut, &QShortcut::activated, button, [button] {
            if (button->isEnabled() && button->isVisible())
                button->animateClick();
        });
    }

    const std::pair<QWidget*, const char*> fields[] = {
        {ui_->cbbComPort, "Serial port"},
        {ui_->cbbBaudRate, "Baud rate"},
        {ui_->RzEdit1, "Model"},
        {ui_->RzEdit2, "LRF code"},
        {ui_->RzEdit3, "Place"},
        {ui_->RzEdit4, "Destination"},
        {ui_->RzNumericEdit1, "Shots of a continuous run"},
        {ui_->RzNumericEdit2, "Rotation period in milliseconds"},
    };
    for (const auto& [field, name] : fields)
        field->setAccessibleName(QString::fromLatin1(name));

    // The baud rates whole in their box ("Custom" is the widest).
    QComboBox& baud = *ui_->cbbBaudRate;
    QStyleOptionComboBox option;
    option.initFrom(&baud);
    option.frame = true;
    const QRect field = baud.style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                     QStyle::SC_ComboBoxEditField, &baud);
    QStringList rates;
    for (int i = 0; i < baud.count(); ++i)
        rates << baud.itemText(i);
    baud.setFont(FittedFont(baud.font(), rates, QSize(field.width() - 4, baud.height())));
    const std::pair<QLabel*, QWidget*> buddies[] = {
        {ui_->RzLabel1, ui_->cbbComPort},     {ui_->RzLabel2, ui_->cbbBaudRate},
        {ui_->RzLabel9, ui_->RzEdit1},        {ui_->RzLabel11, ui_->RzEdit2},
        {ui_->RzLabel15, ui_->RzEdit3},       {ui_->RzLabel16, ui_->RzEdit4},
        {ui_->RzLabel5, ui_->RzNumericEdit1}, {ui_->RzLabel6, ui_->RzNumericEdit2},
    };
    for (const auto& [label, field] : buddies)
        label->setBuddy(field);
}

// The session's and the units' announcements, each to the window's handler for
// it. Direct: the handlers run inside the emit, so a reply is shown and recorded
// before the session re-arms the run, and a run start has switched recording on
// before the first shot.
void TForm1::connectUnits() {
    const MeasurementSession* s = session_.get();
    connect(controller_.get(), &MeasurementController::runStarting, this, &TForm1::runStarting,
            Qt::DirectConnection);
    connect(s, &MeasurementSession::measured, this, &TForm1::ComPort1RxChar, Qt::DirectConnection);
    connect(s, &MeasurementSession::replyArrived, this, &TForm1::replyArrived,
            Qt::DirectConnection);
    connect(s, &MeasurementSession::commandSent, this, &TForm1::commandWritten,
            Qt::DirectConnection);
    connect(s, &MeasurementSession::deviceGone, this, &TForm1::ComPort1DeviceLost,
            Qt::DirectConnection);
    connect(s, &MeasurementSession::portOpened, this, &TForm1::portOpened, Qt::DirectConnection);
    connect(
        s, &MeasurementSession::portFailed, this,
        [](const QString& reason) { Application::showException(reason); }, Qt::DirectConnection);
    connect(ui_->GroupBox1, &ReadoutPanel::unitPicked, this, &TForm1::RzComboBox3Change);
    connect(ui_->GroupBox3, &ReadoutPanel::unitPicked, this, &TForm1::RzComboBox1Change);
    for (QLineEdit* edit : {ui_->RzEdit1, ui_->RzEdit2, ui_->RzEdit3, ui_->RzEdit4})
        connect(edit, &QLineEdit::textChanged, this, &TForm1::freeTextEdited);
    freeTextEdited();
}

void TForm1::connectControls() {
    MeasurementController* c = controller_.get();
    connect(ui_->btnOpenCom, &QPushButton::clicked, this, &TForm1::btnOpenComClick);
    connect(ui_->btnExit, &QPushButton::clicked, this, &TForm1::btnExitClick);
    connect(ui_->btnRecordData, &QPushButton::clicked, this, &TForm1::btnRecordDataClick);
    connect(ui_->btnClearData, &QPushButton::clicked, this, &TForm1::btnClearDataClick);
    connect(ui_->btnShowData, &QPushButton::clicked, this, &TForm1::btnShowDataClick);
    connect(ui_->btnSaveData, &QPushButton::clicked, this, &TForm1::btnSaveDataClick);
    connect(ui_->btnTest, &QPushButton::clicked, this, &TForm1::btnTestClick);
    connect(ui_->RzBitBtn5, &QPushButton::clicked, c, &MeasurementController::RzBitBtn5Click);
    connect(ui_->RzBitBtn8, &QPushButton::clicked, c, &MeasurementController::RzBitBtn8Click);
    connect(ui_->RzBitBtn6, &QPushButton::clicked, c, &MeasurementController::RzBitBtn6Click);
    connect(ui_->RzBitBtn9, &QPushButton::clicked, c, &MeasurementController::RzBitBtn9Click);
    connect(ui_->RzBitBtn7, &QPushButton::clicked, c, &MeasurementController::RzBitBtn7Click);
    connect(ui_->RzNumericEdit2, &QSpinBox::valueChanged, c,
            &MeasurementController::RzNumericEdit2Change);
}

void TForm1::setCaptions() {
    setWindowTitle(LoadText(strMainTitle));
    const std::pair<QWidget*, int> captions[] = {
        {ui_->RzLabel1, strCom},
        {ui_->RzLabel2, strBaudrate},
        {ui_->btnOpenCom, strOpenCom},
        {ui_->btnClearData, strClearData},
        {ui_->btnRecordData, strRecordData},
        {ui_->btnShowData, strDisplayData},
        {ui_->btnSaveData, strSaveData},
        {ui_->btnExit, strExit},
        {ui_->RzBitBtn5, strSingleTesting},
        {ui_->RzBitBtn6, strContinuousTesting},
        {ui_->RzBitBtn8, strSingleTesting},
        {ui_->RzBitBtn9, strContinuousTesting},
        {ui_->RzBitBtn7, strRotationMeasure},
        {ui_->GroupBox1, strPointToPointDistance},
        {ui_->GroupBox3, strSpeedMeasurement},
        {ui_->RzLabel9, strModel},
        {ui_->RzLabel11, strLrfCode},
        {ui_->RzLabel15, strPlace},
        {ui_->RzLabel16, strDistination},
        {ui_->RzLabel5, strContinuousTimes},
        {ui_->RzLabel6, strRotationTimes},
        {ui_->RzLabel13, strTimes},
        {ui_->RzLabel14, strMs},
    };
    for (const auto& [widget, number] : captions) {
        if (auto* label = qobject_cast<QLabel*>(widget))
            label->setText(LoadText(number));
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            button->setText(LoadText(number));
        else if (auto* readout = qobject_cast<ReadoutPanel*>(widget))
            readout->setTitleText(LoadText(number));
    }
}

void TForm1::showEvent(QShowEvent* event) {
    if (!shown_) {
        shown_ = true;
        placeOnScreen();
        FormShow();
    }
    QWidget::showEvent(event);
}

// On the screen that holds the mouse, at the design's place where it has room.
void TForm1::placeOnScreen() {
    const QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QSize frame = frameGeometry().size().expandedTo(size());
    move(MainWindowPlace(screen->geometry(), screen->availableGeometry(), frame).topLeft());
}

void TForm1::FormShow() {
    setCaptions();
    state_.control.RotationMode = false;
    state_.control.RemainingCount = ui_->RzNumericEdit1->value();
    if (logWindow_) {
        logWindow_->InitGrid();
        // Lay out and draw the hidden log window once now, so that its first
        // showing at the start of a run does not hold up the run's first shots.
        logWindow_->winId();
        logWindow_->grab();
    }
    if (recorder_)
        recorder_->ResetCount();

    refreshPortBox();
    if (ui_->cbbComPort->count() > 0)
        ui_->cbbComPort->setCurrentIndex(0);

    state_.measurement.FrameUnit = unitMetre;
    state_.units.DistanceUnit = unitMetre;
    state_.HeightUnit = unitMetre;
    state_.HorizontalUnit = unitMetre;
    state_.units.SpeedUnit = unitKph;
    showDistance(unitMetre, 0.0);
    showSpeed(unitKph, 0.0);
}

void TForm1::showDistance(std::uint8_t unit, double value) {
    ui_->GroupBox1->ShowDistance(unit, value);
}

void TForm1::showSpeed(std::uint8_t unit, double value) {
    ui_->GroupBox3->ShowSpeed(unit, value);
}

void TForm1::showValues(std::uint8_t distanceUnit, double distance, std::uint8_t speedUnit,
                        double speed) {
    showDistance(distanceUnit, distance);
    showSpeed(speedUnit, speed);
}

// Picking the unit already held changes nothing: yards and feet do not convert
// back exactly, so converting into the same unit would nudge the value. A held
// no-value mark stays the mark.
void TForm1::RzComboBox3Change(std::uint8_t unit) {
    double& value = state_.measurement.LinearDistance;
    std::uint8_t& held = state_.units.DistanceUnit;
    if (unit != held)
        value = ConvertDistance(held, unit, value);
    held = unit;
    showDistance(held, value);
}

void TForm1::RzComboBox1Change(std::uint8_t unit) {
    double& value = state_.measurement.SpeedValue;
    std::uint8_t& held = state_.units.SpeedUnit;
    if (unit != held)
        value = ConvertSpeed(held, unit, value);
    held = unit;
    showSpeed(held, value);
}

void TForm1::commandWritten(std::chrono::steady_clock::time_point at) {
    linkTiming_.commandSent(at);
    emit commandSent();
}

// The records read the four fields as they are at each record: keep them as the
// records' texts whenever one changes, rather than converting all four per reply.
void TForm1::freeTextEdited() {
    freeTexts_ = {ui_->RzEdit1->text().toStdString(), ui_->RzEdit2->text().toStdString(),
                  ui_->RzEdit3->text().toStdString(), ui_->RzEdit4->text().toStdString()};
}

void TForm1::refreshPortBox() {
    std::vector<PortEntry> entries;
    for (const QString& name : leadingPorts_)
        entries.push_back({name, {}});
    for (const cport::SerialPortInfo& port : cport::ListSerialPorts())
        entries.push_back(
            {QString::fromStdString(port.Path), QString::fromStdString(port.Description())});
    ui_->cbbComPort->setPorts(entries);
}

void TForm1::btnOpenComClick() {
    if (reconnect_->waiting()) {
        // Closed by the operator while its device was awaited: the runs go on
        // against a closed port, as after any close.
        reconnect_->cancel();
        showStatusLine({});
        session_->resume();
    }
    portControl_->btnOpenComClick(ui_->cbbComPort->currentText(), ui_->cbbBaudRate->currentIndex(),
                                  this);
}

void TForm1::btnExitClick() {
    close();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program, also while the log window is shown.
    event->accept();
    QCoreApplication::quit();
}

void TForm1::btnRecordDataClick() {
    showRecording(recorder_->SetRecording(!recorder_->RecordingOn()));
}

// The record button's image index is the recording state.
void TForm1::showRecording(bool on) {
    ui_->btnRecordData->setImageIndex(on ? imgRunning : imgRecord);
    ui_->btnRecordData->setText(LoadText(on ? strStopRecord : strRecordData));
}

void TForm1::btnClearDataClick() {
    recorder_->Clear();
}

// A run starts with recording on and the log window shown below the main window.
void TForm1::runStarting() {
    if (!recorder_->RecordingOn())
        btnRecordDataClick();
    btnShowDataClick();
}

void TForm1::startPlannedRun(RunMode mode, std::int64_t shots) {
    runStarting();
    session_->startRun(mode, shots);
}

void TForm1::showRecordLimit() {
    ShowRecordLimit(this);
}

void TForm1::btnShowDataClick() {
    lrf::btnShowDataClick(*this, *logWindow_);
}

void TForm1::btnSaveDataClick() {
    lrf::btnSaveDataClick(*this, *logWindow_);
}

void TForm1::btnTestClick() {
    const std::string text = ui_->edtTest->text().toStdString();
    const std::optional<SelfTestFrame> frame = DecodeSelfTestEntry(text, state_);
    if (!frame)
        return;
    showDistance(state_.units.DistanceUnit, state_.measurement.LinearDistance);
    if (recorder_->RecordingOn())
        RecordSelfTest(*recorder_, frame->values, freeTexts_);
    if (frame->endedWithEE)
        session_->reArmShotTimers();
}

// The receive handler's part in the window, for each reply the session
// handled: the values in the operator's units on both readouts, then the record.
// A record refused at the limit, or a failure, ends the reply's handling: the
// session does not re-arm the run.
void TForm1::ComPort1RxChar(const Measurement& m) {
    try {
        MeasurementState& shown = state_.measurement;
        shown = InUnits(m, state_.units);
        showValues(state_.units.DistanceUnit, shown.LinearDistance,
                   SpeedReadoutUnit(shown, state_.units), shown.SpeedValue);
        if (recorder_ &&
            RecordReply(*recorder_, m, state_.units, freeTexts_) == RecordOutcome::RefusedAtLimit) {
            session_->skipReArm();
            showRecordLimit();
        }
    } catch (const std::exception& e) {
        session_->skipReArm();
        Application::showException(QString::fromUtf8(e.what()));
    }
}

// A reply has come whole: the link line shows how long the shots take.
void TForm1::replyArrived(std::chrono::steady_clock::time_point at) {
    linkTiming_.replyComplete(at);
    showLinkLine();
}

void TForm1::ComPort1DeviceLost() {
    if (session_->busy() && session_->isOpen()) {
        // In the middle of a run: wait for the device, then go on where the run stopped.
        session_->suspend();
        reconnect_->begin(portWatcher_->listening());
        showStatusLine(ReconnectWaitingText(reconnect_->portName(), reconnect_->timeLimit()));
        return;
    }
    session_->stopRun();
    portControl_->deviceLost(this);
}

void TForm1::portReopened() {
    showStatusLine(ReconnectedText(QString::fromStdString(session_->port().Port())), 10000);
    session_->resume();
}

// The device did not come back: what a vanished device does without a run.
void TForm1::reconnectGaveUp() {
    showStatusLine({});
    session_->stopRun();
    portControl_->reportLost(this);
}

void TForm1::showStatusLine(const QString& text, int timeoutMs) {
    if (logWindow_)
        logWindow_->statusBar()->showMessage(text, timeoutMs);
}

// A port opened: it is the device a vanished one is waited for as, and a slow
// adapter latency timer is told once per port while the program runs.
void TForm1::portOpened() {
    const std::string port = session_->port().Port();
    reconnect_->remember(cport::IdentifyPort(port), port);
    link_ = session_->link();
    linkTiming_.clear();
    linkWarning_ = cport::LatencyWarning(port, link_).value_or(std::string());
    if (const std::optional<std::string> notice = latencyNotices_.take(port, link_))
        showStatusLine(QString::fromStdString(*notice), 60000);
    showLinkLine();
}

void TForm1::showLinkLine() {
    if (!logWindow_)
        return;
    const QString line =
        QString::fromStdString(LinkLine(link_, linkTiming_.median(), CurrentSeparators().decimal));
    const QString advice = QString::fromStdString(linkWarning_);
    logWindow_->StatusBar().SetLinkLine(line, advice.isEmpty() ? line : line + '\n' + advice);
}

} // namespace lrf
