// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Division kernels of TSeisu: single-limb divisor, long division, and the dispatcher.
#include <algorithm>
#include <array>
#include <cmath>
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/pump.h"
#include "engine/tabai_kernels.h"

namespace tabai_kernels {

namespace {

// a div d into q[0..qlen) (the quotient's limbs from qlen up must be zero), returns
// a mod d; d in 1 .. 2^32 - 1.
//
// A hardware division per step is slow; t / d is one multiplication by a rounded-up
// reciprocal instead: for l = max(ceil(log2 d), 1) and m = ceil(2^(63+l) / d) (below
// 2^64 for d >= 2), floor(t * m / 2^(63+l)) = floor(t / d) for every t < 2^63 (Granlund
// and Montgomery), and the shift is the high word of the product shifted by l - 1.
// The remainder carried from step to step is below d, so t = rem * 10000^k + (k limbs)
// stays below 2^63 with k = 2 for any such d, and k = 3 for d below 9 * 10^6: the longer
// step halves the length of the chain of dependent products that bounds the speed.
uint32_t DivWord(const Limb* a, size_t n, uint32_t d, Limb* q, size_t qlen) {
    if (d == 1) {
        std::copy(a, a + std::min(n, qlen), q);
        return 0;
    }
    int l = 1;
    while ((uint64_t{1} << l) < d) ++l;
    const unsigned __int128 big = static_cast<unsigned __int128>(1) << (63 + l);
    const uint64_t m = static_cast<uint64_t>((big + d - 1) / d);
    const int s = l - 1;
    auto quotient = [m, s](uint64_t t) {
        return static_cast<uint64_t>((static_cast<unsigned __int128>(t) * m) >> 64) >> s;
    };
    auto put = [q, qlen](size_t i, uint64_t v) {
        if (i < qlen) q[i] = static_cast<Limb>(v);
    };
    constexpr uint64_t kPair = uint64_t{kBase} * kBase;
    uint64_t rem = 0;
    size_t i = n;
    if (d < 9000000) {
        // The top n mod 3 limbs alone (below 10^8, no remainder before them).
        const size_t head = n % 3;
        if (head != 0) {
            i -= head;
            const uint64_t t = a[i] + (head == 2 ? uint64_t{kBase} * a[i + 1] : 0);
            const uint64_t qt = quotient(t);
            put(i, qt % kBase);
            if (head == 2) put(i + 1, qt / kBase);
            rem = t - qt * d;
        }
        while (i > 0) {
            i -= 3;
            const uint64_t t = rem * (kPair * kBase) + (a[i + 2] * kPair + a[i + 1] * uint64_t{kBase} + a[i]);
            const uint64_t qt = quotient(t);
            const uint64_t high = qt / kBase;
            put(i, qt % kBase);
            put(i + 1, high % kBase);
            put(i + 2, high / kBase);
            rem = t - qt * d;
        }
        return static_cast<uint32_t>(rem);
    }
    if (i % 2 != 0) {
        // The odd top limb alone.
        --i;
        const uint64_t t = a[i];
        const uint64_t qt = quotient(t);
        put(i, qt);
        rem = t - qt * d;
    }
    while (i > 0) {
        i -= 2;
        const uint64_t t = rem * kPair + (a[i + 1] * uint64_t{kBase} + a[i]);
        const uint64_t qt = quotient(t);
        put(i + 1, qt / kBase);
        put(i, qt % kBase);
        rem = t - qt * d;
    }
    return static_cast<uint32_t>(rem);
}

// The same for a divisor d of three limbs, 2^32 <= d < 10^12 (the sums of fractions
// divide by such numbers all the time): one limb a step, rem * 10000 + limb < 10^16, the
// quotient limb by the reciprocal above.
uint64_t DivWordLong(const Limb* a, size_t n, uint64_t d, Limb* q, size_t qlen) {
    int l = 1;
    while ((uint64_t{1} << l) < d) ++l;
    const unsigned __int128 big = static_cast<unsigned __int128>(1) << (63 + l);
    const uint64_t m = static_cast<uint64_t>((big + d - 1) / d);
    const int s = l - 1;
    uint64_t rem = 0;
    for (size_t i = n; i-- > 0;) {
        const uint64_t t = rem * kBase + a[i];
        const uint64_t qt = static_cast<uint64_t>((static_cast<unsigned __int128>(t) * m) >> 64) >> s;
        if (i < qlen) q[i] = static_cast<Limb>(qt);
        rem = t - qt * d;
    }
    return rem;
}

}  // namespace

uint32_t DivSmall(const Limb* a, size_t n, uint32_t d, Limb* q) { return DivWord(a, n, d, q, n); }

namespace {

// a[0..n) := a * f + carry-in, returns the carry out (f <= 10000).
uint32_t MulSmallInPlace(Limb* a, size_t n, uint32_t f) {
    uint32_t carry = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t t = a[i] * f + carry;
        a[i] = static_cast<Limb>(t % kBase);
        carry = t / kBase;
    }
    return carry;
}

// The same as MulSmallInPlace without its chain of divisions: each product's two limbs
// apart, then carries of at most one (what DivSchool does limb by limb stays its yardstick).
uint32_t ScaleLimbs(Limb* a, size_t n, uint32_t f) {
    uint32_t high = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t t = a[i] * f, h = t / kBase;
        a[i] = static_cast<Limb>(t - h * kBase + high);  // below 2 * 10000
        high = h;
    }
    uint32_t c = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t t = a[i] + c;
        c = t >= kBase;
        a[i] = static_cast<Limb>(t - c * kBase);
    }
    return high + c;
}

}  // namespace

void DivSchool(const Limb* a, size_t m, const Limb* b, size_t n, Limb* q, Limb* r) {
    // Normalisation: scaling both by f makes the divisor's top limb at least 5000, so the
    // two-limb estimate below is at most 2 too large and the correction leaves at most 1.
    const uint32_t f = kBase / (b[n - 1] + 1u);
    // Working copies, on the stack for small numbers.
    constexpr size_t kStack = 64;
    Limb ustack[kStack + 1], vstack[kStack];
    std::vector<Limb> uheap, vheap;
    Limb* u = ustack;
    Limb* v = vstack;
    if (m > kStack) {
        uheap.resize(m + 1);
        vheap.resize(n);
        u = uheap.data();
        v = vheap.data();
    }
    std::copy(a, a + m, u);
    u[m] = static_cast<Limb>(MulSmallInPlace(u, m, f));
    std::copy(b, b + n, v);
    MulSmallInPlace(v, n, f);
    const uint32_t vtop = v[n - 1], vnext = v[n - 2];
    for (size_t j = m - n + 1; j-- > 0;) {
        if ((j & 15) == 0) pump::ProcessMessages();
        Limb* uj = u + j;
        const uint32_t top = uj[n] * kBase + uj[n - 1];
        uint32_t qhat = top / vtop;
        uint32_t rhat = top % vtop;
        if (qhat >= kBase) {
            qhat = kBase - 1;
            rhat = top - qhat * vtop;
        }
        while (rhat < kBase && qhat * vnext > rhat * kBase + uj[n - 2]) {
            --qhat;
            rhat += vtop;
        }
        if (qhat == 0) {
            q[j] = 0;
            continue;
        }
        // Multiply and subtract: uj[0..n] -= qhat * v. The bias of 10^8 keeps t positive
        // (qhat * v[i] < 10^8), so unsigned division applies; s is the signed borrow.
        int32_t s = 0;
        for (size_t i = 0; i < n; ++i) {
            const uint32_t t = uj[i] + 100000000u - qhat * v[i] + static_cast<uint32_t>(s);
            uj[i] = static_cast<Limb>(t % kBase);
            s = static_cast<int32_t>(t / kBase) - 10000;
        }
        const uint32_t borrow = static_cast<uint32_t>(-s);
        if (uj[n] < borrow) {
            // The estimate was one too large (rare, about 2/10000 of the limbs): the
            // window went below zero, so one divisor is added back.
            --qhat;
            uint32_t carry = 0;
            for (size_t i = 0; i < n; ++i) {
                const uint32_t sum = uj[i] + v[i] + carry;
                carry = sum >= kBase;
                uj[i] = static_cast<Limb>(carry ? sum - kBase : sum);
            }
            uj[n] = 0;
        } else {
            uj[n] = static_cast<Limb>(uj[n] - borrow);
        }
        q[j] = static_cast<Limb>(qhat);
    }
    // The remainder is u[0..n) / f, an exact division.
    DivSmall(u, n, f, r);
}

namespace {

// Long division on words of 8 digits (two limbs) in 64-bit signed integers whose carries
// are delayed: a row subtracts q times the divisor word by word, each product of two
// words below 2^27 taken on 32-bit halves, with nothing on a chain of carries, so the
// compiler vectorises it; the whole window is carried every kRows rows, before 2^63
// could be reached. The estimate takes the window's top three words exactly in 128 bits
// (one carried word above them, which the row before folded down) and divides in
// doubles: it is at most one off, and what it leaves (a remainder a little below zero or
// a little over the divisor) goes into the next estimate, so quotient words lie in
// -1 .. 10^8 until the end carries them. The divisor's top word is made at least 10^4 (a
// shift by one limb), which keeps the words the estimate leaves out below a hundredth.
constexpr int64_t kW8 = 100000000;
constexpr size_t kRows = 128;
// The division's rows carry the window less often: after CarryWordsOnce its words are
// below 2^37, and 256 rows of products below 10^16 keep them below 2^62 (the words the
// estimate leaves out still move it by less than three hundredths).
constexpr size_t kDivRows = 256;
// The pump is called every this many rows (as often as the long division on limbs does).
constexpr size_t kPumpRows = 16;

// Carries r[from..to) into range (truncating: each word keeps the sign of what it held,
// so a small negative value stays in its low words), the last carry into r[to].
inline void CarryWords(int64_t* r, size_t from, size_t to) {
    int64_t c = 0;
    for (size_t k = from; k < to; ++k) {
        const int64_t t = r[k] + c;
        c = t / kW8;
        r[k] = t - c * kW8;
    }
    r[to] += c;
}

// Brings the words r[from..to) down to below 2^37 in size, the carry out of the last into
// r[to]: each word's quotient by 10^8 goes to the word above, all at once (no chain from
// word to word, unlike CarryWords); enough for the rows' headroom.
inline void CarryWordsOnce(int64_t* r, size_t from, size_t to) {
    int64_t prev = 0;
    for (size_t k = from; k < to; ++k) {
        const int64_t t = r[k], c = t / kW8;
        r[k] = t - c * kW8 + prev;
        prev = c;
    }
    r[to] += prev;
}

// floor(t / 10^8) and t - 10^8 floor(t / 10^8) (in 0 .. 10^8 - 1), for t from -2^63 to a
// little below 2^63: t lifted by a multiple of 10^8 past 2^63 is not negative as an
// unsigned word, whose division by a constant needs no corrections for the sign.
inline int64_t FloorDivW8(int64_t t, int64_t& rem) {
    constexpr uint64_t kLiftWords = (uint64_t{1} << 63) / kW8 + 1, kLift = kLiftWords * kW8;
    const uint64_t u = static_cast<uint64_t>(t) + kLift, c = u / kW8;
    rem = static_cast<int64_t>(u - c * kW8);
    return static_cast<int64_t>(c - kLiftWords);
}

// Carries r[0..n) into 0 .. 10^8 - 1 for words in -10^8 + 1 .. 2 10^8 - 2 (the carries
// are -1, 0 or 1), the last carry into r[n]: almost every word is in range, so the branch
// is predicted and leaves no chain.
inline void CarryWordsNear(int64_t* r, size_t n) {
    int64_t c = 0;
    for (size_t k = 0; k < n; ++k) {
        const int64_t t = r[k] + c;
        if (__builtin_expect(static_cast<uint64_t>(t) < static_cast<uint64_t>(kW8), 1)) {
            r[k] = t;
            c = 0;
            continue;
        }
        c = t < 0 ? -1 : 1;
        r[k] = t - c * kW8;
    }
    r[n] += c;
}

// Carries r[0..n) into 0 .. 10^8 - 1 (rounding down), the last carry into r[n]. A carry
// chain through a division per word is slow; instead each word's quotient goes to the word
// above in two passes without a chain (words of up to 2^63 leave carries below 2^37, then
// below 2^10), and a last pass carries the -1, 0 or 1 left.
inline void CarryWordsDown(int64_t* r, size_t n) {
    for (int pass = 0; pass < 2; ++pass) {
        int64_t prev = 0;
        for (size_t k = 0; k < n; ++k) {
            int64_t rem;
            const int64_t c = FloorDivW8(r[k], rem);
            r[k] = rem + prev;
            prev = c;
        }
        r[n] += prev;
    }
    CarryWordsNear(r, n);
}

// w[0..n) -= q * v[0..n), the products of 32-bit words. The compiler vectorises this
// loop with three multiplications a product (it does not see that the factors are 32-bit);
// the processor's widening multiplication does it in one, hence the versions below.
void SubRowPortable(int64_t* __restrict w, const uint32_t* __restrict v, size_t n, uint32_t q) {
    for (size_t i = 0; i < n; ++i) w[i] -= static_cast<int64_t>(static_cast<uint64_t>(q) * v[i]);
}

#if defined(__GNUC__) && defined(__x86_64__)
// GCC 12's own headers leave a lane "uninitialised" on purpose in these intrinsics.
#pragma GCC diagnostic push
#if !defined(__clang__)  // a GCC warning clang does not know
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
__attribute__((target("avx512f"))) void SubRowAvx512(int64_t* __restrict w, const uint32_t* __restrict v, size_t n,
                                                     uint32_t q) {
    const __m512i qq = _mm512_set1_epi64(q);
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m512i vv = _mm512_cvtepu32_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(v + i)));
        _mm512_storeu_si512(w + i, _mm512_sub_epi64(_mm512_loadu_si512(w + i), _mm512_mul_epu32(qq, vv)));
    }
    SubRowPortable(w + i, v + i, n - i, q);
}

__attribute__((target("avx2"))) void SubRowAvx2(int64_t* __restrict w, const uint32_t* __restrict v, size_t n,
                                                uint32_t q) {
    const __m256i qq = _mm256_set1_epi64x(q);
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m256i vv = _mm256_cvtepu32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(v + i)));
        auto* p = reinterpret_cast<__m256i*>(w + i);
        _mm256_storeu_si256(p, _mm256_sub_epi64(_mm256_loadu_si256(p), _mm256_mul_epu32(qq, vv)));
    }
    SubRowPortable(w + i, v + i, n - i, q);
}
#pragma GCC diagnostic pop
#endif

using SubRowFn = void (*)(int64_t* __restrict, const uint32_t* __restrict, size_t, uint32_t);

// The vector instructions this processor has, read once.
struct VectorSets {
    bool avx2 = false, avx512f = false, avx512dq = false;
};

const VectorSets& Sets() {
    static const VectorSets sets = [] {
        VectorSets v;
#if defined(__GNUC__) && defined(__x86_64__)
        __builtin_cpu_init();
        v.avx2 = __builtin_cpu_supports("avx2") != 0;
        v.avx512f = __builtin_cpu_supports("avx512f") != 0;
        v.avx512dq = __builtin_cpu_supports("avx512dq") != 0;
#endif
        return v;
    }();
    return sets;
}

// The widest version this processor runs, or the portable one when the tuning says so.
SubRowFn PickSubRow() {
    if (!CurrentTuning().wideVectors) return SubRowPortable;
#if defined(__GNUC__) && defined(__x86_64__)
    static const SubRowFn best = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f")) return SubRowAvx512;
        if (__builtin_cpu_supports("avx2")) return SubRowAvx2;
        return SubRowPortable;
    }();
    return best;
#else
    return SubRowPortable;
#endif
}

// w[0..n) -= lo * v[i] + hi * v[i - 1] for v[i] = vp[i + 1] (vp[0] = 0, the divisor's
// words one to a 64-bit lane; only vp[0..n] are read): two rows in one pass over the
// remainder. lo and hi in -1 .. 10^8; the wide versions need them not negative.
void SubRow2Portable(int64_t* __restrict w, const uint64_t* __restrict vp, size_t n, int64_t lo, int64_t hi) {
    for (size_t i = 0; i < n; ++i)
        w[i] -= lo * static_cast<int64_t>(vp[i + 1]) + hi * static_cast<int64_t>(vp[i]);
}

#if defined(__GNUC__) && defined(__x86_64__)
#pragma GCC diagnostic push
#if !defined(__clang__)  // a GCC warning clang does not know
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
__attribute__((target("avx512f"))) void SubRow2Avx512(int64_t* __restrict w, const uint64_t* __restrict vp,
                                                      size_t n, int64_t lo, int64_t hi) {
    // The remainder's words are loaded and stored on whole cache lines (its window moves
    // by two words a pass, so a line-split access was the rule), the divisor's once each:
    // the words shifted by one come from two loaded vectors, not from a second, split load.
    size_t i = 0;
    for (; i < n && (reinterpret_cast<uintptr_t>(w + i) & 63) != 0; ++i)
        w[i] -= lo * static_cast<int64_t>(vp[i + 1]) + hi * static_cast<int64_t>(vp[i]);
    if (i + 8 <= n) {
        const __m512i ql = _mm512_set1_epi64(lo), qh = _mm512_set1_epi64(hi);
        __m512i cur = _mm512_loadu_si512(vp + i);
        // The next vector is read only while it lies within vp[0..n].
        for (; i + 16 <= n + 1; i += 8) {
            const __m512i next = _mm512_loadu_si512(vp + i + 8);
            const __m512i p = _mm512_add_epi64(_mm512_mul_epu32(ql, _mm512_alignr_epi64(next, cur, 1)),
                                               _mm512_mul_epu32(qh, cur));
            _mm512_store_si512(w + i, _mm512_sub_epi64(_mm512_load_si512(w + i), p));
            cur = next;
        }
        if (i + 8 <= n) {
            const __m512i p = _mm512_add_epi64(_mm512_mul_epu32(ql, _mm512_loadu_si512(vp + i + 1)),
                                               _mm512_mul_epu32(qh, cur));
            _mm512_store_si512(w + i, _mm512_sub_epi64(_mm512_load_si512(w + i), p));
            i += 8;
        }
    }
    SubRow2Portable(w + i, vp + i, n - i, lo, hi);
}

__attribute__((target("avx2"))) void SubRow2Avx2(int64_t* __restrict w, const uint64_t* __restrict vp, size_t n,
                                                 int64_t lo, int64_t hi) {
    const __m256i ql = _mm256_set1_epi64x(lo), qh = _mm256_set1_epi64x(hi);
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const auto* a = reinterpret_cast<const __m256i*>(vp + i + 1);
        const auto* b = reinterpret_cast<const __m256i*>(vp + i);
        const __m256i p = _mm256_add_epi64(_mm256_mul_epu32(ql, _mm256_loadu_si256(a)),
                                           _mm256_mul_epu32(qh, _mm256_loadu_si256(b)));
        auto* x = reinterpret_cast<__m256i*>(w + i);
        _mm256_storeu_si256(x, _mm256_sub_epi64(_mm256_loadu_si256(x), p));
    }
    SubRow2Portable(w + i, vp + i, n - i, lo, hi);
}
#pragma GCC diagnostic pop
#endif

using SubRow2Fn = void (*)(int64_t* __restrict, const uint64_t* __restrict, size_t, int64_t, int64_t);

SubRow2Fn PickSubRow2() {
    if (!CurrentTuning().wideVectors) return SubRow2Portable;
#if defined(__GNUC__) && defined(__x86_64__)
    static const SubRow2Fn best = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f")) return SubRow2Avx512;
        if (__builtin_cpu_supports("avx2")) return SubRow2Avx2;
        return SubRow2Portable;
    }();
    return best;
#else
    return SubRow2Portable;
#endif
}

// w[0..n) -= q[0] v[i] + q[1] v[i - 1] + q[2] v[i - 2] + q[3] v[i - 3]: four rows in one
// pass over the remainder. The divisor comes two words to a 64-bit lane, pa[i] = v[i] +
// 2^32 v[i - 1] and pb[i] = v[i - 2] + 2^32 v[i - 3] (zero below v[0]), so that one load
// serves two rows. q[k] in -2 .. 10^8 + 1; the wide version needs them not negative.
void SubRow4Portable(int64_t* __restrict w, const uint64_t* __restrict pa, const uint64_t* __restrict pb, size_t n,
                     const int64_t* q) {
    const int64_t q0 = q[0], q1 = q[1], q2 = q[2], q3 = q[3];
    for (size_t i = 0; i < n; ++i)
        w[i] -= q0 * static_cast<int64_t>(pa[i] & 0xffffffffu) + q1 * static_cast<int64_t>(pa[i] >> 32) +
                q2 * static_cast<int64_t>(pb[i] & 0xffffffffu) + q3 * static_cast<int64_t>(pb[i] >> 32);
}

#if defined(__GNUC__) && defined(__x86_64__)
#pragma GCC diagnostic push
#if !defined(__clang__)  // a GCC warning clang does not know
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
// The 32-bit widening products take the low half of each lane, so the high one is
// shifted down: 16 products for one load and one store of the remainder's words, against
// 8 in two rows a pass (the remainder's window moves by 32 bytes a pass, so its vectors
// keep their alignment from pass to pass).
__attribute__((target("avx2"))) void SubRow4Avx2(int64_t* __restrict w, const uint64_t* __restrict pa,
                                                 const uint64_t* __restrict pb, size_t n, const int64_t* q) {
    const __m256i q0 = _mm256_set1_epi64x(q[0]), q1 = _mm256_set1_epi64x(q[1]);
    const __m256i q2 = _mm256_set1_epi64x(q[2]), q3 = _mm256_set1_epi64x(q[3]);
    size_t i = 0;
    for (; i < n && (reinterpret_cast<uintptr_t>(w + i) & 31) != 0; ++i)
        SubRow4Portable(w + i, pa + i, pb + i, 1, q);
    for (; i + 4 <= n; i += 4) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pa + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pb + i));
        const __m256i p = _mm256_add_epi64(
            _mm256_add_epi64(_mm256_mul_epu32(q0, a), _mm256_mul_epu32(q1, _mm256_srli_epi64(a, 32))),
            _mm256_add_epi64(_mm256_mul_epu32(q2, b), _mm256_mul_epu32(q3, _mm256_srli_epi64(b, 32))));
        auto* x = reinterpret_cast<__m256i*>(w + i);
        _mm256_store_si256(x, _mm256_sub_epi64(_mm256_load_si256(x), p));
    }
    SubRow4Portable(w + i, pa + i, pb + i, n - i, q);
}
#pragma GCC diagnostic pop
#endif

using SubRow4Fn = void (*)(int64_t* __restrict, const uint64_t* __restrict, const uint64_t* __restrict, size_t,
                           const int64_t*);

// Divisor words from which the processor's best is four rows a pass on AVX2 (Zen 3): both
// are bound by the vector products, which four rows a pass only spares the remainder's
// loads and stores; below, the longer chain of four estimates a pass costs more than
// that (at 125 words, 1,000 digits, four rows take a fifth longer; at 625 they are level,
// at 1250 four rows take an eighth less).
constexpr size_t kFourRowsWords = 600;

// Whether the rows go four to a pass (Tuning::divPassRows) for a divisor of nw words.
bool FourRowsAPass(size_t nw) {
    const size_t rows = CurrentTuning().divPassRows;
    if (rows != 0) return rows == 4;
    return Sets().avx2 && !Sets().avx512f && nw >= kFourRowsWords && CurrentTuning().wideVectors;
}

SubRow4Fn PickSubRow4() {
#if defined(__GNUC__) && defined(__x86_64__)
    if (CurrentTuning().wideVectors && Sets().avx2) return SubRow4Avx2;
#endif
    return SubRow4Portable;
}

// The rows: quotient words qv[j], j = qw - 1 down to 0, the remainder left in rw (whose
// word nw + qw - 1 is the top one carried down, above it nothing). nw >= 2; vp as for
// SubRow2. From five divisor words on, two quotient words a pass: the second estimate
// from the first's effect on the top three words alone (in registers), then both rows in
// one pass, which halves the passes over the remainder and the round trips of the
// estimates' words through memory; four a pass where FourRowsAPass says so (the rows
// left over then go in pairs and singly). Not compiled as clones (the pump's exception
// passes through here); the rows are dispatched. Not vectorised either: the compiler
// would take the estimates' few products on 64-bit words to vectors, which lack that
// product, and lengthen their chain several times.
#if defined(__GNUC__) && !defined(__clang__)
#define TABAI_SCALAR __attribute__((optimize("no-tree-vectorize")))
#else
#define TABAI_SCALAR
#endif
TABAI_SCALAR void DivRows(int64_t* __restrict rw, const uint32_t* __restrict v, const uint64_t* __restrict vp,
                          size_t nw, size_t qw, int64_t* __restrict qv) {
    // The reciprocal of the divisor's top in units of its word nw - 2.
    const double vd = 1.0 / (static_cast<double>(v[nw - 1]) * kW8 + static_cast<double>(v[nw - 2]) +
                             (nw >= 3 ? static_cast<double>(v[nw - 3]) / kW8 : 0.0));
    // In doubles: the top words' rounding moves the estimate by a few hundredths. Each word
    // times its own factor, summed two and two: the estimates are the rows' chain, and this
    // has two additions on it. The floor without the library call that std::floor is on
    // x86-64's baseline (no rounding instruction): truncation of the estimate plus 1024,
    // which is not negative (the estimates lie in -2 .. 10^8 + 1; rounding to the double
    // grid there moves them by less than 10^-7), the offset added among the terms.
    const double c0 = vd, c1 = vd * kW8, c2 = vd * kW8 * kW8;
    auto estimate = [c0, c1, c2](int64_t x2, int64_t x1, int64_t x0) {
        const double t = (static_cast<double>(x0) * c0 + static_cast<double>(x1) * c1) +
                         (static_cast<double>(x2) * c2 + 1024.0);
        return static_cast<int64_t>(t) - 1024;
    };
    size_t rows = 0;
    size_t j = qw;
    if (nw >= 16 && j >= 4 && FourRowsAPass(nw)) {
        // Four quotient words a pass. The estimates read only the remainder's words from
        // nw - 6 above the pass's lowest up, so the rows are subtracted there one at a time
        // as the estimates go (each from the top three words after the rows above it, as a
        // single row's), and below that in one vector loop. The next pass's estimates need
        // only those top words: taken before this pass's long loop, they run beside it.
        const SubRow4Fn subRow4 = PickSubRow4();
        const size_t low = nw - 6;  // the words of a pass's vector loop
        // The divisor two words a lane (SubRow4), aligned like the remainder's vectors.
        const size_t head = (32 - reinterpret_cast<uintptr_t>(rw + (j - 4)) % 32) % 32 / 8;
        // pb[i] = pa[i - 2]: one array, which keeps the pass's data within the first-level
        // cache longer.
        StackBuffer<uint64_t, 1024> pks(low + 12);
        uint64_t* pa = pks.get();
        pa += (32 - reinterpret_cast<uintptr_t>(pa) % 32) % 32 / 8;
        pa += 4 + (4 - head) % 4;
        const uint64_t* pb = pa - 2;
        pa[-2] = pa[-1] = 0;
        for (size_t i = 0; i < low; ++i) pa[i] = v[i] | (i >= 1 ? uint64_t{v[i - 1]} << 32 : 0);
        // The rows p + 3 down to p, one at a time: q[k] := quotient word p + k, its row
        // subtracted from the ten words from p + low up, the top folded down. t[4..9] holds
        // words 4..9 of them (all that the estimates read), t[0..3] what is to be subtracted
        // from words 0..3, which the pass before's vector loop may still be writing.
        int64_t vt[10];  // the divisor's top ten words
        for (size_t y = 0; y < 10; ++y) vt[y] = v[nw - 10 + y];
        auto topRow = [&](auto kc, int64_t* t, int64_t* q) {
            constexpr size_t k = decltype(kc)::value;
            const int64_t qk = estimate(t[k + 6], t[k + 5], t[k + 4]);
            q[k] = qk;
            for (size_t x = 0; x <= k + 5; ++x) t[x] -= qk * vt[4 + x - k];
            t[k + 5] += t[k + 6] * kW8;
            t[k + 6] = 0;
        };
        using K3 = std::integral_constant<size_t, 3>;
        using K2 = std::integral_constant<size_t, 2>;
        using K1 = std::integral_constant<size_t, 1>;
        using K0 = std::integral_constant<size_t, 0>;
        auto loadTop = [&](size_t p, int64_t* t) {
            std::fill(t, t + 4, int64_t{0});
            std::copy(rw + p + low + 4, rw + p + low + 10, t + 4);
        };
        auto storeTop = [&](size_t p, const int64_t* t) {
            for (size_t x = 0; x < 4; ++x) rw[p + low + x] += t[x];
            std::copy(t + 4, t + 10, rw + p + low + 4);
        };
        int64_t cur[4] = {}, next[4] = {}, t[10];
        loadTop(j - 4, t);
        topRow(K3{}, t, cur);
        topRow(K2{}, t, cur);
        topRow(K1{}, t, cur);
        topRow(K0{}, t, cur);
        storeTop(j - 4, t);
        // The vector loop in four parts, the next pass's rows between them: the chain of
        // estimates is spread over the loop instead of waiting for it.
        const size_t part = low / 16 * 4;
        for (; j >= 4; j -= 4) {
            const size_t p = j - 4;
            std::copy(cur, cur + 4, qv + p);
            const SubRow4Fn sub = (cur[0] | cur[1] | cur[2] | cur[3]) >= 0 ? subRow4 : SubRow4Portable;
            int64_t* w = rw + p;
            if (p >= 4) {
                loadTop(p - 4, t);
                topRow(K3{}, t, next);
                sub(w, pa, pb, part, cur);
                topRow(K2{}, t, next);
                sub(w + part, pa + part, pb + part, part, cur);
                topRow(K1{}, t, next);
                sub(w + 2 * part, pa + 2 * part, pb + 2 * part, part, cur);
                topRow(K0{}, t, next);
                sub(w + 3 * part, pa + 3 * part, pb + 3 * part, low - 3 * part, cur);
                storeTop(p - 4, t);
            } else {
                sub(w, pa, pb, low, cur);
            }
            rows += 4;
            if (rows % kDivRows == 0) CarryWordsOnce(w, 0, low);
            if (rows % kPumpRows == 0) pump::ProcessMessages();
            std::copy(next, next + 4, cur);
        }
    }
    if (nw >= 5) {
        const SubRow2Fn subRow2 = PickSubRow2();
        const int64_t s1 = v[nw - 1], s2 = v[nw - 2], s3 = v[nw - 3], s4 = v[nw - 4], s5 = v[nw - 5];
        // The pair's quotient words from the top words of the low row's window w (w[nw + 1]
        // tops the high row's).
        auto estimatePair = [&](const int64_t* w, int64_t& hi, int64_t& lo) {
            hi = estimate(w[nw + 1], w[nw], w[nw - 1]);
            // The low row's top three words after the high row (its top folded in).
            lo = estimate(w[nw] - hi * s1 + w[nw + 1] * kW8, w[nw - 1] - hi * s2, w[nw - 2] - hi * s3);
        };
        int64_t hi = 0, lo = 0;
        if (j >= 2) estimatePair(rw + (j - 2), hi, lo);
        for (; j >= 2; j -= 2) {
            int64_t* w = rw + (j - 2);
            qv[j - 1] = hi;
            qv[j - 2] = lo;
            // The four words the next estimates read first (the low row's top folded down
            // as in the single rows below).
            const int64_t a = w[nw] - hi * s1 + w[nw + 1] * kW8, b = w[nw - 1] - hi * s2, c = w[nw - 2] - hi * s3;
            w[nw + 1] = 0;
            w[nw] = 0;
            w[nw - 1] = b - lo * s1 + a * kW8;
            w[nw - 2] = c - lo * s2;
            w[nw - 3] -= hi * s4 + lo * s3;
            w[nw - 4] -= hi * s5 + lo * s4;
            const int64_t h = hi, l = lo;
            // The next pair's estimates need only those four words: taken before this pass's
            // long loop, their chain of latencies runs beside it instead of after it.
            ((h | l) >= 0 ? subRow2 : SubRow2Portable)(w, vp, nw - 4, l, h);
            if (j >= 4) estimatePair(w - 2, hi, lo);
            rows += 2;
            if (rows % kDivRows == 0) CarryWordsOnce(w, 0, nw - 1);
            if (rows % kPumpRows == 0) pump::ProcessMessages();
        }
    }
    const SubRowFn subRow = PickSubRow();
    // The words the next estimate reads are done first, so that it can overlap the rest.
    const size_t top = nw >= 3 ? nw - 3 : 0;
    while (j-- > 0) {
        int64_t* w = rw + j;
        const int64_t q = estimate(w[nw], w[nw - 1], w[nw - 2]);
        qv[j] = q;
        if (q >= 0) {
            const auto uq = static_cast<uint32_t>(q);
            for (size_t i = top; i < nw; ++i) w[i] -= static_cast<int64_t>(static_cast<uint64_t>(uq) * v[i]);
            subRow(w, v, top, uq);
        } else {
            const auto uq = static_cast<uint32_t>(-q);
            for (size_t i = 0; i < nw; ++i) w[i] += static_cast<int64_t>(static_cast<uint64_t>(uq) * v[i]);
        }
        if (++rows % kDivRows == 0) CarryWordsOnce(w, 0, nw);
        if (rows % kPumpRows == 0) pump::ProcessMessages();
        // The top word is about the remainder's value in its units: below 2^35 even
        // with the carries from below that it stands for, so this fits.
        w[nw - 1] += w[nw] * kW8;
        w[nw] = 0;
    }
}

// The exact quotient from the low end on the same words: column j's quotient word is the
// one that makes word j vanish modulo 10^8 (by the inverse of the divisor's low word),
// its row subtracted with delayed carries like the division's, and word j's carry, exact
// then, taken into word j + 1. Words from lw up are never formed. nw >= 1, v[0] below
// 10^8 and prime to 10, the divisor's other words at most 10^8 + 2. The chain from one
// quotient word to the next stays in registers (word j + 1 and the carry into it); the
// rest of each row, read two rows later, goes through memory. Not compiled as clones: its
// rows are dispatched anyway, and GCC 12's clones of it ended the program on a pump's
// exception instead of passing it on. rw holds lw + 3 words: the AVX2 rows round their
// length up to whole vectors (the divisor's zero padding leaves the words below lw as they
// are; those from lw up are never read) instead of ending in a scalar loop.
void DivExactRows(int64_t* __restrict rw, size_t lw, const uint32_t* __restrict v, size_t nw,
                  uint32_t* __restrict qv) {
    // v[0]'s inverse modulo 10^8 by Newton's steps, each doubling the digits from one.
    uint64_t inv = 0;
    const uint64_t v0 = v[0];
    for (uint64_t x = 1; x < 10; ++x)
        if (v0 * x % 10 == 1) inv = x;
    for (uint64_t mod = 100; mod <= static_cast<uint64_t>(kW8); mod *= mod) {
        const uint64_t t = v0 % mod * inv % mod;
        inv = inv * ((mod + 2 - t) % mod) % mod;
    }
    // x inv modulo 10^8 without reducing x first (Shoup): with s = floor(inv 2^64 / 10^8),
    // x inv - floor(x s / 2^64) 10^8 lies in 0 .. 2 10^8 - 1 for any x below 2^64, so one
    // product's high half and a subtraction replace two reductions on the chain. x is made
    // non-negative by a multiple of 10^8 (words stay below 2^62 in size between carries).
    const uint64_t invS = static_cast<uint64_t>((static_cast<unsigned __int128>(inv) << 64) / kW8);
    constexpr uint64_t kLift = ((uint64_t{1} << 62) / kW8 + 1) * kW8;
    auto times = [](uint64_t q, uint64_t w) { return static_cast<int64_t>(q * w); };
    const uint64_t v1 = nw >= 2 ? v[1] : 0, v2 = nw >= 3 ? v[2] : 0;
    // One column: for t = x + kLift, h = floor(t s / 2^64) and q = t inv - h 10^8 (x inv
    // modulo 10^8, or that plus 10^8: left so, any word congruent to it leaves the column a
    // multiple of 10^8, and the quotient's words are carried at the end), and with
    // v0 inv = 1 + m 10^8, (x - q v0) / 10^8 = h v0 - t m - kLift / 10^8. So the next word
    // y - q v1 + (x - q v0) / 10^8 is y - kLift / 10^8 - t (inv v1 + m) + h (10^8 v1 + v0)
    // (modulo 2^64, as every word): on the chain from x to it only the high product h, one
    // product and one addition, not the quotient word's reduction and the exact division.
    const uint64_t m = (v0 * inv - 1) / static_cast<uint64_t>(kW8);
    const uint64_t cT = inv * v1 + m, cH = static_cast<uint64_t>(kW8) * v1 + v0;
    auto column = [inv, invS, cT, cH](int64_t x, int64_t y, uint32_t& q) {
        const uint64_t t = static_cast<uint64_t>(x) + kLift;
        const auto h = static_cast<uint64_t>((static_cast<unsigned __int128>(t) * invS) >> 64);
        q = static_cast<uint32_t>(t * inv - h * kW8);
        return static_cast<int64_t>(static_cast<uint64_t>(y) - kLift / kW8 - t * cT + h * cH);
    };
    // Two rows a pass over memory: from word j + 3 on, rows j and j + 1 together (SubRow2's
    // layout: the divisor from its word 2, one to a 64-bit lane, then a zero and the 8 words
    // of padding that its vector loads read).
    StackBuffer<uint64_t, 256> vps(nw + 9);
    uint64_t* vp = vps.get();
    for (size_t k = 2; k < nw; ++k) vp[k - 2] = v[k];
    std::fill(vp + (nw >= 2 ? nw - 2 : 0), vp + nw + 9, uint64_t{0});
    const SubRow2Fn subRow2 = PickSubRow2();
#if defined(__GNUC__) && defined(__x86_64__)
    const size_t round = subRow2 == SubRow2Avx2 ? 3 : 0;
#else
    const size_t round = 0;
#endif
    int64_t x = rw[0];  // word j with every row before j subtracted and carried in
    size_t j = 0;
    while (j + 1 < lw) {
        uint32_t q0, q1;
        const int64_t x1 = column(x, rw[j + 1], q0);
        x = column(x1, rw[j + 2] - times(q0, v2), q1);  // word j + 2 (read: rw holds lw + 3)
        qv[j] = q0;
        qv[j + 1] = q1;
        j += 2;
        if (j == lw) break;
        const size_t end = std::min(lw, j + nw - 1);  // past the last word either row reaches
        if (end > j + 1) subRow2(rw + j + 1, vp, (end - (j + 1) + round) & ~round, q0, q1);
        if (j % kRows == 0) {
            rw[j] = x;
            CarryWords(rw, j, lw - 1);
            rw[lw - 1] %= kW8;  // what it carries out reaches only words never formed
            x = rw[j];
        }
        if (j % kPumpRows == 0) pump::ProcessMessages();
    }
    if (j < lw) column(x, 0, qv[j]);
    // The quotient's words into 0 .. 10^8 - 1 (carries of 0 or 1; the last one is beyond
    // the quotient's lw words).
    uint32_t c = 0;
    for (size_t k = 0; k < lw; ++k) {
        const uint32_t t = qv[k] + c;
        c = t >= kW8;
        qv[k] = t - c * static_cast<uint32_t>(kW8);
    }
}

// How many low words of the divisor DivExactOnWords may clear of factors 2 and 5.
constexpr size_t kMaxClearedWords = 4;

// x[0..nw) := the words of 8 digits of a[0..n) (zero beyond) times f < 10^8, each
// product's high half added to the word above instead of carried (word k :=
// w[k] f mod 10^8 + w[k-1] f div 10^8, below 2 10^8; the top one's high half dropped):
// one pass with no chain. T is int64_t (the dividend) or uint32_t (the divisor).
// Words k.. of PackScaledPortable for f > 1, hi the high half carried from word k - 1
// (the vector packs end with it).
template <typename T>
void PackScaledFrom(const Limb* a, size_t n, uint64_t f, T* x, size_t nw, size_t k, uint64_t hi) {
    for (; k < nw; ++k) {
        const uint64_t w = (2 * k < n ? a[2 * k] : 0) + uint64_t{kBase} * (2 * k + 1 < n ? a[2 * k + 1] : 0);
        const uint64_t t = w * f, h = t / kW8;
        x[k] = static_cast<T>(t - h * kW8 + hi);
        hi = h;
    }
}

template <typename T>
void PackScaledPortable(const Limb* a, size_t n, uint64_t f, T* x, size_t nw) {
    if (f == 1) {
        // Nothing to scale (the usual divisor, prime to 10): the limbs paired, in a counted
        // loop the compiler vectorises.
        const size_t pairs = std::min(nw, n / 2);
        for (size_t k = 0; k < pairs; ++k) x[k] = static_cast<T>(a[2 * k] + uint32_t{kBase} * a[2 * k + 1]);
        size_t k = pairs;
        if (k < nw && 2 * k < n) {
            x[k] = static_cast<T>(a[2 * k]);
            ++k;
        }
        std::fill(x + k, x + nw, T{0});
        return;
    }
    PackScaledFrom(a, n, f, x, nw, 0, 0);
}

// The same words scaled again by f < 10^8 (words below 2^32 each, as PackScaled leaves
// them): later rounds of clearing, rare.
template <typename T>
void ScaleWords(T* x, size_t n, uint64_t f) {
    uint64_t hi = 0;
    for (size_t k = 0; k < n; ++k) {
        const uint64_t t = static_cast<uint64_t>(x[k]) * f, h = t / kW8;
        x[k] = static_cast<T>(t - h * kW8 + hi);
        hi = h;
    }
}

#if defined(__GNUC__) && defined(__x86_64__)
#pragma GCC diagnostic push
#if !defined(__clang__)  // a GCC warning clang does not know
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
// PackScaledPortable eight words an iteration: the limb pairs joined by one multiply-add
// of 16-bit lanes, the products (below 5 10^15, exact in doubles) split by 10^8 in
// doubles (the quotient's estimate corrected once), each high half moved one lane up.
template <typename T>
__attribute__((target("avx512f,avx512dq"))) void PackScaledAvx512(const Limb* a, size_t n, uint64_t f, T* x,
                                                                    size_t nw) {
    const __m256i join = _mm256_set1_epi32(1 | static_cast<int>(kBase << 16));
    const __m512d fd = _mm512_set1_pd(static_cast<double>(f)), inv = _mm512_set1_pd(1.0 / kW8);
    const __m512d wd = _mm512_set1_pd(static_cast<double>(kW8)), one = _mm512_set1_pd(1.0);
    __m512i prev = _mm512_setzero_si512();  // lane 7: the last word's high half
    size_t k = 0;
    for (; k + 8 <= nw && 2 * k + 16 <= n; k += 8) {
        const __m256i w = _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + 2 * k)), join);
        __m512i word;
        if (f == 1) {
            word = _mm512_cvtepi32_epi64(w);
        } else {
            const __m512d t = _mm512_mul_pd(_mm512_cvtepi32_pd(w), fd);
            __m512d h = _mm512_roundscale_pd(_mm512_mul_pd(t, inv), _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
            __m512d r = _mm512_fnmadd_pd(h, wd, t);  // t - h 10^8, exact
            const __mmask8 under = _mm512_cmp_pd_mask(r, _mm512_setzero_pd(), _CMP_LT_OQ);
            r = _mm512_mask_add_pd(r, under, r, wd);
            h = _mm512_mask_sub_pd(h, under, h, one);
            const __mmask8 over = _mm512_cmp_pd_mask(r, wd, _CMP_GE_OQ);
            r = _mm512_mask_sub_pd(r, over, r, wd);
            h = _mm512_mask_add_pd(h, over, h, one);
            const __m512i hi = _mm512_cvtpd_epi64(h);
            word = _mm512_add_epi64(_mm512_cvtpd_epi64(r), _mm512_alignr_epi64(hi, prev, 7));
            prev = hi;
        }
        if constexpr (sizeof(T) == 8) {
            _mm512_storeu_si512(x + k, word);
        } else {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(x + k), _mm512_cvtepi64_epi32(word));
        }
    }
    // The rest as the portable loop does, with the carried high half.
    PackScaledFrom(a, n, f, x, nw, k, static_cast<uint64_t>(_mm_extract_epi64(_mm512_extracti64x2_epi64(prev, 3), 1)));
}

// q[0..len) := the limbs of the quotient words qv (below 10^8): sixteen words an
// iteration, split by 10^4 in doubles ((w + 1/2) / 10^4 is never within rounding of an
// integer) and stored as pairs of limbs.
__attribute__((target("avx512f"))) void UnpackQuotientAvx512(const uint32_t* qv, size_t len, Limb* q) {
    const __m512d inv = _mm512_set1_pd(1.0 / kBase), half = _mm512_set1_pd(0.5);
    const __m512i base = _mm512_set1_epi32(static_cast<int>(kBase));
    size_t k = 0;
    for (; 2 * k + 32 <= len; k += 16) {
        const __m512i w = _mm512_loadu_si512(qv + k);
        const __m256i h0 = _mm512_cvttpd_epi32(
            _mm512_mul_pd(_mm512_add_pd(_mm512_cvtepi32_pd(_mm512_castsi512_si256(w)), half), inv));
        const __m256i h1 = _mm512_cvttpd_epi32(
            _mm512_mul_pd(_mm512_add_pd(_mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(w, 1)), half), inv));
        const __m512i h = _mm512_inserti64x4(_mm512_castsi256_si512(h0), h1, 1);
        const __m512i l = _mm512_sub_epi32(w, _mm512_mullo_epi32(h, base));
        _mm512_storeu_si512(q + 2 * k, _mm512_or_si512(l, _mm512_slli_epi32(h, 16)));
    }
    for (; 2 * k < len; ++k) {
        q[2 * k] = static_cast<Limb>(qv[k] % kBase);
        if (2 * k + 1 < len) q[2 * k + 1] = static_cast<Limb>(qv[k] / kBase);
    }
}
#pragma GCC diagnostic pop
#endif

void UnpackQuotientPortable(const uint32_t* qv, size_t len, Limb* q) {
    // The whole words in a counted loop (vectorised), then an odd last limb.
    const size_t words = len / 2;
    for (size_t k = 0; k < words; ++k) {
        q[2 * k] = static_cast<Limb>(qv[k] % kBase);
        q[2 * k + 1] = static_cast<Limb>(qv[k] / kBase);
    }
    if (len % 2 != 0) q[len - 1] = static_cast<Limb>(qv[words] % kBase);
}

#if defined(__GNUC__) && defined(__x86_64__)
#pragma GCC diagnostic push
#if !defined(__clang__)  // a GCC warning clang does not know
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
// PackScaledPortable for f = 1 (nothing to scale) eight words an iteration, each limb
// pair joined by one multiply-add of 16-bit lanes.
template <typename T>
__attribute__((target("avx2"))) void PackWordsAvx2(const Limb* a, size_t n, T* x, size_t nw) {
    const __m256i join = _mm256_set1_epi32(1 | static_cast<int>(kBase << 16));
    size_t k = 0;
    for (; k + 8 <= nw && 2 * k + 16 <= n; k += 8) {
        const __m256i w = _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + 2 * k)), join);
        if constexpr (sizeof(T) == 8) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(x + k), _mm256_cvtepi32_epi64(_mm256_castsi256_si128(w)));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(x + k + 4),
                                _mm256_cvtepi32_epi64(_mm256_extracti128_si256(w, 1)));
        } else {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(x + k), w);
        }
    }
    PackScaledPortable(a + 2 * k, n - 2 * k, 1, x + k, nw - k);
}

// PackScaledPortable for 1 < f <= 5 10^7 four words an iteration: the pairs joined as
// above, the products (below 5 10^15, exact in doubles) split by 10^8 in doubles (the
// quotient's estimate corrected once), each high half moved one lane up.
template <typename T>
__attribute__((target("avx2"))) void PackScaledAvx2(const Limb* a, size_t n, uint64_t f, T* x, size_t nw) {
    const __m128i join = _mm_set1_epi32(1 | static_cast<int>(kBase << 16));
    const __m256d fd = _mm256_set1_pd(static_cast<double>(f)), inv = _mm256_set1_pd(1.0 / kW8);
    const __m256d wd = _mm256_set1_pd(static_cast<double>(kW8)), zero = _mm256_setzero_pd();
    __m128i prev = _mm_setzero_si128();  // lane 3: the last word's high half
    size_t k = 0;
    for (; k + 4 <= nw && 2 * k + 8 <= n; k += 4) {
        const __m128i w = _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 2 * k)), join);
        const __m256d t = _mm256_mul_pd(_mm256_cvtepi32_pd(w), fd);
        __m256d h = _mm256_floor_pd(_mm256_mul_pd(t, inv));
        __m256d r = _mm256_sub_pd(t, _mm256_mul_pd(h, wd));  // exact: both below 2^53
        const __m256d under = _mm256_cmp_pd(r, zero, _CMP_LT_OQ);
        r = _mm256_add_pd(r, _mm256_and_pd(under, wd));
        h = _mm256_sub_pd(h, _mm256_and_pd(under, _mm256_set1_pd(1.0)));
        const __m256d over = _mm256_cmp_pd(r, wd, _CMP_GE_OQ);
        r = _mm256_sub_pd(r, _mm256_and_pd(over, wd));
        h = _mm256_add_pd(h, _mm256_and_pd(over, _mm256_set1_pd(1.0)));
        const __m128i hi = _mm256_cvtpd_epi32(h);
        const __m128i word = _mm_add_epi32(_mm256_cvtpd_epi32(r), _mm_alignr_epi8(hi, prev, 12));
        prev = hi;
        if constexpr (sizeof(T) == 8) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(x + k), _mm256_cvtepi32_epi64(word));
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(x + k), word);
        }
    }
    // The rest as the portable loop does, with the carried high half.
    PackScaledFrom(a, n, f, x, nw, k, static_cast<uint32_t>(_mm_extract_epi32(prev, 3)));
}

// UnpackQuotientPortable eight words an iteration, split by 10^4 in doubles as
// UnpackQuotientAvx512 does.
__attribute__((target("avx2"))) void UnpackQuotientAvx2(const uint32_t* qv, size_t len, Limb* q) {
    const __m256d inv = _mm256_set1_pd(1.0 / kBase), half = _mm256_set1_pd(0.5);
    const __m256i base = _mm256_set1_epi32(static_cast<int>(kBase));
    size_t k = 0;
    for (; 2 * k + 16 <= len; k += 8) {
        const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(qv + k));
        const __m128i h0 =
            _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_add_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(w)), half), inv));
        const __m128i h1 = _mm256_cvttpd_epi32(
            _mm256_mul_pd(_mm256_add_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(w, 1)), half), inv));
        const __m256i h = _mm256_inserti128_si256(_mm256_castsi128_si256(h0), h1, 1);
        const __m256i l = _mm256_sub_epi32(w, _mm256_mullo_epi32(h, base));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(q + 2 * k), _mm256_or_si256(l, _mm256_slli_epi32(h, 16)));
    }
    UnpackQuotientPortable(qv + k, len - 2 * k, q + 2 * k);
}
#pragma GCC diagnostic pop
#endif

// Whether the AVX-512 packing and unpacking run here (and the tuning allows them).
bool UseWideWords() { return Sets().avx512f && Sets().avx512dq && CurrentTuning().wideVectors; }

// Whether the AVX2 ones do instead (AVX2 without AVX-512).
bool UseAvx2Words() { return Sets().avx2 && !Sets().avx512f && CurrentTuning().wideVectors; }

template <typename T>
void PackScaled(const Limb* a, size_t n, uint64_t f, T* x, size_t nw) {
#if defined(__GNUC__) && defined(__x86_64__)
    if (UseWideWords()) {
        PackScaledAvx512(a, n, f, x, nw);
        return;
    }
    if (UseAvx2Words()) {
        if (f == 1) {
            PackWordsAvx2(a, n, x, nw);
        } else {
            PackScaledAvx2(a, n, f, x, nw);
        }
        return;
    }
#endif
    PackScaledPortable(a, n, f, x, nw);
}

// q[0..len) := a / b modulo 10000^len from the low end on 8-digit words, for b[0] != 0.
// While the divisor's low word has factors 2 or 5, both are multiplied by what makes that
// word a multiple of 10^8 and the word is dropped (b dividing a, a's is one too); the
// quotient stays. The first such product is taken while packing the words. Only the low
// len + 2 kMaxClearedWords limbs of a and b are read. Returns false (q untouched) when the
// factors outlast kMaxClearedWords words.
bool DivExactOnWords(const Limb* a, size_t na, const Limb* b, size_t nb, size_t len, Limb* q) {
    const size_t lw = (len + 1) / 2;
    size_t keep = lw + kMaxClearedWords;  // words of a and b that can reach the quotient
    // b F / 10^(8r) < b after r rounds (F the product of the factors), so a word above b's
    // and one more a round hold every carry.
    size_t bw = std::min(keep, (nb + 1) / 2 + 1 + kMaxClearedWords);
    auto gcd = [](uint64_t v0) {  // gcd(v0, 10^8), from the factors 2 and 5 of v0 (not 0)
        uint64_t g = 1;
        for (int k = 0; k < 8 && v0 % 2 == 0; ++k) v0 /= 2, g *= 2;
        for (int k = 0; k < 8 && v0 % 5 == 0; ++k) v0 /= 5, g *= 5;
        return g;
    };
    const uint64_t g0 = gcd(b[0] + uint64_t{kBase} * (nb > 1 ? b[1] : 0));
    StackBuffer<int64_t, 256> xs(keep + 3);  // 3 more for DivExactRows
    StackBuffer<uint32_t, 256> vs(bw), qs(lw);
    int64_t* x = xs.get();
    uint32_t* v = vs.get();
    std::fill(x + keep, x + keep + 3, int64_t{0});
    PackScaled(a, na, g0 == 1 ? 1 : kW8 / g0, x, keep);
    PackScaled(b, nb, g0 == 1 ? 1 : kW8 / g0, v, bw);
    for (size_t round = 0;; ++round) {
        uint64_t g = g0;
        if (round > 0) {
            // The new low words may hold 10^8 or more: their value decides.
            x[1] += x[0] / kW8;
            x[0] %= kW8;
            v[1] += v[0] / static_cast<uint32_t>(kW8);
            v[0] %= static_cast<uint32_t>(kW8);
            g = gcd(v[0]);
        }
        if (g == 1) break;
        if (round == kMaxClearedWords) return false;
        if (round > 0) {
            ScaleWords(x, keep, kW8 / g);
            ScaleWords(v, bw, kW8 / g);
        }
        ++x, ++v, --keep, --bw;
    }
    bw = std::min(bw, lw);
    if (g0 != 1) {
        // The scaled divisor's words (below 3 10^8) brought to at most 10^8 + 2, each one's
        // high part moved to the word above in one pass without a chain (its value modulo
        // 10^(8 bw) is all that counts): the rows' quotient words reach 2 10^8, and their
        // products must stay about 2 10^16.
        uint32_t prev = 0;
        for (size_t k = 0; k < bw; ++k) {
            const uint32_t w = v[k], h = w / static_cast<uint32_t>(kW8);
            v[k] = w - h * static_cast<uint32_t>(kW8) + prev;
            prev = h;
        }
    }
    while (bw > 1 && v[bw - 1] == 0) --bw;
    DivExactRows(x, lw, v, bw, qs.get());
#if defined(__GNUC__) && defined(__x86_64__)
    if (UseWideWords()) {
        UnpackQuotientAvx512(qs.get(), len, q);
        return true;
    }
    if (UseAvx2Words()) {
        UnpackQuotientAvx2(qs.get(), len, q);
        return true;
    }
#endif
    UnpackQuotientPortable(qs.get(), len, q);
    return true;
}

}  // namespace

void DivExactLowWords(const Limb* a, size_t na, const Limb* b, size_t nb, size_t len, Limb* q) {
    DivExactOnWords(a, std::min(na, len), b, std::min(nb, len), len, q);
}

void DivBasecase(const Limb* a, size_t m, const Limb* b, size_t n, Limb* q, Limb* r) {
    // With s = n mod 2 zero limbs below both, the divisor's top word holds b[n-1] in its
    // high half; the quotient stays, the remainder gains s zero limbs at the bottom.
    const size_t s = n % 2;
    const size_t nw = (n + s) / 2, mw = (m + s + 1) / 2, qw = mw - nw + 1;
    // Limbs i of x into word (i + s) / 2 of out[0..nout), zero elsewhere.
    auto pack = [s](const Limb* x, size_t len, auto* out, size_t nout) {
        using T = std::remove_reference_t<decltype(*out)>;
        size_t i = 0, k = 0;
        if (s != 0) out[k++] = static_cast<T>(uint32_t{x[i++]} * kBase);
        // The pairs' count first: a counted loop the compiler vectorises.
        const size_t pairs = (len - i) / 2;
        const Limb* xp = x + i;
        for (size_t p = 0; p < pairs; ++p) out[k + p] = static_cast<T>(xp[2 * p] + uint32_t{xp[2 * p + 1]} * kBase);
        i += 2 * pairs;
        k += pairs;
        if (i < len) out[k++] = x[i];
        std::fill(out + k, out + nout, T{0});
    };
    StackBuffer<uint32_t, 512> vs(nw);
    uint32_t* v = vs.get();
    pack(b, n, v, nw);
    // The divisor's words again, one to a 64-bit lane after a zero (the pair rows' layout).
    StackBuffer<uint64_t, 512> vps(nw + 1);
    uint64_t* vp = vps.get();
    vp[0] = 0;
    std::copy(v, v + nw, vp + 1);
    // The remainder's words, and one above the dividend's for the first estimate.
    StackBuffer<int64_t, 1024> rws(mw + 2), qvs(qw + 1);
    int64_t* rw = rws.get();
    int64_t* qv = qvs.get();
    pack(a, m, rw, mw + 2);
    std::fill(qv, qv + qw + 1, int64_t{0});
    DivRows(rw, v, vp, nw, qw, qv);
    // The remainder into 0 .. V - 1, the quotient word 0 taking the corrections.
    // The rows leave the remainder in rw[0..nw) (the words above, folded down, are zero).
    CarryWordsDown(rw, nw);
    auto compareV = [&]() {
        // Sign of remainder - V (the remainder carried, not negative).
        if (rw[nw] != 0) return rw[nw] < 0 ? -1 : 1;
        for (size_t k = nw; k-- > 0;)
            if (rw[k] != v[k]) return rw[k] < v[k] ? -1 : 1;
        return 0;
    };
    // A correction leaves the words in -10^8 + 1 .. 2 10^8 - 2: one carrying pass.
    while (rw[nw] < 0) {
        for (size_t k = 0; k < nw; ++k) rw[k] += v[k];
        CarryWordsNear(rw, nw);
        --qv[0];
    }
    while (compareV() >= 0) {
        for (size_t k = 0; k < nw; ++k) rw[k] -= v[k];
        CarryWordsNear(rw, nw);
        ++qv[0];
    }
    // The quotient words are near their range but for rare ones (a word one too large
    // leaves about -10^8 in the word below): then one pass does.
    const auto [qmin, qmax] = std::minmax_element(qv, qv + qw);
    if (*qmin > -kW8 && *qmax < 2 * kW8 - 1) {
        CarryWordsNear(qv, qw);
    } else {
        CarryWordsDown(qv, qw);
    }
    // Words into limbs (all words now in 0 .. 10^8 - 1): the quotient's from limb 0, the
    // remainder's from limb s.
    const size_t ql = m - n + 1;
    size_t k = 0;
    for (; 2 * k + 1 < ql; ++k) {
        const auto x = static_cast<uint32_t>(qv[k]);
        q[2 * k] = static_cast<Limb>(x % kBase);
        q[2 * k + 1] = static_cast<Limb>(x / kBase);
    }
    if (2 * k < ql) q[2 * k] = static_cast<Limb>(static_cast<uint32_t>(qv[k]) % kBase);
    size_t i = 0;
    if (s != 0) r[i++] = static_cast<Limb>(static_cast<uint32_t>(rw[0]) / kBase);
    for (; i + 1 < n; i += 2) {
        const auto x = static_cast<uint32_t>(rw[(i + s) / 2]);
        r[i] = static_cast<Limb>(x % kBase);
        r[i + 1] = static_cast<Limb>(x / kBase);
    }
    if (i < n) r[i] = static_cast<Limb>(static_cast<uint32_t>(rw[(i + s) / 2]) % kBase);
}

namespace {

using Vec = std::vector<Limb>;

// True when x >= y (either may carry leading zeros).
bool GreaterEq(const Limb* x, size_t nx, const Limb* y, size_t ny) {
    nx = Trim(x, nx);
    ny = Trim(y, ny);
    if (nx != ny) return nx > ny;
    return CompareN(x, y, nx) >= 0;
}

// x[0..nx) -= y[0..ny), ny <= nx, x >= y.
void SubInPlace(Limb* x, size_t nx, const Limb* y, size_t ny) {
    uint32_t borrow = 0;
    size_t i = 0;
    for (; i < ny; ++i) {
        const uint32_t sub = y[i] + borrow;
        borrow = x[i] < sub;
        x[i] = static_cast<Limb>(x[i] + (borrow ? kBase : 0) - sub);
    }
    for (; borrow && i < nx; ++i) {
        borrow = x[i] == 0;
        x[i] = static_cast<Limb>(borrow ? kBase - 1 : x[i] - 1u);
    }
}

// x[0..n) += 1; returns the carry out.
uint32_t Increment(Limb* x, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (x[i] != kBase - 1) {
            ++x[i];
            return 0;
        }
        x[i] = 0;
    }
    return 1;
}

// out := x * y for arrays that may be zero or carry leading zeros; out has nx + ny limbs.
void MulAny(const Limb* x, size_t nx, const Limb* y, size_t ny, Limb* out) {
    const size_t tx = Trim(x, nx), ty = Trim(y, ny);
    std::fill(out, out + nx + ny, Limb{0});
    if (tx == 0 || ty == 0) return;
    Mul(x, tx, y, ty, out);
}

// r := x mod (10000^len - 1) for any length of x: the chunks of len limbs summed, the
// carry out of the top coming back in at the bottom.
void FoldInto(const Limb* x, size_t nx, size_t len, Vec& r) {
    r.assign(len, 0);
    uint64_t carry = 0;
    for (size_t off = 0; off < nx; off += len) {
        const size_t m = std::min(len, nx - off);
        uint32_t c = 0;
        for (size_t i = 0; i < m; ++i) {
            const uint32_t v = r[i] + x[off + i] + c;
            c = v >= kBase;
            r[i] = static_cast<Limb>(c ? v - kBase : v);
        }
        for (size_t i = m; c && i < len; ++i) {
            const uint32_t v = r[i] + 1u;
            c = v >= kBase;
            r[i] = static_cast<Limb>(c ? 0 : v);
        }
        carry += c;
    }
    while (carry != 0) {
        uint64_t c = carry;
        carry = 0;
        for (size_t i = 0; i < len && c != 0; ++i) {
            const uint64_t v = r[i] + c;
            r[i] = static_cast<Limb>(v % kBase);
            c = v / kBase;
        }
        carry = c;
    }
}

// The most low limbs MulSub takes apart from its cyclic product: limbs that a quadratic
// short product costs far less than a longer transform, as long as they are a small part
// of the result.
size_t MaxWrapLimbs(size_t bound) { return std::min(bound / 16, CurrentTuning().shortProduct); }

// r := w - x * y, for a result known to lie in [0, 10000^bound). When the product is large
// it is taken modulo 10000^L - 1 by a cyclic transform of about half the length of the
// whole product; the high limbs of w and x * y cancel anyway. L >= bound + 1 would decide
// the result alone, but the transform lengths grow in steps of a third to a half: when a
// shorter L leaves out k = bound + 1 - L limbs (a few hundred at most), the result's low k
// limbs come from a quadratic short product instead, and they pin down the multiple of
// 10000^L - 1 that the cyclic result lacks.
void MulSub(const Limb* w, size_t nw, const Limb* x, size_t nx, const Limb* y, size_t ny, size_t bound,
            Vec& r) {
    nx = Trim(x, nx);
    ny = Trim(y, ny);
    if (nx == 0 || ny == 0) {
        r.assign(w, w + nw);
        r.resize(Trim(r.data(), r.size()));
        return;
    }
    size_t len = CyclicLength(bound + 1);
    if (const size_t shorter = CyclicLength(bound + 1 - MaxWrapLimbs(bound)); shorter < len) len = shorter;
    const size_t wrap = bound + 1 > len ? bound + 1 - len : 0;  // the low limbs taken apart
    Vec p;
    if (std::min(nx, ny) >= CurrentTuning().shortProduct && len < nx + ny) {
        // A factor longer than L enters folded modulo 10000^L - 1.
        Vec fx, fy;
        const Limb* cx = x;
        const Limb* cy = y;
        size_t cnx = nx, cny = ny;
        if (nx > len) {
            FoldInto(x, nx, len, fx);
            cx = fx.data();
            cnx = len;
        }
        if (ny > len) {
            FoldInto(y, ny, len, fy);
            cy = fy.data();
            cny = len;
        }
        p.resize(len);
        len = MulCyclic(cx, cnx, cy, cny, bound + 1 - wrap, p.data());  // the same length
    } else if (std::min(nx, ny) < CurrentTuning().shortProduct) {
        // Quadratic products: only the columns that reach the low limbs, then the
        // difference modulo 10000^bound.
        Vec low(bound);
        MulLow(x, nx, y, ny, bound, low.data());
        r.assign(w, w + std::min(nw, bound));
        r.resize(bound, 0);
        SubN(r.data(), low.data(), bound, r.data());
        r.resize(Trim(r.data(), r.size()));
        return;
    } else {
        // No gain from the cyclic product: the whole product, then the plain difference.
        Vec full(nx + ny);
        Mul(x, nx, y, ny, full.data());
        r.assign(w, w + nw);
        SubInPlace(r.data(), nw, full.data(), std::min(Trim(full.data(), nx + ny), nw));
        r.resize(Trim(r.data(), r.size()));
        return;
    }
    Vec wf;
    FoldInto(w, nw, len, wf);
    // wf - p modulo 10000^len - 1; both lie in [0, 10000^len - 1].
    r.resize(len);
    if (!GreaterEq(wf.data(), len, p.data(), len)) {
        // wf + (10000^len - 1 - p): no carry leaves the top, since wf < p.
        uint32_t c = 0;
        for (size_t i = 0; i < len; ++i) {
            const uint32_t v = wf[i] + (kBase - 1 - p[i]) + c;
            c = v >= kBase;
            r[i] = static_cast<Limb>(c ? v - kBase : v);
        }
    } else {
        r = wf;
        SubInPlace(r.data(), len, p.data(), len);
    }
    // 10000^len - 1 stands for 0.
    if (std::all_of(r.begin(), r.end(), [](Limb v) { return v == kBase - 1; })) std::fill(r.begin(), r.end(), Limb{0});
    if (wrap > 0) {
        // The result is D + j (10000^len - 1) for this D in [0, 10000^len - 1) and some
        // 0 <= j < 10000^wrap (it is below 10000^(len + wrap - 1)); modulo 10000^wrap it is
        // D - j, so j = D - (w - x y) modulo 10000^wrap.
        Vec low(wrap), j(wrap);
        MulLow(x, nx, y, ny, wrap, low.data());
        std::copy(w, w + std::min(nw, wrap), j.begin());
        SubN(j.data(), low.data(), wrap, j.data());  // (w - x y) mod 10000^wrap
        std::copy(r.begin(), r.begin() + static_cast<std::ptrdiff_t>(wrap), low.begin());
        SubN(low.data(), j.data(), wrap, j.data());  // j
        // D + j 10000^len - j: j placed above D, then taken from D (no borrow leaves the top,
        // the whole being the result).
        r.resize(len + wrap, 0);
        std::copy(j.begin(), j.end(), r.begin() + static_cast<std::ptrdiff_t>(len));
        SubInPlace(r.data(), len + wrap, j.data(), wrap);
    }
    r.resize(Trim(r.data(), r.size()));
}

// Below this many limbs the reciprocal comes from a long division; the Newton steps on
// short products of packed words are cheaper from about a dozen limbs.
constexpr size_t kReciprocalBase = 12;

// An approximation X of 10000^(2n) / b from below: X <= 10000^(2n) / b < X + 3, for b of
// n limbs with a non-zero top limb. Newton's iteration from the reciprocal of b's top
// half (rounded up, so that the start is below too), which doubles the correct limbs.
Vec Reciprocal(const Limb* b, size_t n) {
    if (n <= kReciprocalBase) {
        Vec num(2 * n + 1, 0);
        num[2 * n] = 1;
        Vec x(n + 2, 0);
        if (n == 1) {
            Vec q(2 * n + 1);
            DivSmall(num.data(), num.size(), b[0], q.data());
            std::copy(q.begin(), q.begin() + static_cast<std::ptrdiff_t>(n + 2), x.begin());
        } else {
            Vec r(n);
            DivSchool(num.data(), num.size(), b, n, x.data(), r.data());
        }
        x.resize(Trim(x.data(), x.size()));
        return x;
    }
    // k limbs of b give k - 1 correct limbs; one step doubles them, and 2k - 2 >= n + 1
    // limbs cover the n + 1 limbs of the result.
    const size_t k = (n + 4) / 2;
    Vec bh(b + (n - k), b + n);
    Vec xh;
    if (Increment(bh.data(), k) != 0) {
        xh.assign(k + 1, 0);  // bh + 1 = 10000^k: its reciprocal is exact
        xh[k] = 1;
    } else {
        xh = Reciprocal(bh.data(), k);
    }
    const size_t nx = xh.size();
    // E = 10000^(n+k) - b * xh, positive since xh * (bh + 1) <= 10000^(2k) and
    // b < (bh + 1) * 10000^(n-k); xh is k limbs accurate, so E < 10000^(n+2).
    Vec one(n + k + 1, 0);
    one[n + k] = 1;
    Vec e;
    MulSub(one.data(), one.size(), b, n, xh.data(), nx, n + 2, e);
    // X = xh * 10000^(n-k) + floor(xh * E / 10000^(2k)). Only E's top limbs matter: leaving
    // out its lowest k - 2 limbs costs less than 1/10000.
    const size_t drop = k - 2;
    Vec x(n + 3, 0);
    std::copy(xh.begin(), xh.end(), x.begin() + static_cast<std::ptrdiff_t>(n - k));
    if (e.size() > drop) {
        const size_t ne = e.size() - drop;
        Vec t(nx + ne);
        MulAny(xh.data(), nx, e.data() + drop, ne, t.data());
        // t / 10000^(2k - drop) = t / 10000^(k + 2) is added.
        const size_t shift = k + 2;
        if (t.size() > shift) {
            const size_t nt = t.size() - shift;
            uint32_t carry = 0;
            size_t i = 0;
            for (; i < nt; ++i) {
                const uint32_t v = x[i] + t[shift + i] + carry;
                carry = v >= kBase;
                x[i] = static_cast<Limb>(carry ? v - kBase : v);
            }
            for (; carry && i < x.size(); ++i) {
                const uint32_t v = x[i] + 1u;
                carry = v >= kBase;
                x[i] = static_cast<Limb>(carry ? 0 : v);
            }
        }
    }
    x.resize(Trim(x.data(), x.size()));
    return x;
}

// The largest error FixByLowLimbs resolves: an estimate at most this many units low.
constexpr uint32_t kMaxLowError = 8;

// For b dividing a, q[0..ql) an estimate of a / b at most kMaxLowError units low, and
// b[0] != 0: adds the missing units, found from the lowest three limbs alone (a - q b =
// e b, so e b = a - q b modulo 10^12). Two e that differ by at most kMaxLowError cannot
// both fit: b mod 10^12 is not a multiple of 10^4, so it holds at most 2^12 5^3 or
// 2^3 5^12 of 10^12, and e b = e' b modulo 10^12 needs 512 | e - e'. Returns false when
// no e fits (a wrong estimate, or b not dividing a).
bool FixByLowLimbs(const Limb* a, size_t m, const Limb* b, size_t n, Limb* q, size_t ql) {
    constexpr uint64_t kMod = uint64_t{kBase} * kBase * kBase;
    auto low = [](const Limb* x, size_t nx) {
        uint64_t v = 0;
        for (size_t i = std::min<size_t>(nx, 3); i-- > 0;) v = v * kBase + x[i];
        return v;
    };
    const uint64_t a3 = low(a, m), b3 = low(b, n), q3 = low(q, ql);
    const uint64_t qb = static_cast<uint64_t>(static_cast<unsigned __int128>(q3) * b3 % kMod);
    const uint64_t rest = (a3 + kMod - qb) % kMod;  // e b modulo 10^12
    for (uint32_t e = 0; e <= kMaxLowError; ++e) {
        if ((static_cast<unsigned __int128>(e) * b3) % kMod != rest) continue;
        for (uint32_t i = 0; i < e; ++i) Increment(q, ql);
        return true;
    }
    return false;
}

// Division by a reciprocal, a block of the quotient at a time from the top; each block's
// estimate is at most a few units low and is corrected by subtracting b. With r null, b
// is known to divide a (and b[0] != 0): the last block's estimate is then corrected from
// the lowest limbs, without the product that the remainder costs.
//
// A quotient of about b's length is taken in two blocks of half its length, by the
// reciprocal of b's top s + 2 limbs only (s the block's length): that reciprocal costs
// half the whole one's Newton steps, and the blocks' products of half the length cost
// about what one whole product does, against one more remainder product.
void DivByReciprocal(const Limb* a, size_t m, const Limb* b, size_t n, Limb* q, Limb* r) {
    const size_t ql = m - n + 1;
    const size_t blocks = std::max<size_t>(CurrentTuning().reciprocalHalves ? 2 : 1, (ql + n - 1) / n);
    const size_t s = (ql + blocks - 1) / blocks;
    // X ~ 10000^(2t) / bt for bt, b's top t limbs: for W below b 10000^s, floor(W / bt
    // 10000^(n-t)) is within one of W div b when t >= s + 2 (bt is within 10000^(1-t) of
    // b / 10000^(n-t) in relative terms), and equal to it from below when t = n.
    const size_t t = std::min(n, s + 2);
    const Vec x = Reciprocal(b + (n - t), t);
    const size_t nx = x.size();
    Vec cur(n, 0);  // the running remainder, below b
    size_t pos = ql;
    std::copy(a + pos, a + m, cur.begin());
    Vec w(n + s + 2), prod(s + t + 8), qe(s + 4), rem;
    while (pos > 0) {
        const size_t len = (pos - 1) % s + 1;
        pos -= len;
        // W = cur * 10000^len + a[pos .. pos + len).
        const size_t nw = len + n;
        std::copy(a + pos, a + pos + len, w.begin());
        std::copy(cur.begin(), cur.end(), w.begin() + static_cast<std::ptrdiff_t>(len));
        // Estimate floor(floor(W / 10000^(n-1)) * X / 10000^(t+1)), one less for a
        // truncated b (so that it is not above W div b).
        const Limb* w1 = w.data() + (n - 1);
        const size_t nw1 = len + 1;
        const size_t nprod = nw1 + nx;
        std::fill(qe.begin(), qe.end(), Limb{0});
        const size_t nq = nprod > t + 1 ? nprod - (t + 1) : 0;
        if (std::min(nw1, nx) < CurrentTuning().shortProduct) {
            // Quadratic sizes: the top columns only, one more unit low at most.
            if (nq > 0) MulHigh(w1, nw1, x.data(), nx, t + 1, qe.data());
        } else {
            MulAny(w1, nw1, x.data(), nx, prod.data());
            std::copy(prod.begin() + static_cast<std::ptrdiff_t>(t + 1),
                      prod.begin() + static_cast<std::ptrdiff_t>(t + 1 + nq), qe.begin());
        }
        if (t < n && Trim(qe.data(), qe.size()) != 0) SubInPlace(qe.data(), qe.size(), std::array<Limb, 1>{1}.data(), 1);
        if (r == nullptr && pos == 0) {
            std::copy(qe.begin(), qe.begin() + static_cast<std::ptrdiff_t>(len), q);
            if (FixByLowLimbs(a, m, b, n, q, m - n + 1)) return;
        }
        // R = W - qe * b (below a few b), then at most a few corrections.
        MulSub(w.data(), nw, qe.data(), nq, b, n, n + 1, rem);
        std::fill(w.begin(), w.end(), Limb{0});
        std::copy(rem.begin(), rem.end(), w.begin());
        while (GreaterEq(w.data(), nw, b, n)) {
            SubInPlace(w.data(), nw, b, n);
            Increment(qe.data(), qe.size());
        }
        std::copy(qe.begin(), qe.begin() + static_cast<std::ptrdiff_t>(len), q + pos);
        std::copy(w.begin(), w.begin() + static_cast<std::ptrdiff_t>(n), cur.begin());
    }
    if (r != nullptr) std::copy(cur.begin(), cur.end(), r);
}

// x[0..n) -= y[0..ny) (ny <= n); returns the borrow out of x's top.
uint32_t SubFrom(Limb* x, size_t n, const Limb* y, size_t ny) {
    uint32_t borrow = SubN(x, y, ny, x);
    for (size_t i = ny; borrow != 0 && i < n; ++i) {
        borrow = x[i] == 0;
        x[i] = static_cast<Limb>(borrow != 0 ? kBase - 1 : x[i] - 1u);
    }
    return borrow;
}

// The quotient top:q[0..n) less one (it is not zero).
void Decrement(uint32_t& top, Limb* q, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (q[i] != 0) {
            --q[i];
            return;
        }
        q[i] = kBase - 1;
    }
    --top;
}

// Divide and conquer (the recursive division of Burnikel and Ziegler): the quotient's
// high half from the top halves of a and b, its product by b's low part subtracted, then
// the low half the same way. A level costs two divisions of half the size and two products
// of half the size, so the fast products carry it.
//
// a[0..n+m) div b[0..n) into top:q[0..m) (top is returned, 0 or 1), the remainder into
// a[0..n) (a's limbs above it are left undefined); requires a < 10000^m (b + 1), m <= n and
// b's top limb at least 5000, which keep each half's estimate at most two too large.
uint32_t DivRecursive(Limb* a, size_t n, size_t m, const Limb* b, Limb* q) {
    if (m < std::max<size_t>(CurrentTuning().divideConquer, 2) || n < 6) {
        StackBuffer<Limb, 512> qt(m + 1), rt(n);
        DivBasecase(a, n + m, b, n, qt.get(), rt.get());
        std::copy(qt.get(), qt.get() + m, q);
        std::copy(rt.get(), rt.get() + n, a);
        return qt.get()[m];
    }
    const size_t k = m / 2, h = m - k;
    Vec p(m);
    // One half: a[off..off+n+len) holds the running remainder over the next len quotient
    // limbs; top:q[0..len) := its quotient by b[k..n), then b[0..k) times it subtracted.
    auto half = [&](size_t off, size_t len, Limb* qh) {
        uint32_t top = DivRecursive(a + off + k, n - k, len, b + k, qh);
        // a[off..off+n+k) - (top:qh) b[0..k) 10000^off, with its sign in `hi`.
        int64_t hi = 0;
        MulAny(qh, len, b, k, p.data());
        hi -= SubFrom(a + off, n, p.data(), len + k);
        if (top != 0) hi -= SubFrom(a + off + len, n - len, b, k);
        while (hi < 0) {
            hi += AddN(a + off, b, n, a + off);
            Decrement(top, qh, len);
        }
        return top;
    };
    const uint32_t top = half(k, h, q + k);
    half(0, k, q);
    return top;
}

// Division by DivRecursive, for n >= 4: both scaled so that b's top limb is at least 5000,
// the quotient taken n limbs at a time from the top.
void DivDivideConquer(const Limb* a, size_t m, const Limb* b, size_t n, Limb* q, Limb* r) {
    const uint32_t f = kBase / (b[n - 1] + 1u);
    Vec u(a, a + m), v(b, b + n);
    u.push_back(f == 1 ? Limb{0} : static_cast<Limb>(ScaleLimbs(u.data(), m, f)));
    if (f != 1) ScaleLimbs(v.data(), n, f);
    // u < 10000^ql v; each block's window holds the remainder so far and the next limbs.
    const size_t ql = m - n + 1;
    for (size_t done = 0; done < ql;) {
        const size_t len = (ql - done - 1) % n + 1;
        done += len;
        DivRecursive(u.data() + (ql - done), n, len, v.data(), q + (ql - done));
    }
    if (f == 1) {
        std::copy(u.begin(), u.begin() + static_cast<std::ptrdiff_t>(n), r);
    } else {
        DivSmall(u.data(), n, f, r);
    }
}

// Division where the divisor is much longer than the quotient: the quotient of the top
// limbs is at most one too large and at most one too small; one less is corrected upward.
void DivTruncated(const Limb* a, size_t m, const Limb* b, size_t n, Limb* q, Limb* r) {
    const size_t ql = m - n + 1;
    const size_t s = n - (ql + 2);
    Vec qt(ql), rt(ql + 2);
    Div(a + s, m - s, b + s, n - s, qt.data(), rt.data());
    // qt - 1 <= a div b <= qt + 1.
    if (Trim(qt.data(), ql) != 0) SubInPlace(qt.data(), ql, std::array<Limb, 1>{1}.data(), 1);
    Vec rem;
    MulSub(a, m, qt.data(), ql, b, n, n + 1, rem);
    rem.resize(n + 1, 0);
    while (GreaterEq(rem.data(), n + 1, b, n)) {
        SubInPlace(rem.data(), n + 1, b, n);
        Increment(qt.data(), ql);
    }
    std::copy(qt.begin(), qt.end(), q);
    std::copy(rem.begin(), rem.begin() + static_cast<std::ptrdiff_t>(n), r);
}

// DivExact from the low end, for b[0] != 0 (see DivExactOnWords).
bool DivExactHensel(const Limb* a, size_t m, const Limb* b, size_t n, Limb* q, size_t ql) {
    return DivExactOnWords(a, m, b, n, ql, q);
}

// DivExact from both ends, for b[0] != 0 and ql >= 2: the quotient's low half from the
// low end, its high half (a[l..m) div b, a division of half the size) from the top. The
// three limbs that both compute fix the high half, at most one off either way when b is
// truncated. Returns false (q untouched) when the low end gives up or the two disagree.
bool DivExactBothEnds(const Limb* a, size_t m, const Limb* b, size_t n, Limb* q, size_t ql) {
    static constexpr size_t kOverlap = 3;
    const size_t l = ql / 2, h = ql - l;
    Vec low(l + kOverlap);
    if (!DivExactHensel(a, m, b, n, low.data(), l + kOverlap)) return false;
    // floor(floor(a / 10000^l) / b) = q div 10000^l; of b only its top h + 2 limbs count.
    Vec high(h), r(n);
    const size_t s = n > h + 2 ? n - (h + 2) : 0;
    Div(a + l + s, m - l - s, b + s, n - s, high.data(), r.data());
    constexpr uint64_t kMod = uint64_t{kBase} * kBase * kBase;
    auto bottom = [](const Limb* x, size_t nx) {
        uint64_t v = 0;
        for (size_t i = std::min(nx, kOverlap); i-- > 0;) v = v * kBase + x[i];
        return v;
    };
    const uint64_t want = bottom(low.data() + l, kOverlap), got = bottom(high.data(), h);
    if ((got + 1) % kMod == want) {
        Increment(high.data(), h);
    } else if ((want + 1) % kMod == got) {
        SubInPlace(high.data(), h, std::array<Limb, 1>{1}.data(), 1);
    } else if (got != want) {
        return false;
    }
    std::copy(low.begin(), low.begin() + static_cast<std::ptrdiff_t>(l), q);
    std::copy(high.begin(), high.end(), q + l);
    return true;
}

}  // namespace

void DivExact(const Limb* a, size_t m, const Limb* b, size_t n, Limb* q) {
    const size_t ql = m - n + 1;
    // b's trailing zero limbs are a's too; without them b[0] != 0, as FixByLowLimbs needs.
    size_t t = 0;
    while (b[t] == 0) ++t;
    a += t;
    b += t;
    m -= t;
    n -= t;
    if (n > 3 && std::min(ql, n) < std::min(CurrentTuning().hensel, CurrentTuning().exactSplit)) {
        if (DivExactHensel(a, m, b, n, q, ql)) return;
    } else if (n > 3 && std::min(ql / 2, n) < CurrentTuning().hensel) {
        if (DivExactBothEnds(a, m, b, n, q, ql)) return;
    }
    if (n > 3 && n > ql + 2) {
        // The quotient depends on the top limbs only: those of a truncated division, which
        // is at most one off either way; one below it is fixed from the low limbs.
        const size_t s = n - (ql + 2);
        Vec qt(ql), rt(ql + 2);
        Div(a + s, m - s, b + s, n - s, qt.data(), rt.data());
        if (Trim(qt.data(), ql) != 0) SubInPlace(qt.data(), ql, std::array<Limb, 1>{1}.data(), 1);
        if (FixByLowLimbs(a, m, b, n, qt.data(), ql)) {
            std::copy(qt.begin(), qt.end(), q);
            return;
        }
    } else if (n > 3 && std::min(ql, n) >= CurrentTuning().hensel) {
        DivByReciprocal(a, m, b, n, q, nullptr);
        return;
    }
    // Short operands, or b not dividing a after all: the division with its remainder.
    Vec r(n);
    Div(a, m, b, n, q, r.data());
}

void Div(const Limb* a, size_t m, const Limb* b, size_t n, Limb* q, Limb* r) {
    if (n <= 3) {
        const uint64_t d = b[0] + uint64_t{kBase} * (n > 1 ? b[1] : 0) +
                           uint64_t{kBase} * kBase * (n > 2 ? b[2] : 0);
        if (d < (uint64_t{1} << 32)) {
            // A divisor below 2^32: one pass, one quotient limb per dividend limb (the top
            // n - 1 of which are zero, since a's top n - 1 limbs are below d).
            uint32_t rem = DivWord(a, m, static_cast<uint32_t>(d), q, m - n + 1);
            for (size_t i = 0; i < n; ++i) {
                r[i] = static_cast<Limb>(rem % kBase);
                rem /= kBase;
            }
            return;
        }
        uint64_t rem = DivWordLong(a, m, d, q, m - n + 1);
        for (size_t i = 0; i < n; ++i) {
            r[i] = static_cast<Limb>(rem % kBase);
            rem /= kBase;
        }
        return;
    }
    const size_t ql = m - n + 1;
    if (std::min(ql, n) < CurrentTuning().divideConquer) {
        DivBasecase(a, m, b, n, q, r);
    } else if (std::min(ql, n) < CurrentTuning().newton) {
        DivDivideConquer(a, m, b, n, q, r);
    } else if (n > ql + 2) {
        DivTruncated(a, m, b, n, q, r);
    } else {
        DivByReciprocal(a, m, b, n, q, r);
    }
}

}  // namespace tabai_kernels
