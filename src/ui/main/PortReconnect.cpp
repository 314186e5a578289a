#include "PortReconnect.h"

#include "CPort.h"

namespace lrf {

PortReconnect::PortReconnect(cport::TComPort& port, QObject* parent)
    : QObject(parent)
    , port_(port) {
    deadline_.setSingleShot(true);
    deadline_.setTimerType(Qt::PreciseTimer); // a coarse timer may end the wait early
    deadline_.setInterval(kTimeLimitMs);
    retry_.setTimerType(Qt::PreciseTimer);
    retry_.setInterval(kRetryIntervalMs);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        stop();
        emit gaveUp();
    });
    connect(&retry_, &QTimer::timeout, this, &PortReconnect::tryReopen);
}

void PortReconnect::remember(const cport::SerialPortInfo& device, const std::string& name) {
    device_ = device;
    name_ = name;
}

void PortReconnect::begin(bool hotPlugNotices) {
    port_.ClosePort();
    waiting_ = true;
    announced_ = hotPlugNotices && device_.HotPlugged;
    deadline_.start();
    if (!announced_)
        retry_.start();
}

void PortReconnect::cancel() {
    stop();
}

void PortReconnect::stop() {
    waiting_ = false;
    deadline_.stop();
    retry_.stop();
}

void PortReconnect::portsChanged() {
    if (waiting_)
        tryReopen();
}

void PortReconnect::tryReopen() {
    const std::string node = cport::LocatePort(device_);
    if (node.empty()) {
        if (announced_)
            retry_.stop(); // absent: its return will be announced
        return;
    }
    // Back at the node it had: open it by the operator's name again.
    const std::string name = node == device_.Path ? name_ : node;
    try {
        port_.SetPort(name);
        port_.OpenPort();
    } catch (const cport::EComPort&) {
        // There but not ready yet (permissions being set, another program
        // probing it): try again shortly.
        port_.ClosePort();
        if (!retry_.isActive())
            retry_.start();
        return;
    }
    stop();
    emit reopened();
}

QString ReconnectWaitingText(const QString& port, int timeLimitMs) {
    return QStringLiteral("%1 is gone: waiting up to %2 s for it to come back")
        .arg(port)
        .arg((timeLimitMs + 999) / 1000);
}

QString ReconnectedText(const QString& port) {
    return QStringLiteral("%1 is back: the run goes on").arg(port);
}

} // namespace lrf
