#pragma once

#include "Journal.h"
#include "StoreForwarder.h"

#include <QObject>

#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace lrf::measure {

// The forwarding of the journal's lines to a record store in the program
// without windows: the worker starts once the journal is ready and, at the
// end, forwards what waits for a few seconds more. What the operator of a
// window would read in the status bar goes to `report` instead: a store that
// fails for more than a minute, and records still waiting when the run ends.
class MeasureStore : public QObject {
public:
    using Report = std::function<void(const std::string&)>;

    MeasureStore(journal::Journal& journal, journal::StoreTarget target, std::string station,
                 Report report);
    ~MeasureStore() override;
    MeasureStore(const MeasureStore&) = delete;
    MeasureStore& operator=(const MeasureStore&) = delete;

    // After the journal's Finish: forwards what it can, ends the worker and
    // says how many records still wait.
    void Finish();

private:
    void JournalReady();
    void Changed(const journal::ForwardState& state);

    journal::Journal& journal_;
    journal::StoreTarget target_;
    Report report_;
    std::unique_ptr<journal::StoreForwarder> forwarder_;
    bool started_ = false;
    std::mutex mutex_;
    journal::ForwardState state_; // guarded by mutex_
    bool told_ = false;           // guarded by mutex_
};

} // namespace lrf::measure
