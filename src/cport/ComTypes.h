#pragma once

// Enumerations and small value types shared by the serial port component and its
// platform backends. Ordinal values start at 0 in the order given; element n of a
// set is bit n of its value.

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <optional>

namespace cport {

// What the event thread saw when its wait for a batch returned: the moment, and
// the bytes then waiting (negative where the device cannot tell).
struct TBatchSeen {
    std::chrono::steady_clock::time_point at{};
    std::int64_t bytes = -1;
};

enum TBaudRate {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};

enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl { fcHardware, fcSoftware, fcNone, fcCustom };

enum TComEvent {
    evRxChar,
    evTxEmpty,
    evRxFlag,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full
};

enum TComError { ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull };

enum TSyncMethod { smThreadSync, smWindowSync, smNone };

// A set of enumeration values kept as bits: element n is bit n.
template <typename E> class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> items) {
        for (E e : items)
            bits_ |= bit(e);
    }
    static constexpr TSet FromBits(std::uint16_t bits) {
        TSet s;
        s.bits_ = bits;
        return s;
    }
    constexpr std::uint16_t Bits() const { return bits_; }
    constexpr bool Contains(E e) const { return (bits_ & bit(e)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr TSet& Include(E e) {
        bits_ |= bit(e);
        return *this;
    }
    constexpr TSet& Exclude(E e) {
        bits_ &= static_cast<std::uint16_t>(~bit(e));
        return *this;
    }
    constexpr bool operator==(const TSet&) const = default;
    constexpr TSet operator|(TSet o) const { return FromBits(bits_ | o.bits_); }
    constexpr TSet operator&(TSet o) const { return FromBits(bits_ & o.bits_); }

private:
    static constexpr std::uint16_t bit(E e) { return static_cast<std::uint16_t>(1u << e); }
    std::uint16_t bits_ = 0;
};

using TComEvents = TSet<TComEvent>;
using TComErrors = TSet<TComError>;

// All ten events, the default of a port's Events.
inline constexpr TComEvents AllComEvents = TComEvents::FromBits(0x03FF);

// Bits per second of a TBaudRate; brCustom has no fixed rate and gives 0.
std::uint32_t BaudRateToBits(TBaudRate rate);

// The fixed rate of that many bits per second; none for any other number.
std::optional<TBaudRate> BaudRateFromBits(std::uint32_t bitsPerSecond);

} // namespace cport
