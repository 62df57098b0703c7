// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Timings of TSeisu (engine/tabai.h) on large and on many small numbers.
// Usage: tabai_bench [--quick] [--single]
//   --quick   smaller sizes, for a smoke run
//   --single  large transforms on one thread only (they use two by default)
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "bench/numbers.h"
#include "engine/tabai.h"
#include "engine/tabai_kernels.h"

namespace {

using nerova::bench::FromText;
using nerova::bench::RandomDigits;

// Runs f `reps` times and reports the best time in milliseconds.
double Best(int reps, const std::function<void()>& f) {
    double best = 1e300;
    for (int i = 0; i < reps; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        if (ms < best) best = ms;
    }
    return best;
}

void Row(const char* what, double ms, const std::string& note = "") {
    std::printf("%-52s %12.2f ms  %s\n", what, ms, note.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    bool quick = false;
    tabai_kernels::Tuning tuning;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) quick = true;
        if (std::strcmp(argv[i], "--single") == 0) tuning.nttParallel = false;
    }
    tabai_kernels::SetTuning(tuning);
    const size_t scale = quick ? 10 : 1;
    std::mt19937_64 rng(12345);
    std::printf("%-52s %15s\n", "operation", "time");

    // Powers of a one-limb base: binary powering, the squarings by transform.
    const struct {
        int32_t base, exponent, runs;
        const char *quickName, *name;
    } powers[] = {{3, 1000000, 3, "3^100,000 (Power)", "3^1,000,000 (Power)"},
                  {7, 5000000, 2, "7^500,000 (Power)", "7^5,000,000 (Power)"}};
    for (const auto& p : powers) {
        TSeisu r;
        const int32_t e = static_cast<int32_t>(p.exponent / static_cast<int32_t>(scale));
        const double ms = Best(p.runs, [&] {
            r.SetInt(p.base);
            r.Power(TSeisu(e));
        });
        Row(quick ? p.quickName : p.name, ms, std::to_string(r.ToText().size()) + " digits");
    }
    {
        const size_t d = 1000000 / scale;
        const TSeisu a = FromText(RandomDigits(rng, d)), b = FromText(RandomDigits(rng, d));
        TSeisu p;
        Row(quick ? "multiply 100,000 x 100,000 digits" : "multiply 1,000,000 x 1,000,000 digits",
            Best(3, [&] { p.Mul(a, b); }));
        Row(quick ? "square 100,000 digits" : "square 1,000,000 digits", Best(3, [&] {
                TSeisu s(a);
                s.MulBy(s);
            }));
        const TSeisu big = FromText(RandomDigits(rng, 2 * d));
        TSeisu q, r;
        Row(quick ? "divide 200,000 by 100,000 digits" : "divide 2,000,000 by 1,000,000 digits",
            Best(3, [&] { q.DivMod(big, a, r); }));
        // Sums of fractions divide long numbers by small ones all the time.
        const TSeisu small9 = FromText("987654321"), small12 = FromText("987654321987");
        Row(quick ? "divide 100,000 digits by 9 digits" : "divide 1,000,000 digits by 9 digits",
            Best(5, [&] { q.DivMod(a, small9, r); }));
        Row(quick ? "divide 100,000 digits by 12 digits" : "divide 1,000,000 digits by 12 digits",
            Best(5, [&] { q.DivMod(a, small12, r); }));
        std::string text;
        const double toText = Best(5, [&] { text = a.ToText(); });
        Row(quick ? "ToText of 100,000 digits" : "ToText of 1,000,000 digits", toText,
            std::to_string(text.size()) + " digits");
        TSeisu back;
        Row(quick ? "ReadFrom of 100,000 digits" : "ReadFrom of 1,000,000 digits", Best(3, [&] {
                StringStream s(text + ";");
                back.ReadFrom(s);
            }));
        Row(quick ? "ToFloat of 100,000 digits (overflow)" : "ToFloat of 1,000,000 digits (overflow)", Best(5, [&] {
                try {
                    (void)a.ToFloat();
                } catch (const TFloatOverflowException&) {
                }
            }));
    }
    for (size_t d : {10000u, 100000u, 300000u}) {
        if (quick && d > 10000) break;
        const TSeisu g = FromText(RandomDigits(rng, d / 10));
        TSeisu a = FromText(RandomDigits(rng, d - d / 10)), b = FromText(RandomDigits(rng, d - d / 10));
        a.MulBy(g);
        b.MulBy(g);
        TSeisu r;
        const double ms = Best(d <= 10000 ? 5 : 1, [&] { r.Gcd(a, b); });
        Row(("gcd of two " + std::to_string(d) + "-digit numbers").c_str(), ms,
            std::to_string(r.ToText().size()) + "-digit gcd");
    }
    {
        // Many small numbers, as a calculator's rational arithmetic makes them: sums of
        // fractions with small numerators and denominators, reduced by gcds.
        const int n = 100000;
        TSeisu num(0), den(1), t, u, g, q, r;
        const double ms = Best(3, [&] {
            num.SetInt(0);
            den.SetInt(1);
            for (int k = 1; k <= n; ++k) {
                // num/den := num/den + 1/(k mod 97 + 1), reduced, restarted when it grows.
                const TSeisu kk((k % 97) + 1);
                t.Mul(num, kk);
                t.Add(den);
                u.Mul(den, kk);
                g.Gcd(t, u);
                num.DivMod(t, g, r);
                den.DivMod(u, g, r);
                if (den.Count() > 4) {
                    num.SetInt(k % 7);
                    den.SetInt(1);
                }
            }
        });
        Row("100,000 small fraction additions (Mul/Add/Gcd/DivMod)", ms,
            std::to_string(ms * 1e6 / n / 6) + " ns per operation");
        TSeisu x(123456789), y(987654321), z;
        const double ms2 = Best(3, [&] {
            for (int k = 0; k < n; ++k) {
                z.Mul(x, y);
                z.ShortAdd(static_cast<uint16_t>(k % 10000));
                z.DivMod(z, x, r);
                (void)z.Compare(y);
                (void)z.ToText();
            }
        });
        Row("100,000 x (Mul, ShortAdd, DivMod, Compare, ToText)", ms2,
            std::to_string(ms2 * 1e6 / n / 5) + " ns per operation");
    }
    return 0;
}
