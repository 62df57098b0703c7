// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Operands and yardsticks shared by the kernel tests (engine/tabai_kernels.h).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <utility>
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

inline void CheckDivision(const Vec& a, const Vec& b) {
    const size_t m = a.size(), n = b.size();
    Vec q1(m - n + 1), r1(n), q2(m - n + 1), r2(n);
    tabai_kernels::DivSchool(a.data(), m, b.data(), n, q1.data(), r1.data());
    tabai_kernels::Div(a.data(), m, b.data(), n, q2.data(), r2.data());
    EXPECT_EQ(q1, q2) << m << " / " << n;
    EXPECT_EQ(r1, r2) << m << " % " << n;
}

// Dividends and divisors (at least 3 limbs, trimmed) where long divisions go wrong: odd
// and even lengths, quotients shorter and longer than the divisor, all nines, powers of
// the base and one less, a divisor's top limb 1 followed by zeros (the estimate's largest
// error) and a remainder of divisor - 1, for each divisor length in `lengths`.
inline std::vector<std::pair<Vec, Vec>> DivisionEdgeCases(std::mt19937_64& rng, std::initializer_list<size_t> lengths) {
    auto pow = [](size_t k) {
        Vec v(k + 1, 0);
        v[k] = 1;
        return v;
    };
    std::vector<std::pair<Vec, Vec>> cases;
    for (size_t n : lengths) {
        cases.push_back({Vec(2 * n + 1, 9999), Vec(n, 9999)});
        cases.push_back({Vec(n, 9999), Vec(n, 9999)});
        cases.push_back({pow(2 * n), pow(n - 1)});
        Vec below = Vec(n, 9999);  // 10000^n - 1
        cases.push_back({pow(3 * n), below});
        Vec one = pow(n - 1);
        one[0] = 1;  // 10000^(n-1) + 1
        cases.push_back({Vec(2 * n + 3, 9999), one});
        cases.push_back({pow(2 * n + 1), one});
        // (b - 1) + b * q: the largest remainder.
        const Vec b = RandomVec(rng, n), qv = RandomVec(rng, n + 3);
        Vec a = SchoolProduct(qv, b);
        Vec bm1 = b;
        size_t i = 0;
        while (bm1[i] == 0) bm1[i++] = 9999;
        --bm1[i];
        uint32_t carry = 0;
        for (size_t k = 0; k < a.size(); ++k) {
            const uint32_t t = a[k] + (k < n ? bm1[k] : 0) + carry;
            a[k] = static_cast<Limb>(t % 10000);
            carry = t / 10000;
        }
        if (b.back() != 0) cases.push_back({a, b});
    }
    for (auto& [a, b] : cases) {
        a.resize(tabai_kernels::Trim(a.data(), a.size()));
        b.resize(tabai_kernels::Trim(b.data(), b.size()));
    }
    std::erase_if(cases, [](const auto& c) { return c.second.size() < 3 || c.first.size() < c.second.size(); });
    return cases;
}

// x mod (10000^len - 1), with 10000^len - 1 itself written as 0.
inline Vec FoldCyclic(const Vec& x, size_t len) {
    Vec r(len, 0);
    for (size_t off = 0; off < x.size(); off += len) {
        uint32_t carry = 0;
        for (size_t i = 0; i < len; ++i) {
            const uint32_t v = r[i] + (off + i < x.size() ? x[off + i] : 0) + carry;
            r[i] = static_cast<Limb>(v % 10000);
            carry = v / 10000;
        }
        for (size_t i = 0; carry != 0; i = (i + 1) % len) {
            const uint32_t v = r[i] + carry;
            r[i] = static_cast<Limb>(v % 10000);
            carry = v / 10000;
        }
    }
    if (std::all_of(r.begin(), r.end(), [](Limb v) { return v == 9999; })) r.assign(len, 0);
    return r;
}

// DivBasecase against DivSchool, on the portable rows and on the widest vectors there are,
// two and four quotient words a pass.
inline void CheckBasecase(const Vec& a, const Vec& b) {
    const size_t m = a.size(), n = b.size();
    Vec q1(m - n + 1), r1(n), q2(m - n + 1), r2(n);
    tabai_kernels::DivSchool(a.data(), m, b.data(), n, q1.data(), r1.data());
    for (const bool wide : {false, true}) {
        for (const size_t rows : {2u, 4u}) {
            const ScopedTuning scoped(Tuned([wide, rows](auto& t) {
                t.wideVectors = wide;
                t.divPassRows = rows;
            }));
            tabai_kernels::DivBasecase(a.data(), m, b.data(), n, q2.data(), r2.data());
            EXPECT_EQ(q1, q2) << m << " / " << n << (wide ? ", wide" : "") << ", rows " << rows;
            EXPECT_EQ(r1, r2) << m << " % " << n << (wide ? ", wide" : "") << ", rows " << rows;
        }
    }
}

// base^e in limbs.
inline Vec Power(uint32_t base, int e) {
    Vec v{1};
    for (int i = 0; i < e; ++i) {
        uint32_t carry = 0;
        for (Limb& l : v) {
            const uint32_t t = l * base + carry;
            l = static_cast<Limb>(t % 10000);
            carry = t / 10000;
        }
        while (carry != 0) {
            v.push_back(static_cast<Limb>(carry % 10000));
            carry /= 10000;
        }
    }
    return v;
}

}  // namespace nerova::kernels_test
