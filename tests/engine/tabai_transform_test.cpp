// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The floating transform on balanced digits at the sizes it newly holds, against the
// number-theoretic transform (itself checked against the schoolbook product) and the
// quadratic products.
#include <gtest/gtest.h>

#include <stdexcept>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "engine/pump.h"
#include "engine/tabai_kernels.h"
#include "tests/engine/kernels_helpers.h"

namespace {

using namespace nerova::kernels_test;

// The largest n with FftFits(n, n).
size_t LargestFloating() {
    size_t lo = 1, hi = size_t{1} << 22;  // FftFits(lo, lo), !FftFits(hi, hi)
    while (hi - lo > 1) {
        const size_t mid = (lo + hi) / 2;
        (tabai_kernels::FftFits(mid, mid) ? lo : hi) = mid;
    }
    return lo;
}

// Limbs whose balanced digits all have the largest size, 5000, with alternating signs
// (5000 lends, the 4999 above it takes the 1 back and becomes 5000): the largest
// coefficients a square can have.
Vec Extreme(size_t n) {
    Vec v(n);
    for (size_t i = 0; i < n; ++i) v[i] = i % 2 == 0 ? 5000 : 4999;
    return v;
}

// 10000^k (k + 1 limbs) and 10000^k - 1 (k limbs of 9999).
Vec PowerOfBase(size_t k) {
    Vec v(k + 1, 0);
    v[k] = 1;
    return v;
}

Vec MulFftOf(const Vec& a, const Vec& b) {
    Vec out(a.size() + b.size());
    tabai_kernels::MulFft(a.data(), a.size(), b.data(), b.size(), out.data());
    return out;
}

Vec MulNttOf(const Vec& a, const Vec& b) {
    Vec out(a.size() + b.size());
    tabai_kernels::MulNtt(a.data(), a.size(), b.data(), b.size(), out.data());
    return out;
}

TEST(TSeisuTransforms, BalancedDigitsHoldFourTimesLongerProducts) {
    // The bound with digits of size 5000 admits factors of more than 100,000 limbs (twice
    // the 36,000 of digits up to 9999, and more).
    const size_t largest = LargestFloating();
    EXPECT_GT(largest, size_t{100000});
    EXPECT_FALSE(tabai_kernels::FftFits(largest + 1, largest + 1));
    EXPECT_TRUE(tabai_kernels::FftFits(2 * largest - 1, 1));
}

TEST(TSeisuTransforms, FloatingProductsMatchModularAtTheLimit) {
    // The largest products the bound admits, with the largest digits (and all nines,
    // random limbs), products and squares, both transform shapes in range.
    std::mt19937_64 rng(31);
    const size_t largest = LargestFloating();
    std::vector<std::pair<Vec, Vec>> cases;
    cases.emplace_back(Extreme(largest), Extreme(largest));
    cases.emplace_back(Vec(largest, 9999), Vec(largest, 9999));
    cases.emplace_back(RandomVec(rng, largest), RandomVec(rng, largest - 1));
    cases.emplace_back(RandomVec(rng, 2 * largest - 2), RandomVec(rng, 1));
    // 3 * 2^15 points (96k-limb products) and 2^16 (just over): both shapes full.
    cases.emplace_back(Extreme(49152), Extreme(49152));
    cases.emplace_back(Extreme(49153), RandomVec(rng, 49152));
    for (const auto& [a, b] : cases) {
        ASSERT_TRUE(tabai_kernels::FftFits(a.size(), b.size())) << a.size() << " x " << b.size();
        EXPECT_EQ(MulFftOf(a, b), MulNttOf(a, b)) << a.size() << " x " << b.size();
        if (a.size() == b.size()) {
            Vec f(2 * a.size()), t(2 * a.size());
            tabai_kernels::SqrFft(a.data(), a.size(), f.data());
            tabai_kernels::SqrNtt(a.data(), a.size(), t.data());
            EXPECT_EQ(f, t) << a.size() << " squared";
        }
    }
}

TEST(TSeisuTransforms, BalancedDigitsAgainstQuadraticProducts) {
    // Every length mod 8 at small sizes, the powers of the base and one less, the
    // largest-digit pattern and unbalanced shapes, against the quadratic products: the
    // signed coefficients must carry back to the same limbs.
    std::mt19937_64 rng(32);
    std::vector<std::pair<Vec, Vec>> cases;
    for (size_t n = 1; n <= 24; ++n) cases.emplace_back(RandomVec(rng, n), RandomVec(rng, 1 + rng() % 24));
    for (size_t k : {size_t{1}, size_t{2}, size_t{7}, size_t{500}, size_t{4095}}) {
        cases.emplace_back(PowerOfBase(k), PowerOfBase(k));
        cases.emplace_back(Vec(k, 9999), PowerOfBase(k));
        cases.emplace_back(Vec(k, 9999), Vec(k + 3, 9999));
        cases.emplace_back(Extreme(k), Extreme(k + 1));
    }
    cases.emplace_back(Extreme(3000), Vec(2, 5000));
    cases.emplace_back(RandomVec(rng, 7000), Vec{5000});
    cases.emplace_back(Vec{4999, 5000, 4999}, Extreme(5001));
    for (const auto& [a, b] : cases) {
        ASSERT_TRUE(tabai_kernels::FftFits(a.size(), b.size()));
        EXPECT_EQ(MulFftOf(a, b), WordProduct(a, b)) << a.size() << " x " << b.size();
    }
}

TEST(TSeisuTransforms, CyclicProductsWithBalancedDigitsWrapBorrows) {
    // Cyclic products of factors the whole length long: the signed coefficients may sum
    // to a negative value, whose borrow out of the top comes back in at the bottom.
    // Factors whose top digit is small and whose low digits are all -5000 make it so.
    std::mt19937_64 rng(33);
    for (size_t minLen : {size_t{6}, size_t{64}, size_t{1000}, size_t{5000}}) {
        const size_t len = tabai_kernels::FftCyclicLength(minLen);
        ASSERT_TRUE(tabai_kernels::FftCyclicFits(minLen));
        Vec lows(len, 5000);
        lows[len - 1] = 0;
        Vec top(len, 0);
        top[len - 1] = 1;
        top[0] = 5000;
        const std::pair<Vec, Vec> cases[] = {{lows, lows}, {lows, top}, {Extreme(len), lows},
                                             {Vec(len, 9999), RandomVec(rng, len)},
                                             {RandomVec(rng, len), RandomVec(rng, len)}};
        for (const auto& [a, b] : cases) {
            Vec out(len);
            ASSERT_EQ(tabai_kernels::MulFftCyclic(a.data(), a.size(), b.data(), b.size(), minLen, out.data()), len);
            EXPECT_EQ(FoldCyclic(out, len), FoldCyclic(WordProduct(a, b), len)) << minLen;
        }
    }
}

TEST(TSeisuTransforms, MulChoosesEitherTransformAroundTheLimit) {
    // One limb either side of the largest product FftFits admits, through Mul and Sqr
    // (below it the floating transform, above it whichever the operands' norms allow):
    // the modular transform's limbs.
    std::mt19937_64 rng(34);
    const size_t largest = LargestFloating();
    for (size_t n : {largest, largest + 1}) {
        const Vec a = RandomVec(rng, n), b = RandomVec(rng, n);
        Vec m(2 * n), s(2 * n);
        tabai_kernels::Mul(a.data(), n, b.data(), n, m.data());
        EXPECT_EQ(m, MulNttOf(a, b)) << n;
        tabai_kernels::Sqr(a.data(), n, s.data());
        EXPECT_EQ(s, MulNttOf(a, a)) << n;
    }
}

TEST(TSeisuTransforms, OperandsOwnNormsAdmitLongerProducts) {
    // Factors of a million digits: random ones fit the bound taken with their own norms,
    // the worst ones (every digit 5000 in size) do not; Mul and Sqr give the modular
    // transform's limbs either way.
    std::mt19937_64 rng(35);
    const size_t n = 250000;
    ASSERT_FALSE(tabai_kernels::FftFits(n, n));
    Vec a = RandomVec(rng, n), b = RandomVec(rng, n);
    for (Limb& x : a) x = static_cast<Limb>(rng() % 10000);  // no runs of 9999 or 0
    for (Limb& x : b) x = static_cast<Limb>(rng() % 10000);
    a[n - 1] = b[n - 1] = 1234;
    EXPECT_TRUE(tabai_kernels::FftFitsOperands(a.data(), n, b.data(), n));
    EXPECT_TRUE(tabai_kernels::FftFitsOperands(a.data(), n, nullptr, n));
    const Vec worst = Extreme(n);
    EXPECT_FALSE(tabai_kernels::FftFitsOperands(worst.data(), n, worst.data(), n));
    EXPECT_FALSE(tabai_kernels::FftFitsOperands(worst.data(), n, nullptr, n));
    for (const auto& [x, y] : {std::pair<const Vec&, const Vec&>{a, b}, {worst, a}, {a, a}}) {
        Vec m(2 * n), s(2 * n);
        tabai_kernels::Mul(x.data(), n, y.data(), n, m.data());
        EXPECT_EQ(m, MulNttOf(x, y));
        tabai_kernels::Sqr(x.data(), n, s.data());
        EXPECT_EQ(s, MulNttOf(x, x));
    }
}

TEST(TSeisuTransforms, LargestNormTheBoundAdmits) {
    // The operands with the largest coefficients the bound still admits at a length past
    // FftFits: k extreme digits (the rest zero, the top limb 1), k the largest that fits;
    // their product and square through the floating transform against the modular one.
    const size_t n = 200000;
    ASSERT_FALSE(tabai_kernels::FftFits(n, n));
    auto operand = [n](size_t k) {
        Vec v = Extreme(k);
        v.resize(n, 0);
        v[n - 1] = 1;
        return v;
    };
    size_t lo = 1000, hi = n - 1;  // fits at lo, not at hi
    ASSERT_TRUE(tabai_kernels::FftFitsOperands(operand(lo).data(), n, nullptr, n));
    ASSERT_FALSE(tabai_kernels::FftFitsOperands(operand(hi).data(), n, nullptr, n));
    while (hi - lo > 1) {
        const size_t mid = (lo + hi) / 2;
        (tabai_kernels::FftFitsOperands(operand(mid).data(), n, nullptr, n) ? lo : hi) = mid;
    }
    const Vec x = operand(lo);
    Vec f(2 * n), t(2 * n);
    tabai_kernels::SqrFft(x.data(), n, f.data());
    tabai_kernels::SqrNtt(x.data(), n, t.data());
    EXPECT_EQ(f, t) << lo << " extreme digits";
    tabai_kernels::MulFft(x.data(), n, x.data(), n, f.data());
    EXPECT_EQ(f, t) << lo << " extreme digits, as a product";
}

TEST(TSeisuTransforms, FloatingTransformOnTwoThreadsMatchesOne) {
    // From 2^15 points a product's spectra are made side by side and a square's transforms
    // are cut into tasks: both shapes (2^k and 3 * 2^k points), products and squares, the
    // same limbs as on one thread.
    std::mt19937_64 rng(36);
    for (auto [na, nb] : {std::pair<size_t, size_t>{40000, 40000}, {60000, 50000}, {130000, 1000}, {24576, 24577}, {24577, 24577}}) {
        const Vec a = RandomVec(rng, na), b = RandomVec(rng, nb);
        Vec one(na + nb), two(na + nb), sqOne(2 * na), sqTwo(2 * na);
        {
            const ScopedTuning single(Tuned([](auto& t) { t.nttParallel = false; }));
            tabai_kernels::MulFft(a.data(), na, b.data(), nb, one.data());
            tabai_kernels::SqrFft(a.data(), na, sqOne.data());
        }
        {
            const ScopedTuning both(Tuned([](auto& t) { t.nttParallel = true; }));
            tabai_kernels::MulFft(a.data(), na, b.data(), nb, two.data());
            tabai_kernels::SqrFft(a.data(), na, sqTwo.data());
        }
        EXPECT_EQ(one, two) << na << " x " << nb;
        EXPECT_EQ(one, MulNttOf(a, b)) << na << " x " << nb;
        EXPECT_EQ(sqOne, sqTwo) << na << " squared";
        EXPECT_EQ(sqOne, MulNttOf(a, a)) << na << " squared";
    }
}

TEST(TSeisuTransforms, FloatingTransformOnTwoThreadsCancels) {
    // A cancellation (the pump's exception on this thread) stops the helper and comes out
    // of the product and the square, at any of the pump's calls.
    std::mt19937_64 rng(37);
    const size_t n = 40000;
    const ScopedTuning both(Tuned([](auto& t) { t.nttParallel = true; }));
    const Vec a = RandomVec(rng, n), b = RandomVec(rng, n);
    Vec out(2 * n);
    struct Probe {
        int calls = 0, throwAt = -1;
        static void Handler(void* context) {
            auto* self = static_cast<Probe*>(context);
            if (++self->calls == self->throwAt) throw std::runtime_error("cancelled");
        }
    };
    for (bool square : {false, true}) {
        Probe counter;
        {
            pump::Scope scope(&Probe::Handler, &counter);
            if (square) {
                tabai_kernels::SqrFft(a.data(), n, out.data());
            } else {
                tabai_kernels::MulFft(a.data(), n, b.data(), n, out.data());
            }
        }
        EXPECT_EQ(out, square ? MulNttOf(a, a) : MulNttOf(a, b));
        // How many calls this thread makes depends on how the tasks fall between the
        // threads; the steps before and after the transforms make more than five.
        ASSERT_GE(counter.calls, 10);
        for (int at : {1, 2, 5}) {
            Probe probe;
            probe.throwAt = at;
            pump::Scope scope(&Probe::Handler, &probe);
            if (square) {
                EXPECT_THROW(tabai_kernels::SqrFft(a.data(), n, out.data()), std::runtime_error) << at;
            } else {
                EXPECT_THROW(tabai_kernels::MulFft(a.data(), n, b.data(), n, out.data()), std::runtime_error) << at;
            }
            EXPECT_EQ(probe.calls, at);
        }
    }
}

// The points of the transform a square of n limbs takes: 2n - 1 coefficients, two a
// point, in 2^k or 3 * 2^k points.
size_t SquarePoints(size_t n) {
    const size_t need = n;
    size_t two = 8, three = 24;
    while (two < need) two *= 2;
    while (three < need) three *= 2;
    return std::min(two, three);
}

TEST(TSeisuTransforms, FloatingTablesHoldAboutOneTwiddleAPoint) {
    // Every level keeps half its twiddles and the join the half of each block it reads,
    // shared by all lengths: after squares of growing lengths the tables hold about one
    // twiddle (16 bytes) a point of the longest 2^k points the levels reach, plus, for
    // each length of 3 * 2^k points, part 1 of its join (2^k) and its radix-3 step's
    // twiddles (fine tables of 2^k / 64 and coarse ones of 64 roots in two doubles).
    std::mt19937_64 rng(38);
    tabai_kernels::FftReleaseTablesPast(size_t{1} << 30, size_t{1} << 30);
    ASSERT_EQ(tabai_kernels::FftTableBytes(), 0u);
    size_t threesLow = 0, threesHigh = 0;  // twiddles of the radix-3 lengths so far
    for (size_t n : {size_t{3000}, size_t{5000}, size_t{12000}, size_t{40000}, size_t{60000}, size_t{110000}}) {
        const size_t m = SquarePoints(n);
        const bool three = m % 3 == 0;
        ASSERT_TRUE(tabai_kernels::FftFits(n, n)) << n;
        const Vec a = RandomVec(rng, n);
        Vec out(2 * n);
        tabai_kernels::SqrFft(a.data(), n, out.data());
        EXPECT_EQ(out, MulNttOf(a, a)) << n;
        if (three) {
            threesLow += m / 3;
            threesHigh += m / 3 + 2 * (m / 3 / 64) + 2 * 2 * 64;
        }
        const size_t two = three ? m / 3 : m;  // the power of two the levels and the join reach
        // Each table may have a few cache lines of padding: 16 KiB for them all.
        EXPECT_LE(tabai_kernels::FftTableBytes(), 16 * (two + 2 + threesHigh) + 16384) << n;
        EXPECT_GE(tabai_kernels::FftTableBytes(), 16 * (two + threesLow)) << n;
    }
}

TEST(TSeisuTransforms, FloatingTablesFreedOnlyPastTheTransform) {
    // A product too long for the floating transform frees its tables; a shorter one
    // keeps them. After a release the tables are made again, with the same products.
    std::mt19937_64 rng(39);
    const size_t n = 40000;
    const Vec a = RandomVec(rng, n), b = RandomVec(rng, n);
    const Vec want = MulNttOf(a, b);
    EXPECT_EQ(MulFftOf(a, b), want);
    const size_t held = tabai_kernels::FftTableBytes();
    ASSERT_GT(held, 0u);
    const size_t largest = LargestFloating();
    tabai_kernels::FftReleaseTablesPast(largest, largest);
    EXPECT_EQ(tabai_kernels::FftTableBytes(), held) << "a length the transform takes";
    tabai_kernels::FftReleaseTablesPast(size_t{1} << 19, size_t{1} << 19);
    EXPECT_EQ(tabai_kernels::FftTableBytes(), 0u);
    EXPECT_EQ(MulFftOf(a, b), want);
    EXPECT_GT(tabai_kernels::FftTableBytes(), 0u);
    // Through Mul: a square past the transform's lengths (to the modular transform) frees
    // them too.
    const Vec big = RandomVec(rng, 300000);
    Vec sq(2 * big.size());
    tabai_kernels::Mul(big.data(), big.size(), big.data(), big.size(), sq.data());
    EXPECT_EQ(tabai_kernels::FftTableBytes(), 0u);
}

TEST(TSeisuTransforms, FloatingTablesStayWhileAProductUsesThem) {
    // A release asked for at every call of the pump, in the middle of products and squares
    // on one thread and on two (as another calculation could), must wait: the results are
    // exact, and the tables are still there afterwards (the address sanitizer sees any
    // read of a freed table).
    std::mt19937_64 rng(40);
    struct Releaser {
        int calls = 0;
        static void Handler(void* context) {
            ++static_cast<Releaser*>(context)->calls;
            tabai_kernels::FftReleaseTablesPast(size_t{1} << 19, size_t{1} << 19);
        }
    };
    for (auto [na, nb] : {std::pair<size_t, size_t>{40000, 40000}, {24577, 24577}, {3000, 2000}}) {
        for (bool parallel : {false, true}) {
            const ScopedTuning tuning(Tuned([parallel](auto& t) { t.nttParallel = parallel; }));
            const Vec a = RandomVec(rng, na), b = RandomVec(rng, nb);
            Vec prod(na + nb), sq(2 * na);
            Releaser releaser;
            {
                pump::Scope scope(&Releaser::Handler, &releaser);
                tabai_kernels::MulFft(a.data(), na, b.data(), nb, prod.data());
                tabai_kernels::SqrFft(a.data(), na, sq.data());
            }
            EXPECT_GT(releaser.calls, 2) << na;
            EXPECT_GT(tabai_kernels::FftTableBytes(), 0u) << na;
            EXPECT_EQ(prod, MulNttOf(a, b)) << na << " x " << nb << (parallel ? ", two threads" : "");
            EXPECT_EQ(sq, MulNttOf(a, a)) << na << " squared" << (parallel ? ", two threads" : "");
        }
    }
}

}  // namespace
