// The forwarding of the journal's lines to a record store on a real
// PostgreSQL server that each test starts and stops itself.

#include "StoreTestSupport.h"
#include "StoreTexts.h"

#include <QDateTime>
#include <QSqlError>

#include <cmath>

namespace fs = std::filesystem;
using lrf::journal::ForwardState;

namespace {

// Lines that PlayStep(0 .. steps-1) leaves: nine of every ten steps, as the
// speed half of a rotation pair completes the line of its distance half.
int LinesOf(int steps) {
    return steps - (steps + 4) / 10;
}

std::string Failure(const PgServer& server) {
    return TempDir::ReadBytes(server.Folder() / "server.log");
}

} // namespace

// Every line arrives once, in full: the typed values as the script recorded
// them, the cell texts exactly as the journal (and the CSV files) hold them.
TEST(StoreForwarder, ForwardsFiveThousandRecordsFieldByField) {
    SKIP_WITHOUT_POSTGRESQL();
    TempDir folder;
    PgServer server;
    server.Start();
    const QString db = server.Connect();
    NoticeDialogs dialogs;
    Station station(folder.path(), server.Target(), "bench-1");
    station.Start();
    constexpr int kSteps = 5555;
    ASSERT_EQ(LinesOf(kSteps), 5000);
    station.log.Play(0, kSteps);
    station.Flush();

    ASSERT_TRUE(WaitFor([&] {
        return Scalar(db, "SELECT count(*) FROM records") == 5000 &&
               station.store.State().waiting == 0;
    })) << Failure(server);
    EXPECT_EQ(station.StoreText(), "Store: connected");
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(JournalLines(folder / "journal.sqlite"), StoredLines(db, "bench-1"));

    QSqlQuery q(QSqlDatabase::database(db));
    ASSERT_TRUE(q.exec("SELECT line, sn, distance, distance_unit, speed, speed_unit, "
                       "round(extract(epoch FROM measured_at) * 1000), place, destination, model, "
                       "lrf_code, rotation_half FROM records ORDER BY line"))
        << q.lastError().text().toStdString();
    int line = 0;
    for (int step = 0; step < kSteps; ++step) {
        const int phase = step % 10;
        if (phase == 5)
            continue; // its line is that of the step before
        ASSERT_TRUE(q.next());
        SCOPED_TRACE("step " + std::to_string(step));
        ++line;
        const bool pair = phase == 4 && step + 1 < kSteps;
        EXPECT_EQ(q.value(0).toInt(), line);
        EXPECT_EQ(q.value(1).toInt(), (line - 1) % 2000 + 1); // the grid restarts at 2000
        EXPECT_DOUBLE_EQ(q.value(2).toDouble(), std::round((10.0 + step % 2000 * 0.1) * 10) / 10);
        EXPECT_EQ(q.value(3).toString(), "M");
        if (pair)
            EXPECT_DOUBLE_EQ(q.value(4).toDouble(),
                             std::round((40.0 + (step + 1) % 200 * 0.1) * 10) / 10);
        else
            EXPECT_TRUE(q.value(4).isNull());
        EXPECT_EQ(q.value(5).toString(), "KPH");
        const QDateTime at(QDate(2024, 3, 5), QTime(14, step / 60 % 60, step % 60, step % 1000),
                           Qt::LocalTime);
        EXPECT_EQ(q.value(6).toLongLong(), at.toMSecsSinceEpoch());
        EXPECT_EQ(q.value(7).toString(), QString::fromUtf8("Quay Süd"));
        EXPECT_EQ(q.value(8).toString(), "Mast");
        EXPECT_EQ(q.value(9).toString(), "X1");
        EXPECT_EQ(q.value(10).toString(), "C7");
        EXPECT_EQ(q.value(11).toInt(), pair ? 2 : 1);
    }
    EXPECT_FALSE(q.next());
}

// The server away at the start, gone in the middle of a run, and gone when the
// program ends: measuring goes on, the lines wait in the journal, and each
// arrives exactly once when the server is back, also those of the earlier run.
TEST(StoreForwarder, LinesWaitWhileTheServerIsAwayAndArriveOnce) {
    SKIP_WITHOUT_POSTGRESQL();
    TempDir folder;
    PgServer server; // not started yet
    NoticeDialogs dialogs;
    int lines = 0;
    {
        Station station(folder.path(), server.Target(), "field-2");
        station.Start();
        station.log.Play(0, 300);
        lines = LinesOf(300);
        ASSERT_TRUE(WaitFor([&] {
            return station.store.State().link == ForwardState::Link::Offline &&
                   station.store.State().waiting == lines;
        }));
        EXPECT_TRUE(station.StoreText().startsWith("Store: offline ("))
            << station.StoreText().toStdString();
        EXPECT_TRUE(station.StoreText().endsWith(QStringLiteral(" – %1 waiting").arg(lines)));

        server.Start();
        const QString db = server.Connect();
        ASSERT_TRUE(WaitFor([&] { return Scalar(db, "SELECT count(*) FROM records") == lines; }))
            << Failure(server);

        server.Stop(); // in the middle of the run
        station.log.Play(300, 1300);
        station.Flush();
        ASSERT_TRUE(WaitFor([&] {
            return station.store.State().link == ForwardState::Link::Offline &&
                   station.store.State().waiting > 0;
        }));
        server.Start();
        ASSERT_TRUE(WaitFor([&] {
            return station.store.State().link == ForwardState::Link::Connected &&
                   station.store.State().waiting == 0;
        })) << Failure(server);

        server.Stop(); // and gone at the end: the last lines stay in the journal
        station.log.Play(1300, 1800);
        lines = LinesOf(1800);
        station.Flush();
        ASSERT_TRUE(
            WaitFor([&] { return station.store.State().link == ForwardState::Link::Offline; }));
        station.Finish();
    }
    server.Start();
    const QString db = server.Connect();
    ASSERT_LT(Scalar(db, "SELECT count(*) FROM records"), lines);

    Station next(folder.path(), server.Target(), "field-2");
    next.Start();
    next.log.Play(0, 10);
    const auto all = [&] { return JournalLines(folder / "journal.sqlite"); };
    ASSERT_TRUE(WaitFor([&] {
        return Scalar(db, "SELECT count(*) FROM records") == lines + LinesOf(10);
    })) << Failure(server);
    EXPECT_EQ(all(), StoredLines(db, "field-2"));
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM records WHERE run = 1"), lines);
    EXPECT_EQ(Scalar(db, "SELECT max(line) FROM records WHERE run = 1"), lines);
    // Never a minute without the server; the one message is the journal's
    // recovery of the first run's unsaved records into a file.
    EXPECT_FALSE(dialogs.messages.join('\n').contains("store"))
        << dialogs.messages.join('\n').toStdString();
}

// A login the server refuses: the operator is told once that forwarding
// fails, however often it is tried; nothing is lost, and with the right
// password everything goes over.
TEST(StoreForwarder, RefusedLoginIsToldOnceAndLosesNothing) {
    SKIP_WITHOUT_POSTGRESQL();
    TempDir folder;
    PgServer server(true);
    server.Start();
    const fs::path pgpass = folder / "pgpass";
    TempDir::WriteBytes(pgpass, "*:*:*:lrf:wrong-one\n");
    fs::permissions(pgpass, fs::perms::owner_read | fs::perms::owner_write);
    qputenv("PGPASSFILE", pgpass.c_str());
    NoticeDialogs dialogs;
    Station station(folder.path(), server.Target(), "login-3", std::chrono::milliseconds(1500));
    station.Start();
    station.log.Play(0, 500);
    station.Flush();

    ASSERT_TRUE(WaitFor([&] { return station.store.State().failingLong; }));
    EXPECT_NE(station.store.State().reason.find("password authentication failed"),
              std::string::npos)
        << station.store.State().reason;
    // A few more attempts fail; still one message.
    QElapsedTimer more;
    more.start();
    WaitFor([&] { return more.elapsed() > 2000; });
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(station.store.FailureMessages(), 1);
    EXPECT_TRUE(dialogs.messages.value(0).contains("password authentication failed"));
    EXPECT_TRUE(
        dialogs.messages.value(0).contains(QStringLiteral("%1 records wait").arg(LinesOf(500))));

    TempDir::WriteBytes(pgpass, std::string("*:*:*:lrf:") + PgServer::kPassword + "\n");
    const QString db = server.Connect();
    ASSERT_TRUE(WaitFor([&] {
        return Scalar(db, "SELECT count(*) FROM records") == LinesOf(500) &&
               station.store.State().link == ForwardState::Link::Connected;
    })) << Failure(server);
    EXPECT_EQ(JournalLines(folder / "journal.sqlite"), StoredLines(db, "login-3"));
    EXPECT_EQ(dialogs.messages.size(), 1);

    // Once the store has taken lines, a new long failure is told again, once.
    server.Stop();
    station.log.Play(500, 520);
    ASSERT_TRUE(WaitFor([&] { return dialogs.messages.size() == 2; }));
    EXPECT_TRUE(dialogs.messages[1].contains(
        QStringLiteral("%1 records wait").arg(LinesOf(520) - LinesOf(500))))
        << dialogs.messages[1].toStdString();
    qunsetenv("PGPASSFILE");
}

// A server that answers slowly (another session holds a lock on the records):
// measuring goes on at its pace, the lines wait, and they go over once the
// lock is let go.
TEST(StoreForwarder, SlowServerHoldsUpForwardingOnly) {
    SKIP_WITHOUT_POSTGRESQL();
    TempDir folder;
    PgServer server;
    server.Start();
    const QString db = server.Connect();
    const QString locker = server.Connect();
    NoticeDialogs dialogs;
    Station station(folder.path(), server.Target(), "slow-4");
    station.Start();
    station.log.Play(0, 10);
    ASSERT_TRUE(WaitFor([&] { return Scalar(db, "SELECT count(*) FROM records") == LinesOf(10); }))
        << Failure(server);

    QSqlQuery lock(QSqlDatabase::database(locker));
    ASSERT_TRUE(lock.exec("BEGIN"));
    ASSERT_TRUE(lock.exec("LOCK TABLE records IN EXCLUSIVE MODE"));
    station.log.Play(10, 2010);
    station.Flush(); // every line is in the journal, none more on the server
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM records"), LinesOf(10));
    EXPECT_EQ(station.log.window.RowCount() - 1, LinesOf(2010)); // the grid went on
    ASSERT_TRUE(lock.exec("COMMIT"));

    ASSERT_TRUE(WaitFor([&] {
        return Scalar(db, "SELECT count(*) FROM records") == LinesOf(2010) &&
               station.store.State().waiting == 0;
    })) << Failure(server);
    EXPECT_EQ(JournalLines(folder / "journal.sqlite"), StoredLines(db, "slow-4"));
}

// Two stations forwarding at once into one new database: the schema is made
// once, each station's lines are its own.
TEST(StoreForwarder, TwoStationsForwardIntoOneDatabase) {
    SKIP_WITHOUT_POSTGRESQL();
    TempDir folderA, folderB;
    PgServer server;
    server.Start();
    const QString db = server.Connect();
    NoticeDialogs dialogs;
    Station a(folderA.path(), server.Target(), "north");
    Station b(folderB.path(), server.Target(), "south");
    a.journal.Start();
    b.journal.Start();
    WaitUntil([&] { return a.journal.journal().IsReady() && b.journal.journal().IsReady(); });
    for (int step = 0; step < 1500; step += 50) {
        a.log.Play(step, step + 50);
        b.log.Play(step, step + 50);
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(WaitFor([&] {
        return Scalar(db, "SELECT count(*) FROM records") == 2 * LinesOf(1500);
    })) << Failure(server);
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM stations"), 2);
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM schema_version"), 1);
    EXPECT_EQ(JournalLines(folderA / "journal.sqlite"), StoredLines(db, "north"));
    EXPECT_EQ(JournalLines(folderB / "journal.sqlite"), StoredLines(db, "south"));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// A database in LATIN1 cannot hold a "€": the line that has one is refused
// with the server's reason, kept so in the journal and told in the status bar,
// and every other line, also those recorded after it, reaches the store.
TEST(StoreForwarder, ALineTheServerRefusesIsSetAsideAndTheOthersFlowOn) {
    SKIP_WITHOUT_POSTGRESQL();
    TempDir folder;
    PgServer server;
    server.Start();
    {
        QSqlQuery create(QSqlDatabase::database(server.Connect()));
        ASSERT_TRUE(create.exec("CREATE DATABASE latin ENCODING 'LATIN1' LC_COLLATE 'C' "
                                "LC_CTYPE 'C' TEMPLATE template0"))
            << create.lastError().text().toStdString();
    }
    lrf::journal::StoreTarget target = server.Target();
    target.database = "latin";
    QSqlDatabase latin = QSqlDatabase::cloneDatabase(server.Connect(), "latin-reader");
    latin.setDatabaseName("latin");
    ASSERT_TRUE(latin.open());

    NoticeDialogs dialogs;
    Station station(folder.path(), target, "latin-1");
    station.Start();
    const auto record = [&](int n, const char* destination) {
        lrf::MeasurementInputs in;
        in.LinearDistance = 10.0 + n;
        station.log.recorder.Record(in, {"X1", "C7", "Quay", destination},
                                    {2024, 3, 5, 14, 0, n % 60, n}, {});
    };
    for (int n = 0; n < 20; ++n)
        record(n, n == 7 ? "Mast \xE2\x82\xAC" : "Mast");
    station.Flush();
    ASSERT_TRUE(WaitFor([&] {
        return Scalar("latin-reader", "SELECT count(*) FROM records") == 19 &&
               station.store.State().refused == 1 && station.store.State().waiting == 0;
    })) << Failure(server)
        << station.StoreText().toStdString();
    EXPECT_EQ(Scalar("latin-reader", "SELECT count(*) FROM records WHERE line = 8"), 0);
    EXPECT_TRUE(station.StoreText().startsWith("Store: connected – 1 refused ("))
        << station.StoreText().toStdString();
    EXPECT_TRUE(QString::fromStdString(station.store.State().refusal).contains("LATIN1"))
        << station.store.State().refusal;

    for (int n = 20; n < 25; ++n)
        record(n, "Mast");
    station.Flush();
    EXPECT_TRUE(WaitFor([&] {
        return Scalar("latin-reader", "SELECT count(*) FROM records") == 24;
    })) << station.StoreText().toStdString();
    station.Finish();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "refusals");
        db.setDatabaseName(QString::fromStdString((folder / "journal.sqlite").string()));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("SELECT r.seq, r.reason, l.forwarded FROM refused_lines r JOIN lines l "
                           "ON l.run_id = r.run_id AND l.seq = r.seq"));
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toInt(), 8);
        EXPECT_TRUE(q.value(1).toString().contains("LATIN1"));
        EXPECT_EQ(q.value(2).toInt(), -1);
        EXPECT_FALSE(q.next());
    }
    QSqlDatabase::removeDatabase("refusals");
    latin.close();
}
