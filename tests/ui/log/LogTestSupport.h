#pragma once

#include "Dialogs.h"
#include "LogEvents.h"
#include "ShowDataFrm.h"

#include <QCoreApplication>
#include <QStringList>
#include <gtest/gtest.h>

#include <string>

// Modal dialogs replaced for the tests: messages are kept, the save dialog
// answers with a prepared name, the folder dialog and the questions with
// prepared answers in turn.
struct ScriptedDialogs : lrf::Dialogs {
    struct Message {
        QString caption;
        QString text;
        QString detail;
    };
    QList<Message> messages;
    QString answer; // empty: the operator cancels
    QString askedFilter, askedSuffix, askedInitial;
    QStringList folders; // none left: the folder dialog is cancelled
    int foldersAsked = 0;
    struct Question {
        QString text;
        QString detail;
        QStringList answers;
    };
    QList<Question> questions;
    QList<int> answers; // none left: the last answer, so that no script loops

    void showMessage(QWidget* parent, const QString& caption, const QString& text) override {
        showDetailedMessage(parent, caption, text, {});
    }
    void showDetailedMessage(QWidget*, const QString& caption, const QString& text,
                             const QString& detail) override {
        messages.append({caption, text, detail});
    }
    int ask(QWidget*, const QString&, const QString& text, const QString& detail,
            const QStringList& choices) override {
        questions.append({text, detail, choices});
        return answers.isEmpty() ? static_cast<int>(choices.size()) - 1 : answers.takeFirst();
    }
    QString getExistingDirectory(QWidget*, const QString&, const QString&) override {
        ++foldersAsked;
        return folders.isEmpty() ? QString() : folders.takeFirst();
    }
    QString getSaveFileName(QWidget*, const QString& initialPath, const QString& filter,
                            const QString& defaultSuffix) override {
        askedInitial = initialPath;
        askedFilter = filter;
        askedSuffix = defaultSuffix;
        return answer;
    }
    QStringList Texts() const {
        QStringList texts;
        for (const Message& m : messages)
            texts << m.text;
        return texts;
    }
};

inline lrf::TAData MakeRecord(int index, const std::string& distance,
                              const std::string& speed = "---.-") {
    lrf::TAData r;
    r.Index = index;
    r.DistanceText = distance;
    r.DistanceUnitName = "M";
    r.SpeedText = speed;
    r.SpeedUnitName = "KPH";
    r.Place = "Quay";
    r.Destination = "Mast";
    r.DateTimeText = "2024/03/05 14:07:39.52";
    r.Model = "X1";
    r.InstrumentCode = "C7";
    return r;
}

inline void SendAdd(lrf::TFrmShowData& window, const lrf::TAData& record, int wParam = 0) {
    lrf::DataAddEvent event(record, wParam);
    QCoreApplication::sendEvent(&window, &event);
}

inline void SendPlain(lrf::TFrmShowData& window, QEvent::Type type) {
    QEvent event(type);
    QCoreApplication::sendEvent(&window, &event);
}

// A log window set up as at start, with the dialogs replaced.
class LogWindowTest : public ::testing::Test {
protected:
    LogWindowTest() {
        lrf::setDialogs(&dialogs);
        window.InitGrid();
    }
    ~LogWindowTest() override { lrf::setDialogs(nullptr); }

    QStringList Row(int row) const {
        QStringList cells;
        for (int column = 0; column < lrf::TFrmShowData::ColumnCount; ++column)
            cells << window.Cells(column, row);
        return cells;
    }

    ScriptedDialogs dialogs;
    lrf::TFrmShowData window;
};
