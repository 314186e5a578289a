#include "JournalTime.h"

#include <QDateTime>

namespace lrf::journal {

std::string JournalNow() {
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs).toStdString();
}

QString JournalFileStamp() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
}

} // namespace lrf::journal
