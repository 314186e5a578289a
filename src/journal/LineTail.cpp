#include "LineTail.h"

#include <QDir>
#include <QFileInfo>

#include <charconv>
#include <optional>

namespace lrf::journal {

namespace {

const QString kPrefix = QStringLiteral(".run-");
const QString kSuffix = QStringLiteral(".lines");

void AppendEscaped(std::string& out, const std::string& cell) {
    for (char c : cell) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
}

bool Unescape(std::string_view field, std::string& cell) {
    cell.clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            cell += field[i];
            continue;
        }
        if (++i == field.size())
            return false;
        switch (field[i]) {
        case '\\':
            cell += '\\';
            break;
        case 't':
            cell += '\t';
            break;
        case 'r':
            cell += '\r';
            break;
        case 'n':
            cell += '\n';
            break;
        default:
            return false;
        }
    }
    return true;
}

template <typename Int> bool ParseInt(std::string_view text, Int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// One text line without its LF; nothing when it is not one of ours.
std::optional<JournalOp> ParseLine(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = text.find('\t', start);
        fields.push_back(text.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos)
            break;
        start = tab + 1;
    }
    JournalLine line;
    if (fields.size() != 3 + line.cells.size() || (fields[0] != "A" && fields[0] != "R") ||
        !ParseInt(fields[1], line.seq) || !ParseInt(fields[2], line.gridRow) || line.seq <= 0)
        return std::nullopt;
    for (std::size_t i = 0; i < line.cells.size(); ++i) {
        if (!Unescape(fields[3 + i], line.cells[i]))
            return std::nullopt;
    }
    if (fields[0] == "A")
        return AppendLine{std::move(line)};
    return ReplaceLine{std::move(line)};
}

} // namespace

QString LineTail::PathFor(const QString& journalPath, const std::string& token) {
    return journalPath + kPrefix + QString::fromStdString(token) + kSuffix;
}

std::vector<LineTail::Found> LineTail::FindBeside(const QString& journalPath) {
    const QFileInfo journal(journalPath);
    const QString prefix = journal.fileName() + kPrefix;
    std::vector<Found> found;
    const QDir folder = journal.absoluteDir();
    for (const QString& name : folder.entryList({prefix + '*' + kSuffix}, QDir::Files)) {
        const QString token = name.mid(prefix.size(), name.size() - prefix.size() - kSuffix.size());
        if (!token.isEmpty())
            found.push_back({token.toStdString(), folder.filePath(name)});
    }
    return found;
}

std::vector<JournalOp> LineTail::Read(const QString& path) {
    QFile file(path);
    std::vector<JournalOp> ops;
    if (!file.open(QIODevice::ReadOnly))
        return ops;
    const QByteArray bytes = file.readAll();
    const std::string_view all(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    std::size_t start = 0;
    for (std::size_t lf = all.find('\n'); lf != std::string_view::npos;
         start = lf + 1, lf = all.find('\n', start)) {
        if (std::optional<JournalOp> op = ParseLine(all.substr(start, lf - start)))
            ops.push_back(std::move(*op));
    }
    return ops;
}

std::optional<LineTail::Part> LineTail::ReadPart(const QString& path, qint64 begin, qint64 end,
                                                 std::size_t maxOps) {
    QFile file(path);
    if (end < begin || !file.open(QIODevice::ReadOnly) || !file.seek(begin))
        return std::nullopt;
    Part part{{}, begin};
    // Lines are short: a few of them at a time, not the whole range.
    const qint64 want = std::min<qint64>(end - begin, static_cast<qint64>(maxOps) * 512 + 4096);
    QByteArray bytes = file.read(want);
    while (part.ops.size() < maxOps && part.next < end) {
        const qint64 offset = part.next - begin;
        qint64 lf = bytes.indexOf('\n', offset);
        if (lf < 0 && bytes.size() < end - begin) {
            const QByteArray more = file.read(std::min<qint64>(end - begin - bytes.size(), 65536));
            if (more.isEmpty())
                return std::nullopt;
            bytes += more;
            continue;
        }
        if (lf < 0 || begin + lf >= end)
            return std::nullopt;
        std::optional<JournalOp> op = ParseLine(
            std::string_view(bytes.constData() + offset, static_cast<std::size_t>(lf - offset)));
        if (!op)
            return std::nullopt;
        part.ops.push_back(std::move(*op));
        part.next = begin + lf + 1;
    }
    return part;
}

bool LineTail::Open(const QString& path) {
    file.close();
    file.setFileName(path);
    // Unbuffered: each line goes to the system in the call that appends it.
    if (file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        size = file.size();
        return true;
    }
    file.setFileName(QString());
    return false;
}

LineTail::Spot LineTail::Append(const JournalOp& op) {
    if (!file.isOpen())
        return {};
    const JournalLine* line = nullptr;
    if (const auto* append = std::get_if<AppendLine>(&op))
        line = &append->line;
    else if (const auto* replace = std::get_if<ReplaceLine>(&op))
        line = &replace->line;
    if (!line)
        return {};
    std::string text = std::holds_alternative<AppendLine>(op) ? "A\t" : "R\t";
    text += std::to_string(line->seq);
    text += '\t';
    text += std::to_string(line->gridRow);
    for (const std::string& cell : line->cells) {
        text += '\t';
        AppendEscaped(text, cell);
    }
    text += '\n';
    const auto length = static_cast<qint64>(text.size());
    if (file.write(text.data(), length) != length) {
        file.close(); // a cut line is skipped when read; none follow it
        return {};
    }
    size += length;
    return {size - length, size};
}

void LineTail::Truncate() {
    if (file.isOpen() && size > 0 && file.resize(0)) // appends go on at the new end
        size = 0;
}

void LineTail::Remove() {
    if (file.fileName().isEmpty())
        return;
    file.close();
    file.remove();
    file.setFileName(QString());
}

} // namespace lrf::journal
