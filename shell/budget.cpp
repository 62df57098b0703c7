// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/budget.h"

#include <unistd.h>

#include "engine/tabai.h"

namespace nerova {

int64_t machineMaxDigits() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    // Unknown memory: the engine's own limit stays in charge.
    if (pages <= 0 || pageSize <= 0) return 4 * static_cast<int64_t>(TSeisu::kMaxLimbs);
    return static_cast<int64_t>(pages) / 4 * pageSize / kBytesPerDigit;
}

void applyMaxDigits(int64_t given) { TSeisu::SetMaxDigits(given > 0 ? given : machineMaxDigits()); }

}  // namespace nerova
