// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/qt/calcrunner.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QScopeGuard>

namespace nerova {

CalcRunner::CalcRunner(std::chrono::milliseconds interval, QObject* parent)
    : QObject(parent), interval_(interval), last_(std::chrono::steady_clock::now()) {
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

CalcRunner::~CalcRunner() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool CalcRunner::run(const std::function<void()>& work) {
    if (busy_ || quitting_) return false;
    busy_ = true;
    cancel_ = false;
    const pump::Scope scope(&CalcRunner::handler, this);
    scope_ = &scope;
    // Cleared on every path, also when work throws.
    const auto done = qScopeGuard([this] {
        scope_ = nullptr;
        busy_ = false;
        cancel_ = false;
        Q_EMIT busyChanged(false);
    });
    Q_EMIT busyChanged(true);
    work();
    return true;
}

void CalcRunner::pump() {
    // Whatever was installed before (a time budget, a probe) still has its say.
    scope_->Previous()();
    // Engine work inside an event handled here (a display typesetting a huge text, say)
    // pumps too: it neither processes events again nor may a cancellation leave it.
    if (pumping_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ >= interval_) {
        pumping_ = true;
        const auto done = qScopeGuard([this] {
            pumping_ = false;
            last_ = std::chrono::steady_clock::now();
        });
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    if (cancel_) throw TCancelledException();
}

bool CalcRunner::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Quit) {
        // A calculation that began after the quit would have nothing left to stop it.
        quitting_ = true;
        cancel();
        return false;  // the application still quits, once the calculation has returned
    }
    if (busy_ && !cancel_ && event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        cancel_ = true;
        return true;
    }
    return false;
}

}  // namespace nerova
