#include "PortControl.h"

#include "ArgumentText.h"
#include "CPort.h"
#include "Dialogs.h"
#include "ImageButton.h"
#include "Texts.h"

#include <QCoreApplication>

namespace lrf {

const char* const kDeviceLostText = "The serial device is gone: the port has been closed.";

PortControl::PortControl(cport::TComPort& port, ImageButton& button)
    : port_(port)
    , button_(button) {}

bool PortControl::isOpen() const {
    return port_.Connected();
}

void PortControl::showState(bool open) {
    button_.setImageIndex(open ? imgPortOpen : imgPortClosed);
    button_.setText(LoadText(open ? strCloseCom : strOpenCom));
}

void PortControl::btnOpenComClick(const QString& portName, int baudIndex, QWidget* parent) {
    if (button_.imageIndex() != imgPortClosed) {
        closePort();
        return;
    }
    try {
        // A name given on the command line keeps its bytes, UTF-8 or not.
        port_.SetPort(ArgumentBytes(portName));
        if (baudIndex >= cport::brCustom && baudIndex <= cport::br256000)
            port_.SetBaudRate(static_cast<cport::TBaudRate>(baudIndex));
        port_.Parity().SetBits(cport::prNone);
        port_.SetDataBits(cport::dbEight);
        port_.SetStopBits(cport::sbOneStopBit);
        port_.OpenPort();
        showState(true);
    } catch (const cport::EComPort& e) {
        openFailed(parent, OpenFailureDetail(portName, e));
    } catch (const std::exception& e) {
        openFailed(parent, QString::fromUtf8(e.what()));
    } catch (...) {
        openFailed(parent, {});
    }
}

QString OpenFailureDetail(const QString& portName, const cport::EComPort& error) {
    QString detail = QString::fromUtf8(error.what());
    const std::string reason = cport::ComErrorReason(error);
    if (!reason.empty())
        detail = QString::fromUtf8(reason) + QLatin1Char('\n') + detail;
    if (!portName.isEmpty())
        detail = portName + QStringLiteral(": ") + detail;
    return detail;
}

void PortControl::openFailed(QWidget* parent, const QString& detail) {
    dialogs().showDetailedMessage(parent, QCoreApplication::applicationName(),
                                  LoadText(strComOpenFailure), detail);
    closePort();
}

void PortControl::closePort() {
    port_.ClosePort();
    showState(false);
}

void PortControl::deviceLost(QWidget* parent) {
    if (!port_.Connected())
        return;
    reportLost(parent);
}

void PortControl::reportLost(QWidget* parent) {
    closePort();
    dialogs().showMessage(parent, QStringLiteral("Error"), QString::fromUtf8(kDeviceLostText));
}

} // namespace lrf
