#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace lrf {

// What sending a command needs from the serial port.
class CommandPort {
public:
    virtual ~CommandPort() = default;
    virtual bool connected() const = 0;
    virtual void writeBytes(std::span<const std::uint8_t> bytes) = 0;
    virtual void writeText(std::string_view text) = 0;
};

// Sends a command while the port is open; with asHex the text is read as hex
// digits ("0F" is the single byte 0x0F), otherwise its characters go out as they
// are. Nothing is sent and nothing is reported while the port is closed; a failing
// write throws the port's error to the caller.
void SendCommand(CommandPort& port, std::string_view text, bool asHex);

// Keeps the hex digits of the text, pairs them high digit first and writes the
// bytes in one write while the port is open. Other characters are dropped and a
// last unpaired digit is ignored. Long texts are sent whole, never cut.
void SendHexCommand(CommandPort& port, std::string_view text);

} // namespace lrf
