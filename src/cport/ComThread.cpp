#include "ComThread.h"

#include "CPort.h"
#include "CallQueue.h"
#include "ComBackend.h"

#include <array>
#include <system_error>

namespace cport {

namespace {

// The order in which DispatchEvents raises the handlers; the window-style
// hand-over sends one call per event in the same order.
constexpr std::array<TComEvent, 10> kDispatchOrder{
    evError, evRxChar, evTxEmpty, evBreak, evRing, evCTS, evDSR, evRxFlag, evRLSD, evRx80Full};

detail::CallQueue& queue() {
    return detail::CallQueue::Instance();
}

} // namespace

TComThread::TComThread(TCustomComPort& port, ComBackend& backend)
    : port_(port)
    , backend_(backend) {
    if (OsError err = backend_.PrepareEventWait(port_.Events()))
        throw EComPort(CError_OpenFailed, err);
    try {
        thread_ = std::thread([this] { Execute(); });
    } catch (const std::system_error& e) {
        backend_.FinishEventWait();
        throw EComPort(CError_OpenFailed, e.code().value());
    }
}

TComThread::~TComThread() {
    backend_.StopEventWait();
    queue().ServeUntil(finished_);
    thread_.join();
}

void TComThread::Execute() {
    for (;;) {
        TComEvents events;
        const WaitOutcome outcome = backend_.WaitForEvents(events);
        if (outcome == WaitOutcome::Events) {
            // The arrival of the batch, for handlers that pace their replies: the
            // bytes are counted before the clock is read, so that every byte
            // counted arrived before that moment.
            TBatchSeen seen;
            std::uint32_t waiting = 0;
            if (events.Contains(evRxChar) && backend_.CountWaiting(waiting))
                seen.bytes = waiting;
            seen.at = std::chrono::steady_clock::now();
            HandOver(events, seen);
            continue;
        }
        if (outcome == WaitOutcome::DeviceLost)
            HandOverDeviceLost();
        break;
    }
    backend_.FinishEventWait();
    finished_ = true;
    queue().Notify();
}

void TComThread::HandOver(TComEvents events, TBatchSeen seen) {
    TCustomComPort* port = &port_;
    switch (port_.SyncMethod()) {
    case smThreadSync:
        // What a handler threw ends only that dispatch; reception goes on.
        (void)queue().RunAndWait(port,
                                 [port, events, seen] { port->DispatchEvents(events, seen); });
        break;
    case smWindowSync:
        for (TComEvent e : kDispatchOrder) {
            if (!events.Contains(e))
                continue;
            queue().RunAfterPickUp(port, [port, e, seen] {
                if (port->Connected())
                    port->DispatchEvents(TComEvents{e}, seen);
            });
        }
        break;
    case smNone:
        try {
            port_.DispatchEvents(events, seen);
        } catch (...) {
        }
        break;
    }
}

void TComThread::HandOverDeviceLost() {
    TCustomComPort* port = &port_;
    auto notify = [port] { port->DoDeviceLost(); };
    switch (port_.SyncMethod()) {
    case smThreadSync:
        (void)queue().RunAndWait(port, notify);
        break;
    case smWindowSync:
        queue().RunAfterPickUp(port, notify);
        break;
    case smNone:
        try {
            notify();
        } catch (...) {
        }
        break;
    }
}

} // namespace cport
