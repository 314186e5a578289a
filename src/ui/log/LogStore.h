#pragma once

#include "StoreForwarder.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace lrf {

class LogJournal;

// The forwarding of the journal's lines to a record store as the program
// uses it: the worker starts once the journal is ready; its state shows in
// the log window's status bar ("Store: ..."). When forwarding has failed for
// more than a minute the operator is told once, in the status bar and in one
// message through lrf::dialogs() over dialogParent; after the store took lines
// again, a later long failure is told again. Nothing here waits for the server.
class LogStore : public QObject {
public:
    // settings.journalPath is taken from the journal.
    LogStore(LogJournal& journal, QWidget* dialogParent, journal::ForwarderSettings settings);
    ~LogStore() override;
    LogStore(const LogStore&) = delete;
    LogStore& operator=(const LogStore&) = delete;

    // After the journal's Finish: forwards what it can in a few seconds, ends the worker.
    void Finish();

    const journal::ForwardState& State() const { return state; }
    int FailureMessages() const { return failureMessages; }

    // The station as the program names it: the host name, or name when given.
    static journal::StationInfo Station(const QString& name, const QString& programVersion);

private:
    void JournalReady();
    void Apply(const journal::ForwardState& newState);

    LogJournal& logJournal;
    QPointer<QWidget> dialogParent;
    journal::StoreTarget target;
    std::unique_ptr<journal::StoreForwarder> forwarder;
    journal::ForwardState state;
    bool announced = false;
    int failureMessages = 0;
};

} // namespace lrf
