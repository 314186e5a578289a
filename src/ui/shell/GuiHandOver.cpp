#include "GuiHandOver.h"

#include "HandOver.h"

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

} // namespace lrf
