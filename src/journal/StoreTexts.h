#pragma once

#include "StoreForwarder.h"

#include <QString>

namespace lrf::journal {

// The store state in the log window's status bar: "Store: connected",
// "Store: 12 waiting", "Store: offline (reason) – 12 waiting".
QString StoreStateText(const ForwardState& state);

// The one message when forwarding has failed for more than a minute.
QString StoreFailureText(const StoreTarget& target, const ForwardState& state);

// The state when there is no journal to forward from in this run.
QString StoreWithoutJournalText();

} // namespace lrf::journal
