#include "FileSync.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lrf::journal {

#ifdef _WIN32
// The file's data and its entry through the system's cache onto the disk. A new
// entry of NTFS's folder is in the file system's own journal: no folder sync.
bool SyncFileToDisk(const std::filesystem::path& file) {
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool synced = GetFileType(handle) == FILE_TYPE_DISK && FlushFileBuffers(handle);
    CloseHandle(handle);
    return synced;
}
#else

namespace {

bool SyncDescriptor(int fd) {
    while (fsync(fd) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

} // namespace

bool SyncFileToDisk(const std::filesystem::path& file) {
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    const bool synced = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && SyncDescriptor(fd);
    close(fd);
    if (!synced)
        return false;
    // A new file is found again after a power loss only once its folder is synced.
    const std::filesystem::path folder =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return false;
    const bool folderSynced = SyncDescriptor(dir) || errno == EINVAL;
    close(dir);
    return folderSynced;
}

#endif

} // namespace lrf::journal
