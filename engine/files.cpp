// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "engine/files.h"

#include <fstream>

namespace nerova {

bool writeFileWith(const std::string& file, const std::function<void(std::ostream&)>& write) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    write(out);
    out.close();  // flushes: a full disk shows here
    return !out.fail();
}

}  // namespace nerova
