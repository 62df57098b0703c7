// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Multiplication of TSeisu limb arrays through number-theoretic transforms.
//
// Two limbs make one point (base 10^8). A coefficient of the product is below
// min(points) * 10^16 <= 2^23 * 10^16, far below the product of the three primes
// (about 5.9 * 10^25), so three exact cyclic convolutions modulo the primes, joined by
// the Chinese remainder theorem, give the product exactly. The primes are below 2^30, so
// values may lie lazily in [0, 2p) and a difference plus 2p in [0, 4p) still fits 32 bits;
// their multiplicative groups hold 2^24 roots of unity, the longest transform.
//
// Products use Montgomery's reduction (R = 2^32). The forward transform is decimation in
// frequency (natural order in, bit-reversed out) and the inverse decimation in time
// (bit-reversed in, natural out), so no bit reversal is ever done.
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/pump.h"
#include "engine/tabai_kernels.h"
#include "engine/tabai_tasks.h"

namespace tabai_kernels {

namespace {

// Transforms have 2^k or 3 * 2^k points (k <= kMaxLog): the finer steps waste less padding.
constexpr int kMaxLog = 23;
constexpr size_t kMaxPoints = size_t{3} << kMaxLog;

struct Prime {
    uint32_t p;
    uint32_t generator;
};
// p - 1 = 45 * 2^24, 105 * 2^23 and 45 * 2^23: roots of unity of orders 2^23 and 3 * 2^23.
constexpr std::array<Prime, 3> kPrimes = {{{754974721u, 11u}, {880803841u, 26u}, {377487361u, 7u}}};

// a * b / 2^32 mod p, in [0, 2p), for a * b < p * 2^32 (Montgomery's reduction with
// pinv = -p^-1 mod 2^32).
inline uint32_t MontMul(uint32_t a, uint32_t b, uint32_t p, uint32_t pinv) {
    const uint64_t t = static_cast<uint64_t>(a) * b;
    const uint32_t m = static_cast<uint32_t>(t) * pinv;
    return static_cast<uint32_t>((t + static_cast<uint64_t>(m) * p) >> 32);
}

// Arithmetic modulo one prime, values in Montgomery form where noted.
struct Mod {
    uint32_t p = 0;
    uint32_t pinv = 0;  // -p^-1 mod 2^32
    uint32_t r2 = 0;    // 2^64 mod p

    explicit Mod(uint32_t prime) : p(prime) {
        uint32_t inv = prime;  // Newton's iteration for the inverse modulo 2^32
        for (int i = 0; i < 5; ++i) inv *= 2u - prime * inv;
        pinv = 0u - inv;
        const uint64_t r = (uint64_t{1} << 32) % prime;
        r2 = static_cast<uint32_t>(r * r % prime);
    }
    // a * b / 2^32 mod p, in [0, 2p), for a * b < p * 2^32.
    uint32_t Mul(uint32_t a, uint32_t b) const {
        const uint64_t t = static_cast<uint64_t>(a) * b;
        const uint32_t m = static_cast<uint32_t>(t) * pinv;
        return static_cast<uint32_t>((t + static_cast<uint64_t>(m) * p) >> 32);
    }
    uint32_t Reduce(uint32_t a) const { return a >= p ? a - p : a; }
    uint32_t ToMont(uint32_t a) const { return Reduce(Mul(a, r2)); }
    uint32_t FromMont(uint32_t a) const { return Reduce(Mul(a, 1)); }
    uint32_t Pow(uint32_t baseMont, uint64_t e) const {
        uint32_t r = ToMont(1);
        while (e != 0) {
            if (e & 1) r = Reduce(Mul(r, baseMont));
            baseMont = Reduce(Mul(baseMont, baseMont));
            e >>= 1;
        }
        return r;
    }
};

// Roots of unity in Montgomery form, one array per level: level k holds the 2^k powers
// w^0 .. w^(2^k - 1) of a primitive 2^(k+1)-th root w (and of its inverse). Levels are
// made on first use and never move, so readers need no lock once they have them.
class RootTables {
public:
    explicit RootTables(const Prime& prime) : mod_(prime.p), generator_(prime.generator) {}

    const Mod& mod() const { return mod_; }

    // Makes sure that levels 0 .. log - 1 exist (a transform of 2^log points).
    void Ensure(int log) {
        std::lock_guard<std::mutex> lock(mutex_);
        while (ready_ < log) {
            const int k = ready_;
            const size_t half = size_t{1} << k;
            const uint64_t order = uint64_t{2} << k;
            const uint32_t g = mod_.ToMont(generator_);
            const uint32_t w = mod_.Pow(g, (mod_.p - 1) / order);
            const uint32_t wi = mod_.Pow(w, order - 1);
            auto fwd = std::make_unique<uint32_t[]>(half);
            auto inv = std::make_unique<uint32_t[]>(half);
            uint32_t x = mod_.ToMont(1), y = x;
            for (size_t j = 0; j < half; ++j) {
                fwd[j] = x;
                inv[j] = y;
                x = mod_.Reduce(mod_.Mul(x, w));
                y = mod_.Reduce(mod_.Mul(y, wi));
            }
            forward_[k] = std::move(fwd);
            inverse_[k] = std::move(inv);
            ++ready_;
        }
    }
    const uint32_t* Forward(int k) const { return forward_[k].get(); }
    const uint32_t* Inverse(int k) const { return inverse_[k].get(); }

    // The radix-3 step of a transform of 3 * 2^log points: W a primitive root of that
    // order (W^3 is the root of the 2^log-point transforms above), the twiddles W^j and
    // W^2j for j < 2^log, their inverses, and the cube roots of unity W^(2^log) and its
    // square; 1/2, and h = (w - w^2) / 2 for the cube root w and ih for its inverse (all
    // in Montgomery form).
    struct Three {
        std::unique_ptr<uint32_t[]> w1, w2, iw1, iw2;
        uint32_t omega = 0, omega2 = 0, half = 0, h = 0, ih = 0;
    };
    const Three& EnsureThree(int log) {
        Ensure(log);
        std::lock_guard<std::mutex> lock(mutex_);
        Three& t = three_[log];
        if (!t.w1) {
            const size_t len = size_t{1} << log;
            const uint64_t order = uint64_t{3} << log;
            const uint32_t g = mod_.ToMont(generator_);
            const uint32_t w = mod_.Pow(g, (mod_.p - 1) / order);
            const uint32_t wi = mod_.Pow(w, order - 1);
            auto w1 = std::make_unique<uint32_t[]>(len), w2 = std::make_unique<uint32_t[]>(len);
            auto iw1 = std::make_unique<uint32_t[]>(len), iw2 = std::make_unique<uint32_t[]>(len);
            uint32_t x = mod_.ToMont(1), y = x;
            for (size_t j = 0; j < len; ++j) {
                w1[j] = x;
                w2[j] = mod_.Reduce(mod_.Mul(x, x));
                iw1[j] = y;
                iw2[j] = mod_.Reduce(mod_.Mul(y, y));
                x = mod_.Reduce(mod_.Mul(x, w));
                y = mod_.Reduce(mod_.Mul(y, wi));
            }
            t.omega = mod_.Pow(w, len);
            t.omega2 = mod_.Reduce(mod_.Mul(t.omega, t.omega));
            t.half = mod_.ToMont((mod_.p + 1) / 2);
            t.h = mod_.Reduce(mod_.Mul(mod_.Reduce(t.omega + mod_.p - t.omega2), t.half));
            t.ih = t.h == 0 ? 0 : mod_.p - t.h;  // (w^-1 - w^-2) / 2 = (w^2 - w) / 2
            t.w1 = std::move(w1);
            t.w2 = std::move(w2);
            t.iw1 = std::move(iw1);
            t.iw2 = std::move(iw2);
        }
        return t;
    }

private:
    Mod mod_;
    uint32_t generator_;
    std::mutex mutex_;
    int ready_ = 0;
    std::array<std::unique_ptr<uint32_t[]>, kMaxLog> forward_;
    std::array<std::unique_ptr<uint32_t[]>, kMaxLog> inverse_;
    std::array<Three, kMaxLog + 1> three_;
};

RootTables& Tables(int i) {
    static RootTables tables[3] = {RootTables(kPrimes[0]), RootTables(kPrimes[1]),
                                   RootTables(kPrimes[2])};
    return tables[i];
}

// Lets the user interface in after about this many butterflies (well under a millisecond).
constexpr size_t kPumpEvery = size_t{1} << 15;

// Butterflies of one level: pairs (x[j], y[j]) for j < count with twiddles w[j]. These
// loops are compiled for several instruction sets (TABAI_CLONES) and never call the
// message pump: GCC takes the resolver of a target_clones function for one that cannot
// throw, so an exception must not pass through them.
TABAI_CLONES void ForwardSpan(uint32_t* __restrict x, uint32_t* __restrict y,
                              const uint32_t* __restrict w, size_t count, uint32_t p, uint32_t pinv) {
    const uint32_t p2 = 2 * p;
    for (size_t j = 0; j < count; ++j) {
        const uint32_t u = x[j], v = y[j];
        const uint32_t sum = u + v;
        x[j] = std::min(sum, sum - p2);  // below 2p: subtracting 2p wraps around
        y[j] = MontMul(u - v + p2, w[j], p, pinv);
    }
}

TABAI_CLONES void InverseSpan(uint32_t* __restrict x, uint32_t* __restrict y,
                              const uint32_t* __restrict w, size_t count, uint32_t p, uint32_t pinv) {
    const uint32_t p2 = 2 * p;
    for (size_t j = 0; j < count; ++j) {
        const uint32_t u = x[j];
        const uint32_t v = MontMul(y[j], w[j], p, pinv);
        const uint32_t sum = u + v, diff = u - v + p2;
        x[j] = std::min(sum, sum - p2);
        y[j] = std::min(diff, diff - p2);
    }
}

// Two levels at once (radix 4), half-sizes M and M/2, over the quarters q0..q3 of a block
// of 2M points: one pass over memory instead of two. wa = twiddles of half-size M (first
// half, wb its second half), wc = twiddles of half-size M/2.
TABAI_CLONES void Forward4Span(uint32_t* __restrict q0, uint32_t* __restrict q1, uint32_t* __restrict q2,
                               uint32_t* __restrict q3, const uint32_t* __restrict wa,
                               const uint32_t* __restrict wb, const uint32_t* __restrict wc, size_t count,
                               uint32_t p, uint32_t pinv) {
    const uint32_t p2 = 2 * p;
    for (size_t j = 0; j < count; ++j) {
        const uint32_t a0 = q0[j], a1 = q1[j], a2 = q2[j], a3 = q3[j];
        const uint32_t s02 = a0 + a2, s13 = a1 + a3;
        const uint32_t b0 = std::min(s02, s02 - p2);
        const uint32_t b2 = MontMul(a0 - a2 + p2, wa[j], p, pinv);
        const uint32_t b1 = std::min(s13, s13 - p2);
        const uint32_t b3 = MontMul(a1 - a3 + p2, wb[j], p, pinv);
        const uint32_t s01 = b0 + b1, s23 = b2 + b3;
        q0[j] = std::min(s01, s01 - p2);
        q1[j] = MontMul(b0 - b1 + p2, wc[j], p, pinv);
        q2[j] = std::min(s23, s23 - p2);
        q3[j] = MontMul(b2 - b3 + p2, wc[j], p, pinv);
    }
}

TABAI_CLONES void Inverse4Span(uint32_t* __restrict q0, uint32_t* __restrict q1, uint32_t* __restrict q2,
                               uint32_t* __restrict q3, const uint32_t* __restrict wa,
                               const uint32_t* __restrict wb, const uint32_t* __restrict wc, size_t count,
                               uint32_t p, uint32_t pinv) {
    const uint32_t p2 = 2 * p;
    for (size_t j = 0; j < count; ++j) {
        // Half-size M/2 first: (q0, q1) and (q2, q3) with wc.
        const uint32_t a0 = q0[j], a2 = q2[j];
        const uint32_t t1 = MontMul(q1[j], wc[j], p, pinv), t3 = MontMul(q3[j], wc[j], p, pinv);
        uint32_t b0 = a0 + t1, b1 = a0 - t1 + p2, b2 = a2 + t3, b3 = a2 - t3 + p2;
        b0 = std::min(b0, b0 - p2);
        b1 = std::min(b1, b1 - p2);
        b2 = std::min(b2, b2 - p2);
        b3 = std::min(b3, b3 - p2);
        // Then half-size M: (q0, q2) with wa, (q1, q3) with wb.
        const uint32_t u2 = MontMul(b2, wa[j], p, pinv), u3 = MontMul(b3, wb[j], p, pinv);
        const uint32_t c0 = b0 + u2, c2 = b0 - u2 + p2, c1 = b1 + u3, c3 = b1 - u3 + p2;
        q0[j] = std::min(c0, c0 - p2);
        q2[j] = std::min(c2, c2 - p2);
        q1[j] = std::min(c1, c1 - p2);
        q3[j] = std::min(c3, c3 - p2);
    }
}

// Two levels (half-sizes M = 2^k and M/2) over all n points, in pieces with the pump
// between them.
template <class Span>
void Level4(uint32_t* a, size_t n, int k, const uint32_t* wM, const uint32_t* wHalf, uint32_t p,
            uint32_t pinv, Span span) {
    const size_t m = size_t{1} << k, h = m / 2;
    for (size_t s = 0; s < n; s += 2 * m) {
        uint32_t* q = a + s;
        for (size_t j = 0; j < h; j += kPumpEvery / 2) {
            const size_t count = std::min(kPumpEvery / 2, h - j);
            span(q + j, q + h + j, q + m + j, q + m + h + j, wM + j, wM + h + j, wHalf + j, count, p, pinv);
            pump::ProcessMessages();
        }
    }
}

// The levels of half-size m < 16 are too short for vector loops: plain loops over the
// blocks [begin, end) (multiples of 2m) instead.
void ForwardSmall(uint32_t* a, size_t m, size_t begin, size_t end, const uint32_t* w, uint32_t p,
                  uint32_t pinv) {
    const uint32_t p2 = 2 * p;
    for (size_t s = begin; s < end; s += 2 * m) {
        for (size_t j = 0; j < m; ++j) {
            const uint32_t u = a[s + j], v = a[s + j + m];
            const uint32_t sum = u + v;
            a[s + j] = std::min(sum, sum - p2);
            a[s + j + m] = MontMul(u - v + p2, w[j], p, pinv);
        }
    }
}

void InverseSmall(uint32_t* a, size_t m, size_t begin, size_t end, const uint32_t* w, uint32_t p,
                  uint32_t pinv) {
    const uint32_t p2 = 2 * p;
    for (size_t s = begin; s < end; s += 2 * m) {
        for (size_t j = 0; j < m; ++j) {
            const uint32_t u = a[s + j];
            const uint32_t v = MontMul(a[s + j + m], w[j], p, pinv);
            const uint32_t sum = u + v, diff = u - v + p2;
            a[s + j] = std::min(sum, sum - p2);
            a[s + j + m] = std::min(diff, diff - p2);
        }
    }
}

// One level of half-size m over all n points, in pieces of about kPumpEvery butterflies
// with the pump between them.
template <class Span, class Small>
void Level(uint32_t* a, size_t n, size_t m, const uint32_t* w, uint32_t p, uint32_t pinv, Span span,
           Small small) {
    if (m < 16) {
        const size_t piece = std::max(2 * m, kPumpEvery * 2);
        for (size_t s = 0; s < n; s += piece) {
            small(a, m, s, std::min(n, s + piece), w, p, pinv);
            pump::ProcessMessages();
        }
        return;
    }
    for (size_t s = 0; s < n; s += 2 * m) {
        for (size_t j = 0; j < m; j += kPumpEvery) {
            const size_t count = std::min(kPumpEvery, m - j);
            span(a + s + j, a + s + m + j, w + j, count, p, pinv);
            pump::ProcessMessages();
        }
    }
}

// The last four levels of the forward transform (half-sizes 8, 4, 2, 1) inside each block
// of 16 points, and the first four of the inverse, in one pass over the array: these
// levels are too short for vector loops, and one pass instead of four saves memory traffic.
struct Tail16 {
    uint32_t w8[8], w4[4], w2[2];  // the twiddles of half-sizes 8, 4 and 2 (1 has only w^0)
};

Tail16 MakeTail(const RootTables& t, bool inverse) {
    Tail16 tw;
    const uint32_t* w8 = inverse ? t.Inverse(3) : t.Forward(3);
    const uint32_t* w4 = inverse ? t.Inverse(2) : t.Forward(2);
    const uint32_t* w2 = inverse ? t.Inverse(1) : t.Forward(1);
    std::copy(w8, w8 + 8, tw.w8);
    std::copy(w4, w4 + 4, tw.w4);
    std::copy(w2, w2 + 2, tw.w2);
    return tw;
}

TABAI_CLONES void ForwardTail(uint32_t* __restrict a, size_t n, const Tail16& tw, uint32_t p, uint32_t pinv,
                              uint32_t one) {
    const uint32_t p2 = 2 * p;
    for (size_t s = 0; s < n; s += 16) {
        uint32_t v[16];
        for (int i = 0; i < 16; ++i) v[i] = a[s + i];
        auto level = [&](int m, const uint32_t* w) {
            for (int b = 0; b < 16; b += 2 * m) {
                for (int j = 0; j < m; ++j) {
                    const uint32_t u = v[b + j], x = v[b + j + m];
                    const uint32_t sum = u + x;
                    v[b + j] = std::min(sum, sum - p2);
                    v[b + j + m] = MontMul(u - x + p2, w[j], p, pinv);
                }
            }
        };
        const uint32_t w1[1] = {one};
        level(8, tw.w8);
        level(4, tw.w4);
        level(2, tw.w2);
        level(1, w1);
        for (int i = 0; i < 16; ++i) a[s + i] = v[i];
    }
}

TABAI_CLONES void InverseHead(uint32_t* __restrict a, size_t n, const Tail16& tw, uint32_t p, uint32_t pinv,
                              uint32_t one) {
    const uint32_t p2 = 2 * p;
    for (size_t s = 0; s < n; s += 16) {
        uint32_t v[16];
        for (int i = 0; i < 16; ++i) v[i] = a[s + i];
        auto level = [&](int m, const uint32_t* w) {
            for (int b = 0; b < 16; b += 2 * m) {
                for (int j = 0; j < m; ++j) {
                    const uint32_t u = v[b + j];
                    const uint32_t x = MontMul(v[b + j + m], w[j], p, pinv);
                    const uint32_t sum = u + x, diff = u - x + p2;
                    v[b + j] = std::min(sum, sum - p2);
                    v[b + j + m] = std::min(diff, diff - p2);
                }
            }
        };
        const uint32_t w1[1] = {one};
        level(1, w1);
        level(2, tw.w2);
        level(4, tw.w4);
        level(8, tw.w8);
        for (int i = 0; i < 16; ++i) a[s + i] = v[i];
    }
}

// Runs a tail or head kernel over n points in pieces, with the pump between them.
template <class Kernel>
void Blocks16(uint32_t* a, size_t n, const Tail16& tw, const Mod& md, Kernel kernel) {
    const uint32_t one = md.ToMont(1);
    for (size_t s = 0; s < n; s += kPumpEvery) {
        kernel(a + s, std::min(kPumpEvery, n - s), tw, md.p, md.pinv, one);
        pump::ProcessMessages();
    }
}

// Decimation in frequency: natural order in, bit-reversed order out.
void Forward(uint32_t* a, int log, const RootTables& t) {
    const size_t n = size_t{1} << log;
    const int last = log >= 4 ? 4 : 0;
    int k = log - 1;
    for (; k - 1 >= last && k - 1 >= 4; k -= 2) {
        Level4(a, n, k, t.Forward(k), t.Forward(k - 1), t.mod().p, t.mod().pinv, Forward4Span);
    }
    for (; k >= last; --k) {
        Level(a, n, size_t{1} << k, t.Forward(k), t.mod().p, t.mod().pinv, ForwardSpan, ForwardSmall);
    }
    if (last == 4) Blocks16(a, n, MakeTail(t, false), t.mod(), ForwardTail);
}

// Decimation in time: bit-reversed order in, natural order out (unscaled).
void Inverse(uint32_t* a, int log, const RootTables& t) {
    const size_t n = size_t{1} << log;
    int first = 0;
    if (log >= 4) {
        Blocks16(a, n, MakeTail(t, true), t.mod(), InverseHead);
        first = 4;
    }
    // The pairs of levels mirror those of Forward (the single level, if any, comes first).
    int k = first;
    if (first == 4 && (log - 4) % 2 == 1) {
        Level(a, n, size_t{1} << k, t.Inverse(k), t.mod().p, t.mod().pinv, InverseSpan, InverseSmall);
        ++k;
    }
    for (; k < log; ++k) {
        if (first == 4 && k + 1 < log) {
            Level4(a, n, k + 1, t.Inverse(k + 1), t.Inverse(k), t.mod().p, t.mod().pinv, Inverse4Span);
            ++k;
        } else {
            Level(a, n, size_t{1} << k, t.Inverse(k), t.mod().p, t.mod().pinv, InverseSpan, InverseSmall);
        }
    }
}

// res[k] := res[k] * other[k] (or res[k]^2 when other is null), Montgomery products.
TABAI_CLONES void PointwiseSpan(uint32_t* __restrict res, const uint32_t* __restrict other, size_t count,
                                uint32_t p, uint32_t pinv) {
    if (other != nullptr) {
        for (size_t k = 0; k < count; ++k) res[k] = MontMul(res[k], other[k], p, pinv);
    } else {
        for (size_t k = 0; k < count; ++k) res[k] = MontMul(res[k], res[k], p, pinv);
    }
}

// res[k] := res[k] * scale / 2^32, fully reduced.
TABAI_CLONES void ScaleSpan(uint32_t* __restrict res, size_t count, uint32_t scale, uint32_t p, uint32_t pinv) {
    for (size_t k = 0; k < count; ++k) {
        const uint32_t v = MontMul(res[k], scale, p, pinv);
        res[k] = std::min(v, v - p);
    }
}

// The sums of a radix-3 step shared by both directions, for x0, x1, x2 below 2p and the
// cube root w: sum = x0 + x1 + x2, and x0 + w x1 + w^2 x2 = t + m, x0 + w^2 x1 + w x2 =
// t - m. Since w + w^2 = -1, t = x0 - (x1 + x2) / 2 and m = h (x1 - x2) with
// h = (w - w^2) / 2: two products instead of four. All three below 2p.
struct Radix3 {
    uint32_t sum, t, m;
};
inline Radix3 Radix3Sums(uint32_t x0, uint32_t x1, uint32_t x2, uint32_t half, uint32_t h, uint32_t p,
                         uint32_t pinv) {
    const uint32_t p2 = 2 * p;
    const uint32_t s = x1 + x2;
    const uint32_t y = x0 + std::min(s, s - p2);
    const uint32_t t = x0 + p2 - MontMul(s, half, p, pinv);
    return {std::min(y, y - p2), std::min(t, t - p2), MontMul(x1 + p2 - x2, h, p, pinv)};
}

// The radix-3 step of a forward transform of 3L points, the thirds a0, a1, a2 (each L
// points, values below 2p) becoming y0 = a0 + a1 + a2, y1 = (a0 + w a1 + w^2 a2) W^j and
// y2 = (a0 + w^2 a1 + w a2) W^2j, w the cube root of unity; each third then takes an
// L-point transform. Values stay below 2p (sums reduced before they could reach 2^32; a
// product's factor stays below 4p).
TABAI_CLONES void Forward3Span(uint32_t* __restrict a0, uint32_t* __restrict a1, uint32_t* __restrict a2,
                               const uint32_t* __restrict tw1, const uint32_t* __restrict tw2, size_t count,
                               uint32_t half, uint32_t h, uint32_t p, uint32_t pinv) {
    const uint32_t p2 = 2 * p;
    for (size_t j = 0; j < count; ++j) {
        const Radix3 r = Radix3Sums(a0[j], a1[j], a2[j], half, h, p, pinv);
        a0[j] = r.sum;
        a1[j] = MontMul(r.t + r.m, tw1[j], p, pinv);
        a2[j] = MontMul(r.t + p2 - r.m, tw2[j], p, pinv);
    }
}

// The inverse: z1 = y1 W^-j, z2 = y2 W^-2j, then a0 = y0 + z1 + z2,
// a1 = y0 + w^-1 z1 + w^-2 z2, a2 = y0 + w^-2 z1 + w^-1 z2, by the same sums with the
// inverse cube root (ih = (w^-1 - w^-2) / 2).
TABAI_CLONES void Inverse3Span(uint32_t* __restrict a0, uint32_t* __restrict a1, uint32_t* __restrict a2,
                               const uint32_t* __restrict itw1, const uint32_t* __restrict itw2,
                               size_t count, uint32_t half, uint32_t ih, uint32_t p, uint32_t pinv) {
    const uint32_t p2 = 2 * p;
    for (size_t j = 0; j < count; ++j) {
        const uint32_t z1 = MontMul(a1[j], itw1[j], p, pinv), z2 = MontMul(a2[j], itw2[j], p, pinv);
        const Radix3 r = Radix3Sums(a0[j], z1, z2, half, ih, p, pinv);
        a0[j] = r.sum;
        const uint32_t u = r.t + r.m, v = r.t + p2 - r.m;
        a1[j] = std::min(u, u - p2);
        a2[j] = std::min(v, v - p2);
    }
}

// A transform of n = 2^log or 3 * 2^log points.
struct Shape {
    int log = 1;
    bool three = false;
    size_t size() const { return (three ? size_t{3} : size_t{1}) << log; }
};

void ForwardAny(uint32_t* a, const Shape& shape, RootTables& t) {
    if (!shape.three) {
        Forward(a, shape.log, t);
        return;
    }
    const size_t len = size_t{1} << shape.log;
    const auto& th = t.EnsureThree(shape.log);
    for (size_t j = 0; j < len; j += kPumpEvery) {
        const size_t count = std::min(kPumpEvery, len - j);
        Forward3Span(a + j, a + len + j, a + 2 * len + j, th.w1.get() + j, th.w2.get() + j, count, th.half, th.h,
                     t.mod().p, t.mod().pinv);
        pump::ProcessMessages();
    }
    for (int r = 0; r < 3; ++r) Forward(a + r * len, shape.log, t);
}

void InverseAny(uint32_t* a, const Shape& shape, RootTables& t) {
    if (!shape.three) {
        Inverse(a, shape.log, t);
        return;
    }
    const size_t len = size_t{1} << shape.log;
    const auto& th = t.EnsureThree(shape.log);
    for (int r = 0; r < 3; ++r) Inverse(a + r * len, shape.log, t);
    for (size_t j = 0; j < len; j += kPumpEvery) {
        const size_t count = std::min(kPumpEvery, len - j);
        Inverse3Span(a + j, a + len + j, a + 2 * len + j, th.iw1.get() + j, th.iw2.get() + j, count, th.half,
                     th.ih, t.mod().p, t.mod().pinv);
        pump::ProcessMessages();
    }
}

// Points of base 10^8 from pairs of limbs, zero-padded to n.
void Load(const Limb* a, size_t na, uint32_t* out, size_t n) {
    const size_t pairs = na / 2;
    for (size_t i = 0; i < pairs; ++i) out[i] = a[2 * i] + kBase * a[2 * i + 1];
    size_t used = pairs;
    if (na % 2 != 0) out[used++] = a[na - 1];
    std::fill(out + used, out + n, 0u);
}

// Points [from, to) of base 10^8 from pairs of limbs of a (zero beyond a).
void LoadRange(const Limb* a, size_t na, uint32_t* out, size_t from, size_t to) {
    const size_t full = na / 2;  // points made of two limbs
    for (size_t i = from; i < to; ++i) {
        if (i < full) {
            out[i] = a[2 * i] + kBase * a[2 * i + 1];
        } else {
            out[i] = (i == full && na % 2 != 0) ? a[na - 1] : 0u;
        }
    }
}

// Transform of the points of x modulo prime i into buf.
void ForwardOf(int i, const Limb* x, size_t nx, const Shape& shape, uint32_t* buf) {
    Load(x, nx, buf, shape.size());
    ForwardAny(buf, shape, Tables(i));
}

// res := inverse transform of res * other (or of res squared, other null), scaled and
// fully reduced: the convolution modulo prime i.
void Finish(int i, uint32_t* res, const uint32_t* other, const Shape& shape) {
    RootTables& t = Tables(i);
    const Mod& md = t.mod();
    const size_t n = shape.size();
    PointwiseSpan(res, other, n, md.p, md.pinv);
    pump::ProcessMessages();
    InverseAny(res, shape, t);
    // The pointwise products carry a factor 2^-32 and the inverse a factor n: one
    // Montgomery product by 2^64 / n mod p removes both.
    uint64_t invN = 1, base = n % md.p;
    for (uint64_t e = md.p - 2; e != 0; e >>= 1) {
        if (e & 1) invN = invN * base % md.p;
        base = base * base % md.p;
    }
    const uint32_t scale = static_cast<uint32_t>(md.r2 * invN % md.p);
    ScaleSpan(res, n, scale, md.p, md.pinv);
}

// The helper thread's pump handler: the tasks call pump::ProcessMessages() every few
// thousand butterflies, and on the helper that only checks whether the caller has given
// up (its handler threw), so that the helper stops within a fraction of a millisecond.
struct HelperStopped {};
void StopIfAsked(void* flag) {
    if (static_cast<const std::atomic<bool>*>(flag)->load(std::memory_order_relaxed)) throw HelperStopped{};
}

// Whether the machine has a second core (asked once: the question reads a system file).
bool SecondCore() {
    static const bool second = std::thread::hardware_concurrency() >= 2;
    return second;
}

// Runs task(0) .. task(count - 1), on a helper thread as well as this one when the work
// is large and the machine has a second core. Only this thread runs the user interface's
// message pump (its handler belongs to this thread, and the handler of a window system
// must run on its own thread): also while it waits for the helper's last task, so that a
// cancellation is seen at once. When the pump throws here, the helper is told to stop,
// is joined, and the exception goes on; an exception on the helper never leaves it but
// is handed over and thrown here after the join.
template <class Task>
void RunTasks(int count, bool parallel, Task task) {
    if (!parallel || count < 2 || !CurrentTuning().nttParallel || !SecondCore()) {
        for (int k = 0; k < count; ++k) task(k);
        return;
    }
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    std::exception_ptr helperError;
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool helperDone = false;
    auto helperMain = [&]() noexcept {
        try {
            pump::Scope scope(&StopIfAsked, &stop);
            while (!stop.load(std::memory_order_relaxed)) {
                const int k = next.fetch_add(1);
                if (k >= count) break;
                task(k);
            }
        } catch (const HelperStopped&) {
            // The caller gave up; it rethrows its own exception.
        } catch (...) {
            helperError = std::current_exception();
            stop = true;
        }
        // Neither can throw: the mutex is only ever held for a moment.
        std::lock_guard<std::mutex> lock(doneMutex);
        helperDone = true;
        doneSignal.notify_one();
    };
    std::thread helper;
    try {
        helper = std::thread(helperMain);
    } catch (...) {
        // No thread to be had (std::system_error, or no memory for one): all here.
        for (int k = 0; k < count; ++k) task(k);
        return;
    }
    try {
        while (!stop.load(std::memory_order_relaxed)) {
            const int k = next.fetch_add(1);
            if (k >= count) break;
            task(k);
        }
        // The helper may still be busy with its last task: keep the pump going meanwhile.
        std::unique_lock<std::mutex> lock(doneMutex);
        while (!helperDone) {
            lock.unlock();
            pump::ProcessMessages();
            lock.lock();
            doneSignal.wait_for(lock, std::chrono::milliseconds(1), [&] { return helperDone; });
        }
    } catch (...) {
        stop = true;
        helper.join();
        throw;
    }
    helper.join();
    if (helperError) std::rethrow_exception(helperError);
}

// Transforms of at least this many points use a second core.
constexpr int kParallelLog = 14;

// Constants of Garner's method for the three primes (P0 P1 is below 2^57).
struct GarnerConstants {
    uint32_t p0, p1, p2, pinv1, pinv2;
    uint32_t c1;  // (P0^-1 mod P1) * 2^32 mod P1
    uint32_t c2;  // ((P0 P1)^-1 mod P2) * 2^32 mod P2
    uint32_t c3;  // ((P0 P1)^-1 mod P2) * 2^64 mod P2
};

GarnerConstants MakeGarner() {
    auto powmod = [](uint64_t b, uint64_t e, uint64_t m) {
        uint64_t r = 1;
        b %= m;
        while (e) {
            if (e & 1) r = r * b % m;
            b = b * b % m;
            e >>= 1;
        }
        return r;
    };
    const uint64_t P0 = kPrimes[0].p, P1 = kPrimes[1].p, P2 = kPrimes[2].p;
    const Mod m1(kPrimes[1].p), m2(kPrimes[2].p);
    const uint64_t inv01 = powmod(P0, P1 - 2, P1);
    const uint64_t inv012 = powmod(P0 * P1 % P2, P2 - 2, P2);
    const uint64_t r1 = (uint64_t{1} << 32) % P1, r2 = (uint64_t{1} << 32) % P2;
    GarnerConstants g;
    g.p0 = kPrimes[0].p;
    g.p1 = kPrimes[1].p;
    g.p2 = kPrimes[2].p;
    g.pinv1 = m1.pinv;
    g.pinv2 = m2.pinv;
    g.c1 = static_cast<uint32_t>(inv01 * r1 % P1);
    g.c2 = static_cast<uint32_t>(inv012 * r2 % P2);
    g.c3 = static_cast<uint32_t>(inv012 * r2 % P2 * r2 % P2);
    return g;
}

// For points [0, count): the value modulo P0 P1 (s) and the next mixed-radix digit y2,
// so that the point's value is y2 * P0 P1 + s. Residues are fully reduced.
TABAI_CLONES void GarnerSpan(const uint32_t* __restrict r0, const uint32_t* __restrict r1,
                             const uint32_t* __restrict r2, size_t count, const GarnerConstants& gc,
                             uint64_t* __restrict s, uint32_t* __restrict y2) {
    const GarnerConstants g = gc;
    for (size_t k = 0; k < count; ++k) {
        const uint32_t a0 = r0[k];
        uint32_t t = std::min(a0, a0 - g.p1);  // a0 mod P1 (a0 < P0 < 3 P1)
        t = std::min(t, t - g.p1);
        uint32_t y1 = MontMul(r1[k] + g.p1 - t, g.c1, g.p1, g.pinv1);  // (r1 - a0) / P0 mod P1
        y1 = std::min(y1, y1 - g.p1);
        const uint64_t sv = a0 + static_cast<uint64_t>(g.p0) * y1;
        // s * 2^-32 mod P2 by Montgomery's reduction, then both terms times (P0 P1)^-1.
        const uint32_t m = static_cast<uint32_t>(sv) * g.pinv2;
        const uint32_t sr = static_cast<uint32_t>((sv + static_cast<uint64_t>(m) * g.p2) >> 32);
        const uint32_t a = MontMul(r2[k], g.c2, g.p2, g.pinv2);
        const uint32_t b = MontMul(sr, g.c3, g.p2, g.pinv2);
        uint32_t y = a - b + 2 * g.p2;
        y = std::min(y, y - 2 * g.p2);
        y = std::min(y, y - g.p2);
        s[k] = sv;
        y2[k] = y;
    }
}

// Joins the three residues of each point into the product's limbs, carrying in base 10^8;
// returns the carry out of out[nout - 1] (zero for a whole product).
uint64_t Join(const uint32_t* r0, const uint32_t* r1, const uint32_t* r2, size_t points, Limb* out,
          size_t nout) {
    static const GarnerConstants g = MakeGarner();
    constexpr uint64_t K = uint64_t{kPrimes[0].p} * kPrimes[1].p;
    constexpr uint64_t kD = 100000000;
    constexpr uint64_t Kq = K / kD, Kr = K % kD;
    constexpr size_t kChunk = 2048;
    uint64_t sbuf[kChunk];
    uint32_t ybuf[kChunk];
    uint64_t carry = 0;
    size_t o = 0;
    for (size_t k0 = 0; k0 < points && o < nout; k0 += kChunk) {
        const size_t count = std::min(kChunk, points - k0);
        GarnerSpan(r0 + k0, r1 + k0, r2 + k0, count, g, sbuf, ybuf);
        for (size_t k = 0; k < count && o < nout; ++k) {
            // value = y2 * K + s; add the carry and split off eight digits.
            const uint64_t low = ybuf[k] * Kr + sbuf[k] + carry;
            const uint32_t digits = static_cast<uint32_t>(low % kD);
            carry = ybuf[k] * Kq + low / kD;
            out[o++] = static_cast<Limb>(digits % kBase);
            if (o < nout) out[o++] = static_cast<Limb>(digits / kBase);
        }
        pump::ProcessMessages();
    }
    while (o < nout) {
        out[o++] = static_cast<Limb>(carry % kBase);
        carry /= kBase;
    }
    return carry;
}

int LogFor(size_t points) {
    int log = 0;
    while ((size_t{1} << log) < points) ++log;
    return log;
}

// The smallest transform of 2^k or 3 * 2^k points that holds `points`.
Shape ShapeFor(size_t points) {
    Shape two, three;
    two.log = std::max(LogFor(points), 1);
    three.three = true;
    three.log = std::max(LogFor((points + 2) / 3), 1);
    if (two.log > kMaxLog || three.size() < two.size()) return three;
    return two;
}

// The transforms of Run cut into tasks of equal size for two threads. A transform's
// outermost step (the level of half-size n/2, or the radix-3 step) treats the pairs or
// triples j < L = n/parts independently, so it splits by j; after it the parts are
// independent transforms of L points. The inverse mirrors this: the parts first, the
// outermost step (split by j) last.
void RunSplit(const Limb* a, size_t na, const Limb* b, size_t nb, const Shape& shape, uint32_t* fa,
              uint32_t* fb) {
    const size_t n = shape.size();
    const int parts = shape.three ? 3 : 2;
    const size_t len = n / static_cast<size_t>(parts);
    const int sublog = shape.three ? shape.log : shape.log - 1;
    const int operands = b != nullptr ? 2 : 1;
    // The outermost forward step over j in [j0, j1) of one operand modulo one prime.
    auto top = [&](int op, int prime, size_t j0, size_t j1) {
        uint32_t* buf = (op == 0 ? fa : fb) + static_cast<size_t>(prime) * n;
        const Limb* src = op == 0 ? a : b;
        const size_t nsrc = op == 0 ? na : nb;
        for (int part = 0; part < parts; ++part) LoadRange(src, nsrc, buf, part * len + j0, part * len + j1);
        RootTables& t = Tables(prime);
        const uint32_t p = t.mod().p, pinv = t.mod().pinv;
        for (size_t j = j0; j < j1; j += kPumpEvery) {
            const size_t count = std::min(kPumpEvery, j1 - j);
            if (shape.three) {
                const auto& th = t.EnsureThree(shape.log);
                Forward3Span(buf + j, buf + len + j, buf + 2 * len + j, th.w1.get() + j, th.w2.get() + j, count,
                             th.half, th.h, p, pinv);
            } else {
                ForwardSpan(buf + j, buf + len + j, t.Forward(shape.log - 1) + j, count, p, pinv);
            }
            pump::ProcessMessages();
        }
    };
    const size_t halfLen = len / 2;
    RunTasks(operands * 6, true, [&](int k) {
        const int op = k / 6, prime = k / 2 % 3, half = k % 2;
        top(op, prime, half == 0 ? 0 : halfLen, half == 0 ? halfLen : len);
    });
    RunTasks(operands * 3 * parts, true, [&](int k) {
        const int op = k / (3 * parts), prime = k / parts % 3, part = k % parts;
        uint32_t* buf = (op == 0 ? fa : fb) + static_cast<size_t>(prime) * n;
        Forward(buf + static_cast<size_t>(part) * len, sublog, Tables(prime));
    });
    RunTasks(3 * parts, true, [&](int k) {
        const int prime = k / parts, part = k % parts;
        const size_t off = static_cast<size_t>(prime) * n + static_cast<size_t>(part) * len;
        RootTables& t = Tables(prime);
        PointwiseSpan(fa + off, b != nullptr ? fb + off : nullptr, len, t.mod().p, t.mod().pinv);
        pump::ProcessMessages();
        Inverse(fa + off, sublog, t);
    });
    RunTasks(6, true, [&](int k) {
        const int prime = k / 2, half = k % 2;
        const size_t j0 = half == 0 ? 0 : halfLen, j1 = half == 0 ? halfLen : len;
        uint32_t* buf = fa + static_cast<size_t>(prime) * n;
        RootTables& t = Tables(prime);
        const Mod& md = t.mod();
        uint64_t invN = 1, base = n % md.p;
        for (uint64_t e = md.p - 2; e != 0; e >>= 1) {
            if (e & 1) invN = invN * base % md.p;
            base = base * base % md.p;
        }
        const uint32_t scale = static_cast<uint32_t>(md.r2 * invN % md.p);
        for (size_t j = j0; j < j1; j += kPumpEvery) {
            const size_t count = std::min(kPumpEvery, j1 - j);
            if (shape.three) {
                const auto& th = t.EnsureThree(shape.log);
                Inverse3Span(buf + j, buf + len + j, buf + 2 * len + j, th.iw1.get() + j, th.iw2.get() + j, count,
                             th.half, th.ih, md.p, md.pinv);
            } else {
                InverseSpan(buf + j, buf + len + j, t.Inverse(shape.log - 1) + j, count, md.p, md.pinv);
            }
            for (int part = 0; part < parts; ++part) ScaleSpan(buf + part * len + j, count, scale, md.p, md.pinv);
            pump::ProcessMessages();
        }
    });
}

// out := a * b (a squared when b is null) over na + nb limbs; or, when cyclic,
// out[0..2n) := a * b mod (10^(8n) - 1) for the n points of `cyclic` (na, nb <= 2n).
void Run(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out, const Shape* cyclic = nullptr) {
    const size_t pa = (na + 1) / 2;
    const size_t pb = b != nullptr ? (nb + 1) / 2 : pa;
    size_t points = pa + pb - 1;
    const Shape shape = cyclic != nullptr ? *cyclic : ShapeFor(points);
    const size_t n = shape.size();
    if (cyclic != nullptr) points = n;
    for (int i = 0; i < 3; ++i) {
        if (shape.three) {
            Tables(i).EnsureThree(shape.log);
        } else {
            Tables(i).Ensure(shape.log);
        }
    }
    const bool parallel = n >= (size_t{1} << kParallelLog) && CurrentTuning().nttParallel && SecondCore();
    // The buffers outlive the tasks (RunTasks joins its helper before returning). They
    // are not cleared: loading the points writes every word, padding included.
    std::unique_ptr<uint32_t[]> fa(new uint32_t[3 * n]);
    std::unique_ptr<uint32_t[]> fb(b != nullptr ? new uint32_t[3 * n] : nullptr);
    if (parallel) {
        RunSplit(a, na, b, nb, shape, fa.get(), fb.get());
    } else {
        const int transforms = b != nullptr ? 6 : 3;
        RunTasks(transforms, false, [&](int k) {
            if (k < 3) {
                ForwardOf(k, a, na, shape, fa.get() + k * n);
            } else {
                ForwardOf(k - 3, b, nb, shape, fb.get() + (k - 3) * n);
            }
        });
        for (int k = 0; k < 3; ++k) {
            Finish(k, fa.get() + k * n, b != nullptr ? fb.get() + k * n : nullptr, shape);
        }
    }
    const size_t nout = cyclic != nullptr ? 2 * n : (b != nullptr ? na + nb : 2 * na);
    uint64_t carry = Join(fa.get(), fa.get() + n, fa.get() + 2 * n, points, out, nout);
    // Cyclic: 10^(8n) = 1, so the carry out of the top comes back in at the bottom.
    while (carry != 0) {
        for (size_t i = 0; i < nout && carry != 0; ++i) {
            const uint64_t v = out[i] + carry;
            out[i] = static_cast<Limb>(v % kBase);
            carry = v / kBase;
        }
    }
}

// r := x1 y1 + x2 y2, or x1 y1 - x2 y2 when subtract, pointwise (Montgomery products of
// values below 2p; the result below 2p).
TABAI_CLONES void PairSpan(uint32_t* __restrict r, const uint32_t* __restrict x1, const uint32_t* __restrict y1,
                           const uint32_t* __restrict x2, const uint32_t* __restrict y2, size_t count,
                           bool subtract, uint32_t p, uint32_t pinv) {
    const uint32_t p2 = 2 * p;
    if (subtract) {
        for (size_t k = 0; k < count; ++k) {
            const uint32_t d = MontMul(x1[k], y1[k], p, pinv) - MontMul(x2[k], y2[k], p, pinv) + p2;
            r[k] = std::min(d, d - p2);
        }
    } else {
        for (size_t k = 0; k < count; ++k) {
            const uint32_t v = MontMul(x1[k], y1[k], p, pinv) + MontMul(x2[k], y2[k], p, pinv);
            r[k] = std::min(v, v - p2);
        }
    }
}

}  // namespace

void MulPairs(const SignedSpan* in, size_t nin, const ProductPair* pairs, size_t npairs, std::vector<Limb>* mag,
              bool* neg) {
    // One transform length for all: the longest product's.
    size_t points = 1;
    for (size_t k = 0; k < npairs; ++k) {
        const ProductPair& c = pairs[k];
        points = std::max(points, (in[c.a1].n + 1) / 2 + (in[c.b1].n + 1) / 2 - 1);
        points = std::max(points, (in[c.a2].n + 1) / 2 + (in[c.b2].n + 1) / 2 - 1);
    }
    const Shape shape = ShapeFor(points);
    const size_t n = shape.size();
    for (int i = 0; i < 3; ++i) {
        if (shape.three) {
            Tables(i).EnsureThree(shape.log);
        } else {
            Tables(i).Ensure(shape.log);
        }
    }
    const bool parallel = n >= (size_t{1} << kParallelLog);
    std::unique_ptr<uint32_t[]> ft(new uint32_t[nin * 3 * n]);
    RunTasks(static_cast<int>(nin * 3), parallel, [&](int k) {
        const size_t i = static_cast<size_t>(k) / 3;
        ForwardOf(k % 3, in[i].p, in[i].n, shape, ft.get() + static_cast<size_t>(k) * n);
    });
    // A coefficient of a difference may be negative. A bias C = D (10^8 - 1), larger than
    // any coefficient's size (each below 2 points 10^16), is added to the first `points`
    // coefficients, so that the join sees V = Q + D (10^(8 points) - 1) >= 0 for the
    // difference Q; then Q = V + D - D 10^(8 points).
    const uint64_t d = (2 * static_cast<uint64_t>(points) + 2) * 100000000u;
    std::unique_ptr<uint32_t[]> fr(new uint32_t[npairs * 3 * n]);
    RunTasks(static_cast<int>(npairs * 3), parallel, [&](int k) {
        const ProductPair& c = pairs[static_cast<size_t>(k) / 3];
        const int prime = k % 3;
        RootTables& t = Tables(prime);
        const Mod& md = t.mod();
        auto spectrum = [&](int i) { return ft.get() + (static_cast<size_t>(i) * 3 + prime) * n; };
        const bool s1 = in[c.a1].neg != in[c.b1].neg, s2 = in[c.a2].neg != in[c.b2].neg;
        uint32_t* r = fr.get() + static_cast<size_t>(k) * n;
        for (size_t j = 0; j < n; j += kPumpEvery) {
            const size_t count = std::min(kPumpEvery, n - j);
            PairSpan(r + j, spectrum(c.a1) + j, spectrum(c.b1) + j, spectrum(c.a2) + j, spectrum(c.b2) + j,
                     count, s1 != s2, md.p, md.pinv);
            pump::ProcessMessages();
        }
        InverseAny(r, shape, t);
        uint64_t invN = 1, base = n % md.p;
        for (uint64_t e = md.p - 2; e != 0; e >>= 1) {
            if (e & 1) invN = invN * base % md.p;
            base = base * base % md.p;
        }
        ScaleSpan(r, n, static_cast<uint32_t>(md.r2 * invN % md.p), md.p, md.pinv);
        const uint32_t bias = static_cast<uint32_t>(static_cast<unsigned __int128>(d) * 99999999u % md.p);
        for (size_t j = 0; j < points; ++j) {
            const uint32_t v = r[j] + bias;
            r[j] = std::min(v, v - md.p);
        }
    });
    for (size_t k = 0; k < npairs; ++k) {
        const ProductPair& c = pairs[k];
        const bool s1 = in[c.a1].neg != in[c.b1].neg;
        const uint32_t* r = fr.get() + k * 3 * n;
        // V < 2 D 10^(8 points) with D < 10^16: five limbs above the points' 2 points.
        const size_t low = 2 * points;
        std::vector<Limb>& v = mag[k];
        v.assign(low + 5, 0);
        Join(r, r + n, r + 2 * n, points, v.data(), v.size());
        // W = V + D.
        uint64_t carry = d;
        for (size_t i = 0; i < v.size() && carry != 0; ++i) {
            const uint64_t x = v[i] + carry;
            v[i] = static_cast<Limb>(x % kBase);
            carry = x / kBase;
        }
        uint64_t top = 0;  // W div 10^(8 points), at most 2 D + 1
        for (size_t i = v.size(); i-- > low;) top = top * kBase + v[i];
        bool negative = false;
        if (top >= d) {
            top -= d;  // Q = W - D 10^(8 points) >= 0
        } else {
            // Q < 0: |Q| = (D - top) 10^(8 points) - (W mod 10^(8 points)).
            negative = true;
            top = d - top;
            size_t i = 0;
            while (i < low && v[i] == 0) ++i;
            if (i < low) {
                // 10^(8 points) - low part: the lowest non-zero limb from 10000, the others
                // from 9999, and one less above.
                v[i] = static_cast<Limb>(kBase - v[i]);
                for (++i; i < low; ++i) v[i] = static_cast<Limb>(kBase - 1 - v[i]);
                --top;
            }
        }
        for (size_t i = low; i < v.size(); ++i) {
            v[i] = static_cast<Limb>(top % kBase);
            top /= kBase;
        }
        v.resize(Trim(v.data(), v.size()));
        neg[k] = !v.empty() && (negative != s1);
    }
}

size_t NttMaxProduct() { return 2 * kMaxPoints; }

void RunKernelTasks(int count, bool parallel, const std::function<void(int)>& task) {
    RunTasks(count, parallel, task);
}

void MulNtt(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out) { Run(a, na, b, nb, out); }

void SqrNtt(const Limb* a, size_t n, Limb* out) { Run(a, n, nullptr, 0, out); }

size_t MulNttCyclic(const Limb* a, size_t na, const Limb* b, size_t nb, size_t minLen, Limb* out) {
    const Shape shape = ShapeFor((minLen + 1) / 2);
    Run(a, na, b, nb, out, &shape);
    return 2 * shape.size();
}

size_t NttCyclicLength(size_t minLen) { return 2 * ShapeFor((minLen + 1) / 2).size(); }

}  // namespace tabai_kernels
