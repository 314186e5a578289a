#include "CsvFile.h"

#include "CsvFormat.h"

#include <cerrno>
#include <cstdio>
#include <optional>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace lrf {

namespace {

constexpr int kMaxNameAttempts = 1000;

// Text of an errno value, as the C library words it.
std::string SystemErrorText(int systemError) {
    return std::generic_category().message(systemError);
}

std::FILE* OpenFile(const fs::path& path, bool mustBeNew) {
#ifdef _WIN32
    // The older C runtimes ignore fopen's "x", so an existing file would be
    // replaced: ask for exclusive creation at the descriptor level instead.
    if (!mustBeNew)
        return _wfopen(path.c_str(), L"wb");
    const int fd =
        _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return nullptr;
    std::FILE* file = _fdopen(fd, "wb");
    if (!file)
        _close(fd);
    return file;
#else
    return std::fopen(path.c_str(), mustBeNew ? "wbx" : "wb");
#endif
}

std::string Quoted(const fs::path& path) {
    return '"' + path.string() + '"';
}

// The path the operator is told about: a name in the working directory is
// given with that directory in front, so that the message says where it is.
fs::path Absolute(const fs::path& path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    return ec ? path : absolute;
}

// Opens a file that must not exist yet; nullptr with errno set on failure.
std::FILE* CreateNew(const fs::path& path) {
    // "x": fail if the name exists, also when it is a dangling link.
    return OpenFile(path, true);
}

// Writes every line with its CR LF and closes the file. Returns 0 or the
// system error of the first failure; the file is closed in both cases.
int WriteAndClose(std::FILE* file, const std::vector<std::string>& lines, bool sync) {
    std::setvbuf(file, nullptr, _IOFBF, 1 << 16);
    int error = 0;
    for (const std::string& line : lines) {
        if (std::fwrite(line.data(), 1, line.size(), file) != line.size() ||
            std::fwrite(kCsvLineEnd.data(), 1, kCsvLineEnd.size(), file) != kCsvLineEnd.size()) {
            error = errno ? errno : EIO;
            break;
        }
    }
    if (error == 0 && std::fflush(file) != 0)
        error = errno ? errno : EIO;
#ifdef _WIN32
    if (error == 0 && sync && _commit(_fileno(file)) != 0)
        error = errno;
#else
    if (error == 0 && sync && fsync(fileno(file)) != 0 && errno != EINVAL && errno != EROFS)
        error = errno;
#endif
    errno = 0;
    if (std::fclose(file) != 0 && error == 0)
        error = errno ? errno : EIO;
    return error;
}

[[noreturn]] void ThrowSaveError(int systemError) {
    throw CsvFileError(SaveErrorText(systemError));
}

// The file a manual save really replaces: the target of a link, or the name.
fs::path ResolveTarget(const fs::path& path) {
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        fs::path target = fs::weakly_canonical(path, ec);
        if (!ec)
            return target;
    }
    return path;
}

// Renaming a new file over an old one needs no right to write the old file,
// which writing it in place does. Keep that protection: a file that nobody, or
// not this user, may write is refused instead of silently replaced.
bool WriteProtected([[maybe_unused]] const fs::path& path, const fs::file_status& status) {
    constexpr fs::perms anyWrite =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((status.permissions() & anyWrite) == fs::perms::none)
        return true;
#ifdef _WIN32
    return false;
#else
    return access(path.c_str(), W_OK) != 0 && errno == EACCES;
#endif
}

void WriteDirectly(const fs::path& path, const std::vector<std::string>& lines) {
    errno = 0;
    std::FILE* file = OpenFile(path, false);
    if (!file)
        ThrowSaveError(errno);
    if (const int error = WriteAndClose(file, lines, false))
        ThrowSaveError(error);
}

} // namespace

std::string SaveErrorText(int systemError) {
    switch (systemError) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
#ifdef ELOOP
    case ELOOP:
#endif
        // Creating a file fails this way when the name or its folder is wrong.
        return "Invalid filename";
    case EMFILE:
    case ENFILE:
        return "Too many open files";
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
    case EEXIST:
        return "File access denied";
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return "Disk full";
    default:
        return "I/O error " + std::to_string(systemError);
    }
}

void WriteCsvFile(const fs::path& path, const std::vector<std::string>& lines) {
    const fs::path target = ResolveTarget(path);
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        WriteDirectly(target, lines);
        return;
    }
    if (fs::is_regular_file(status) && WriteProtected(target, status))
        ThrowSaveError(EACCES);

    const fs::path folder = target.parent_path();
    const std::string stem = "." + target.filename().string() + ".tmp";
    fs::path temporary;
    std::FILE* file = nullptr;
    for (int attempt = 0; attempt < kMaxNameAttempts && !file; ++attempt) {
        temporary = folder / (stem + std::to_string(attempt));
        errno = 0;
        file = CreateNew(temporary);
        if (!file && errno != EEXIST)
            break;
    }
    if (!file) {
        const int error = errno ? errno : EEXIST;
        // A folder that takes no new files may still hold a file this user may
        // write: that one is written in place, as without the temporary file.
        if (fs::is_regular_file(status) && (error == EACCES || error == EPERM)) {
            WriteDirectly(target, lines);
            return;
        }
        ThrowSaveError(error);
    }

    int error = WriteAndClose(file, lines, true);
    if (error == 0 && fs::is_regular_file(status))
        fs::permissions(temporary, status.permissions(), ec); // keep the old file's rights
    if (error == 0) {
        fs::rename(temporary, target, ec);
        error = ec.value();
    }
    if (error != 0) {
        fs::remove(temporary, ec);
        ThrowSaveError(error);
    }
}

namespace {

// ".<stem>.csv.<process id>.part": a file of the automatic save that is still
// being written; the process id tells a later start whether its writer lives.
constexpr std::string_view kPartSuffix = ".part";

long ProcessId() {
#ifdef _WIN32
    return static_cast<long>(_getpid());
#else
    return static_cast<long>(getpid());
#endif
}

// Gives the written file its final name unless that name exists: never
// replaces a file. Returns 0 or the system error (EEXIST when the name is taken).
int RenameWithoutReplacing(const fs::path& from, const fs::path& to) {
#ifdef _WIN32
    // Unlike POSIX rename, the C runtime's _wrename refuses an existing target,
    // but says so as EACCES: tell a taken name first.
    std::error_code ec;
    if (fs::exists(fs::symlink_status(to, ec)))
        return EEXIST;
    return _wrename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
#else
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
#endif
    // A hard link fails on an existing name, as the rename above does.
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP)
        return errno;
    // File systems without links (FAT on a memory stick): check, then rename.
    std::error_code ec;
    if (fs::exists(fs::symlink_status(to, ec)))
        return EEXIST;
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
#endif
}

} // namespace

std::optional<long> AutoSavePartOwner(const fs::path& file) {
    const std::string name = file.filename().string();
    if (name.size() < 2 || name.front() != '.' || !name.ends_with(kPartSuffix))
        return std::nullopt;
    const std::string inner = name.substr(1, name.size() - 1 - kPartSuffix.size());
    const std::size_t dot = inner.rfind('.');
    if (dot == std::string::npos || !inner.substr(0, dot).ends_with(".csv") ||
        dot + 1 == inner.size())
        return std::nullopt;
    long pid = 0;
    for (const char c : inner.substr(dot + 1)) {
        if (c < '0' || c > '9' || pid > 100000000)
            return std::nullopt;
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

fs::path WriteAutoSaveFile(const fs::path& directory, const LocalDateTime& now,
                           const std::vector<std::string>& lines) {
    const std::string stem = AutoSaveStem(now);
    const auto nameFor = [&](int attempt) {
        return directory / (stem + (attempt == 0 ? "" : "-" + std::to_string(attempt)) + ".csv");
    };
    int attempt = 0;
    std::error_code ec;
    while (attempt < kMaxNameAttempts && fs::exists(fs::symlink_status(nameFor(attempt), ec)))
        ++attempt;
    fs::path path = nameFor(attempt);
    // The lines go to a file of their own first; only a complete file gets the
    // final name, so a crash part-way leaves no empty or cut .csv behind.
    const fs::path part = directory / ("." + path.filename().string() + "." +
                                       std::to_string(ProcessId()) + std::string(kPartSuffix));
    errno = 0;
    std::FILE* file = CreateNew(part);
    if (!file && errno == EEXIST) { // left by a killed run of this process id
        fs::remove(part, ec);
        errno = 0;
        file = CreateNew(part);
    }
    if (!file) {
        const int error = errno ? errno : EEXIST;
        throw CsvFileError("Cannot create file " + Quoted(Absolute(path)) + ". " +
                           SystemErrorText(error));
    }
    int error = WriteAndClose(file, lines, false);
    for (; error == 0 && attempt < kMaxNameAttempts; ++attempt) {
        path = nameFor(attempt);
        error = RenameWithoutReplacing(part, path);
        if (error != EEXIST)
            break;
    }
    if (error != 0) {
        fs::remove(part, ec); // the lines stay in the mirror for the next save
        throw CsvFileError("Cannot write file " + Quoted(Absolute(path)) + ". " +
                           SystemErrorText(error));
    }
    return Absolute(path);
}

} // namespace lrf
