// Feeds arbitrary bytes to reply decoding (as received bytes and as typed text),
// to the display conversion and to the hex text helpers, and checks what must
// hold for any input.
#include "HexText.h"
#include "ReplyDecoder.h"
#include "Units.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

void CheckReply(std::span<const std::uint8_t> bytes, lrf::MeasurementState& state,
                const lrf::DisplayUnits& units) {
    const lrf::DecodeResult r = lrf::DecodeReply(bytes, state);
    Require(state.FrameUnit <= lrf::unitMetrePerSecond);
    if (r.status == lrf::DecodeStatus::NotAFrame)
        Require(!r.tookDistance && !r.tookInclination && !r.tookSpeed);
    if (bytes.size() != 8 || bytes[0] != 0xDA)
        Require(r.status == lrf::DecodeStatus::NotAFrame);
    if (!r.tookDistance)
        Require(state.LinearDistance == lrf::kNoDistance);
    if (!r.tookSpeed)
        Require(state.SpeedValue == lrf::kNoSpeed);
    if (r.status == lrf::DecodeStatus::MalformedNumber)
        return;
    const double decodedSpeed = state.SpeedValue;
    lrf::MeasurementState byValue = state;
    lrf::ConvertForDisplay(state, units, r);
    lrf::ConvertForDisplay(byValue, units);
    // A mark stays a mark, and a decoded speed at or above it becomes exactly it.
    if (!r.tookDistance)
        Require(state.LinearDistance == lrf::kNoDistance);
    if (decodedSpeed >= lrf::kNoSpeed)
        Require(state.SpeedValue == lrf::kNoSpeed);
    Require(byValue.SpeedValue == state.SpeedValue);
    Require(lrf::SpeedReadoutUnit(state, units) ==
            (state.SpeedValue == lrf::kNoSpeed ? lrf::unitKph : units.SpeedUnit));
}

void CheckSelfTest(std::string_view text, lrf::MeasurementState& state, std::uint8_t unit) {
    const double speed = state.SpeedValue;
    const lrf::DecodeResult r = lrf::DecodeSelfTest(text, state);
    Require(state.FrameUnit <= lrf::unitFoot);
    Require(state.SpeedValue == speed);
    Require(!r.tookSpeed);
    lrf::ConvertSelfTest(state, unit, unit, unit);
    const std::string_view end = lrf::SelfTestEndText(text);
    Require(end.empty() || end.size() == 2);
}

void CheckHexText(std::span<const std::uint8_t> bytes, std::string_view text) {
    const std::string hex = lrf::BytesToHexText(bytes);
    Require(hex.size() == bytes.size() * 3);
    const auto back = lrf::HexTextToBytes(hex);
    Require(back.size() == bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        Require(back[i] == bytes[i]);
    Require(lrf::SplitBySpace(hex).size() == bytes.size());

    std::size_t spaces = 0;
    for (char c : text)
        spaces += c == ' ';
    const auto tokens = lrf::SplitBySpace(text);
    Require(tokens.size() == spaces);
    std::size_t joined = 0;
    for (const auto& t : tokens)
        joined += t.size() + 1;
    Require(joined <= text.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // The first byte also picks the units, so every pair of codes gets exercised.
    const std::uint8_t pick = size > 0 ? data[0] : 0;
    const lrf::DisplayUnits units{static_cast<std::uint8_t>(pick % 3),
                                  static_cast<std::uint8_t>(3 + (pick >> 2) % 3)};

    lrf::MeasurementState state;
    CheckReply(bytes, state, units);
    // Typed text turned into bytes, as a hex text would reach the decoder.
    CheckReply(lrf::HexTextToBytes(text), state, units);
    CheckSelfTest(text, state, static_cast<std::uint8_t>(pick % 7));
    CheckHexText(bytes, text);
    return 0;
}
