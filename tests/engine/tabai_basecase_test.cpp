// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The quadratic kernels' vector paths (products and squares on 52-bit multiply-add
// vectors, exact division's packing from the low end) against the portable paths and the
// schoolbook kernels, on every length modulo the vector widths and at the largest values.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "engine/tabai_kernels.h"
#include "tests/engine/kernels_helpers.h"

namespace {

using namespace nerova::kernels_test;

// base^e in limbs.
Vec Power(uint32_t base, int e) {
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

// The top-down exact quotient (no low-end path at all): the oracle.
Vec TopDownQuotient(const Vec& a, const Vec& b) {
    Vec q(a.size() - b.size() + 1);
    const ScopedTuning fromTop(Tuned([](auto& t) { t.hensel = 0; }));
    tabai_kernels::DivExact(a.data(), a.size(), b.data(), b.size(), q.data());
    return q;
}

TEST(TSeisuBasecase, ExactDivisionPackingMatchesPortable) {
    // The low-end quotient with the vector packing (and its first clearing of 2 and 5
    // folded in) and without, against the top-down quotient: divisors prime to 10, with
    // factors 2^s 5^t cleared in one round or several (2^39, 5^17 span words; 2^100 and
    // 5^60 outlast the rounds), all nines, 10000^k - 1 and 10000^k + 1; every quotient
    // length modulo 32 limbs (sixteen words a vector) and divisor lengths around 16 limbs.
    std::mt19937_64 rng(71);
    const std::vector<Vec> factors = {{1}, {2}, {5}, {8}, {625}, {6250}, Power(2, 26), Power(5, 11),
                                      Power(2, 39), Power(5, 17), Power(2, 100), Power(5, 60)};
    const ScopedTuning split(Tuned([](auto& t) { t.exactSplit = 1000000; }));
    int round = 0;
    for (const Vec& f : factors) {
        for (size_t nq = 1; nq <= 70; nq += 1 + round % 3) {
            const size_t nb = 4 + rng() % 40;
            Vec q = RandomVec(rng, nq), c = RandomVec(rng, nb);
            if (++round % 4 == 0) std::fill(q.begin(), q.end(), Limb{9999});
            if (round % 5 == 0) std::fill(c.begin(), c.end(), Limb{9999});
            if (round % 7 == 0) c.assign(nb, 0), c[0] = c[nb - 1] = 1;  // 10000^(nb-1) + 1
            const Vec b = SchoolProduct(c, f);
            Vec bt(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(tabai_kernels::Trim(b.data(), b.size())));
            Vec a = SchoolProduct(q, bt);
            a.resize(tabai_kernels::Trim(a.data(), a.size()));
            const Vec want = TopDownQuotient(a, bt);
            for (const bool wide : {false, true}) {
                const ScopedTuning scoped(Tuned([wide](auto& t) { t.wideVectors = wide; }));
                Vec got(a.size() - bt.size() + 1);
                tabai_kernels::DivExact(a.data(), a.size(), bt.data(), bt.size(), got.data());
                EXPECT_EQ(got, want) << nq << " x " << bt.size() << ", factor " << f.size() << (wide ? ", wide" : "");
            }
        }
    }
    // Long operands (more rows than run between two full carries), and quotients modulo a
    // power of the base straight from the rows, any dividend.
    for (const size_t n : {255u, 256u, 257u, 600u, 1001u}) {
        Vec q = RandomVec(rng, n + 3), a = SchoolProduct(q, Vec(n, 9999));
        const Vec nines(n, 9999);
        a.resize(tabai_kernels::Trim(a.data(), a.size()));
        q.resize(a.size() - n + 1, 0);
        for (const bool wide : {false, true}) {
            const ScopedTuning scoped(Tuned([wide](auto& t) { t.wideVectors = wide; }));
            Vec got(a.size() - n + 1);
            tabai_kernels::DivExact(a.data(), a.size(), nines.data(), n, got.data());
            EXPECT_EQ(got, q) << n << (wide ? ", wide" : "");
        }
        const Vec x = RandomVec(rng, 2 * n);
        for (const size_t len : {n, n + 1, 2 * n}) {
            Vec portable(len), wide(len);
            {
                const ScopedTuning scoped(Tuned([](auto& t) { t.wideVectors = false; }));
                tabai_kernels::DivExactLowWords(x.data(), x.size(), nines.data(), n, len, portable.data());
            }
            tabai_kernels::DivExactLowWords(x.data(), x.size(), nines.data(), n, len, wide.data());
            EXPECT_EQ(portable, wide) << n << ", " << len;
            // q * b = x modulo 10000^len.
            Vec back = SchoolProduct(wide, nines);
            back.resize(len);
            EXPECT_EQ(back, Vec(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(std::min(len, x.size()))))
                << n << ", " << len;
        }
    }
}

}  // namespace
