// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Quadratic kernels of TSeisu on 64-bit words: four limbs packed per word (base 10^16).
//
// A 64 x 64-bit product does the work of sixteen limb products, and a column of word
// products summed in 128 bits needs no carrying until the column is done: below 10^32 per
// product, a column of up to 2^20 of them stays below 2^127. Packing and unpacking cost a
// pass each, which the quadratic work repays from a few dozen limbs on.
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/pump.h"
#include "engine/tabai_kernels.h"

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define TABAI_MUL52 1
#define TABAI_AVX2 1
#endif

namespace tabai_kernels {

namespace {

constexpr uint64_t kB2 = uint64_t{kBase} * kBase;

// A word array on the stack when small.
using WordBuffer = StackBuffer<uint64_t, 512>;

// Both factors packed into words, followed by room for `extra` result words.
class PackedPair {
public:
    PackedPair(const Limb* a, size_t na, const Limb* b, size_t nb, size_t extra)
        : wa((na + 3) / 4), wb((nb + 3) / 4), buf_(wa + wb + extra) {
        x = buf_.get();
        y = x + wa;
        z = y + wb;
        PackWords(a, na, x);
        PackWords(b, nb, y);
    }

    const size_t wa, wb;                            // words of a and of b
    uint64_t *x = nullptr, *y = nullptr, *z = nullptr;  // a, b, the result's room

private:
    WordBuffer buf_;
};

// Karatsuba's middle operands: s = low half of x plus its high half, t the same for y,
// each h words (a high half shorter than h is padded with zeros).
inline void HalfSums(const uint64_t* x, size_t wx, const uint64_t* y, size_t wy, size_t h, uint64_t* s,
                     uint64_t* t) {
    for (size_t i = 0; i < h; ++i) {
        s[i] = x[i] + (h + i < wx ? x[h + i] : 0);
        t[i] = y[i] + (h + i < wy ? y[h + i] : 0);
    }
}

// Calls the pump `total` times spread evenly over `steps` calls of Tick.
class PumpSpread {
public:
    PumpSpread(size_t total, size_t steps) : total_(total), steps_(steps) {}
    void Tick() {
        for (owed_ += total_; owed_ >= steps_; owed_ -= steps_) pump::ProcessMessages();
    }

private:
    size_t total_, steps_, owed_ = 0;
};

}  // namespace

size_t PackWords(const Limb* a, size_t n, uint64_t* w) {
    const size_t full = n / 4;
    for (size_t i = 0; i < full; ++i) {
        const Limb* p = a + 4 * i;
        w[i] = (p[0] + uint64_t{kBase} * p[1]) + kB2 * (p[2] + uint64_t{kBase} * p[3]);
    }
    if (n % 4 == 0) return full;
    uint64_t v = 0;
    for (size_t j = n; j-- > 4 * full;) v = v * kBase + a[j];
    w[full] = v;
    return full + 1;
}

void UnpackWords(const uint64_t* w, size_t nw, Limb* a, size_t n) {
    const size_t full = std::min(nw, n / 4);
    for (size_t i = 0; i < full; ++i) {
        const uint64_t hi = w[i] / kB2, lo = w[i] % kB2;
        Limb* p = a + 4 * i;
        p[0] = static_cast<Limb>(lo % kBase);
        p[1] = static_cast<Limb>(lo / kBase);
        p[2] = static_cast<Limb>(hi % kBase);
        p[3] = static_cast<Limb>(hi / kBase);
    }
    uint64_t rest = 0;
    for (size_t j = 4 * full; j < n; ++j, rest /= kBase) {
        if (j % 4 == 0 && j / 4 < nw) rest = w[j / 4];
        a[j] = static_cast<Limb>(rest % kBase);
    }
}

void MulWords(const uint64_t* a, size_t na, const uint64_t* b, size_t nb, uint64_t* out, size_t pumps) {
    const unsigned __int128 carry = MulWordsColumns(a, na, b, nb, 0, na + nb - 1, out, pumps);
    out[na + nb - 1] = static_cast<uint64_t>(carry);
}

namespace {

// The sum of a[i] * b[k - i] for lo <= i < hi: one column of a product of words. Four
// sums break the chain of dependent additions.
[[gnu::always_inline]] inline unsigned __int128 ColumnSum(const uint64_t* a, const uint64_t* b, size_t lo,
                                                          size_t hi, size_t k) {
    unsigned __int128 s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    size_t i = lo;
    for (; i + 3 < hi; i += 4) {
        s0 += static_cast<unsigned __int128>(a[i]) * b[k - i];
        s1 += static_cast<unsigned __int128>(a[i + 1]) * b[k - i - 1];
        s2 += static_cast<unsigned __int128>(a[i + 2]) * b[k - i - 2];
        s3 += static_cast<unsigned __int128>(a[i + 3]) * b[k - i - 3];
    }
    for (; i < hi; ++i) s0 += static_cast<unsigned __int128>(a[i]) * b[k - i];
    return (s0 + s1) + (s2 + s3);
}

}  // namespace

unsigned __int128 MulWordsColumns(const uint64_t* a, size_t na, const uint64_t* b, size_t nb, size_t from,
                                  size_t to, uint64_t* out, size_t pumps) {
    // A short factor times a very long one asks for few calls: then at least one every
    // 2^14 columns (well under a millisecond).
    PumpSpread pump(std::max(pumps, (to - from) >> 14), to - from);
    unsigned __int128 carry = 0;
    out -= from;
    for (size_t k = from; k < to; ++k) {
        const size_t lo = k + 1 > nb ? k + 1 - nb : 0, hi = std::min(k + 1, na);
        // The carry joins last, so that the column's products need not wait for the
        // previous column's division.
        carry = DivModWord(ColumnSum(a, b, lo, hi, k) + carry, out[k]);
        pump.Tick();
    }
    return carry;
}

void SqrWords(const uint64_t* a, size_t n, uint64_t* out, size_t pumps) {
    PumpSpread pump(pumps, 2 * n - 1);
    unsigned __int128 carry = 0;
    for (size_t k = 0; k + 1 < 2 * n; ++k) {
        // Products a[i] a[k-i] with i < k - i once, doubled, and the square in the middle.
        const size_t lo = k + 1 > n ? k + 1 - n : 0, mid = (k + 1) / 2;
        unsigned __int128 s0 = 0, s1 = 0;
        size_t i = lo;
        for (; i + 1 < mid; i += 2) {
            s0 += static_cast<unsigned __int128>(a[i]) * a[k - i];
            s1 += static_cast<unsigned __int128>(a[i + 1]) * a[k - i - 1];
        }
        if (i < mid) s0 += static_cast<unsigned __int128>(a[i]) * a[k - i];
        unsigned __int128 s = 2 * (s0 + s1) + carry;
        if (k % 2 == 0) s += static_cast<unsigned __int128>(a[k / 2]) * a[k / 2];
        carry = DivModWord(s, out[k]);
        pump.Tick();
    }
    out[2 * n - 1] = static_cast<uint64_t>(carry);
}

// Products on words of 12 digits (three limbs, below 2^40) by the processor's 52-bit
// multiply-add vectors (AVX-512 IFMA): one instruction adds the low 52 bits of eight word
// products to eight 64-bit sums, another the high bits, so a column's low sums stay exact
// for up to 2^11 products (below 2^63) and its high sums far below. Eight columns lie in
// one vector (lane l holds column k0 + l: a[i] times b[k0 + l - i], a contiguous load of
// b, which is padded with zeros so that no lane needs a test); two vectors a pass over a,
// two rows at a time, keep eight sums in flight (passes of 16 columns waste fewer lanes
// at the corners of the product than passes of 32). Each column's value lo + hi 2^52 (below 2^91) is divided by
// 10^12 on its own (in vectors too), not on a chain of carries; the quotients (two words
// of 10^12) are then added in with a carry of at most 2, in vectors as well.
namespace {

constexpr uint64_t kW12 = 1000000000000ull;
constexpr size_t kMul52MaxWords = size_t{1} << 11;
constexpr size_t kLanes = 16;  // columns a pass: two vectors of eight
constexpr size_t kPad = kLanes;

#ifdef TABAI_MUL52
// GCC 12's own headers leave a lane "uninitialised" on purpose in these intrinsics.
#pragma GCC diagnostic push
#if !defined(__clang__)  // a GCC warning clang does not know
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
// lo[k], hi[k] := the sums of the low and high 52 bits of a[i] b[k - i], for k < cols
// (a multiple of kLanes); bp holds b with kPad zero words on either side. kSquare (b is
// a): only the products with i < k - i, each once (masked off in the lanes where the
// column is not past 2i).
template <bool kSquare>
__attribute__((target("avx512f,avx512ifma"))) void Columns52(const uint64_t* a, size_t na, const uint64_t* bp,
                                                            size_t nb, size_t cols, uint64_t* lo, uint64_t* hi,
                                                            PumpSpread& pump) {
    constexpr size_t kVectors = kLanes / 8;
    for (size_t k0 = 0; k0 < cols; k0 += kLanes) {
        __m512i l[kVectors], h[kVectors];
        for (size_t v = 0; v < kVectors; ++v) l[v] = h[v] = _mm512_setzero_si512();
        const size_t from = k0 + 1 > nb ? k0 + 1 - nb : 0;
        const size_t to = std::min(na, kSquare ? (k0 + kLanes) / 2 : k0 + kLanes);
        // Squares: every lane takes the product while 2i < k0 (unmasked, the bulk).
        const size_t whole = kSquare ? std::max(from, std::min(to, (k0 + 1) / 2)) : to;
        // Two rows at a time into sums of their own: eight chains of multiply-adds in
        // flight, as their latency needs.
        size_t i = from;
        if (i + 1 < whole) {
            __m512i l2[kVectors], h2[kVectors];
            for (size_t v = 0; v < kVectors; ++v) l2[v] = h2[v] = _mm512_setzero_si512();
            for (; i + 1 < whole; i += 2) {
                const __m512i x = _mm512_set1_epi64(static_cast<long long>(a[i]));
                const __m512i x2 = _mm512_set1_epi64(static_cast<long long>(a[i + 1]));
                const uint64_t* y = bp + kPad + k0 - i;
                for (size_t v = 0; v < kVectors; ++v) {
                    __m512i yv = _mm512_loadu_si512(y + 8 * v), yv2 = _mm512_loadu_si512(y + 8 * v - 1);
                    // One load each for both multiply-adds: the compiler would fold it into
                    // both, and unaligned loads (most of them cross a cache line) bound the loop.
                    asm("" : "+v"(yv), "+v"(yv2));
                    l[v] = _mm512_madd52lo_epu64(l[v], x, yv);
                    h[v] = _mm512_madd52hi_epu64(h[v], x, yv);
                    l2[v] = _mm512_madd52lo_epu64(l2[v], x2, yv2);
                    h2[v] = _mm512_madd52hi_epu64(h2[v], x2, yv2);
                }
            }
            for (size_t v = 0; v < kVectors; ++v) {
                l[v] = _mm512_add_epi64(l[v], l2[v]);
                h[v] = _mm512_add_epi64(h[v], h2[v]);
            }
        }
        for (; i < whole; ++i) {
            const __m512i x = _mm512_set1_epi64(static_cast<long long>(a[i]));
            const uint64_t* y = bp + kPad + k0 - i;
            for (size_t v = 0; v < kVectors; ++v) {
                const __m512i yv = _mm512_loadu_si512(y + 8 * v);
                l[v] = _mm512_madd52lo_epu64(l[v], x, yv);
                h[v] = _mm512_madd52hi_epu64(h[v], x, yv);
            }
        }
        for (; i < to; ++i) {
            const __m512i x = _mm512_set1_epi64(static_cast<long long>(a[i]));
            const uint64_t* y = bp + kPad + k0 - i;
            // Lane j (column k0 + j) takes the product when 2i < k0 + j.
            const uint32_t m = ~0u << (2 * i - k0 + 1);
            for (size_t v = 0; v < kVectors; ++v) {
                const __m512i yv = _mm512_loadu_si512(y + 8 * v);
                const auto mv = static_cast<__mmask8>(m >> (8 * v));
                l[v] = _mm512_mask_madd52lo_epu64(l[v], mv, x, yv);
                h[v] = _mm512_mask_madd52hi_epu64(h[v], mv, x, yv);
            }
        }
        for (size_t v = 0; v < kVectors; ++v) {
            _mm512_storeu_si512(lo + k0 + 8 * v, l[v]);
            _mm512_storeu_si512(hi + k0 + 8 * v, h[v]);
        }
        pump.Tick();
    }
}

// x := x - q W for an estimate q of x / W at most one off, then both corrected.
__attribute__((target("avx512f,avx512dq"), always_inline)) inline void Reduce52(__m512i& x, __m512i& q) {
    const __m512i w = _mm512_set1_epi64(static_cast<long long>(kW12)), one = _mm512_set1_epi64(1);
    x = _mm512_sub_epi64(x, _mm512_mullo_epi64(q, w));
    const __mmask8 under = _mm512_cmplt_epi64_mask(x, _mm512_setzero_si512());
    x = _mm512_mask_add_epi64(x, under, x, w);
    q = _mm512_mask_sub_epi64(q, under, q, one);
    const __mmask8 over = _mm512_cmpge_epi64_mask(x, w);
    x = _mm512_mask_sub_epi64(x, over, x, w);
    q = _mm512_mask_add_epi64(q, over, q, one);
}

// w[0..nw) := the limbs a[0..n) as words of 12 digits (zero beyond n), eight words an
// iteration: 24 limbs spread into four 16-bit lanes of each word (the fourth zero), one
// 16-bit multiply-add makes p0 + 10^4 p1 and p2 in 32-bit halves, a 32-bit product joins them.
__attribute__((target("avx512f,avx512bw"))) void PackWords12Vec(const Limb* a, size_t n, uint64_t* w, size_t nw) {
    alignas(64) static constexpr uint16_t kSpread[32] = {0,  1,  2,  0, 3,  4,  5,  0, 6,  7,  8,  0, 9,  10, 11, 0,
                                                         12, 13, 14, 0, 15, 16, 17, 0, 18, 19, 20, 0, 21, 22, 23, 0};
    const __m512i spread = _mm512_load_si512(kSpread);
    const __m512i join = _mm512_set1_epi64(static_cast<long long>(1 | (uint64_t{kBase} << 16) | (uint64_t{1} << 32)));
    const __m512i low32 = _mm512_set1_epi64(0xffffffffll), b2 = _mm512_set1_epi64(static_cast<long long>(kB2));
    for (size_t k = 0; k < nw; k += 8) {
        const size_t limbs = 3 * k < n ? std::min<size_t>(24, n - 3 * k) : 0;
        const __m512i raw = _mm512_maskz_loadu_epi16(static_cast<__mmask32>((uint64_t{1} << limbs) - 1), a + 3 * k);
        const __m512i lanes = _mm512_maskz_permutexvar_epi16(0x77777777u, spread, raw);
        const __m512i halves = _mm512_madd_epi16(lanes, join);
        const __m512i word = _mm512_add_epi64(_mm512_and_si512(halves, low32),
                                              _mm512_mul_epu32(_mm512_srli_epi64(halves, 32), b2));
        _mm512_mask_storeu_epi64(w + k, static_cast<__mmask8>(nw - k >= 8 ? 0xff : (1u << (nw - k)) - 1), word);
    }
}

// out[0..n) := the product whose column sums Columns52 left in lo, hi (cols of them, a
// multiple of 8; the product fits their words of 10^12), all in vectors: each column's value
// split as r + q0 W + q1 W^2 (W = 10^12; quotients estimated in doubles, at most one off,
// and corrected on the exact remainders), word k := r[k] + q0[k-1] +
// q1[k-2] (below 3 W) reduced below W, its quotient (at most 2) added to the word above,
// and the carries of one that this leaves (a word at W - 1 passing one on) found for eight
// words at once with mask arithmetic; then each word's three limbs by multiply-highs and
// sixteen-bit lanes, stored 24 at a time. kSquare: the sums are those off the diagonal,
// doubled here, and the squares of the words x[0..) join the even columns.
template <bool kSquare>
__attribute__((target("avx512f,avx512dq,avx512bw,avx512ifma"))) void FinishVec52(const uint64_t* lo,
                                                                                 const uint64_t* hi, size_t cols,
                                                                                 const uint64_t* x, Limb* out,
                                                                                 size_t n) {
    alignas(64) static constexpr uint16_t kGather[32] = {0,  1,  2,  4,  5,  6,  8,  9,  10, 12, 13,
                                                         14, 16, 17, 18, 20, 21, 22, 24, 25, 26, 28,
                                                         29, 30, 0,  0,  0,  0,  0,  0,  0,  0};
    const __m512i gather = _mm512_load_si512(kGather);
    const __m512i low52 = _mm512_set1_epi64((1ll << 52) - 1);
    const __m512i w = _mm512_set1_epi64(static_cast<long long>(kW12)), wm1 = _mm512_set1_epi64(kW12 - 1);
    const __m512i one = _mm512_set1_epi64(1), base = _mm512_set1_epi64(kBase);
    // floor(v / 10^4) = floor(v M / 2^65) for v < 2^40, M = ceil(2^65 / 10^4) < 2^52.
    const __m512i magic = _mm512_set1_epi64(static_cast<long long>(((unsigned __int128)1 << 65) / kBase + 1));
    const __m512d two52 = _mm512_set1_pd(0x1p52), inv = _mm512_set1_pd(1.0 / static_cast<double>(kW12));
    const __m512i dup = _mm512_set_epi64(3, 3, 2, 2, 1, 1, 0, 0);
    __m512i prevQ0 = _mm512_setzero_si512(), prevQ1 = prevQ0, prevD = prevQ0;
    uint32_t carry = 0;  // into the next vector's first word
    for (size_t k = 0; k < cols && 3 * k < n; k += 8) {
        __m512i l = _mm512_loadu_si512(lo + k), h = _mm512_loadu_si512(hi + k);
        if constexpr (kSquare) {
            // Off the diagonal twice (below 2^63 for n <= 2^11 words), then x[k/2 + j]^2 in
            // column k + 2j.
            const __m512i xx = _mm512_permutexvar_epi64(dup, _mm512_castsi256_si512(_mm256_loadu_si256(
                                                                 reinterpret_cast<const __m256i*>(x + k / 2))));
            l = _mm512_mask_madd52lo_epu64(_mm512_add_epi64(l, l), 0x55, xx, xx);
            h = _mm512_mask_madd52hi_epu64(_mm512_add_epi64(h, h), 0x55, xx, xx);
        }
        h = _mm512_add_epi64(h, _mm512_srli_epi64(l, 52));
        l = _mm512_and_si512(l, low52);
        const __m512d v = _mm512_fmadd_pd(_mm512_cvtepu64_pd(h), two52, _mm512_cvtepu64_pd(l));
        __m512i q0 = _mm512_cvttpd_epu64(_mm512_mul_pd(v, inv));
        __m512i r = _mm512_add_epi64(l, _mm512_slli_epi64(h, 52));
        Reduce52(r, q0);
        __m512i q1 = _mm512_cvttpd_epu64(_mm512_mul_pd(_mm512_cvtepu64_pd(q0), inv));
        Reduce52(q0, q1);
        // u := r + q0 one word down + q1 two words down, below 3 W; then d := u div W.
        __m512i u = _mm512_add_epi64(r, _mm512_add_epi64(_mm512_alignr_epi64(q0, prevQ0, 7),
                                                         _mm512_alignr_epi64(q1, prevQ1, 6)));
        prevQ0 = q0;
        prevQ1 = q1;
        const __mmask8 ge1 = _mm512_cmpge_epu64_mask(u, w);
        u = _mm512_mask_sub_epi64(u, ge1, u, w);
        const __mmask8 ge2 = _mm512_cmpge_epu64_mask(u, w);
        u = _mm512_mask_sub_epi64(u, ge2, u, w);
        const __m512i d = _mm512_add_epi64(_mm512_maskz_mov_epi64(ge1, one), _mm512_maskz_mov_epi64(ge2, one));
        u = _mm512_add_epi64(u, _mm512_alignr_epi64(d, prevD, 7));  // below W + 2
        prevD = d;
        // Words at W or more pass one on (g), words at W - 1 pass on what they receive (p):
        // the words receiving one are (p + i) ^ p for i the generated carries moved up a word.
        const uint32_t g = _mm512_cmpge_epu64_mask(u, w), p = _mm512_cmpeq_epu64_mask(u, wm1);
        const uint32_t in = ((g << 1) | carry) & 0xff, sum = p + in;
        const __mmask8 gets = static_cast<__mmask8>(sum ^ p);
        carry = ((sum >> 8) | (g >> 7)) & 1;
        u = _mm512_mask_add_epi64(u, gets, u, one);
        u = _mm512_mask_sub_epi64(u, _mm512_cmpge_epu64_mask(u, w), u, w);
        // Three limbs a word: u = r0 + 10^4 (r1 + 10^4 r2).
        const __m512i t = _mm512_srli_epi64(_mm512_madd52hi_epu64(_mm512_setzero_si512(), u, magic), 13);
        const __m512i r2 = _mm512_srli_epi64(_mm512_madd52hi_epu64(_mm512_setzero_si512(), t, magic), 13);
        const __m512i r0 = _mm512_sub_epi64(u, _mm512_mul_epu32(t, base));
        const __m512i r1 = _mm512_sub_epi64(t, _mm512_mul_epu32(r2, base));
        const __m512i lanes =
            _mm512_or_si512(_mm512_or_si512(r0, _mm512_slli_epi64(r1, 16)), _mm512_slli_epi64(r2, 32));
        const size_t limbs = std::min<size_t>(24, n - 3 * k);
        _mm512_mask_storeu_epi16(out + 3 * k, static_cast<__mmask32>((uint64_t{1} << limbs) - 1),
                                 _mm512_permutexvar_epi16(gather, lanes));
    }
}
#pragma GCC diagnostic pop
#endif

}  // namespace

bool HasMul52() {
#ifdef TABAI_MUL52
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
               __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512ifma");
    }();
    return has;
#else
    return false;
#endif
}

#ifdef TABAI_MUL52
namespace {

// Room for a factor padded with kPad zero words either side and the columns of a product
// of `words` words: cols (a multiple of kLanes, past the top word) of lo and hi.
class Buffers52 {
public:
    Buffers52(size_t padded, size_t words)
        : cols((words + kLanes - 1) / kLanes * kLanes), buf_(padded + 2 * cols) {
        lo = buf_.get() + padded;
        hi = lo + cols;
    }
    // w[0..n) := the limbs packed into words of 10^12 with kPad zeros either side; returns
    // the first word.
    uint64_t* Pad(uint64_t* w, const Limb* a, size_t n) {
        const size_t nw = (n + 2) / 3;
        std::fill(w, w + kPad, uint64_t{0});
        PackWords12Vec(a, n, w + kPad, nw);
        std::fill(w + kPad + nw, w + nw + 2 * kPad, uint64_t{0});
        return w + kPad;
    }
    uint64_t* words() { return buf_.get(); }

    const size_t cols;
    uint64_t *lo, *hi;

private:
    StackBuffer<uint64_t, 2048> buf_;
};


constexpr size_t RoundToLanes(size_t n) { return (n + kLanes - 1) / kLanes * kLanes; }

// lo[k] := lo[k] mod 2^52, hi[k] += lo[k] div 2^52 (signed: a column's parts may be
// negative after Karatsuba's subtraction, its value never is), k < n.
__attribute__((target("avx512f"))) void NormalizeColumns(uint64_t* lo, uint64_t* hi, size_t n) {
    for (size_t k = 0; k < n; ++k) {
        const auto l = static_cast<int64_t>(lo[k]);
        hi[k] = static_cast<uint64_t>(static_cast<int64_t>(hi[k]) + (l >> 52));
        lo[k] = static_cast<uint64_t>(l) & ((uint64_t{1} << 52) - 1);
    }
}

// The middle of Karatsuba's sum: m := p1 - p0 - p2 (n columns), then out[h + j] += m[j]
// for h + j < cols, out[j] = p0[j] and out[2h + j] += p2[j] having been set.
__attribute__((target("avx512f"))) void CombineColumns(uint64_t* __restrict out, const uint64_t* __restrict p0,
                                                      const uint64_t* __restrict p1,
                                                      const uint64_t* __restrict p2, size_t n, size_t h,
                                                      size_t n2, size_t cols) {
    std::fill(out, out + cols, uint64_t{0});
    std::copy(p0, p0 + std::min(n, cols), out);
    for (size_t j = 0; j < n2 && 2 * h + j < cols; ++j) out[2 * h + j] += p2[j];
    const size_t mid = h < cols ? std::min(n, cols - h) : 0;
    for (size_t j = 0; j < mid; ++j) out[h + j] += p1[j] - p0[j] - p2[j];
}

// lo[0..cols), hi: the column sums of x[0..wx) * y[0..wy) (words below 2^51), value lo +
// hi 2^52 with lo below 2^52, zero past the product; cols a multiple of kLanes, at least
// wx + wy - 1. Karatsuba on the columns themselves while both factors have `from` words
// or more: the three half-size products' columns are combined before any carrying, so a
// level costs a few passes over the columns and no normalising of numbers. The words of
// x0 + x1 are not carried either (below 2^41 a level deeper: far inside the 52 bits).
void ColumnsKaratsuba52(const uint64_t* x, size_t wx, const uint64_t* y, size_t wy, uint64_t* lo, uint64_t* hi,
                        size_t cols, size_t from) {
    const size_t h = (std::max(wx, wy) + 1) / 2;
    if (std::min(wx, wy) < std::max(from, h + 1)) {
        // Columns52 reads the second factor through zero padding.
        std::vector<uint64_t> yp(wy + 2 * kPad, 0);
        std::copy(y, y + wy, yp.begin() + kPad);
        const size_t own = RoundToLanes(wx + wy - 1);
        PumpSpread pump(3 * wy, own / kLanes);
        Columns52<false>(x, wx, yp.data(), wy, own, lo, hi, pump);
        std::fill(lo + own, lo + cols, uint64_t{0});
        std::fill(hi + own, hi + cols, uint64_t{0});
        NormalizeColumns(lo, hi, own);
        return;
    }
    const size_t n = 2 * h - 1, n2 = wx + wy - 2 * h - 1, c = RoundToLanes(n);
    std::vector<uint64_t> buf(6 * c + 2 * h);
    uint64_t *lo0 = buf.data(), *hi0 = lo0 + c, *lo1 = hi0 + c, *hi1 = lo1 + c, *lo2 = hi1 + c, *hi2 = lo2 + c;
    uint64_t *s = hi2 + c, *t = s + h;
    HalfSums(x, wx, y, wy, h, s, t);
    ColumnsKaratsuba52(x, h, y, h, lo0, hi0, c, from);
    ColumnsKaratsuba52(x + h, wx - h, y + h, wy - h, lo2, hi2, c, from);
    ColumnsKaratsuba52(s, h, t, h, lo1, hi1, c, from);
    CombineColumns(lo, lo0, lo1, lo2, n, h, n2, cols);
    CombineColumns(hi, hi0, hi1, hi2, n, h, n2, cols);
    NormalizeColumns(lo, hi, cols);
}

}  // namespace
#endif

void MulBasecase52(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out) {
#ifdef TABAI_MUL52
    const size_t wa = (na + 2) / 3, wb = (nb + 2) / 3;
    Buffers52 m(wa + wb + 2 * kPad, wa + wb);
    uint64_t* x = m.words();
    PackWords12Vec(a, na, x, wa);
    const uint64_t* y = m.Pad(x + wa, b, nb);
    // As MulWordsColumns: at least once every 2^14 columns for a long factor times a short one.
    const size_t from = (CurrentTuning().karatsuba52 + 2) / 3;
    if (std::min(wa, wb) >= from && 2 * std::min(wa, wb) > std::max(wa, wb)) {
        ColumnsKaratsuba52(x, wa, y, wb, m.lo, m.hi, m.cols, from);
    } else {
        PumpSpread pump(std::max(nb, m.cols >> 14), m.cols / kLanes);
        Columns52<false>(x, wa, y - kPad, wb, m.cols, m.lo, m.hi, pump);
    }
    FinishVec52<false>(m.lo, m.hi, m.cols, nullptr, out, na + nb);
#else
    MulSchool(a, na, b, nb, out);
#endif
}

void SqrBasecase52(const Limb* a, size_t n, Limb* out) {
#ifdef TABAI_MUL52
    const size_t w = (n + 2) / 3;
    Buffers52 m(w + 2 * kPad, 2 * w);
    const uint64_t* x = m.Pad(m.words(), a, n);
    PumpSpread pump(n, m.cols / kLanes);
    Columns52<true>(x, w, x - kPad, w, m.cols, m.lo, m.hi, pump);
    FinishVec52<true>(m.lo, m.hi, m.cols, x, out, 2 * n);
#else
    SqrSchool(a, n, out);
#endif
}

// Products on words of 8 digits (two limbs, below 2^27) by AVX2's widening multiplication:
// one instruction makes four 32 x 32-bit word products in 64-bit lanes, the machine
// without the 52-bit multiply-adds. A product is below 10^16, so a column's sum of up to
// kAvx2MaxLimbs / 2 of them stays below 2^64 and needs no carrying until the column is done.
// As Columns52: lane l of a pass holds column k0 + l (a[i] times b[k0 + l - i], a
// contiguous load of b, padded with zeros so that no lane needs a test), four vectors a
// pass; the shorter factor is the one broadcast, so a pass takes exactly its rows.
namespace {

constexpr uint64_t kW8 = uint64_t{kBase} * kBase;
constexpr size_t kLanes8 = 16;          // columns a pass: four vectors of four
constexpr size_t kPad8 = kLanes8;

constexpr size_t RoundToLanes8(size_t n) { return (n + kLanes8 - 1) / kLanes8 * kLanes8; }

#ifdef TABAI_AVX2
// w[0..nw) := the limbs a[0..n) in pairs (base 10^8), zero beyond them.
void PackWords8(const Limb* a, size_t n, uint64_t* w, size_t nw) {
    for (size_t i = 0; i < n / 2; ++i) w[i] = a[2 * i] + uint64_t{kBase} * a[2 * i + 1];
    if (n % 2 != 0) w[n / 2] = a[n - 1];
    std::fill(w + (n + 1) / 2, w + nw, uint64_t{0});
}

__attribute__((target("avx2"), always_inline)) inline __m256i Load4(const uint64_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// v's column sums (four in 64-bit lanes) split into digits of 10^8 taken to the nearest,
// v = a + b 10^8 + c 10^16 with |a|, |b| <= 10^8 / 2 + 10^4 and c below 1845, each in its
// lane's low 32 bits (two's complement; the high halves are left as they fall). The
// quotients come from v's double, within 2^11 of v; only their low 32 bits meet 10^8.
__attribute__((target("avx2"), always_inline)) inline void Split8(__m256i v, __m256i& a, __m256i& b, __m256i& c) {
    // 2^52 and 2^84 as doubles: an integer below 2^52 or'ed into the low bits of 2^52
    // reads as 2^52 + the integer, and one below 2^32 into 2^84's as 2^84 + 2^32 times it;
    // an integral double below 2^52 added to 2^52 leaves the integer in the low bits.
    const __m256d magic52 = _mm256_set1_pd(4503599627370496.0);
    const __m256d magic84 = _mm256_set1_pd(19342813113834066795298816.0);
    const __m256d both = _mm256_set1_pd(19342813118337666422669312.0);  // 2^84 + 2^52
    const __m256i w = _mm256_set1_epi64x(static_cast<long long>(kW8));
    const __m256d hi =
        _mm256_castsi256_pd(_mm256_or_si256(_mm256_srli_epi64(v, 32), _mm256_castpd_si256(magic84)));
    const __m256d lo = _mm256_castsi256_pd(
        _mm256_or_si256(_mm256_and_si256(v, _mm256_set1_epi64x(0xffffffffll)), _mm256_castpd_si256(magic52)));
    const __m256d d = _mm256_add_pd(_mm256_sub_pd(hi, both), lo);
    const __m256d inv = _mm256_set1_pd(1e-8);
    const __m256d qd = _mm256_round_pd(_mm256_mul_pd(d, inv), _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    const __m256d cd = _mm256_round_pd(_mm256_mul_pd(qd, inv), _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    const __m256i q = _mm256_castpd_si256(_mm256_add_pd(qd, magic52));
    c = _mm256_castpd_si256(_mm256_add_pd(cd, magic52));
    a = _mm256_sub_epi64(v, _mm256_mul_epu32(q, w));
    b = _mm256_sub_epi64(q, _mm256_mul_epu32(c, w));
}

// [p3 c0 c1 c2]: the 64-bit lanes of c one column up, p's top lane below them.
__attribute__((target("avx2"), always_inline)) inline __m256i Up1(__m256i p, __m256i c) {
    return _mm256_alignr_epi8(c, _mm256_permute2x128_si256(p, c, 0x21), 8);
}

// The same for eight 32-bit lanes.
__attribute__((target("avx2"), always_inline)) inline __m256i Up1x32(__m256i p, __m256i c) {
    return _mm256_alignr_epi8(c, _mm256_permute2x128_si256(p, c, 0x21), 12);
}

// The low 32 bits of the 64-bit lanes of x and then of y, in order.
__attribute__((target("avx2"), always_inline)) inline __m256i Low32(__m256i x, __m256i y) {
    const __m256 mixed = _mm256_shuffle_ps(_mm256_castsi256_ps(x), _mm256_castsi256_ps(y), 0x88);
    return _mm256_permute4x64_epi64(_mm256_castps_si256(mixed), 0xd8);
}

// The first pass of Finish8 (below), eight columns a step: the column sums of columns
// k..k+7 (v0, v1: four each) into words within 10^8 / 2 + 1 of zero at words[k..k+8),
// what moves up from them kept for the next step. kSquare: the sums are those off the
// diagonal, doubled here, with the squares of x[k/2..k/2 + 4) added to the even columns.
template <bool kSquare>
class Words8 {
public:
    __attribute__((target("avx2"), always_inline)) inline void Step(__m256i v0, __m256i v1, const uint64_t* x,
                                                                     size_t k, int32_t* words) {
        const __m256i w = _mm256_set1_epi32(static_cast<int>(kW8));
        const __m256i half = _mm256_set1_epi32(static_cast<int>(kW8 / 2));
        const __m256i minusHalf = _mm256_set1_epi32(-static_cast<int>(kW8 / 2));
        __m256i u2[2];
        for (int j = 0; j < 2; ++j) {
            __m256i v = j == 0 ? v0 : v1;
            if constexpr (kSquare) {
                // x[k/2 + 2j] and the next word in lanes 0 and 2, squared into the even columns.
                const __m256i d =
                    _mm256_cvtepu32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x + k / 2 + 2 * j)));
                v = _mm256_add_epi64(_mm256_add_epi64(v, v), _mm256_mul_epu32(d, d));
            }
            __m256i a, b, c;
            Split8(v, a, b, c);
            // b one column down, c two.
            u2[j] = _mm256_add_epi64(a, _mm256_add_epi64(Up1(prevB_, b), _mm256_permute2x128_si256(prevC_, c, 0x21)));
            prevB_ = b;
            prevC_ = c;
        }
        __m256i u = Low32(u2[0], u2[1]);
        // e := u / 10^8 to the nearest (-1, 0 or 1), u -= e 10^8, u += e one column down.
        const __m256i up = _mm256_cmpgt_epi32(u, half), down = _mm256_cmpgt_epi32(minusHalf, u);
        u = _mm256_add_epi32(_mm256_sub_epi32(u, _mm256_and_si256(up, w)), _mm256_and_si256(down, w));
        const __m256i e = _mm256_sub_epi32(down, up);
        u = _mm256_add_epi32(u, Up1x32(prevE_, e));  // within 10^8 / 2 + 1
        prevE_ = e;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(words + k), u);
    }

private:
    __m256i prevB_{}, prevC_{}, prevE_{};  // zero
};

// Sixteen rows of a pass from row i0 whose lanes meet y's zero padding: past y's end
// (kLow false: row i0 + r reaches y in the lanes j <= r, i0 = k0 + 1 - ny) or before its
// start (kLow: i0 = k0, row k0 + r in the lanes j >= r). The vectors that would multiply
// only padding are left out: a quarter of these rows' work, in every pass of a product
// whose factors are both longer than a pass.
template <bool kLow>
__attribute__((target("avx2"), always_inline)) inline void EdgeRows8(const uint64_t* x, const uint64_t* yp, size_t k0,
                                                                     size_t i0, __m256i& s0, __m256i& s1, __m256i& s2,
                                                                     __m256i& s3) {
    __m256i sv[4] = {s0, s1, s2, s3};
#pragma GCC unroll 16
    for (int r = 0; r < 16; ++r) {
        const __m256i v = _mm256_set1_epi64x(static_cast<long long>(x[i0 + r]));
        const uint64_t* y = yp + kPad8 + k0 - i0 - r;
#pragma GCC unroll 4
        for (int q = kLow ? r / 4 : 0; q <= (kLow ? 3 : r / 4); ++q) {
            sv[q] = _mm256_add_epi64(sv[q], _mm256_mul_epu32(v, Load4(y + 4 * q)));
        }
    }
    s0 = sv[0];
    s1 = sv[1];
    s2 = sv[2];
    s3 = sv[3];
}

// sums[k - start] := the sum of x[i] y[k - i] for start <= k < start + cols (cols a
// multiple of kLanes8); yp holds y with kPad8 zero words on either side. kSquare (y is
// x, start even): only the products with i < k - i, each once (masked off in the lanes
// where the column is not past 2i).
// kWords (start 0): each pass's sums go straight through Finish8's first pass into the
// words at the front of sums (int32), so that its latency overlaps the next pass's
// products; Finish8<kSquare, true> then does the rest.
template <bool kSquare, bool kWords = false>
__attribute__((target("avx2"))) void Columns8(const uint64_t* x, size_t nx, const uint64_t* yp, size_t ny,
                                              size_t start, size_t cols, uint64_t* sums, PumpSpread& pump) {
    Words8<kSquare> words;
    // Lane j of the window at kLanes8 - s is all ones when j >= s.
    alignas(32) static constexpr uint64_t kMask[2 * kLanes8] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                                ~0ull, ~0ull, ~0ull, ~0ull, ~0ull, ~0ull,
                                                                ~0ull, ~0ull, ~0ull, ~0ull, ~0ull, ~0ull,
                                                                ~0ull, ~0ull, ~0ull, ~0ull};
    for (size_t k0 = start; k0 < start + cols; k0 += kLanes8) {
        __m256i s0 = _mm256_setzero_si256(), s1 = s0, s2 = s0, s3 = s0;
        const size_t from = k0 + 1 > ny ? k0 + 1 - ny : 0;
        const size_t to = std::min(nx, kSquare ? (k0 + kLanes8) / 2 : k0 + kLanes8);
        // Squares: every lane takes the product while 2i < k0 (the bulk).
        const size_t whole = kSquare ? std::max(from, std::min(to, (k0 + 1) / 2)) : to;
        size_t i = from;
        if (k0 + 1 >= ny && from + kLanes8 <= whole) {
            EdgeRows8<false>(x, yp, k0, from, s0, s1, s2, s3);
            i += kLanes8;
        }
        const size_t before = !kSquare && to == k0 + kLanes8 && i <= k0 ? k0 : whole;
        for (; i < before; ++i) {
            const __m256i v = _mm256_set1_epi64x(static_cast<long long>(x[i]));
            const uint64_t* y = yp + kPad8 + k0 - i;
            s0 = _mm256_add_epi64(s0, _mm256_mul_epu32(v, Load4(y)));
            s1 = _mm256_add_epi64(s1, _mm256_mul_epu32(v, Load4(y + 4)));
            s2 = _mm256_add_epi64(s2, _mm256_mul_epu32(v, Load4(y + 8)));
            s3 = _mm256_add_epi64(s3, _mm256_mul_epu32(v, Load4(y + 12)));
        }
        if (before != whole) {
            EdgeRows8<true>(x, yp, k0, k0, s0, s1, s2, s3);
            i = whole;
        }
        if (kSquare && i == k0 / 2 && to == k0 / 2 + 8) {
            // The eight rows that end in this pass: row k0/2 + r reaches the lanes j > 2r,
            // so it skips the vectors below lane 2r + 1 and masks only the one holding it.
            const __m256i skip1 = _mm256_setr_epi64x(0, -1, -1, -1), skip3 = _mm256_setr_epi64x(0, 0, 0, -1);
            __m256i sv[4] = {s0, s1, s2, s3};
#pragma GCC unroll 8
            for (int r = 0; r < 8; ++r) {
                const __m256i v = _mm256_set1_epi64x(static_cast<long long>(x[i + r]));
                const uint64_t* y = yp + kPad8 + k0 - i - r;
#pragma GCC unroll 4
                for (int q = r / 2; q < 4; ++q) {
                    __m256i t = _mm256_mul_epu32(v, Load4(y + 4 * q));
                    if (q == r / 2) t = _mm256_and_si256(t, r % 2 == 0 ? skip1 : skip3);
                    sv[q] = _mm256_add_epi64(sv[q], t);
                }
            }
            s0 = sv[0];
            s1 = sv[1];
            s2 = sv[2];
            s3 = sv[3];
            i = to;
        }
        for (; i < to; ++i) {
            const __m256i v = _mm256_set1_epi64x(static_cast<long long>(x[i]));
            const uint64_t* y = yp + kPad8 + k0 - i;
            // Lane j (column k0 + j) takes the product when 2i < k0 + j.
            const uint64_t* m = kMask + kLanes8 - (2 * i - k0 + 1);
            s0 = _mm256_add_epi64(s0, _mm256_and_si256(_mm256_mul_epu32(v, Load4(y)), Load4(m)));
            s1 = _mm256_add_epi64(s1, _mm256_and_si256(_mm256_mul_epu32(v, Load4(y + 4)), Load4(m + 4)));
            s2 = _mm256_add_epi64(s2, _mm256_and_si256(_mm256_mul_epu32(v, Load4(y + 8)), Load4(m + 8)));
            s3 = _mm256_add_epi64(s3, _mm256_and_si256(_mm256_mul_epu32(v, Load4(y + 12)), Load4(m + 12)));
        }
        if constexpr (kWords) {
            auto* w = reinterpret_cast<int32_t*>(sums);
            words.Step(s0, s1, x, k0, w);
            words.Step(s2, s3, x, k0 + 8, w);
        } else {
            uint64_t* out = sums + (k0 - start);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), s0);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4), s1);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8), s2);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 12), s3);
        }
        pump.Tick();
    }
}
#endif

#ifdef TABAI_AVX2
// out[0..n) := the limbs of the sum of s[k] 10^(8k), k < (n + 1) / 2 (the value is below
// 10000^n); s is overwritten. kSquare: the sums are those off the diagonal, doubled here,
// and the squares of x[0..) join the even columns (below 2^64 as well: 2 * 896 + 1
// products at most). A column costs about thirty instructions done one at a time (in a
// square, as much as its products); here it is off the chain of carries but for one bit
// in 32. A first pass splits each sum with Split8; word k is u = a[k] + b[k-1] + c[k-2],
// within 1.5 10^8 of zero, and moving its nearest multiple of 10^8 up a word leaves
// words within 10^8 / 2 + 1, eight to a vector in 32 bits. In the second, words below
// zero borrow one from the word above, words at zero pass on a borrow they receive, and
// the words receiving one come from a 32-bit addition. kWordsDone: the first pass was
// made as the sums came (Columns8's kWords). s is read in steps of 8 sums, its front as
// words (int32) in steps of 32, and x to the word past the last step's half; what those
// lanes hold only reaches the columns above the value.
template <bool kSquare, bool kWordsDone = false>
__attribute__((target("avx2"))) void Finish8(uint64_t* s, const uint64_t* x, Limb* out, size_t n) {
    const __m256i zero = _mm256_setzero_si256();
    const size_t cols = (n + 1) / 2;
    auto* words = reinterpret_cast<int32_t*>(s);  // written behind the sums being read
    if constexpr (!kWordsDone) {
        Words8<kSquare> first;
        for (size_t k = 0; k < cols; k += 8) {
            first.Step(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + k)),
                       _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + k + 4)), x, k, words);
        }
    }
    const __m256i w = _mm256_set1_epi32(static_cast<int>(kW8));
    const __m256i bits = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
    const __m256i limbMagic = _mm256_set1_epi64x(109951163);  // ceil(2^40 / 10^4): t / 10^4 for t < 2^27
    const __m256i base = _mm256_set1_epi32(kBase);
    uint64_t borrow = 0;
    for (size_t k = 0; k < cols; k += 32) {
        __m256i u[4];
        uint64_t g = 0, p = 0;
        for (int j = 0; j < 4; ++j) {
            u[j] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words + k + 8 * j));
            g |= uint64_t{static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(zero, u[j]))))}
                 << (8 * j);
            p |= uint64_t{static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(u[j], zero))))}
                 << (8 * j);
        }
        const uint64_t in = ((g << 1) | borrow) & 0xffffffffu, sum = p + in, gets = sum ^ p;
        borrow = ((sum >> 32) | (g >> 31)) & 1;
        for (int j = 0; j < 4; ++j) {
            const __m256i mine = _mm256_set1_epi32(static_cast<int>((gets >> (8 * j)) & 0xff));
            // -1 where a borrow arrives; then below zero takes 10^8 from the word above.
            __m256i t = _mm256_add_epi32(u[j], _mm256_cmpeq_epi32(_mm256_and_si256(mine, bits), bits));
            t = _mm256_add_epi32(t, _mm256_and_si256(_mm256_cmpgt_epi32(zero, t), w));
            // Two limbs a column: t = l0 + 10^4 l1.
            const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(t, limbMagic), 40);
            const __m256i odd = _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(t, 32), limbMagic), 40);
            const __m256i l1 = _mm256_or_si256(even, _mm256_slli_epi64(odd, 32));
            const __m256i l0 = _mm256_sub_epi32(t, _mm256_mullo_epi32(l1, base));
            const __m256i limbs = _mm256_or_si256(l0, _mm256_slli_epi32(l1, 16));
            const size_t at = 2 * (k + 8 * j);
            if (at + 16 <= n) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + at), limbs);
            } else if (at < n) {
                alignas(32) Limb tail[16];
                _mm256_store_si256(reinterpret_cast<__m256i*>(tail), limbs);
                std::copy(tail, tail + (n - at), out + at);
            }
        }
    }
}
#endif

}  // namespace

bool HasAvx2() {
#ifdef TABAI_AVX2
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
#else
    return false;
#endif
}

#ifdef TABAI_AVX2
namespace {

// The words of a product's shorter factor, the longer one padded, and the column sums.
class Buffers8 {
public:
    // The column sums start..start+cols of a * b (min(na, nb) at most kAvx2MaxLimbs),
    // pumping `pumps` times; words (start 0): through Finish8's first pass already, for
    // Finish8<false, true>.
    Buffers8(const Limb* a, size_t na, const Limb* b, size_t nb, size_t start, size_t cols, size_t pumps,
             bool words = false)
        : Buffers8(na <= nb, na <= nb ? a : b, std::min(na, nb), na <= nb ? b : a, std::max(na, nb), start, cols,
                   pumps, words) {}

    const size_t ws, wl;
    uint64_t *x, *yp, *sums;

private:
    Buffers8(bool, const Limb* s, size_t ns, const Limb* l, size_t nl, size_t start, size_t cols, size_t pumps,
             bool words)
        : ws((ns + 1) / 2), wl((nl + 1) / 2), buf_(ws + wl + 2 * kPad8 + RoundToLanes8(cols)) {
        x = buf_.get();
        yp = x + ws;
        sums = yp + wl + 2 * kPad8;
        PackWords8(s, ns, x, ws);
        std::fill(yp, yp + kPad8, uint64_t{0});
        PackWords8(l, nl, yp + kPad8, wl + kPad8);
        const size_t rounded = RoundToLanes8(cols);
        // As MulWordsColumns: at least once every 2^14 columns.
        PumpSpread pump(std::max(pumps, rounded >> 14), rounded / kLanes8);
        if (words) {
            Columns8<false, true>(x, ws, yp, wl, start, rounded, sums, pump);
        } else {
            Columns8<false>(x, ws, yp, wl, start, rounded, sums, pump);
        }
    }

    StackBuffer<uint64_t, 2048> buf_;
};

// out := the columns of Karatsuba's three products p0, p1, p2 (n columns each, p2's
// first n2 meaningful) at half h: p0 + (p1 - p0 - p2) W^h + p2 W^2h, cols columns, modulo
// 2^64 (the true sums fit).
void CombineColumns8(uint64_t* __restrict out, const uint64_t* __restrict p0, const uint64_t* __restrict p1,
                     const uint64_t* __restrict p2, size_t n, size_t h, size_t n2, size_t cols) {
    std::fill(out, out + cols, uint64_t{0});
    std::copy(p0, p0 + std::min(n, cols), out);
    for (size_t j = 0; j < n2 && 2 * h + j < cols; ++j) out[2 * h + j] += p2[j];
    const size_t mid = h < cols ? std::min(n, cols - h) : 0;
    for (size_t j = 0; j < mid; ++j) out[h + j] += p1[j] - p0[j] - p2[j];
}

// sums[0..cols) := the column sums of x[0..wx) * y[0..wy) (words below `bound`), zero past
// the product; cols a multiple of kLanes8, at least wx + wy - 1. Karatsuba on the sums
// themselves, as ColumnsKaratsuba52, while both factors have `from` words or more and the
// middle product's sums (its words below 2 bound) stay below 2^64: one level from 10^8,
// two below 115 words a half.
void ColumnsKaratsuba8(const uint64_t* x, size_t wx, const uint64_t* y, size_t wy, uint64_t bound,
                       uint64_t* sums, size_t cols, size_t from) {
    const size_t h = (std::max(wx, wy) + 1) / 2;
    const uint64_t wide = 2 * bound - 1;
    if (std::min(wx, wy) < std::max(from, h + 1) || h > ~uint64_t{0} / (wide * wide)) {
        // Columns8 broadcasts the shorter factor and reads the other through zero padding.
        if (wx > wy) {
            std::swap(x, y);
            std::swap(wx, wy);
        }
        StackBuffer<uint64_t, 1024> padded(wy + 2 * kPad8);
        uint64_t* yp = padded.get();
        std::fill(yp, yp + kPad8, uint64_t{0});
        std::copy(y, y + wy, yp + kPad8);
        std::fill(yp + kPad8 + wy, yp + wy + 2 * kPad8, uint64_t{0});
        const size_t own = RoundToLanes8(wx + wy - 1);
        PumpSpread pump(2 * wy, own / kLanes8);
        Columns8<false>(x, wx, yp, wy, 0, own, sums, pump);
        std::fill(sums + own, sums + cols, uint64_t{0});
        return;
    }
    const size_t n = 2 * h - 1, n2 = wx + wy - 2 * h - 1, c = RoundToLanes8(n);
    std::vector<uint64_t> buf(3 * c + 2 * h);
    uint64_t *p0 = buf.data(), *p1 = p0 + c, *p2 = p1 + c, *s = p2 + c, *t = s + h;
    HalfSums(x, wx, y, wy, h, s, t);
    ColumnsKaratsuba8(x, h, y, h, bound, p0, c, from);
    ColumnsKaratsuba8(x + h, wx - h, y + h, wy - h, bound, p2, c, from);
    ColumnsKaratsuba8(s, h, t, h, wide, p1, c, from);
    CombineColumns8(sums, p0, p1, p2, n, h, n2, cols);
}

// sums[0..RoundToLanes8(2 nx)) := the column sums of x[0..nx) squared (words below 2^32
// whose column sums stay below 2^64), zero past the square: the products off the diagonal
// once, then doubled with the squares of the words added. x has kPad8 zero words either
// side. Pumps `pumps` times.
__attribute__((target("avx2"))) void SquareColumns8(const uint64_t* x, size_t nx, uint64_t* sums, size_t pumps) {
    const size_t cols = RoundToLanes8(2 * nx);
    PumpSpread pump(pumps, cols / kLanes8);
    Columns8<true>(x, nx, x - kPad8, nx, 0, cols, sums, pump);
    for (size_t k = 0; k < cols; k += 4) {
        // x[k/2] and x[k/2 + 1] in lanes 0 and 2, squared into the even columns.
        const __m256i d = _mm256_cvtepu32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x + k / 2)));
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + k));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + k), _mm256_add_epi64(_mm256_add_epi64(v, v), _mm256_mul_epu32(d, d)));
    }
}

}  // namespace
#endif

void MulBasecaseAvx2(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out) {
#ifdef TABAI_AVX2
    const size_t wa = (na + 1) / 2, wb = (nb + 1) / 2, from = (CurrentTuning().karatsubaAvx2 + 1) / 2;
    if (std::min(wa, wb) >= from && 2 * std::min(wa, wb) > std::max(wa, wb)) {
        const size_t cols = RoundToLanes8(wa + wb);
        StackBuffer<uint64_t, 2048> buf(wa + wb + cols);
        uint64_t *x = buf.get(), *y = x + wa, *sums = y + wb;
        PackWords8(a, na, x, wa);
        PackWords8(b, nb, y, wb);
        ColumnsKaratsuba8(x, wa, y, wb, kW8, sums, cols, from);
        Finish8<false>(sums, nullptr, out, na + nb);
        return;
    }
    Buffers8 m(a, na, b, nb, 0, (na + nb + 1) / 2, nb, true);
    Finish8<false, true>(m.sums, nullptr, out, na + nb);
#else
    MulSchool(a, na, b, nb, out);
#endif
}

void SqrBasecaseAvx2(const Limb* a, size_t n, Limb* out) {
#ifdef TABAI_AVX2
    const size_t w = (n + 1) / 2, cols = RoundToLanes8(2 * w), h = (w + 1) / 2;
    // Karatsuba on the column sums, as for products: (x0 + x1)^2 on words below 2 10^8
    // sums h products below 4 10^16 a column, below 2^64 while h <= 461.
    if (w >= std::max<size_t>(2, (CurrentTuning().karatsubaSqrAvx2 + 1) / 2) &&
        h <= ~uint64_t{0} / ((2 * kW8 - 1) * (2 * kW8 - 1))) {
        const size_t c = RoundToLanes8(2 * h), room = h + kPad8;
        // x0, x1 and x0 + x1, each after kPad8 zero words, and a last kPad8 of them.
        StackBuffer<uint64_t, 2048> buf(3 * room + kPad8 + 3 * c + cols);
        uint64_t *x0 = buf.get() + kPad8, *x1 = x0 + room, *sum = x1 + room;
        uint64_t *p0 = sum + room, *p1 = p0 + c, *p2 = p1 + c, *sums = p2 + c;
        std::fill(buf.get(), p0, uint64_t{0});
        PackWords8(a, 2 * h, x0, h);
        PackWords8(a + 2 * h, n - 2 * h, x1, w - h);
        for (size_t i = 0; i < h; ++i) sum[i] = x0[i] + x1[i];  // x1 is zero past its words
        SquareColumns8(x0, h, p0, n / 3);
        SquareColumns8(x1, w - h, p2, n / 3);
        std::fill(p2 + RoundToLanes8(2 * (w - h)), p2 + c, uint64_t{0});  // read to 2h - 1
        SquareColumns8(sum, h, p1, n - 2 * (n / 3));
        CombineColumns8(sums, p0, p1, p2, 2 * h - 1, h, 2 * (w - h) - 1, cols);
        Finish8<false>(sums, nullptr, out, 2 * n);
        return;
    }
    StackBuffer<uint64_t, 2048> buf(w + 2 * kPad8 + cols);
    uint64_t* yp = buf.get();
    uint64_t* sums = yp + w + 2 * kPad8;
    std::fill(yp, yp + kPad8, uint64_t{0});
    PackWords8(a, n, yp + kPad8, w + kPad8);
    PumpSpread pump(n, cols / kLanes8);
    Columns8<true, true>(yp + kPad8, w, yp, w, 0, cols, sums, pump);
    Finish8<true, true>(sums, yp + kPad8, out, 2 * n);
#else
    SqrSchool(a, n, out);
#endif
}

void MulLowAvx2(const Limb* a, size_t na, const Limb* b, size_t nb, size_t len, Limb* out) {
#ifdef TABAI_AVX2
    na = std::min(na, len);
    nb = std::min(nb, len);
    // Columns from (len + 1) / 2 on do not reach the low len limbs.
    Buffers8 m(a, na, b, nb, 0, (len + 1) / 2, nb, true);
    Finish8<false, true>(m.sums, nullptr, out, len);
#else
    MulLow(a, na, b, nb, len, out);
#endif
}

void MulHighAvx2(const Limb* a, size_t na, const Limb* b, size_t nb, size_t from, Limb* out) {
#ifdef TABAI_AVX2
    // The columns below word `first` are left out: below 0.18 10^20 each, together less
    // than 10^(8 first + 12) <= 10000^from, one unit of limb `from`.
    const size_t first = from >= 3 ? (from - 3) / 2 : 0, n = na + nb - 2 * first;
    Buffers8 m(a, na, b, nb, first, (n + 1) / 2, nb);
    std::vector<Limb> limbs(n);
    Finish8<false>(m.sums, nullptr, limbs.data(), n);
    std::copy(limbs.begin() + static_cast<std::ptrdiff_t>(from - 2 * first), limbs.end(), out);
#else
    MulHigh(a, na, b, nb, from, out);
#endif
}

namespace {

// Whether MulBasecase and SqrBasecase take the 52-bit vectors for these lengths.
bool UseMul52(size_t na, size_t nb) {
    return CurrentTuning().wideVectors && std::min(na, nb) <= 3 * kMul52MaxWords && HasMul52();
}

// Whether they take AVX2's products of 8-digit words.
bool UseAvx2(size_t na, size_t nb) {
    return CurrentTuning().wideVectors && std::min(na, nb) <= kAvx2MaxLimbs && HasAvx2();
}

}  // namespace

void MulBasecase(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out) {
    if (UseMul52(na, nb)) {
        MulBasecase52(a, na, b, nb, out);
        return;
    }
    if (UseAvx2(na, nb)) {
        MulBasecaseAvx2(a, na, b, nb, out);
        return;
    }
    PackedPair p(a, na, b, nb, (na + 3) / 4 + (nb + 3) / 4);
    MulWords(p.x, p.wa, p.y, p.wb, p.z, nb);
    UnpackWords(p.z, p.wa + p.wb, out, na + nb);
}

void SqrBasecase(const Limb* a, size_t n, Limb* out) {
    if (UseMul52(n, n)) {
        SqrBasecase52(a, n, out);
        return;
    }
    if (UseAvx2(n, n)) {
        SqrBasecaseAvx2(a, n, out);
        return;
    }
    const size_t w = (n + 3) / 4;
    WordBuffer buf(3 * w);
    uint64_t* x = buf.get();
    uint64_t* z = x + w;
    PackWords(a, n, x);
    SqrWords(x, w, z, n);
    UnpackWords(z, 2 * w, out, 2 * n);
}

void MulLow(const Limb* a, size_t na, const Limb* b, size_t nb, size_t len, Limb* out) {
    // Limbs from len on do not reach the low len limbs of the product.
    na = std::min(na, len);
    nb = std::min(nb, len);
    if (UseAvx2(na, nb)) {
        MulLowAvx2(a, na, b, nb, len, out);
        return;
    }
    const size_t want = (len + 3) / 4;
    const size_t wl = std::min(want, (na + 3) / 4 + (nb + 3) / 4 - 1);
    PackedPair p(a, na, b, nb, wl + 1);
    uint64_t* z = p.z;
    const unsigned __int128 carry = MulWordsColumns(p.x, p.wa, p.y, p.wb, 0, wl, z, nb);
    size_t nz = wl;
    if (want > wl) z[nz++] = static_cast<uint64_t>(carry);  // every column done: the top word
    UnpackWords(z, nz, out, len);
}

void MulHigh(const Limb* a, size_t na, const Limb* b, size_t nb, size_t from, Limb* out) {
    if (UseAvx2(na, nb)) {
        MulHighAvx2(a, na, b, nb, from, out);
        return;
    }
    // The columns below word `first` are left out: they add up to less than
    // min(wa, wb) * 10^(16 (first + 1)), below one unit of word first + 2, whose place
    // is at or below limb `from` (from < na + nb keeps first below wa + wb - 1).
    const size_t words = (na + 3) / 4 + (nb + 3) / 4, first = from / 4 - std::min<size_t>(from / 4, 2);
    const size_t nz = words - first;
    PackedPair p(a, na, b, nb, nz);
    uint64_t* z = p.z;
    z[nz - 1] = static_cast<uint64_t>(MulWordsColumns(p.x, p.wa, p.y, p.wb, first, words - 1, z, nb));
    // Limb `from` is limb from - 4 * first of z.
    const size_t skip = from - 4 * first;
    std::vector<Limb> limbs(4 * nz);
    UnpackWords(z, nz, limbs.data(), limbs.size());
    const size_t n = na + nb - from;
    for (size_t i = 0; i < n; ++i) out[i] = skip + i < limbs.size() ? limbs[skip + i] : 0;
}

namespace {

// x y mod 10^16 for x, y < 10^16.
uint64_t MulModWord(uint64_t x, uint64_t y) {
    uint64_t r;
    DivModWord(static_cast<unsigned __int128>(x) * y, r);
    return r;
}

// The inverse of b modulo 10^16, b odd and not a multiple of 5: from the last digit's
// inverse, each Newton step x (2 - b x) doubles the correct digits (1, 2, 4, 8, 16).
uint64_t InverseWord(uint64_t b) {
    static constexpr uint64_t kDigitInverse[10] = {0, 1, 0, 7, 0, 0, 0, 3, 0, 9};
    uint64_t x = kDigitInverse[b % 10];
    for (int i = 0; i < 4; ++i) x = MulModWord(x, 2 + kWordBase - MulModWord(b, x));
    return x;
}

}  // namespace

void DivExactLow(const Limb* a, size_t na, const Limb* b, size_t nb, size_t len, Limb* q) {
    na = std::min(na, len);
    nb = std::min(nb, len);
    const size_t wq = (len + 3) / 4;
    PackedPair p(a, na, b, nb, wq);
    const size_t wa = p.wa, wb = p.wb;
    const uint64_t *x = p.x, *y = p.y;
    uint64_t* z = p.z;
    const uint64_t inv = InverseWord(y[0]);
    PumpSpread pump(std::max(nb, wq >> 14), wq);  // as MulWordsColumns
    unsigned __int128 carry = 0;
    for (size_t k = 0; k < wq; ++k) {
        // The column without its last product q[k] b[0], which is chosen to complete it.
        const size_t lo = k + 1 > wb ? k + 1 - wb : 0;
        uint64_t low;
        const unsigned __int128 high = DivModWord(ColumnSum(z, y, lo, k, k) + carry, low);
        const uint64_t want = k < wa ? x[k] : 0;
        z[k] = MulModWord(want >= low ? want - low : want + kWordBase - low, inv);
        // low + z[k] y[0] = want modulo 10^16; its carry joins the next column.
        uint64_t rest;
        carry = high + DivModWord(low + static_cast<unsigned __int128>(z[k]) * y[0], rest);
        pump.Tick();
    }
    UnpackWords(z, wq, q, len);
}

}  // namespace tabai_kernels

namespace tabai_kernels {

bool MulAddWords(const SignedSpan& a1, const SignedSpan& b1, const SignedSpan& a2, const SignedSpan& b2,
                 std::vector<Limb>& mag) {
    // Both products' columns are summed in 128 bits, the second's added or subtracted by
    // the signs, and carried once: one division per column, one unpacking, no sum of
    // separate products.
    const size_t w[4] = {(a1.n + 3) / 4, (b1.n + 3) / 4, (a2.n + 3) / 4, (b2.n + 3) / 4};
    const bool first = a1.n > 0 && b1.n > 0, second = a2.n > 0 && b2.n > 0;
    const size_t len1 = first ? w[0] + w[1] : 0, len2 = second ? w[2] + w[3] : 0;
    const size_t nz = std::max(len1, len2) + 1;
    WordBuffer buf(w[0] + w[1] + w[2] + w[3] + nz);
    uint64_t* x1 = buf.get();
    uint64_t* y1 = x1 + w[0];
    uint64_t* x2 = y1 + w[1];
    uint64_t* y2 = x2 + w[2];
    uint64_t* z = y2 + w[3];
    PackWords(a1.p, a1.n, x1);
    PackWords(b1.p, b1.n, y1);
    PackWords(a2.p, a2.n, x2);
    PackWords(b2.p, b2.n, y2);
    const bool neg1 = a1.neg != b1.neg, neg2 = a2.neg != b2.neg;
    // The sum is taken as s1 (first - second) when the signs differ, s1 (first + second)
    // when they agree, with s1 the first product's sign.
    const bool subtract = neg1 != neg2;
    auto column = [](const uint64_t* x, size_t nx, const uint64_t* y, size_t ny, size_t k) {
        unsigned __int128 s0 = 0, s1 = 0;
        if (nx == 0 || ny == 0 || k + 1 > nx + ny - 1) return s0;
        const size_t lo = k + 1 > ny ? k + 1 - ny : 0, hi = std::min(k + 1, nx);
        size_t i = lo;
        for (; i + 1 < hi; i += 2) {
            s0 += static_cast<unsigned __int128>(x[i]) * y[k - i];
            s1 += static_cast<unsigned __int128>(x[i + 1]) * y[k - i - 1];
        }
        if (i < hi) s0 += static_cast<unsigned __int128>(x[i]) * y[k - i];
        return s0 + s1;
    };
    PumpSpread pump(b1.n + b2.n, nz);
    __int128 carry = 0;  // |carry| stays below the column sums / 10^16
    const size_t na1 = first ? w[0] : 0, na2 = second ? w[2] : 0;
    for (size_t k = 0; k + 1 < nz; ++k) {
        const unsigned __int128 p = column(x1, na1, y1, w[1], k), q = column(x2, na2, y2, w[3], k);
        __int128 t = carry;
        if (subtract) {
            t += static_cast<__int128>(p) - static_cast<__int128>(q);
        } else {
            t += static_cast<__int128>(p + q);
        }
        if (t >= 0) {
            carry = static_cast<__int128>(DivModWord(static_cast<unsigned __int128>(t), z[k]));
        } else {
            uint64_t r;
            const __int128 qd = static_cast<__int128>(DivModWord(static_cast<unsigned __int128>(-t), r));
            carry = r == 0 ? -qd : -qd - 1;
            z[k] = r == 0 ? 0 : kWordBase - r;
        }
        pump.Tick();
    }
    // The sum is carry 10^(16 (nz - 1)) + z; the carry fits a word when non-negative.
    bool neg = false;
    if (carry >= 0) {
        z[nz - 1] = static_cast<uint64_t>(carry);
    } else {
        // -(c B^L + Z) = (-c - 1) B^L + (B^L - Z), with B^L - Z limb by limb.
        neg = true;
        uint64_t add = 1;
        for (size_t k = 0; k + 1 < nz; ++k) {
            const uint64_t v = kWordBase - 1 - z[k] + add;
            add = v >= kWordBase;
            z[k] = add ? v - kWordBase : v;
        }
        z[nz - 1] = static_cast<uint64_t>(-carry - 1) + add;
    }
    mag.assign(4 * nz, 0);
    UnpackWords(z, nz, mag.data(), mag.size());
    mag.resize(Trim(mag.data(), mag.size()));
    if (mag.empty()) return false;
    return neg != neg1;
}

}  // namespace tabai_kernels
