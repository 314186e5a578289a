#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

#include <functional>

// A journal_child process and what it printed.
class JournalChild {
public:
    JournalChild(const QString& journal, const QString& folder, int steps, int paceMs) {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(JOURNAL_CHILD),
                      {journal, folder, QString::number(steps), QString::number(paceMs)});
    }
    ~JournalChild() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(10000);
        }
    }

    // Reads output until a printed line satisfies done; false after timeoutMs.
    bool WaitFor(const std::function<bool(const QString&)>& done, int timeoutMs = 30000) {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            while (process.canReadLine()) {
                const QString line = QString::fromUtf8(process.readLine()).trimmed();
                if (line.startsWith("step "))
                    steps = line.mid(5).toInt();
                else if (line.startsWith("notice: "))
                    notices << line.mid(8);
                if (done(line))
                    return true;
            }
            if (clock.elapsed() > timeoutMs || process.state() == QProcess::NotRunning)
                return false;
            process.waitForReadyRead(100);
        }
    }
    bool WaitForStep(int step) {
        return WaitFor([&](const QString&) { return steps >= step; });
    }

    // SIGKILL, then the rest of what it printed before.
    void Kill() {
        process.kill();
        process.waitForFinished(10000);
        WaitFor([](const QString&) { return false; }, 0);
    }

    int steps = 0; // steps handed to the log, as printed
    QStringList notices;
    QProcess process;
};
