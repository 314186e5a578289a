#include "LogJournal.h"

#include "Dialogs.h"
#include "ShowDataFrm.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>

namespace lrf {

namespace {

journal::JournalOptions OptionsFor(const TFrmShowData& logWindow, const QString& version,
                                   const QString& path, bool toStore) {
    const QString folder = logWindow.AutoSaveDirectory();
    return {path, QDir(folder.isEmpty() ? QDir::currentPath() : folder).absolutePath(), version,
            toStore};
}

} // namespace

LogJournal::LogJournal(TFrmShowData& logWindow, QWidget* dialogParent,
                       const QString& programVersion, const QString& path, bool toStore)
    : logWindow(logWindow)
    , journal_(OptionsFor(logWindow, programVersion, path, toStore)) {
    logWindow.Log().SetObserver(&journal_);
    QPointer<QWidget> parent(dialogParent);
    QObject::connect(&journal_, &journal::Journal::notice, &journal_,
                     [parent](const QString& text) {
                         dialogs().showMessage(parent, QCoreApplication::applicationName(), text);
                     });
}

LogJournal::~LogJournal() {
    Finish();
}

void LogJournal::Finish() {
    logWindow.Log().SetObserver(nullptr);
    journal_.Finish();
}

} // namespace lrf
