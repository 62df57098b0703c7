// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Multiplication of TSeisu limb arrays through a double-precision complex transform, for
// the mid sizes where it beats the number-theoretic transforms (one transform of complex
// points does the work of three modular ones, and the join is a rounding, not a Chinese
// remainder).
//
// One limb is one coefficient, and two make a complex point: the even limbs in the real
// parts, the odd ones in the imaginary parts, M points for 2M coefficients. Each factor
// takes one forward transform of M points (a square one in all). From the points m and -m
// the pointwise step recovers the points m and m + M of the factors' whole transforms of
// 2M points (the even and odd halves by the symmetry of real sequences, joined by one
// twiddle), multiplies them, and folds the products back the same way, so that one
// inverse transform of M points gives the product's even coefficients in the real parts
// and the odd ones in the imaginary parts; they are rounded to integers.
//
// Exactness: the rounding is right while every coefficient's error stays below 1/2.
// Percival's bound for a convolution by radix-2 transforms of 2^n points is
// |error| <= |x| |y| ((1 + e)^3n (1 + e sqrt5)^(3n+1) (1 + b)^3n - 1) (2-norms; e the
// unit roundoff, b the error of a twiddle). It is taken here for 2M points (the join of the
// halves counting as a level, a radix-3 step as two), with |a|^2 + |b|^2 >= 2 |a| |b| for
// |x| |y|, extra steps for the joins and the pointwise sums, and required below 1/4, for
// the worst operands; FftFits() says where that holds.
//
// The limbs go in as balanced digits: limb a_i becomes a_i - 10000 when a_i >= 5000, and
// the 1 that borrows is added to the next limb, so every digit lies in [-5000, 5000] (the
// top one, which lends to none, in [0, 10000]). The value is the same, the 2-norm of a
// factor of n limbs at most 5000 sqrt(n + 3) instead of 9999 sqrt(n): the bound admits
// products four times as long. The coefficients come out signed, and are carried with
// floor division.
//
// The forward transform is decimation in frequency (natural order in, bit-reversed out),
// the inverse decimation in time (bit-reversed in, natural out). In bit-reversed order the
// point of -k lies in the same power-of-two block as that of k, mirrored, which is what
// the pointwise step walks.
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "engine/pump.h"
#include "engine/tabai_kernels.h"
#include "engine/tabai_tasks.h"

namespace tabai_kernels {

namespace {

constexpr int kMaxLog = 19;  // tables up to 2^19 points; FftFits() limits the sizes further
// The longest transform used: 2^18 points holds factors of a million digits. Longer
// products go to the modular transforms, whose tables and buffers take less memory
// (a third of a double's 8 bytes a point and prime, and 8 digits a point).
constexpr size_t kMaxPoints = size_t{1} << 18;
constexpr size_t kPumpEvery = size_t{1} << 14;
constexpr long double kPi = 3.141592653589793238462643383279502884L;

// exp(-i pi a / b) in long double, as c + i s (error at most half a unit in long double's
// last place). The angle is reduced exactly, in integers, to [0, pi/4] by the symmetries of
// the circle: long double sine and cosine of a larger angle take a multi-precision
// reduction each.
void TwiddleLong(uint64_t a, uint64_t b, long double& c, long double& s) {
    a %= 2 * b;
    const uint64_t q = 4 * a / b, r = 4 * a - q * b;  // angle = (q + r / b) pi / 4
    if (q % 2 == 0) {
        const long double phi = kPi / 4 * static_cast<long double>(r) / static_cast<long double>(b);
        c = std::cos(phi);
        s = std::sin(phi);
    } else {  // pi/2 - psi, psi in (0, pi/4]
        const long double psi = kPi / 4 * static_cast<long double>(b - r) / static_cast<long double>(b);
        c = std::sin(psi);
        s = std::cos(psi);
    }
    switch (q / 2) {
    case 0: break;
    case 1: std::swap(c, s); c = -c; break;
    case 2: c = -c; s = -s; break;
    default: std::swap(c, s); s = -s; break;
    }
    s = -s;
}

// twiddle(j) = exp(-i pi a(j) / b) rounded to doubles, for j < n, each a(j) < limit. With
// a = 64 h + l it is exp(-i pi 64h / b) exp(-i pi l / b), both from TwiddleLong and
// multiplied in long double: a sine and a cosine for every entry made the tables cost more
// than the transforms of a one-off product (2^1,000,000 in a process of its own). The
// product is off by a few units in long double's last place, 2^-61 at most, against the
// 2^-54 of the rounding to double, so each entry stays well within the twiddle error the
// bound allows (2^-52; FftTwiddleError checks it).
template <class Index>
void FillTwiddles(size_t n, uint64_t b, uint64_t limit, Index a, double* re, double* im) {
    constexpr unsigned kFineLog = 6;
    constexpr size_t kFine = size_t{1} << kFineLog;
    long double c, s;
    if (n <= 4 * kFine) {
        for (size_t j = 0; j < n; ++j) {
            TwiddleLong(a(j), b, c, s);
            re[j] = static_cast<double>(c);
            im[j] = static_cast<double>(s);
        }
        return;
    }
    const size_t coarse = static_cast<size_t>((limit + kFine - 1) >> kFineLog);
    std::vector<long double> tab(2 * (coarse + kFine));
    long double *hc = tab.data(), *hs = hc + coarse, *lc = hs + coarse, *ls = lc + kFine;
    for (size_t h = 0; h < coarse; ++h) TwiddleLong(uint64_t{h} << kFineLog, b, hc[h], hs[h]);
    for (size_t l = 0; l < kFine; ++l) TwiddleLong(l, b, lc[l], ls[l]);
    for (size_t j = 0; j < n; ++j) {
        const uint64_t v = a(j), h = v >> kFineLog, l = v & (kFine - 1);
        re[j] = static_cast<double>(hc[h] * lc[l] - hs[h] * ls[l]);
        im[j] = static_cast<double>(hc[h] * ls[l] + hs[h] * lc[l]);
    }
}

// The radix-3 step's twiddles of 3 * 2^k points come from 2^k / kThreeCoarse steps of a
// fine table and kThreeCoarse of a coarse one (ThreeTwiddle): a few kilobytes instead of
// two tables of 2^k points.
constexpr size_t kThreeCoarse = 64;

// The twiddle c (1 + d) as c + (c d + lo), c = hi + lo: the coarse root c in two doubles
// (2^-64 off), d = W^l - 1 rounded, |d| <= 4 pi / (3 kThreeCoarse) < 0.066. Its error is
// the final rounding (at most 2^-54 a part, so 2^-53.5 in all) plus about 4 |d| units of
// 2^-53 from the rest, below 2^-53 in all (exact where W^j is 1 or +-i, for there l = 0
// and d = 0; fused multiply-adds, where the compiler makes them, only round less);
// FftTwiddleError checks every one.
inline void ThreeTwiddle(double hr, double hi, double lr, double li, double dr, double di, double& tr,
                         double& ti) {
    tr = hr + ((hr * dr - hi * di) + lr);
    ti = hi + ((hr * di + hi * dr) + li);
}

// Doubles between the real and the imaginary parts of a table (Tables::Level).
constexpr size_t kTablePad = 24;

// The bit reversal of the low `bits` bits of j.
inline size_t Reversed(size_t j, int bits) {
    size_t rev = 0;
    for (int bit = 0; bit < bits; ++bit) rev |= ((j >> bit) & 1) << (bits - 1 - bit);
    return rev;
}

// Level k holds w^j for j < 2^(k-1) (j = 0 for k = 0), w = exp(-i pi / 2^k) (a primitive
// 2^(k+1)-th root): the other half, w^(j + 2^(k-1)) = -i w^j, is that half turned a
// quarter, exactly (TwRe, TwIm), and the levels read it so. Three(k) holds what the
// radix-3 step of 3 * 2^k points derives W^j and W^2j from, W = exp(-2 pi i / (3 * 2^k)),
// and the join's twiddles of its part 1. Join(k) holds the join's twiddles of the
// positions a forward transform's pointwise step reads in its block [2^k, 2^(k+1)), the
// same for every length. Made on first use and never moved; Release frees them all once
// no product uses them (a Use is alive while one does), so readers need no lock once they
// have them.
class Tables {
public:
    struct Level {
        // One block: im a few cache lines after the end of re, so that the two do not
        // start at the same offset of a page. The levels walk them side by side with
        // the transform's arrays, which lie powers of two apart: with re and im each
        // page-aligned (as the allocator places large blocks), products of a million
        // digits ran 30 % slower.
        std::unique_ptr<double[]> block;
        double *re = nullptr, *im = nullptr;
        Level() = default;
        explicit Level(size_t n)
            : block(new double[2 * n + kTablePad]), re(block.get()), im(block.get() + n + kTablePad) {}
    };
    // W^j and W^2j of the radix-3 step for j = fine h + l as c (1 + d_l): c = W^(fine h) or
    // W^(2 fine h) in two doubles each (hi + lo), d_l = W^l - 1 or W^2l - 1 (ThreeTwiddle).
    struct Three {
        size_t fine = 0;
        std::unique_ptr<double[]> c1, c2;  // per h: hi re, hi im, lo re, lo im
        Level d1, d2, join;
    };
    // The tables stay while a Use is alive.
    class Use {
    public:
        explicit Use(Tables& t) : t_(t) {
            std::lock_guard<std::mutex> lock(t_.mutex_);
            ++t_.users_;
        }
        ~Use() {
            std::lock_guard<std::mutex> lock(t_.mutex_);
            --t_.users_;
        }
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;

    private:
        Tables& t_;
    };
    const Level& Get(int k) {
        std::lock_guard<std::mutex> lock(mutex_);
        Level& l = levels_[k];
        if (!l.re) {
            const size_t half = size_t{1} << k;
            l = Make(std::max<size_t>(half / 2, 1), half, half, [](size_t j) { return uint64_t{j}; });
        }
        return l;
    }
    // Block 0: the positions 0 and 1 (the points 0 and M/2: 1 and -i). Block k >= 1: the
    // first half of the positions [2^k, 2^(k+1)), where the point at 2^k + j is
    // 2^(log-1-k) (1 + 2 rev_k(j)) for a transform of 2^log points, so the twiddle
    // exp(-i pi m / 2^log) does not depend on log.
    const Level& Join(int k) {
        std::lock_guard<std::mutex> lock(mutex_);
        Level& l = joins_[k];
        if (!l.re) {
            if (k == 0) {
                l = Make(2, 2, 2, [](size_t j) { return uint64_t{j}; });
            } else {
                const uint64_t b = uint64_t{2} << k;
                l = Make(size_t{1} << (k - 1), b, b, [k](size_t j) { return 1 + 2 * uint64_t{Reversed(j, k)}; });
            }
        }
        return l;
    }
    const Three& GetThree(int k) {
        std::lock_guard<std::mutex> lock(mutex_);
        Three& t = threes_[k];
        if (!t.join.re) {
            const size_t len = size_t{1} << k, fine = std::max<size_t>(len / kThreeCoarse, 1);
            const size_t coarse = len / fine;
            const uint64_t b = 3 * len;
            auto c1 = std::make_unique<double[]>(4 * coarse), c2 = std::make_unique<double[]>(4 * coarse);
            for (size_t h = 0; h < coarse; ++h) {
                SplitTwiddle(2 * fine * h, b, c1.get() + 4 * h);
                SplitTwiddle(4 * fine * h, b, c2.get() + 4 * h);
            }
            bytes_ += 8 * coarse * sizeof(double);
            t.d1 = MakeLessOne(fine, b, 2);
            t.d2 = MakeLessOne(fine, b, 4);
            // Position len + j holds the point 3 rev(j) + 1 of 3 * len.
            Level join = Make(len, b, b, [k](size_t j) { return 3 * uint64_t{Reversed(j, k)} + 1; });
            t.fine = fine;
            t.c1 = std::move(c1);
            t.c2 = std::move(c2);
            t.join = std::move(join);
        }
        return t;
    }
    // Frees every table unless a product is using them.
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (users_ != 0) return;
        for (Level& l : levels_) l = Level{};
        for (Level& l : joins_) l = Level{};
        for (Three& t : threes_) t = Three{};
        bytes_ = 0;
    }
    size_t Bytes() {
        std::lock_guard<std::mutex> lock(mutex_);
        return bytes_;
    }

private:
    // exp(-i pi a / b) as hi + lo in doubles (re, im, re, im): about 2^-64 off, from long
    // double.
    static void SplitTwiddle(uint64_t a, uint64_t b, double* out) {
        long double c, s;
        TwiddleLong(a, b, c, s);
        out[0] = static_cast<double>(c);
        out[1] = static_cast<double>(s);
        out[2] = static_cast<double>(c - static_cast<long double>(out[0]));
        out[3] = static_cast<double>(s - static_cast<long double>(out[1]));
    }
    // exp(-i pi step l / b) - 1 for l < n.
    Level MakeLessOne(size_t n, uint64_t b, uint64_t step) {
        Level l(n);
        for (size_t j = 0; j < n; ++j) {
            long double c, s;
            TwiddleLong(step * j, b, c, s);
            l.re[j] = static_cast<double>(c - 1);
            l.im[j] = static_cast<double>(s);
        }
        bytes_ += (2 * n + kTablePad) * sizeof(double);
        return l;
    }
    template <class Index>
    Level Make(size_t n, uint64_t b, uint64_t limit, Index a) {
        Level l(n);
        FillTwiddles(n, b, limit, a, l.re, l.im);
        bytes_ += (2 * n + kTablePad) * sizeof(double);
        return l;
    }

    std::mutex mutex_;
    int users_ = 0;
    size_t bytes_ = 0;
    std::array<Level, kMaxLog> levels_;
    std::array<Level, kMaxLog> joins_;
    std::array<Three, kMaxLog> threes_;
};

Tables& TheTables() {
    static Tables tables;
    return tables;
}

// sin(2 pi / 3), rounded.
constexpr double kSin3 = 0.86602540378443864676372317075293618;

// The butterflies: forward (decimation in frequency) x, y := x + y, (x - y) w; inverse
// (decimation in time) x, y := x + y conj(w), x - y conj(w).
template <bool kInverse>
inline void Butterfly(double& xr, double& xi, double& yr, double& yi, double wr, double wi) {
    const double ur = xr, ui = xi;
    if (kInverse) {
        const double vr = yr * wr + yi * wi, vi = yi * wr - yr * wi;
        xr = ur + vr;
        xi = ui + vi;
        yr = ur - vr;
        yi = ui - vi;
    } else {
        const double dr = ur - yr, di = ui - yi;
        xr = ur + yr;
        xi = ui + yi;
        yr = dr * wr - di * wi;
        yi = dr * wi + di * wr;
    }
}

// The twiddle w[j], or with kTurned -i w[j] (the second half of a level's, from the first):
// a swap and a negation, so the same double as a table of the whole level would hold.
template <bool kTurned>
inline double TwRe(const double* wr, const double* wi, size_t j) {
    return kTurned ? wi[j] : wr[j];
}
template <bool kTurned>
inline double TwIm(const double* wr, const double* wi, size_t j) {
    return kTurned ? -wr[j] : wi[j];
}

// One level of half-size m: pairs (x[j], y[j]) for j < count with twiddles w[j] (kTurned:
// -i w[j]). Like the modular loops these are compiled for several instruction sets and
// never call the pump.
template <bool kInverse, bool kTurned>
TABAI_CLONES void LevelSpan(double* __restrict xr, double* __restrict xi, double* __restrict yr,
                            double* __restrict yi, const double* __restrict wr, const double* __restrict wi,
                            size_t count) {
    for (size_t j = 0; j < count; ++j) {
        Butterfly<kInverse>(xr[j], xi[j], yr[j], yi[j], TwRe<kTurned>(wr, wi, j), TwIm<kTurned>(wr, wi, j));
    }
}

// The pairs j0 <= j < j1 of one level of half-size m = 2^k (k >= 1, w its table) over
// x = re, im and y = x + m, in pieces with the pump between them; the twiddles of j >= m/2
// turned from the table's half.
template <bool kInverse>
void LevelRange(double* re, double* im, int k, const Tables::Level& w, size_t j0, size_t j1) {
    const size_t m = size_t{1} << k, h = m / 2;
    for (size_t j = j0; j < j1;) {
        const bool turned = j >= h;
        const size_t count = std::min({kPumpEvery, j1 - j, turned ? m - j : h - j}), t = turned ? j - h : j;
        (turned ? LevelSpan<kInverse, true> : LevelSpan<kInverse, false>)(re + j, im + j, re + m + j, im + m + j,
                                                                        w.re + t, w.im + t, count);
        pump::ProcessMessages();
        j += count;
    }
}

// The levels of half-size 4, 2 and 1 inside each block of 8 points, in one pass (too short
// for vector loops one level at a time): the last three of the forward transform, the
// first three of the inverse.
template <bool kInverse>
TABAI_CLONES void Blocks8(double* __restrict re, double* __restrict im, size_t n, const double* w4r,
                          const double* w4i, const double* w2r, const double* w2i) {
    for (size_t s = 0; s < n; s += 8) {
        double r[8], i[8];
        for (int t = 0; t < 8; ++t) {
            r[t] = re[s + t];
            i[t] = im[s + t];
        }
        auto level = [&](int m, const double* wr, const double* wi) {
            for (int b = 0; b < 8; b += 2 * m) {
                for (int j = 0; j < m; ++j) {
                    Butterfly<kInverse>(r[b + j], i[b + j], r[b + j + m], i[b + j + m], wr[j], wi[j]);
                }
            }
        };
        const double one[1] = {1.0}, zero[1] = {0.0};
        if (kInverse) {
            level(1, one, zero);
            level(2, w2r, w2i);
            level(4, w4r, w4i);
        } else {
            level(4, w4r, w4i);
            level(2, w2r, w2i);
            level(1, one, zero);
        }
        for (int t = 0; t < 8; ++t) {
            re[s + t] = r[t];
            im[s + t] = i[t];
        }
    }
}

// One level of half-size 2^k over all n points, in pieces with the pump between them.
template <bool kInverse>
void Level(double* re, double* im, size_t n, int k) {
    const size_t m = size_t{1} << k;
    const Tables::Level& w = TheTables().Get(k);
    for (size_t s = 0; s < n; s += 2 * m) LevelRange<kInverse>(re + s, im + s, k, w, 0, m);
}

// Two levels at once, half-sizes M = 2^k and M/2, over the quarters q0..q3 of a block of
// 2M points: one pass over memory instead of two, with the same operations in the same
// order as the two levels apart (so the same roundings, and the same bound). wa = the
// twiddles of half-size M from j (those from M/2 + j are wa turned), wc those of
// half-size M/2 from j (kTurnedC: wc turned).
template <bool kInverse, bool kTurnedC>
TABAI_CLONES void Level4Span(double* __restrict r0, double* __restrict i0, double* __restrict r1,
                             double* __restrict i1, double* __restrict r2, double* __restrict i2,
                             double* __restrict r3, double* __restrict i3, const double* __restrict war,
                             const double* __restrict wai, const double* __restrict wcr,
                             const double* __restrict wci, size_t count) {
    for (size_t j = 0; j < count; ++j) {
        double a0r = r0[j], a0i = i0[j], a1r = r1[j], a1i = i1[j];
        double a2r = r2[j], a2i = i2[j], a3r = r3[j], a3i = i3[j];
        const double ar = war[j], ai = wai[j], br = TwRe<true>(war, wai, j), bi = TwIm<true>(war, wai, j);
        const double cr = TwRe<kTurnedC>(wcr, wci, j), ci = TwIm<kTurnedC>(wcr, wci, j);
        if (kInverse) {
            Butterfly<true>(a0r, a0i, a1r, a1i, cr, ci);
            Butterfly<true>(a2r, a2i, a3r, a3i, cr, ci);
            Butterfly<true>(a0r, a0i, a2r, a2i, ar, ai);
            Butterfly<true>(a1r, a1i, a3r, a3i, br, bi);
        } else {
            Butterfly<false>(a0r, a0i, a2r, a2i, ar, ai);
            Butterfly<false>(a1r, a1i, a3r, a3i, br, bi);
            Butterfly<false>(a0r, a0i, a1r, a1i, cr, ci);
            Butterfly<false>(a2r, a2i, a3r, a3i, cr, ci);
        }
        r0[j] = a0r, i0[j] = a0i, r1[j] = a1r, i1[j] = a1i;
        r2[j] = a2r, i2[j] = a2i, r3[j] = a3r, i3[j] = a3i;
    }
}

// The levels of half-sizes 2^k and 2^(k-1) over all n points, in pieces with the pump
// between them.
template <bool kInverse>
void Level4(double* re, double* im, size_t n, int k) {
    const size_t m = size_t{1} << k, h = m / 2;
    const Tables::Level &wm = TheTables().Get(k), &wh = TheTables().Get(k - 1);
    const size_t q = h / 2;  // wh's table: the first q; from q on, turned
    for (size_t s = 0; s < n; s += 2 * m) {
        for (size_t j = 0; j < h;) {
            const bool turned = j >= q;
            const size_t count = std::min(kPumpEvery / 2, turned ? h - j : q - j), a = s + j, t = turned ? j - q : j;
            (turned ? Level4Span<kInverse, true> : Level4Span<kInverse, false>)(
                re + a, im + a, re + a + h, im + a + h, re + a + m, im + a + m, re + a + m + h, im + a + m + h,
                wm.re + j, wm.im + j, wh.re + t, wh.im + t, count);
            pump::ProcessMessages();
            j += count;
        }
    }
}

// Levels of half-sizes 2^high down to 2^low (forward) or up from 2^low to 2^high (inverse)
// over all n points, two at a time where there are two.
template <bool kInverse>
void Levels(double* re, double* im, size_t n, int high, int low) {
    if (kInverse) {
        int k = low;
        if ((high - low + 1) % 2 != 0) Level<true>(re, im, n, k++);
        for (; k < high; k += 2) Level4<true>(re, im, n, k + 1);
    } else {
        int k = high;
        for (; k > low; k -= 2) Level4<false>(re, im, n, k);
        if (k == low) Level<false>(re, im, n, k);
    }
}

// The three levels of half-sizes 4, 2, 1 over all n points, likewise.
template <bool kInverse>
void Levels8(double* re, double* im, size_t n) {
    // Both levels whole, their second halves turned from the first.
    const Tables::Level &h4 = TheTables().Get(2), &h2 = TheTables().Get(1);
    const double w4r[4] = {h4.re[0], h4.re[1], TwRe<true>(h4.re, h4.im, 0),
                           TwRe<true>(h4.re, h4.im, 1)};
    const double w4i[4] = {h4.im[0], h4.im[1], TwIm<true>(h4.re, h4.im, 0),
                           TwIm<true>(h4.re, h4.im, 1)};
    const double w2r[2] = {h2.re[0], TwRe<true>(h2.re, h2.im, 0)};
    const double w2i[2] = {h2.im[0], TwIm<true>(h2.re, h2.im, 0)};
    for (size_t s = 0; s < n; s += kPumpEvery) {
        Blocks8<kInverse>(re + s, im + s, std::min(kPumpEvery, n - s), w4r, w4i, w2r, w2i);
        pump::ProcessMessages();
    }
}

// Blocks of 2^kBlockLog points (128 KiB of doubles): once the levels' half-size fits a
// block, the forward transform finishes each block through all its remaining levels
// before the next (and the inverse starts so); the blocks are independent of each other
// there, and stay in the second-level cache.
constexpr int kBlockLog = 13;

// A transform of 2^log points (log >= 3) over re/im, natural order in, bit-reversed out.
void Forward(double* re, double* im, int log) {
    const size_t n = size_t{1} << log;
    const int blockLog = std::min(log, kBlockLog);
    if (log - 1 >= blockLog) Levels<false>(re, im, n, log - 1, blockLog);
    const size_t block = size_t{1} << blockLog;
    for (size_t s = 0; s < n; s += block) {
        if (blockLog - 1 >= 3) Levels<false>(re + s, im + s, block, blockLog - 1, 3);
        Levels8<false>(re + s, im + s, block);
    }
}

// The inverse (unscaled): bit-reversed order in, natural out.
void Inverse(double* re, double* im, int log) {
    const size_t n = size_t{1} << log;
    const int blockLog = std::min(log, kBlockLog);
    const size_t block = size_t{1} << blockLog;
    for (size_t s = 0; s < n; s += block) {
        Levels8<true>(re + s, im + s, block);
        if (blockLog - 1 >= 3) Levels<true>(re + s, im + s, block, blockLog - 1, 3);
    }
    if (log - 1 >= blockLog) Levels<true>(re, im, n, log - 1, blockLog);
}

// The twiddles W^j and W^2j of a radix-3 step from j0 on (a multiple of fine): the coarse
// roots of j0, j0 + fine, ... and the fine tables.
struct ThreeTwiddles {
    const double *c1, *c2;  // hi re, hi im, lo re, lo im of W^j0 and W^2j0, then the next
    const double *d1r, *d1i, *d2r, *d2i;
    size_t fine;
    ThreeTwiddles(const Tables::Three& t, size_t j0)
        : c1(t.c1.get() + 4 * (j0 / t.fine)), c2(t.c2.get() + 4 * (j0 / t.fine)), d1r(t.d1.re),
          d1i(t.d1.im), d2r(t.d2.re), d2i(t.d2.im), fine(t.fine) {}
};

// The radix-3 step of 3L points over the thirds (j, j + L, j + 2L): y0 = a0 + a1 + a2,
// y1 = (a0 + w a1 + w^2 a2) W^j, y2 = (a0 + w^2 a1 + w a2) W^2j for the cube root
// w = -1/2 - i sin(2 pi / 3).
TABAI_CLONES void Forward3Span(double* __restrict r0, double* __restrict i0, double* __restrict r1,
                               double* __restrict i1, double* __restrict r2, double* __restrict i2,
                               ThreeTwiddles tw, size_t count) {
    const double *d1r = tw.d1r, *d1i = tw.d1i, *d2r = tw.d2r, *d2i = tw.d2i;
    for (size_t s0 = 0; s0 < count; s0 += tw.fine) {
        const double* c1 = tw.c1 + 4 * (s0 / tw.fine);
        const double* c2 = tw.c2 + 4 * (s0 / tw.fine);
        const double h1r = c1[0], h1i = c1[1], l1r = c1[2], l1i = c1[3];
        const double h2r = c2[0], h2i = c2[1], l2r = c2[2], l2i = c2[3];
        for (size_t l = 0; l < tw.fine; ++l) {
            const size_t j = s0 + l;
            double w1r, w1i, w2r, w2i;
            ThreeTwiddle(h1r, h1i, l1r, l1i, d1r[l], d1i[l], w1r, w1i);
            ThreeTwiddle(h2r, h2i, l2r, l2i, d2r[l], d2i[l], w2r, w2i);
            const double sr = r1[j] + r2[j], si = i1[j] + i2[j];
            const double dr = r1[j] - r2[j], di = i1[j] - i2[j];
            const double tr = r0[j] - 0.5 * sr, ti = i0[j] - 0.5 * si;
            // m = -i sin(2 pi / 3) (a1 - a2)
            const double mr = kSin3 * di, mi = -kSin3 * dr;
            r0[j] += sr;
            i0[j] += si;
            const double ar = tr + mr, ai = ti + mi, br = tr - mr, bi = ti - mi;
            r1[j] = ar * w1r - ai * w1i;
            i1[j] = ar * w1i + ai * w1r;
            r2[j] = br * w2r - bi * w2i;
            i2[j] = br * w2i + bi * w2r;
        }
    }
}

TABAI_CLONES void Inverse3Span(double* __restrict r0, double* __restrict i0, double* __restrict r1,
                               double* __restrict i1, double* __restrict r2, double* __restrict i2,
                               ThreeTwiddles tw, size_t count) {
    const double *d1r = tw.d1r, *d1i = tw.d1i, *d2r = tw.d2r, *d2i = tw.d2i;
    for (size_t s0 = 0; s0 < count; s0 += tw.fine) {
        const double* c1 = tw.c1 + 4 * (s0 / tw.fine);
        const double* c2 = tw.c2 + 4 * (s0 / tw.fine);
        const double h1r = c1[0], h1i = c1[1], l1r = c1[2], l1i = c1[3];
        const double h2r = c2[0], h2i = c2[1], l2r = c2[2], l2i = c2[3];
        for (size_t l = 0; l < tw.fine; ++l) {
            const size_t j = s0 + l;
            double w1r, w1i, w2r, w2i;
            ThreeTwiddle(h1r, h1i, l1r, l1i, d1r[l], d1i[l], w1r, w1i);
            ThreeTwiddle(h2r, h2i, l2r, l2i, d2r[l], d2i[l], w2r, w2i);
            const double zr = r1[j] * w1r + i1[j] * w1i, zi = i1[j] * w1r - r1[j] * w1i;
            const double yr = r2[j] * w2r + i2[j] * w2i, yi = i2[j] * w2r - r2[j] * w2i;
            const double sr = zr + yr, si = zi + yi, dr = zr - yr, di = zi - yi;
            const double tr = r0[j] - 0.5 * sr, ti = i0[j] - 0.5 * si;
            // m = +i sin(2 pi / 3) (z1 - z2), the inverse cube root's
            const double mr = -kSin3 * di, mi = kSin3 * dr;
            r0[j] += sr;
            i0[j] += si;
            r1[j] = tr + mr;
            i1[j] = ti + mi;
            r2[j] = tr - mr;
            i2[j] = ti - mi;
        }
    }
}

// A transform of M = 2^log or 3 * 2^log points.
struct Shape {
    int log = 3;
    bool three = false;
    size_t size() const { return (three ? size_t{3} : size_t{1}) << log; }
};

Shape ShapeFor(size_t points) {
    Shape two, three;
    while ((size_t{1} << two.log) < points) ++two.log;
    three.three = true;
    while ((size_t{3} << three.log) < points) ++three.log;
    return three.size() < two.size() ? three : two;
}

// The pointwise step between the forward transforms of za = a_even + i a_odd (and the
// other operands) and the inverse, for the pairs of positions (p, q) = (p0 + j, q0 - j),
// j < count, holding the points m and -m of M. With E' = Z_m + conj Z_-m and
// O' = -i (Z_m - conj Z_-m) (twice the transforms of the even and the odd coefficients),
// X0 = E' + w^m O' and X1 = E' - w^m O' are twice the points m and m + M of the whole
// transform of length 2M.
struct Halves {
    double x0r, x0i, x1r, x1i;
};
inline Halves HalvesAt(const double* re, const double* im, size_t p, size_t q, double cr, double ci) {
    const double zpr = re[p], zpi = im[p], zqr = re[q], zqi = im[q];
    const double er = zpr + zqr, ei = zpi - zqi;
    const double orr = zpi + zqi, oi = zqr - zpr;  // -i (Z_m - conj Z_-m)
    const double tr = orr * cr - oi * ci, ti = orr * ci + oi * cr;
    return {er + tr, ei + ti, er - tr, ei - ti};
}

// The operands of PairSpan: spectra (re, im) of x1, y1 (null: x1 again), and optionally of
// x2, y2 with the sign of their product.
struct PairInputs {
    const double *x1r, *x1i, *y1r, *y1i, *x2r, *x2i, *y2r, *y2i;
    double sign2;
};

// What PairSpan multiplies: x1 squared, x1 y1, or x1 y1 + sign2 x2 y2.
enum class Terms { kSquare, kProduct, kPairs };

// C0, C1 = the points m and m + M of the terms go back as W_m = S + i G, W_-m =
// conj S + i conj G with S = C0 + C1, G = (C0 - C1) conj(w^m), scaled by s: the transform
// of c_even + i c_odd; w^m of the pair j is (wr[j], wi[j]). Every iteration reads its pair before it writes it and no other
// iteration touches it, so the output may be x1's spectrum (hence ivdep); q is written
// before p, so that a position paired with itself gets W_m (the point 0 needs that).
template <Terms kTerms>
TABAI_CLONES void PairSpan(double* outr, double* outi, const PairInputs& in, const double* __restrict wr,
                           const double* __restrict wi, size_t p0, size_t q0, size_t count, double s) {
    const double *x1r = in.x1r, *x1i = in.x1i, *y1r = in.y1r, *y1i = in.y1i;
    const double *x2r = in.x2r, *x2i = in.x2i, *y2r = in.y2r, *y2i = in.y2i;
    const double sign2 = in.sign2;
#pragma GCC ivdep
    for (size_t j = 0; j < count; ++j) {
        const size_t p = p0 + j, q = q0 - j;
        const double cr = wr[j], ci = wi[j];
        const Halves x = HalvesAt(x1r, x1i, p, q, cr, ci);
        const Halves y = kTerms == Terms::kSquare ? x : HalvesAt(y1r, y1i, p, q, cr, ci);
        double c0r = x.x0r * y.x0r - x.x0i * y.x0i, c0i = x.x0r * y.x0i + x.x0i * y.x0r;
        double c1r = x.x1r * y.x1r - x.x1i * y.x1i, c1i = x.x1r * y.x1i + x.x1i * y.x1r;
        if (kTerms == Terms::kPairs) {
            const Halves u = HalvesAt(x2r, x2i, p, q, cr, ci), v = HalvesAt(y2r, y2i, p, q, cr, ci);
            c0r += sign2 * (u.x0r * v.x0r - u.x0i * v.x0i);
            c0i += sign2 * (u.x0r * v.x0i + u.x0i * v.x0r);
            c1r += sign2 * (u.x1r * v.x1r - u.x1i * v.x1i);
            c1i += sign2 * (u.x1r * v.x1i + u.x1i * v.x1r);
        }
        const double sr = c0r + c1r, si = c0i + c1i, dr = c0r - c1r, di = c0i - c1i;
        const double gr = dr * cr + di * ci, gi = di * cr - dr * ci;
        outr[q] = s * (sr + gi);
        outi[q] = s * (gr - si);
        outr[p] = s * (sr - gi);
        outi[p] = s * (si + gr);
    }
}

// Calls f(p0, q0, count, wr, wi) for every run of pairs of positions holding m and -m,
// with the twiddles w^m of its positions p0 + j: in a part of 2^log points (bit-reversed)
// positions 0 and 1 alone, then block [2^k, 2^(k+1)) mirrored; with a radix-3 step, part
// 0 so, and part 1 (points 3k + 1) against part 2 (points 3k + 2) mirrored. Only the first
// half of each block is ever at p, so only that half of the twiddles is kept.
template <class F>
void ForEachPair(const Shape& shape, F f) {
    Tables& t = TheTables();
    const Tables::Level& b0 = t.Join(0);
    f(0, 0, 1, b0.re, b0.im);
    f(1, 1, 1, b0.re + 1, b0.im + 1);
    for (int k = 1; k < shape.log; ++k) {
        const size_t lo = size_t{1} << k;
        const Tables::Level& b = t.Join(k);
        for (size_t j = 0; j < lo / 2; j += kPumpEvery) {
            f(lo + j, 2 * lo - 1 - j, std::min(kPumpEvery, lo / 2 - j), b.re + j, b.im + j);
        }
    }
    if (shape.three) {
        const size_t len = size_t{1} << shape.log;
        const Tables::Level& w = t.GetThree(shape.log).join;
        for (size_t j = 0; j < len; j += kPumpEvery) {
            f(len + j, 3 * len - 1 - j, std::min(kPumpEvery, len - j), w.re + j, w.im + j);
        }
    }
}

// The radix-3 step of `shape` for j0 <= j < j1 only (j0, j1 multiples of its fine
// table's length).
template <bool kInverse>
void ThreeRange(double* re, double* im, const Shape& shape, size_t j0, size_t j1) {
    const size_t len = size_t{1} << shape.log;
    const Tables::Three& tw = TheTables().GetThree(shape.log);
    const auto span = kInverse ? Inverse3Span : Forward3Span;
    for (size_t j = j0; j < j1;) {
        const size_t end = std::min(j1, j + kPumpEvery);
        span(re + j, im + j, re + len + j, im + len + j, re + 2 * len + j, im + 2 * len + j, ThreeTwiddles(tw, j),
             end - j);
        j = end;
        pump::ProcessMessages();
    }
}

void ForwardShape(double* re, double* im, const Shape& shape) {
    if (!shape.three) {
        Forward(re, im, shape.log);
        return;
    }
    const size_t len = size_t{1} << shape.log;
    ThreeRange<false>(re, im, shape, 0, len);
    for (int r = 0; r < 3; ++r) Forward(re + r * len, im + r * len, shape.log);
}

void InverseShape(double* re, double* im, const Shape& shape) {
    if (!shape.three) {
        Inverse(re, im, shape.log);
        return;
    }
    const size_t len = size_t{1} << shape.log;
    for (int r = 0; r < 3; ++r) Inverse(re + r * len, im + r * len, shape.log);
    ThreeRange<true>(re, im, shape, 0, len);
}

// Transforms of at least this many points are cut into tasks for two cores. Below it the
// helper thread costs more than it wins (idle machine: products of 100,000 digits, 2^15
// points, took 1.15 ms on two cores against 0.82 on one; from 200,000 digits two win).
constexpr size_t kParallelPoints = size_t{1} << 16;

// The outermost level of a transform of 2^(k+1) points (half-size 2^k) for the pairs
// j0 <= j < j1 only: the pairs are independent, so the level splits by j.
template <bool kInverse>
void TopLevelRange(double* re, double* im, int k, size_t j0, size_t j1) {
    LevelRange<kInverse>(re, im, k, TheTables().Get(k), j0, j1);
}


// ForwardShape or InverseShape (kInverse) as tasks for two cores: the radix-3 step (if
// any) and the outermost level of each part split in halves by j, and the halves of the
// parts after that (before, for the inverse) as independent transforms of 2^(log-1)
// points. Each step's operations are those of the transform on one core, so the results
// are the same.
template <bool kInverse>
void ShapeOnTwo(double* re, double* im, const Shape& shape) {
    const size_t len = size_t{1} << shape.log, half = len / 2;
    const int parts = shape.three ? 3 : 1;
    auto three = [&] {
        RunKernelTasks(2, true, [&](int h) {
            ThreeRange<kInverse>(re, im, shape, h == 0 ? 0 : half, h == 0 ? half : len);
        });
    };
    auto top = [&] {
        RunKernelTasks(2 * parts, true, [&](int t) {
            const size_t off = static_cast<size_t>(t / 2) * len, quarter = half / 2;
            const size_t j0 = t % 2 == 0 ? 0 : quarter, j1 = t % 2 == 0 ? quarter : half;
            TopLevelRange<kInverse>(re + off, im + off, shape.log - 1, j0, j1);
        });
    };
    auto halves = [&] {
        RunKernelTasks(2 * parts, true, [&](int t) {
            const size_t off = static_cast<size_t>(t) * half;
            if (kInverse) {
                Inverse(re + off, im + off, shape.log - 1);
            } else {
                Forward(re + off, im + off, shape.log - 1);
            }
        });
    };
    if (kInverse) {
        halves();
        top();
        if (shape.three) three();
    } else {
        if (shape.three) three();
        top();
        halves();
    }
}

void ForwardOn(double* re, double* im, const Shape& shape, bool parallel) {
    if (parallel && shape.log >= 4) {
        ShapeOnTwo<false>(re, im, shape);
    } else {
        ForwardShape(re, im, shape);
    }
}

void InverseOn(double* re, double* im, const Shape& shape, bool parallel) {
    if (parallel && shape.log >= 4) {
        ShapeOnTwo<true>(re, im, shape);
    } else {
        InverseShape(re, im, shape);
    }
}

// The bound of the header for products of length 2M through transforms of `shape` (M
// points, plus the level that joins the halves), for |z|^2 = norm2.
double ErrorBound(const Shape& shape, double norm2) {
    const double e = 0x1p-53, b = 2 * e;
    const double n = shape.log + 1 + (shape.three ? 2 : 0);
    // (1 + e)^k - 1 through logarithms: 1 + e itself rounds to 1 in doubles.
    const double log = (3 * n + 6) * std::log1p(e) + (3 * n + 4) * std::log1p(e * std::sqrt(5.0)) +
                       3 * n * std::log1p(b);
    return norm2 * std::expm1(log);
}

// The shape for a product of `points` coefficients: two coefficients a point.
Shape ShapeForLength(size_t points) { return ShapeFor((points + 1) / 2); }

// Loads the limbs a[0..na) as M points of balanced digits (the header), even digits in
// the real parts, odd ones in the imaginary parts, zero beyond. Each digit depends only on
// its limb and the one below, so the loop has no carry chain.
inline double Balanced(const Limb* a, size_t i, size_t top) {
    const int lent = i > 0 && a[i - 1] >= 5000 ? 1 : 0;
    const int lends = i < top && a[i] >= 5000 ? 10000 : 0;
    return static_cast<double>(int{a[i]} + lent - lends);
}

void Load(const Limb* a, size_t na, double* re, double* im, size_t m) {
    const size_t pairs = na / 2, top = na - 1;
    for (size_t j = 0; j < pairs; ++j) {
        re[j] = Balanced(a, 2 * j, top);
        im[j] = Balanced(a, 2 * j + 1, top);
    }
    std::fill(re + pairs, re + m, 0.0);
    std::fill(im + pairs, im + m, 0.0);
    if (na % 2 != 0) re[pairs] = Balanced(a, na - 1, top);
}

// The forward transform of the limbs a[0..na) as the M points of `shape` into re, im.
void Spectrum(const Limb* a, size_t na, const Shape& shape, double* re, double* im) {
    Load(a, na, re, im, shape.size());
    ForwardShape(re, im, shape);
}

// The pointwise step over all pairs into out (re, then im), then the inverse transform
// (on two cores when parallel).
void Back(const PairInputs& in, const Shape& shape, double* out, bool parallel = false) {
    const size_t m = shape.size();
    const double s = 1.0 / (8.0 * static_cast<double>(m));
    const auto span = in.x2r != nullptr ? PairSpan<Terms::kPairs>
                      : in.y1r != nullptr ? PairSpan<Terms::kProduct>
                                          : PairSpan<Terms::kSquare>;
    ForEachPair(shape, [&](size_t p0, size_t q0, size_t count, const double* wr, const double* wi) {
        span(out, out + m, in, wr, wi, p0, q0, count, s);
        pump::ProcessMessages();
    });
    InverseOn(out, out + m, shape, parallel);
}

// The cyclic convolution of a and b (b null: a with itself) over 2M coefficients, M the
// points of `shape` (na, nb at most 2M): coefficient 2j in re[j], 2j + 1 in im[j].
std::unique_ptr<double[]> Convolve(const Limb* a, size_t na, const Limb* b, size_t nb, const Shape& shape) {
    const Tables::Use use(TheTables());
    const size_t m = shape.size();
    std::unique_ptr<double[]> buf(new double[(b != nullptr ? 4 : 2) * m]);
    double* ar = buf.get();
    double* br = b != nullptr ? ar + 2 * m : nullptr;
    // Large transforms use a second core: a product's two spectra side by side, a
    // square's one transform cut into tasks.
    const bool parallel = m >= kParallelPoints;
    if (b != nullptr) {
        RunKernelTasks(2, parallel, [&](int k) {
            if (k == 0) {
                Spectrum(a, na, shape, ar, ar + m);
            } else {
                Spectrum(b, nb, shape, br, br + m);
            }
        });
    } else {
        Load(a, na, ar, ar + m, m);
        ForwardOn(ar, ar + m, shape, parallel);
    }
    const PairInputs in{ar, ar + m, br, b != nullptr ? br + m : nullptr, nullptr, nullptr, nullptr, nullptr, 0.0};
    Back(in, shape, ar, parallel);
    return buf;
}

// The coefficient x (an integer within a quarter, of size below 2^52) rounded, plus the
// carry, split with floor division into a limb and the next carry. Adding kShift * 10000
// makes the sum non-negative, so that the division by 10000 is an unsigned one (by a
// constant: a multiplication).
inline Limb CarryStep(double x, int64_t& carry) {
    constexpr int64_t kShift = int64_t{1} << 40;
    const int64_t t = static_cast<int64_t>(x + (x >= 0 ? 0.5 : -0.5)) + carry;
    const uint64_t u = static_cast<uint64_t>(t + kShift * int64_t{kBase});
    carry = static_cast<int64_t>(u / kBase) - kShift;
    return static_cast<Limb>(u % kBase);
}

// out[0..count) := the signed coefficients (re, im interleaved) rounded and carried in
// base 10000; returns the carry out (negative when the coefficients sum to less than 0
// modulo 10000^count). One carry chain costs a division's latency a limb; four chains over
// four quarters run side by side, and each quarter's carry out is then added into the
// next quarter (it stops after a few limbs but for runs of 9999 or 0).
int64_t Carry(const double* re, const double* im, size_t count, Limb* out) {
    constexpr size_t kChains = 4;
    const size_t pairs = count / 2, seg = pairs / kChains;
    int64_t c[kChains] = {};
    for (size_t j = 0; j < seg; ++j) {
        for (size_t k = 0; k < kChains; ++k) {
            const size_t at = k * seg + j;
            out[2 * at] = CarryStep(re[at], c[k]);
            out[2 * at + 1] = CarryStep(im[at], c[k]);
        }
    }
    int64_t& last = c[kChains - 1];
    for (size_t at = kChains * seg; at < pairs; ++at) {
        out[2 * at] = CarryStep(re[at], last);
        out[2 * at + 1] = CarryStep(im[at], last);
    }
    if (count % 2 != 0) out[count - 1] = CarryStep(re[pairs], last);
    int64_t carry = c[0];
    for (size_t k = 1; k < kChains; ++k) {
        const size_t end = k + 1 < kChains ? 2 * (k + 1) * seg : count;
        for (size_t i = 2 * k * seg; i < end && carry != 0; ++i) out[i] = CarryStep(out[i], carry);
        carry += c[k];
    }
    return carry;
}

// Whether the bound holds for factors of `limbs` limbs together (|x|^2 + |y|^2 at most
// 5000^2 (limbs + 6) in balanced digits).
bool Fits(const Shape& shape, double limbs) {
    return shape.size() <= kMaxPoints && ErrorBound(shape, 5000.0 * 5000.0 * (limbs + 6.0)) < 0.25;
}

// |x|^2 for the balanced digits of a (Balanced), exactly: each square is below 2^27.
// Integer steps without branches, so that the loop runs in vectors.
TABAI_CLONES uint64_t Norm2(const Limb* __restrict a, size_t na) {
    const auto square = [](int64_t d) { return static_cast<uint64_t>(d * d); };
    if (na == 1) return square(a[0]);
    uint64_t sum = square(int64_t{a[0]} - (a[0] >= 5000 ? 10000 : 0));
    for (size_t i = 1; i + 1 < na; ++i) {
        const int32_t d = int32_t{a[i]} + (a[i - 1] >= 5000 ? 1 : 0) - (a[i] >= 5000 ? 10000 : 0);
        sum += static_cast<uint64_t>(static_cast<int64_t>(d * d));
    }
    return sum + square(int64_t{a[na - 1]} + (a[na - 2] >= 5000 ? 1 : 0));
}

}  // namespace

double FftTwiddleError(size_t points) {
    const Shape shape = ShapeFor(points);
    const Tables::Use use(TheTables());
    double worst = 0;
    auto check = [&worst](const double* re, const double* im, size_t n, uint64_t b, auto a) {
        for (size_t j = 0; j < n; ++j) {
            long double c, s;
            TwiddleLong(a(j), b, c, s);
            worst = std::max({worst, static_cast<double>(std::fabs(re[j] - c)),
                              static_cast<double>(std::fabs(im[j] - s))});
        }
    };
    const auto same = [](size_t j) { return uint64_t{j}; };
    for (int k = 0; k < shape.log; ++k) {
        // Each level's whole range of twiddles as the levels read them: the table, then
        // the table turned.
        const Tables::Level& l = TheTables().Get(k);
        const size_t half = size_t{1} << k, stored = std::max<size_t>(half / 2, 1);
        check(l.re, l.im, stored, half, same);
        if (k == 0) continue;
        std::vector<double> tr(stored), ti(stored);
        for (size_t j = 0; j < stored; ++j) {
            tr[j] = TwRe<true>(l.re, l.im, j);
            ti[j] = TwIm<true>(l.re, l.im, j);
        }
        check(tr.data(), ti.data(), stored, half, [stored](size_t j) { return uint64_t{stored + j}; });
    }
    if (shape.three) {
        const size_t len = size_t{1} << shape.log;
        // The radix-3 step's, as its loops compute them.
        const Tables::Three& t = TheTables().GetThree(shape.log);
        std::vector<double> w1r(len), w1i(len), w2r(len), w2i(len);
        for (size_t j = 0; j < len; ++j) {
            const ThreeTwiddles tw(t, j);
            const size_t l = j % t.fine;
            ThreeTwiddle(tw.c1[0], tw.c1[1], tw.c1[2], tw.c1[3], tw.d1r[l], tw.d1i[l], w1r[j], w1i[j]);
            ThreeTwiddle(tw.c2[0], tw.c2[1], tw.c2[2], tw.c2[3], tw.d2r[l], tw.d2i[l], w2r[j], w2i[j]);
        }
        check(w1r.data(), w1i.data(), len, 3 * len, [](size_t j) { return uint64_t{2 * j}; });
        check(w2r.data(), w2i.data(), len, 3 * len, [](size_t j) { return uint64_t{4 * j}; });
    }
    // The join's twiddles as the pointwise step gets them, against the point at each
    // position p (bit-reversed within a part of 2^log; part r holds the points 3k + r).
    const size_t len = size_t{1} << shape.log;
    const auto point = [&shape, len](size_t p) {
        const uint64_t rev = Reversed(p % len, shape.log);
        return shape.three ? 3 * rev + p / len : rev;
    };
    ForEachPair(shape, [&](size_t p0, size_t, size_t count, const double* wr, const double* wi) {
        check(wr, wi, count, shape.size(), [&](size_t j) { return point(p0 + j); });
    });
    return worst;
}

void FftReleaseTablesPast(size_t na, size_t nb) {
    if (ShapeForLength(na + nb - 1).size() > kMaxPoints) TheTables().Release();
}

size_t FftTableBytes() { return TheTables().Bytes(); }

bool FftFits(size_t na, size_t nb) {
    return Fits(ShapeForLength(na + nb - 1), static_cast<double>(na + nb));
}

bool FftFitsOperands(const Limb* a, size_t na, const Limb* b, size_t nb) {
    const Shape shape = ShapeForLength(na + nb - 1);
    if (shape.size() > kMaxPoints) return false;
    const uint64_t xa = Norm2(a, na), xb = b != nullptr ? Norm2(b, nb) : xa;
    // The margin covers the rounding of the exact sums to doubles.
    const double norm2 = (static_cast<double>(xa) + static_cast<double>(xb)) * (1 + 0x1p-40);
    return ErrorBound(shape, norm2) < 0.25;
}

// Factors of up to the whole length each.
bool FftCyclicFits(size_t minLen) {
    const Shape shape = ShapeForLength(minLen);
    return Fits(shape, 4.0 * static_cast<double>(shape.size()));
}

size_t FftCyclicLength(size_t minLen) { return 2 * ShapeForLength(minLen).size(); }

void MulFft(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out) {
    const size_t points = na + nb - 1;
    const Shape shape = ShapeForLength(points);
    const auto buf = Convolve(a, na, b, nb, shape);
    out[points] = static_cast<Limb>(Carry(buf.get(), buf.get() + shape.size(), points, out));
}

void SqrFft(const Limb* a, size_t n, Limb* out) {
    const size_t points = 2 * n - 1;
    const Shape shape = ShapeForLength(points);
    const auto buf = Convolve(a, n, nullptr, 0, shape);
    out[points] = static_cast<Limb>(Carry(buf.get(), buf.get() + shape.size(), points, out));
}

size_t MulFftCyclic(const Limb* a, size_t na, const Limb* b, size_t nb, size_t minLen, Limb* out) {
    const Shape shape = ShapeForLength(minLen);
    const size_t n = 2 * shape.size();
    const auto buf = Convolve(a, na, b, nb, shape);
    int64_t carry = Carry(buf.get(), buf.get() + shape.size(), n, out);
    // 10000^n = 1 here, so the carry out of the top comes back in at the bottom (a
    // negative one as a borrow; after one round the carry is 0 or +-1, and a borrow that
    // wraps leaves a value too large to borrow again).
    while (carry != 0) {
        for (size_t i = 0; i < n && carry != 0; ++i) out[i] = CarryStep(static_cast<double>(out[i]), carry);
    }
    return n;
}

bool FftPairsFit(const SignedSpan* in, const ProductPair* pairs, size_t npairs) {
    size_t longest = 2;
    for (size_t k = 0; k < npairs; ++k) {
        const ProductPair& c = pairs[k];
        longest = std::max({longest, in[c.a1].n + in[c.b1].n, in[c.a2].n + in[c.b2].n});
    }
    // The error of a sum of two products is at most the sum of theirs.
    return Fits(ShapeForLength(longest - 1), 2.0 * static_cast<double>(longest) + 6.0);
}

void MulPairsFft(const SignedSpan* in, size_t nin, const ProductPair* pairs, size_t npairs,
                 std::vector<Limb>* mag, bool* neg) {
    size_t points = 1;
    for (size_t k = 0; k < npairs; ++k) {
        const ProductPair& c = pairs[k];
        points = std::max({points, in[c.a1].n + in[c.b1].n - 1, in[c.a2].n + in[c.b2].n - 1});
    }
    const Tables::Use use(TheTables());
    const Shape shape = ShapeForLength(points);
    const size_t m = shape.size();
    std::unique_ptr<double[]> spectra(new double[(nin + 1) * 2 * m]);
    auto re = [&](size_t i) { return spectra.get() + i * 2 * m; };
    for (size_t i = 0; i < nin; ++i) Spectrum(in[i].p, in[i].n, shape, re(i), re(i) + m);
    double* out = re(nin);
    for (size_t k = 0; k < npairs; ++k) {
        const ProductPair& c = pairs[k];
        const bool s1 = in[c.a1].neg != in[c.b1].neg, s2 = in[c.a2].neg != in[c.b2].neg;
        auto at = [&](int i) { return re(static_cast<size_t>(i)); };
        // |x1 y1| + sign2 |x2 y2|, whose sign is flipped when x1 y1 is negative.
        const PairInputs pin{at(c.a1), at(c.a1) + m, at(c.b1), at(c.b1) + m,
                             at(c.a2), at(c.a2) + m, at(c.b2), at(c.b2) + m, s1 == s2 ? 1.0 : -1.0};
        Back(pin, shape, out);
        // Signed coefficients (each below 2^53 in size, so rounded exactly), carried with
        // floor division: limbs in [0, 10000) and a final carry of -1 for a negative value
        // (V = L - 10000^len).
        std::vector<Limb>& v = mag[k];
        v.assign(points, 0);
        int64_t carry = Carry(out, out + m, points, v.data());
        while (carry != 0 && carry != -1) {
            int64_t t = carry;
            carry = t >= 0 ? t / int64_t{kBase} : -((-t + int64_t{kBase} - 1) / int64_t{kBase});
            v.push_back(static_cast<Limb>(t - carry * int64_t{kBase}));
        }
        const bool negative = carry == -1;
        if (negative) {
            // |V| = 10000^len - L: the lowest non-zero limb from 10000, the others from 9999.
            size_t i = 0;
            while (i < v.size() && v[i] == 0) ++i;
            if (i == v.size()) {
                v.push_back(1);
            } else {
                v[i] = static_cast<Limb>(kBase - v[i]);
                for (++i; i < v.size(); ++i) v[i] = static_cast<Limb>(kBase - 1 - v[i]);
            }
        }
        v.resize(Trim(v.data(), v.size()));
        neg[k] = !v.empty() && (negative != s1);
    }
}

}  // namespace tabai_kernels
