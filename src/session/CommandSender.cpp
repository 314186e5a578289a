#include "CommandSender.h"

#include "HexText.h"

namespace lrf {

void SendCommand(CommandPort& port, std::string_view text, bool asHex) {
    if (!port.connected())
        return;
    if (asHex)
        SendHexCommand(port, text);
    else
        port.writeText(text);
}

void SendHexCommand(CommandPort& port, std::string_view text) {
    const std::vector<std::uint8_t> bytes = HexTextToBytes(text);
    if (port.connected())
        port.writeBytes(bytes);
}

} // namespace lrf
