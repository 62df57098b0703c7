// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "engine/pump.h"

namespace pump::detail {
constinit thread_local Handler gHandler = nullptr;
constinit thread_local void* gContext = nullptr;
}  // namespace pump::detail
