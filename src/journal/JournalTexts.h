#pragma once

#include "JournalWriter.h"

#include <QString>
#include <QStringList>

namespace lrf::journal {

// What the operator is told at the start about the journal; empty texts are
// not shown. At most one text on availability and one on recovery.
QStringList StartTexts(const QString& journalPath, const StartReport& report);

// The journal was found damaged during the run and replaced by a new one.
QString ReplacedText(const QString& journalPath, const JournalStore::OpenResult& replaced);

// A write of the journal failed during the run.
QString WriteFailedText(const QString& journalPath, const std::string& reason);

} // namespace lrf::journal
