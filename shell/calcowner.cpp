// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/calcowner.h"

#include <new>

#include "shell/textcalc.h"

namespace nerova {

bool CalcOwner::run(const std::function<void()>& work) {
    if (busy_ || quitting_) return false;
    busy_ = true;
    cancel_ = false;
    // The end is announced on every path, also when work throws, and only after the
    // pump scope below has been left.
    struct End {
        CalcOwner& owner;
        ~End() {
            owner.busy_ = false;
            owner.cancel_ = false;
            owner.previous_ = {};
            owner.notify(false);
        }
    } end{*this};
    notify(true);
    const pump::Scope scope(&CalcOwner::handler, this);
    previous_ = scope.Previous();
    work();
    return true;
}

void CalcOwner::pump() {
    // Whatever was installed before (a time budget, a probe) still has its say.
    previous_();
    if (events_ && !events_()) return;
    if (cancel_) throw TCancelledException();
}

}  // namespace nerova
