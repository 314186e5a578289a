#pragma once

#include "JournalWriter.h"
#include "LineTail.h"
#include "LogObserver.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <future>
#include <memory>
#include <unordered_map>

namespace lrf::journal {

struct JournalOptions {
    QString path;             // the journal file
    QString workingDirectory; // absolute: where this run's automatic saves go
    QString programVersion;
    bool toStore = false; // this run's lines are forwarded to a record store
    // Retention's passes while the program runs (the first comes at the start).
    std::chrono::milliseconds retentionEvery{std::chrono::hours(24)};

    // LRF_JOURNAL when set, otherwise journal.sqlite in the user's data folder
    // of the application (QStandardPaths::AppDataLocation); empty when the
    // system knows no such folder (then there is no journal).
    static QString DefaultPath();
};

// The crash journal of the log: a copy of every line of the log window's
// mirror, kept in a database by a writer thread, and which file took each
// line. Lines that no file took when a run ended, in order or not, are written
// at the next start as a file of their own, exactly like an automatic save.
//
// Attach it to the log window as its observer. Its calls only queue work for
// the writer and append the line to the run's line tail, which holds every
// line since a file last took them all; they never wait for
// the disk. What the operator should be told comes as
// notice(), on the thread that made the journal.
class Journal : public QObject, public LogObserver {
    Q_OBJECT
public:
    explicit Journal(JournalOptions options, QObject* parent = nullptr);
    ~Journal() override;

    // Opens the journal and recovers earlier runs on the writer thread; ready()
    // follows, after the notices of the start.
    void Start();
    // Writes what is left and ends the run in order. Waits for the writer:
    // call it once the event loop is over, after the save at exit.
    void Finish();

    bool IsReady() const { return ready_; }
    bool IsAvailable() const { return available_; }
    const QString& Path() const { return options.path; }
    // Ready once everything handed over so far is in the journal (for tests
    // and measurements; the program never waits for it).
    std::future<void> Flush();

    void LineWritten(std::int32_t row, std::span<const std::string> cells,
                     bool replacesLast) override;
    void GridCleared() override;
    void MirrorSaved(const std::filesystem::path& file) override;
    void MirrorDelivered(const std::filesystem::path& stream) override;
    void GridSaved(const std::filesystem::path& file) override;

    // A unit checked against a test plan (a UnitRow or a UnitShot), kept
    // beside the records; see UnitJournal.
    void KeepUnit(JournalOp op);

signals:
    void notice(const QString& text);
    void ready();

private:
    void Started(const StartReport& report);
    void Mark(std::vector<SeqRange> ranges, const std::filesystem::path& file,
              bool delivered = false);
    void Hand(JournalOp op);
    void Push(JournalOp op, LineTail::Spot spot = {});
    void TrimTail();

    JournalOptions options;
    std::string token; // of this run
    std::unique_ptr<JournalWriter> writer;
    // Every line handed over also goes to the tail, once the run's lock is held;
    // until then the lines are kept here for it.
    LineTail tail;
    std::vector<JournalOp> beforeReady;
    // Set before the notices of the start go out, whose handlers may run an event
    // loop and so hand over lines before ready_ is set.
    bool started = false;
    bool tailSaved = false; // a file took every line of the tail

    std::uint64_t pushed = 0; // operations the writer took
    bool ready_ = false;
    bool available_ = false;
    bool failureShown = false;

    // The lines as the log window holds them: numbers of the mirror's lines
    // (mirrorFirst to last) and of the grid's rows since the last clear.
    std::int64_t last = 0;
    std::int64_t mirrorFirst = 1;
    std::unordered_map<std::int32_t, std::int64_t> gridLines;
};

} // namespace lrf::journal
