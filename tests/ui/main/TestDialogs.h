#pragma once

#include "Dialogs.h"

#include <QStringList>

#include <functional>

// Records the messages instead of showing them. onMessage runs while the
// "box" is open, the way a modal box runs its own message loop.
struct TestDialogs : lrf::Dialogs {
    QStringList captions;
    QStringList messages;
    QString saveFileName;
    std::function<void()> onMessage;

    TestDialogs() { lrf::setDialogs(this); }
    ~TestDialogs() override { lrf::setDialogs(nullptr); }

    void showMessage(QWidget*, const QString& caption, const QString& text) override {
        captions << caption;
        messages << text;
        if (onMessage)
            onMessage();
    }
    QString getSaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
        return saveFileName;
    }
};
