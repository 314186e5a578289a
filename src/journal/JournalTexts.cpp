#include "JournalTexts.h"

#include <QDir>

namespace lrf::journal {

namespace {

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString RecoveryText(const QString& journalPath, const StartReport& report) {
    std::size_t records = 0;
    QStringList files;
    for (const StartReport::Recovered& r : report.recovered) {
        records += r.records;
        files << Native(QString::fromStdString(r.file.string()));
    }
    QString text;
    if (files.size() == 1)
        text = QStringLiteral("%1 records that an earlier run of the program had not saved were "
                              "recovered from the journal into the file %2.")
                   .arg(records)
                   .arg(files.front());
    else if (files.size() > 1)
        text = QStringLiteral("%1 records that earlier runs of the program had not saved were "
                              "recovered from the journal into the files:\n%2")
                   .arg(records)
                   .arg(files.join('\n'));
    for (const CutUnit& unit : report.cutUnits) {
        if (!text.isEmpty())
            text += "\n\n";
        text += QStringLiteral("The unit %1 was being checked when an earlier run of the program "
                               "ended; its verdict is kept in the journal: %2")
                    .arg(QString::fromStdString(unit.instrumentCode.empty()
                                                    ? std::string("without a code")
                                                    : unit.instrumentCode),
                         QString::fromStdString(unit.verdictLine));
    }
    if (!report.recoveryFailures.empty()) {
        QStringList reasons;
        for (const std::string& reason : report.recoveryFailures)
            reasons << QString::fromStdString(reason);
        if (!text.isEmpty())
            text += "\n\n";
        text += QStringLiteral("Records of an earlier run could not be recovered (%1). They stay "
                               "in the journal %2 and are tried again at the next start.")
                    .arg(reasons.join("; "), Native(journalPath));
    }
    return text;
}

} // namespace

QStringList StartTexts(const QString& journalPath, const StartReport& report) {
    QStringList texts;
    const QString path = Native(journalPath);
    if (!report.movedAsideTo.empty()) {
        QString text = QStringLiteral("The journal %1 could not be read: %2. It was moved aside "
                                      "as %3 and a new journal was started.")
                           .arg(path, QString::fromStdString(report.movedAsideReason),
                                Native(QString::fromStdString(report.movedAsideTo)));
        if (report.salvagedRecords > 0)
            text += QStringLiteral(" %1 records that no file held were salvaged from it.")
                        .arg(report.salvagedRecords);
        if (report.salvageIncomplete)
            text += QStringLiteral(" Parts of it could not be read: records they held may be "
                                   "missing; the file is kept as it was.");
        texts << text;
    }
    if (report.newer)
        texts << QStringLiteral("Measurements are not protected against a crash in this run: "
                                "the journal %1 was written by a newer version of this program "
                                "(%2) and is left as it is.")
                     .arg(path, QString::fromStdString(report.unavailableReason));
    else if (!report.available)
        texts << QStringLiteral("Measurements are not protected against a crash in this run: "
                                "the journal %1 cannot be used (%2).")
                     .arg(path, QString::fromStdString(report.unavailableReason));
    // What a moved-aside journal held is told together with where it went.
    const QString recovery = RecoveryText(journalPath, report);
    if (!recovery.isEmpty() && !report.movedAsideTo.empty() && report.available)
        texts.front() += "\n\n" + recovery;
    else if (!recovery.isEmpty())
        texts << recovery;
    return texts;
}

QString ReplacedText(const QString& journalPath, const JournalStore::OpenResult& replaced) {
    QString text = QStringLiteral("The journal %1 was found damaged during the run: %2. It was "
                                  "moved aside as %3 and the run goes on in a new journal, with "
                                  "the records of this run that no file holds yet.")
                       .arg(Native(journalPath), QString::fromStdString(replaced.movedAsideReason),
                            Native(QString::fromStdString(replaced.movedAsideTo)));
    if (replaced.salvagedRecords > 0)
        text += QStringLiteral(" %1 records that no file held were salvaged from it.")
                    .arg(replaced.salvagedRecords);
    if (replaced.salvageIncomplete)
        text += QStringLiteral(" Parts of it could not be read: records of earlier runs that "
                               "they held may be missing; the file is kept as it was.");
    return text;
}

QString WriteFailedText(const QString& journalPath, const std::string& reason) {
    return QStringLiteral("The journal %1 cannot be written (%2). The records are kept and "
                          "written to it as soon as it takes them again; until then they are "
                          "not protected against a crash.")
        .arg(Native(journalPath), QString::fromStdString(reason));
}

} // namespace lrf::journal
