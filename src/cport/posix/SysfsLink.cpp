#include "SysfsLink.h"

#include <charconv>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <system_error>

namespace cport {

namespace fs = std::filesystem;

namespace posix {

namespace {

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

// The name of the directory a sysfs link points to ("usb" for .../bus/usb).
std::string linkTarget(const fs::path& link) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(link, ec);
    return ec ? std::string() : target.filename().string();
}

std::optional<std::chrono::milliseconds> readMilliseconds(const fs::path& file) {
    const std::string text = firstLine(file);
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > 255)
        return std::nullopt;
    return std::chrono::milliseconds(value);
}

} // namespace

LinkInfo ReadSysfsLink(const fs::path& sysRoot, const std::string& ttyName) {
    LinkInfo link;
    std::error_code ec;
    const fs::path root = fs::canonical(sysRoot, ec);
    if (ec)
        return link;
    const fs::path device = fs::canonical(root / "class" / "tty" / ttyName / "device", ec);
    if (ec)
        return link; // a pseudo-terminal has no device
    link.Kind = LinkKind::Native;
    link.Driver = linkTarget(device / "driver");
    // Up from the port to the machine's bus: the adapter's attributes sit on the
    // port itself (usb-serial) or on its USB interface or device.
    for (fs::path dir = device; dir != root && dir.has_relative_path() && dir != dir.parent_path();
         dir = dir.parent_path()) {
        if (linkTarget(dir / "subsystem") == "usb")
            link.Kind = LinkKind::Usb;
        if (!link.LatencyTimer && fs::exists(dir / "latency_timer", ec)) {
            link.LatencyTimer = readMilliseconds(dir / "latency_timer");
            if (link.LatencyTimer)
                link.LatencySetting = "as root: echo 1 > " + (dir / "latency_timer").string() +
                                      ", or the package's udev rule for every plug-in";
        }
        if (link.Adapter.empty() && link.Kind == LinkKind::Usb && fs::exists(dir / "product", ec))
            link.Adapter = firstLine(dir / "product");
    }
    return link;
}

bool RequestLowLatency(int fd) {
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0)
        return false;
    if (serial.flags & ASYNC_LOW_LATENCY)
        return true;
    serial.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(fd, TIOCSSERIAL, &serial) != 0)
        return false;
    return ::ioctl(fd, TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY);
}

} // namespace posix

LinkInfo ReadLinkInfo(const std::string& port) {
    const std::string path = port.find('/') == std::string::npos ? "/dev/" + port : port;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
        return {};
    return posix::ReadSysfsLink("/sys", fs::path(resolved).filename().string());
}

} // namespace cport
