// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The life of a calculation, free of any window system: one at a time, the busy state
// that the window and the macro service share, the cancel request, and the one map from
// a failure to the message that stands in a result's place.
#pragma once

#include <exception>
#include <functional>
#include <stdexcept>
#include <string>

#include "engine/pump.h"
#include "shell/language.h"

namespace nerova {

inline constexpr Message kCancelled = Message::Cancelled;

/// Raised by a message-pump handler to end a running calculation at the user's request.
/// It is recognised by its type wherever failures are caught: a catch that turns
/// failures into a result's text (a batch line, a macro's answer) lets it pass, so that
/// a cancellation ends the whole run and never becomes one line's result.
class TCancelledException : public MessageError {
public:
    TCancelledException() : MessageError(kCancelled) {}
};

/// Runs calculations one at a time and ends them on request.
///
/// How it is used: the window's commands, the window's batch run and the macro service
/// all run their work through one owner (the window's), so that there is one busy
/// state; a user interface adds its event processing with setEventPump (see CalcRunner).
///
/// Invariants: at most one calculation runs; while it runs, run() refuses another and
/// busy() is true. The owner's pump handler is installed on the running thread only
/// while work runs, and it is removed before the observer hears of the end, so that
/// nothing the observer does can reach a calculation half torn down. A cancel request
/// lives until the calculation it was meant for has ended; once quit() was called,
/// every later run() is refused.
class CalcOwner {
public:
    CalcOwner() = default;
    CalcOwner(const CalcOwner&) = delete;
    CalcOwner& operator=(const CalcOwner&) = delete;

    /// Runs work as the one calculation; returns false without running it while another
    /// runs or after quit(). Throws what work throws (TCancelledException after cancel()).
    bool run(const std::function<void()>& work);
    bool busy() const { return busy_; }

    /// Asks the running calculation to end at its next pump call; nothing when none runs.
    void cancel() {
        if (busy_) cancel_ = true;
    }
    bool cancelRequested() const { return busy_ && cancel_; }
    /// The program is ending: cancels the running calculation and refuses every later one.
    void quit() {
        quitting_ = true;
        cancel();
    }
    bool quitting() const { return quitting_; }

    /// Called in the pump, before the cancel request is checked, to let a user interface
    /// handle its pending events (where an Esc may call cancel()). It returns false where
    /// no cancellation may be thrown: engine work inside the interface's own event
    /// processing pumps too, and the cancellation must not leave through an event handler.
    void setEventPump(std::function<bool()> events) { events_ = std::move(events); }
    /// Called with true when a calculation starts (before its work) and with false when
    /// it has ended (after its pump handler was removed).
    void setBusyObserver(std::function<void(bool)> observer) { observer_ = std::move(observer); }

private:
    static void handler(void* self) { static_cast<CalcOwner*>(self)->pump(); }
    void pump();
    void notify(bool busy) const {
        if (observer_) observer_(busy);
    }

    std::function<bool()> events_;
    std::function<void(bool)> observer_;
    pump::Installed previous_;  ///< the handler the running calculation's pump chains to
    bool busy_ = false;
    bool cancel_ = false;
    bool quitting_ = false;
};

}  // namespace nerova
