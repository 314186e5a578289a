#include "LinkInfoWin32.h"

#include <cctype>

namespace cport {

namespace win32 {

namespace {

class Key {
public:
    Key(HKEY parent, const std::string& path) {
        if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~Key() {
        if (key_)
            RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    explicit operator bool() const { return key_ != nullptr; }
    HKEY get() const { return key_; }

    std::string subKey(DWORD index) const {
        char name[256];
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key_, index, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            return {};
        return {name, size};
    }
    std::string text(const char* value) const {
        char data[256] = {};
        DWORD size = sizeof data - 1;
        DWORD type = 0;
        if (RegQueryValueExA(key_, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
                ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            return {};
        return std::string(data);
    }
    std::optional<DWORD> number(const char* value) const {
        DWORD data = 0;
        DWORD size = sizeof data;
        DWORD type = 0;
        if (RegQueryValueExA(key_, value, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
                ERROR_SUCCESS ||
            type != REG_DWORD)
            return std::nullopt;
        return data;
    }

private:
    HKEY key_ = nullptr;
};

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

LinkInfo ReadAdapterLink(HKEY root, const char* enumKey, const std::string& portName) {
    LinkInfo link;
    const Key adapters(root, enumKey);
    if (!adapters)
        return link;
    for (DWORD a = 0;; ++a) {
        const std::string adapter = adapters.subKey(a);
        if (adapter.empty())
            break;
        const Key instances(adapters.get(), adapter);
        for (DWORD i = 0; instances; ++i) {
            const std::string instance = instances.subKey(i);
            if (instance.empty())
                break;
            const Key device(instances.get(), instance);
            const Key parameters(instances.get(), instance + "\\Device Parameters");
            if (!parameters || !sameName(parameters.text("PortName"), portName))
                continue;
            link.Kind = LinkKind::Usb;
            link.Driver = "FTDIBUS";
            if (device)
                link.Adapter = device.text("FriendlyName");
            if (const std::optional<DWORD> timer = parameters.number("LatencyTimer"))
                link.LatencyTimer = std::chrono::milliseconds(*timer);
            link.LatencySetting = "Device Manager: the port's Properties, Port Settings, "
                                  "Advanced, Latency Timer";
            return link;
        }
    }
    return link;
}

} // namespace win32

LinkInfo ReadLinkInfo(const std::string& port) {
    const std::size_t slash = port.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? port : port.substr(slash + 1);
    return win32::ReadAdapterLink(HKEY_LOCAL_MACHINE, win32::kAdapterEnumKey, name);
}

} // namespace cport
