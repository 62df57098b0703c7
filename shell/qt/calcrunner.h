// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Qt's side of the program's calculation owner: it lets Qt handle pending events while
// the engine calculates, and turns Esc and the application's quitting into a cancel.
#pragma once

#include <QObject>

#include <chrono>
#include <functional>

#include "shell/calcowner.h"

namespace nerova {

/// Adapts the program's one CalcOwner to Qt.
///
/// How it is used: the window hands owner() to its commands (TCalcCommands::setOwner)
/// and to its batch run; the macro service runs each macro through run(); whoever is
/// refused answers "busy".
///
/// Invariants: while a calculation runs, the owner's pump lets Qt handle pending events
/// at most once per interval and never from inside its own event processing; the
/// cancellation is thrown by the owner only after processEvents() has returned, so it
/// never passes through a slot or an event handler. busyChanged(false) is emitted after
/// the pump handler was removed.
class CalcRunner : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kDefaultInterval{20};

    /// Watches the application's events (Esc, quit) while it exists.
    explicit CalcRunner(std::chrono::milliseconds interval = kDefaultInterval, QObject* parent = nullptr);
    ~CalcRunner() override;

    /// See CalcOwner::run.
    bool run(const std::function<void()>& work) { return owner_.run(work); }
    bool busy() const { return owner_.busy(); }
    void cancel() { owner_.cancel(); }
    bool cancelRequested() const { return owner_.cancelRequested(); }
    CalcOwner& owner() { return owner_; }

Q_SIGNALS:
    /// A calculation started (true) or ended (false).
    void busyChanged(bool busy);

protected:
    /// While a calculation runs, the first Esc in any of the program's windows cancels
    /// it (a dialog opened meanwhile still closes with the next); the application's
    /// quitting cancels it and refuses every later one.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// False while Qt's event processing started here runs (see CalcOwner::setEventPump).
    bool processEvents();

    CalcOwner owner_;
    std::chrono::steady_clock::duration interval_;
    std::chrono::steady_clock::time_point last_;
    bool pumping_ = false;
};

}  // namespace nerova
