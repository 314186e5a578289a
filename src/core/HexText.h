#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lrf {

// The value of one hex digit (any case), or -1 for any other character.
int HexDigitValue(char c);

// Cuts a text into the tokens closed by a space. Two spaces in a row give an
// empty token; text after the last space is dropped.
std::vector<std::string> SplitBySpace(std::string_view text);

// Each byte as two upper-case hex digits followed by one space: "DA 00 23 ".
std::string BytesToHexText(std::span<const std::uint8_t> bytes);

// Keeps the hex digits of a text (any case), pairs them high digit first and
// returns the bytes; a last unpaired digit is ignored. Any length converts whole.
std::vector<std::uint8_t> HexTextToBytes(std::string_view text);

} // namespace lrf
