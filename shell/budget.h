// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The memory budget of one result: how many decimal digits a product or a power may
// have before the engine refuses it (TSeisu::SetMaxDigits).
#pragma once

#include <cstdint>

namespace nerova {

/// Bytes of memory one digit of a result costs at the peak of its computation and
/// output (the operands, the result, the transforms' work arrays and the result's text:
/// 9 to 11 measured on powers of 8 to 41 million digits).
inline constexpr int64_t kBytesPerDigit = 10;

/// The default budget: a quarter of the machine's physical memory, at kBytesPerDigit.
int64_t machineMaxDigits();

/// Sets the engine's budget to given when above 0 (--max-digits, the settings file),
/// else to machineMaxDigits().
void applyMaxDigits(int64_t given);

}  // namespace nerova
