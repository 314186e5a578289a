#include "ComErrors.h"

#include "ComTexts.h"

#include <cerrno>
#include <system_error>

#ifdef _WIN32
#include "win32/WindowsApi.h"
#endif

namespace cport {

namespace {

enum class Cause { Other, Missing, NoPermission, InUse, NotSerial, InvalidName };

// How the platform reports each cause when a device is opened.
Cause OpenCause(int os) {
#ifdef _WIN32
    switch (os) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return Cause::Missing;
    // Windows answers "access denied" for a port that another program holds.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return Cause::InUse;
    case ERROR_INVALID_NAME:
        return Cause::InvalidName;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
        return Cause::NotSerial;
    default:
        return Cause::Other;
    }
#else
    switch (os) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return Cause::Missing;
    case EACCES:
    case EPERM:
        return Cause::NoPermission;
    case EBUSY:  // held in exclusive mode by another program
    case EAGAIN: // its lock is taken by another program
        return Cause::InUse;
    case ENOTTY:
        return Cause::NotSerial;
    default:
        return Cause::Other;
    }
#endif
}

std::string SystemText(int os) {
#ifdef _WIN32
    return std::system_category().message(os);
#else
    return std::generic_category().message(os);
#endif
}

const char* CauseText(Cause cause) {
    switch (cause) {
    case Cause::Missing:
        return "The device does not exist: check the port name and that the instrument is "
               "connected.";
    case Cause::NoPermission:
        return "Permission denied: this user may not use the device. Join the dialout group "
               "(sudo adduser $USER dialout) and log in again.";
    case Cause::InUse:
        return "The device is busy: another program is using it.";
    case Cause::NotSerial:
        return "The device is not a serial port.";
    case Cause::InvalidName:
        return "The port name is not valid.";
    case Cause::Other:
        break;
    }
    return "";
}

} // namespace

std::string ComErrorReason(const EComPort& error) {
    const int os = error.OsErrorCode();
    switch (error.PortErrorCode()) {
    case CError_OpenFailed:
        if (os == -1)
            return {};
        if (const Cause cause = OpenCause(os); cause != Cause::Other)
            return Translate(CauseText(cause));
        break;
    case CError_SetStateFailed:
    case CError_TimeoutsFailed:
    case CError_SetupComFailed:
        if (os == -1)
            return Translate("The device refused the port settings.");
        return Translate("The device refused the port settings: ") + SystemText(os) + ".";
    default:
        break;
    }
    return os == -1 ? std::string() : SystemText(os);
}

} // namespace cport
