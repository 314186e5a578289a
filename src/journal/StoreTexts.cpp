#include "StoreTexts.h"

#include <cstring>

namespace lrf::journal {

namespace {

// The status bar has room for a short reason; the message holds all of it.
constexpr qsizetype kShortReason = 60;

// libpq's reason without what the status bar has no room for: the address
// it tried ("connection to server on socket ... failed: ") and the severity.
QString ShortReason(const std::string& reason) {
    QString text = QString::fromStdString(reason);
    const QString failed = QStringLiteral("failed: ");
    if (const qsizetype at = text.lastIndexOf(failed); at >= 0)
        text = text.mid(at + failed.size());
    for (const char* severity : {"FATAL:", "ERROR:"})
        if (text.startsWith(QLatin1String(severity)))
            text = text.mid(qsizetype(std::strlen(severity)));
    text = text.trimmed();
    if (text.size() > kShortReason)
        text = text.left(kShortReason - 1) + QStringLiteral("…");
    return text;
}

QString Waiting(std::int64_t waiting) {
    return QStringLiteral("%1 waiting").arg(waiting);
}

QString LinkText(const ForwardState& state) {
    switch (state.link) {
    case ForwardState::Link::Connecting:
        return state.waiting > 0 ? QStringLiteral("Store: connecting – ") + Waiting(state.waiting)
                                 : QStringLiteral("Store: connecting");
    case ForwardState::Link::Connected:
        return state.waiting > 0 ? QStringLiteral("Store: ") + Waiting(state.waiting)
                                 : QStringLiteral("Store: connected");
    case ForwardState::Link::Offline:
        break;
    }
    return QStringLiteral("Store: offline (%1) – %2")
        .arg(ShortReason(state.reason), Waiting(std::max<std::int64_t>(state.waiting, 0)));
}

} // namespace

QString StoreStateText(const ForwardState& state) {
    QString text = LinkText(state);
    if (state.refused > 0)
        text +=
            QStringLiteral(" – %1 refused (%2)").arg(state.refused).arg(ShortReason(state.refusal));
    return text;
}

QString StoreFailureText(const StoreTarget& target, const ForwardState& state) {
    return QStringLiteral("For more than a minute no record could be forwarded to the store %1 "
                          "(%2). %3 records wait in the journal and go over as soon as the store "
                          "takes them again; measuring goes on as before.")
        .arg(QString::fromStdString(target.Display()), QString::fromStdString(state.reason))
        .arg(std::max<std::int64_t>(state.waiting, 0));
}

QString StoreWithoutJournalText() {
    return QStringLiteral("Store: offline (no journal in this run)");
}

} // namespace lrf::journal
