// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The fast kernels of TSeisu (Karatsuba, number-theoretic transforms, Newton division,
// Lehmer's gcd) against the schoolbook ones, at sizes that cross their thresholds.
#include "engine/tabai_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

#include "engine/pump.h"
#include "engine/tabai.h"
#include "tests/engine/kernels_helpers.h"

namespace {

// Counts the pump's calls.
void CountCall(void* context) { ++*static_cast<int*>(context); }

using namespace nerova::kernels_test;

// a + b for limb vectors (trimmed).
Vec AddVec(const Vec& x, const Vec& y) {
    Vec out(std::max(x.size(), y.size()) + 1, 0);
    uint32_t c = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        const uint32_t v = (i < x.size() ? x[i] : 0) + (i < y.size() ? y[i] : 0) + c;
        out[i] = static_cast<Limb>(v % 10000);
        c = v / 10000;
    }
    out.resize(tabai_kernels::Trim(out.data(), out.size()));
    return out;
}

// The plainest product, for checking the schoolbook kernel's own shortcuts.
Vec NaiveProduct(const Vec& a, const Vec& b) {
    std::vector<uint64_t> cols(a.size() + b.size() + 1, 0);
    for (size_t i = 0; i < a.size(); ++i)
        for (size_t j = 0; j < b.size(); ++j) cols[i + j] += static_cast<uint64_t>(a[i]) * b[j];
    Vec out(a.size() + b.size());
    uint64_t carry = 0;
    for (size_t k = 0; k < out.size(); ++k) {
        const uint64_t v = cols[k] + carry;
        out[k] = static_cast<Limb>(v % 10000);
        carry = v / 10000;
    }
    return out;
}

TEST(TSeisuKernels, WordwiseAddAndSubtractMatchLimbByLimb) {
    // Four limbs a 64-bit word with biased lanes: against the plain loops, for every
    // length up to a few words past the last full one (the tail limb by limb), with runs
    // of 9999 and 0 (carries and borrows through whole words), the out array being either
    // operand, and the carry or borrow out of the top.
    std::mt19937_64 rng(19);
    for (int round = 0; round < 3000; ++round) {
        const size_t n = rng() % 41;
        Vec a(n), b(n);
        const int mode = static_cast<int>(rng() % 4);
        for (size_t i = 0; i < n; ++i) {
            const uint64_t r = rng();
            a[i] = static_cast<Limb>(mode == 1 && r % 3 ? 9999 : mode == 2 && r % 3 ? 0 : r % 10000);
            b[i] = static_cast<Limb>(mode == 1 && (r >> 8) % 3 ? 0 : mode == 2 && (r >> 8) % 3 ? 9999
                                                                                         : (r >> 16) % 10000);
            // Mode 3: limb sums of exactly 9999 (a carry runs through them), now and then 10000.
            if (mode == 3) b[i] = static_cast<Limb>((9999 - a[i] + ((r >> 24) % 8 == 0 ? 1 : 0)) % 10000);
        }
        Vec sum(n), diff(n);
        uint32_t carry = 0, borrow = 0;
        for (size_t i = 0; i < n; ++i) {
            const uint32_t v = a[i] + b[i] + carry;
            carry = v >= 10000;
            sum[i] = static_cast<Limb>(v % 10000);
            const int32_t d = static_cast<int32_t>(a[i]) - b[i] - static_cast<int32_t>(borrow);
            borrow = d < 0;
            diff[i] = static_cast<Limb>(d < 0 ? d + 10000 : d);
        }
        Vec out(n);
        EXPECT_EQ(tabai_kernels::AddN(a.data(), b.data(), n, out.data()), carry) << n;
        EXPECT_EQ(out, sum) << n << " mode " << mode;
        EXPECT_EQ(tabai_kernels::SubN(a.data(), b.data(), n, out.data()), borrow) << n;
        EXPECT_EQ(out, diff) << n << " mode " << mode;
        Vec x = a;
        tabai_kernels::AddN(x.data(), b.data(), n, x.data());
        EXPECT_EQ(x, sum);
        x = b;
        tabai_kernels::SubN(a.data(), x.data(), n, x.data());
        EXPECT_EQ(x, diff);
    }
}

TEST(TSeisuKernels, SchoolbookMatchesNaiveProduct) {
    // Covers the one-pass path (a factor of one or two limbs), the column path (both at
    // most 8 limbs) and the row path with its deferred carries (more than 40 rows).
    std::mt19937_64 rng(13);
    for (int round = 0; round < 2000; ++round) {
        const size_t na = 1 + rng() % (round % 3 == 0 ? 8 : 120), nb = 1 + rng() % (round % 2 ? 3 : 90);
        const Vec a = RandomVec(rng, na), b = RandomVec(rng, nb);
        EXPECT_EQ(SchoolProduct(a, b), NaiveProduct(a, b)) << na << " x " << nb;
        EXPECT_EQ(SchoolProduct(b, a), NaiveProduct(b, a)) << nb << " x " << na;
    }
}

TEST(TSeisuKernels, PackedWordProductsMatchSchoolbook) {
    // Every length modulo 4 (a partial top word), unbalanced factors, and the squares'
    // doubled half-products; limbs of 0 and 9999 come from RandomVec's modes.
    std::mt19937_64 rng(21);
    for (int round = 0; round < 600; ++round) {
        const size_t na = 1 + rng() % (round % 4 == 0 ? 700 : 90), nb = 1 + rng() % (round % 3 == 0 ? 9 : 90);
        const Vec a = RandomVec(rng, na), b = RandomVec(rng, nb);
        Vec out(na + nb);
        tabai_kernels::MulBasecase(a.data(), na, b.data(), nb, out.data());
        EXPECT_EQ(out, SchoolProduct(a, b)) << na << " x " << nb;
        // The short product: the low len limbs, len anywhere from 1 to past the product.
        const size_t len = 1 + rng() % (na + nb + 5);
        Vec low(len), expected = out;
        expected.resize(len, 0);
        tabai_kernels::MulLow(a.data(), na, b.data(), nb, len, low.data());
        EXPECT_EQ(low, expected) << na << " x " << nb << " mod 10000^" << len;
        // The top part from limb `from`: the true one or one less.
        const size_t from = rng() % (na + nb);
        Vec high(na + nb - from), top(out.begin() + static_cast<std::ptrdiff_t>(from), out.end()), diff(high.size());
        tabai_kernels::MulHigh(a.data(), na, b.data(), nb, from, high.data());
        EXPECT_EQ(tabai_kernels::SubN(top.data(), high.data(), top.size(), diff.data()), 0u);
        EXPECT_LE(tabai_kernels::Trim(diff.data(), diff.size()), 1u) << na << " x " << nb << " from " << from;
        EXPECT_LE(diff[0], 1) << na << " x " << nb << " from " << from;
        Vec sq(2 * na), school(2 * na);
        tabai_kernels::SqrBasecase(a.data(), na, sq.data());
        tabai_kernels::SqrSchool(a.data(), na, school.data());
        EXPECT_EQ(sq, school) << na << " squared";
    }
    // The pump still runs once per limb of the second factor.
    int calls = 0;
    pump::Scope scope(&CountCall, &calls);
    const Vec a = RandomVec(rng, 37), b = RandomVec(rng, 301);
    Vec out(a.size() + b.size());
    tabai_kernels::MulBasecase(a.data(), a.size(), b.data(), b.size(), out.data());
    EXPECT_EQ(calls, 301);
    // A very long factor times a short one: more calls than its three limbs ask for.
    calls = 0;
    const Vec longA = RandomVec(rng, 300000), shortB = RandomVec(rng, 3);
    Vec longOut(longA.size() + 3);
    tabai_kernels::MulBasecase(longA.data(), longA.size(), shortB.data(), 3, longOut.data());
    EXPECT_GE(calls, 4);
    EXPECT_EQ(longOut, SchoolProduct(longA, shortB));
}

TEST(TSeisuKernels, ProductsOnVectorsMatchSchoolbook) {
    // The 52-bit multiply-add vectors (words of 12 digits, 32 columns a pass) against the
    // schoolbook and the portable words of 16 digits: every length modulo 3 (a partial top
    // word), lengths around a pass's 32 columns and the 8 of a vector, very unbalanced
    // factors, the longest factors it takes (all nines there: the largest column sums),
    // powers of the base, and the dispatch through Mul and Sqr on both sides of the
    // thresholds, with the vectors and without.
    if (!tabai_kernels::HasMul52()) GTEST_SKIP() << "no 52-bit multiply-add vectors on this processor";
    std::mt19937_64 rng(52);
    std::vector<std::pair<size_t, size_t>> sizes = {{1, 1},    {2, 1},     {3, 3},     {4, 5},     {23, 24},
                                                    {24, 24},  {25, 96},   {96, 96},   {97, 96},   {98, 99},
                                                    {250, 250}, {251, 7},  {6144, 6144}, {6144, 1}, {1, 6000},
                                                    {3000, 33}, {700, 701}};
    for (int round = 0; round < 200; ++round) sizes.emplace_back(1 + rng() % 400, 1 + rng() % 400);
    const ScopedTuning portable(Tuned([](tabai_kernels::Tuning& t) { t.wideVectors = false; }));
    for (auto [na, nb] : sizes) {
        const bool nines = na == 6144 && nb == 6144;
        const Vec a = nines ? Vec(na, 9999) : RandomVec(rng, na), b = nines ? Vec(nb, 9999) : RandomVec(rng, nb);
        Vec vec(na + nb), words(na + nb);
        tabai_kernels::MulBasecase52(a.data(), na, b.data(), nb, vec.data());
        tabai_kernels::MulBasecase(a.data(), na, b.data(), nb, words.data());
        EXPECT_EQ(vec, words) << na << " x " << nb;
        if (na * nb < 200000) {
            EXPECT_EQ(vec, SchoolProduct(a, b)) << na << " x " << nb;
        }
        Vec sq(2 * na), school(2 * na);
        tabai_kernels::SqrBasecase52(a.data(), na, sq.data());
        if (na < 700) {
            tabai_kernels::SqrSchool(a.data(), na, school.data());
        } else {
            tabai_kernels::SqrBasecase(a.data(), na, school.data());
        }
        EXPECT_EQ(sq, school) << na << " squared";
    }
    for (size_t k : {1u, 2u, 3u, 4u, 95u, 96u, 97u, 300u}) {
        Vec power(k + 1, 0), nines(k, 9999);
        power[k] = 1;  // 10000^k
        for (const Vec* b : {&power, &nines}) {
            Vec vec(power.size() + b->size());
            tabai_kernels::MulBasecase52(power.data(), power.size(), b->data(), b->size(), vec.data());
            EXPECT_EQ(vec, SchoolProduct(power, *b)) << k;
        }
    }
    // Mul and Sqr pick the vectors when allowed; one limb either side of the thresholds.
    const tabai_kernels::Tuning& t = tabai_kernels::CurrentTuning();
    const size_t mt = t.ntt, st = t.sqrNtt, vt = t.ntt52, vs = t.sqrNtt52;
    for (size_t n : {mt - 1, mt, mt + 1, st - 1, st, st + 1, vt - 1, vt, vt + 1, vs - 1, vs, vs + 1}) {
        const Vec a = RandomVec(rng, n), b = RandomVec(rng, 3 * n + 1);
        Vec m0(a.size() + b.size()), m1(m0.size()), s0(2 * n), s1(2 * n);
        tabai_kernels::Mul(a.data(), n, b.data(), b.size(), m0.data());
        tabai_kernels::Sqr(a.data(), n, s0.data());
        const ScopedTuning wide(Tuned([](tabai_kernels::Tuning& w) { w.wideVectors = true; }));
        tabai_kernels::Mul(a.data(), n, b.data(), b.size(), m1.data());
        tabai_kernels::Sqr(a.data(), n, s1.data());
        EXPECT_EQ(m0, m1) << n;
        EXPECT_EQ(s0, s1) << n;
    }
}

TEST(TSeisuKernels, PackedWordsAtTheirLargestValues) {
    // Words of 10^16 - 1 make every column sum and carry as large as it gets.
    for (size_t n : {1u, 2u, 3u, 50u, 513u}) {
        const std::vector<uint64_t> w(n, tabai_kernels::kWordBase - 1);
        std::vector<uint64_t> prod(2 * n), sq(2 * n);
        tabai_kernels::MulWords(w.data(), n, w.data(), n, prod.data(), 0);
        tabai_kernels::SqrWords(w.data(), n, sq.data(), 0);
        // (B^n - 1)^2 = B^2n - 2 B^n + 1: words 1, 0, ..., 0, B - 2, B - 1, ..., B - 1.
        std::vector<uint64_t> expected(2 * n, tabai_kernels::kWordBase - 1);
        std::fill(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(n), 0);
        expected[0] = 1;
        expected[n] = tabai_kernels::kWordBase - 2;
        EXPECT_EQ(prod, expected) << n;
        EXPECT_EQ(sq, expected) << n;
        // Packing and unpacking give back the limbs.
        const Vec limbs(4 * n - 1, 9999);
        std::vector<uint64_t> packed(n);
        EXPECT_EQ(tabai_kernels::PackWords(limbs.data(), limbs.size(), packed.data()), n);
        Vec back(limbs.size() + 3, 1);
        tabai_kernels::UnpackWords(packed.data(), n, back.data(), back.size());
        EXPECT_EQ(Vec(back.begin(), back.begin() + static_cast<std::ptrdiff_t>(limbs.size())), limbs);
        EXPECT_EQ(back.back(), 0);
    }
}

TEST(TSeisuKernels, DivisionByWordsMatchesLongDivision) {
    // Divisors below 2^32 (up to three limbs) take one pass with a reciprocal.
    std::mt19937_64 rng(14);
    for (int round = 0; round < 2000; ++round) {
        const size_t n = 1 + rng() % 3, m = n + rng() % 50;
        Vec a = RandomVec(rng, m), b = RandomVec(rng, n);
        if (n == 3) b[2] = static_cast<Limb>(1 + rng() % 42);  // keeps most below 2^32
        Vec q(m - n + 1), r(n);
        tabai_kernels::Div(a.data(), m, b.data(), n, q.data(), r.data());
        // q * b + r = a, r < b.
        Vec back(q.size() + n + 1, 0);
        const Vec qb = NaiveProduct(q, b);
        std::copy(qb.begin(), qb.end(), back.begin());
        uint32_t carry = 0;
        for (size_t i = 0; i < back.size(); ++i) {
            const uint32_t v = back[i] + (i < n ? r[i] : 0) + carry;
            back[i] = static_cast<Limb>(v % 10000);
            carry = v / 10000;
        }
        back.resize(m);
        EXPECT_EQ(back, a) << m << " / " << n;
        EXPECT_LT(tabai_kernels::CompareN(r.data(), b.data(), n), 0);
    }
    Vec q(3);
    const Vec a = {9999, 9999, 9999};
    EXPECT_EQ(tabai_kernels::DivSmall(a.data(), 3, 65535, q.data()), 999999999999u % 65535u);
    EXPECT_EQ(q, (Vec{9021, 1525, 0}));  // 999999999999 div 65535 = 15259021
}

TEST(TSeisuKernels, SmallDivisorsMatchLongDivision) {
    // Divisors of two and three limbs take one pass with a reciprocal: below 2^32 two
    // limbs a step, from 2^32 to 10^12 one limb a step. Both against the long division,
    // at the edges of the two ranges and over dividends of all nines.
    std::mt19937_64 rng(16);
    auto check = [](const Vec& a, const Vec& b) {
        const size_t m = a.size(), n = b.size();
        Vec q(m - n + 1), r(n), q2(m - n + 1), r2(n);
        tabai_kernels::Div(a.data(), m, b.data(), n, q.data(), r.data());
        tabai_kernels::DivSchool(a.data(), m, b.data(), n, q2.data(), r2.data());
        EXPECT_EQ(q, q2) << m << " / " << n;
        EXPECT_EQ(r, r2) << m << " / " << n;
    };
    const Vec edges[] = {
        {7295, 9496, 42},  // 2^32 - 1
        {7296, 9496, 42},  // 2^32
        {7297, 9496, 42},  // 2^32 + 1
        {9999, 9999, 9999},  // 10^12 - 1
        {1, 0, 1},           // 10^8 + 1
        {0, 0, 5000},        // a power of ten times a half
        {9999, 9999},        // 10^8 - 1
        {0, 1},              // 10^4
        {9999, 899},         // 9 * 10^6 - 1: the last with three limbs a step
        {0, 900},            // 9 * 10^6: the first with two
    };
    for (const Vec& b : edges) {
        for (size_t m : {3u, 4u, 5u, 9u, 40u, 301u}) {
            if (m < b.size()) continue;
            check(Vec(m, 9999), b);
            Vec a = RandomVec(rng, m);
            check(a, b);
        }
    }
    for (int round = 0; round < 3000; ++round) {
        const size_t n = 2 + rng() % 2, m = n + rng() % 60;
        check(RandomVec(rng, m), RandomVec(rng, n));
    }
    // Any divisor of 32 bits through DivSmall, every length modulo 3 (the top limbs that
    // make no whole step), against a plain limb-by-limb division.
    for (uint32_t d : {1u, 2u, 7u, 9999u, 10000u, 8999999u, 9000000u, 99999999u, 4294967295u}) {
        for (size_t m = 0; m <= 10; ++m) {
            for (const Vec& a : {Vec(m, 9999), RandomVec(rng, m + 1)}) {
                Vec q(a.size()), want(a.size());
                uint64_t rem = 0;
                for (size_t i = a.size(); i-- > 0;) {
                    const uint64_t t = rem * 10000 + a[i];
                    want[i] = static_cast<Limb>(t / d);
                    rem = t % d;
                }
                EXPECT_EQ(tabai_kernels::DivSmall(a.data(), a.size(), d, q.data()), rem) << d << ", " << a.size();
                EXPECT_EQ(q, want) << d << ", " << a.size();
            }
        }
    }
}

TEST(TSeisuKernels, KaratsubaMatchesSchoolbook) {
    std::mt19937_64 rng(1);
    for (int round = 0; round < 60; ++round) {
        const size_t na = 1 + rng() % 1500, nb = 1 + rng() % 1500;
        const Vec a = RandomVec(rng, na), b = RandomVec(rng, nb);
        Vec k(na + nb);
        tabai_kernels::MulKaratsuba(a.data(), na, b.data(), nb, k.data());
        EXPECT_EQ(k, SchoolProduct(a, b)) << na << " x " << nb;
    }
}

TEST(TSeisuKernels, KaratsubaWithLowThresholdMatchesSchoolbook) {
    // A low threshold sends small sizes through every branch of the recursion.
    const ScopedTuning low(Tuned([](auto& t) { t.karatsuba = 2; }));
    std::mt19937_64 rng(2);
    for (int round = 0; round < 3000; ++round) {
        const size_t na = 1 + rng() % 24, nb = 1 + rng() % 24;
        const Vec a = RandomVec(rng, na), b = RandomVec(rng, nb);
        Vec k(na + nb), s(2 * na);
        tabai_kernels::MulKaratsuba(a.data(), na, b.data(), nb, k.data());
        EXPECT_EQ(k, SchoolProduct(a, b)) << na << " x " << nb;
        tabai_kernels::Sqr(a.data(), na, s.data());
        EXPECT_EQ(s, SchoolProduct(a, a)) << na << " squared";
    }
}

TEST(TSeisuKernels, NttMatchesSchoolbook) {
    std::mt19937_64 rng(3);
    for (int round = 0; round < 40; ++round) {
        const size_t na = 1 + rng() % 3000, nb = round % 3 == 0 ? na : 1 + rng() % 3000;
        const Vec a = RandomVec(rng, na), b = RandomVec(rng, nb);
        Vec t(na + nb), s(2 * na);
        tabai_kernels::MulNtt(a.data(), na, b.data(), nb, t.data());
        EXPECT_EQ(t, SchoolProduct(a, b)) << na << " x " << nb;
        tabai_kernels::SqrNtt(a.data(), na, s.data());
        EXPECT_EQ(s, SchoolProduct(a, a)) << na << " squared";
    }
    // All nines: the largest coefficients and the longest carries.
    const Vec nines(20000, 9999);
    Vec t(40000);
    tabai_kernels::SqrNtt(nines.data(), nines.size(), t.data());
    EXPECT_EQ(t, SchoolProduct(nines, nines));
}

TEST(TSeisuKernels, FloatingTransformMatchesModularOne) {
    // The double-precision transform against the number-theoretic one: both shapes (2^k
    // and 3 * 2^k points), lengths from a few limbs to the largest it accepts, and all
    // nines there (the largest coefficients, where rounding errors are largest).
    std::mt19937_64 rng(21);
    size_t largest = 1;
    while (tabai_kernels::FftFits(largest + 1, largest + 1)) ++largest;
    ASSERT_GT(largest, 10000u);
    ASSERT_FALSE(tabai_kernels::FftFits(largest + 1, largest + 1));
    std::vector<std::pair<size_t, size_t>> sizes = {{1, 1}, {3, 5}, {7, 9}, {12, 13}, {700, 700}, {3000, 72},
                                                    {2048, 1025}, {6000, 6000}, {largest, largest},
                                                    {2 * largest - 1, 1}};
    for (int round = 0; round < 30; ++round) sizes.emplace_back(1 + rng() % 5000, 1 + rng() % 5000);
    for (auto [na, nb] : sizes) {
        ASSERT_TRUE(tabai_kernels::FftFits(na, nb)) << na << " x " << nb;
        const Vec a = RandomVec(rng, na), b = RandomVec(rng, nb);
        Vec f(na + nb), t(na + nb);
        tabai_kernels::MulFft(a.data(), na, b.data(), nb, f.data());
        tabai_kernels::MulNtt(a.data(), na, b.data(), nb, t.data());
        EXPECT_EQ(f, t) << na << " x " << nb;
        if (na == nb) {
            tabai_kernels::SqrFft(a.data(), na, f.data());
            tabai_kernels::SqrNtt(a.data(), na, t.data());
            EXPECT_EQ(f, t) << na << " squared";
        }
    }
    // The fullest transforms of both shapes: 3 * 2^16 points at the largest size, 2^15 at
    // 32,768 limbs a factor.
    for (size_t n : {largest, largest - 3000, size_t{32768}}) {
        const Vec nines(n, 9999);
        Vec f(2 * n), t(2 * n);
        tabai_kernels::SqrFft(nines.data(), n, f.data());
        tabai_kernels::SqrNtt(nines.data(), n, t.data());
        EXPECT_EQ(f, t) << n << " nines squared";
    }
    // Mul and Sqr choose between the quadratic method, this transform and the modular one
    // by size: around each threshold, and just past the largest floating product.
    const size_t mt = tabai_kernels::CurrentTuning().ntt, st = tabai_kernels::CurrentTuning().sqrNtt;
    for (auto [na, nb] : std::vector<std::pair<size_t, size_t>>{{mt - 1, 3 * mt}, {mt, 2 * mt - 1},
                                                               {mt, 2 * mt}, {3 * mt / 2, 3 * mt / 2},
                                                               {st - 1, st - 1}, {st, st}, {st + 1, st + 1},
                                                               {largest, largest + 2}}) {
        const Vec a = RandomVec(rng, na), b = RandomVec(rng, nb);
        Vec m(na + nb), s(2 * na);
        tabai_kernels::Mul(a.data(), na, b.data(), nb, m.data());
        EXPECT_EQ(m, WordProduct(a, b)) << na << " x " << nb;
        tabai_kernels::Sqr(a.data(), na, s.data());
        EXPECT_EQ(s, WordProduct(a, a)) << na << " squared";
    }
}

TEST(TSeisuKernels, FloatingTransformTablesAreRoundedRoots) {
    // The twiddles are built from products of coarser and finer roots (not a sine and a
    // cosine each); every entry of every table a transform uses must still be the exact
    // root within a unit of the last place, as the rounding bound assumes (2^-52): both
    // shapes, from below the size that switches to the products to the largest tables;
    // the halves of the levels turned from the other half, and the join's twiddles as the
    // pointwise step reads them, position by position.
    for (size_t points : {size_t{8}, size_t{96}, size_t{300}, size_t{1024}, size_t{3} << 10, size_t{5000},
                          size_t{1} << 14, size_t{3} << 14, size_t{1} << 16, size_t{3} << 16, size_t{1} << 18}) {
        EXPECT_LE(tabai_kernels::FftTwiddleError(points), 0x1p-53) << points;
    }
}

TEST(TSeisuKernels, FloatingTransformPumpsAndCancels) {
    // The pump runs between the pieces of every step, so a cancellation at any call comes
    // out as the pump's exception (and the calls are frequent enough to matter).
    std::mt19937_64 rng(23);
    const size_t n = 20000;
    ASSERT_TRUE(tabai_kernels::FftFits(n, n));
    const Vec a = RandomVec(rng, n), b = RandomVec(rng, n);
    Vec out(2 * n), want(2 * n);
    tabai_kernels::MulNtt(a.data(), n, b.data(), n, want.data());
    struct Probe {
        int calls = 0, throwAt = -1;
        static void Handler(void* context) {
            auto* self = static_cast<Probe*>(context);
            if (++self->calls == self->throwAt) throw std::runtime_error("cancelled");
        }
    };
    Probe counter;
    {
        pump::Scope scope(&Probe::Handler, &counter);
        tabai_kernels::MulFft(a.data(), n, b.data(), n, out.data());
    }
    EXPECT_EQ(out, want);
    ASSERT_GE(counter.calls, 30);
    for (int at : {1, counter.calls / 3, counter.calls / 2, counter.calls}) {
        Probe probe;
        probe.throwAt = at;
        pump::Scope scope(&Probe::Handler, &probe);
        EXPECT_THROW(tabai_kernels::MulFft(a.data(), n, b.data(), n, out.data()), std::runtime_error) << at;
        EXPECT_EQ(probe.calls, at);
    }
}

TEST(TSeisuKernels, CyclicProductsMatchFoldedSchoolbook) {
    // a * b mod (10000^L - 1), as the division's remainders take it, by both transforms
    // (whichever CyclicLength picks, and the floating one directly) against the whole
    // product folded; factors up to the whole length, so that the product wraps around.
    std::mt19937_64 rng(22);
    size_t longest = 9000;  // the longest cyclic length the floating transform holds
    while (tabai_kernels::FftCyclicFits(longest + 1)) ++longest;
    for (size_t minLen : {size_t{5}, size_t{100}, size_t{777}, size_t{3000}, size_t{5000}, size_t{9000}, longest}) {
        for (int round = 0; round < 4; ++round) {
            const size_t len = tabai_kernels::CyclicLength(minLen);
            ASSERT_GE(len, minLen);
            const size_t na = round == 0 ? len : 1 + rng() % len, nb = round < 2 ? len : 1 + rng() % len;
            Vec a = RandomVec(rng, na), b = RandomVec(rng, nb);
            if (round == 1) std::fill(a.begin(), a.end(), Limb{9999});
            const Vec whole = WordProduct(a, b);
            const Vec expected = FoldCyclic(whole, len);
            Vec out(len);
            ASSERT_EQ(tabai_kernels::MulCyclic(a.data(), na, b.data(), nb, minLen, out.data()), len);
            EXPECT_EQ(FoldCyclic(out, len), expected) << minLen << ": " << na << " x " << nb;
            ASSERT_TRUE(tabai_kernels::FftCyclicFits(minLen));
            const size_t flen = tabai_kernels::FftCyclicLength(minLen);
            const Vec fexpected = FoldCyclic(whole, flen);
            Vec fout(flen);
            if (na <= flen && nb <= flen) {
                ASSERT_EQ(tabai_kernels::MulFftCyclic(a.data(), na, b.data(), nb, minLen, fout.data()), flen);
                EXPECT_EQ(FoldCyclic(fout, flen), fexpected) << minLen << ": " << na << " x " << nb;
            }
        }
    }
}

TEST(TSeisuKernels, TransformsOnTwoThreadsMatchOne) {
    // From 2^14 points the transforms are cut into tasks for two threads; both shapes
    // (2^k and 3 * 2^k points) against one thread, and a square against the schoolbook.
    std::mt19937_64 rng(15);
    const ScopedTuning two(Tuned([](auto& t) { t.nttParallel = true; }));
    for (auto [na, nb] : {std::pair<size_t, size_t>{16000, 16000}, {21000, 17000}, {40000, 9000}}) {
        const Vec a = RandomVec(rng, na), b = RandomVec(rng, nb);
        Vec onOne(na + nb), onTwo(na + nb);
        {
            const ScopedTuning one(Tuned([](auto& t) { t.nttParallel = false; }));
            tabai_kernels::MulNtt(a.data(), na, b.data(), nb, onOne.data());
        }
        tabai_kernels::MulNtt(a.data(), na, b.data(), nb, onTwo.data());
        EXPECT_EQ(onOne, onTwo) << na << " x " << nb;
    }
    const Vec a = RandomVec(rng, 16000);
    Vec sq(32000);
    tabai_kernels::SqrNtt(a.data(), a.size(), sq.data());
    EXPECT_EQ(sq, SchoolProduct(a, a));
}

TEST(TSeisuKernels, PairsOfProductsMatchSchoolbook) {
    // x1 y1 +- x2 y2 through shared transforms against the schoolbook: every sign, very
    // different lengths, results that cancel to zero or come out negative, and lengths
    // from one limb to past the threshold of two threads.
    std::mt19937_64 rng(18);
    // Signed value as (magnitude, negative) from schoolbook products.
    auto reference = [](const Vec& x1, bool n1, const Vec& y1, bool n2, const Vec& x2, bool n3, const Vec& y2,
                        bool n4) {
        Vec p = SchoolProduct(x1, y1), q = SchoolProduct(x2, y2);
        p.resize(tabai_kernels::Trim(p.data(), p.size()));
        q.resize(tabai_kernels::Trim(q.data(), q.size()));
        const bool sp = n1 != n2, sq = n3 != n4;
        auto less = [](const Vec& a, const Vec& b) {
            if (a.size() != b.size()) return a.size() < b.size();
            return tabai_kernels::CompareN(a.data(), b.data(), a.size()) < 0;
        };
        auto sub = [](Vec a, const Vec& b) {  // a - b, a >= b
            int32_t borrow = 0;
            for (size_t i = 0; i < a.size(); ++i) {
                int32_t v = a[i] - (i < b.size() ? b[i] : 0) - borrow;
                borrow = v < 0;
                a[i] = static_cast<Limb>(borrow ? v + 10000 : v);
            }
            a.resize(tabai_kernels::Trim(a.data(), a.size()));
            return a;
        };
        if (sp == sq) return std::make_pair(AddVec(p, q), sp && !(p.empty() && q.empty()));
        if (less(p, q)) return std::make_pair(sub(q, p), sq);
        Vec d = sub(p, q);
        return std::make_pair(d, sp && !d.empty());
    };
    const std::pair<size_t, size_t> sizes[] = {{1, 1}, {2, 3}, {50, 7}, {400, 380}, {1500, 20}, {3000, 2900},
                                               {9000, 4000}};
    for (auto mulPairs : {&tabai_kernels::MulPairs, &tabai_kernels::MulPairsFft}) {
        for (const auto& [na, nb] : sizes) {
            for (int round = 0; round < (na > 2000 ? 2 : 6); ++round) {
                const Vec x1 = RandomVec(rng, na), y1 = RandomVec(rng, nb);
                Vec x2 = RandomVec(rng, nb), y2 = RandomVec(rng, 1 + rng() % na);
                const bool n1 = rng() & 1, n2 = rng() & 1, n3 = rng() & 1;
                bool n4 = rng() & 1;
                if (round == 0) {
                    x2 = y1;  // x1 y1 - y1 x1 = 0
                    y2 = x1;
                    n4 = !(n1 != n2) != n3;
                }
                const tabai_kernels::SignedSpan in[] = {{x1.data(), x1.size(), n1},
                                                        {y1.data(), y1.size(), n2},
                                                        {x2.data(), x2.size(), n3},
                                                        {y2.data(), y2.size(), n4}};
                const tabai_kernels::ProductPair pairs[] = {{0, 1, 2, 3}, {2, 3, 0, 1}, {0, 0, 1, 1}};
                Vec mag[3];
                bool neg[3];
                if (mulPairs == &tabai_kernels::MulPairsFft) {
                    ASSERT_TRUE(tabai_kernels::FftPairsFit(in, pairs, 3));
                }
                mulPairs(in, 4, pairs, 3, mag, neg);
                const auto want = reference(x1, n1, y1, n2, x2, n3, y2, n4);
                EXPECT_EQ(mag[0], want.first) << na << ", " << nb << ", round " << round;
                EXPECT_EQ(neg[0], want.second) << na << ", " << nb << ", round " << round;
                EXPECT_EQ(mag[1], want.first);
                EXPECT_EQ(neg[1], want.second);
                if (round == 0) {
                    EXPECT_TRUE(mag[0].empty() && !neg[0]);
                }
                const auto squares = reference(x1, n1, x1, n1, y1, n2, y1, n2);
                EXPECT_EQ(mag[2], squares.first);
                EXPECT_FALSE(neg[2]);
            }
        }
    }
}

TEST(TSeisuKernels, PairsOfProductsOnTwoThreads) {
    // From 2^14 points the transforms of the pairs run on two threads: the same as on one,
    // and the difference of two long products as the whole products give it.
    std::mt19937_64 rng(20);
    const Vec x1 = RandomVec(rng, 20000), y1 = RandomVec(rng, 14000), x2 = RandomVec(rng, 19000),
              y2 = RandomVec(rng, 15000);
    const tabai_kernels::SignedSpan in[] = {{x1.data(), x1.size(), false},
                                            {y1.data(), y1.size(), false},
                                            {x2.data(), x2.size(), true},
                                            {y2.data(), y2.size(), false}};
    const tabai_kernels::ProductPair pairs[] = {{0, 1, 2, 3}};
    Vec one, two;
    bool negOne = false, negTwo = false;
    {
        const ScopedTuning single(Tuned([](auto& t) { t.nttParallel = false; }));
        tabai_kernels::MulPairs(in, 4, pairs, 1, &one, &negOne);
    }
    {
        const ScopedTuning both(Tuned([](auto& t) { t.nttParallel = true; }));
        tabai_kernels::MulPairs(in, 4, pairs, 1, &two, &negTwo);
    }
    EXPECT_EQ(one, two);
    EXPECT_EQ(negOne, negTwo);
    // x1 y1 + (-x2) y2 = x1 y1 - x2 y2.
    Vec p(x1.size() + y1.size()), q(x2.size() + y2.size());
    tabai_kernels::Mul(x1.data(), x1.size(), y1.data(), y1.size(), p.data());
    tabai_kernels::Mul(x2.data(), x2.size(), y2.data(), y2.size(), q.data());
    p.resize(tabai_kernels::Trim(p.data(), p.size()));
    q.resize(tabai_kernels::Trim(q.data(), q.size()));
    const bool pSmaller =
        p.size() != q.size() ? p.size() < q.size() : tabai_kernels::CompareN(p.data(), q.data(), p.size()) < 0;
    Vec big = pSmaller ? q : p;
    const Vec& little = pSmaller ? p : q;
    int32_t borrow = 0;
    for (size_t i = 0; i < big.size(); ++i) {
        const int32_t v = big[i] - (i < little.size() ? little[i] : 0) - borrow;
        borrow = v < 0;
        big[i] = static_cast<Limb>(borrow ? v + 10000 : v);
    }
    big.resize(tabai_kernels::Trim(big.data(), big.size()));
    EXPECT_EQ(two, big);
    EXPECT_EQ(negTwo, pSmaller);
}

TEST(TSeisuKernels, LargeProductsAgreeAcrossMethods) {
    std::mt19937_64 rng(4);
    for (size_t n : {5000u, 20000u}) {
        const Vec a = RandomVec(rng, n), b = RandomVec(rng, n - 77);
        Vec k(2 * n - 77), t(2 * n - 77);
        tabai_kernels::MulKaratsuba(a.data(), n, b.data(), n - 77, k.data());
        tabai_kernels::Mul(a.data(), n, b.data(), n - 77, t.data());
        EXPECT_EQ(k, t) << n;
    }
}

TEST(TSeisuKernels, DivisionOnWordsMatchesLongDivision) {
    // The long division on 8-digit words with delayed carries against the one on limbs, on
    // the edge cases (odd and even lengths are the shift by one limb) and more rows than run
    // between two full carries. Both the portable rows and the widest vector ones this
    // processor has.
    std::mt19937_64 rng(42);
    const auto check = CheckBasecase;
    for (const auto& [a, b] : DivisionEdgeCases(rng, {3u, 4u, 5u, 6u, 17u, 64u, 257u, 258u, 513u, 514u})) check(a, b);
    for (int round = 0; round < 500; ++round) {
        const size_t n = 3 + rng() % (round % 10 == 0 ? 700 : 60);
        const size_t m = n + rng() % (round % 3 == 0 ? 800 : 70);
        Vec a = RandomVec(rng, m), b = RandomVec(rng, n);
        if (b.back() == 0) b.back() = static_cast<Limb>(1 + rng() % 3);
        check(a, b);
    }
}

TEST(TSeisuKernels, ExactDivisionOnWordsMatchesColumns) {
    // a / b modulo 10000^len from the low end: rows on 8-digit words against the columns on
    // 16-digit ones, for any a (a quotient exists modulo 10000^len whenever b[0] is prime to
    // 10): odd and even lengths, len shorter and longer than a and b, more rows than run
    // between two full carries, all nines, divisors 1 and 10000^k + 1.
    std::mt19937_64 rng(43);
    auto check = [](const Vec& a, const Vec& b, size_t len) {
        Vec q1(len), q2(len);
        tabai_kernels::DivExactLow(a.data(), a.size(), b.data(), b.size(), len, q1.data());
        for (const bool wide : {false, true}) {
            const ScopedTuning scoped(Tuned([wide](auto& t) { t.wideVectors = wide; }));
            tabai_kernels::DivExactLowWords(a.data(), a.size(), b.data(), b.size(), len, q2.data());
            EXPECT_EQ(q1, q2) << a.size() << " / " << b.size() << ", " << len << (wide ? ", wide" : "");
        }
    };
    for (size_t n : {1u, 2u, 3u, 7u, 64u, 257u, 258u, 600u}) {
        check(Vec(2 * n, 9999), Vec(n, 9999), 2 * n);
        check(Vec(2 * n + 1, 9999), Vec(n, 9999), n + 1);
        check(Vec(n, 9999), Vec{1}, n);
        Vec one(n + 1, 0);
        one[0] = one[n] = 1;
        check(Vec(3 * n, 9999), one, 3 * n);
        const Vec q = RandomVec(rng, n + 5);
        Vec b = RandomVec(rng, n);
        b[0] = 9999;
        check(SchoolProduct(q, b), b, n + 5);
    }
    for (int round = 0; round < 400; ++round) {
        const size_t na = 1 + rng() % (round % 10 == 0 ? 1500 : 80), nb = 1 + rng() % (round % 7 == 0 ? 700 : 60);
        const size_t len = 1 + rng() % (round % 5 == 0 ? 1500 : 90);
        const Vec a = RandomVec(rng, na);
        Vec b = RandomVec(rng, nb);
        b[0] = static_cast<Limb>((rng() % 5000) * 2 + 1);
        if (b[0] % 5 == 0) b[0] = static_cast<Limb>(b[0] + 2);
        check(a, b, len);
    }
}

TEST(TSeisuKernels, DivideAndConquerMatchesLongDivision) {
    // The recursive division against the long division on limbs, with thresholds that send
    // small operands down several levels (and one limb over them): the edge cases, a
    // quotient longer than the divisor (taken in blocks), shorter ones, random shapes.
    std::mt19937_64 rng(44);
    const auto cases = DivisionEdgeCases(rng, {6u, 7u, 9u, 10u, 33u, 64u, 65u, 300u});
    for (const size_t threshold : {2u, 5u, 6u, 32u, 33u}) {
        const ScopedTuning scoped(Tuned([threshold](auto& t) { t.divideConquer = threshold; }));
        for (const auto& [a, b] : cases) CheckDivision(a, b);
        for (int round = 0; round < 60; ++round) {
            const size_t n = 4 + rng() % (round % 6 == 0 ? 400 : 70);
            const size_t m = n + rng() % (round % 3 == 0 ? 3 * n : n + 2);
            Vec a = RandomVec(rng, m), b = RandomVec(rng, n);
            if (b.back() == 0) b.back() = static_cast<Limb>(1 + rng() % 3);
            if (round % 5 == 0) b.back() = static_cast<Limb>(4999 + round % 2);  // scaled by 1 and by 2
            CheckDivision(a, b);
        }
    }
}

TEST(TSeisuKernels, NewtonDivisionMatchesLongDivision) {
    std::mt19937_64 rng(5);
    {
        // Small sizes through the reciprocal code.
        const ScopedTuning low(Tuned([](auto& t) { t.newton = 8; }));
        for (int round = 0; round < 400; ++round) {
            const size_t n = 2 + rng() % 300, m = n + rng() % (rng() % 2 ? 40 : 700);
            CheckDivision(RandomVec(rng, m), RandomVec(rng, n));
        }
    }
    // Large, crossing the transform threshold: 2n by n, and a short quotient.
    for (size_t n : {4000u, 12000u}) {
        CheckDivision(RandomVec(rng, 2 * n + 3), RandomVec(rng, n));
        CheckDivision(RandomVec(rng, n + 500), RandomVec(rng, n));
    }
}

TEST(TSeisuKernels, DivisionWithTransformsAtSmallSizes) {
    // Low thresholds send small operands through the transforms, the cyclic products of the
    // division and the reciprocal's Newton steps, where the long division can check them.
    const ScopedTuning low(Tuned([](auto& t) {
        t.newton = 6;
        t.ntt = 4;
        t.shortProduct = 4;
    }));
    std::mt19937_64 rng(9);
    for (int round = 0; round < 300; ++round) {
        const size_t n = 2 + rng() % 200, m = n + rng() % (rng() % 2 ? 30 : 400);
        CheckDivision(RandomVec(rng, m), RandomVec(rng, n));
    }
}

TEST(TSeisuKernels, ExactDivisionMatchesLongDivision) {
    // a = q * b for random q and b through every path: a one-pass divisor, long division, a
    // quotient much shorter than the divisor, the reciprocal; divisors ending in zero limbs
    // and in limbs rich in 2 or 5 (their multiples modulo 10^12 are the closest).
    const size_t newton = tabai_kernels::CurrentTuning().newton;
    std::mt19937_64 rng(22);
    for (int round = 0; round < 600; ++round) {
        const ScopedTuning scoped(Tuned([&](auto& t) { t.newton = round % 2 ? 8 : newton; }));
        const size_t n = 1 + rng() % (round % 5 == 0 ? 400 : 60), ql = 1 + rng() % (round % 3 ? 60 : 400);
        Vec b = RandomVec(rng, n);
        if (round % 7 == 0) b.insert(b.begin(), 1 + rng() % 3, Limb{0});
        if (round % 7 == 1) {
            const Vec low = round % 2 ? Vec{3888, 5581, 5497} : Vec{3125, 3945, 7629};  // 2^39, 5^17
            std::copy(low.begin(), low.begin() + static_cast<std::ptrdiff_t>(std::min(low.size(), b.size() - 1)),
                      b.begin());
        }
        Vec q = RandomVec(rng, ql);
        Vec a = SchoolProduct(q, b);
        a.resize(tabai_kernels::Trim(a.data(), a.size()));
        Vec got(a.size() - b.size() + 1);
        tabai_kernels::DivExact(a.data(), a.size(), b.data(), b.size(), got.data());
        got.resize(tabai_kernels::Trim(got.data(), got.size()));
        EXPECT_EQ(got, q) << a.size() << " / " << b.size();
    }
    // Large, with transforms: a quotient as long as the divisor, and a short one.
    for (const auto& [nq, nb] : {std::pair<size_t, size_t>{6000, 5000}, {300, 9000}}) {
        const Vec q = RandomVec(rng, nq), b = RandomVec(rng, nb);
        Vec a(nq + nb), got(nq + 1);
        tabai_kernels::Mul(q.data(), nq, b.data(), nb, a.data());
        const size_t na = tabai_kernels::Trim(a.data(), a.size());
        got.resize(na - nb + 1);
        tabai_kernels::DivExact(a.data(), na, b.data(), nb, got.data());
        got.resize(tabai_kernels::Trim(got.data(), got.size()));
        EXPECT_EQ(got, q) << nq << " x " << nb;
    }
}

TEST(TSeisuKernels, ExactDivisionFromTheLowEndMatchesFromTheTop) {
    // The low-end (Hensel) quotient, and the one split between both ends, against the
    // top-down one (thresholds 0) as the oracle, by the divisor's low limbs: prime to 10,
    // rich in 2 or 5 (cleared a limb at a time), so rich that clearing gives up (2^100,
    // 5^60), zero limbs after clearing, all 9999; quotient and divisor from one limb (the
    // low-end path starts at four divisor limbs) to either side of the thresholds.
    const std::vector<Vec> lows = {{},
                                   {1},
                                   {9999, 9999, 9999, 9999, 9999},
                                   {2},
                                   {5},
                                   {16},
                                   {625},
                                   {6250},
                                   {1250, 0, 0},
                                   {2000, 0, 0, 5},
                                   Power(2, 39),
                                   Power(5, 17),
                                   Power(2, 100),
                                   Power(5, 60)};
    const size_t split = tabai_kernels::CurrentTuning().exactSplit;
    std::mt19937_64 rng(41);
    int round = 0;
    for (const Vec& low : lows) {
        for (const auto& [nq, nb] : {std::pair<size_t, size_t>{1, 4}, {1, 90}, {2, 5}, {90, 4}, {37, 41},
                                     {300, 200}, {700, 7}, {2990, 3050}, {3100, 3050}}) {
            Vec q = RandomVec(rng, nq), b = RandomVec(rng, nb);
            if (++round % 3 == 0) std::fill(q.begin(), q.end(), Limb{9999});
            const bool whole = low.size() >= nb;  // the divisor is all of `low`, then 9999s
            std::copy(low.begin(), low.begin() + static_cast<std::ptrdiff_t>(std::min(low.size(), nb)), b.begin());
            if (whole) b.back() = 9999;
            Vec a(nq + nb);
            tabai_kernels::Mul(q.data(), nq, b.data(), nb, a.data());
            const size_t na = tabai_kernels::Trim(a.data(), a.size());
            Vec low1(na - nb + 1), top(na - nb + 1);
            // Every other round splits the quotient between both ends from 8 limbs on.
            const ScopedTuning scoped(Tuned([&](auto& t) { t.exactSplit = round % 2 ? 8 : split; }));
            tabai_kernels::DivExact(a.data(), na, b.data(), nb, low1.data());
            {
                const ScopedTuning fromTop(Tuned([](auto& t) { t.hensel = 0; }));
                tabai_kernels::DivExact(a.data(), na, b.data(), nb, top.data());
            }
            EXPECT_EQ(low1, top) << round << ": " << nq << " x " << nb;
            q.resize(na - nb + 1, 0);
            EXPECT_EQ(low1, q) << round;
            // Not a divisor: any quotient, but made of valid limbs.
            a[0] = static_cast<Limb>((a[0] + 1) % 10000);
            tabai_kernels::DivExact(a.data(), na, b.data(), nb, low1.data());
            EXPECT_TRUE(std::all_of(low1.begin(), low1.end(), [](Limb v) { return v < 10000; })) << round;
        }
    }
}

TEST(TSeisuKernels, DivisionIdentityAtLargeSizes) {
    // q * b + r = a and r < b through the public operations, with the fast paths.
    std::mt19937_64 rng(6);
    for (size_t n : {3000u, 20000u}) {
        Vec av = RandomVec(rng, 2 * n), bv = RandomVec(rng, n);
        std::string as, bs;
        for (size_t i = av.size(); i-- > 0;) as += std::to_string(10000 + av[i]).substr(1);
        for (size_t i = bv.size(); i-- > 0;) bs += std::to_string(10000 + bv[i]).substr(1);
        TSeisu a, b, q, r, back;
        StringStream sa(as + ";"), sb(bs + ";");
        a.ReadFrom(sa);
        b.ReadFrom(sb);
        q.DivMod(a, b, r);
        EXPECT_EQ(r.Compare(b), 2);
        back.Mul(q, b);
        back.Add(r);
        EXPECT_EQ(back.Compare(a), 1);
    }
}

Vec EuclidGcd(Vec x, Vec y) {
    x.resize(tabai_kernels::Trim(x.data(), x.size()));
    y.resize(tabai_kernels::Trim(y.data(), y.size()));
    while (!y.empty()) {
        if (x.size() < y.size() ||
            (x.size() == y.size() && tabai_kernels::CompareN(x.data(), y.data(), x.size()) < 0)) {
            std::swap(x, y);
            continue;
        }
        Vec q(x.size() - y.size() + 1), r(y.size());
        tabai_kernels::Div(x.data(), x.size(), y.data(), y.size(), q.data(), r.data());
        r.resize(tabai_kernels::Trim(r.data(), r.size()));
        x = std::move(y);
        y = std::move(r);
    }
    return x;
}

TEST(TSeisuKernels, LehmerGcdMatchesEuclid) {
    std::mt19937_64 rng(7);
    for (int round = 0; round < 300; ++round) {
        const Vec g = RandomVec(rng, 1 + rng() % 30);
        const Vec a = RandomVec(rng, 1 + rng() % 250), b = RandomVec(rng, 1 + rng() % 250);
        const Vec ag = SchoolProduct(a, g), bg = SchoolProduct(b, g);
        EXPECT_EQ(tabai_kernels::Gcd(ag, bg), EuclidGcd(ag, bg));
    }
    const Vec a = RandomVec(rng, 3000), b = RandomVec(rng, 2990), g = RandomVec(rng, 500);
    const Vec ag = SchoolProduct(a, g), bg = SchoolProduct(b, g);
    EXPECT_EQ(tabai_kernels::Gcd(ag, bg), EuclidGcd(ag, bg));
}

TEST(TSeisuKernels, HalfGcdMatchesEuclid) {
    // A low threshold runs the half-gcd recursion on small numbers.
    std::mt19937_64 rng(10);
    {
        const ScopedTuning low(Tuned([](auto& t) { t.halfGcd = 6; }));
        for (int round = 0; round < 300; ++round) {
            const Vec g = RandomVec(rng, 1 + rng() % 40);
            const Vec a = RandomVec(rng, 1 + rng() % 300), b = RandomVec(rng, 1 + rng() % 300);
            const Vec ag = SchoolProduct(a, g), bg = SchoolProduct(b, g);
            EXPECT_EQ(tabai_kernels::Gcd(ag, bg), EuclidGcd(ag, bg));
        }
    }
    // Large enough for the real threshold: a known common factor.
    const Vec a = RandomVec(rng, 9000), b = RandomVec(rng, 9000), g = RandomVec(rng, 1500);
    Vec ag(a.size() + g.size()), bg(b.size() + g.size());
    tabai_kernels::Mul(a.data(), a.size(), g.data(), g.size(), ag.data());
    tabai_kernels::Mul(b.data(), b.size(), g.data(), g.size(), bg.data());
    const Vec got = tabai_kernels::Gcd(ag, bg);
    // g divides the gcd, and the gcd divided by g divides both cofactors' gcd.
    Vec q(got.size() + 1), r(g.size());
    ASSERT_GE(got.size(), g.size());
    tabai_kernels::Div(got.data(), got.size(), g.data(), g.size(), q.data(), r.data());
    EXPECT_EQ(tabai_kernels::Trim(r.data(), r.size()), 0u);
    const Vec h = tabai_kernels::Gcd(a, b);
    q.resize(tabai_kernels::Trim(q.data(), q.size()));
    EXPECT_EQ(q, h);
}

TEST(TSeisuKernels, HalfGcdOnHostileInputs) {
    // Inputs that stress the matrices: consecutive Fibonacci numbers (every quotient 1,
    // the largest cofactors), a huge quotient (b far shorter than a, or a = k b + 1),
    // equal numbers, one dividing the other, and runs of nines and zeros. Half-gcd at a
    // low threshold and at the real one, both against Euclid.
    std::mt19937_64 rng(17);
    std::vector<std::pair<Vec, Vec>> cases;
    Vec f0{1}, f1{1};
    while (f1.size() < 650) {
        Vec f2 = AddVec(f0, f1);
        f0 = std::move(f1);
        f1 = std::move(f2);
    }
    cases.push_back({f1, f0});
    const Vec b = RandomVec(rng, 700), k = RandomVec(rng, 650);
    Vec kb = SchoolProduct(k, b);
    kb.resize(tabai_kernels::Trim(kb.data(), kb.size()));
    cases.push_back({AddVec(kb, Vec{1}), b});  // a = k b + 1: one huge quotient
    cases.push_back({kb, b});               // b divides a
    cases.push_back({RandomVec(rng, 1300), RandomVec(rng, 3)});
    cases.push_back({b, b});
    cases.push_back({Vec(1300, 9999), Vec(1299, 9999)});  // 10^5200 - 1 and 10^5196 - 1
    Vec tenPower(1301, 0);
    tenPower[1300] = 1;
    cases.push_back({tenPower, Vec(1300, 9999)});
    std::vector<Vec> expected;
    for (const auto& [x, y] : cases) expected.push_back(EuclidGcd(x, y));
    for (size_t threshold : {size_t{6}, tabai_kernels::CurrentTuning().halfGcd}) {
        const ScopedTuning scoped(Tuned([&](auto& t) { t.halfGcd = threshold; }));
        for (size_t i = 0; i < cases.size(); ++i) {
            const auto& [x, y] = cases[i];
            EXPECT_EQ(tabai_kernels::Gcd(x, y), expected[i]) << "case " << i << ", threshold " << threshold;
            EXPECT_EQ(tabai_kernels::Gcd(y, x), expected[i]) << "case " << i << ", threshold " << threshold;
        }
    }
}

TEST(TSeisuKernels, LehmerOnWordsMatchesLehmerOnLimbs) {
    // Lehmer's passes on packed words (the leading 37 digits, cofactors to 10^18, or two or
    // three such rounds a pass, cofactors to 10^36 or 10^54; in vectors and in the portable
    // loop) against
    // the passes on limbs, for the plain driver
    // and inside the half-gcd (whose matrices the passes also build): random pairs with a
    // common factor, odd and even lengths and every length modulo a vector of 8 words,
    // runs of nines, powers of 2, 5 and of the base, consecutive Fibonacci numbers (every
    // quotient 1, the largest cofactors), one number far shorter than the other or a
    // multiple of it, equal numbers, and lengths one limb over the thresholds.
    std::mt19937_64 rng(31);
    auto power = [](uint32_t base, size_t exponent) {
        Vec v{1};
        for (size_t i = 0; i < exponent; ++i) v = SchoolProduct(v, Vec{static_cast<Limb>(base)});
        v.resize(tabai_kernels::Trim(v.data(), v.size()));
        return v;
    };
    std::vector<std::pair<Vec, Vec>> cases;
    for (int round = 0; round < 60; ++round) {
        const Vec g = RandomVec(rng, 1 + rng() % 50);
        const Vec a = RandomVec(rng, 1 + rng() % 400), b = RandomVec(rng, 1 + rng() % 400);
        cases.push_back({SchoolProduct(a, g), SchoolProduct(b, g)});
    }
    for (size_t limbs = 10; limbs < 50; ++limbs) cases.push_back({RandomVec(rng, limbs), RandomVec(rng, limbs - 1)});
    const Vec common = RandomVec(rng, 37);
    cases.push_back({SchoolProduct(power(2, 900), common), SchoolProduct(power(5, 700), common)});
    cases.push_back({SchoolProduct(power(10, 401), common), SchoolProduct(power(2, 1300), common)});
    const size_t tens = cases.size();
    cases.push_back({power(10000, 300), power(10000, 120)});
    cases.push_back({AddVec(power(10000, 300), Vec{1}), AddVec(power(10000, 150), Vec{1})});
    cases.push_back({Vec(333, 9999), Vec(332, 9999)});
    const size_t nines = cases.size();
    cases.push_back({Vec(333, 9999), SchoolProduct(Vec(111, 9999), common)});
    cases.push_back({RandomVec(rng, 801), RandomVec(rng, 5)});
    cases.push_back({SchoolProduct(RandomVec(rng, 300), common), common});
    cases.push_back({common, common});
    Vec f0{1}, f1{1};
    while (f1.size() < 400) {
        Vec f2 = AddVec(f0, f1);
        f0 = std::move(f1);
        f1 = std::move(f2);
    }
    const size_t fibonacci = cases.size();
    cases.push_back({f1, f0});
    cases.push_back({SchoolProduct(f1, common), SchoolProduct(f0, common)});
    const size_t halfGcd = tabai_kernels::CurrentTuning().halfGcd;
    cases.push_back({SchoolProduct(RandomVec(rng, halfGcd + 1 - 37), common),
                     SchoolProduct(RandomVec(rng, halfGcd + 1 - 37), common)});
    cases.push_back({RandomVec(rng, 501), RandomVec(rng, 501)});
    // Tops that decide little about the whole numbers, where a pass's later rounds (taken
    // on the top words) stop early: top B^k + low with tops that share a long factor
    // (their own Euclid ends within a few steps), equal tops, and consecutive Fibonacci
    // numbers (every quotient 1) on top of random low limbs.
    auto onTop = [&](const Vec& top, size_t k) {
        Vec v = RandomVec(rng, k);
        v.insert(v.end(), top.begin(), top.end());
        return v;
    };
    const Vec g = RandomVec(rng, 30), sameTop = RandomVec(rng, 40);
    for (const size_t k : {size_t{60}, size_t{300}, size_t{900}}) {
        cases.push_back({onTop(SchoolProduct(g, Vec{7}), k), onTop(SchoolProduct(g, Vec{3}), k)});
        cases.push_back({onTop(sameTop, k), onTop(sameTop, k)});
        cases.push_back({onTop(f1, k), onTop(f0, k)});
    }
    // Numbers of about 1,000 digits whose Euclid, after 35 to 50 digits of small
    // quotients, takes a quotient 1 and then one of 10^64: the rounds of a pass stop there
    // with the top words all but equal, and the pass after them meets the huge quotient.
    // Built from the continued fraction, last quotient first.
    for (const int smallFirst : {55, 65, 75}) {
        std::vector<Vec> quotients;
        for (int i = 0; i < smallFirst; ++i) quotients.push_back(Vec{static_cast<Limb>(1 + rng() % 9)});
        quotients.push_back(Vec{1});
        Vec huge(17, 0);
        huge.back() = 1;
        quotients.push_back(huge);
        for (int i = 0; i < 1400; ++i) quotients.push_back(Vec{static_cast<Limb>(1 + rng() % 9)});
        Vec a{1}, b{};
        for (size_t i = quotients.size(); i-- > 0;) {
            Vec next = AddVec(SchoolProduct(quotients[i], a), b);
            next.resize(tabai_kernels::Trim(next.data(), next.size()));
            b = std::move(a);
            a = std::move(next);
        }
        cases.push_back({a, b});
    }
    for (auto& [x, y] : cases) {
        x.resize(tabai_kernels::Trim(x.data(), x.size()));
        y.resize(tabai_kernels::Trim(y.data(), y.size()));
    }
    std::vector<Vec> expected;
    {
        const ScopedTuning limbs(Tuned([](auto& t) { t.gcdWords = false; }));
        for (const auto& [x, y] : cases) expected.push_back(tabai_kernels::Gcd(x, y));
    }
    for (size_t threshold : {size_t{6}, size_t{40}, halfGcd}) {
        for (bool wide : {true, false}) {
            for (size_t rounds : {size_t{1}, size_t{2}, size_t{3}}) {
                const ScopedTuning scoped(Tuned([&](auto& t) {
                    t.halfGcd = threshold;
                    t.wideVectors = wide;
                    t.gcdRounds = rounds;
                }));
                for (size_t i = 0; i < cases.size(); ++i) {
                    const auto& [x, y] = cases[i];
                    const std::string where = "case " + std::to_string(i) + ", threshold " + std::to_string(threshold) +
                                              ", wide " + (wide ? "1" : "0") + ", rounds " + std::to_string(rounds);
                    EXPECT_EQ(tabai_kernels::Gcd(x, y), expected[i]) << where;
                    EXPECT_EQ(tabai_kernels::Gcd(y, x), expected[i]) << where;
                }
            }
        }
    }
    // Checks on the reference itself: the common parts survive, powers of the base keep
    // the smaller, consecutive Fibonacci numbers are coprime.
    EXPECT_EQ(expected[nines], Vec(111, 9999));
    EXPECT_EQ(expected[tens], cases[tens].second);
    EXPECT_EQ(expected[fibonacci], Vec{1});
    EXPECT_EQ(expected[fibonacci + 1], common);
}

TEST(TSeisuKernels, SumOfTwoProductsOnWordsMatchesSeparateProducts) {
    // a1 b1 + a2 b2 with every sign combination, against the schoolbook products summed
    // as signed numbers: random lengths around the word size, all nines (the largest
    // columns and carries), empty factors, and sums that cancel to zero or to a short
    // number (equal products of opposite sign, products differing by one).
    std::mt19937_64 rng(43);
    struct Num {
        Vec mag;
        bool neg;
    };
    auto add = [](const Num& x, const Num& y) {
        // Signed sum by comparison and schoolbook addition or subtraction.
        auto less = [](const Vec& u, const Vec& v) {
            if (u.size() != v.size()) return u.size() < v.size();
            return tabai_kernels::CompareN(u.data(), v.data(), u.size()) < 0;
        };
        Num r;
        const Vec& big = less(x.mag, y.mag) ? y.mag : x.mag;
        const Vec& small = less(x.mag, y.mag) ? x.mag : y.mag;
        r.neg = less(x.mag, y.mag) ? y.neg : x.neg;
        r.mag.assign(big.size() + 1, 0);
        int carry = 0;
        const bool same = x.neg == y.neg;
        for (size_t i = 0; i < r.mag.size(); ++i) {
            int v = (i < big.size() ? big[i] : 0) + carry + (same ? 1 : -1) * (i < small.size() ? small[i] : 0);
            carry = v < 0 ? -1 : v >= 10000 ? 1 : 0;
            r.mag[i] = static_cast<Limb>(v - carry * 10000);
        }
        r.mag.resize(tabai_kernels::Trim(r.mag.data(), r.mag.size()));
        if (r.mag.empty()) r.neg = false;
        return r;
    };
    auto product = [](const Vec& x, const Vec& y) {
        if (x.empty() || y.empty()) return Vec{};
        Vec out = SchoolProduct(x, y);
        out.resize(tabai_kernels::Trim(out.data(), out.size()));
        return out;
    };
    std::vector<std::array<Vec, 4>> cases;
    for (int round = 0; round < 40; ++round) {
        std::array<Vec, 4> c;
        for (auto& v : c) {
            v = RandomVec(rng, 1 + rng() % 70);
            v.resize(tabai_kernels::Trim(v.data(), v.size()));
        }
        cases.push_back(c);
    }
    const Vec nines(61, 9999), x = RandomVec(rng, 33), y = RandomVec(rng, 17);
    cases.push_back({nines, nines, nines, Vec(58, 9999)});
    cases.push_back({nines, Vec{}, x, y});
    cases.push_back({Vec{}, Vec{}, Vec{}, Vec{}});
    cases.push_back({x, y, y, x});
    cases.push_back({x, y, Vec{1}, Vec{1}});
    for (const auto& c : cases) {
        for (int signs = 0; signs < 16; ++signs) {
            const Num a1{c[0], (signs & 1) != 0}, b1{c[1], (signs & 2) != 0};
            const Num a2{c[2], (signs & 4) != 0}, b2{c[3], (signs & 8) != 0};
            const Num p{product(a1.mag, b1.mag), !c[0].empty() && !c[1].empty() && a1.neg != b1.neg};
            const Num q{product(a2.mag, b2.mag), !c[2].empty() && !c[3].empty() && a2.neg != b2.neg};
            Num sum = add(p, q);
            if (sum.mag.empty()) sum.neg = false;
            Vec mag{7};
            auto span = [](const Num& v) {
                return tabai_kernels::SignedSpan{v.mag.data(), v.mag.size(), v.neg};
            };
            const bool neg = tabai_kernels::MulAddWords(span(a1), span(b1), span(a2), span(b2), mag);
            EXPECT_EQ(mag, sum.mag) << "signs " << signs;
            EXPECT_EQ(neg, sum.neg) << "signs " << signs;
        }
    }
}

TEST(TSeisuKernels, SmallGcdInSixtyFourBits) {
    std::mt19937_64 rng(8);
    for (int round = 0; round < 2000; ++round) {
        const uint64_t a = rng() % 10000000000000000ull, b = rng() % (round % 2 ? 1000000 : 10000000000000000ull);
        uint64_t x = a, y = b;
        while (y != 0) {
            const uint64_t t = x % y;
            x = y;
            y = t;
        }
        EXPECT_EQ(TSeisu::GcdSmall(a, b), x);
    }
}

TEST(TSeisuKernels, GcdIn128Bits) {
    using U = unsigned __int128;
    std::mt19937_64 rng(11);
    for (int round = 0; round < 3000; ++round) {
        const int shapes = round % 4;
        U a = (static_cast<U>(rng()) << 64 | rng()) >> (rng() % 16);
        U b = (static_cast<U>(rng()) << 64 | rng()) >> (rng() % 100);
        if (shapes == 1) b = a - 1;                    // consecutive: quotients of 1
        if (shapes == 2) b = static_cast<U>(rng());    // one word
        if (shapes == 3) {                             // a known common factor
            const U g = rng() % 1000000007 + 1;
            a = (a >> 40) * g;
            b = (b >> 40) * g;
        }
        U x = a, y = b;
        while (y != 0) {
            const U t = x % y;
            x = y;
            y = t;
        }
        EXPECT_TRUE(tabai_kernels::GcdU128(a, b) == x) << round;
    }
}

}  // namespace
