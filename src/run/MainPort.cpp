#include "MainPort.h"

#include "CPort.h"

#include <QCoreApplication>

namespace lrf {

void InstallGuiHandOver() {
    cport::SetWakeUpHook([] {
        QCoreApplication* app = QCoreApplication::instance();
        if (app)
            QMetaObject::invokeMethod(
                app, [] { cport::ProcessPendingCalls(); }, Qt::QueuedConnection);
    });
}

void RemoveGuiHandOver() {
    cport::SetWakeUpHook({});
}

void ConfigureMainPort(cport::TComPort& port) {
    port.SetBaudRate(cport::br19200);
    port.SetCustomBaudRate(9600);
    port.SetDataBits(cport::dbEight);
    port.Parity().SetBits(cport::prNone);
    port.SetStopBits(cport::sbOneStopBit);
    port.FlowControl().SetOutCTSFlow(false);
    port.FlowControl().SetOutDSRFlow(false);
    port.FlowControl().SetXonXoffOut(false);
    port.FlowControl().SetXonXoffIn(false);
    port.FlowControl().SetControlDTR(cport::dtrDisable);
    port.FlowControl().SetControlRTS(cport::rtsDisable);
}

} // namespace lrf
