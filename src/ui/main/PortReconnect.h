#pragma once

#include "SerialPorts.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <string>

namespace cport {
class TComPort;
}

namespace lrf {

// Bridges a pulled cable or an adapter that resets in the middle of a run. The port
// whose device vanished is closed, and reopened with its settings as soon as the
// same device is back: the one with the same stable (by-id) name, wherever its
// node is now, or for a device without one the same path. After the time limit
// it gives up.
//
// The wait is driven by events: hot-plug notices (portsChanged) for a device the
// device manager announces, and for one it does not (a pseudo-terminal, a
// machine without udev) a low-rate retry timer.
class PortReconnect : public QObject {
    Q_OBJECT

public:
    static constexpr int kTimeLimitMs = 30000;
    static constexpr int kRetryIntervalMs = 250;

    explicit PortReconnect(cport::TComPort& port, QObject* parent = nullptr);

    // Remembers the device the port has just opened, under the name it was opened by.
    void remember(const cport::SerialPortInfo& device, const std::string& name);

    // The device vanished: closes the port and waits for the device to come back.
    // hotPlugNotices: portsChanged() will be called when ports come and go.
    void begin(bool hotPlugNotices);
    // Ends the wait; the port stays closed.
    void cancel();
    bool waiting() const { return waiting_; }

    // Serial ports came or went: looks for the device at once.
    void portsChanged();

    // The name the port is being waited for under.
    QString portName() const { return QString::fromStdString(name_); }

    // Test hooks: a shorter time limit and retry interval.
    void setTimeLimit(int ms) { deadline_.setInterval(ms); }
    void setRetryInterval(int ms) { retry_.setInterval(ms); }
    int timeLimit() const { return deadline_.interval(); }

signals:
    void reopened();
    void gaveUp();

private:
    void tryReopen();
    void stop();

    cport::TComPort& port_;
    cport::SerialPortInfo device_;
    std::string name_; // as the operator gave it
    QTimer deadline_;
    QTimer retry_;
    bool waiting_ = false;
    bool announced_ = false; // the device manager tells when the device is back
};

// The status line while the wait lasts, and when it succeeded.
QString ReconnectWaitingText(const QString& port, int timeLimitMs);
QString ReconnectedText(const QString& port);

} // namespace lrf
