// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "engine/lrat.h"
#include "tests/text_rows.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <numeric>
#include <random>
#include <string>

#include "engine/pump.h"

namespace {

// A value from its literal text ("-7/3", "1/2"); the reader is tested on its own.
TLoRational Q(const std::string& text) {
    TLoRational x;
    StringStream s(text + ";");
    x.ReadFrom(s);
    return x;
}

std::string T(const TLoRational& x) { return x.ToImproperText(); }

// Lowest terms and a denominator of at least 1.
::testing::AssertionResult Normal(const TLoRational& x) {
    if (x.Sign() != 1 && x.Sign() != -1) return ::testing::AssertionFailure() << "sign " << x.Sign();
    if (x.Denominator().IsZero()) return ::testing::AssertionFailure() << "zero denominator";
    TSeisu g;
    g.Gcd(x.Numerator(), x.Denominator());
    if (!g.EqualsSmall(1)) return ::testing::AssertionFailure() << T(x) << " shares " << g.ToText();
    return ::testing::AssertionSuccess();
}

// Same value (a zero of either sign equals a zero).
::testing::AssertionResult Same(const TLoRational& a, const TLoRational& b) {
    const bool equal = a.Numerator().Compare(b.Numerator()) == 1 &&
                       a.Denominator().Compare(b.Denominator()) == 1 &&
                       (a.Sign() == b.Sign() || a.IsZero());
    if (equal) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << T(a) << " != " << T(b);
}

template <class E>
void ExpectError(const std::function<void()>& f, const char* message) {
    nerova::test::expectThrowWith<E>(f, message);
}

// --- construction ----------------------------------------------------------------------

TEST(TLoRationalTest, CreateNormalises) {
    struct Row {
        int32_t n, d;
        const char* text;
        int32_t sign;
    } rows[] = {
        {2, -4, "-1/2", -1},      // signs disagree; 2/4 reduced
        {-2, -4, "1/2", 1},       // two minus signs cancel
        {0, -5, "0", 1},          // zero is 0/1 with a positive sign
        {6, 3, "2", 1},           // denominator reduced to 1
        {INT32_MAX, -INT32_MAX, "-1", -1},  // the widest magnitudes that have a 32-bit form
        {-INT32_MAX, 1, "-2147483647", -1},
    };
    for (const Row& r : rows) {
        const TLoRational x(r.n, r.d);
        EXPECT_EQ(T(x), r.text) << r.n << "/" << r.d;
        EXPECT_EQ(x.Sign(), r.sign) << r.n << "/" << r.d;
        EXPECT_TRUE(Normal(x));
    }
    ExpectError<TLoRationalException>([] { TLoRational(7, 0); }, nerova::sourceText(kRationalDivideByZero));
    // The most negative 32-bit integer has no 32-bit magnitude; the zero denominator is
    // found first.
    ExpectError<TSeisuException>([] { TLoRational(INT32_MIN, 1); }, nerova::sourceText(kSeisuNegative));
    ExpectError<TSeisuException>([] { TLoRational(1, INT32_MIN); }, nerova::sourceText(kSeisuNegative));
    ExpectError<TLoRationalException>([] { TLoRational(INT32_MIN, 0); }, nerova::sourceText(kRationalDivideByZero));
}

TEST(TLoRationalTest, ClearMakesAPositiveZero) {
    TLoRational x = Q("-5/3");
    x.Clear();
    EXPECT_EQ(T(x), "0");
    EXPECT_EQ(x.Sign(), 1);
    EXPECT_TRUE(Normal(x));
}

// --- the four operations -----------------------------------------------------------------

TEST(TLoRationalTest, OperationTable) {
    struct Row {
        const char* a;
        char op;
        const char* b;
        const char* result;
    } rows[] = {
        {"1/6", '+', "1/10", "4/15"},   // over the lcm 30, then 8/30 reduced
        {"1/2", '-', "3/4", "-1/4"},    // the larger magnitude decides the sign
        {"-1/2", '+', "3/4", "1/4"},
        {"-1/2", '-', "3/4", "-5/4"},   // equal signs after negation: magnitudes add
        {"1/3", '+', "2/3", "1"},       // common denominator cancels completely
        {"5/12", '+', "1/12", "1/2"},   // equal denominators, gcd taken with 12 only
        {"7/6", '+', "5/6", "2"},
        {"2/3", '*', "9/4", "3/2"},     // cross cancelling
        {"-2/3", '/', "-4/9", "3/2"},
        {"-2/3", '*', "-3/2", "1"},     // two negative factors
        {"0", '*', "5/7", "0"},
        {"12345678901234567890/7", '*', "7/12345678901234567890", "1"},
        {"99999999/100000000", '+', "1/100000000", "1"},  // carries over limbs
    };
    for (const Row& r : rows) {
        TLoRational a = Q(r.a);
        const TLoRational b = Q(r.b);
        switch (r.op) {
        case '+': a.Add(b); break;
        case '-': a.Subtract(b); break;
        case '*': a.Multiply(b); break;
        case '/': a.Divide(b); break;
        }
        EXPECT_EQ(T(a), r.result) << r.a << ' ' << r.op << ' ' << r.b;
        EXPECT_TRUE(Normal(a)) << r.a << ' ' << r.op << ' ' << r.b;
    }
}

TEST(TLoRationalTest, ZeroKeepsTheSignArithmeticGivesIt) {
    TLoRational x = Q("2");
    x.Subtract(Q("3"));
    x.Add(Q("1"));
    EXPECT_TRUE(x.IsZero());
    EXPECT_EQ(x.Sign(), -1);
    EXPECT_EQ(T(x), "-0");

    TLoRational y = Q("1");
    y.Subtract(Q("1"));
    EXPECT_TRUE(y.IsZero());
    EXPECT_EQ(T(y), "0");

    TLoRational z = Q("0");
    z.Multiply(Q("-3"));
    EXPECT_EQ(T(z), "-0");
}

TEST(TLoRationalTest, DivideByZeroDirectly) {
    TLoRational x = Q("5");
    x.Divide(Q("0"));
    EXPECT_EQ(T(x), "1/0");
    TLoRational y = Q("-5/3");
    y.Divide(Q("0"));
    EXPECT_EQ(T(y), "-1/0");
    ExpectError<TSeisuException>([] { Q("0").Divide(Q("0")); }, nerova::sourceText(kSeisuDivideByZero));
}

TEST(TLoRationalTest, ZeroDenominatorPropagates) {
    TLoRational inf = Q("0");
    inf.Power(Q("-1"));
    EXPECT_EQ(T(inf), "1/0");

    TLoRational a = inf;
    a.Add(Q("1/2"));  // 1/0 plus anything finite stays 1/0
    EXPECT_EQ(T(a), "1/0");
    TLoRational b = Q("1/2");
    b.Subtract(inf);
    EXPECT_EQ(T(b), "-1/0");
    TLoRational c = Q("2/3");
    c.Multiply(inf);
    EXPECT_EQ(T(c), "1/0");
    TLoRational d = Q("2/3");
    d.Divide(inf);
    EXPECT_EQ(T(d), "0");
    // Two zero denominators, or zero times 1/0, have no value.
    ExpectError<TSeisuException>([&] { TLoRational e = inf; e.Add(inf); }, nerova::sourceText(kSeisuDivideByZero));
    ExpectError<TSeisuException>([&] { TLoRational e = Q("0"); e.Multiply(inf); }, nerova::sourceText(kSeisuDivideByZero));
}

// --- powers ------------------------------------------------------------------------------

TEST(TLoRationalTest, PowerTable) {
    struct Row {
        const char* base;
        const char* exponent;  // read with a leading "-" where negative
        const char* result;
    } rows[] = {
        {"2/3", "-2", "9/4"},
        {"5", "0", "1"},
        {"0", "0", "1"},
        {"0", "-1", "1/0"},     // the one way a zero denominator enters
        {"-2", "3", "-8"},
        {"-2", "2", "4"},
        {"-1/2", "-3", "-8"},
        {"-1", "100000001", "-1"},  // odd exponent over several limbs
        {"-1", "100000000", "1"},
        {"1", "123456789012345678901234567890", "1"},  // huge exponent, trivial base
        {"2", "100", "1267650600228229401496703205376"},
        // Around 2^64, where powers leave machine integers.
        {"2", "63", "9223372036854775808"},
        {"2", "64", "18446744073709551616"},
        {"3", "40", "12157665459056928801"},
        {"3", "41", "36472996377170786403"},
        {"4294967295", "2", "18446744065119617025"},
        {"4294967296", "2", "18446744073709551616"},
        {"2/3", "-40", "12157665459056928801/1099511627776"},
        {"-999999999999/2", "3", "-999999999997000000000002999999999999/8"},
    };
    for (const Row& r : rows) {
        TLoRational x = Q(r.base);
        x.Power(Q(r.exponent));
        EXPECT_EQ(T(x), r.result) << r.base << " ^ " << r.exponent;
    }
}

TEST(TLoRationalTest, PowerRefusesNonIntegersAndKeepsTheBase) {
    TLoRational x = Q("4");
    ExpectError<TLoRationalException>([&] { x.Power(Q("1/2")); }, nerova::sourceText(kRationalPowerNotInteger));
    EXPECT_EQ(T(x), "4");
    // A zero denominator is no integer either: 2 ^ (1/0) must not count as 2 ^ 1.
    TLoRational inf = Q("0");
    inf.Power(Q("-1"));
    ExpectError<TLoRationalException>([&] { x.Power(inf); }, nerova::sourceText(kRationalPowerNotInteger));
    EXPECT_EQ(T(x), "4");
}

// --- aliasing and operands ---------------------------------------------------------------

TEST(TLoRationalTest, OperandMayBeSelf) {
    TLoRational x = Q("-3/4");
    x.Add(x);
    EXPECT_EQ(T(x), "-3/2");
    x.Multiply(x);
    EXPECT_EQ(T(x), "9/4");
    x.Divide(x);
    EXPECT_EQ(T(x), "1");
    TLoRational y = Q("-2");
    y.Power(y);
    EXPECT_EQ(T(y), "1/4");
    y.Subtract(y);
    EXPECT_TRUE(y.IsZero());
}

TEST(TLoRationalTest, OperandUnchangedAlsoWhenTheOperationThrows) {
    const TLoRational zero = Q("0");
    TLoRational x = Q("0");
    EXPECT_THROW(x.Divide(zero), TSeisuException);
    EXPECT_EQ(T(zero), "0");
    EXPECT_EQ(zero.Sign(), 1);

    const TLoRational y = Q("-7/3");
    TLoRational z = Q("1/2");
    z.Subtract(y);
    EXPECT_EQ(T(y), "-7/3");
    z.Divide(y);
    EXPECT_EQ(T(y), "-7/3");
}

// A cancellation from the message pump in the middle of a long multiplication leaves
// the receiver as it was.
TEST(TLoRationalTest, ThrowingPumpLeavesSelfIntact) {
    const std::string big(4000, '7');
    TLoRational x = Q(big + "/3");
    const std::string before = T(x);
    TLoRational y = Q(big + "1/11");
    struct Cancel {
        static void Handler(void*) { throw std::runtime_error("cancelled"); }
    };
    {
        const pump::Scope scope(&Cancel::Handler, nullptr);
        EXPECT_THROW(x.Multiply(y), std::runtime_error);
        EXPECT_THROW(x.Power(Q("50")), std::runtime_error);
    }
    EXPECT_EQ(T(x), before);
    EXPECT_TRUE(Normal(x));
}

// --- properties on random values -----------------------------------------------------------

std::string RandomDigits(std::mt19937_64& rng, size_t len) {
    std::string s(len, '0');
    for (char& c : s) c = static_cast<char>('0' + rng() % 10);
    if (s[0] == '0') s[0] = '1';
    return s;
}

// Random values of many sizes, with small factors shared often so that reductions happen.
TLoRational RandomValue(std::mt19937_64& rng) {
    static const size_t kLengths[] = {1, 2, 4, 5, 8, 9, 20, 41, 120};
    const size_t nl = kLengths[rng() % std::size(kLengths)];
    const size_t dl = kLengths[rng() % std::size(kLengths)];
    TLoRational x = Q(RandomDigits(rng, nl) + "/" + RandomDigits(rng, dl));
    const int32_t factor = static_cast<int32_t>(rng() % 60) + 1;
    x.Multiply(TLoRational(factor, 1));
    if (rng() % 2) x.Negate();
    if (rng() % 17 == 0) x = TLoRational(0, 1);
    return x;
}

TEST(TLoRationalTest, RandomIdentities) {
    std::mt19937_64 rng(20261207);
    for (int i = 0; i < 400; ++i) {
        const TLoRational x = RandomValue(rng);
        const TLoRational y = RandomValue(rng);

        // x op y, then the inverse with y, gives x back; every step is in lowest terms.
        using Op = void (TLoRational::*)(const TLoRational&);
        const auto roundTrip = [&](Op op, Op inverse, const char* what) {
            TLoRational r = x;
            (r.*op)(y);
            EXPECT_TRUE(Normal(r));
            (r.*inverse)(y);
            EXPECT_TRUE(Normal(r));
            EXPECT_TRUE(Same(r, x)) << what << ", y = " << T(y);
        };
        roundTrip(&TLoRational::Add, &TLoRational::Subtract, "x + y - y");

        TLoRational c = x;  // commutativity of the sum
        c.Add(y);
        TLoRational d = y;
        d.Add(x);
        EXPECT_TRUE(Same(c, d));

        if (!y.IsZero()) roundTrip(&TLoRational::Multiply, &TLoRational::Divide, "x * y / y");

        // Distributivity ties the sum to the product: x(y + 1) = xy + x.
        TLoRational left = y;
        left.Add(TLoRational(1, 1));
        left.Multiply(x);
        TLoRational right = x;
        right.Multiply(y);
        right.Add(x);
        EXPECT_TRUE(Same(left, right));
    }
}

TEST(TLoRationalTest, RandomPowersCompose) {
    std::mt19937_64 rng(77);
    for (int i = 0; i < 60; ++i) {
        TLoRational x = RandomValue(rng);
        if (x.IsZero()) continue;
        const int32_t a = static_cast<int32_t>(rng() % 9) - 4;
        const int32_t b = static_cast<int32_t>(rng() % 7) - 3;
        TLoRational lhs = x;
        lhs.Power(TLoRational(a, 1));
        lhs.Power(TLoRational(b, 1));
        TLoRational rhs = x;
        rhs.Power(TLoRational(a * b, 1));
        EXPECT_TRUE(Normal(lhs));
        EXPECT_TRUE(Same(lhs, rhs)) << T(x) << " ^ " << a << " ^ " << b;
    }
}

// Sums and products of a long value and a short one, checked by cross multiplication on
// the natural numbers alone. The short operand's size steps through the machine-integer
// paths of the gcds (below 10^4, 10^8, 10^12 and beyond) and the long one's length through
// every remainder of the limb count by 2 and 3, short and long.
TEST(TLoRationalTest, MixedSizesAgainstCrossMultiplication) {
    std::mt19937_64 rng(314159);
    auto check = [](const TLoRational& x, const TLoRational& y, const TLoRational& result, bool sum) {
        // result = x op y  <=>  rn * xd * yd = (xn yd +- yn xd) * rd, or rn xd yd = xn yn rd.
        TSeisu lhs, xdyd, rhs;
        xdyd.Mul(x.Denominator(), y.Denominator());
        lhs.Mul(result.Numerator(), xdyd);
        if (sum) {
            TSeisu a, b, combined;
            a.Mul(x.Numerator(), y.Denominator());
            b.Mul(y.Numerator(), x.Denominator());
            const bool same = x.Sign() == y.Sign();
            if (same) {
                combined.LongAdd(a, b);
            } else if (a.Compare(b) == 2) {
                combined.LongSub(b, a);
            } else {
                combined.LongSub(a, b);
            }
            rhs.Mul(combined, result.Denominator());
        } else {
            TSeisu xy;
            xy.Mul(x.Numerator(), y.Numerator());
            rhs.Mul(xy, result.Denominator());
        }
        return lhs.Compare(rhs) == 1;
    };
    for (int i = 0; i < 600; ++i) {
        const size_t bigLen = i % 10 == 0 ? 1000 + static_cast<size_t>(rng() % 1500)
                                          : 13 + static_cast<size_t>(rng() % 40);
        const size_t smallLen = 1 + static_cast<size_t>(rng() % 14);
        // Shared factors make the gcds nontrivial.
        TLoRational big = Q(RandomDigits(rng, bigLen) + "/" + RandomDigits(rng, bigLen + rng() % 5));
        big.Multiply(TLoRational(static_cast<int32_t>(rng() % 720) + 1, static_cast<int32_t>(rng() % 5040) + 1));
        TLoRational small = Q(RandomDigits(rng, 1 + rng() % 3) + "/" + RandomDigits(rng, smallLen));
        if (rng() % 2) small.Negate();
        for (bool swap : {false, true}) {
            const TLoRational& a = swap ? small : big;
            const TLoRational& b = swap ? big : small;
            TLoRational s = a;
            s.Add(b);
            EXPECT_TRUE(Normal(s));
            EXPECT_TRUE(check(a, b, s, true)) << T(a) << " + " << T(b) << " gave " << T(s);
            TLoRational p = a;
            p.Multiply(b);
            EXPECT_TRUE(Normal(p));
            EXPECT_TRUE(check(a, b, p, false)) << T(a) << " * " << T(b) << " gave " << T(p);
        }
    }
}

// Long sums whose short denominators mostly divide the running one (the sum's fast
// path), some of whose sums keep a factor of it: added forwards and backwards, where the
// long value is the receiver once and the operand once.
TEST(TLoRationalTest, SumsOfManySmallTermsInBothOrders) {
    auto term = [](int kind, int32_t k) {
        switch (kind) {
        case 0: return TLoRational(1, k);                        // harmonic
        case 1: return TLoRational(1, k * k);                    // two-limb denominators
        case 2: return TLoRational(k % 2 ? -k : k, 6 * k + 6);   // alternating, shared factors
        default: return TLoRational(k % 7 - 3, 360);             // one denominator, cancelling
        }
    };
    for (int kind = 0; kind < 4; ++kind) {
        const int32_t n = 400;
        TLoRational forward, backward;
        for (int32_t k = 1; k <= n; ++k) {
            forward.Add(term(kind, k));
            ASSERT_TRUE(Normal(forward)) << kind << " " << k;
        }
        for (int32_t k = n; k >= 1; --k) {
            TLoRational t = term(kind, k);
            t.Add(backward);
            backward = t;
        }
        EXPECT_TRUE(Normal(backward));
        EXPECT_TRUE(Same(forward, backward)) << kind;
        // And taken away again, term by term, down to zero.
        for (int32_t k = 1; k <= n; ++k) forward.Subtract(term(kind, k));
        EXPECT_TRUE(forward.IsZero()) << kind << ": " << T(forward);
        EXPECT_TRUE(Normal(forward));
    }
}

// Every pair of small fractions against exact 64-bit arithmetic.
TEST(TLoRationalTest, SmallGridAgainstMachineArithmetic) {
    auto reduced = [](int64_t n, int64_t d) {
        if (d < 0) {
            n = -n;
            d = -d;
        }
        const int64_t g = std::gcd(n < 0 ? -n : n, d);
        n /= g;
        d /= g;
        std::string s = n < 0 ? "-" : "";
        s += std::to_string(n < 0 ? -n : n);
        if (d != 1) {
            s += '/';
            s += std::to_string(d);
        }
        return s;
    };
    for (int an = -7; an <= 7; ++an) {
        for (int ad = 1; ad <= 9; ++ad) {
            for (int bn = -7; bn <= 7; ++bn) {
                for (int bd = 1; bd <= 9; ++bd) {
                    const TLoRational a(an, ad), b(bn, bd);
                    TLoRational s = a, m = a;
                    s.Add(b);
                    m.Multiply(b);
                    const std::string sum = reduced(int64_t{an} * bd + int64_t{bn} * ad, int64_t{ad} * bd);
                    const std::string product = reduced(int64_t{an} * bn, int64_t{ad} * bd);
                    // The text of a zero carries the sign arithmetic left; compare values.
                    EXPECT_EQ(s.IsZero() ? std::string("0") : T(s), sum) << an << '/' << ad << '+' << bn << '/' << bd;
                    EXPECT_EQ(m.IsZero() ? std::string("0") : T(m), product) << an << '/' << ad << '*' << bn << '/' << bd;
                }
            }
        }
    }
}

// The machine-word paths of Add, Subtract, Multiply and Divide against the long numbers':
// x op y computed on small parts, and (x B) op (y B) scaled back by B = 10^30, whose parts
// are long; the texts (the sign of a zero included) must agree.
TEST(TLoRationalTest, MachineWordPathsMatchLongNumbers) {
    std::mt19937_64 rng(909);
    const uint64_t edges[] = {0, 1, 2, 9999, 10000, 99999999, 100000000, 999999999999};
    auto part = [&](bool nonzero) {
        uint64_t v = rng() % 3 == 0 ? edges[rng() % 8] : rng() % (rng() % 2 ? 1000 : 1000000000000);
        return nonzero && v == 0 ? 1 : v;
    };
    auto value = [&] {
        TLoRational x;
        x.SetSmall(part(false), part(true));
        if (rng() % 2) x.Negate();
        return x;
    };
    TLoRational b(10, 1);
    b.Power(TLoRational(30, 1));
    for (int i = 0; i < 4000; ++i) {
        const TLoRational x = value();
        TLoRational y = rng() % 8 == 0 ? x : value();
        if (rng() % 8 == 0) y.Negate();  // equal magnitudes: the sign of a zero sum
        TLoRational xb(x), yb(y);
        xb.Multiply(b);
        yb.Multiply(b);
        const int op = static_cast<int>(rng() % 4);
        if (op == 3 && y.IsZero()) continue;
        TLoRational small(x), big(xb);
        switch (op) {
        case 0: small.Add(y); big.Add(yb); big.Divide(b); break;
        case 1: small.Subtract(y); big.Subtract(yb); big.Divide(b); break;
        case 2: small.Multiply(y); big.Multiply(yb); big.Divide(b); big.Divide(b); break;
        default: small.Divide(y); big.Divide(yb); break;
        }
        ASSERT_TRUE(Normal(small)) << T(x) << " op " << op << " " << T(y);
        ASSERT_EQ(T(small), T(big)) << T(x) << " op " << op << " " << T(y);
    }
}

TEST(TLoRationalTest, SetSmallReduces) {
    struct Row {
        uint64_t n, d;
        const char* text;
    } rows[] = {
        {0, 7, "0"}, {6, 4, "3/2"}, {UINT64_MAX, 1, "18446744073709551615"},
        {UINT64_MAX, UINT64_MAX, "1"}, {10000, 100000000, "1/10000"},
    };
    for (const Row& r : rows) {
        TLoRational x(-5, 3);
        x.SetSmall(r.n, r.d);
        EXPECT_EQ(T(x), r.text);
        EXPECT_TRUE(Normal(x)) << r.text;
    }
}

}  // namespace
