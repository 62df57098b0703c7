// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "engine/tabai.h"
#include "tests/text_rows.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <functional>
#include <random>
#include <thread>
#include <atomic>
#include <string>
#include <vector>

#include "engine/pump.h"

namespace {

// --- helpers ---------------------------------------------------------------------------

TSeisu N(const std::string& digits) {
    TSeisu x;
    StringStream s(digits + ";");
    x.ReadFrom(s);
    return x;
}

std::string T(const TSeisu& x) { return x.ToText(); }

// The class invariants: Count within Capacity, limbs below 10000, no leading zero limb.
::testing::AssertionResult Valid(const TSeisu& x) {
    if (x.Count() < 0 || x.Count() > x.Capacity())
        return ::testing::AssertionFailure() << "Count " << x.Count() << " Capacity " << x.Capacity();
    for (int32_t i = 1; i <= x.Count(); ++i)
        if (x.Limb(i) > 9999) return ::testing::AssertionFailure() << "limb " << i << " is " << x.Limb(i);
    if (x.Count() > 0 && x.Limb(x.Count()) == 0) return ::testing::AssertionFailure() << "leading zero limb";
    return ::testing::AssertionSuccess();
}

void ExpectSeisuError(const std::function<void()>& f, const char* message) {
    nerova::test::expectThrowWith<TSeisuException>(f, message);
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }

// 10^k as text.
std::string Pow10(size_t k) { return "1" + Repeat('0', k); }

// Random digits with a non-zero lead; runs of 9s and 0s are frequent, to exercise carries
// and borrows.
std::string RandomDigits(std::mt19937_64& rng, size_t len) {
    std::string s(len, '0');
    const int mode = static_cast<int>(rng() % 4);
    for (size_t i = 0; i < len; ++i) {
        const uint64_t r = rng();
        char c = static_cast<char>('0' + r % 10);
        if (mode == 1 && (r >> 8) % 3 == 0) c = '9';
        if (mode == 2 && (r >> 8) % 3 == 0) c = '0';
        s[i] = c;
    }
    if (s[0] == '0') s[0] = static_cast<char>('1' + rng() % 9);
    return s;
}

TSeisu RandomLimbs(std::mt19937_64& rng, size_t limbs) {
    return N(RandomDigits(rng, 4 * limbs - rng() % 4));
}

// A pump handler that counts its calls and throws on the call numbered `throwAt`.
struct PumpProbe {
    int calls = 0;
    int throwAt = -1;
    static void Handler(void* context) {
        auto* self = static_cast<PumpProbe*>(context);
        ++self->calls;
        if (self->calls == self->throwAt) throw std::runtime_error("cancelled");
    }
};

// --- storage, construction, capacity ---------------------------------------------------

TEST(TSeisuTest, NewNumberIsZeroWithInlineCapacity) {
    TSeisu x;
    EXPECT_TRUE(x.IsZero());
    EXPECT_EQ(x.Count(), 0);
    EXPECT_EQ(x.Capacity(), 10);
    EXPECT_EQ(T(x), "0");
    TSeisu y(2147483647);
    EXPECT_EQ(T(y), "2147483647");
    EXPECT_EQ(y.Count(), 3);
    EXPECT_EQ(y.Capacity(), 10);
}

TEST(TSeisuTest, NegativeIntIsRefused) {
    ExpectSeisuError([] { TSeisu x(-1); }, "負の数は扱えません");
    TSeisu x(77);
    ExpectSeisuError([&] { x.SetInt(-5); }, "負の数は扱えません");
    EXPECT_EQ(T(x), "77");  // unchanged
    x.SetInt(0);
    EXPECT_TRUE(x.IsZero());
}

TEST(TSeisuTest, ReserveGrowsInStepsOfHundredAndNeverShrinks) {
    TSeisu x;
    x.Reserve(10);
    EXPECT_EQ(x.Capacity(), 10);
    x.Reserve(11);
    EXPECT_EQ(x.Capacity(), 100);
    x.Reserve(100);  // within Capacity 100: nothing happens
    EXPECT_EQ(x.Capacity(), 100);
    x.Reserve(101);
    EXPECT_EQ(x.Capacity(), 200);
    x.Reserve(199);
    EXPECT_EQ(x.Capacity(), 200);
    x.Reserve(-3);
    EXPECT_EQ(x.Capacity(), 200);
}

TEST(TSeisuTest, GrowingPastTenAndHundredLimbs) {
    // 11 limbs need the heap: Capacity 100; 101 limbs: 200.
    TSeisu x = N(Pow10(40));
    EXPECT_EQ(x.Count(), 11);
    EXPECT_EQ(x.Capacity(), 100);
    TSeisu y = N(Pow10(36));  // 10 limbs stay inline
    EXPECT_EQ(y.Count(), 10);
    EXPECT_EQ(y.Capacity(), 10);
    x.Assign(N(Pow10(400)));
    EXPECT_EQ(x.Count(), 101);
    EXPECT_EQ(x.Capacity(), 200);
    x.SetInt(5);  // never shrinks
    EXPECT_EQ(x.Capacity(), 200);
    x.Assign(TSeisu(3));
    EXPECT_EQ(x.Capacity(), 200);
    EXPECT_EQ(T(x), "3");
    // Growth by arithmetic: 10 limbs of 9999 plus 1.
    TSeisu z = N(Repeat('9', 40));
    EXPECT_EQ(z.Capacity(), 10);
    z.ShortAdd(1);
    EXPECT_EQ(T(z), Pow10(40));
    EXPECT_EQ(z.Capacity(), 100);
}

TEST(TSeisuTest, CopyMoveAndAssignKeepValues) {
    TSeisu small(1234), big = N(Pow10(100) + "7");
    TSeisu a(small), b(big);
    EXPECT_EQ(T(a), "1234");
    EXPECT_EQ(T(b), T(big));
    TSeisu c(std::move(b));
    EXPECT_EQ(T(c), T(big));
    EXPECT_TRUE(Valid(b));
    TSeisu d(std::move(a));
    EXPECT_EQ(T(d), "1234");
    d = std::move(c);
    EXPECT_EQ(T(d), T(big));
    d = small;  // copy onto a heap number keeps its array
    EXPECT_EQ(T(d), "1234");
    EXPECT_GE(d.Capacity(), 100);
    d = std::move(big);
    EXPECT_EQ(T(d).size(), 102u);
    d.Assign(d);
    EXPECT_EQ(T(d).size(), 102u);
    TSeisu e = N(Pow10(1000));
    e = std::move(d);  // smaller array moved onto a bigger one: capacity stays
    EXPECT_EQ(e.Capacity(), 300);
    EXPECT_EQ(T(e).size(), 102u);
}

// --- text ------------------------------------------------------------------------------

TEST(TSeisuTest, ToTextPadsLowerLimbs) {
    TSeisu x;
    EXPECT_EQ(T(x), "0");
    x.SetInt(10000);
    EXPECT_EQ(T(x), "10000");
    x.SetInt(1000000007);
    EXPECT_EQ(x.Count(), 3);
    EXPECT_EQ(T(x), "1000000007");
    x.SetInt(120005);
    EXPECT_EQ(T(x), "120005");
    std::string out = "x=";
    x.AppendText(out);
    EXPECT_EQ(out, "x=120005");
    TSeisu z;
    z.AppendText(out);
    EXPECT_EQ(out, "x=1200050");
}

TEST(TSeisuTest, ReadFromSkipsAndStepsBack) {
    StringStream s("  0042;");
    TSeisu x;
    x.ReadFrom(s);
    EXPECT_EQ(T(x), "42");
    EXPECT_EQ(s.ReadChar(), ';');

    StringStream z("0;");
    x.ReadFrom(z);
    EXPECT_TRUE(x.IsZero());
    EXPECT_EQ(x.Count(), 0);
    EXPECT_EQ(z.ReadChar(), ';');

    StringStream sevens("ab007x");
    x.ReadFrom(sevens);
    EXPECT_EQ(T(x), "7");
    EXPECT_EQ(sevens.ReadChar(), 'x');
}

TEST(TSeisuTest, ReadFromAtTheEndOfText) {
    // Digits up to the end: "end of stream" passes through, Self already holds them.
    StringStream s("12");
    TSeisu x(5);
    try {
        x.ReadFrom(s);
        ADD_FAILURE() << "expected end of stream";
    } catch (const TStreamException& e) {
        EXPECT_STREQ(e.what(), "end of stream");
    }
    EXPECT_EQ(T(x), "12");
    EXPECT_TRUE(s.AtEnd());

    // No digit at all: Self unchanged.
    for (const char* text : {"", "abc", ";;;"}) {
        StringStream t(text);
        TSeisu y(99);
        EXPECT_THROW(y.ReadFrom(t), TStreamException) << text;
        EXPECT_EQ(T(y), "99");
    }
    // Zeros only, up to the end.
    StringStream zeros("000");
    TSeisu y(99);
    EXPECT_THROW(y.ReadFrom(zeros), TStreamException);
    EXPECT_TRUE(y.IsZero());
}

TEST(TSeisuTest, ReadFromLongNumbers) {
    const std::string digits = "1" + Repeat('0', 50) + "123456789" + Repeat('9', 333);
    TSeisu x = N("junk " + digits);
    EXPECT_EQ(T(x), digits);
    EXPECT_TRUE(Valid(x));
}

TEST(TSeisuTest, ReadFromOverRandomBytesNeverCrashes) {
    std::mt19937_64 rng(7);
    for (int round = 0; round < 3000; ++round) {
        std::string text(rng() % 40, ' ');
        for (char& c : text) c = static_cast<char>(rng() % 4 == 0 ? '0' + rng() % 10 : rng() % 256);
        StringStream s(text);
        TSeisu x(3);
        for (int k = 0; k < 50; ++k) {
            try {
                x.ReadFrom(s);
            } catch (const TStreamException& e) {
                EXPECT_STREQ(e.what(), "end of stream");
                break;
            } catch (const TSeisuException&) {
                break;
            }
            EXPECT_TRUE(Valid(x));
        }
        EXPECT_TRUE(Valid(x));
    }
}

TEST(TSeisuTest, ToFloat) {
    EXPECT_EQ(TSeisu().ToFloat(), 0.0);
    EXPECT_EQ(N("12345678901234567890").ToFloat(), 12345678901234567890.0);
    EXPECT_EQ(N("9007199254740993").ToFloat(), 9007199254740992.0);  // tie: even
    EXPECT_EQ(N("9007199254740995").ToFloat(), 9007199254740996.0);
    EXPECT_EQ(N(Pow10(308)).ToFloat(), 1e308);
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.0f", DBL_MAX);
    EXPECT_EQ(N(buf).ToFloat(), DBL_MAX);
    for (const std::string& big : {Pow10(400), Pow10(309), std::string("2") + Repeat('0', 308)}) {
        try {
            N(big).ToFloat();
            ADD_FAILURE() << "expected overflow";
        } catch (const TFloatOverflowException& e) {
            EXPECT_STREQ(e.what(), "浮動小数点数のオーバーフロー");
        }
    }
}

// --- comparison ------------------------------------------------------------------------

TEST(TSeisuTest, Compare) {
    struct Row {
        const char *a, *b;
        int expected;
    } rows[] = {
        {"7", "10000", 2},        // fewer limbs
        {"10000", "9999", 0},     // more limbs
        {"123456789", "123456789", 1},
        {"123456789", "123456788", 0},  // differs in the lowest limb only
        {"0", "0", 1},
        {"0", "1", 2},
        {"99999999", "100000000", 2},
    };
    for (const Row& r : rows) EXPECT_EQ(N(r.a).Compare(N(r.b)), r.expected) << r.a << " vs " << r.b;
    TSeisu x = N("98765432109876");
    EXPECT_EQ(x.Compare(x), 1);
}

TEST(TSeisuTest, EqualsSmall) {
    EXPECT_TRUE(N("1").EqualsSmall(1));
    EXPECT_FALSE(N("10001").EqualsSmall(1));  // two limbs, the lowest 1
    EXPECT_FALSE(TSeisu().EqualsSmall(0));
    EXPECT_TRUE(N("9999").EqualsSmall(9999));
}

// --- addition and subtraction -----------------------------------------------------------

TEST(TSeisuTest, ShortAddCarries) {
    struct Row {
        const char* a;
        uint16_t n;
        const char* expected;
        int32_t count;
    } rows[] = {
        {"9999", 1, "10000", 2},
        {"99999999", 1, "100000000", 3},
        {"0", 0, "0", 0},
        {"0", 9999, "9999", 1},
        {"5", 0, "5", 1},
        {"99990000", 9999, "99999999", 2},
        {"199999999", 1, "200000000", 3},    // carry stops inside
        {"9998", 9999, "19997", 2},
        {"123", 40000, "40123", 2},          // beyond 9999 still works
    };
    for (const Row& r : rows) {
        TSeisu x = N(r.a);
        x.ShortAdd(r.n);
        EXPECT_EQ(T(x), r.expected) << r.a << " + " << r.n;
        EXPECT_EQ(x.Count(), r.count);
        EXPECT_TRUE(Valid(x));
    }
}

TEST(TSeisuTest, LongAddAndSub) {
    struct Row {
        const char *a, *b, *sum;
    } rows[] = {
        {"0", "0", "0"},
        {"0", "12345", "12345"},
        {"9999", "1", "10000"},
        {"99999999", "1", "100000000"},
        {"1", "99999999", "100000000"},
        {"99999999", "99999999", "199999998"},
        {"123456789012", "987654321098", "1111111110110"},
        {"1000000000000", "1", "1000000000001"},
    };
    for (const Row& r : rows) {
        TSeisu s;
        s.LongAdd(N(r.a), N(r.b));
        EXPECT_EQ(T(s), r.sum) << r.a << " + " << r.b;
        EXPECT_TRUE(Valid(s));
        TSeisu d;
        d.LongSub(s, N(r.b));
        EXPECT_EQ(T(d), T(N(r.a)));
        EXPECT_TRUE(Valid(d));
        TSeisu x = N(r.a);
        x.Add(N(r.b));
        EXPECT_EQ(T(x), r.sum);
    }
}

TEST(TSeisuTest, LongSubBorrowsAndRefusesNegatives) {
    TSeisu x;
    x.LongSub(N("5"), N("5"));
    EXPECT_TRUE(x.IsZero());
    EXPECT_EQ(x.Count(), 0);
    x.LongSub(N("10000"), N("1"));
    EXPECT_EQ(T(x), "9999");
    EXPECT_EQ(x.Count(), 1);
    x.LongSub(N("100000000"), N("1"));
    EXPECT_EQ(T(x), "99999999");
    x.LongSub(N("1000000000000"), N("999999999999"));
    EXPECT_EQ(T(x), "1");
    EXPECT_EQ(x.Count(), 1);

    x.SetInt(42);
    ExpectSeisuError([&] { x.LongSub(N("3"), N("5")); }, "LongSub で結果が負になりました");
    EXPECT_EQ(T(x), "42");  // same length: refused before writing
    ExpectSeisuError([&] { x.LongSub(N("3"), N("50000")); }, "LongSub で結果が負になりました");
    EXPECT_EQ(T(x), "42");
    ExpectSeisuError([&] { x.LongSub(N("123456789"), N("123456790")); }, "LongSub で結果が負になりました");
    EXPECT_EQ(T(x), "42");
}

TEST(TSeisuTest, AddAndSubAliasing) {
    TSeisu x = N("99999999");
    x.Add(x);
    EXPECT_EQ(T(x), "199999998");
    x.LongAdd(x, x);
    EXPECT_EQ(T(x), "399999996");
    TSeisu y = N("1");
    y.LongAdd(N("99999999"), y);
    EXPECT_EQ(T(y), "100000000");
    x.LongSub(x, x);
    EXPECT_TRUE(x.IsZero());
    TSeisu a = N("100000000"), b = N("1");
    b.LongSub(a, b);  // Self is B
    EXPECT_EQ(T(b), "99999999");
    a.LongSub(a, N("99999999"));  // Self is A
    EXPECT_EQ(T(a), "1");
}

// --- multiplication --------------------------------------------------------------------

TEST(TSeisuTest, Shortmul) {
    struct Row {
        const char* a;
        uint16_t n;
        const char* expected;
    } rows[] = {
        {"12345", 0, "0"},
        {"0", 10, "0"},
        {"9999", 10, "99990"},
        {"9999", 10000, "99990000"},
        {"99999999", 9999, "999899990001"},
        {"123", 1, "123"},
        {"99999999", 65535, "6553499934465"},  // above 10000 still works
    };
    for (const Row& r : rows) {
        TSeisu x = N(r.a);
        x.Shortmul(r.n);
        EXPECT_EQ(T(x), r.expected) << r.a << " * " << r.n;
        EXPECT_TRUE(Valid(x));
    }
    TSeisu x = N("9999");
    x.Shortmul(10);
    EXPECT_EQ(x.Count(), 2);
}

TEST(TSeisuTest, MulTable) {
    struct Row {
        const char *a, *b, *product;
    } rows[] = {
        {"0", "123", "0"},
        {"123", "0", "0"},
        {"9999", "9999", "99980001"},
        {"10000", "10000", "100000000"},
        {"99999999", "99999999", "9999999800000001"},
        {"123456789", "987654321", "121932631112635269"},
        {"1", "123456789012345678901234567890", "123456789012345678901234567890"},
    };
    for (const Row& r : rows) {
        TSeisu p;
        p.Mul(N(r.a), N(r.b));
        EXPECT_EQ(T(p), r.product) << r.a << " * " << r.b;
        EXPECT_TRUE(Valid(p));
        TSeisu q = N(r.a);
        q.MulBy(N(r.b));
        EXPECT_EQ(T(q), r.product);
        TSeisu acc = N("1000");
        acc.LongMul(N(r.a), N(r.b));
        TSeisu expected = N(r.product);
        expected.ShortAdd(1000);
        EXPECT_EQ(T(acc), T(expected));
    }
    TSeisu p;
    p.Mul(N("10000"), N("10000"));
    EXPECT_EQ(p.Count(), 3);
}

TEST(TSeisuTest, MulAliasing) {
    TSeisu x = N("123456789");
    x.Mul(x, x);
    EXPECT_EQ(T(x), "15241578750190521");
    TSeisu y = N("99999999");
    y.MulBy(y);
    EXPECT_EQ(T(y), "9999999800000001");
    TSeisu z = N("3");
    z.LongMul(z, z);  // 3 + 3 * 3
    EXPECT_EQ(T(z), "12");
    TSeisu w = N("1000");
    w.LongMul(w, N("7"));
    EXPECT_EQ(T(w), "8000");
}

TEST(TSeisuTest, LongMulPumpsOncePerLimbOfSecondFactor) {
    PumpProbe probe;
    pump::Scope scope(&PumpProbe::Handler, &probe);
    TSeisu p;
    p.Mul(N("123456789012"), N("12345678901234567890"));  // 3 x 5 limbs
    EXPECT_EQ(probe.calls, 5);
    probe.calls = 0;
    TSeisu x;
    x.Mul(N("0"), N("12345678"));
    EXPECT_EQ(probe.calls, 0);
}

TEST(TSeisuTest, ThrowingPumpLeavesOperandsIntact) {
    std::mt19937_64 rng(11);
    for (size_t limbs : {3u, 60u, 2000u}) {
        const TSeisu a0 = RandomLimbs(rng, limbs), b0 = RandomLimbs(rng, limbs + 5);
        for (int throwAt : {1, 2, 3}) {
            PumpProbe probe;
            probe.throwAt = throwAt;
            pump::Scope scope(&PumpProbe::Handler, &probe);
            TSeisu a(a0), b(b0), out(12345);
            EXPECT_THROW(out.Mul(a, b), std::runtime_error);
            EXPECT_EQ(T(a), T(a0));
            EXPECT_EQ(T(b), T(b0));
            EXPECT_EQ(T(out), "12345");
            probe.calls = 0;
            EXPECT_THROW(a.MulBy(a), std::runtime_error);
            EXPECT_EQ(T(a), T(a0));
            probe.calls = 0;
            EXPECT_THROW(a.LongMul(a, b), std::runtime_error);
            EXPECT_EQ(T(a), T(a0));
            probe.calls = 0;
            TSeisu e(20);
            EXPECT_THROW(a.Power(e), std::runtime_error);
            EXPECT_EQ(T(a), T(a0));
            EXPECT_EQ(T(e), "20");
            EXPECT_TRUE(Valid(a) && Valid(b) && Valid(out));
        }
    }
}

TEST(TSeisuTest, ThrowingPumpInsideLargeTransformsAndDivisions) {
    // Products too long for the floating transform take the modular one, on two threads;
    // the cancellation must still come out as the pump's exception, with the operands intact.
    // So too from inside the rows of the long and the exact divisions (mid-size operands),
    // whichever instruction set those were compiled for.
    std::mt19937_64 rng(12);
    const TSeisu a0 = RandomLimbs(rng, 40000), b0 = RandomLimbs(rng, 38000);
    const TSeisu d0 = RandomLimbs(rng, 600), k0 = RandomLimbs(rng, 700);
    TSeisu big, mid;
    big.Mul(a0, a0);
    mid.Mul(d0, k0);
    for (int throwAt : {1, 3, 10}) {
        PumpProbe probe;
        probe.throwAt = throwAt;
        pump::Scope scope(&PumpProbe::Handler, &probe);
        TSeisu a(a0), b(b0), out(7);
        EXPECT_THROW(out.Mul(a, b), std::runtime_error);
        EXPECT_EQ(a.Compare(a0), 1);
        EXPECT_EQ(b.Compare(b0), 1);
        EXPECT_EQ(T(out), "7");
        probe.calls = 0;
        TSeisu q(5), r(6);
        EXPECT_THROW(q.DivMod(big, b, r), std::runtime_error);
        EXPECT_EQ(T(q), "5");
        EXPECT_EQ(T(r), "6");
        probe.calls = 0;
        EXPECT_THROW(q.DivMod(mid, d0, r), std::runtime_error);
        probe.calls = 0;
        EXPECT_THROW(q.DivExact(mid, d0), std::runtime_error);
        EXPECT_EQ(T(q), "5");
        EXPECT_EQ(T(r), "6");
        probe.calls = 0;
        TSeisu g(8);
        EXPECT_THROW(g.Gcd(a, b), std::runtime_error);
        EXPECT_EQ(T(g), "8");
        probe.calls = 0;
        TSeisu p(3);
        EXPECT_THROW(p.Power(TSeisu(1000000)), std::runtime_error);
        EXPECT_EQ(T(p), "3");
    }
}

// Records the thread of every pump call, and throws on the call numbered `throwAt`.
struct ThreadProbe {
    std::thread::id owner = std::this_thread::get_id();
    std::atomic<int> calls{0};
    std::atomic<int> foreign{0};
    int throwAt = -1;
    static void Handler(void* context) {
        auto* self = static_cast<ThreadProbe*>(context);
        if (std::this_thread::get_id() != self->owner) ++self->foreign;
        if (++self->calls == self->throwAt) throw std::runtime_error("cancelled");
    }
};

TEST(TSeisuTest, PumpRunsOnlyOnTheCallingThread) {
    // A window system's handler must run on its own thread, also while the second thread
    // of a large transform works; a cancellation at any of the pump's calls (early, in
    // the middle, or while this thread waits for the helper's last task) must come out
    // here, with the operands intact and the helper joined.
    std::mt19937_64 rng(21);
    const TSeisu a0 = RandomLimbs(rng, 40000), b0 = RandomLimbs(rng, 30000);
    TSeisu expected;
    expected.Mul(a0, b0);
    int total = 0;
    {
        ThreadProbe probe;
        pump::Scope scope(&ThreadProbe::Handler, &probe);
        TSeisu out;
        out.Mul(a0, b0);
        EXPECT_EQ(out.Compare(expected), 1);
        TSeisu sq(a0);
        sq.MulBy(sq);
        EXPECT_EQ(probe.foreign.load(), 0);
        total = probe.calls.load();
    }
    ASSERT_GT(total, 20);
    for (int step = 0; step <= 12; ++step) {
        ThreadProbe probe;
        probe.throwAt = 1 + (total - 1) * step / 12;  // the first call, and on to the last
        pump::Scope scope(&ThreadProbe::Handler, &probe);
        TSeisu a(a0), b(b0), out(9);
        // How often the pump runs depends on how the tasks fall to the two threads (and
        // on how long this thread waits), so a late call may not come: then the work
        // must have finished with fewer calls. A throw must come out at once, unswallowed.
        try {
            out.Mul(a, b);
            TSeisu sq(a);
            sq.MulBy(sq);
            EXPECT_LT(probe.calls.load(), probe.throwAt);
            EXPECT_EQ(out.Compare(expected), 1);
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "cancelled");
            EXPECT_EQ(probe.calls.load(), probe.throwAt);
        }
        EXPECT_EQ(probe.foreign.load(), 0);
        EXPECT_EQ(a.Compare(a0), 1);
        EXPECT_EQ(b.Compare(b0), 1);
        EXPECT_TRUE(Valid(out));
        EXPECT_TRUE(T(out) == "9" || out.Compare(expected) == 1);
    }
}

TEST(TSeisuTest, GcdCancelledAnywhere) {
    // The half-gcd recursion, its shared transforms (on two threads) and Lehmer's passes
    // all pump: a cancellation at any point leaves the operands and the target as they
    // were, and the same numbers then give the same gcd.
    std::mt19937_64 rng(23);
    const TSeisu g0 = RandomLimbs(rng, 700);
    TSeisu a0 = RandomLimbs(rng, 5000), b0 = RandomLimbs(rng, 4990);
    a0.MulBy(g0);
    b0.MulBy(g0);
    TSeisu expected;
    int total = 0;
    {
        ThreadProbe probe;
        pump::Scope scope(&ThreadProbe::Handler, &probe);
        expected.Gcd(a0, b0);
        total = probe.calls.load();
        EXPECT_EQ(probe.foreign.load(), 0);
    }
    ASSERT_GT(total, 100);
    TSeisu q, r;
    q.DivMod(expected, g0, r);
    EXPECT_TRUE(r.IsZero());
    for (int step = 0; step <= 10; ++step) {
        ThreadProbe probe;
        probe.throwAt = 1 + (total - 1) * step / 10;
        pump::Scope scope(&ThreadProbe::Handler, &probe);
        TSeisu a(a0), b(b0), g(77);
        try {
            g.Gcd(a, b);
            EXPECT_LT(probe.calls.load(), probe.throwAt);
            EXPECT_EQ(g.Compare(expected), 1);
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "cancelled");
            EXPECT_EQ(T(g), "77");
        }
        EXPECT_EQ(probe.foreign.load(), 0);
        EXPECT_EQ(a.Compare(a0), 1);
        EXPECT_EQ(b.Compare(b0), 1);
    }
}

TEST(TSeisuTest, DifferentNumbersOnTwoThreadsAtOnce) {
    // Nothing is shared between numbers but the transforms' root tables: two threads
    // computing large products, quotients and gcds side by side get the serial results.
    std::mt19937_64 rng(22);
    struct Job {
        TSeisu a, b, product, quotient, gcd;
    };
    Job jobs[2];
    for (Job& j : jobs) {
        j.a = RandomLimbs(rng, 30000);
        j.b = RandomLimbs(rng, 9000);
    }
    auto run = [](Job& j, TSeisu& p, TSeisu& q, TSeisu& g) {
        TSeisu r;
        p.Mul(j.a, j.b);
        q.DivMod(p, j.b, r);
        g.Gcd(j.a, j.b);
    };
    for (Job& j : jobs) run(j, j.product, j.quotient, j.gcd);
    TSeisu p[2], q[2], g[2];
    std::thread other([&] { run(jobs[1], p[1], q[1], g[1]); });
    run(jobs[0], p[0], q[0], g[0]);
    other.join();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(p[i].Compare(jobs[i].product), 1);
        EXPECT_EQ(q[i].Compare(jobs[i].a), 1);
        EXPECT_EQ(g[i].Compare(jobs[i].gcd), 1);
    }
}

// --- powers ----------------------------------------------------------------------------

TEST(TSeisuTest, PowerTable) {
    struct Row {
        const char *base, *exp, *expected;
    } rows[] = {
        {"2", "10", "1024"},
        {"0", "0", "1"},
        {"0", "5", "0"},
        {"7", "0", "1"},
        {"1", "123456789012345", "1"},
        {"7", "1", "7"},
        {"3", "40", "12157665459056928801"},
        {"10000", "3", "1000000000000"},
        {"20", "5", "3200000"},
        {"1230", "2", "1512900"},
        {"99999999", "3", "999999970000000299999999"},
    };
    for (const Row& r : rows) {
        TSeisu x = N(r.base);
        x.Power(N(r.exp));
        EXPECT_EQ(T(x), r.expected) << r.base << " ^ " << r.exp;
        EXPECT_TRUE(Valid(x));
    }
    TSeisu ten(10);
    ten.Power(TSeisu(40));
    EXPECT_EQ(T(ten).size(), 41u);
    EXPECT_EQ(T(ten), Pow10(40));
    TSeisu x(3);
    x.Power(x);  // aliasing: 3^3
    EXPECT_EQ(T(x), "27");
}

TEST(TSeisuTest, PowerRefusesHugeResultsAtOnce) {
    TSeisu x(10000);
    ExpectSeisuError([&] { x.Power(N("999999999")); }, "LongMul で桁あふれが起こりました");
    EXPECT_EQ(T(x), "10000");
    TSeisu two(2);
    ExpectSeisuError([&] { two.Power(N("1000000000000")); }, "LongMul で桁あふれが起こりました");
    ExpectSeisuError([&] { two.Power(N("13300000000")); }, "LongMul で桁あふれが起こりました");
    EXPECT_EQ(T(two), "2");
    TSeisu one(1);
    one.Power(N(Pow10(50)));
    EXPECT_EQ(T(one), "1");
    TSeisu zero;
    zero.Power(N(Pow10(50)));
    EXPECT_TRUE(zero.IsZero());
}

// The digit budget for the length of one test; the previous budget comes back after it.
class DigitBudget {
public:
    explicit DigitBudget(int64_t digits) : saved_(TSeisu::MaxDigits()) { TSeisu::SetMaxDigits(digits); }
    ~DigitBudget() { TSeisu::SetMaxDigits(saved_); }
    DigitBudget(const DigitBudget&) = delete;
    DigitBudget& operator=(const DigitBudget&) = delete;

private:
    int64_t saved_;
};

TEST(TSeisuTest, BudgetRefusesProductsAndPowersBeforeComputing) {
    const DigitBudget budget(100);
    struct Row {
        std::string a, b;
        bool power;
        bool refused;
    } rows[] = {
        {Pow10(49), Pow10(50), false, false},   // 100 digits: at the budget
        {Pow10(50), Pow10(50), false, true},    // 101 digits
        {Repeat('9', 50), Repeat('9', 50), false, false},  // 100 digits, largest of that length
        {"10", "99", true, false},             // 10^99: 100 digits
        {"10", "100", true, true},             // 10^100: 101 digits
        {"2", "332", true, false},             // 2^332: 100 digits
        {"2", "333", true, true},              // 2^333: 101 digits
        {"9", "387420489", true, true},        // 9^9^9: refused at once, not computed
        {"1", "387420489", true, false},       // 1 to any power stays 1
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.a.substr(0, 10) + (row.power ? " ^ " : " * ") + row.b.substr(0, 10));
        TSeisu x = N(row.a);
        const TSeisu y = N(row.b);
        auto run = [&] { row.power ? x.Power(y) : x.Mul(x, y); };
        if (row.refused) {
            ExpectSeisuError(run, nerova::sourceText(kSeisuTooLarge));
            EXPECT_EQ(T(x), row.a);  // nothing changed
        } else {
            run();
            EXPECT_LE(T(x).size(), 100u);
        }
    }
    TSeisu acc = N(Pow10(60));
    ExpectSeisuError([&] { acc.LongMul(N(Pow10(50)), N(Pow10(50))); }, nerova::sourceText(kSeisuTooLarge));
    EXPECT_EQ(T(acc), Pow10(60));
}

TEST(TSeisuTest, BudgetBelowTheSmallestCountsAsTheSmallest) {
    const DigitBudget budget(1);
    EXPECT_EQ(TSeisu::MaxDigits(), TSeisu::kMinMaxDigits);
    TSeisu x(99999);
    x.Mul(x, N("999999999999999"));  // 20 digits
    EXPECT_EQ(T(x), "99998999999999900001");
}

// --- division --------------------------------------------------------------------------

TEST(TSeisuTest, DivModTable) {
    struct Row {
        const char *a, *b, *q, *r;
    } rows[] = {
        {"5", "10000", "0", "5"},                           // shorter dividend
        {"9999", "9999", "1", "0"},
        {"123456789", "10", "12345678", "9"},               // single-limb divisor
        {"100000000", "9999", "10001", "1"},
        {"100000000", "10001", "9999", "1"},                // long division
        {"100000000000000000000", "10000000001", "9999999999", "1"},  // add-back once
        {"99999999", "99999999", "1", "0"},
        {"99999998", "99999999", "0", "99999998"},          // same length, smaller
        {"123456789012345678901234567890", "12345678901234567890", "10000000000", "1234567890"},
        {"1000000000000", "10000", "100000000", "0"},
        {"1000000000000", "10001", "99990000", "10000"},     // divisor top limb 1
        {"999999999999999999", "99999999", "10000000100", "99"},  // divisor top 9999
        {"0", "7", "0", "0"},
    };
    for (const Row& r : rows) {
        TSeisu q, rem;
        q.DivMod(N(r.a), N(r.b), rem);
        EXPECT_EQ(T(q), r.q) << r.a << " / " << r.b;
        EXPECT_EQ(T(rem), r.r) << r.a << " % " << r.b;
        EXPECT_TRUE(Valid(q) && Valid(rem));
    }
}

TEST(TSeisuTest, DivModErrorsAndAliasing) {
    TSeisu q(1), r(2);
    ExpectSeisuError([&] { q.DivMod(N("7"), TSeisu(), r); }, "0 では割れません");
    EXPECT_EQ(T(q), "1");
    EXPECT_EQ(T(r), "2");
    uint16_t rem = 0;
    ExpectSeisuError([&] { q.ShortDivMod(N("7"), 0, rem); }, "0 では割れません");

    // The quotient object is the dividend.
    TSeisu a = N("100000000000000000000");
    a.DivMod(a, N("10000000001"), r);
    EXPECT_EQ(T(a), "9999999999");
    EXPECT_EQ(T(r), "1");
    // A dividend shorter than the divisor comes back whole as the remainder even then.
    TSeisu s(5);
    s.DivMod(s, N("10000"), r);
    EXPECT_TRUE(s.IsZero());
    EXPECT_EQ(T(r), "5");
    // Remainder object is the dividend, or the divisor.
    TSeisu d = N("123456789"), e = N("1000");
    q.DivMod(d, e, d);
    EXPECT_EQ(T(q), "123456");
    EXPECT_EQ(T(d), "789");
    TSeisu f = N("123456789"), g = N("1000");
    q.DivMod(f, g, g);
    EXPECT_EQ(T(q), "123456");
    EXPECT_EQ(T(g), "789");
    // The quotient object is the divisor.
    TSeisu h = N("1000");
    h.DivMod(N("123456789"), h, r);
    EXPECT_EQ(T(h), "123456");
    EXPECT_EQ(T(r), "789");
}

TEST(TSeisuTest, DivExactPublicOperation) {
    // The small cases, zero, the error, aliasing, and a throwing pump at a size that takes
    // the reciprocal.
    EXPECT_EQ(T([] { TSeisu q; q.DivExact(N("0"), N("123")); return q; }()), "0");
    EXPECT_EQ(T([] { TSeisu q; q.DivExact(N("99980001"), N("9999")); return q; }()), "9999");
    TSeisu q(1);
    ExpectSeisuError([&] { q.DivExact(N("7"), TSeisu()); }, "0 では割れません");
    EXPECT_EQ(T(q), "1");
    std::mt19937_64 rng(31);
    const TSeisu d0 = RandomLimbs(rng, 400), k0 = RandomLimbs(rng, 500);
    TSeisu a0;
    a0.Mul(d0, k0);
    TSeisu a(a0), d(d0);
    a.DivExact(a, d);
    EXPECT_EQ(a.Compare(k0), 1);
    a.Assign(a0);
    d.DivExact(a, d);
    EXPECT_EQ(d.Compare(k0), 1);
    d.Assign(d0);
    for (int throwAt : {1, 2}) {
        PumpProbe probe;
        probe.throwAt = throwAt;
        pump::Scope scope(&PumpProbe::Handler, &probe);
        TSeisu out(77);
        EXPECT_THROW(out.DivExact(a0, d0), std::runtime_error);
        EXPECT_EQ(T(out), "77");
    }
    // Not a divisor: some valid number, no fault.
    TSeisu bad, one(1);
    bad.Add(a0);
    bad.Add(one);
    q.DivExact(bad, d0);
    EXPECT_TRUE(Valid(q));
}

TEST(TSeisuTest, ShortDivMod) {
    uint16_t rem = 0;
    TSeisu q;
    q.ShortDivMod(N("100000000"), 9999, rem);
    EXPECT_EQ(T(q), "10001");
    EXPECT_EQ(rem, 1);
    q.ShortDivMod(N("123456789"), 65535, rem);
    EXPECT_EQ(T(q), "1883");
    EXPECT_EQ(rem, 54384);
    TSeisu x = N("10000");
    x.ShortDivMod(x, 2, rem);
    EXPECT_EQ(T(x), "5000");
    EXPECT_EQ(x.Count(), 1);
    x.ShortDivMod(TSeisu(), 3, rem);
    EXPECT_TRUE(x.IsZero());
    EXPECT_EQ(rem, 0);
}

// --- gcd -------------------------------------------------------------------------------

TEST(TSeisuTest, GcdTable) {
    struct Row {
        const char *a, *b, *g;
    } rows[] = {
        {"12", "18", "6"},
        {"0", "7", "7"},
        {"7", "0", "7"},
        {"0", "0", "0"},
        {"1", "123456789012345678901234567890", "1"},
        {"123456789012345678901234567890", "987654321098765432109876543210", "9000000000900000000090"},
        {"10000000000000000", "1000000", "1000000"},
    };
    for (const Row& r : rows) {
        TSeisu g;
        g.Gcd(N(r.a), N(r.b));
        EXPECT_EQ(T(g), r.g) << "gcd(" << r.a << ", " << r.b << ")";
        TSeisu x = N(r.a);
        x.Gcd(x, N(r.b));
        EXPECT_EQ(T(x), r.g);
    }
}

// --- randomized identities -------------------------------------------------------------

// Checks q * b + r = a with r < b, and the other identities, for one pair.
void CheckIdentities(const TSeisu& a, const TSeisu& b, const TSeisu& c) {
    SCOPED_TRACE("a=" + T(a).substr(0, 30) + " b=" + T(b).substr(0, 30));
    // (a div b) * b + r = a, r < b.
    if (!b.IsZero()) {
        TSeisu q, r;
        q.DivMod(a, b, r);
        ASSERT_TRUE(Valid(q) && Valid(r));
        EXPECT_EQ(r.Compare(b), 2);
        TSeisu back;
        back.Mul(q, b);
        back.Add(r);
        EXPECT_EQ(back.Compare(a), 1);
    }
    // (a + b) - b = a.
    TSeisu s;
    s.LongAdd(a, b);
    s.LongSub(s, b);
    EXPECT_EQ(s.Compare(a), 1);
    // a (b + c) = ab + ac.
    TSeisu bc, left, right;
    bc.LongAdd(b, c);
    left.Mul(a, bc);
    right.Mul(a, b);
    right.LongMul(a, c);
    EXPECT_EQ(left.Compare(right), 1);
    EXPECT_TRUE(Valid(left));
    // Squares agree with products.
    TSeisu sq(a), prod;
    sq.MulBy(sq);
    TSeisu acopy(a);
    prod.Mul(a, acopy);
    EXPECT_EQ(sq.Compare(prod), 1);
    // Text round trip.
    EXPECT_EQ(N(T(a)).Compare(a), 1);
}

TEST(TSeisuTest, RandomIdentitiesUpTo300Limbs) {
    std::mt19937_64 rng(20240601);
    for (int round = 0; round < 400; ++round) {
        const size_t la = 1 + rng() % 300, lb = 1 + rng() % (rng() % 2 ? la : 300);
        const TSeisu a = RandomLimbs(rng, la), b = RandomLimbs(rng, lb), c = RandomLimbs(rng, 1 + rng() % 300);
        CheckIdentities(a, b, c);
        if (HasFatalFailure()) return;
    }
}

TEST(TSeisuTest, RandomGcdProperties) {
    std::mt19937_64 rng(99);
    for (int round = 0; round < 150; ++round) {
        const TSeisu common = RandomLimbs(rng, 1 + rng() % 40);
        TSeisu a = RandomLimbs(rng, 1 + rng() % 150), b = RandomLimbs(rng, 1 + rng() % 150);
        a.MulBy(common);
        b.MulBy(common);
        TSeisu g;
        g.Gcd(a, b);
        ASSERT_FALSE(g.IsZero());
        TSeisu qa, ra, qb, rb, h;
        qa.DivMod(a, g, ra);
        qb.DivMod(b, g, rb);
        EXPECT_TRUE(ra.IsZero());
        EXPECT_TRUE(rb.IsZero());
        h.Gcd(qa, qb);
        EXPECT_TRUE(h.EqualsSmall(1)) << T(h);
        TSeisu rc, qc;
        qc.DivMod(g, common, rc);  // common divides the gcd
        EXPECT_TRUE(rc.IsZero());
    }
}

TEST(TSeisuTest, RandomPowerAgainstRepeatedMultiplication) {
    std::mt19937_64 rng(5);
    for (int round = 0; round < 60; ++round) {
        const TSeisu base = RandomLimbs(rng, 1 + rng() % 6);
        const int32_t e = static_cast<int32_t>(rng() % 40);
        TSeisu expected(1);
        for (int32_t k = 0; k < e; ++k) expected.MulBy(base);
        TSeisu x(base);
        x.Power(TSeisu(e));
        EXPECT_EQ(x.Compare(expected), 1) << T(base) << " ^ " << e;
        // With trailing zeros.
        TSeisu z(base);
        z.Shortmul(1000);
        TSeisu ez(1);
        for (int32_t k = 0; k < e; ++k) ez.MulBy(z);
        z.Power(TSeisu(e));
        EXPECT_EQ(z.Compare(ez), 1);
    }
}

TEST(TSeisuTest, TextRoundTrip) {
    std::mt19937_64 rng(3);
    for (int round = 0; round < 300; ++round) {
        const std::string d = RandomDigits(rng, 1 + rng() % 1300);
        EXPECT_EQ(T(N(d)), d);
        EXPECT_EQ(T(N("000" + d)), d);
    }
}

// --- machine integers ----------------------------------------------------------------------

// The constructor from an int takes values of one limb without a call: both sides of
// that edge, and the refusal of a negative value.
TEST(TSeisuTest, ConstructedFromIntAsSetInt) {
    const int32_t rows[] = {0, 1, 9999, 10000, 10001, 99999999, 100000000, INT32_MAX};
    for (int32_t n : rows) {
        const TSeisu x(n);
        TSeisu y;
        y.SetInt(n);
        EXPECT_TRUE(Valid(x)) << n;
        EXPECT_EQ(T(x), std::to_string(n));
        EXPECT_EQ(x.Compare(y), 1) << n;  // equal
    }
    for (int32_t n : {-1, -9999, INT32_MIN}) EXPECT_THROW(TSeisu{n}, TSeisuException) << n;
}

TEST(TSeisuTest, SmallValuesBothWays) {
    const uint64_t rows[] = {0, 1, 9999, 10000, 99999999, 100000000, 999999999999,
                             1000000000000, 9999999999999999, 10000000000000000, UINT64_MAX};
    for (uint64_t v : rows) {
        std::mt19937_64 rng(v);
        TSeisu x = RandomLimbs(rng, 150);  // a heap array, written over
        x.SetSmall(v);
        EXPECT_TRUE(Valid(x)) << v;
        EXPECT_EQ(T(x), std::to_string(v));
        EXPECT_EQ(x.IsSmall(), v < 1000000000000) << v;
        if (x.Count() <= 4) {
            EXPECT_EQ(x.SmallValue(), v);
        }
    }
}

// ModSmall against DivMod, for divisors at the edges of its one-, two- and three-limb steps
// and numbers of many lengths (the two interleaved chains meet in the middle).
TEST(TSeisuTest, ModSmallAgreesWithDivMod) {
    std::mt19937_64 rng(77);
    const uint64_t divisors[] = {1, 2, 3, 9999, 10000, 10001, 65535, 99999999, 100000000,
                                 100000001, 999999999989, 999999999999};
    for (size_t limbs : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 13u, 100u, 1001u}) {
        const TSeisu a = limbs == 0 ? TSeisu() : RandomLimbs(rng, limbs);
        for (uint64_t d : divisors) {
            TSeisu q, r, dd;
            dd.SetSmall(d);
            q.DivMod(a, dd, r);
            EXPECT_EQ(a.ModSmall(d), r.SmallValue()) << limbs << " limbs mod " << d;
        }
        const uint64_t d = 1 + rng() % 999999999999;
        TSeisu q, r, dd;
        dd.SetSmall(d);
        q.DivMod(a, dd, r);
        EXPECT_EQ(a.ModSmall(d), r.SmallValue()) << limbs << " limbs mod " << d;
    }
}

TEST(TSeisuTest, GcdSmallDividesBoth) {
    std::mt19937_64 rng(78);
    EXPECT_EQ(TSeisu::GcdSmall(0, 0), 0u);
    EXPECT_EQ(TSeisu::GcdSmall(12, 0), 12u);
    EXPECT_EQ(TSeisu::GcdSmall(0, 12), 12u);
    EXPECT_EQ(TSeisu::GcdSmall(UINT64_MAX, UINT64_MAX - 1), 1u);
    for (int i = 0; i < 2000; ++i) {
        const uint64_t f = 1 + rng() % 100000, a = f * (rng() % 1000000), b = f * (rng() % 1000000);
        const uint64_t g = TSeisu::GcdSmall(a, b);
        TSeisu ga, gb, x;
        ga.SetSmall(a);
        gb.SetSmall(b);
        x.Gcd(ga, gb);
        EXPECT_EQ(g, x.SmallValue()) << a << " " << b;
    }
}

}  // namespace
