#pragma once

#include "JournalTestSupport.h"
#include "LogStatusBar.h"
#include "LogStore.h"
#include "PgServer.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <map>

// A station as the program has it, with a record store: the log window and its
// recorder, the journal and the forwarder, quick to retry.
struct Station {
    Station(const std::filesystem::path& folder, const lrf::journal::StoreTarget& target,
            const std::string& name,
            std::chrono::milliseconds longFailure = std::chrono::minutes(1))
        : log(folder)
        , journal(log.window, nullptr, QStringLiteral("test"),
                  QString::fromStdString((folder / "journal.sqlite").string()), true)
        , store(journal, nullptr, Settings(target, name, longFailure)) {}

    static lrf::journal::ForwarderSettings Settings(const lrf::journal::StoreTarget& target,
                                                    const std::string& name,
                                                    std::chrono::milliseconds longFailure) {
        lrf::journal::ForwarderSettings settings;
        settings.target = target;
        settings.station = {"test-host", name, "test"};
        settings.pollEvery = std::chrono::milliseconds(50);
        settings.firstRetry = std::chrono::milliseconds(100);
        settings.maxRetry = std::chrono::milliseconds(500);
        settings.countEvery = std::chrono::milliseconds(100);
        settings.longFailure = longFailure;
        settings.limits.lockTimeout = std::chrono::milliseconds(1000);
        return settings;
    }

    void Start() { StartAndWait(journal); }
    // The journal holds every line handed to it so far.
    void Flush() {
        auto done = journal.journal().Flush();
        WaitUntil(
            [&] { return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    }
    void Finish() {
        journal.Finish();
        store.Finish();
    }
    QString StoreText() const { return log.window.StatusBar().StoreLabel()->text(); }

    LogUnderTest log;
    lrf::LogJournal journal;
    lrf::LogStore store;
};

// The lines of a journal as its file holds them: (run, line) to the ten cells.
inline std::map<std::pair<qlonglong, qlonglong>, QStringList>
JournalLines(const std::filesystem::path& journal) {
    std::map<std::pair<qlonglong, qlonglong>, QStringList> lines;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "journal-reader");
        db.setDatabaseName(QString::fromStdString(journal.string()));
        db.open();
        QSqlQuery q(db);
        q.exec("SELECT run_id, seq, sn, linear, unit, speed, speed_unit, place, destination, "
               "date_time, model, lrf_code FROM lines");
        while (q.next()) {
            QStringList cells;
            for (int i = 2; i < 12; ++i)
                cells << q.value(i).toString();
            lines[{q.value(0).toLongLong(), q.value(1).toLongLong()}] = cells;
        }
    }
    QSqlDatabase::removeDatabase("journal-reader");
    return lines;
}

// A query of the test's own on the server.
inline qlonglong Scalar(const QString& connection, const QString& sql) {
    QSqlQuery q(QSqlDatabase::database(connection));
    if (!q.exec(sql) || !q.next())
        return -1; // the tables are not there yet
    return q.value(0).toLongLong();
}

// The server's records of one station: (run, line) to the ten cell texts.
inline std::map<std::pair<qlonglong, qlonglong>, QStringList>
StoredLines(const QString& connection, const std::string& station) {
    std::map<std::pair<qlonglong, qlonglong>, QStringList> lines;
    QSqlQuery q(QSqlDatabase::database(connection));
    q.prepare("SELECT r.run, r.line, cell_sn, cell_linear, cell_unit, cell_speed, "
              "cell_speed_unit, cell_place, cell_destination, cell_date_time, cell_model, "
              "cell_lrf_code FROM records r JOIN stations s ON s.id = r.station_id "
              "WHERE s.station_name = ?");
    q.addBindValue(QString::fromStdString(station));
    q.exec();
    while (q.next()) {
        QStringList cells;
        for (int i = 2; i < 12; ++i)
            cells << q.value(i).toString();
        lines[{q.value(0).toLongLong(), q.value(1).toLongLong()}] = cells;
    }
    return lines;
}

// Waits, looking every 50 ms, for as long as a loaded machine may need.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 120000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QElapsedTimer step;
        step.start();
        while (step.elapsed() < 50)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

#define SKIP_WITHOUT_POSTGRESQL()                                                                  \
    if (!PgServer::BinDir())                                                                       \
    GTEST_SKIP() << "PostgreSQL's server programs (initdb, pg_ctl) are not installed: install "    \
                    "the Debian package postgresql"
