#pragma once

#include "Journal.h"

#include <QString>

class QWidget;

namespace lrf {

class TFrmShowData;

// The crash journal as the program uses it: attached to the log window, its
// notices shown through lrf::dialogs() over dialogParent, this run's working
// directory being the log window's folder of automatic saves. toStore: this
// run's lines wait in it for the record store (LogStore forwards them).
class LogJournal {
public:
    LogJournal(TFrmShowData& logWindow, QWidget* dialogParent, const QString& programVersion,
               const QString& path = journal::JournalOptions::DefaultPath(), bool toStore = false);
    ~LogJournal();
    LogJournal(const LogJournal&) = delete;
    LogJournal& operator=(const LogJournal&) = delete;

    void Start() { journal_.Start(); }
    // After the save at exit, once the event loop is over.
    void Finish();

    journal::Journal& journal() { return journal_; }
    TFrmShowData& window() { return logWindow; }

private:
    TFrmShowData& logWindow;
    journal::Journal journal_;
};

} // namespace lrf
