// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The gcd's inner loop on leading parts, against Euclid's algorithm on the numbers those
// parts stand for. (The whole gcd against the passes on limbs and Euclid is tested in
// tabai_kernels_test.cpp.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/Stream.h"
#include "engine/lrat.h"
#include "engine/tabai.h"
#include "engine/tabai_kernels.h"
#include "tests/engine/kernels_helpers.h"

namespace {

using I128 = __int128;
using tabai_kernels::LehmerCofactors;
using nerova::kernels_test::RandomVec;
using nerova::kernels_test::SchoolProduct;
using nerova::kernels_test::ScopedTuning;
using nerova::kernels_test::Tuned;
using nerova::kernels_test::Vec;

struct Matrix2 {
    I128 a = 1, b = 0, c = 0, d = 1;
    bool operator==(const Matrix2&) const = default;
};

// The quotients of Euclid's algorithm on x, y (all of them, or the first `most`).
std::vector<I128> Quotients(I128 x, I128 y, size_t most = 1000) {
    std::vector<I128> q;
    while (y != 0 && q.size() < most) {
        q.push_back(x / y);
        const I128 r = x % y;
        x = y;
        y = r;
    }
    return q;
}

// The matrix of the first `steps` quotients: (0 1; 1 -q) times the matrix before.
Matrix2 StepsMatrix(const std::vector<I128>& q, size_t steps) {
    Matrix2 m;
    for (size_t i = 0; i < steps; ++i) m = {m.c, m.d, m.a - q[i] * m.c, m.b - q[i] * m.d};
    return m;
}

I128 Magnitude(I128 v) { return v < 0 ? -v : v; }

std::string Text(I128 v) {
    if (v == 0) return "0";
    std::string s;
    const bool neg = v < 0;
    for (I128 m = Magnitude(v); m != 0; m /= 10) s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
    return neg ? "-" + s : s;
}

TEST(GcdInnerLoop, LeadingMatrixIsEuclidsForEveryNumberItStandsFor) {
    // For leading parts xh >= yh the numbers are x in [xh S, (xh + 1) S), y likewise: the
    // matrix must be the product of Euclid's first steps on every such pair (corners and
    // random points), within the limit; and it must not stop early: it takes the steps
    // common to the two extreme ratios xh / (yh + 1) and (xh + 1) / yh, whose quotients
    // every ratio between them shares, but for the last one or two, as far as the limit
    // lets it.
    std::mt19937_64 rng(53);
    std::vector<std::pair<int64_t, int64_t>> cases;
    for (int i = 0; i < 3000; ++i) {
        const int bits = 2 + static_cast<int>(rng() % 61);
        const int64_t x = static_cast<int64_t>(rng() >> (64 - bits)) | (int64_t{1} << (bits - 1));
        int64_t y;
        switch (i % 4) {
        case 0: y = static_cast<int64_t>(rng() % static_cast<uint64_t>(x + 1)); break;  // any
        case 1: y = x - static_cast<int64_t>(rng() % 1000 % static_cast<uint64_t>(x)); break;  // close
        case 2: y = static_cast<int64_t>(rng() % 100); break;  // a huge first quotient
        default: y = x >> (rng() % 40); break;  // a quotient that is a power of 2
        }
        cases.push_back({x, std::min(x, y)});
    }
    // Consecutive Fibonacci numbers: every quotient 1, the largest cofactors.
    int64_t f0 = 1, f1 = 2;
    while (f1 < (int64_t{1} << 61)) {
        cases.push_back({f1, f0});
        const int64_t f2 = f0 + f1;
        f0 = f1;
        f1 = f2;
    }
    const int64_t nines = 999999999999999999;  // 10^18 - 1
    cases.insert(cases.end(), {{int64_t{1} << 61, 1220703125},                   // 2^61, 5^13
                               {1000000000000000000, 100000000000000000},      // 10^18, 10^17
                               {nines, nines / 10}, {nines, nines}, {nines, 0}, {nines, 1},
                               {(int64_t{1} << 62) - 1, (int64_t{1} << 62) - 2}, {1, 1}, {1, 0}, {3, 2}});
    const int64_t limits[] = {2000000000, 1000000, 1000, 1};
    constexpr int kScaleBits = 24;
    const I128 scale = I128{1} << kScaleBits;
    size_t stepsTaken = 0;  // at the real limit
    for (const auto& [xh, yh] : cases) {
        for (const int64_t limit : limits) {
            const LehmerCofactors got = tabai_kernels::LehmerLeading(xh, yh, limit);
            const Matrix2 m{got.a, got.b, got.c, got.d};
            const std::string where = "xh " + Text(xh) + ", yh " + Text(yh) + ", limit " + Text(limit);
            ASSERT_LE(std::max({Magnitude(m.a), Magnitude(m.b), Magnitude(m.c), Magnitude(m.d)}), I128{limit}) << where;
            ASSERT_EQ(Magnitude(m.a * m.d - m.b * m.c), 1) << where;
            if (m == Matrix2{}) {
                ASSERT_EQ(got.b, 0) << where;
            } else {
                ASSERT_NE(got.b, 0) << where;
            }
            // The step count: the prefix of Euclid on the lowest corner that gives m.
            const I128 x0 = I128{xh} * scale, y0 = I128{yh} * scale;
            const std::vector<I128> q0 = Quotients(x0, y0, 200);
            size_t steps = 0;
            while (steps <= q0.size() && !(StepsMatrix(q0, steps) == m)) ++steps;
            ASSERT_LE(steps, q0.size()) << where << ": not Euclid's steps";
            if (limit == limits[0]) stepsTaken += steps;
            const I128 top = scale - 1;
            const I128 points[][2] = {{0, 0}, {top, 0}, {0, top}, {top, top},
                                      {static_cast<I128>(rng() % scale), static_cast<I128>(rng() % scale)}};
            for (const auto& p : points) {
                const std::vector<I128> q = Quotients(x0 + p[0], y0 + p[1], steps);
                ASSERT_EQ(q.size(), steps) << where;
                EXPECT_TRUE(StepsMatrix(q, steps) == m) << where << ", point " << Text(p[0]) << ", " << Text(p[1]);
            }
            // The steps common to the extreme ratios, as far as the limit allows.
            if (yh == 0) continue;
            const std::vector<I128> lo = Quotients(xh, I128{yh} + 1), hi = Quotients(I128{xh} + 1, yh);
            size_t common = 0;
            while (common < lo.size() && common < hi.size() && lo[common] == hi[common]) ++common;
            // The last quotient of an expansion may stand for a longer one: leave it out.
            common = std::min({common, lo.size() - 1, hi.size() - 1});
            size_t allowed = 0;
            while (allowed < common) {
                const Matrix2 next = StepsMatrix(lo, allowed + 1);
                if (std::max({Magnitude(next.a), Magnitude(next.b), Magnitude(next.c), Magnitude(next.d)}) > limit) break;
                ++allowed;
            }
            EXPECT_GE(steps + 1, allowed) << where;
        }
    }
    EXPECT_GT(stepsTaken, cases.size() * 2);  // the cases do exercise long runs of steps
}

TEST(GcdShapes, GcdNearlyAsLongAsTheNumbers) {
    // g u and g v with short u, v: the half-gcd's matrices stay as short as u and v at
    // every level while the numbers are long, so the small-times-long products (quadratic
    // or through shared transforms, either side of their threshold) carry the work.
    // Against the passes on limbs with separate products (the reference), with the
    // vector paths on and off, at the real thresholds and low ones.
    std::mt19937_64 rng(59);
    std::vector<std::pair<Vec, Vec>> cases;
    std::vector<Vec> factors;
    for (const size_t gl : {size_t{1500}, size_t{4100}}) {
        for (const size_t ul : {size_t{30}, size_t{260}, size_t{390}, size_t{420}}) {
            Vec g = RandomVec(rng, gl);
            g.back() = static_cast<tabai_kernels::Limb>(1 + rng() % 9999);
            const Vec u = RandomVec(rng, ul), v = RandomVec(rng, ul - 7);
            cases.push_back({SchoolProduct(g, u), SchoolProduct(g, v)});
            factors.push_back(g);
        }
    }
    for (auto& [x, y] : cases) {
        x.resize(tabai_kernels::Trim(x.data(), x.size()));
        y.resize(tabai_kernels::Trim(y.data(), y.size()));
    }
    std::vector<Vec> expected;
    {
        const ScopedTuning reference(Tuned([](auto& t) {
            t.gcdWords = false;
            t.wideVectors = false;
        }));
        for (const auto& [x, y] : cases) expected.push_back(tabai_kernels::Gcd(x, y));
    }
    const tabai_kernels::Tuning real = tabai_kernels::CurrentTuning();
    for (const size_t half : {real.halfGcd, size_t{700}}) {
        for (const size_t base : {real.halfGcdBase, size_t{100}}) {
            for (const bool wide : {true, false}) {
                const ScopedTuning scoped(Tuned([&](auto& t) {
                    t.halfGcd = half;
                    t.halfGcdBase = base;
                    t.wideVectors = wide;
                }));
                for (size_t i = 0; i < cases.size(); ++i) {
                    EXPECT_EQ(tabai_kernels::Gcd(cases[i].first, cases[i].second), expected[i])
                        << "case " << i << ", half-gcd " << half << ", base " << base << ", wide " << wide;
                }
            }
        }
    }
    // The common factor survives in the reference: g divides every result.
    for (size_t i = 0; i < cases.size(); ++i) {
        const Vec& g = factors[i];
        ASSERT_GE(expected[i].size(), g.size());
        Vec q(expected[i].size() - g.size() + 1), r(g.size());
        tabai_kernels::Div(expected[i].data(), expected[i].size(), g.data(), g.size(), q.data(), r.data());
        EXPECT_EQ(tabai_kernels::Trim(r.data(), r.size()), 0u) << "case " << i;
    }
}

TEST(GcdPass, WordColumnsUndoTheirInverseInEveryVectorWidth) {
    // The pass on words of 8 digits: (x, y) := N (u, v) with N the inverse of a matrix M of
    // Euclid's steps (its entries all non-negative), then M (x, y) must give back (u, v),
    // with the vector passes and with the portable one, and both the same on the way.
    // Cofactors up to 10^18 (three words, one round of Lehmer's steps), up to 10^36 (five
    // words, two rounds) and products of the two (seven words, three rounds) of either
    // parity, and the identity; words random, all nines, zero below a top word of one (a
    // power of the base), lengths either side of the vectors' 4 and 8 words.
    using Words = std::vector<uint32_t>;
    constexpr uint32_t kWordBase = 100000000;
    std::mt19937_64 rng(67);
    std::vector<LehmerCofactors> matrices = {{1, 0, 0, 1}};
    const I128 oneRound = 1000000000000000000;
    for (const I128 bound : {oneRound, oneRound * oneRound}) {
        for (const bool odd : {false, true}) {
            for (const uint64_t quotientRange : {uint64_t{3}, uint64_t{1000}, uint64_t{300000}}) {
                // Steps while the cofactors stay below the bound, the last one dropped for
                // the parity.
                Matrix2 m, before;
                size_t steps = 0;
                while (true) {
                    const I128 q = 1 + static_cast<I128>(rng() % quotientRange);
                    if (Magnitude(m.c) > bound / q || Magnitude(m.d) > bound / q) break;  // keeps q c in 128 bits
                    const Matrix2 next{m.c, m.d, m.a - q * m.c, m.b - q * m.d};
                    if (std::max({Magnitude(next.a), Magnitude(next.b), Magnitude(next.c), Magnitude(next.d)}) >= bound)
                        break;
                    before = m;
                    m = next;
                    ++steps;
                }
                ASSERT_GE(steps, 2u);
                if ((steps % 2 == 1) != odd) m = before;
                matrices.push_back({m.a, m.b, m.c, m.d});
            }
        }
    }
    auto trim = [](Words w) {
        while (!w.empty() && w.back() == 0) w.pop_back();
        return w;
    };
    auto inverseOf = [](const LehmerCofactors& m) {
        // The determinant modulo 2^128 (the products of cofactors near 10^36 pass 2^127).
        using U128 = unsigned __int128;
        const I128 det = static_cast<I128>(static_cast<U128>(m.a) * static_cast<U128>(m.d) -
                                           static_cast<U128>(m.b) * static_cast<U128>(m.c));
        EXPECT_EQ(Magnitude(det), 1);
        return det == 1 ? LehmerCofactors{m.d, -m.b, -m.c, m.a} : LehmerCofactors{-m.d, m.b, m.c, -m.a};
    };
    // M = then first in one pass, and its inverse N = first^-1 then^-1 (then's inverse
    // applied first).
    struct Pass {
        LehmerCofactors first;
        std::optional<LehmerCofactors> then;
    };
    std::vector<Pass> passes;
    for (const LehmerCofactors& m : matrices) passes.push_back({m, std::nullopt});
    const size_t perBound = (matrices.size() - 1) / 2;
    for (size_t i = 1; i <= perBound; ++i) passes.push_back({matrices[perBound + i], matrices[i]});
    for (const size_t len : {size_t{1}, size_t{3}, size_t{4}, size_t{5}, size_t{7}, size_t{8}, size_t{9}, size_t{31},
                             size_t{64}, size_t{301}}) {
        for (int kind = 0; kind < 3; ++kind) {
            Words u(len), v(len);
            for (size_t i = 0; i < len; ++i) {
                u[i] = kind == 0 ? static_cast<uint32_t>(rng() % kWordBase) : kind == 1 ? kWordBase - 1 : 0;
                v[i] = kind == 0 ? static_cast<uint32_t>(rng() % kWordBase) : kind == 1 ? kWordBase - 1 : 0;
            }
            if (kind == 2) u.back() = v.back() = 1;
            u = trim(u);
            v = trim(v);
            for (const Pass& pass : passes) {
                const LehmerCofactors& m = pass.first;
                const LehmerCofactors inverse = inverseOf(m);
                ASSERT_TRUE(inverse.a >= 0 && inverse.b >= 0 && inverse.c >= 0 && inverse.d >= 0);
                Words between[2][2];  // (x, y) after N, per width
                for (const bool wide : {false, true}) {
                    const ScopedTuning scoped(Tuned([&](auto& t) { t.wideVectors = wide; }));
                    Words x = u, y = v;
                    if (pass.then) {
                        const LehmerCofactors inverseThen = inverseOf(*pass.then);
                        tabai_kernels::LehmerApplyWords(x, y, inverseThen, &inverse);
                    } else {
                        tabai_kernels::LehmerApplyWords(x, y, inverse);
                    }
                    between[wide][0] = x;
                    between[wide][1] = y;
                    tabai_kernels::LehmerApplyWords(x, y, m, pass.then ? &*pass.then : nullptr);
                    const std::string where = "length " + std::to_string(len) + ", kind " + std::to_string(kind) +
                                              ", m (" + Text(m.a) + " " + Text(m.b) + "; " + Text(m.c) + " " +
                                              Text(m.d) + "), then " + (pass.then ? "yes" : "no") + ", wide " +
                                              std::to_string(wide);
                    EXPECT_EQ(x, u) << where;
                    EXPECT_EQ(y, v) << where;
                }
                EXPECT_EQ(between[0][0], between[1][0]);
                EXPECT_EQ(between[0][1], between[1][1]);
            }
        }
    }
}

TEST(GcdShapes, FractionOfALongAndAShortNumberSharingALongFactor) {
    // a / b with a far longer than b (or b than a): the reduction divides a = q b + r once
    // and forms a / g as q (b / g) + r / g when the gcd g is long. Against gcd and exact
    // division on the numbers themselves: a long g, b dividing a, a short g, coprime
    // numbers, lengths either side of ten limbs longer, both orders and signs.
    std::mt19937_64 rng(61);
    auto number = [&](size_t limbs) {
        Vec v = RandomVec(rng, limbs);
        v.back() = static_cast<tabai_kernels::Limb>(1 + rng() % 9999);
        std::string text;
        for (size_t i = v.size(); i-- > 0;) {
            const std::string limb = std::to_string(v[i]);
            text += i + 1 == v.size() ? limb : std::string(4 - limb.size(), '0') + limb;
        }
        return text;
    };
    auto seisu = [](const std::string& text) {
        TSeisu x;
        StringStream s(text + ";");
        x.ReadFrom(s);
        return x;
    };
    auto rational = [](const std::string& text) {
        TLoRational x;
        StringStream s(text + ";");
        x.ReadFrom(s);
        return x;
    };
    struct Case {
        std::string g, u, v;  // a = g u, b = g v
    };
    std::vector<Case> cases;
    for (const size_t gl : {size_t{3}, size_t{40}, size_t{700}}) {
        for (const size_t extra : {size_t{9}, size_t{10}, size_t{11}, size_t{300}}) {
            const size_t vl = 1 + rng() % 30;
            cases.push_back({number(gl), number(vl + extra), number(vl)});
        }
    }
    cases.push_back({number(500), number(200), "1"});   // b divides a
    cases.push_back({"1", number(400), number(90)});    // coprime, most likely
    cases.push_back({number(600), "7", number(120)});   // b far longer than a
    for (const Case& c : cases) {
        TSeisu a = seisu(c.g), b = seisu(c.g);
        a.MulBy(seisu(c.u));
        b.MulBy(seisu(c.v));
        TSeisu g, aOverG, bOverG;
        g.Gcd(a, b);
        aOverG.DivExact(a, g);
        bOverG.DivExact(b, g);
        for (const bool negative : {false, true}) {
            TLoRational x = rational((negative ? "-" : "") + a.ToText());
            x.Divide(rational(b.ToText()));
            const std::string where = "g " + std::to_string(c.g.size()) + " digits, u " + std::to_string(c.u.size()) +
                                      ", v " + std::to_string(c.v.size());
            EXPECT_EQ(x.Numerator().Compare(aOverG), 1) << where;
            EXPECT_EQ(x.Denominator().Compare(bOverG), 1) << where;
            EXPECT_EQ(x.Sign(), negative ? -1 : 1) << where;
            // The same pair the other way round, as a product: b * (1 / a).
            TLoRational y = rational(b.ToText());
            y.Multiply(rational("1/" + a.ToText()));
            EXPECT_EQ(y.Numerator().Compare(bOverG), 1) << where;
            EXPECT_EQ(y.Denominator().Compare(aOverG), 1) << where;
        }
    }
}

}  // namespace
