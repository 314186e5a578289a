#pragma once

#include "WindowsApi.h"

#include <atomic>
#include <chrono>
#include <cstdint>

namespace cport::win32 {

// The hand-over waits on Windows with the system's own address waits rather than
// with the C++ library's condition variables and atomic waits, which the MinGW
// runtime builds on a threads layer of its own: under load a timed wait of that
// layer was seen never to return, not even after its time limit.

// Waits while word holds value, at most timeout; false when the time ran out.
// Like any such wait it may also return early: callers look again.
template <typename Word>
bool WaitWhileEquals(const std::atomic<Word>& word, Word value, std::chrono::milliseconds timeout) {
    static_assert(sizeof(std::atomic<Word>) == sizeof(Word) &&
                  std::atomic<Word>::is_always_lock_free);
    const long long ms = timeout.count() < 0 ? 0 : timeout.count();
    const DWORD limit =
        ms >= static_cast<long long>(INFINITE) ? INFINITE - 1 : static_cast<DWORD>(ms);
    Word expected = value;
    if (WaitOnAddress(const_cast<std::atomic<Word>*>(&word), &expected, sizeof expected, limit))
        return true;
    return GetLastError() != ERROR_TIMEOUT;
}

template <typename Word> void WaitWhileEquals(const std::atomic<Word>& word, Word value) {
    Word expected = value;
    WaitOnAddress(const_cast<std::atomic<Word>*>(&word), &expected, sizeof expected, INFINITE);
}

template <typename Word> void WakeAllWaiting(std::atomic<Word>& word) {
    WakeByAddressAll(&word);
}

} // namespace cport::win32
