#include "CsvFile.h"

#include "CsvFormat.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
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

fs::path WriteAutoSaveFile(const fs::path& directory, const LocalDateTime& now,
                           const std::vector<std::string>& lines) {
    const std::string stem = AutoSaveStem(now);
    fs::path path;
    std::FILE* file = nullptr;
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        const std::string suffix = attempt == 0 ? "" : "-" + std::to_string(attempt);
        path = directory / (stem + suffix + ".csv");
        errno = 0;
        file = CreateNew(path);
        if (file || errno != EEXIST)
            break;
    }
    if (!file) {
        const int error = errno ? errno : EEXIST;
        throw CsvFileError("Cannot create file " + Quoted(Absolute(path)) + ". " +
                           SystemErrorText(error));
    }
    if (const int error = WriteAndClose(file, lines, false)) {
        std::error_code ec;
        fs::remove(path, ec); // the lines stay in the mirror for the next save
        throw CsvFileError("Cannot write file " + Quoted(Absolute(path)) + ". " +
                           SystemErrorText(error));
    }
    return Absolute(path);
}

} // namespace lrf
