#pragma once

#include "JournalTypes.h"

#include <QFile>
#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace lrf::journal {

// The run's lines as the log's thread hands them to the journal, appended to a
// file of the run's own with one write each. A written line is in the system's
// hands at once, so a process that is killed or crashes before its writer thread
// has committed the line still leaves it behind; the next start adds what the
// journal lacks from this file. The run removes it once the journal holds
// everything.
//
// One text line per operation: "A" (append) or "R" (replace), the line number,
// the grid row and the ten cells, separated by tabs; a backslash, tab, CR or LF
// in a cell is written as \\, \t, \r or \n.
class LineTail {
public:
    // Beside the journal: "<journal>.run-<token>.lines".
    static QString PathFor(const QString& journalPath, const std::string& token);

    // The tails beside the journal and the tokens of their runs.
    struct Found {
        std::string token;
        QString path;
    };
    static std::vector<Found> FindBeside(const QString& journalPath);

    // The operations of a tail, in order: the complete, well-formed lines only,
    // so that a line the system cut short is not taken for a record.
    static std::vector<JournalOp> Read(const QString& path);

    // Where an appended line is in the file: its bytes from begin to end.
    struct Spot {
        qint64 begin = 0;
        qint64 end = 0;
        bool IsValid() const { return end > begin; }
    };
    // Up to maxOps operations of the bytes from begin to end, which are whole
    // lines that Append wrote; next is where the ones not read begin. Nothing
    // when the file cannot be read there or holds something else.
    struct Part {
        std::vector<JournalOp> ops;
        qint64 next = 0;
    };
    static std::optional<Part> ReadPart(const QString& path, qint64 begin, qint64 end,
                                        std::size_t maxOps);

    LineTail() = default;
    LineTail(const LineTail&) = delete;
    LineTail& operator=(const LineTail&) = delete;

    // Creates the file, or opens it to append; false when that is not possible
    // (the tail then takes nothing).
    bool Open(const QString& path);
    bool IsOpen() const { return file.isOpen(); }
    // Appends an AppendLine or ReplaceLine and says where it went; a failed
    // write closes the tail and gives no spot (the journal reports its own
    // failures).
    Spot Append(const JournalOp& op);
    // Empties the tail; only when the journal holds all it held.
    void Truncate();
    // Closes the tail and deletes its file.
    void Remove();

private:
    QFile file;
    qint64 size = 0; // where the next line goes
};

} // namespace lrf::journal
