// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The division kernels' faster paths against Knuth's long division on limbs (DivSchool).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/tabai_kernels.h"
#include "tests/engine/kernels_helpers.h"

namespace {

using namespace nerova::kernels_test;

// n limbs of 9999: 10000^n - 1.
Vec Nines(size_t n) { return Vec(n, 9999); }

TEST(TSeisuDivision, PairRowsMatchLongDivision) {
    // Two quotient words a pass from five divisor words on: divisor lengths 7 to 26 limbs
    // give every length of the pass's vector part modulo 8 (and both shifts by a limb);
    // odd and even quotient word counts leave one single row or none; the edge cases give
    // estimates of -1 and of 10^8 (remainders of b - 1, all nines, a divisor just over a
    // power of the base, whose top word is the smallest the estimate allows).
    std::mt19937_64 rng(71);
    for (const auto& [a, b] : DivisionEdgeCases(rng, {7u, 8u, 9u, 10u, 11u, 12u, 13u, 14u, 15u, 16u, 17u, 18u, 19u,
                                                      20u, 21u, 22u, 23u, 24u, 25u, 26u}))
        CheckBasecase(a, b);
    for (size_t n = 7; n <= 26; ++n) {
        for (size_t extra : {0u, 1u, 2u, 3u, 4u, 5u, 31u, 32u}) {
            Vec a = RandomVec(rng, n + extra), b = RandomVec(rng, n);
            if (a.size() > n) a.back() = 9999;
            CheckBasecase(a, b);
        }
    }
}

TEST(TSeisuDivision, PairRowsOverManyCarries) {
    // Quotients of several hundred words, so that the remainder's words are carried many
    // times between rows, with the largest quotient words there are (all nines divided by
    // 10000^(n-1) + 1 and by a divisor of nines), and long random ones.
    std::mt19937_64 rng(72);
    for (const size_t n : {9u, 10u, 40u, 131u}) {
        Vec one(n, 0);
        one[0] = 1;
        one[n - 1] = 1;
        for (const size_t ql : {255u, 256u, 257u, 600u, 1031u}) {
            CheckBasecase(Nines(n + ql), one);
            CheckBasecase(Nines(n + ql), Nines(n));
            CheckBasecase(RandomVec(rng, n + ql), RandomVec(rng, n));
        }
    }
    // Large quotient words (the divisor's top word 10^4, the smallest there is) by the
    // largest divisor words, 1200 of them into each word of the remainder between carries.
    for (const size_t n : {2400u, 2401u}) {
        Vec b = Nines(n);
        b[n - 1] = 1;
        b[n - 2] = 0;
        Vec big(n + 1);
        for (Limb& x : big) x = static_cast<Limb>(9999 - rng() % 3000);
        CheckBasecase(SchoolProduct(big, b), b);
    }
    for (int round = 0; round < 200; ++round) {
        const size_t n = 5 + rng() % (round % 4 == 0 ? 300 : 40);
        const size_t m = n + rng() % (round % 3 == 0 ? 900 : 60);
        CheckBasecase(RandomVec(rng, m), RandomVec(rng, n));
    }
}

TEST(TSeisuDivision, FourRowsMatchLongDivision) {
    // Four quotient words a pass from 16 divisor words (31 limbs) on: divisor lengths either
    // side of that, quotients of every word count modulo 4 (the rows left to the pairs and
    // single rows) and remainders at every alignment of the vector loop's words; the edge
    // cases give estimates of -1 and 10^8 inside the chain of four.
    std::mt19937_64 rng(74);
    for (const auto& [a, b] : DivisionEdgeCases(rng, {29u, 30u, 31u, 32u, 33u, 34u, 47u, 64u, 65u}))
        CheckBasecase(a, b);
    for (const size_t n : {29u, 30u, 31u, 32u, 33u, 34u, 35u, 36u, 37u, 38u, 50u, 77u}) {
        for (size_t extra = 0; extra <= 24; ++extra) {
            Vec a = RandomVec(rng, n + extra), b = RandomVec(rng, n);
            if (a.size() > n) a.back() = 9999;
            CheckBasecase(a, b);
        }
    }
    // Quotient words of 10^8 - 1 in every row and of 0 (all nines by 10000^(n-1) + 1, a
    // power of the base by itself less one), over many carries of the remainder.
    for (const size_t n : {32u, 33u, 201u}) {
        Vec one(n, 0);
        one[0] = 1;
        one[n - 1] = 1;
        Vec power(n + 700, 0);
        power.back() = 1;
        CheckBasecase(Nines(n + 700), one);
        CheckBasecase(power, Nines(n));
        CheckBasecase(power, one);
    }
    // Products plus one: now and then an estimate one too large followed by a quotient
    // word of about -10^8, whose carries the end takes.
    for (int round = 0; round < 400; ++round) {
        const size_t nq = 20 + rng() % 40, nb = 8 + rng() % 60;
        const Vec b = RandomVec(rng, nb);
        Vec a = SchoolProduct(round % 3 == 0 ? Nines(nq) : RandomVec(rng, nq), b);
        a[0] = static_cast<Limb>((a[0] + 1) % 10000);
        a.resize(tabai_kernels::Trim(a.data(), a.size()));
        CheckBasecase(a, b);
    }
}

TEST(TSeisuDivision, DivideAndConquerOnPairRows) {
    // The recursive division whose leaves are the pair rows, one limb either side of its
    // threshold and several levels down, through the dispatcher.
    std::mt19937_64 rng(73);
    const auto cases = DivisionEdgeCases(rng, {12u, 13u, 40u, 41u, 150u});
    for (const size_t threshold : {11u, 12u, 13u, 40u}) {
        const ScopedTuning scoped(Tuned([threshold](auto& t) { t.divideConquer = threshold; }));
        for (const auto& [a, b] : cases) CheckDivision(a, b);
        for (int round = 0; round < 30; ++round) {
            const size_t n = 10 + rng() % 200;
            CheckDivision(RandomVec(rng, 2 * n + rng() % 3), RandomVec(rng, n));
        }
    }
}

TEST(TSeisuDivision, ReciprocalHalvesMatchLongDivision) {
    // The reciprocal path taking a quotient of about the divisor's length in two halves by
    // the reciprocal of the divisor's top half (whose estimate may be one too large before
    // the step down), and in one block: the edge cases (remainder b - 1, all nines, powers
    // of the base and one less, a divisor just over a power of the base), quotients one
    // limb either side of the divisor's length and of twice it, both halves' lengths odd
    // and even; the threshold moved down so that all of them take the reciprocal.
    std::mt19937_64 rng(74);
    const auto cases = DivisionEdgeCases(rng, {8u, 9u, 30u, 31u, 200u});
    for (const bool halves : {true, false}) {
        const ScopedTuning scoped(Tuned([halves](auto& t) {
            t.newton = 8;
            t.reciprocalHalves = halves;
        }));
        for (const auto& [a, b] : cases) CheckDivision(a, b);
        for (const size_t n : {8u, 9u, 40u, 41u, 301u}) {
            for (const size_t ql : {n - 2, n - 1, n, n + 1, n + 2, 2 * n - 1, 2 * n, 2 * n + 1, 3 * n + 5}) {
                CheckDivision(RandomVec(rng, n + ql - 1), RandomVec(rng, n));
                CheckDivision(Nines(n + ql - 1), RandomVec(rng, n));
            }
        }
    }
}

// DivExact of qv * b by b gives qv back.
void CheckExactQuotient(const Vec& qv, const Vec& b) {
    Vec a = SchoolProduct(qv, b);
    a.resize(tabai_kernels::Trim(a.data(), a.size()));
    Vec got(a.size() - b.size() + 1);
    tabai_kernels::DivExact(a.data(), a.size(), b.data(), b.size(), got.data());
    got.resize(tabai_kernels::Trim(got.data(), got.size()));
    Vec want = qv;
    want.resize(tabai_kernels::Trim(want.data(), want.size()));
    EXPECT_EQ(got, want) << a.size() << " / " << b.size();
}

TEST(TSeisuDivision, ExactDivisionByReciprocalHalves) {
    // Exact division through the reciprocal in halves: the last half's estimate fixed from
    // the lowest limbs (after the step down of a truncated divisor), quotients of all nines
    // and of powers of the base, divisors just over and under a power of the base.
    std::mt19937_64 rng(75);
    const ScopedTuning scoped(Tuned([](auto& t) {
        t.newton = 8;
        t.hensel = 8;
        t.exactSplit = 8;
    }));
    for (const size_t n : {8u, 9u, 40u, 41u, 301u}) {
        Vec over(n, 0);
        over[0] = 1;
        over[n - 1] = 1;
        Vec pow(n + 1, 0);
        pow[n] = 1;
        for (const Vec& b : {RandomVec(rng, n), Nines(n), over}) {
            for (const Vec& qv : {RandomVec(rng, n + 1), Nines(n + 1), pow, RandomVec(rng, n - 1)}) {
                CheckExactQuotient(qv, b);
            }
        }
    }
}

TEST(TSeisuDivision, ExactRowsWithScaledDivisors) {
    // Exact division from the low end, portable and on vectors: quotient words left below
    // 2 10^8 until the end, divisors whose low limb holds factors 2 and 5 (scaled, their
    // words carried before the rows), all nines and long quotients over many carries.
    std::mt19937_64 rng(76);
    for (const bool wide : {false, true}) {
        const ScopedTuning scoped(Tuned([wide](auto& t) { t.wideVectors = wide; }));
        for (const size_t n : {5u, 6u, 40u, 301u, 700u}) {
            for (const Limb low : {Limb{1}, Limb{9999}, Limb{9998}, Limb{5000}, Limb{2048}, Limb{3125}, Limb{1250}}) {
                Vec b = Nines(n);
                b[0] = low;
                const Vec rb = [&] {
                    Vec r = RandomVec(rng, n);
                    r[0] = low;
                    return r;
                }();
                for (const Vec& qv : {Nines(n + 3), RandomVec(rng, n), Nines(n / 2 + 1)}) {
                    CheckExactQuotient(qv, b);
                    CheckExactQuotient(qv, rb);
                }
            }
        }
    }
}

TEST(TSeisuDivision, RemaindersPastATransformLength) {
    // The reciprocal's remainders taken by a cyclic product one transform length shorter
    // than the remainder, the low limbs left over from a short product: divisors from just
    // below a cyclic length (512 and 768 limbs) to past the most limbs left over, where the
    // longer transform takes over again, so that the leftover is 0, 1, a few and the most
    // limbs, the divisor itself folded when longer than the transform. Against the long
    // division (edge cases, random quotients of about the divisor's length and of twice
    // it) and against the known quotients of exact divisions.
    std::mt19937_64 rng(76);
    const ScopedTuning scoped(Tuned([](auto& t) {
        t.newton = 8;
        t.hensel = 8;
        t.exactSplit = 8;
        t.shortProduct = 48;
    }));
    for (const size_t n : {509u, 510u, 511u, 515u, 540u, 541u, 542u, 767u, 790u}) {
        for (const auto& [a, b] : DivisionEdgeCases(rng, {n})) CheckDivision(a, b);
        for (const size_t ql : {n - 1, n + 1, 2 * n}) {
            CheckDivision(RandomVec(rng, n + ql - 1), RandomVec(rng, n));
            CheckDivision(Nines(n + ql - 1), RandomVec(rng, n));
        }
        Vec pow(n + 1, 0);
        pow[n] = 1;
        for (const Vec& qv : {RandomVec(rng, n + 1), Nines(n), pow}) {
            const Vec b = RandomVec(rng, n);
            CheckExactQuotient(qv, b);
        }
    }
}

}  // namespace
