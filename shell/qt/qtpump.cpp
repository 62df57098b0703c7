#include "shell/qt/qtpump.h"

#include <QCoreApplication>
#include <QScopeGuard>

#include "shell/commands.h"

TQtPump::TQtPump(std::chrono::milliseconds interval)
    : interval_(interval), last_(std::chrono::steady_clock::now()), scope_(&TQtPump::handler, this) {}

void TQtPump::pump() {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ >= interval_ && depth_ < kMaxDepth) {
        ++depth_;
        const auto done = qScopeGuard([this] {
            --depth_;
            last_ = std::chrono::steady_clock::now();
        });
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    if (cancel_) throw TCancelledException();
}
