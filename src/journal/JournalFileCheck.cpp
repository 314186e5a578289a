#include "JournalFileCheck.h"

#include <QFile>
#include <QFileInfo>

#include <cstdint>

namespace lrf::journal {

namespace {

constexpr char kSqliteMagic[] = "SQLite format 3"; // and its NUL: 16 bytes
constexpr qint64 kApplicationIdAt = 68;
constexpr qint64 kWalHeader = 32;
constexpr qint64 kFrameHeader = 24;

std::uint32_t BigEndian32(const QByteArray& bytes, qint64 at) {
    if (bytes.size() < at + 4)
        return 0;
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData() + at);
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 |
           std::uint32_t{b[3]};
}

bool HasSqliteHeader(const QByteArray& bytes) {
    return bytes.size() >= 100 && bytes.startsWith(QByteArray(kSqliteMagic, 16));
}

// The application id of the last copy of the first page in the write-ahead log
// beside path; 0 when there is none. A new journal writes its id there first.
std::uint32_t ApplicationIdInLog(const QString& path) {
    QFile wal(path + QStringLiteral("-wal"));
    if (!wal.open(QIODevice::ReadOnly) || wal.size() <= kWalHeader)
        return 0;
    const QByteArray header = wal.read(kWalHeader);
    const qint64 pageSize = BigEndian32(header, 8);
    if (pageSize < 512 || pageSize > 65536)
        return 0;
    std::uint32_t found = 0;
    for (qint64 at = kWalHeader; at + kFrameHeader + pageSize <= wal.size();
         at += kFrameHeader + pageSize) {
        wal.seek(at);
        const QByteArray frame = wal.read(kFrameHeader + 100);
        if (frame.mid(8, 8) != header.mid(16, 8))
            break;
        if (BigEndian32(frame, 0) == 1)
            found = BigEndian32(frame, kFrameHeader + kApplicationIdAt);
    }
    return found;
}

} // namespace

JournalFileCheck CheckJournalFile(const QString& path, std::uint32_t applicationId,
                                  bool tailsBeside) {
    using Kind = JournalFileCheck::Kind;
    const QFileInfo info(path);
    if (!info.exists())
        return {Kind::New, {}};
    if (!info.isFile())
        return {Kind::Foreign, "it is no regular file"};
    const bool logBeside = QFileInfo(path + QStringLiteral("-wal")).size() > 0;
    if (info.size() == 0) {
        // An emptied journal: its log and tails still hold its records.
        if (logBeside || tailsBeside)
            return {Kind::Damaged, "it is empty"};
        return {Kind::New, {}};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {Kind::Foreign, file.errorString().toStdString()};
    const QByteArray header = file.read(100);
    const std::uint32_t logId = logBeside ? ApplicationIdInLog(path) : 0;
    if (!HasSqliteHeader(header)) {
        if (logId == applicationId || tailsBeside)
            return {Kind::Damaged, "its first page is damaged"};
        return {Kind::Foreign, "it is not a journal of this program, nor any SQLite database"};
    }
    const std::uint32_t id = BigEndian32(header, kApplicationIdAt);
    if (id == applicationId || (id == 0 && logId == applicationId))
        return {Kind::Ours, {}};
    if (id != 0 || logId != 0)
        return {Kind::Foreign, "it is a database of another program"};
    // Without an id: a database nothing was written to yet is taken as new;
    // one with pages of its own belongs to another program.
    constexpr qint64 kPageCountAt = 28;
    if (BigEndian32(header, kPageCountAt) <= 1 && !logBeside)
        return {Kind::New, {}};
    return {Kind::Foreign, "it is a database of another program"};
}

} // namespace lrf::journal
