// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The natural-number kernels of TSeisu (engine/tabai.h) next to GMP's, in the same run.
// Usage: gmp_kernels_bench [--single] [--quick] [--reps N]
//   --single  large transforms on one thread only (GMP always uses one); times are then
//             the thread's processor time
//   --quick   only 1k and 10k digits
//   --reps N  timed rounds per row (default 7; 3 at a million digits)
//   --best    the fastest round of each instead of the median (on a shared machine, the
//             rounds that other programs disturbed least)
//   --only W  only the rows whose operation starts with W
//   --sizes N,N,...  these numbers of digits instead of 1k, 2k, 10k, 100k and 1M
//   --only "big gcd"  only the whole program's big gcd: its gcd and exact divisions
//   --set NAME=V  a threshold of engine/tabai_kernels.h (karatsuba, ntt, sqrNtt, newton,
//             shortProduct, hensel, exactSplit, halfGcd, halfGcdBase, ntt52, sqrNtt52, divideConquer,
//             divPassRows, karatsuba52, karatsubaAvx2, nttAvx2, sqrNttAvx2, karatsubaSqrAvx2,
//             gcdRounds, gcdRoundsFrom), to
//             measure where one should be; or a switch (reciprocalHalves, wideVectors) to 0 or 1
// Each round times the engine and then GMP on the same operands, so both see the same
// machine load; a row prints the medians and their ratio (engine / GMP).
// GMP is a yardstick here only: this program is built when its headers are present.
#include <gmp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/numbers.h"
#include "engine/tabai.h"
#include "engine/tabai_kernels.h"

namespace {

using nerova::bench::FromText;
using nerova::bench::RandomDigits;

class Mpz {
public:
    Mpz() { mpz_init(v_); }
    explicit Mpz(const std::string& digits) { mpz_init_set_str(v_, digits.c_str(), 10); }
    ~Mpz() { mpz_clear(v_); }
    Mpz(const Mpz&) = delete;
    Mpz& operator=(const Mpz&) = delete;
    mpz_ptr get() { return v_; }

private:
    mpz_t v_;
};

// With one thread, the time is the thread's processor time: other programs on a shared
// machine disturb it far less than the clock on the wall.
bool gThreadTime = false;

double Now() {
    if (gThreadTime) {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double Seconds(const std::function<void()>& f, int inner) {
    const double t0 = Now();
    for (int i = 0; i < inner; ++i) f();
    return (Now() - t0) / inner;
}

bool gBest = false;

// The median of the rounds, or the fastest with --best.
double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return gBest ? v.front() : v[v.size() / 2];
}

// Times `ours` and `gmp` in alternating rounds, each round repeating an operation often
// enough to last about 20 ms, and prints the medians.
std::string gOnly;

void Row(const std::string& what, size_t digits, int reps, const std::function<void()>& ours,
         const std::function<void()>& gmp) {
    if (what.compare(0, gOnly.size(), gOnly) != 0) return;
    const double once = std::max(Seconds(ours, 1), Seconds(gmp, 1));
    const int inner = std::clamp(static_cast<int>(0.02 / std::max(once, 1e-9)), 1, 100000);
    std::vector<double> a, b;
    for (int r = 0; r < reps; ++r) {
        a.push_back(Seconds(ours, inner));
        b.push_back(Seconds(gmp, inner));
    }
    const double ma = Median(a), mb = Median(b);
    std::printf("%-16s %9zu %12.4f %12.4f %8.2f\n", what.c_str(), digits, ma * 1e3, mb * 1e3, ma / mb);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    bool quick = false;
    int reps = 7;
    tabai_kernels::Tuning tuning;
    std::vector<size_t> sizes = {1000, 2000, 10000, 100000, 1000000};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--single") == 0) tuning.nttParallel = false, gThreadTime = true;
        if (std::strcmp(argv[i], "--quick") == 0) quick = true;
        if (std::strcmp(argv[i], "--best") == 0) gBest = true;
        if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc) reps = std::max(1, std::atoi(argv[++i]));
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) gOnly = argv[++i];
        if (std::strcmp(argv[i], "--sizes") == 0 && i + 1 < argc) {
            sizes.clear();
            for (const char* p = argv[++i]; *p != '\0';) {
                char* end = nullptr;
                sizes.push_back(std::strtoull(p, &end, 10));
                p = *end == ',' ? end + 1 : end;
                if (end == p && *p != '\0') break;
            }
        }
        if (std::strcmp(argv[i], "--set") == 0 && i + 1 < argc) {
            const std::string arg = argv[++i];
            const size_t eq = arg.find('=');
            const std::string name = arg.substr(0, eq);
            const size_t value = eq == std::string::npos ? 0 : std::strtoull(arg.c_str() + eq + 1, nullptr, 10);
            const std::pair<const char*, size_t*> fields[] = {
                {"karatsuba", &tuning.karatsuba}, {"ntt", &tuning.ntt},
                {"sqrNtt", &tuning.sqrNtt},       {"newton", &tuning.newton},
                {"shortProduct", &tuning.shortProduct}, {"hensel", &tuning.hensel},
                {"exactSplit", &tuning.exactSplit}, {"halfGcd", &tuning.halfGcd}, {"halfGcdBase", &tuning.halfGcdBase}, {"ntt52", &tuning.ntt52},
                {"sqrNtt52", &tuning.sqrNtt52}, {"divideConquer", &tuning.divideConquer},
                {"divPassRows", &tuning.divPassRows},
                {"karatsuba52", &tuning.karatsuba52}, {"karatsubaAvx2", &tuning.karatsubaAvx2},
                {"nttAvx2", &tuning.nttAvx2}, {"sqrNttAvx2", &tuning.sqrNttAvx2},
                {"karatsubaSqrAvx2", &tuning.karatsubaSqrAvx2}, {"gcdRounds", &tuning.gcdRounds},
                {"gcdRoundsFrom", &tuning.gcdRoundsFrom}};
            const std::pair<const char*, bool*> switches[] = {{"reciprocalHalves", &tuning.reciprocalHalves},
                                                              {"wideVectors", &tuning.wideVectors}};
            bool known = false;
            for (const auto& [field, target] : fields) {
                if (name == field) *target = value, known = true;
            }
            for (const auto& [field, target] : switches) {
                if (name == field) *target = value != 0, known = true;
            }
            if (!known) {
                std::fprintf(stderr, "gmp_kernels_bench: unknown threshold '%s'\n", name.c_str());
                return 2;
            }
        }
    }
    tabai_kernels::SetTuning(tuning);
    std::printf("%-16s %9s %12s %12s %8s\n", "operation", "digits", "ours, ms", "GMP, ms", "ratio");
    std::mt19937_64 rng(2024);
    if (quick) sizes = {1000, 2000, 10000};
    for (const size_t n : sizes) {
        const int r = n >= 1000000 ? std::min(reps, 3) : reps;
        const std::string xs = RandomDigits(rng, n), ys = RandomDigits(rng, n), ws = RandomDigits(rng, 2 * n);
        const TSeisu x = FromText(xs), y = FromText(ys), w = FromText(ws);
        Mpz gx(xs), gy(ys), gw(ws), gout, grem;
        TSeisu out, rem;
        Row("product", n, r, [&] { out.Mul(x, y); }, [&] { mpz_mul(gout.get(), gx.get(), gy.get()); });
        Row("square", n, r, [&] { out.Mul(x, x); }, [&] { mpz_mul(gout.get(), gx.get(), gx.get()); });
        Row("division 2n/n", n, r, [&] { out.DivMod(w, x, rem); },
            [&] { mpz_tdiv_qr(gout.get(), grem.get(), gw.get(), gx.get()); });
        {
            // x * y divided by y, as a fraction's reduction divides by a gcd.
            TSeisu p;
            p.Mul(x, y);
            Mpz gp(p.ToText());
            Row("exact division", n, r, [&] { out.DivExact(p, y); },
                [&] { mpz_divexact(gout.get(), gp.get(), gy.get()); });
        }
        {
            // Two numbers sharing a factor of a tenth of their length.
            const std::string gs = RandomDigits(rng, n / 10);
            TSeisu g = FromText(gs), a = FromText(RandomDigits(rng, n - n / 10)),
                   b = FromText(RandomDigits(rng, n - n / 10));
            a.MulBy(g);
            b.MulBy(g);
            Mpz ga(a.ToText()), gb(b.ToText());
            Row("gcd", n, r, [&] { out.Gcd(a, b); }, [&] { mpz_gcd(gout.get(), ga.get(), gb.get()); });
        }
        {
            std::string text;
            std::vector<char> buf(n + 2);
            Row("text out", n, r,
                [&] {
                    text.clear();
                    x.AppendText(text);
                },
                [&] { mpz_get_str(buf.data(), 10, gx.get()); });
            const std::string input = xs + ";";  // the stream stops at the ';'
            Row("text in", n, r, [&] {
                StringStream s(input);
                out.ReadFrom(s);
            }, [&] { mpz_set_str(gout.get(), xs.c_str(), 10); });
        }
    }
    const std::string big = "big gcd";
    if (big.compare(0, gOnly.size(), gOnly) == 0 || gOnly.compare(0, big.size(), big) == 0) {
        // The whole program's big gcd, (7^300000 11^200000) / (7^290000 13^1000): its gcd
        // and the two exact divisions by it that reduce the fraction.
        auto power = [](int32_t b, int32_t e) {
            TSeisu x(b);
            x.Power(TSeisu(e));
            return x;
        };
        TSeisu a = power(7, 300000), b = power(7, 290000), g, out;
        a.MulBy(power(11, 200000));
        b.MulBy(power(13, 1000));
        g.Gcd(a, b);
        Mpz ga(a.ToText()), gb(b.ToText()), gg(g.ToText()), gout;
        const size_t digits = a.ToText().size();
        Row("big gcd, gcd", digits, 3, [&] { out.Gcd(a, b); }, [&] { mpz_gcd(gout.get(), ga.get(), gb.get()); });
        TSeisu q, r;
        q.DivMod(a, b, r);
        Mpz gr(r.ToText()), grem;
        Row("big gcd, a mod b", digits, 3, [&] { q.DivMod(a, b, r); },
            [&] { mpz_tdiv_qr(gout.get(), grem.get(), ga.get(), gb.get()); });
        TSeisu r2;
        Row("big gcd, gcd(b,r)", digits, 3, [&] { r2.Gcd(b, r); }, [&] { mpz_gcd(gout.get(), gb.get(), gr.get()); });
        Row("big gcd, a/g", digits, 3, [&] { out.DivExact(a, g); },
            [&] { mpz_divexact(gout.get(), ga.get(), gg.get()); });
        Row("big gcd, b/g", digits, 3, [&] { out.DivExact(b, g); },
            [&] { mpz_divexact(gout.get(), gb.get(), gg.get()); });
    }
    return 0;
}
