#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace {

// Reads a process's lines until one satisfies done, or the time is up.
bool ReadUntil(QProcess& process, QStringList& lines,
               const std::function<bool(const QString&)>& done, int timeoutMs = 60000) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        while (process.canReadLine()) {
            lines << QString::fromUtf8(process.readLine()).trimmed();
            if (done(lines.back()))
                return true;
        }
        if (clock.elapsed() > timeoutMs || process.state() == QProcess::NotRunning)
            return false;
        process.waitForReadyRead(100);
    }
}

QStringList Notices(const QStringList& lines) {
    QStringList notices;
    for (const QString& line : lines)
        if (line.startsWith("notice: "))
            notices << line.mid(8);
    return notices;
}

// The record lines of a CSV file, header left out.
QList<QByteArray> RecordLines(const QString& file) {
    QFile in(file);
    in.open(QIODevice::ReadOnly);
    QList<QByteArray> lines = in.readAll().split('\n');
    if (!lines.isEmpty())
        lines.removeFirst(); // header
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast(); // after the last CR LF
    return lines;
}

struct Ending {
    const char* name;
    int signal;
    bool recovered; // the next start recovers the records; otherwise the exit wrote them
};

} // namespace

// The whole program against a separate simulated instrument: a continuous run
// ended from outside in the middle. Killed, the next start in the same folder
// recovers every record the instrument answered into one file; terminated, the
// program writes them at exit and the next start has nothing to recover.
TEST(ProgramJournal, ARunEndedFromOutsideLosesNoRecord) {
    for (const Ending& ending :
         {Ending{"SIGKILL", SIGKILL, true}, Ending{"SIGTERM", SIGTERM, false}}) {
        SCOPED_TRACE(ending.name);
        QTemporaryDir dir;
        const QString work = dir.filePath("work");
        QDir().mkpath(work);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LRF_JOURNAL", dir.filePath("journal.sqlite"));

        // Whole replies: the ending is the point here, not the line's pace.
        QProcess sim;
        sim.start(QStringLiteral(LRFSIM_PROGRAM), {QStringLiteral("--at-once")});
        QStringList simOut;
        ASSERT_TRUE(ReadUntil(sim, simOut, [](const QString&) { return true; }));
        const QString device = simOut.front();

        QProcess program;
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(work);
        program.start(QStringLiteral(PROGRAM_CHILD), {device, "1500"});
        QStringList lines;
        ASSERT_TRUE(ReadUntil(program, lines, [](const QString& line) {
            return line.startsWith("records ") && line.mid(8).toInt() >= 300;
        })) << lines.join('\n').toStdString();
        if (ending.signal == SIGKILL)
            program.kill();
        else
            program.terminate();
        ASSERT_TRUE(program.waitForFinished(30000));
        ReadUntil(
            program, lines, [](const QString&) { return false; }, 0);
        EXPECT_EQ(lines.contains("ended"), !ending.recovered);
        EXPECT_TRUE(Notices(lines).isEmpty()) << Notices(lines).join('\n').toStdString();

        sim.terminate();
        ASSERT_TRUE(sim.waitForFinished(10000));
        const QString simReport = QString::fromUtf8(sim.readAllStandardError());
        const QRegularExpressionMatch replies =
            QRegularExpression(QStringLiteral("(\\d+) replies")).match(simReport);
        ASSERT_TRUE(replies.hasMatch()) << simReport.toStdString();
        const int answered = replies.captured(1).toInt();

        QDir folder(work);
        const QStringList before = folder.entryList({"*.csv"}, QDir::Files);
        EXPECT_EQ(before.size(), ending.recovered ? 0 : 1);

        QProcess next;
        next.setProcessEnvironment(env);
        next.setWorkingDirectory(work);
        next.start(QStringLiteral(PROGRAM_CHILD), {device, "0"});
        ASSERT_TRUE(next.waitForFinished(30000));
        QStringList nextLines;
        ReadUntil(
            next, nextLines, [](const QString&) { return false; }, 0);
        const QStringList notices = Notices(nextLines);
        const QStringList files = folder.entryList({"*.csv"}, QDir::Files);
        ASSERT_EQ(files.size(), 1);
        const QList<QByteArray> records = RecordLines(folder.filePath(files.front()));
        if (ending.recovered) {
            ASSERT_EQ(notices.size(), 1);
            EXPECT_TRUE(notices[0].startsWith(QString::number(records.size()) + " records"))
                << notices[0].toStdString();
            EXPECT_TRUE(notices[0].contains(files.front()));
        } else {
            EXPECT_TRUE(notices.isEmpty()) << notices.join('\n').toStdString();
        }
        // Every answer, but for the one in flight when the program ended (and,
        // on a loaded machine, one or two that the writer had not yet taken).
        EXPECT_GE(records.size(), answered - 3);
        EXPECT_LE(records.size(), answered);
        for (int i = 0; i < records.size(); ++i) {
            ASSERT_TRUE(records[i].startsWith(QByteArray::number(i + 1) + ", 123.4,M,---.-,KPH,"))
                << records[i].toStdString();
        }
    }
}
