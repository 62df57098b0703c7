// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/version.h"

namespace nerova {

const char* version() { return NEROVA_VERSION; }
const char* licence() { return "GPL-3.0-or-later"; }

}  // namespace nerova
