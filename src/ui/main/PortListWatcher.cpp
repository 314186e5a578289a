#include "PortListWatcher.h"

#include "SerialPorts.h"

#include <QSocketNotifier>

#ifdef _WIN32
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <windows.h>
#endif

namespace lrf {

#ifdef _WIN32
// The system tells every top-level window of a port that arrives or goes, and of
// any change of the device tree; the filter sees them before Qt does.
class PortListWatcher::DeviceChangeFilter : public QAbstractNativeEventFilter {
public:
    explicit DeviceChangeFilter(PortListWatcher& watcher)
        : watcher_(watcher) {}

    bool nativeEventFilter(const QByteArray&, void* message, qintptr*) override {
        const auto* msg = static_cast<const MSG*>(message);
        constexpr WPARAM kArrival = 0x8000, kRemoveComplete = 0x8004, kNodesChanged = 0x0007;
        if (msg->message == WM_DEVICECHANGE &&
            (msg->wParam == kArrival || msg->wParam == kRemoveComplete ||
             msg->wParam == kNodesChanged))
            // After the message: the device manager's lists are updated by then.
            QMetaObject::invokeMethod(
                &watcher_, [w = &watcher_] { emit w->portsChanged(); }, Qt::QueuedConnection);
        return false;
    }

private:
    PortListWatcher& watcher_;
};
#endif

bool PortListWatcher::listening() const {
#ifdef _WIN32
    return deviceChanges_ != nullptr;
#else
    return monitor_ != nullptr;
#endif
}

PortListWatcher::PortListWatcher(QObject* parent)
    : QObject(parent)
    , monitor_(cport::PortMonitor::Open()) {
#ifdef _WIN32
    if (QCoreApplication::instance()) {
        deviceChanges_ = std::make_unique<DeviceChangeFilter>(*this);
        QCoreApplication::instance()->installNativeEventFilter(deviceChanges_.get());
    }
#endif
    if (!monitor_)
        return;
    notifier_ = new QSocketNotifier(monitor_->Fd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &PortListWatcher::drain);
}

PortListWatcher::~PortListWatcher() {
#ifdef _WIN32
    if (deviceChanges_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(deviceChanges_.get());
#endif
    delete notifier_; // before the monitor closes its descriptor
}

void PortListWatcher::drain() {
    if (!monitor_->DrainEvents().empty())
        emit portsChanged();
}

} // namespace lrf
