// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The quadratic kernels' vector paths (products and squares on 52-bit multiply-add
// vectors or on AVX2's 32-bit products, exact division's packing from the low end) against the portable paths and the
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

// 10000^k + add, add in {-1, 1}.
Vec PowerPlus(size_t k, int add) {
    Vec v(k + (add > 0 ? 1 : 0), add > 0 ? Limb{0} : Limb{9999});
    if (add > 0) v[0] = v[k] = 1;
    return v;
}

// (10000^n - 1)^2 = 10000^2n - 2 10000^n + 1: the largest column sums of n-limb factors.
Vec NinesSquared(size_t n) {
    Vec want(2 * n, 9999);
    std::fill(want.begin(), want.begin() + static_cast<std::ptrdiff_t>(n), Limb{0});
    want[0] = 1;
    want[n] = 9998;
    return want;
}

// The low len limbs of the product and its top from limb `from` (the true one or one
// less) by the AVX2 short products, against the full product.
void CheckShortProducts(const Vec& a, const Vec& b, const Vec& full, size_t len, size_t from) {
    const size_t na = a.size(), nb = b.size();
    Vec low(len), expected = full;
    expected.resize(len, 0);
    tabai_kernels::MulLowAvx2(a.data(), na, b.data(), nb, len, low.data());
    EXPECT_EQ(low, expected) << na << " x " << nb << " mod 10000^" << len;
    Vec high(na + nb - from), top(full.begin() + static_cast<std::ptrdiff_t>(from), full.end()), diff(high.size());
    tabai_kernels::MulHighAvx2(a.data(), na, b.data(), nb, from, high.data());
    EXPECT_EQ(tabai_kernels::SubN(top.data(), high.data(), top.size(), diff.data()), 0u);
    EXPECT_LE(tabai_kernels::Trim(diff.data(), diff.size()), 1u) << na << " x " << nb << " from " << from;
    EXPECT_LE(diff[0], 1) << na << " x " << nb << " from " << from;
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
    for (size_t k : {1u, 2u, 3u, 8u, 24u, 25u, 47u, 96u, 97u, 700u}) {
        for (size_t j : {size_t{1}, size_t{5}, size_t{24}, k, k + 1, 2 * k + 3}) {
            const Vec a = PowerPlus(k, -1), b = PowerPlus(j, 1), c = PowerPlus(j, -1);
            for (const Vec* y : {&b, &c}) {
                Vec got(a.size() + y->size());
                tabai_kernels::MulBasecase52(a.data(), a.size(), y->data(), y->size(), got.data());
                EXPECT_EQ(got, SchoolProduct(a, *y)) << k << " x " << j;
            }
        }
        for (const Vec& a : {PowerPlus(k, -1), PowerPlus(k, 1)}) {
            Vec got(2 * a.size()), want(2 * a.size());
            tabai_kernels::SqrBasecase52(a.data(), a.size(), got.data());
            tabai_kernels::SqrSchool(a.data(), a.size(), want.data());
            EXPECT_EQ(got, want) << k << " squared";
        }
    }
    // The largest column sums: (10000^n - 1)^2 = 10000^2n - 2 10000^n + 1.
    for (size_t n : {6142u, 6143u, 6144u}) {
        const Vec a(n, 9999);
        Vec prod(2 * n), sq(2 * n);
        tabai_kernels::MulBasecase52(a.data(), n, a.data(), n, prod.data());
        tabai_kernels::SqrBasecase52(a.data(), n, sq.data());
        EXPECT_EQ(prod, NinesSquared(n)) << n;
        EXPECT_EQ(sq, NinesSquared(n)) << n;
    }
}

TEST(TSeisuBasecase, Avx2ProductsMatchSchoolbookAndPortable) {
    // AVX2's products of 8-digit words (16 columns a pass, four a vector, the shorter
    // factor broadcast): every length pair up to 40 limbs (odd lengths leave a half word;
    // passes end anywhere in a vector) and every square up to 100 against the schoolbook,
    // the short products at every cut, powers of the base and one off them, the longest
    // factors they take (all nines: the largest column sums), and random shapes against
    // the portable words of 16 digits.
    if (!tabai_kernels::HasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937_64 rng(82);
    for (size_t na = 1; na <= 40; ++na) {
        for (size_t nb = 1; nb <= 40; ++nb) {
            const Vec a = RandomVec(rng, na), b = RandomVec(rng, nb);
            Vec got(na + nb);
            tabai_kernels::MulBasecaseAvx2(a.data(), na, b.data(), nb, got.data());
            const Vec want = SchoolProduct(a, b);
            ASSERT_EQ(got, want) << na << " x " << nb;
            CheckShortProducts(a, b, want, 1 + (na * 7 + nb) % (na + nb + 3), (na * 5 + nb * 3) % (na + nb));
        }
    }
    for (size_t n = 1; n <= 100; ++n) {
        for (const Vec& a : {RandomVec(rng, n), Vec(n, 9999)}) {
            Vec got(2 * n), want(2 * n);
            tabai_kernels::SqrBasecaseAvx2(a.data(), n, got.data());
            tabai_kernels::SqrSchool(a.data(), n, want.data());
            ASSERT_EQ(got, want) << n;
        }
    }
    for (size_t k : {1u, 2u, 15u, 16u, 17u, 32u, 33u, 255u, 700u}) {
        for (size_t j : {size_t{1}, size_t{2}, size_t{31}, k, k + 1, 2 * k + 3}) {
            const Vec a = PowerPlus(k, -1), b = PowerPlus(j, 1), c = PowerPlus(j, -1);
            for (const Vec* y : {&b, &c}) {
                Vec got(a.size() + y->size());
                tabai_kernels::MulBasecaseAvx2(a.data(), a.size(), y->data(), y->size(), got.data());
                const Vec want = SchoolProduct(a, *y);
                EXPECT_EQ(got, want) << k << " x " << j;
                for (const size_t cut : {size_t{1}, size_t{2}, k, k + 1, (got.size() + 1) / 2}) {
                    CheckShortProducts(a, *y, want, std::min(cut, got.size()), std::min(cut, got.size() - 1));
                }
            }
        }
        for (const Vec& a : {PowerPlus(k, -1), PowerPlus(k, 1)}) {
            Vec got(2 * a.size()), want(2 * a.size());
            tabai_kernels::SqrBasecaseAvx2(a.data(), a.size(), got.data());
            tabai_kernels::SqrSchool(a.data(), a.size(), want.data());
            EXPECT_EQ(got, want) << k << " squared";
        }
    }
    // Words of 8 digits (low first) whose columns leave a word 2 10^8 or more before its
    // carry: found by a search over words near 0, 10^8 / 2 and 10^8.
    auto limbs = [](std::initializer_list<uint32_t> words) {
        Vec v;
        for (const uint32_t w : words) v.insert(v.end(), {static_cast<Limb>(w % 10000), static_cast<Limb>(w / 10000)});
        return v;
    };
    const std::pair<Vec, Vec> twoCarries[] = {
        {limbs({99999997, 50000001, 1}), limbs({50000000, 99999998, 50000001})},
        {limbs({99999999, 99999998, 50000001, 1}), limbs({1, 99999998, 50000001})},
        {limbs({99999998, 3, 99999998, 99999999}), limbs({50000001, 99999998, 1, 50000000})},
        {limbs({99999998, 99999999, 99999998, 3}), {}},
        {limbs({99999997, 99999999, 50000001, 50000001}), {}}};
    for (const auto& [a, b] : twoCarries) {
        const Vec& y = b.empty() ? a : b;
        Vec got(a.size() + y.size()), sq(2 * a.size()), want(2 * a.size());
        tabai_kernels::MulBasecaseAvx2(a.data(), a.size(), y.data(), y.size(), got.data());
        EXPECT_EQ(got, SchoolProduct(a, y)) << a.size() << " x " << y.size();
        tabai_kernels::SqrBasecaseAvx2(a.data(), a.size(), sq.data());
        tabai_kernels::SqrSchool(a.data(), a.size(), want.data());
        EXPECT_EQ(sq, want) << a.size() << " squared";
    }
    // The largest column sums, and a longest shorter factor times a longer one.
    constexpr size_t kMax = tabai_kernels::kAvx2MaxLimbs;
    for (size_t n : {kMax - 2, kMax - 1, kMax}) {
        const Vec a(n, 9999);
        Vec prod(2 * n), sq(2 * n);
        tabai_kernels::MulBasecaseAvx2(a.data(), n, a.data(), n, prod.data());
        tabai_kernels::SqrBasecaseAvx2(a.data(), n, sq.data());
        EXPECT_EQ(prod, NinesSquared(n)) << n;
        EXPECT_EQ(sq, NinesSquared(n)) << n;
        CheckShortProducts(a, a, prod, n + 1, n - 1);
    }
    const ScopedTuning portable(Tuned([](auto& t) { t.wideVectors = false; }));
    std::vector<std::pair<size_t, size_t>> shapes = {{kMax, kMax + 1000}, {kMax + 1000, kMax}, {3, 30000}};
    for (int round = 0; round < 60; ++round) shapes.emplace_back(1 + rng() % 900, 1 + rng() % 900);
    for (const auto& [na, nb] : shapes) {
        const bool nines = na >= kMax;
        const Vec a = nines ? Vec(na, 9999) : RandomVec(rng, na), b = nines ? Vec(nb, 9999) : RandomVec(rng, nb);
        Vec got(na + nb), sq(2 * na), words(na + nb), sqWords(2 * na);
        tabai_kernels::MulBasecaseAvx2(a.data(), na, b.data(), nb, got.data());
        tabai_kernels::MulBasecase(a.data(), na, b.data(), nb, words.data());
        EXPECT_EQ(got, words) << na << " x " << nb;
        CheckShortProducts(a, b, words, 1 + rng() % (na + nb), rng() % (na + nb));
        if (na <= kMax) {
            tabai_kernels::SqrBasecaseAvx2(a.data(), na, sq.data());
            tabai_kernels::SqrBasecase(a.data(), na, sqWords.data());
            EXPECT_EQ(sq, sqWords) << na << " squared";
        }
    }
}

TEST(TSeisuBasecase, Avx2KaratsubaOnColumnsMatchesSchoolbook) {
    // Karatsuba on AVX2's column sums (the halves' sums not carried, so the middle
    // product's words reach 2 10^8 a level; a level only while its sums stay below 2^64):
    // thresholds down to one word, so that products split as deep as the sums allow;
    // balanced and nearly balanced shapes, odd and even lengths, one limb either side of
    // the threshold, all nines at the longest halves that still split (the largest sums).
    if (!tabai_kernels::HasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937_64 rng(8282);
    const size_t normal = tabai_kernels::CurrentTuning().karatsubaAvx2;
    for (const size_t from : {size_t{2}, size_t{9}, size_t{40}, size_t{150}, normal}) {
        const ScopedTuning scoped(Tuned([from](auto& t) { t.karatsubaAvx2 = from; }));
        std::vector<std::pair<size_t, size_t>> shapes = {{from - 1, from - 1}, {from, from},   {from + 1, from},
                                                         {from + 1, from + 1}, {2 * from, from + 1},
                                                         {3 * from, 2 * from}, {1844, 1844}, {1843, 1500},
                                                         {460, 460},           {461, 300}};
        for (int round = 0; round < 30; ++round) {
            const size_t n = from + rng() % (4 * from + 50);
            shapes.emplace_back(n, n - rng() % (n / 2 + 1));
        }
        for (const auto& [na, nb] : shapes) {
            if (nb == 0) continue;
            const bool nines = na >= 1500 || na == 460 || na == 461;
            const Vec a = nines ? Vec(na, 9999) : RandomVec(rng, na), b = nines ? Vec(nb, 9999) : RandomVec(rng, nb);
            Vec got(na + nb);
            tabai_kernels::MulBasecaseAvx2(a.data(), na, b.data(), nb, got.data());
            EXPECT_EQ(got, SchoolProduct(a, b)) << na << " x " << nb << " from " << from;
        }
    }
}

TEST(TSeisuBasecase, Avx2LimbsFromColumnSumsAtTheirEdges) {
    // The column sums are turned into limbs 32 columns a step, each sum split into digits
    // of 10^8 taken to the nearest (signed) and the borrows resolved a step at a time:
    // factors whose 8-digit words sit where the rounding turns (0, 10^8 / 2, 10^8 - 1 and
    // their neighbours) or make long runs of zero words (borrows passed along), every
    // length up to 140 words (steps end anywhere), products, squares and short products
    // against the schoolbook.
    if (!tabai_kernels::HasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937_64 rng(84);
    constexpr uint32_t kEdges[] = {0, 1, 2, 49999999, 50000000, 50000001, 99999998, 99999999};
    auto edgy = [&](size_t limbs, bool runs) {
        Vec v(limbs);
        for (size_t i = 0; i < limbs; i += 2) {
            const uint32_t w = runs && rng() % 4 != 0 ? (rng() % 2 == 0 ? 0 : 99999999) : kEdges[rng() % 8];
            v[i] = static_cast<Limb>(w % 10000);
            if (i + 1 < limbs) v[i + 1] = static_cast<Limb>(w / 10000);
        }
        if (v.back() == 0) v.back() = 1;
        return v;
    };
    for (size_t n = 1; n <= 280; n += 1 + n / 40) {
        for (const bool runs : {false, true}) {
            const Vec a = edgy(n, runs), b = edgy(1 + rng() % 280, runs);
            Vec got(a.size() + b.size()), sq(2 * n), want(2 * n);
            tabai_kernels::MulBasecaseAvx2(a.data(), a.size(), b.data(), b.size(), got.data());
            const Vec product = SchoolProduct(a, b);
            EXPECT_EQ(got, product) << n << " x " << b.size();
            CheckShortProducts(a, b, product, 1 + rng() % got.size(), rng() % got.size());
            tabai_kernels::SqrBasecaseAvx2(a.data(), n, sq.data());
            tabai_kernels::SqrSchool(a.data(), n, want.data());
            EXPECT_EQ(sq, want) << n << " squared";
        }
    }
}

TEST(TSeisuBasecase, Avx2SquareKaratsubaOnColumnsMatchesSchoolbook) {
    // Squares on AVX2 split once Karatsuba's way on their column sums (the middle square's
    // words reach 2 10^8, its sums 4 10^16 a product): thresholds down to two words, one
    // limb either side of them, odd and even lengths (a high half one word short, whose
    // square's columns end a pass early), and the longest squares that still split (1844
    // limbs, all nines: the largest sums) and the first that do not.
    if (!tabai_kernels::HasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937_64 rng(8484);
    const size_t normal = tabai_kernels::CurrentTuning().karatsubaSqrAvx2;
    for (const size_t from : {size_t{3}, size_t{10}, size_t{41}, size_t{150}, normal}) {
        const ScopedTuning scoped(Tuned([from](auto& t) { t.karatsubaSqrAvx2 = from; }));
        std::vector<size_t> lengths = {from - 1, from, from + 1, from + 2, 2 * from + 1, 65, 66, 1843, 1844, 1845};
        for (int round = 0; round < 12; ++round) lengths.push_back(from + rng() % std::min(4 * from + 50, 1846 - from));
        for (const size_t n : lengths) {
            for (const bool nines : {false, true}) {
                if (nines && n < 1843 && n != from) continue;
                const Vec a = nines ? Vec(n, 9999) : RandomVec(rng, n);
                Vec got(2 * n), want(2 * n);
                tabai_kernels::SqrBasecaseAvx2(a.data(), n, got.data());
                tabai_kernels::SqrSchool(a.data(), n, want.data());
                EXPECT_EQ(got, want) << n << " from " << from << (nines ? ", nines" : "");
            }
        }
    }
}

TEST(TSeisuBasecase, Avx2DispatchMatchesPortable) {
    // MulBasecase, SqrBasecase and the short products take AVX2 up to its longest
    // shorter factor and the portable words one limb past it; Mul and Sqr one limb either
    // side of the AVX2 thresholds (transforms, Karatsuba); with the vectors and without.
    if (!tabai_kernels::HasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937_64 rng(83);
    constexpr size_t kMax = tabai_kernels::kAvx2MaxLimbs;
    const tabai_kernels::Tuning& t = tabai_kernels::CurrentTuning();
    for (const size_t n : {kMax - 1, kMax, kMax + 1, t.nttAvx2 - 1, t.nttAvx2, t.nttAvx2 + 1, t.sqrNttAvx2 - 1,
                           t.sqrNttAvx2, t.sqrNttAvx2 + 1, t.karatsubaAvx2 - 1, t.karatsubaAvx2,
                           t.karatsubaSqrAvx2 - 1, t.karatsubaSqrAvx2}) {
        // b long enough for Mul to take a transform from nttAvx2 on.
        const Vec a = RandomVec(rng, n), b = RandomVec(rng, 2 * n + 1 + rng() % 64);
        const Vec want = SchoolProduct(a, b);
        Vec square(2 * n), low = want;
        tabai_kernels::SqrSchool(a.data(), n, square.data());
        low.resize(n + 3);
        for (const bool wide : {false, true}) {
            const ScopedTuning scoped(Tuned([wide](auto& w) { w.wideVectors = wide; }));
            Vec prod(want.size()), mul(want.size()), sq(2 * n), sqr(2 * n), mulLow(n + 3);
            tabai_kernels::MulBasecase(a.data(), n, b.data(), b.size(), prod.data());
            tabai_kernels::Mul(b.data(), b.size(), a.data(), n, mul.data());
            tabai_kernels::SqrBasecase(a.data(), n, sq.data());
            tabai_kernels::Sqr(a.data(), n, sqr.data());
            tabai_kernels::MulLow(a.data(), n, b.data(), b.size(), n + 3, mulLow.data());
            EXPECT_EQ(prod, want) << n << (wide ? ", wide" : "");
            EXPECT_EQ(mul, want) << n << (wide ? ", wide" : "");
            EXPECT_EQ(sq, square) << n << (wide ? ", wide" : "");
            EXPECT_EQ(sqr, square) << n << (wide ? ", wide" : "");
            EXPECT_EQ(mulLow, low) << n << (wide ? ", wide" : "");
        }
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
