#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace cport {
class PortMonitor;
}

namespace lrf {

// Tells when serial ports are plugged in, removed or changed: the serial
// component's monitor of the device manager, watched by the event loop. Where the
// platform has no such monitor nothing is ever told.
class PortListWatcher : public QObject {
    Q_OBJECT

public:
    explicit PortListWatcher(QObject* parent = nullptr);
    ~PortListWatcher() override;

    // A monitor is open, so hot-plug notices can come.
    bool listening() const { return monitor_ != nullptr; }

signals:
    void portsChanged();

private:
    void drain();

    std::unique_ptr<cport::PortMonitor> monitor_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace lrf
