#include "PortListWatcher.h"

#include "SerialPorts.h"

#include <QSocketNotifier>

namespace lrf {

PortListWatcher::PortListWatcher(QObject* parent)
    : QObject(parent)
    , monitor_(cport::PortMonitor::Open()) {
    if (!monitor_)
        return;
    notifier_ = new QSocketNotifier(monitor_->Fd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &PortListWatcher::drain);
}

PortListWatcher::~PortListWatcher() {
    delete notifier_; // before the monitor closes its descriptor
}

void PortListWatcher::drain() {
    if (!monitor_->DrainEvents().empty())
        emit portsChanged();
}

} // namespace lrf
