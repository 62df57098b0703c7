#include "qtpump.h"

#include <QCoreApplication>
#include <QScopeGuard>

#include "commands.h"

TQtPump::TQtPump(std::chrono::milliseconds interval)
    : interval_(interval), last_(std::chrono::steady_clock::now()), scope_(&TQtPump::handler, this) {}

void TQtPump::pump() {
    // A calculation started from inside processEvents (a macro served meanwhile) must
    // not process events again: that would nest event handling without end.
    if (inside_) {
        if (cancel_) throw TCancelledException();
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ >= interval_) {
        inside_ = true;
        const auto done = qScopeGuard([this] {
            inside_ = false;
            last_ = std::chrono::steady_clock::now();
        });
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    if (cancel_) throw TCancelledException();
}
