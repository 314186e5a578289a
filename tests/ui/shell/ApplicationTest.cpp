#include "Application.h"
#include "Dialogs.h"
#include "SystemSeparators.h"

#include <QLocale>
#include <QTimer>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct RecordingDialogs : lrf::Dialogs {
    QStringList messages;
    void showMessage(QWidget*, const QString&, const QString& text) override { messages << text; }
    QString getSaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
        return {};
    }
    int ask(QWidget*, const QString&, const QString&, const QString&, const QStringList&) override {
        return 0;
    }
    QString getExistingDirectory(QWidget*, const QString&, const QString&) override { return {}; }
};

class Thrower : public QObject {
protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw std::runtime_error("disk full");
        return QObject::event(e);
    }
};

} // namespace

// An exception from a handler is shown once and the event loop carries on.
TEST(Application, NotifyShowsExceptionsAndKeepsRunning) {
    int argc = 1;
    char name[] = "shell_tests";
    char* argv[] = {name, nullptr};
    lrf::Application app(argc, argv);
    RecordingDialogs recorder;
    lrf::setDialogs(&recorder);

    Thrower thrower;
    QEvent synchronous(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&thrower, &synchronous));
    EXPECT_EQ(recorder.messages, QStringList{"disk full"});

    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QTimer::singleShot(50, &app, &QCoreApplication::quit);
    EXPECT_EQ(app.exec(), 0);
    EXPECT_EQ(recorder.messages.size(), 2);
    lrf::setDialogs(nullptr);
}

// The application object looks the system's separators up when it is made and
// again when the system locale changes; records in between use what it found.
TEST(Application, LooksTheSeparatorsUpAtStartAndAtEveryLocaleChange) {
    using namespace lrf;
    const Separators stale{"#", "|", "~"};
    SetCurrentSeparators(stale);
    int argc = 1;
    char name[] = "shell_tests";
    char* argv[] = {name, nullptr};
    Application app(argc, argv);
    const Separators system = LocaleSeparators(QLocale::system());
    const auto same = [](const Separators& a, const Separators& b) {
        return a.decimal == b.decimal && a.date == b.date && a.time == b.time;
    };
    EXPECT_TRUE(same(CurrentSeparators(), system));

    SetCurrentSeparators(stale);
    EXPECT_TRUE(same(CurrentSeparators(), stale));
    QEvent change(QEvent::LocaleChange);
    QCoreApplication::sendEvent(&app, &change);
    EXPECT_TRUE(same(CurrentSeparators(), system));
}
