#include "MeasurementController.h"

#include "Dialogs.h"
#include "ImageButton.h"
#include "ImageList.h"
#include "NumericEdit.h"
#include "Texts.h"

namespace lrf {

MeasurementController::MeasurementController(MeasurementSession& session, Controls controls,
                                             QObject* parent)
    : QObject(parent)
    , session_(session)
    , controls_(controls) {
    connect(&session_, &MeasurementSession::runChanged, this, &MeasurementController::showRun);
    connect(&session_, &MeasurementSession::shotCounted, this,
            [this](std::int32_t shown) { controls_.RzNumericEdit1->setValue(shown); });
    connect(&session_, &MeasurementSession::noReply, this, &MeasurementController::Timer4Timer);
}

// A running button shows the common running image and "Stop Testing"; an idle
// one its own image and caption, and a continuous run's field its count again.
void MeasurementController::showRun(RunMode mode, bool running) {
    ImageButton* button = controls_.RzBitBtn7;
    int idleImage = imgRotation;
    int idleCaption = strRotationMeasure;
    if (mode == RunMode::Distance || mode == RunMode::Speed) {
        const bool distance = mode == RunMode::Distance;
        button = distance ? controls_.RzBitBtn6 : controls_.RzBitBtn9;
        idleImage = distance ? imgContinuousDistance : imgContinuousSpeed;
        idleCaption = strContinuousTesting;
    } else if (mode != RunMode::Rotation) {
        return;
    }
    button->setImageIndex(running ? imgRunning : idleImage);
    button->setText(LoadText(running ? strStopTesting : idleCaption));
    if (!running && mode != RunMode::Rotation)
        controls_.RzNumericEdit1->setValue(session_.control().ContinuousCount);
}

void MeasurementController::RzBitBtn5Click() {
    session_.singleShot(Shot::Distance);
}

void MeasurementController::RzBitBtn8Click() {
    session_.singleShot(Shot::Speed);
}

void MeasurementController::RzBitBtn6Click() {
    continuousClick(RunMode::Distance);
}

void MeasurementController::RzBitBtn9Click() {
    continuousClick(RunMode::Speed);
}

void MeasurementController::continuousClick(RunMode mode) {
    if (session_.running(mode)) {
        session_.stopRun(mode);
        return;
    }
    emit runStarting();
    session_.startRun(mode, controls_.RzNumericEdit1->value());
}

void MeasurementController::RzBitBtn7Click() {
    if (session_.running(RunMode::Rotation)) {
        session_.stopRun(RunMode::Rotation);
        return;
    }
    emit runStarting();
    session_.startRun(RunMode::Rotation, 0);
}

// The session stops the runs once the operator has closed the box.
void MeasurementController::Timer4Timer() {
    QWidget* parent = controls_.RzBitBtn7 ? controls_.RzBitBtn7->window() : nullptr;
    dialogs().showMessage(parent, QStringLiteral("Error"), LoadText(strCommunicationFailure));
}

void MeasurementController::RzNumericEdit2Change() {
    if (controls_.RzNumericEdit2->value() <= 0)
        controls_.RzNumericEdit2->setValue(1);
    session_.setRotationPeriod(controls_.RzNumericEdit2->value());
}

} // namespace lrf
