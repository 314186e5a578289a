#pragma once

#include "JournalOutbox.h"
#include "StoreTarget.h"
#include "UnitRows.h"

#include <QString>

#include <chrono>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace lrf::journal {

// The station that forwards: its journal's id keys it in the store.
struct StationInfo {
    std::string hostName;
    std::string stationName; // the operator's name for it; the host name by default
    std::string programVersion;
};

struct StoreLimits {
    std::chrono::seconds connectTimeout{10};
    // A statement that takes longer, or waits longer for a lock, fails and is
    // tried again later, so that the worker never hangs on the server.
    std::chrono::milliseconds statementTimeout{30000};
    std::chrono::milliseconds lockTimeout{10000};
};

// The store refused or did not answer; what() is the reason in one line.
// refusesContent: the server refused what a line holds (a character its
// encoding lacks, a broken constraint), not the connection or the disk.
class StoreError : public std::runtime_error {
public:
    explicit StoreError(const std::string& reason, bool refusesContent = false)
        : std::runtime_error(reason)
        , refusesContent(refusesContent) {}
    bool refusesContent;
};

// The record store on a PostgreSQL server, through Qt SQL's PostgreSQL
// driver. Connect creates or upgrades the schema (under an advisory lock, so
// that stations starting together do it once) and registers the station;
// Push writes lines and their runs in one transaction, idempotently: a line
// is keyed by station, run and line number, and a line sent again replaces
// what the store had of it. Used from one thread only.
class PgRecordStore {
public:
    static constexpr int kSchemaVersion = 1;

    PgRecordStore(StoreTarget target, StoreLimits limits = {});
    ~PgRecordStore();
    PgRecordStore(const PgRecordStore&) = delete;
    PgRecordStore& operator=(const PgRecordStore&) = delete;

    // Throws StoreError.
    void Connect(const std::string& journalId, const StationInfo& station);
    void Disconnect();
    bool IsConnected() const { return connection != nullptr; }

    // Throws StoreError; nothing of a failed push is kept.
    void Push(const std::vector<OutgoingLine>& lines, const std::map<RunId, OutgoingRun>& runs);
    // Units with their verdict into unit_results, in one transaction; a unit
    // sent again replaces what the store had of it. Throws StoreError.
    void PushUnits(const std::vector<JournalUnit>& units, const std::map<RunId, OutgoingRun>& runs);

private:
    struct Connection;
    void Migrate();

    StoreTarget target;
    StoreLimits limits;
    QString connectionName;
    std::unique_ptr<Connection> connection;
    qlonglong stationId = 0;
};

} // namespace lrf::journal
