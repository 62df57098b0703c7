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

TEST(TSeisuBasecase, VectorProductsOnEveryLengthMatchSchoolbook) {
    // The 52-bit products pack 24 limbs a vector and finish eight words a vector (splits,
    // carries of up to two, runs of words at 10^12 - 1 passing a carry on): every length
    // pair up to 50 limbs and every square up to 120 against the schoolbook, the products
    // whose words are all 10^12 - 1 or runs of them ((10000^k - 1)(10000^j + 1), squares
    // of 10000^k - 1 and 10000^k + 1), and all nines at the longest factors it takes.
    if (!tabai_kernels::HasMul52()) GTEST_SKIP() << "no 52-bit multiply-add vectors on this processor";
    std::mt19937_64 rng(520);
    for (size_t na = 1; na <= 50; ++na) {
        for (size_t nb = 1; nb <= 50; ++nb) {
            const Vec a = RandomVec(rng, na), b = RandomVec(rng, nb);
            Vec got(na + nb);
            tabai_kernels::MulBasecase52(a.data(), na, b.data(), nb, got.data());
            ASSERT_EQ(got, SchoolProduct(a, b)) << na << " x " << nb;
        }
    }
    for (size_t n = 1; n <= 120; ++n) {
        for (const Vec& a : {RandomVec(rng, n), Vec(n, 9999)}) {
            Vec got(2 * n), want(2 * n);
            tabai_kernels::SqrBasecase52(a.data(), n, got.data());
            tabai_kernels::SqrSchool(a.data(), n, want.data());
            ASSERT_EQ(got, want) << n;
        }
    }
    auto powerPlus = [](size_t k, int add) {  // 10000^k + add, add in {-1, 1}
        Vec v(k + (add > 0 ? 1 : 0), add > 0 ? Limb{0} : Limb{9999});
        if (add > 0) v[0] = v[k] = 1;
        return v;
    };
    for (size_t k : {1u, 2u, 3u, 8u, 24u, 25u, 47u, 96u, 97u, 700u}) {
        for (size_t j : {size_t{1}, size_t{5}, size_t{24}, k, k + 1, 2 * k + 3}) {
            const Vec a = powerPlus(k, -1), b = powerPlus(j, 1), c = powerPlus(j, -1);
            for (const Vec* y : {&b, &c}) {
                Vec got(a.size() + y->size());
                tabai_kernels::MulBasecase52(a.data(), a.size(), y->data(), y->size(), got.data());
                EXPECT_EQ(got, SchoolProduct(a, *y)) << k << " x " << j;
            }
        }
        for (const Vec& a : {powerPlus(k, -1), powerPlus(k, 1)}) {
            Vec got(2 * a.size()), want(2 * a.size());
            tabai_kernels::SqrBasecase52(a.data(), a.size(), got.data());
            tabai_kernels::SqrSchool(a.data(), a.size(), want.data());
            EXPECT_EQ(got, want) << k << " squared";
        }
    }
    // The largest column sums: (10000^n - 1)^2 = 10000^2n - 2 10000^n + 1.
    for (size_t n : {6142u, 6143u, 6144u}) {
        const Vec a(n, 9999);
        Vec want(2 * n, 9999);
        std::fill(want.begin(), want.begin() + static_cast<std::ptrdiff_t>(n), Limb{0});
        want[0] = 1;
        want[n] = 9998;
        Vec prod(2 * n), sq(2 * n);
        tabai_kernels::MulBasecase52(a.data(), n, a.data(), n, prod.data());
        tabai_kernels::SqrBasecase52(a.data(), n, sq.data());
        EXPECT_EQ(prod, want) << n;
        EXPECT_EQ(sq, want) << n;
    }
}

TEST(TSeisuBasecase, KaratsubaOnColumnsMatchesSchoolbook) {
    // Karatsuba on the 52-bit products' column sums (the halves' sums not carried, the
    // middle product's columns taken off before any carrying): thresholds down to one word,
    // so that products split many levels deep (the words of the sums grow a bit a level);
    // balanced and nearly balanced shapes, odd and even word counts, one limb either side
    // of the threshold, all nines up to the longest factors (the largest sums a level).
    if (!tabai_kernels::HasMul52()) GTEST_SKIP() << "no 52-bit multiply-add vectors on this processor";
    std::mt19937_64 rng(5252);
    const size_t normal = tabai_kernels::CurrentTuning().karatsuba52;
    for (const size_t from : {size_t{3}, size_t{30}, size_t{100}, normal}) {
        const ScopedTuning scoped(Tuned([from](auto& t) { t.karatsuba52 = from; }));
        std::vector<std::pair<size_t, size_t>> shapes = {{from - 1, from - 1}, {from, from},   {from + 1, from},
                                                         {from + 1, from + 1}, {2 * from, from + 1},
                                                         {3 * from, 2 * from}, {6144, 6144}, {6144, 4000}};
        for (int round = 0; round < 40; ++round) {
            const size_t n = from + rng() % (4 * from + 50);
            shapes.emplace_back(n, n - rng() % (n / 2 + 1));
        }
        for (const auto& [na, nb] : shapes) {
            if (nb == 0) continue;
            const bool nines = na >= 4000;
            const Vec a = nines ? Vec(na, 9999) : RandomVec(rng, na), b = nines ? Vec(nb, 9999) : RandomVec(rng, nb);
            Vec got(na + nb), want(na + nb);
            tabai_kernels::MulBasecase52(a.data(), na, b.data(), nb, got.data());
            if (nines) {
                const ScopedTuning portable(Tuned([](auto& t) { t.wideVectors = false; }));
                tabai_kernels::MulBasecase(a.data(), na, b.data(), nb, want.data());
            } else {
                want = SchoolProduct(a, b);
            }
            EXPECT_EQ(got, want) << na << " x " << nb << " from " << from;
        }
    }
}

}  // namespace
