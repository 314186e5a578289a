#pragma once

#include "MainPort.h"

#include <QString>

#include <functional>

class QWidget;

namespace cport {
class EComPort;
class TComPort;
} // namespace cport

namespace lrf {

class ImageButton;

// Told to the operator when the open port's device vanishes.
extern const char* const kDeviceLostText;

// The detail line of the open-failure box: the port's name, why the component
// could not open it (missing, no permission, busy, settings refused) and the
// component's own message.
QString OpenFailureDetail(const QString& portName, const cport::EComPort& error);

// The port button: opens and closes the port; its image index is the port's
// state (closed or open) and its caption follows it.
class PortControl {
public:
    PortControl(cport::TComPort& port, ImageButton& button);

    // btnOpenComClick: with the port closed, applies the name and the baud list
    // index, 8N1, and opens it; any failure shows "COM open failure!" with the
    // reason as the box's detail and leaves the port closed. With the port open, closes it.
    void btnOpenComClick(const QString& portName, int baudIndex, QWidget* parent);

    // Closes the port (also one whose device is gone) and shows the closed face.
    void closePort();

    // The device vanished while open (a cable pulled): tells the operator once,
    // closes the port and shows the closed face.
    void deviceLost(QWidget* parent);
    // The same for a port already closed while its device was waited for.
    void reportLost(QWidget* parent);

    bool isOpen() const;

private:
    void showState(bool open);
    void openFailed(QWidget* parent, const QString& detail);

    cport::TComPort& port_;
    ImageButton& button_;
};

} // namespace lrf
