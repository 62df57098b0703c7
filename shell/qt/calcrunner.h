// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The one owner of the life of a calculation in the program: the message pump that the
// engine calls in its long loops, the busy state that the window and the macro service
// share, the cancel request and what raises it (Esc, the application quitting).
#pragma once

#include <QObject>

#include <chrono>
#include <functional>

#include "engine/pump.h"
#include "shell/commands.h"

namespace nerova {

/// Runs calculations one at a time for the whole program.
///
/// How it is used: the window hands it to its commands (TCalcCommands::setRunner) and
/// the macro service runs each macro through run(); whoever is refused answers "busy".
///
/// Invariants: at most one calculation runs; while it runs, run() refuses another and
/// busy() is true. The pump handler is installed only while a calculation runs; it lets
/// Qt handle pending events at most once per interval and never from inside its own
/// event processing, and throws TCancelledException only after processEvents() has
/// returned, so the cancellation never passes through a slot or an event handler. A
/// cancel request lives until the calculation it was meant for has ended.
class CalcRunner : public QObject, public ICalcRunner {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kDefaultInterval{20};

    /// Watches the application's events (Esc, quit) while it exists.
    explicit CalcRunner(std::chrono::milliseconds interval = kDefaultInterval, QObject* parent = nullptr);
    ~CalcRunner() override;

    /// Runs work as the one calculation; returns false without running it while another
    /// runs or once the application quits. Throws what work throws.
    bool run(const std::function<void()>& work) override;
    bool busy() const override { return busy_; }

    /// Asks the running calculation to end at its next pump call; nothing when none runs.
    void cancel() {
        if (busy_) cancel_ = true;
    }
    bool cancelRequested() const { return busy_ && cancel_; }

Q_SIGNALS:
    /// A calculation started (true) or ended (false).
    void busyChanged(bool busy);

protected:
    /// While a calculation runs, the first Esc in any of the program's windows cancels
    /// it (a dialog opened meanwhile still closes with the next); the application's
    /// quitting cancels it and refuses every later one.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static void handler(void* self) { static_cast<CalcRunner*>(self)->pump(); }
    void pump();

    std::chrono::steady_clock::duration interval_;
    std::chrono::steady_clock::time_point last_;
    const pump::Scope* scope_ = nullptr;  ///< the pump scope of the running calculation
    bool busy_ = false;
    bool cancel_ = false;
    bool pumping_ = false;
    bool quitting_ = false;
};

}  // namespace nerova
