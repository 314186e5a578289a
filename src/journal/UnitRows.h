#pragma once

// The units checked against a test plan, as the journal keeps them beside the
// records: one row per unit with its plan, limits, statistics and verdict,
// and each judged reply, so that a unit whose run a crash cut short is judged
// at the next start on the replies it had.

#include "JournalTypes.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QVariant>

#include <functional>
#include <span>
#include <string>
#include <vector>

namespace lrf::journal {

// Throws what a failed statement means for the caller; never returns.
using SqlFailure = void (*)(const QSqlError&);

// The journal's tables for units, added by the schema's version 3.
std::span<const char* const> UnitSchema();

// A unit's row as its run starts or ends; at its end with every reply.
// forwarded: NULL while it waits for the record store, 0 when its run does not
// forward. Within the caller's transaction.
void WriteUnit(const QSqlDatabase& db, RunId run, const UnitRow& row, const QVariant& forwarded,
               SqlFailure fail);
void WriteUnitShot(const QSqlDatabase& db, RunId run, const UnitShot& shot, SqlFailure fail);

// A unit as the journal holds it, with its verdict.
struct JournalUnit {
    RunId run = 0;
    std::int64_t unit = 0;
    verify::UnitRecord record; // its times as the journal wrote them are beside it
    std::string startedAt;
    std::string endedAt;
    bool cutShort = false;
};

// Units whose run ended before their verdict (a crash, a kill), of runs that
// are over (isAlive tells by a run's token): each is judged on the replies it
// had, gets FAIL with the reason that it was cut short, and waits for the
// record store like any other. Within the caller's transaction.
std::vector<JournalUnit> CloseCutUnits(const QSqlDatabase& db, RunId claimant,
                                       const std::function<bool(const std::string&)>& isAlive,
                                       SqlFailure fail);

// Up to limit units with their verdict that wait for the record store.
std::vector<JournalUnit> WaitingUnits(const QSqlDatabase& db, std::size_t limit, SqlFailure fail);
// The store has them (mark 1), or refused them for what they hold (-1).
void MarkUnitsForwarded(const QSqlDatabase& db, const std::vector<JournalUnit>& units, int mark,
                        SqlFailure fail);

// The reason a cut unit is given first.
std::string CutShortReason(int replies, int shots);

} // namespace lrf::journal
