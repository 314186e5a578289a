#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace cport {
class PortMonitor;
}

namespace lrf {

// Tells when serial ports are plugged in, removed or changed: the serial
// component's monitor of the device manager, watched by the event loop, or on
// Windows the system's WM_DEVICECHANGE to the program's windows. Where the
// platform has neither nothing is ever told.
class PortListWatcher : public QObject {
    Q_OBJECT

public:
    explicit PortListWatcher(QObject* parent = nullptr);
    ~PortListWatcher() override;

    // A monitor is open, so hot-plug notices can come.
    bool listening() const;

signals:
    void portsChanged();

private:
    void drain();

    std::unique_ptr<cport::PortMonitor> monitor_;
#ifdef _WIN32
    class DeviceChangeFilter;
    std::unique_ptr<DeviceChangeFilter> deviceChanges_;
#endif
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace lrf
