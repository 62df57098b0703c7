// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Operands and yardsticks shared by the kernel tests (engine/tabai_kernels.h).
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "engine/tabai_kernels.h"

namespace nerova::kernels_test {

using tabai_kernels::Limb;
using Vec = std::vector<Limb>;
using tabai_kernels::ScopedTuning;

// The thresholds in force with some fields changed.
template <typename F>
tabai_kernels::Tuning Tuned(F change) {
    tabai_kernels::Tuning t = tabai_kernels::CurrentTuning();
    change(t);
    return t;
}

// Random limbs; some operands are mostly 9999 or 0, to stress carries, borrows and
// normalisation.
inline Vec RandomVec(std::mt19937_64& rng, size_t n) {
    Vec v(n);
    const int mode = static_cast<int>(rng() % 4);
    for (Limb& x : v) {
        const uint64_t r = rng();
        x = static_cast<Limb>(r % 10000);
        if (mode == 1 && (r >> 20) % 4 != 0) x = 9999;
        if (mode == 2 && (r >> 20) % 4 != 0) x = 0;
    }
    if (v[n - 1] == 0) v[n - 1] = static_cast<Limb>(1 + rng() % 9999);
    if (mode == 3) v[n - 1] = 1;  // a top limb of 1: the largest normalising factor
    return v;
}

inline Vec SchoolProduct(const Vec& a, const Vec& b) {
    Vec out(a.size() + b.size());
    tabai_kernels::MulSchool(a.data(), a.size(), b.data(), b.size(), out.data());
    return out;
}

// The quadratic product on packed words (checked against the schoolbook one in
// tabai_kernels_test.cpp): the yardstick for long factors, sixteen times fewer steps.
inline Vec WordProduct(const Vec& a, const Vec& b) {
    Vec out(a.size() + b.size());
    tabai_kernels::MulBasecase(a.data(), a.size(), b.data(), b.size(), out.data());
    return out;
}

}  // namespace nerova::kernels_test
