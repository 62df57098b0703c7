// The window's message pump for long calculations: the engine calls it in its long
// loops; it lets Qt handle pending events now and then and ends the calculation when
// the user asked for that.
#pragma once

#include <chrono>

#include "engine/pump.h"

/// Installs itself as the engine's message-pump handler for its lifetime.
///
/// Invariants: events are processed at most once per interval and at most kMaxDepth
/// pump calls deep (a calculation started from an event that a pump call is processing
/// may pump again, so that a window calculation begun during a macro stays cancellable);
/// the cancellation is thrown only after processEvents() has returned, so it never
/// passes through a slot or an event handler.
class TQtPump {
public:
    static constexpr std::chrono::milliseconds kDefaultInterval{20};
    static constexpr int kMaxDepth = 4;

    explicit TQtPump(std::chrono::milliseconds interval = kDefaultInterval);
    TQtPump(const TQtPump&) = delete;
    TQtPump& operator=(const TQtPump&) = delete;

    /// Makes the next pump call throw TCancelledException (until resetCancel).
    void requestCancel() { cancel_ = true; }
    /// Forgets a cancel request; called when a calculation starts.
    void resetCancel() { cancel_ = false; }
    bool cancelRequested() const { return cancel_; }

    /// Processes pending events if the interval has passed; throws TCancelledException
    /// afterwards when a cancel was requested.
    void pump();

private:
    static void handler(void* self) { static_cast<TQtPump*>(self)->pump(); }

    std::chrono::steady_clock::duration interval_;
    std::chrono::steady_clock::time_point last_;
    int depth_ = 0;
    bool cancel_ = false;
    pump::Scope scope_;
};
