// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Operands for the benchmarks: random decimal numbers and their TSeisu values.
#pragma once

#include <random>
#include <string>

#include "engine/Stream.h"
#include "engine/tabai.h"

namespace nerova::bench {

/// The number written by the decimal digits.
inline TSeisu FromText(const std::string& digits) {
    TSeisu x;
    StringStream s(digits + ";");
    x.ReadFrom(s);
    return x;
}

/// n random decimal digits, the first not zero.
inline std::string RandomDigits(std::mt19937_64& rng, size_t n) {
    std::string s(n, '0');
    for (char& c : s) c = static_cast<char>('0' + rng() % 10);
    s[0] = static_cast<char>('1' + rng() % 9);
    return s;
}

}  // namespace nerova::bench
