#include "MeasureStore.h"

#include "LrfVersion.h"
#include "StoreTexts.h"

#include <QSysInfo>

namespace lrf::measure {

MeasureStore::MeasureStore(journal::Journal& journal, journal::StoreTarget target,
                           std::string station, Report report)
    : journal_(journal)
    , target_(target)
    , report_(std::move(report)) {
    journal::ForwarderSettings settings;
    settings.journalPath = journal.Path();
    settings.target = std::move(target);
    const std::string host = QSysInfo::machineHostName().toStdString();
    settings.station = {host, station.empty() ? host : std::move(station), LRF_VERSION};
    forwarder_ = std::make_unique<journal::StoreForwarder>(
        std::move(settings), [this](const journal::ForwardState& state) { Changed(state); });
    connect(&journal, &journal::Journal::ready, this, &MeasureStore::JournalReady);
    if (journal.IsReady())
        JournalReady();
}

MeasureStore::~MeasureStore() {
    forwarder_->Finish(std::chrono::milliseconds{0});
}

void MeasureStore::JournalReady() {
    if (started_)
        return;
    started_ = true;
    if (journal_.IsAvailable())
        forwarder_->Start();
    else
        report_("no record can be forwarded to the store " + target_.Display() +
                ": there is no journal in this run.");
}

// On the worker's thread: the first long failure is told at once, as the
// window program tells it; the rest waits for the end.
void MeasureStore::Changed(const journal::ForwardState& state) {
    std::string text;
    {
        const std::lock_guard lock(mutex_);
        state_ = state;
        if (state.link == journal::ForwardState::Link::Connected)
            told_ = false;
        if (state.failingLong && !told_) {
            told_ = true;
            text = journal::StoreFailureText(target_, state).toStdString();
        }
    }
    if (!text.empty())
        report_(text);
}

void MeasureStore::Finish() {
    if (!started_ || !journal_.IsAvailable())
        return;
    forwarder_->Finish();
    journal::ForwardState last;
    {
        const std::lock_guard lock(mutex_);
        last = state_;
    }
    const bool offline = last.link == journal::ForwardState::Link::Offline;
    if (!offline && last.waiting <= 0)
        return;
    const std::string count =
        last.waiting > 0 ? std::to_string(last.waiting) + " records" : "The records";
    report_(count + " wait in the journal for the store " + target_.Display() +
            (offline ? " (" + last.reason + ")" : std::string()) +
            "; the next run with this store forwards them.");
}

} // namespace lrf::measure
