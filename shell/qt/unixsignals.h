// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// SIGTERM and SIGINT (a logout, Ctrl+C in the starting terminal) close the window as
// its close command does, so that it saves its settings on the way out.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <csignal>
#include <functional>

class QSocketNotifier;

namespace nerova {

/// Turns SIGTERM and SIGINT into a close of the window, through a self-pipe watched by
/// the event loop (a signal handler may do nothing but write to it). A signal that
/// arrives while the previous one waits to be handled ends the program the default
/// way, so a program whose event loop hangs can still be stopped.
/// Invariant: at most one instance exists; it restores the previous handlers when
/// destroyed.
class UnixSignalCloser : public QObject {
    Q_OBJECT

public:
    explicit UnixSignalCloser(QWidget* window, QObject* parent = nullptr);
    ~UnixSignalCloser() override;

    /// False when the pipe or the handlers could not be set up; the window then
    /// closes only by its own commands.
    bool active() const { return active_; }
    /// Runs before every close caused by a signal (the window then reports errors on
    /// standard error and ends its dialogs, so that it ends in bounded time).
    void setBeforeClose(std::function<void()> beforeClose) { beforeClose_ = std::move(beforeClose); }

private:
    bool arm();
    void onSignal();

    QPointer<QWidget> window_;
    std::function<void()> beforeClose_;
    QSocketNotifier* notifier_ = nullptr;
    struct sigaction oldTerm_ {};
    struct sigaction oldInt_ {};
    bool active_ = false;
};

}  // namespace nerova
