#pragma once

#include <QApplication>

namespace lrf {

// The application object. Every event passes through notify(), so it is the one
// place where an exception that a handler let through is caught and shown to
// the operator in a message box; nothing crosses the event loop.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the text of an exception that reached the event loop.
    static void showException(const QString& text);
};

} // namespace lrf
