#pragma once

// A PostgreSQL server of the tests' own: initdb in a temporary folder, started
// with pg_ctl on a Unix socket in that folder (no TCP port is opened), stopped
// and removed at the end. As root, the server runs as the "postgres" user (or
// "nobody"), as initdb and postgres refuse root. A watcher process stops the
// server should the test program die without its destructors.

#include "StoreTarget.h"
#include "TempDir.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <pwd.h>
#include <random>
#include <signal.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

class PgServer {
public:
    static constexpr const char* kUser = "lrf";
    static constexpr const char* kPassword = "right-one";

    // The folder of initdb and pg_ctl, or nothing when PostgreSQL is not installed.
    static std::optional<std::filesystem::path> BinDir() {
        std::vector<std::filesystem::path> found;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ec))
            if (std::filesystem::exists(entry.path() / "bin/initdb") &&
                std::filesystem::exists(entry.path() / "bin/pg_ctl"))
                found.push_back(entry.path() / "bin");
        if (found.empty())
            return std::nullopt;
        std::sort(found.begin(), found.end());
        return found.back();
    }

    // withPassword: logins need the password kPassword (scram-sha-256).
    explicit PgServer(bool withPassword = false) {
        const auto bin = BinDir();
        if (!bin)
            throw std::runtime_error("PostgreSQL is not installed");
        bindir = *bin;
        std::random_device random;
        port = 20000 + static_cast<int>(random() % 40000);
        if (geteuid() == 0) {
            for (const char* name : {"postgres", "nobody"}) {
                if (const passwd* pw = getpwnam(name)) {
                    runAs = name;
                    uid = pw->pw_uid;
                    gid = pw->pw_gid;
                    break;
                }
            }
            if (runAs.empty())
                throw std::runtime_error("no unprivileged user to run the server as");
        }
        const std::filesystem::path pwfile = dir / "pw";
        TempDir::WriteBytes(pwfile, std::string(kPassword) + "\n");
        Own(dir.path());
        Own(pwfile);
        QStringList args{"-D", Q(Data()), "-U", kUser, "-E", "UTF8", "--locale=C.UTF-8", "-N"};
        if (withPassword)
            args << "--auth=scram-sha-256"
                 << "--pwfile=" + Q(pwfile);
        else
            args << "--auth=trust";
        RunTool("initdb", args);
        // Small and quick: the tests need no durability of the server's own.
        TempDir::WriteBytes(Data() / "postgresql.auto.conf",
                            "fsync = off\nsynchronous_commit = off\nfull_page_writes = off\n"
                            "max_connections = 20\nshared_buffers = 16MB\n");
        Own(Data() / "postgresql.auto.conf");
        StartWatcher();
    }

    ~PgServer() {
        if (running)
            Run(Tool("pg_ctl"), {"-D", Q(Data()), "-m", "immediate", "-w", "stop"});
        if (watcherPipe >= 0) {
            close(watcherPipe); // the watcher finds no server and ends
            waitpid(watcher, nullptr, 0);
        }
    }
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    void Start() {
        RunTool("pg_ctl",
                {"-D", Q(Data()), "-l", Q(dir / "server.log"), "-w", "-t", "120", "-o",
                 QStringLiteral("-k %1 -p %2 -c listen_addresses=''").arg(Q(dir.path())).arg(port),
                 "start"});
        running = true;
    }
    void Stop() {
        RunTool("pg_ctl", {"-D", Q(Data()), "-m", "fast", "-w", "-t", "120", "stop"});
        running = false;
    }

    // The store address of the tests' stations.
    lrf::journal::StoreTarget Target() const {
        return {kUser, dir.path().string(), port, "postgres", {}};
    }
    const std::filesystem::path& Folder() const { return dir.path(); }

    // A connection of the test itself, for its queries (QSqlDatabase::database(name)).
    QString Connect(const std::string& password = {}) {
        static std::atomic<int> counter{0};
        const QString name = QStringLiteral("pg-test-%1").arg(counter++);
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", name);
        db.setHostName(Q(dir.path()));
        db.setPort(port);
        db.setUserName(kUser);
        db.setPassword(QString::fromStdString(password.empty() ? kPassword : password));
        db.setDatabaseName("postgres");
        if (!db.open())
            throw std::runtime_error("test connection: " + db.lastError().text().toStdString());
        return name;
    }

private:
    static QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }
    std::filesystem::path Data() const { return dir / "data"; }
    QString Tool(const char* name) const { return Q(bindir / name); }

    void Own(const std::filesystem::path& p) const {
        if (!runAs.empty() && chown(p.c_str(), uid, gid) != 0)
            throw std::runtime_error("cannot hand " + p.string() + " to " + runAs);
    }

    // Runs a server tool, as the server's user when this is root.
    bool Run(const QString& tool, const QStringList& args, QString* output = nullptr) const {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        if (runAs.empty())
            process.start(tool, args);
        else
            process.start("runuser",
                          QStringList{"-u", QString::fromStdString(runAs), "--", tool} + args);
        const bool ok = process.waitForFinished(180000) &&
                        process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        if (output)
            *output = QString::fromLocal8Bit(process.readAll());
        return ok;
    }
    void RunTool(const char* name, const QStringList& args) const {
        QString output;
        if (!Run(Tool(name), args, &output))
            throw std::runtime_error(std::string(name) + " failed: " + output.toStdString() +
                                     TempDir::ReadBytes(dir / "server.log"));
    }

    // A child that waits for this process to go (its pipe closes) and then
    // stops the server at once, whether or not it still runs.
    void StartWatcher() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error("no pipe for the server's watcher");
        const std::string ctl = (bindir / "pg_ctl").string();
        const std::string data = Data().string();
        const std::string user = runAs;
        watcher = fork();
        if (watcher == 0) {
            // Only its own end of its own pipe: another watcher's must close with us.
            for (int fd = 3; fd < 1024; ++fd)
                if (fd != fds[0])
                    close(fd);
            if (const int quiet = open("/dev/null", O_WRONLY); quiet >= 0) {
                dup2(quiet, 1);
                dup2(quiet, 2);
            }
            char byte;
            while (read(fds[0], &byte, 1) > 0) {
            }
            if (user.empty())
                execl(ctl.c_str(), ctl.c_str(), "-D", data.c_str(), "-m", "immediate", "stop",
                      static_cast<char*>(nullptr));
            else
                execlp("runuser", "runuser", "-u", user.c_str(), "--", ctl.c_str(), "-D",
                       data.c_str(), "-m", "immediate", "stop", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[0]);
        watcherPipe = fds[1];
    }

    TempDir dir;
    std::filesystem::path bindir;
    std::string runAs;
    uid_t uid = 0;
    gid_t gid = 0;
    int port = 0;
    bool running = false;
    pid_t watcher = -1;
    int watcherPipe = -1;
};
