#include "LogStore.h"

#include "Dialogs.h"
#include "LogJournal.h"
#include "LogStatusBar.h"
#include "ShowDataFrm.h"
#include "StoreTexts.h"

#include <QCoreApplication>
#include <QSysInfo>

namespace lrf {

LogStore::LogStore(LogJournal& journal, QWidget* parent, journal::ForwarderSettings settings)
    : logJournal(journal)
    , dialogParent(parent)
    , target(settings.target) {
    settings.journalPath = journal.journal().Path();
    // The worker's state comes on its thread; it is shown on this one.
    forwarder = std::make_unique<journal::StoreForwarder>(
        std::move(settings), [this](const journal::ForwardState& changed) {
            QMetaObject::invokeMethod(
                this, [this, changed] { Apply(changed); }, Qt::QueuedConnection);
        });
    logJournal.window().StatusBar().SetStoreState(journal::StoreStateText(state));
    connect(&journal.journal(), &journal::Journal::ready, this, &LogStore::JournalReady);
    if (journal.journal().IsReady())
        JournalReady();
}

LogStore::~LogStore() {
    forwarder->Finish(std::chrono::milliseconds{0});
}

void LogStore::Finish() {
    forwarder->Finish();
}

journal::StationInfo LogStore::Station(const QString& name, const QString& programVersion) {
    const QString host = QSysInfo::machineHostName();
    return {host.toStdString(), (name.isEmpty() ? host : name).toStdString(),
            programVersion.toStdString()};
}

void LogStore::JournalReady() {
    if (logJournal.journal().IsAvailable())
        forwarder->Start();
    else
        logJournal.window().StatusBar().SetStoreState(journal::StoreWithoutJournalText());
}

void LogStore::Apply(const journal::ForwardState& newState) {
    state = newState;
    logJournal.window().StatusBar().SetStoreState(journal::StoreStateText(state));
    if (state.link == journal::ForwardState::Link::Connected)
        announced = false;
    if (!state.failingLong || announced)
        return;
    announced = true;
    ++failureMessages;
    const QString text = journal::StoreFailureText(target, state);
    logJournal.window().ShowStatusMessage(text);
    dialogs().showMessage(dialogParent, QCoreApplication::applicationName(), text);
}

} // namespace lrf
