// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/qt/calcrunner.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QScopeGuard>

namespace nerova {

CalcRunner::CalcRunner(std::chrono::milliseconds interval, QObject* parent)
    : QObject(parent), interval_(interval), last_(std::chrono::steady_clock::now()) {
    owner_.setEventPump([this] { return processEvents(); });
    owner_.setBusyObserver([this](bool busy) { Q_EMIT busyChanged(busy); });
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

CalcRunner::~CalcRunner() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool CalcRunner::processEvents() {
    // Engine work inside an event handled here (a display typesetting a huge text, say)
    // pumps too: it neither processes events again nor may a cancellation leave it.
    if (pumping_) return false;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < interval_) return true;
    pumping_ = true;
    const auto done = qScopeGuard([this] {
        pumping_ = false;
        last_ = std::chrono::steady_clock::now();
    });
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return true;
}

bool CalcRunner::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Quit) {
        // A calculation that began after the quit would have nothing left to stop it.
        owner_.quit();
        return false;  // the application still quits, once the calculation has returned
    }
    if (owner_.busy() && !owner_.cancelRequested() && event->type() == QEvent::KeyPress &&
        watched->isWidgetType() && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        owner_.cancel();
        return true;
    }
    return false;
}

}  // namespace nerova
