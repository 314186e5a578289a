#pragma once

#include "Dialogs.h"

#include <QStringList>

#include <functional>

// Records the messages instead of showing them. onMessage runs while the
// "box" is open, the way a modal box runs its own message loop.
struct TestDialogs : lrf::Dialogs {
    QStringList captions;
    QStringList messages;
    QStringList details; // one per message; empty for a box without detail
    QString saveFileName;
    QStringList folders;   // answers of the folder dialog in turn; then it is cancelled
    QStringList questions; // texts of the questions asked
    QList<int> answers;    // answers to them in turn; then the last one
    std::function<void()> onMessage;

    TestDialogs() { lrf::setDialogs(this); }
    ~TestDialogs() override { lrf::setDialogs(nullptr); }

    void showMessage(QWidget* parent, const QString& caption, const QString& text) override {
        showDetailedMessage(parent, caption, text, {});
    }
    void showDetailedMessage(QWidget*, const QString& caption, const QString& text,
                             const QString& detail) override {
        captions << caption;
        messages << text;
        details << detail;
        if (onMessage)
            onMessage();
    }
    int ask(QWidget*, const QString&, const QString& text, const QString&,
            const QStringList& choices) override {
        questions << text;
        return answers.isEmpty() ? static_cast<int>(choices.size()) - 1 : answers.takeFirst();
    }
    QString getSaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
        return saveFileName;
    }
    QString getExistingDirectory(QWidget*, const QString&, const QString&) override {
        return folders.isEmpty() ? QString() : folders.takeFirst();
    }
};
