#include "Application.h"

#include "Accessibility.h"
#include "Dialogs.h"
#include "Fonts.h"
#include "MainPort.h"
#include "SystemSeparators.h"

#include <exception>

namespace lrf {

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv) {
    RefreshCurrentSeparators();
    InstallGuiHandOver();
    LoadWindowFonts();
    InstallAccessibility();
}

Application::~Application() {
    RemoveGuiHandOver();
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showException(QString::fromUtf8(e.what()));
    } catch (...) {
        showException(QStringLiteral("Unknown error"));
    }
    return false;
}

bool Application::event(QEvent* event) {
    if (event->type() == QEvent::LocaleChange)
        RefreshCurrentSeparators();
    return QApplication::event(event);
}

void Application::showException(const QString& text) {
    dialogs().showMessage(activeWindow(), applicationName(), text);
}

} // namespace lrf
