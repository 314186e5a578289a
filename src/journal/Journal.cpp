#include "Journal.h"

#include "JournalTexts.h"
#include "JournalTime.h"
#include "SqliteJournalStore.h"

#include <QDir>
#include <QStandardPaths>
#include <QUuid>

namespace lrf::journal {

QString JournalOptions::DefaultPath() {
    const QString overridden = qEnvironmentVariable("LRF_JOURNAL");
    if (!overridden.isEmpty())
        return overridden;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/journal.sqlite");
}

Journal::Journal(JournalOptions journalOptions, QObject* parent)
    : QObject(parent)
    , options(std::move(journalOptions)) {
    if (!options.path.isEmpty())
        options.path = QDir::cleanPath(QDir(options.path).absolutePath());
    token = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    WriterSettings settings;
    settings.path = options.path;
    settings.token = token;
    settings.keepDays = WriterSettings::KeepDaysFromEnvironment();
    settings.retentionEvery = options.retentionEvery;
    settings.info = {JournalNow(), options.workingDirectory.toStdString(),
                     options.programVersion.toStdString(), options.toStore};
    JournalWriter::Events events;
    // Both run on the writer thread: what they carry is handed to this thread.
    events.started = [this](const StartReport& report) {
        QMetaObject::invokeMethod(
            this, [this, report] { Started(report); }, Qt::QueuedConnection);
    };
    events.replaced = [this](const JournalStore::OpenResult& replaced) {
        QMetaObject::invokeMethod(
            this, [this, replaced] { emit notice(ReplacedText(options.path, replaced)); },
            Qt::QueuedConnection);
    };
    events.writeFailed = [this](const std::string& reason) {
        QMetaObject::invokeMethod(
            this, [this, reason] { emit notice(WriteFailedText(options.path, reason)); },
            Qt::QueuedConnection);
    };
    writer = std::make_unique<JournalWriter>(std::make_unique<SqliteJournalStore>(options.path),
                                             std::move(settings), std::move(events));
}

Journal::~Journal() {
    Finish();
}

void Journal::Start() {
    writer->Start();
}

void Journal::Finish() {
    writer->Finish();
    if (writer->WroteEverything())
        tail.Remove();
}

std::future<void> Journal::Flush() {
    return writer->Flush();
}

void Journal::Started(const StartReport& report) {
    available_ = report.available;
    if (available_ && !options.path.isEmpty()) {
        tail.Open(LineTail::PathFor(options.path, token));
        for (const JournalOp& op : beforeReady)
            tail.Append(op);
    }
    beforeReady.clear();
    beforeReady.shrink_to_fit();
    started = true;
    for (const QString& text : StartTexts(options.path, report))
        emit notice(text);
    ready_ = true;
    emit ready();
}

void Journal::LineWritten(std::int32_t row, std::span<const std::string> cells, bool replacesLast) {
    JournalLine line;
    line.gridRow = row;
    std::copy_n(cells.begin(), std::min(cells.size(), line.cells.size()), line.cells.begin());
    // A replace concerns the mirror's last line only while that line is in it.
    if (replacesLast && last >= mirrorFirst) {
        line.seq = last;
        gridLines[row] = last;
        Hand(ReplaceLine{std::move(line)});
    } else {
        line.seq = ++last;
        gridLines[row] = last;
        Hand(AppendLine{std::move(line)});
    }
}

void Journal::Hand(JournalOp op) {
    LineTail::Spot spot;
    if (started) {
        // The tail holds every line that no file holds yet, which a journal
        // replaced during the run takes back: it starts afresh only after a save.
        if (tailSaved)
            TrimTail();
        tailSaved = false;
        spot = tail.Append(op);
    } else {
        beforeReady.push_back(op);
    }
    Push(std::move(op), spot);
}

// A file holds every line of the tail: once the writer has everything handed
// over (none of it waits in the tail only), the tail starts afresh.
void Journal::TrimTail() {
    if (started && writer->SettledOps() == pushed)
        tail.Truncate();
}

void Journal::Push(JournalOp op, LineTail::Spot spot) {
    if (writer->Push(std::move(op), spot))
        ++pushed;
}

void Journal::KeepUnit(JournalOp op) {
    Push(std::move(op));
}

void Journal::GridCleared() {
    gridLines.clear();
}

void Journal::MirrorSaved(const std::filesystem::path& file) {
    TrimTail();
    if (last >= mirrorFirst)
        Mark({{mirrorFirst, last}}, file);
    mirrorFirst = last + 1;
    tailSaved = true;
}

void Journal::MirrorDelivered(const std::filesystem::path& stream) {
    TrimTail();
    if (last >= mirrorFirst)
        Mark({{mirrorFirst, last}}, stream, true);
    mirrorFirst = last + 1;
    tailSaved = true;
}

void Journal::GridSaved(const std::filesystem::path& file) {
    std::vector<std::int64_t> seqs;
    seqs.reserve(gridLines.size());
    for (const auto& [row, seq] : gridLines)
        seqs.push_back(seq);
    if (!seqs.empty())
        Mark(ToRanges(std::move(seqs)), file);
}

void Journal::Mark(std::vector<SeqRange> ranges, const std::filesystem::path& file,
                   bool delivered) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    Push(MarkTaken{kThisRun, std::move(ranges), (ec ? file : absolute).string(), delivered});
}

} // namespace lrf::journal
