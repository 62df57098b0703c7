// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The program's version, set once in the top-level CMakeLists.txt.
#pragma once

namespace nerova {

/// The version as "MAJOR.MINOR.PATCH".
const char* version();

/// The licence of the program, as its SPDX expression.
const char* licence();

}  // namespace nerova
