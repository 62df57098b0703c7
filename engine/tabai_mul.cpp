// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Multiplication kernels of TSeisu: schoolbook, Karatsuba and the dispatcher.
#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/pump.h"
#include "engine/tabai_kernels.h"

namespace tabai_kernels {

int CompareN(const Limb* a, const Limb* b, size_t n) {
    while (n > 0) {
        --n;
        if (a[n] != b[n]) return a[n] < b[n] ? -1 : 1;
    }
    return 0;
}

// Four limbs make one 64-bit word (little-endian lanes of 16 bits). With each lane
// biased by 65536 - 10000, a lane's binary sum passes 65535 exactly when the limbs' sum
// reaches 10000, so one 64-bit addition carries through four limbs at once, and the
// lanes that passed no carry on are those still holding their bias. A subtraction
// borrows in binary exactly when it borrows in base 10000, and a borrowing lane holds
// 65536 + d instead of 10000 + d: the same correction. Both loops vectorise.
namespace {

static_assert(std::endian::native == std::endian::little, "limbs are read as the lanes of a word");
constexpr uint32_t kLaneBias = 65536 - kBase;
constexpr uint64_t kWordBias = kLaneBias * 0x0001000100010001ull;

TABAI_CLONES void Unbias(Limb* __restrict x, size_t n) {
    for (size_t i = 0; i < n; ++i) x[i] = static_cast<Limb>(x[i] >= kLaneBias ? x[i] - kLaneBias : x[i]);
}

}  // namespace

uint32_t AddN(const Limb* a, const Limb* b, size_t n, Limb* out) {
    uint64_t carry = 0;
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        uint64_t x, y;
        std::memcpy(&x, a + i, sizeof x);
        std::memcpy(&y, b + i, sizeof y);
        const unsigned __int128 s = static_cast<unsigned __int128>(x) + y + kWordBias + carry;
        const uint64_t w = static_cast<uint64_t>(s);
        carry = static_cast<uint64_t>(s >> 64);
        std::memcpy(out + i, &w, sizeof w);
    }
    Unbias(out, i);
    for (; i < n; ++i) {
        const uint32_t v = a[i] + b[i] + static_cast<uint32_t>(carry);
        carry = v >= kBase;
        out[i] = static_cast<Limb>(carry ? v - kBase : v);
    }
    return static_cast<uint32_t>(carry);
}

uint32_t SubN(const Limb* a, const Limb* b, size_t n, Limb* out) {
    uint64_t borrow = 0;
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        uint64_t x, y;
        std::memcpy(&x, a + i, sizeof x);
        std::memcpy(&y, b + i, sizeof y);
        const unsigned __int128 d = static_cast<unsigned __int128>(x) - y - borrow;
        const uint64_t w = static_cast<uint64_t>(d);
        borrow = static_cast<uint64_t>(d >> 64) & 1;
        std::memcpy(out + i, &w, sizeof w);
    }
    Unbias(out, i);
    for (; i < n; ++i) {
        const int32_t v = static_cast<int32_t>(a[i]) - b[i] - static_cast<int32_t>(borrow);
        borrow = v < 0;
        out[i] = static_cast<Limb>(borrow ? v + static_cast<int32_t>(kBase) : v);
    }
    return static_cast<uint32_t>(borrow);
}

namespace {

// A zeroed 32-bit accumulator array for the schoolbook kernels, on the stack when small.
class Accumulator : public StackBuffer<uint32_t, 256> {
public:
    explicit Accumulator(size_t n) : StackBuffer(n) { std::fill(get(), get() + n, 0u); }
};

// Rows of limb products are summed in 32-bit words and carried only every kRows rows:
// a product is below 10^8, so 40 rows plus a settled word (< 10000) and an incoming
// carry stay below 2^32.
constexpr size_t kRows = 40;

// Settles t[from..] into limbs below 10000, carrying upward until the carry dies out
// at or beyond `upto`.
void Settle(uint32_t* t, size_t from, size_t upto, size_t n) {
    uint32_t carry = 0;
    size_t k = from;
    for (; k < upto; ++k) {
        uint32_t v = t[k] + carry;
        t[k] = v % kBase;
        carry = v / kBase;
    }
    for (; carry != 0 && k < n; ++k) {
        uint32_t v = t[k] + carry;
        t[k] = v % kBase;
        carry = v / kBase;
    }
}

// t[0..n) += a[0..n) * m: one row of the schoolbook product.
TABAI_CLONES void AddRow(uint32_t* __restrict t, const Limb* __restrict a, size_t n, uint32_t m) {
    for (size_t i = 0; i < n; ++i) t[i] += static_cast<uint32_t>(a[i]) * m;
}

}  // namespace

void MulSchool(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out) {
    const size_t n = na + nb;
    if (nb <= 2 || na <= 2) {
        // A factor below 10^8 (a long number times a small one, as sums of fractions make
        // them): one pass with a 64-bit carry.
        for (size_t j = 0; j < nb; ++j) pump::ProcessMessages();
        const bool smallB = nb <= 2;
        const Limb* x = smallB ? a : b;
        const size_t nx = smallB ? na : nb;
        const Limb* y = smallB ? b : a;
        const size_t ny = smallB ? nb : na;
        const uint64_t m = y[0] + (ny > 1 ? uint64_t{kBase} * y[1] : 0);
        constexpr uint64_t kPair = uint64_t{kBase} * kBase;
        // Two limbs at a time (base 10^8): below 10^16 plus a carry below 10^8.
        uint64_t carry = 0;
        size_t i = 0;
        for (; i + 1 < nx; i += 2) {
            const uint64_t t = (x[i] + uint64_t{kBase} * x[i + 1]) * m + carry;
            const uint32_t low = static_cast<uint32_t>(t % kPair);
            carry = t / kPair;
            out[i] = static_cast<Limb>(low % kBase);
            out[i + 1] = static_cast<Limb>(low / kBase);
        }
        for (; i < nx; ++i) {
            const uint64_t t = x[i] * m + carry;
            out[i] = static_cast<Limb>(t % kBase);
            carry = t / kBase;
        }
        for (i = nx; i < n; ++i) {
            out[i] = static_cast<Limb>(carry % kBase);
            carry /= kBase;
        }
        return;
    }
    if (na <= 8 && nb <= 8) {
        // Small numbers, the calculator's daily bread: each column summed in 64 bits (at
        // most 8 products below 10^8) with the carry, no buffer at all.
        for (size_t j = 0; j < nb; ++j) pump::ProcessMessages();
        uint64_t carry = 0;
        for (size_t k = 0; k < n; ++k) {
            uint64_t v = carry;
            const size_t lo = k + 1 > nb ? k + 1 - nb : 0, hi = std::min(k + 1, na);
            for (size_t i = lo; i < hi; ++i) v += static_cast<uint64_t>(a[i]) * b[k - i];
            out[k] = static_cast<Limb>(v % kBase);
            carry = v / kBase;
        }
        return;
    }
    Accumulator acc(n);
    uint32_t* t = acc.get();
    size_t pending = 0;
    size_t low = 0;  // lowest word touched since the last settling
    for (size_t j = 0; j < nb; ++j) {
        pump::ProcessMessages();
        const uint32_t m = b[j];
        if (m != 0) AddRow(t + j, a, na, m);
        if (++pending == kRows) {
            Settle(t, low, j + na, n);
            pending = 0;
            low = j + 1;
        }
    }
    Settle(t, low, n, n);
    for (size_t k = 0; k < n; ++k) out[k] = static_cast<Limb>(t[k]);
}

void SqrSchool(const Limb* a, size_t n, Limb* out) {
    const size_t n2 = 2 * n;
    Accumulator acc(n2);
    uint32_t* t = acc.get();
    size_t pending = 0;
    size_t low = 0;
    // Products a[i] * a[j] with i > j, once each; doubled and joined by the squares below.
    for (size_t j = 0; j < n; ++j) {
        pump::ProcessMessages();
        const uint32_t m = a[j];
        if (m != 0 && j + 1 < n) AddRow(t + 2 * j + 1, a + j + 1, n - j - 1, m);
        if (++pending == kRows) {
            Settle(t, low, j + n, n2);
            pending = 0;
            low = 2 * j + 1;
        }
    }
    Settle(t, low, n2, n2);
    uint32_t carry = 0;
    for (size_t k = 0; k < n2; ++k) {
        uint32_t v = 2 * t[k] + carry;
        if ((k & 1) == 0) v += static_cast<uint32_t>(a[k / 2]) * a[k / 2];
        out[k] = static_cast<Limb>(v % kBase);
        carry = v / kBase;
    }
}

namespace {

// The quadratic product: the limb kernels for a factor of one or two limbs or two tiny
// factors (no packing to pay for), packed words otherwise.
void MulQuadratic(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out) {
    if (std::min(na, nb) <= 2 || (na <= 8 && nb <= 8)) {
        MulSchool(a, na, b, nb, out);
    } else {
        MulBasecase(a, na, b, nb, out);
    }
}

void SqrQuadratic(const Limb* a, size_t n, Limb* out) {
    if (n <= 2) {
        MulSchool(a, n, a, n, out);
    } else {
        SqrBasecase(a, n, out);
    }
}

// a[0..n) += b[0..nb), nb <= n; returns the carry out of a[n-1].
uint32_t AddInto(Limb* a, size_t n, const Limb* b, size_t nb) {
    uint32_t carry = 0;
    size_t i = 0;
    for (; i < nb; ++i) {
        uint32_t s = a[i] + b[i] + carry;
        carry = s >= kBase;
        a[i] = static_cast<Limb>(s - (carry ? kBase : 0));
    }
    for (; carry && i < n; ++i) {
        uint32_t s = a[i] + 1u;
        carry = s >= kBase;
        a[i] = static_cast<Limb>(carry ? 0 : s);
    }
    return carry;
}

// a[0..n) -= b[0..nb), nb <= n; the result must not be negative.
void SubFrom(Limb* a, size_t n, const Limb* b, size_t nb) {
    uint32_t borrow = 0;
    size_t i = 0;
    for (; i < nb; ++i) {
        int32_t d = static_cast<int32_t>(a[i]) - b[i] - static_cast<int32_t>(borrow);
        borrow = d < 0;
        a[i] = static_cast<Limb>(d + (borrow ? static_cast<int32_t>(kBase) : 0));
    }
    for (; borrow && i < n; ++i) {
        borrow = a[i] == 0;
        a[i] = static_cast<Limb>(borrow ? kBase - 1 : a[i] - 1);
    }
}

// out[0..n+1) := a[0..h) + a[h..n) (n - h <= h), i.e. h + 1 limbs.
void AddHalves(const Limb* a, size_t h, size_t n, Limb* out) {
    std::memcpy(out, a, h * sizeof(Limb));
    out[h] = static_cast<Limb>(AddInto(out, h, a + h, n - h));
}

void KaratsubaRec(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out, Limb* scratch);
void KaratsubaSqrRec(const Limb* a, size_t n, Limb* out, Limb* scratch);

// Scratch needed by KaratsubaRec for sizes up to n (generous): 6n + 64 per level.
size_t ScratchFor(size_t n) { return 8 * n + 256; }

// a * b with na >= nb; unbalanced operands are cut into pieces of b's size.
void MulUnbalanced(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out,
                   Limb* scratch) {
    // out[0..nb) gets the first piece's product; the rest accumulates.
    std::fill(out, out + na + nb, Limb{0});
    Limb* piece = scratch;  // 2 * nb limbs
    Limb* rest = scratch + 2 * nb;
    for (size_t off = 0; off < na; off += nb) {
        const size_t len = std::min(nb, na - off);
        if (len >= nb) {
            KaratsubaRec(a + off, len, b, nb, piece, rest);
        } else {
            KaratsubaRec(b, nb, a + off, len, piece, rest);
        }
        AddInto(out + off, na + nb - off, piece, len + nb);
    }
}

void KaratsubaRec(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out, Limb* scratch) {
    if (na < nb) {
        std::swap(a, b);
        std::swap(na, nb);
    }
    if (nb < CurrentTuning().karatsuba) {
        MulQuadratic(a, na, b, nb, out);
        return;
    }
    if (nb >= CurrentTuning().ntt && na + nb <= NttMaxProduct()) {
        MulTransform(a, na, b, nb, out);
        return;
    }
    if (na >= 2 * nb) {
        MulUnbalanced(a, na, b, nb, out, scratch);
        return;
    }
    // a = a1 * B^h + a0, b = b1 * B^h + b0 with nb > h >= na - h.
    const size_t h = (na + 1) / 2;
    const size_t na1 = na - h, nb1 = nb - h;
    KaratsubaRec(a, h, b, h, out, scratch);                  // z0 -> out[0..2h)
    if (nb1 > 0) {
        KaratsubaRec(a + h, na1, b + h, nb1, out + 2 * h, scratch);  // z2 -> out[2h..)
    } else {
        std::fill(out + 2 * h, out + na + nb, Limb{0});
    }
    Limb* sa = scratch;              // h + 1
    Limb* sb = sa + (h + 1);         // h + 1
    Limb* z1 = sb + (h + 1);         // 2h + 2
    Limb* next = z1 + (2 * h + 2);
    AddHalves(a, h, na, sa);
    if (nb1 > 0) {
        AddHalves(b, h, nb, sb);
    } else {
        std::memcpy(sb, b, h * sizeof(Limb));
        sb[h] = 0;
    }
    const size_t la = Trim(sa, h + 1), lb = Trim(sb, h + 1);
    std::fill(z1, z1 + 2 * h + 2, Limb{0});
    if (la > 0 && lb > 0) KaratsubaRec(sa, la, sb, lb, z1, next);
    // z1 := (a0 + a1)(b0 + b1) - z0 - z2, then out += z1 * B^h.
    SubFrom(z1, 2 * h + 2, out, 2 * h);
    if (nb1 > 0) SubFrom(z1, 2 * h + 2, out + 2 * h, na1 + nb1);
    AddInto(out + h, na + nb - h, z1, std::min(2 * h + 2, na + nb - h));
}

void KaratsubaSqrRec(const Limb* a, size_t n, Limb* out, Limb* scratch) {
    if (n < CurrentTuning().karatsuba) {
        SqrQuadratic(a, n, out);
        return;
    }
    if (n >= CurrentTuning().sqrNtt && 2 * n <= NttMaxProduct()) {
        SqrTransform(a, n, out);
        return;
    }
    const size_t h = (n + 1) / 2;
    const size_t n1 = n - h;
    KaratsubaSqrRec(a, h, out, scratch);
    KaratsubaSqrRec(a + h, n1, out + 2 * h, scratch);
    Limb* sa = scratch;
    Limb* z1 = sa + (h + 1);
    Limb* next = z1 + (2 * h + 2);
    AddHalves(a, h, n, sa);
    const size_t la = Trim(sa, h + 1);
    std::fill(z1, z1 + 2 * h + 2, Limb{0});
    KaratsubaSqrRec(sa, la, z1, next);
    SubFrom(z1, 2 * h + 2, out, 2 * h);
    SubFrom(z1, 2 * h + 2, out + 2 * h, 2 * n1);
    AddInto(out + h, 2 * n - h, z1, std::min(2 * h + 2, 2 * n - h));
}

}  // namespace

void MulTransform(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out) {
    if (FftFits(na, nb) || FftFitsOperands(a, na, b, nb)) {
        MulFft(a, na, b, nb, out);
    } else {
        FftReleaseTablesPast(na, nb);
        MulNtt(a, na, b, nb, out);
    }
}

void SqrTransform(const Limb* a, size_t n, Limb* out) {
    if (FftFits(n, n) || FftFitsOperands(a, n, nullptr, n)) {
        SqrFft(a, n, out);
    } else {
        FftReleaseTablesPast(n, n);
        SqrNtt(a, n, out);
    }
}

size_t MulCyclic(const Limb* a, size_t na, const Limb* b, size_t nb, size_t minLen, Limb* out) {
    return FftCyclicFits(minLen) ? MulFftCyclic(a, na, b, nb, minLen, out) : MulNttCyclic(a, na, b, nb, minLen, out);
}

size_t CyclicLength(size_t minLen) {
    return FftCyclicFits(minLen) ? FftCyclicLength(minLen) : NttCyclicLength(minLen);
}

namespace {

// The transform thresholds (products, squares) for the quadratic products this
// processor runs.
std::pair<size_t, size_t> TransformFrom(const Tuning& t) {
    if (t.wideVectors && HasMul52()) return {t.ntt52, t.sqrNtt52};
    if (t.wideVectors && HasAvx2()) return {t.nttAvx2, t.sqrNttAvx2};
    return {t.ntt, t.sqrNtt};
}

}  // namespace

void MulKaratsuba(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out) {
    std::vector<Limb> scratch(ScratchFor(std::max(na, nb)));
    KaratsubaRec(a, na, b, nb, out, scratch.data());
}

// Measured on an AMD EPYC (Zen 4) core: the quadratic products beat Karatsuba at every
// size where the transforms do not win already, so Karatsuba only splits products too
// long for one transform.
void Mul(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out) {
    const size_t small = std::min(na, nb);
    const size_t ntt = TransformFrom(CurrentTuning()).first;
    if (small < ntt || na + nb < 3 * ntt) {
        // The pump runs once per limb of b, the second factor, as the schoolbook demands.
        MulQuadratic(a, na, b, nb, out);
    } else if (na + nb <= NttMaxProduct()) {
        MulTransform(a, na, b, nb, out);
    } else {
        MulKaratsuba(a, na, b, nb, out);
    }
}

void Sqr(const Limb* a, size_t n, Limb* out) {
    if (n < TransformFrom(CurrentTuning()).second) {
        SqrQuadratic(a, n, out);
    } else if (2 * n <= NttMaxProduct()) {
        SqrTransform(a, n, out);
    } else {
        std::vector<Limb> scratch(ScratchFor(n));
        KaratsubaSqrRec(a, n, out, scratch.data());
    }
}

}  // namespace tabai_kernels
