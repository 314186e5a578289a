#pragma once

#include <QApplication>

namespace lrf {

// The application object. Every event passes through notify(), so it is the one
// place where an exception that a handler let through is caught and shown to
// the operator in a message box; nothing crosses the event loop. While it
// exists, the serial component's event threads hand their events over to it
// (InstallGuiHandOver), and the records follow the system locale's separators,
// looked up again when the system locale changes (RefreshCurrentSeparators).
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    ~Application() override;

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the text of an exception that reached the event loop.
    static void showException(const QString& text);

protected:
    bool event(QEvent* event) override;
};

} // namespace lrf
