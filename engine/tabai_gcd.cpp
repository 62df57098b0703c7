// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Greatest common divisor of TSeisu limb arrays: Lehmer's algorithm.
//
// Euclid's algorithm spends a whole pass over both numbers on every quotient, and most
// quotients are small. Lehmer's method runs Euclid on the leading 18 digits of both
// numbers in 64-bit words, as long as those digits determine the quotients exactly
// (Knuth's two-sided test), collecting the steps in a 2x2 matrix of cofactors; one pass
// over the numbers then applies the matrix, which removes about 9 digits at once (the
// passes on words below take the leading 37 digits in two such rounds and remove about
// 18, and up to three times that in one pass on long numbers).
#include <algorithm>
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif
#include <utility>
#include <vector>

#include "engine/pump.h"
#include "engine/tabai_kernels.h"

namespace tabai_kernels {

namespace {

using Vec = std::vector<Limb>;

uint64_t ToU64(const Limb* x, size_t n) {
    uint64_t v = 0;
    for (size_t i = n; i-- > 0;) v = v * kBase + x[i];
    return v;
}

unsigned __int128 ToU128(const Limb* x, size_t n) {
    unsigned __int128 v = 0;
    for (size_t i = n; i-- > 0;) v = v * kBase + x[i];
    return v;
}

Vec FromU64(uint64_t v) {
    Vec out;
    while (v != 0) {
        out.push_back(static_cast<Limb>(v % kBase));
        v /= kBase;
    }
    return out;
}

// floor(x / 10^shift) for a shift that leaves at most 19 digits.
uint64_t Leading(const Limb* x, size_t n, size_t shift) {
    const size_t limbs = shift / 4;
    unsigned __int128 v = 0;
    for (size_t i = n; i-- > limbs;) v = v * kBase + x[i];
    for (size_t d = shift % 4; d > 0; --d) v /= 10;
    return static_cast<uint64_t>(v);
}

size_t DigitCount(const Limb* x, size_t n) {
    const uint32_t top = x[n - 1];
    return 4 * (n - 1) + (top >= 1000 ? 4 : top >= 100 ? 3 : top >= 10 ? 2 : 1);
}

// (x, y) := (a x + b y, c x + d y) over the first n limbs (y zero-padded to n); the
// results are known to be non-negative. Two limbs are taken at a time (base 10^8): with
// |a|, |b|, |c|, |d| <= 2 * 10^9 every sum stays below 5 * 10^17, and a bias of 10^18
// (a multiple of 10^8) keeps every intermediate unsigned.
void Apply(Limb* x, Limb* y, size_t n, int64_t a, int64_t b, int64_t c, int64_t d) {
    constexpr int64_t kD = 100000000;
    constexpr int64_t kBias = 1000000000000000000;
    int64_t cx = 0, cy = 0;
    size_t i = 0;
    for (; i + 1 < n; i += 2) {
        const int64_t xi = x[i] + static_cast<int64_t>(kBase) * x[i + 1];
        const int64_t yi = y[i] + static_cast<int64_t>(kBase) * y[i + 1];
        const uint64_t tx = static_cast<uint64_t>(a * xi + b * yi + cx + kBias);
        const uint64_t ty = static_cast<uint64_t>(c * xi + d * yi + cy + kBias);
        const uint32_t rx = static_cast<uint32_t>(tx % kD), ry = static_cast<uint32_t>(ty % kD);
        x[i] = static_cast<Limb>(rx % kBase);
        x[i + 1] = static_cast<Limb>(rx / kBase);
        y[i] = static_cast<Limb>(ry % kBase);
        y[i + 1] = static_cast<Limb>(ry / kBase);
        cx = static_cast<int64_t>(tx / kD) - kBias / kD;
        cy = static_cast<int64_t>(ty / kD) - kBias / kD;
    }
    if (i < n) {
        const int64_t xi = x[i], yi = y[i];
        const uint64_t tx = static_cast<uint64_t>(a * xi + b * yi + cx + kBias);
        const uint64_t ty = static_cast<uint64_t>(c * xi + d * yi + cy + kBias);
        x[i] = static_cast<Limb>(tx % kBase);
        y[i] = static_cast<Limb>(ty % kBase);
    }
}

}  // namespace

namespace {

// --- signed numbers and 2x2 matrices for the half-gcd --------------------------------

struct Signed {
    Vec mag;  // trimmed
    bool neg = false;
};

// A unimodular matrix U = (u[0] u[1]; u[2] u[3]) with (x, y) = U (a, b) for the pair
// (a, b) that a reduction started from.
struct Matrix {
    Signed u[4];
    Matrix() {
        u[0].mag = {1};
        u[3].mag = {1};
    }
};

bool Less(const Vec& x, const Vec& y) {
    if (x.size() != y.size()) return x.size() < y.size();
    return CompareN(x.data(), y.data(), x.size()) < 0;
}

Vec MulVec(const Vec& x, const Vec& y) {
    if (x.empty() || y.empty()) return {};
    Vec out(x.size() + y.size());
    if (&x == &y) {
        Sqr(x.data(), x.size(), out.data());
    } else if (x.size() >= y.size()) {
        Mul(x.data(), x.size(), y.data(), y.size(), out.data());
    } else {
        Mul(y.data(), y.size(), x.data(), x.size(), out.data());
    }
    out.resize(Trim(out.data(), out.size()));
    return out;
}

Vec AddVec(const Vec& x, const Vec& y) {
    const Vec& l = x.size() >= y.size() ? x : y;
    const Vec& s = x.size() >= y.size() ? y : x;
    Vec out(l.size() + 1);
    uint32_t carry = AddN(l.data(), s.data(), s.size(), out.data());
    for (size_t i = s.size(); i < l.size(); ++i) {
        const uint32_t v = l[i] + carry;
        carry = v >= kBase;
        out[i] = static_cast<Limb>(carry ? 0 : v);
    }
    out[l.size()] = static_cast<Limb>(carry);
    out.resize(Trim(out.data(), out.size()));
    return out;
}

// x - y for x >= y.
Vec SubVec(const Vec& x, const Vec& y) {
    Vec out(x.size());
    uint32_t borrow = SubN(x.data(), y.data(), y.size(), out.data());
    for (size_t i = y.size(); i < x.size(); ++i) {
        const bool through = borrow != 0 && x[i] == 0;
        out[i] = static_cast<Limb>(through ? kBase - 1 : x[i] - borrow);
        borrow = through;
    }
    out.resize(Trim(out.data(), out.size()));
    return out;
}

Signed Add(const Signed& p, const Signed& q) {
    Signed r;
    if (p.neg == q.neg) {
        r.mag = AddVec(p.mag, q.mag);
        r.neg = p.neg;
    } else if (Less(p.mag, q.mag)) {
        r.mag = SubVec(q.mag, p.mag);
        r.neg = q.neg;
    } else {
        r.mag = SubVec(p.mag, q.mag);
        r.neg = p.neg;
    }
    if (r.mag.empty()) r.neg = false;
    return r;
}

Signed MulSigned(const Signed& p, const Signed& q) {
    Signed r;
    r.mag = MulVec(p.mag, q.mag);
    r.neg = !r.mag.empty() && p.neg != q.neg;
    return r;
}

// Sets r := x * f + y * g (signed, |f|, |g| <= 2 * 10^9) over n limbs of x and y (zero
// beyond their lengths), in one pass with a signed carry.
void Combine(const Signed& x, int64_t f, const Signed& y, int64_t g, Signed& r) {
    // Two limbs a step (base 10^8): each product is below 2 * 10^17, and a bias of 10^18
    // (a multiple of 10^8) keeps the sum unsigned. r may be y: limbs are read before
    // they are written, and y's length is taken first.
    constexpr int64_t kD = 100000000;
    constexpr int64_t kBias = 1000000000000000000;
    const int64_t fx = x.neg ? -f : f, gy = y.neg ? -g : g;
    const size_t nx = x.mag.size(), ny = y.mag.size();
    const size_t n = (std::max(nx, ny) + 4) & ~size_t{1};
    Vec& out = r.mag;
    out.resize(n);
    auto pair = [](const Vec& v, size_t nv, size_t i) {
        const int64_t lo = i < nv ? v[i] : 0, hi = i + 1 < nv ? v[i + 1] : 0;
        return lo + static_cast<int64_t>(kBase) * hi;
    };
    int64_t carry = 0;
    for (size_t i = 0; i < n; i += 2) {
        const int64_t xi = pair(x.mag, nx, i), yi = pair(y.mag, ny, i);
        const uint64_t t = static_cast<uint64_t>(fx * xi + gy * yi + carry + kBias);
        const uint32_t low = static_cast<uint32_t>(t % kD);
        out[i] = static_cast<Limb>(low % kBase);
        out[i + 1] = static_cast<Limb>(low / kBase);
        carry = static_cast<int64_t>(t / kD) - kBias / kD;
    }
    // |r| < 10000^n, so the carry left is 0, or -1 for a negative r (whose limbs then hold
    // 10000^n - |r|).
    r.neg = carry < 0;
    if (r.neg) {
        uint32_t add = 1;
        for (size_t i = 0; i < n; ++i) {
            const uint32_t v = kBase - 1 - out[i] + add;
            add = v >= kBase;
            out[i] = static_cast<Limb>(add ? v - kBase : v);
        }
    }
    out.resize(Trim(out.data(), n));
    if (out.empty()) r.neg = false;
}

// U := L U for the small matrix L = (a b; c d).
void LeftMultiplySmall(Matrix& m, int64_t a, int64_t b, int64_t c, int64_t d) {
    Signed t;
    for (int col = 0; col < 2; ++col) {
        Combine(m.u[col], a, m.u[2 + col], b, t);
        Combine(m.u[col], c, m.u[2 + col], d, m.u[2 + col]);
        std::swap(m.u[col], t);
    }
}

// Whether the operands are all long enough for transforms, and short enough for one:
// then the sums of products below share their transforms. Sharing saves a third of the
// transforms or more, so they win from shorter operands than a single product's; with
// the 52-bit multiply-add vectors the quadratic products keep up with them longer (a
// small matrix times long numbers, as when a gcd is nearly as long as the numbers,
// measured 1.85 -> 1.38 times GMP's time at 246,000 digits).
constexpr size_t kSharedTransformLimbs = 250;
constexpr size_t kSharedTransformLimbs52 = 400;
bool SharedTransformsPay(const Signed* const* ops, size_t count) {
    const size_t least = CurrentTuning().wideVectors && HasMul52() ? kSharedTransformLimbs52 : kSharedTransformLimbs;
    for (size_t i = 0; i < count; ++i) {
        const size_t n = ops[i]->mag.size();
        if (n < least || 2 * n > NttMaxProduct()) return false;
    }
    return true;
}

// The sums of products `pairs` of the operands `ops` through shared transforms.
void SharedProducts(const Signed* const* ops, size_t count, const ProductPair* pairs, size_t npairs,
                    Signed** out) {
    SignedSpan in[8];
    for (size_t i = 0; i < count; ++i) in[i] = {ops[i]->mag.data(), ops[i]->mag.size(), ops[i]->neg};
    Vec mag[4];
    bool neg[4];
    if (FftPairsFit(in, pairs, npairs)) {
        MulPairsFft(in, count, pairs, npairs, mag, neg);
    } else {
        MulPairs(in, count, pairs, npairs, mag, neg);
    }
    for (size_t k = 0; k < npairs; ++k) {
        out[k]->mag = std::move(mag[k]);
        out[k]->neg = neg[k];
    }
}

// p1 q1 + p2 q2. Where both products are quadratic anyway, one pass over packed words
// sums them column by column and carries once.
Signed SumOfProducts(const Signed& p1, const Signed& q1, const Signed& p2, const Signed& q2) {
    auto quadratic = [](const Signed& a, const Signed& b) {
        const size_t na = a.mag.size(), nb = b.mag.size();
        return std::min(na, nb) < CurrentTuning().ntt || na + nb < 3 * CurrentTuning().ntt;
    };
    if (CurrentTuning().gcdWords && quadratic(p1, q1) && quadratic(p2, q2)) {
        auto span = [](const Signed& v) { return SignedSpan{v.mag.data(), v.mag.size(), v.neg}; };
        Signed r;
        r.neg = MulAddWords(span(p1), span(q1), span(p2), span(q2), r.mag);
        return r;
    }
    return Add(MulSigned(p1, q1), MulSigned(p2, q2));
}

// (p, q) := (u0 x + u1 y, u2 x + u3 y).
void MatrixTimes(const Matrix& m, const Signed& x, const Signed& y, Signed& p, Signed& q) {
    const Signed* ops[6] = {&m.u[0], &m.u[1], &m.u[2], &m.u[3], &x, &y};
    if (SharedTransformsPay(ops, 6)) {
        const ProductPair pairs[2] = {{0, 4, 1, 5}, {2, 4, 3, 5}};
        Signed* out[2] = {&p, &q};
        SharedProducts(ops, 6, pairs, 2, out);
        return;
    }
    p = SumOfProducts(m.u[0], x, m.u[1], y);
    q = SumOfProducts(m.u[2], x, m.u[3], y);
}

// P := A B.
Matrix Product(const Matrix& a, const Matrix& b) {
    Matrix p;
    const Signed* ops[8] = {&a.u[0], &a.u[1], &a.u[2], &a.u[3], &b.u[0], &b.u[1], &b.u[2], &b.u[3]};
    if (SharedTransformsPay(ops, 8)) {
        const ProductPair pairs[4] = {{0, 4, 1, 6}, {0, 5, 1, 7}, {2, 4, 3, 6}, {2, 5, 3, 7}};
        Signed* out[4] = {&p.u[0], &p.u[1], &p.u[2], &p.u[3]};
        SharedProducts(ops, 8, pairs, 4, out);
        return p;
    }
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 2; ++j) {
            p.u[2 * i + j] = SumOfProducts(a.u[2 * i], b.u[j], a.u[2 * i + 1], b.u[2 + j]);
        }
    }
    return p;
}

// One division step (x, y) := (y, x mod y), with U := (0 1; 1 -q) U.
void DivisionStep(Vec& x, Vec& y, Matrix* m) {
    Vec q(x.size() - y.size() + 1), r(y.size());
    Div(x.data(), x.size(), y.data(), y.size(), q.data(), r.data());
    r.resize(Trim(r.data(), r.size()));
    q.resize(Trim(q.data(), q.size()));
    x.swap(y);
    y.swap(r);
    if (m != nullptr) {
        for (int col = 0; col < 2; ++col) {
            Signed top = std::move(m->u[col]);
            Signed qb = MulSigned(Signed{q, false}, m->u[2 + col]);
            qb.neg = !qb.mag.empty() && !qb.neg;
            m->u[col] = m->u[2 + col];
            m->u[2 + col] = Add(top, qb);
        }
    }
}

// Lehmer's matrix (a b; c d) for the leading digits (or bits) xh >= yh of two numbers,
// below 2^62: the Euclid steps those digits decide exactly (Knuth's two-sided test),
// with cofactors kept within limit <= kLehmerLimit. b == 0 when no step was certain.
constexpr int64_t kLehmerLimit = 2000000000;  // keeps a * word + b * word far inside 64 bits

struct Small {
    int64_t a = 1, b = 0, c = 0, d = 1;
};

Small LehmerMatrix(int64_t xh, int64_t yh, int64_t limit) {
    int64_t a = 1, b = 0, c = 0, d = 1;
    while (yh + c != 0 && yh + d != 0) {
        // q1 = (xh + a) div (yh + c) must equal (xh + b) div (yh + d). Most quotients are
        // 1 to 3: subtractions find those, and the second quotient is checked by products.
        const int64_t n1 = xh + a, d1 = yh + c, n2 = xh + b, d2 = yh + d;
        if (d1 < 0 || d2 < 0) break;  // the leading digits no longer bound the quotient
        int64_t q1;
        int64_t r1 = n1 - d1;
        if (r1 < d1) {
            q1 = r1 < 0 ? 0 : 1;
        } else if ((r1 -= d1) < d1) {
            q1 = 2;
        } else if ((r1 -= d1) < d1) {
            q1 = 3;
        } else {
            q1 = n1 / d1;
        }
        // n2 div d2 = q1 exactly when q1 d2 <= n2 < (q1 + 1) d2 (in 128 bits: q1 d2 may
        // exceed 64 when d2 is far larger than d1).
        const __int128 lo = static_cast<__int128>(q1) * d2;
        if (lo > n2 || n2 - lo >= d2) break;
        // A quotient above the limit would take a cofactor past it (c and d are not both 0).
        if (q1 > limit) break;
        const int64_t nc = a - q1 * c, nd = b - q1 * d;
        if (nc > limit || nc < -limit || nd > limit || nd < -limit) break;
        a = c;
        c = nc;
        b = d;
        d = nd;
        const int64_t t = xh - q1 * yh;
        xh = yh;
        yh = t;
    }
    return {a, b, c, d};
}

// LehmerMatrix by one remainder sequence instead of two: Euclid on xh >= yh themselves,
// its cofactors' magnitudes kept apart from their alternating signs, and each step kept
// while it provably holds for every x in [xh, xh + 1), y in [yh, yh + 1) (scaled): for
// the step's matrix (a b; c d) the remainders move by a xl + b yl and c xl + d yl with
// xl, yl in [0, 1), so the new pair (r1, r2) stays ordered and non-negative when r2 is at
// least the magnitude of the negative one of c, d and r1 - r2 at least that of a - c or
// b - d (Jebelean's condition). Half the work of the two-sided test per step.
Small LehmerMatrixOne(int64_t xh, int64_t yh, int64_t limit) {
    int64_t a = 1, b = 0, c = 0, d = 1;  // magnitudes
    int64_t r0 = xh, r1 = yh;
    bool odd = false;  // an odd number of steps: a and d negative (else b and c)
    while (r1 > 0) {
        int64_t q;
        int64_t r2 = r0 - r1;
        if (r2 < r1) {
            q = 1;
        } else if ((r2 -= r1) < r1) {
            q = 2;
        } else if ((r2 -= r1) < r1) {
            q = 3;
        } else {
            q = r0 / r1;
            r2 = r0 - q * r1;
        }
        if (q > limit) break;  // then d would pass the limit (d >= 1); keeps q d in 64 bits
        const int64_t nc = a + q * c, nd = b + q * d;
        // The new matrix is (c d; nc nd) in magnitudes; after an odd number of steps its d'
        // and a' - c' are the negative ones, after an even number its c' and b' - d'.
        if (odd ? (r2 < nc || r1 - r2 < d + nd) : (r2 < nd || r1 - r2 < c + nc)) break;
        if (nc > limit || nd > limit) break;
        a = c;
        b = d;
        c = nc;
        d = nd;
        r0 = r1;
        r1 = r2;
        odd = !odd;
    }
    return odd ? Small{-a, b, c, -d} : Small{a, -b, -c, d};
}

// One Lehmer pass on x >= y > 0 (or a division step when the leading digits decide
// nothing), accumulating the step into U when given. Kept as the reference for the
// passes on words below.
void LehmerStep(Vec& x, Vec& y, Matrix* m) {
    const size_t nx = x.size(), ny = y.size();
    pump::ProcessMessages();
    // The leading 18 digits of x, and y's digits in the same places.
    const size_t digits = DigitCount(x.data(), nx);
    const size_t shift = digits > 18 ? digits - 18 : 0;
    const int64_t xh = static_cast<int64_t>(Leading(x.data(), nx, shift));
    const int64_t yh = ny * 4 + 4 > shift ? static_cast<int64_t>(Leading(y.data(), ny, shift)) : 0;
    const Small s = LehmerMatrix(xh, yh, kLehmerLimit);
    if (s.b == 0) {
        // No quotient was certain (a large one, or y much shorter): one division step.
        DivisionStep(x, y, m);
        return;
    }
    y.resize(nx, 0);
    Apply(x.data(), y.data(), nx, s.a, s.b, s.c, s.d);
    x.resize(Trim(x.data(), nx));
    y.resize(Trim(y.data(), nx));
    if (m != nullptr) LeftMultiplySmall(*m, s.a, s.b, s.c, s.d);
}

// --- Lehmer's passes on words of 8 digits ----------------------------------------------

// Packing two limbs into one word once for a whole run of passes halves the products and
// divisions of each pass against packing them on the fly. The passes work on the leading
// 37 digits: cofactors up to 10^18 remove about 18 digits a pass, twice the 18-digit
// passes' (LehmerStep's), for three times the products per word; but the products of a
// pass are independent of each other and vectorise, and so do the carries once they are
// split into two steps that each take only the quotient of the word below.
using Word = uint32_t;
constexpr uint32_t kPairBase = 100000000;  // two limbs
// A pass takes up to three wide rounds of Lehmer's steps (below): its cofactors are below
// 4 * 10^54, seven words.
constexpr size_t kMaxRounds = 3;
constexpr size_t kMaxCofactorWords = 2 * kMaxRounds + 1;
// Zero words kept below and above a number, so that a pass reads words i - 1 to i - 6 and
// writes six words above the top without tests.
constexpr size_t kPad = kMaxCofactorWords - 1;

void PackPairs(const Vec& x, Word* w) {
    for (size_t j = 0; 2 * j < x.size(); ++j) {
        const uint32_t hi = 2 * j + 1 < x.size() ? x[2 * j + 1] : 0;
        w[j] = x[2 * j] + kBase * hi;
    }
}

void UnpackPairs(const Word* w, size_t nw, Vec& x) {
    x.resize(2 * nw);
    for (size_t j = 0; j < nw; ++j) {
        x[2 * j] = static_cast<Limb>(w[j] % kBase);
        x[2 * j + 1] = static_cast<Limb>(w[j] / kBase);
    }
    x.resize(Trim(x.data(), x.size()));
}

size_t TrimWords(const Word* w, size_t n) {
    while (n > 0 && w[n - 1] == 0) --n;
    return n;
}

// The length in limbs of a trimmed word array.
size_t LimbsOf(const Word* w, size_t n) { return n == 0 ? 0 : 2 * n - (w[n - 1] < kBase ? 1 : 0); }

constexpr uint32_t kPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

uint32_t Pow10(size_t e) { return kPow10[e]; }

// floor(w / 10^shift) for a shift that leaves at most 37 digits. The words above word
// shift / 8 hold at most 36 digits, so the division by 10^(shift mod 8) needs only the
// lowest word: floor((top 10^8 + w) / 10^r) = top 10^(8 - r) + floor(w / 10^r).
__int128 LeadingWide(const Word* w, size_t n, size_t shift) {
    const size_t j = shift / 8, r = shift % 8;
    if (n <= j) return 0;
    __int128 top = 0;
    for (size_t i = n; i-- > j + 1;) top = top * kPairBase + w[i];
    return top * Pow10(8 - r) + w[j] / Pow10(r);
}

// Cofactors of the wide passes stay below 10^18: three words of 8 digits, the top one
// below 100.
constexpr int64_t kWideLimit = 1000000000000000000;

// How many low bits of v > 0 to drop to leave 62.
int ExcessBits(unsigned __int128 v) {
    const uint64_t hi = static_cast<uint64_t>(v >> 64);
    const int bits = hi != 0 ? 128 - __builtin_clzll(hi) : 64 - __builtin_clzll(static_cast<uint64_t>(v) | 1);
    return bits > 62 ? bits - 62 : 0;
}

// M (x, y) for a Lehmer matrix M and x >= y >= 0 below 2^127: wrapping 128-bit
// arithmetic, exact because the results lie in (-2^127, 2^127).
std::pair<__int128, __int128> Times(const Small& m, __int128 x, __int128 y) {
    using U = unsigned __int128;
    const U ux = static_cast<U>(x), uy = static_cast<U>(y);
    return {static_cast<__int128>(static_cast<U>(m.a) * ux + static_cast<U>(m.b) * uy),
            static_cast<__int128>(static_cast<U>(m.c) * ux + static_cast<U>(m.d) * uy)};
}

int64_t Magnitude(int64_t v) { return v < 0 ? -v : v; }

// Lehmer's matrix for the leading 37 digits xh >= yh of two numbers x, y, with cofactors
// below 10^18, in two rounds of LehmerMatrix on 62 leading bits (steps in 64 bits, far
// cheaper than in 128). The first round's quotients are certain for x and y (Knuth's
// test on their leading bits). The second round's are certain only for the exact
// remainders of xh and yh; its matrix M is kept when it provably reduces x and y to
// x' > y' >= 0: with x = xh B + xl, 0 <= xl < B (likewise y), M (x, y) lies within
// (|m0| + |m1|) B of M (xh, yh) B, and Euclid's matrices (quotients >= 1) with
// x' > y' >= 0 are the first steps of Euclid's algorithm on x, y. Otherwise the first
// round's matrix serves alone.
Small LehmerMatrixWide(__int128 xh, __int128 yh) {
    int k = ExcessBits(static_cast<unsigned __int128>(xh));
    const Small m1 = LehmerMatrixOne(static_cast<int64_t>(xh >> k), static_cast<int64_t>(yh >> k), kLehmerLimit);
    if (m1.b == 0) return m1;
    const auto [x1, y1] = Times(m1, xh, yh);
    const int64_t big = std::max({Magnitude(m1.a), Magnitude(m1.b), Magnitude(m1.c), Magnitude(m1.d)});
    k = ExcessBits(static_cast<unsigned __int128>(x1));
    const Small m2 = LehmerMatrixOne(static_cast<int64_t>(x1 >> k), static_cast<int64_t>(y1 >> k),
                                  std::min(kLehmerLimit, kWideLimit / (2 * big)));
    if (m2.b == 0) return m1;
    const Small m{m2.a * m1.a + m2.b * m1.c, m2.a * m1.b + m2.b * m1.d, m2.c * m1.a + m2.d * m1.c,
                  m2.c * m1.b + m2.d * m1.d};
    const auto [x2, y2] = Times(m2, x1, y1);
    const __int128 sx = Magnitude(m.a) + Magnitude(m.b), sy = Magnitude(m.c) + Magnitude(m.d);
    return y2 >= sy && x2 - sx >= y2 + sy ? m : m1;
}

// A cofactor's magnitude in words of 8 digits (three for one wide round's, five for two
// rounds', seven for three), and its sign as a mask.
struct CofactorWords {
    uint32_t w[kMaxCofactorWords];
    uint64_t neg;
};

// floor(m / d), and m mod d in r, for m < 2^64 d: the processor's one division of 128
// by 64 bits (a 128-bit division by the compiler's library routine costs several times as
// much, and the two-round passes split four 120-bit cofactors each).
inline uint64_t DivideWide(unsigned __int128 m, uint64_t d, uint64_t& r) {
#if defined(__GNUC__) && defined(__x86_64__)
    uint64_t q;
    __asm__("divq %4" : "=a"(q), "=d"(r) : "a"(static_cast<uint64_t>(m)), "d"(static_cast<uint64_t>(m >> 64)), "rm"(d));
    return q;
#else
    r = static_cast<uint64_t>(m % d);
    return static_cast<uint64_t>(m / d);
#endif
}

CofactorWords Split(__int128 v) {
    using U = unsigned __int128;
    constexpr uint64_t kTwoWords = uint64_t{kPairBase} * kPairBase;
    const U m = static_cast<U>(v < 0 ? -v : v);
    CofactorWords k{{}, v < 0 ? ~uint64_t{0} : 0};
    auto put = [&k](size_t j, uint64_t twoWords) {
        k.w[j] = static_cast<uint32_t>(twoWords % kPairBase);
        k.w[j + 1] = static_cast<uint32_t>(twoWords / kPairBase);
    };
    const uint64_t hi = static_cast<uint64_t>(m >> 64), lo = static_cast<uint64_t>(m);
    if (hi == 0) {
        put(0, lo % kTwoWords);
        put(2, lo / kTwoWords);  // below 1845
        return k;
    }
    // m = (h1 10^16 + h0) 2^64 + lo with h0 2^64 + lo = q0 10^16 + r0: m = q 10^16 + r0
    // for q = h1 2^64 + q0, below 2^64 10^16 (m < 2^121), then q = q1 10^16 + r1.
    uint64_t r0, r1;
    const uint64_t q0 = DivideWide((U{hi % kTwoWords} << 64) | lo, kTwoWords, r0);
    const uint64_t q1 = DivideWide((U{hi / kTwoWords} << 64) | q0, kTwoWords, r1);
    put(0, r0);
    put(2, r1);
    k.w[4] = static_cast<uint32_t>(q1);
    return k;
}

// tx[i], ty[i] := column i of a x + b y and c x + d y, for i in [0, n), cofactors of K
// words: each a sum of 4K products of words, below 10^17 in magnitude, without carries.
// Reads x and y from word 1 - K on. (The portable pass; the vector one below fuses the
// carries in.)
template <size_t K>
void MatrixColumns(const Word* x, const Word* y, size_t n, const CofactorWords* k, int64_t* tx, int64_t* ty) {
    const uint64_t ma = k[0].neg, mb = k[1].neg, mc = k[2].neg, md = k[3].neg;
    for (size_t i = 0; i < n; ++i) {
        uint64_t pa = 0, pb = 0, pc = 0, pd = 0;
        for (size_t j = 0; j < K; ++j) {
            const uint64_t xj = x[i - j], yj = y[i - j];
            pa += k[0].w[j] * xj;
            pb += k[1].w[j] * yj;
            pc += k[2].w[j] * xj;
            pd += k[3].w[j] * yj;
        }
        tx[i] = static_cast<int64_t>(((pa ^ ma) - ma) + ((pb ^ mb) - mb));
        ty[i] = static_cast<int64_t>(((pc ^ mc) - mc) + ((pd ^ md) - md));
    }
}

// x[0..n), y[0..n) := the columns tx, ty with their carries, for sums known to be
// non-negative below 10^(8n). A bias of 10^18 (a multiple of 10^8) keeps every
// intermediate unsigned.
void CarryColumns(const int64_t* tx, const int64_t* ty, size_t n, Word* x, Word* y) {
    constexpr int64_t kBias = 1000000000000000000;
    int64_t cx = 0, cy = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint64_t vx = static_cast<uint64_t>(tx[i] + cx + kBias);
        const uint64_t vy = static_cast<uint64_t>(ty[i] + cy + kBias);
        x[i] = static_cast<Word>(vx % kPairBase);
        y[i] = static_cast<Word>(vy % kPairBase);
        cx = static_cast<int64_t>(vx / kPairBase) - kBias / kPairBase;
        cy = static_cast<int64_t>(vy / kPairBase) - kBias / kPairBase;
    }
}

// Word counts are rounded up to whole vectors of 8; the arrays hold that many words
// (zero beyond the number) plus kPad zero words below.
constexpr size_t kVector = 8;
constexpr size_t RoundedWords(size_t n) { return (n + kVector - 1) / kVector * kVector; }

#if defined(__GNUC__) && defined(__x86_64__)
#define TABAI_GCD_VECTORS 1
// GCC 12's own headers leave a lane "uninitialised" on purpose in these intrinsics.
#pragma GCC diagnostic push
#if !defined(__clang__)  // a GCC warning clang does not know
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#define TABAI_AVX512 __attribute__((target("avx512f,avx512dq")))

// The column vector c (eight signed columns below 2^56) as c = q 10^8 + r, q from the
// quotient in doubles: r lies in [0, 10^8) but for columns within a few units of a
// multiple of 10^8 (about one in 10^7), where it may be off by 10^8; the carries below
// put those right. (Correcting every lane here would lengthen the chain for all.)
TABAI_AVX512 inline __m512i SplitColumns(__m512i c, __m512i& q) {
    const __m512d e = _mm512_mul_pd(_mm512_cvtepi64_pd(c), _mm512_set1_pd(1e-8));
    q = _mm512_cvt_roundpd_epi64(e, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    // |q| < 2^30, so the signed 32-bit product is exact.
    return _mm512_sub_epi64(c, _mm512_mul_epi32(q, _mm512_set1_epi64(kPairBase)));
}

// One output row's second step: the columns s after their first split (each word holding
// its remainder and the quotient of the column below) split again, which leaves words in
// [-8, 10^8 + 8) but for rare lanes, and carries between words taken in order only in the
// rare vectors that need them.
struct CarryState {
    __m512i g;
    int64_t carry = 0;
};

TABAI_AVX512 inline void CarryInto(__m512i s, CarryState& st, Word* out) {
    const __m512i base = _mm512_set1_epi64(kPairBase);
    __m512i g;
    __m512i u = SplitColumns(s, g);
    u = _mm512_add_epi64(u, _mm512_alignr_epi64(g, st.g, 7));
    st.g = g;
    u = _mm512_mask_add_epi64(u, 1, u, _mm512_set1_epi64(st.carry));
    // Negative words are huge unsigned: one comparison finds both kinds.
    const __mmask8 out0 = _mm512_cmpge_epu64_mask(u, base);
    if (out0 == 0) {
        st.carry = 0;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm512_cvtepi64_epi32(u));
        return;
    }
    alignas(64) int64_t v[kVector];
    _mm512_store_si512(v, u);
    int64_t carry = 0;
    for (size_t j = 0; j < kVector; ++j) {
        int64_t w = v[j] + carry;
        carry = 0;
        for (; w < 0; w += kPairBase) --carry;
        for (; w >= kPairBase; w -= kPairBase) ++carry;
        out[j] = static_cast<Word>(w);
    }
    st.carry = carry;
}

TABAI_AVX512 inline __m512i LoadWords(const Word* p) {
    return _mm512_cvtepu32_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
}

// g0 v0 + g1 v1 + g2 v2 (magnitudes).
TABAI_AVX512 inline __m512i RowProducts(const __m512i* g, __m512i v0, __m512i v1, __m512i v2) {
    return _mm512_add_epi64(_mm512_add_epi64(_mm512_mul_epu32(g[0], v0), _mm512_mul_epu32(g[1], v1)),
                            _mm512_mul_epu32(g[2], v2));
}

// The signs of a matrix (a b; c d) that the vector pass handles: all non-negative (the
// magnitudes of a run's product), or Euclid's pattern after an even number of steps
// (a, d >= 0 >= b, c) or an odd number (b, c >= 0 >= a, d). Each row is then one sum or
// difference of magnitudes, with no sign applied per product.
enum class Signs { kNone, kEven, kOdd, kOther };

Signs SignsOf(const CofactorWords* k) {
    const bool a = k[0].neg != 0, b = k[1].neg != 0, c = k[2].neg != 0, d = k[3].neg != 0;
    if (!a && !b && !c && !d) return Signs::kNone;
    // A zero magnitude carries no sign: a and b may be zero, c and d are not in a Euclid
    // matrix of one step or more.
    if (!a && !d && c) return Signs::kEven;
    if (!b && !c && d) return Signs::kOdd;
    return Signs::kOther;
}

// (x, y) := (a x + b y, c x + d y) over n words (a multiple of 8), in place, in two
// loops whose vectors are independent of each other: the columns (each from the words i,
// i - 1, i - 2 of the input, kept in registers from the vector below) with their first
// split into tx and ty, then the second split and the carries. One fused loop chains
// both splits of a vector, and the processor then overlaps too few vectors.
template <Signs kSigns>
TABAI_AVX512 void ApplyColumnsAvx512(Word* x, Word* y, size_t n, const CofactorWords* k, int64_t* tx,
                                     int64_t* ty) {
    __m512i f[4][3];
    for (int e = 0; e < 4; ++e) {
        for (int j = 0; j < 3; ++j) f[e][j] = _mm512_set1_epi64(k[e].w[j]);
    }
    const __m512i zero = _mm512_setzero_si512();
    __m512i px = zero, py = zero;  // the words below x and y are zeros
    __m512i qx = zero, qy = zero;  // the quotients of the columns below
    for (size_t i = 0; i < n; i += kVector) {
        const __m512i x0 = LoadWords(x + i), y0 = LoadWords(y + i);
        const __m512i x1 = _mm512_alignr_epi64(x0, px, 7), x2 = _mm512_alignr_epi64(x0, px, 6);
        const __m512i y1 = _mm512_alignr_epi64(y0, py, 7), y2 = _mm512_alignr_epi64(y0, py, 6);
        px = x0;
        py = y0;
        const __m512i pa = RowProducts(f[0], x0, x1, x2), pb = RowProducts(f[1], y0, y1, y2);
        const __m512i pc = RowProducts(f[2], x0, x1, x2), pd = RowProducts(f[3], y0, y1, y2);
        __m512i cx, cy;
        if constexpr (kSigns == Signs::kNone) {
            cx = _mm512_add_epi64(pa, pb);
            cy = _mm512_add_epi64(pc, pd);
        } else if constexpr (kSigns == Signs::kEven) {
            cx = _mm512_sub_epi64(pa, pb);
            cy = _mm512_sub_epi64(pd, pc);
        } else {
            cx = _mm512_sub_epi64(pb, pa);
            cy = _mm512_sub_epi64(pc, pd);
        }
        __m512i q;
        const __m512i rx = SplitColumns(cx, q);
        _mm512_storeu_si512(tx + i, _mm512_add_epi64(rx, _mm512_alignr_epi64(q, qx, 7)));
        qx = q;
        const __m512i ry = SplitColumns(cy, q);
        _mm512_storeu_si512(ty + i, _mm512_add_epi64(ry, _mm512_alignr_epi64(q, qy, 7)));
        qy = q;
    }
    CarryState sx{zero}, sy{zero};
    for (size_t i = 0; i < n; i += kVector) {
        CarryInto(_mm512_loadu_si512(tx + i), sx, x + i);
        CarryInto(_mm512_loadu_si512(ty + i), sy, y + i);
    }
}

// The same two loops for processors with AVX2 only (the first on four columns a vector,
// the second on eight, below): they have no conversions between 64-bit integers and
// doubles, no 64-bit comparisons without sign and no lane shifts across the halves, so
// the first split takes the column with a bias that makes it non-negative, shifted right
// by 8 bits (10^8 = 2^8 390625) to below 2^52, where a double holds it exactly from its
// bits alone.
#define TABAI_AVX2 __attribute__((target("avx2")))
constexpr size_t kVector2 = 4;
// A multiple of 10^8 above every column's magnitude (1.4 * 10^17 for seven-word
// cofactors), and its quotient (the biased quotients stay below 2^32).
constexpr uint64_t kColumnBiasQ = uint64_t{1} << 31;
constexpr uint64_t kColumnBias = kColumnBiasQ * kPairBase;

// Lanes (p3, v0, v1, v2): each lane takes the lane below it, the lowest p's top lane.
TABAI_AVX2 inline __m256i LanesUp(__m256i v, __m256i p) {
    return _mm256_blend_epi32(_mm256_permute4x64_epi64(v, 0x93), _mm256_permute4x64_epi64(p, 0xff), 0x03);
}

// For u in [0, 2^60): q ~ floor(u / 10^8) (off by one for u within a few units of a
// multiple of 10^8) and u - q 10^8.
TABAI_AVX2 inline __m256i SplitBiased(__m256i u, __m256i& q) {
    const __m256i magic = _mm256_set1_epi64x(0x4330000000000000);  // the bits of 2^52
    const __m256d exact =
        _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(_mm256_srli_epi64(u, 8), magic)), _mm256_set1_pd(0x1p52));
    const __m256d f = _mm256_floor_pd(_mm256_mul_pd(exact, _mm256_set1_pd(1.0 / 390625)));
    // f < 2^52: adding 2^52 leaves the integer in the low bits.
    q = _mm256_sub_epi64(_mm256_castpd_si256(_mm256_add_pd(f, _mm256_set1_pd(0x1p52))), magic);
    return _mm256_sub_epi64(u, _mm256_mul_epu32(q, _mm256_set1_epi64x(kPairBase)));
}

TABAI_AVX2 inline __m256i LoadWords2(const Word* p) {
    return _mm256_cvtepu32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// g0 v0 + g1 v[-1] + ... for cofactors of K words.
template <size_t K>
TABAI_AVX2 inline __m256i RowProducts2(const __m256i* g, const Word* v) {
    __m256i s = _mm256_mul_epu32(g[0], LoadWords2(v));
    for (size_t j = 1; j < K; ++j) s = _mm256_add_epi64(s, _mm256_mul_epu32(g[j], LoadWords2(v - j)));
    return s;
}

// The second split of eight columns t (after the first split, in (-1.6 * 10^9,
// 1.6 * 10^9): 32-bit lanes, twice a vector's worth of the first split's) with the
// quotients of the ones below, into words of out. The quotients (at most 16 in magnitude)
// come from floats: their 24 bits put a column within about 200 of a multiple of 10^8 on
// the wrong side, a few vectors in 10^5, and words out of [0, 10^8) then take their carries
// in order, as do the rare words that the quotient of the column below carries over.
struct CarryState8 {
    __m256i below;  // the quotients of the vector below, lanes rotated up
    int32_t carry = 0;
};

TABAI_AVX2 inline void CarryInto8(__m256i t, CarryState8& st, Word* out) {
    const __m256i base = _mm256_set1_epi32(static_cast<int32_t>(kPairBase));
    const __m256i q = _mm256_cvtps_epi32(_mm256_floor_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(t), _mm256_set1_ps(1e-8f))));
    const __m256i r = _mm256_sub_epi32(t, _mm256_mullo_epi32(q, base));
    // Lanes (q7', q0, ..., q6): each lane takes the quotient of the lane below.
    const __m256i rotated = _mm256_permutevar8x32_epi32(q, _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6));
    __m256i u = _mm256_add_epi32(r, _mm256_blend_epi32(rotated, st.below, 0x01));
    st.below = rotated;
    if (st.carry != 0) u = _mm256_add_epi32(u, _mm256_setr_epi32(st.carry, 0, 0, 0, 0, 0, 0, 0));
    const __m256i outside = _mm256_or_si256(_mm256_cmpgt_epi32(_mm256_setzero_si256(), u),
                                            _mm256_cmpgt_epi32(u, _mm256_set1_epi32(static_cast<int32_t>(kPairBase) - 1)));
    if (_mm256_testz_si256(outside, outside)) {
        st.carry = 0;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), u);
        return;
    }
    alignas(32) int32_t v[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(v), u);
    int32_t carry = 0;
    for (size_t j = 0; j < 8; ++j) {
        int32_t w = v[j] + carry;
        carry = 0;
        for (; w < 0; w += static_cast<int32_t>(kPairBase)) --carry;
        for (; w >= static_cast<int32_t>(kPairBase); w -= static_cast<int32_t>(kPairBase)) ++carry;
        out[j] = static_cast<Word>(w);
    }
    st.carry = carry;
}

// Four 64-bit lanes below 2^31 in magnitude as 32-bit words at out.
TABAI_AVX2 inline void StoreLow32(int32_t* out, __m256i v) {
    const __m256i packed = _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
}

template <Signs kSigns, size_t K>
TABAI_AVX2 void ApplyColumnsAvx2(Word* x, Word* y, size_t n, const CofactorWords* k, int64_t* tx, int64_t* ty) {
    __m256i f[4][K];
    for (size_t e = 0; e < 4; ++e) {
        for (size_t j = 0; j < K; ++j) f[e][j] = _mm256_set1_epi64x(k[e].w[j]);
    }
    const __m256i bias = _mm256_set1_epi64x(static_cast<int64_t>(kColumnBias));
    const __m256i biasQ = _mm256_set1_epi64x(static_cast<int64_t>(kColumnBiasQ));
    __m256i qx = biasQ, qy = biasQ;  // the (biased) quotients of the columns below: none
    // The columns after their first split fit 32 bits: in the first half of tx and ty.
    int32_t* sx = reinterpret_cast<int32_t*>(tx);
    int32_t* sy = reinterpret_cast<int32_t*>(ty);
    for (size_t i = 0; i < n; i += kVector2) {
        const __m256i pa = RowProducts2<K>(f[0], x + i), pb = RowProducts2<K>(f[1], y + i);
        const __m256i pc = RowProducts2<K>(f[2], x + i), pd = RowProducts2<K>(f[3], y + i);
        __m256i cx, cy;
        if constexpr (kSigns == Signs::kNone) {
            cx = _mm256_add_epi64(pa, pb);
            cy = _mm256_add_epi64(pc, pd);
        } else if constexpr (kSigns == Signs::kEven) {
            cx = _mm256_sub_epi64(pa, pb);
            cy = _mm256_sub_epi64(pd, pc);
        } else {
            cx = _mm256_sub_epi64(pb, pa);
            cy = _mm256_sub_epi64(pc, pd);
        }
        __m256i q;
        const __m256i rx = SplitBiased(_mm256_add_epi64(cx, bias), q);
        StoreLow32(sx + i, _mm256_add_epi64(rx, _mm256_sub_epi64(LanesUp(q, qx), biasQ)));
        qx = q;
        const __m256i ry = SplitBiased(_mm256_add_epi64(cy, bias), q);
        StoreLow32(sy + i, _mm256_add_epi64(ry, _mm256_sub_epi64(LanesUp(q, qy), biasQ)));
        qy = q;
    }
    CarryState8 carryX{_mm256_setzero_si256()}, carryY{_mm256_setzero_si256()};
    for (size_t i = 0; i < n; i += 8) {
        CarryInto8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(sx + i)), carryX, x + i);
        CarryInto8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(sy + i)), carryY, y + i);
    }
}
#pragma GCC diagnostic pop
#endif

// The widest vector pass the processor has.
enum class ColumnVectors { kPortable, kAvx2, kAvx512 };

ColumnVectors VectorsFit() {
    if (!CurrentTuning().wideVectors) return ColumnVectors::kPortable;
#ifdef TABAI_GCD_VECTORS
    static const ColumnVectors fit = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq")) return ColumnVectors::kAvx512;
        return __builtin_cpu_supports("avx2") ? ColumnVectors::kAvx2 : ColumnVectors::kPortable;
    }();
    return fit;
#else
    return ColumnVectors::kPortable;
#endif
}

// (x, y) := (a x + b y, c x + d y) for the cofactors k of K words over n words (a
// multiple of 8), with kPad zero words below both; the results are known to be
// non-negative below 10^(8n). tx and ty hold n columns for the portable pass.
template <size_t K>
void ApplyColumns(Word* x, Word* y, size_t n, const CofactorWords* k, int64_t* tx, int64_t* ty) {
#ifdef TABAI_GCD_VECTORS
    const ColumnVectors vectors = VectorsFit();
    if (vectors == ColumnVectors::kAvx512 && K == 3) {
        switch (SignsOf(k)) {
        case Signs::kNone: ApplyColumnsAvx512<Signs::kNone>(x, y, n, k, tx, ty); return;
        case Signs::kEven: ApplyColumnsAvx512<Signs::kEven>(x, y, n, k, tx, ty); return;
        case Signs::kOdd: ApplyColumnsAvx512<Signs::kOdd>(x, y, n, k, tx, ty); return;
        case Signs::kOther: break;  // not a matrix of Euclid's steps: the portable pass
        }
    } else if (vectors == ColumnVectors::kAvx2) {
        switch (SignsOf(k)) {
        case Signs::kNone: ApplyColumnsAvx2<Signs::kNone, K>(x, y, n, k, tx, ty); return;
        case Signs::kEven: ApplyColumnsAvx2<Signs::kEven, K>(x, y, n, k, tx, ty); return;
        case Signs::kOdd: ApplyColumnsAvx2<Signs::kOdd, K>(x, y, n, k, tx, ty); return;
        case Signs::kOther: break;
        }
    }
#endif
    MatrixColumns<K>(x, y, n, k, tx, ty);
    CarryColumns(tx, ty, n, x, y);
}

// A pass's matrix (a b; c d): its cofactors in words, with the signs of Euclid's pattern
// (after an even number of steps a, d >= 0 >= b, c, after an odd number the other way).
struct PassCofactors {
    CofactorWords k[4];
    bool odd = false;
};

PassCofactors CofactorsOf(__int128 a, __int128 b, __int128 c, __int128 d) {
    return {{Split(a), Split(b), Split(c), Split(d)}, d < 0};
}

PassCofactors FromSmall(const Small& s) { return CofactorsOf(s.a, s.b, s.c, s.d); }

// The significant words of the largest cofactor.
size_t WordsOf(const PassCofactors& p) {
    size_t n = kMaxCofactorWords;
    while (n > 1 && (p.k[0].w[n - 1] | p.k[1].w[n - 1] | p.k[2].w[n - 1] | p.k[3].w[n - 1]) == 0) --n;
    return n;
}

// The words a pass takes the cofactors in: three, five or seven.
size_t PassWords(const PassCofactors& p) {
    const size_t words = WordsOf(p);
    return words <= 3 ? 3 : words <= 5 ? 5 : kMaxCofactorWords;
}

// ApplyColumns for the cofactors p over `columns` columns, the cofactors in K = words.
void ApplyCofactors(Word* x, Word* y, size_t columns, size_t words, const PassCofactors& p, int64_t* tx, int64_t* ty) {
    if (words == 3) {
        ApplyColumns<3>(x, y, columns, p.k, tx, ty);
    } else if (words == 5) {
        ApplyColumns<5>(x, y, columns, p.k, tx, ty);
    } else {
        ApplyColumns<kMaxCofactorWords>(x, y, columns, p.k, tx, ty);
    }
}

// (x, y) := (a x + b y, c x + d y) over n words, y zero beyond its length, with kPad
// zero words below both and zeros above up to RoundedWords(n + kPad); the results are
// known to be non-negative and no longer than x, so the columns above n, up to the last
// one with a product (n + K - 2), carry to zero. tx and ty hold that many columns.
void ApplyWide(Word* x, Word* y, size_t n, const PassCofactors& p, int64_t* tx, int64_t* ty) {
    const size_t words = PassWords(p);
    ApplyCofactors(x, y, RoundedWords(n + words - 1), words, p, tx, ty);
}

// out := p q + r s for magnitudes p, r of pw words and q, s of qw words, the sum known to
// fit kMaxCofactorWords words.
void SumOfProductsWords(const CofactorWords& p, const CofactorWords& q, const CofactorWords& r, const CofactorWords& s,
                        size_t pw, size_t qw, CofactorWords& out) {
    uint64_t columns[kMaxCofactorWords] = {};
    for (size_t i = 0; i < pw; ++i) {
        for (size_t j = 0; j < qw && i + j < kMaxCofactorWords; ++j) {
            columns[i + j] += uint64_t{p.w[i]} * q.w[j] + uint64_t{r.w[i]} * s.w[j];
        }
    }
    uint64_t carry = 0;
    for (size_t i = 0; i < kMaxCofactorWords; ++i) {
        const uint64_t v = columns[i] + carry;
        out.w[i] = static_cast<Word>(v % kPairBase);
        carry = v / kPairBase;
    }
}

// s M for a round's matrix s after the pass's M, both of Euclid's pattern: |s M| = |s| |M|
// entry by entry.
PassCofactors Compose(const PassCofactors& s, const PassCofactors& m) {
    const CofactorWords* k = s.k;
    const size_t w = WordsOf(s), mw = WordsOf(m);
    PassCofactors r;
    SumOfProductsWords(k[0], m.k[0], k[1], m.k[2], w, mw, r.k[0]);
    SumOfProductsWords(k[0], m.k[1], k[1], m.k[3], w, mw, r.k[1]);
    SumOfProductsWords(k[2], m.k[0], k[3], m.k[2], w, mw, r.k[2]);
    SumOfProductsWords(k[2], m.k[1], k[3], m.k[3], w, mw, r.k[3]);
    r.odd = m.odd != s.odd;
    const uint64_t negative = ~uint64_t{0};
    r.k[0].neg = r.k[3].neg = r.odd ? negative : 0;
    r.k[1].neg = r.k[2].neg = r.odd ? 0 : negative;
    return r;
}

// Compares trimmed word arrays.
int CompareWords(const Word* a, size_t na, const Word* b, size_t nb) {
    if (na != nb) return na < nb ? -1 : 1;
    for (size_t i = na; i-- > 0;) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

// s := a + b over n words (s has n + 1).
void AddWords(const Word* a, const Word* b, size_t n, Word* s) {
    Word carry = 0;
    for (size_t i = 0; i < n; ++i) {
        const Word v = a[i] + b[i] + carry;
        carry = v >= kPairBase ? 1 : 0;
        s[i] = v - carry * kPairBase;
    }
    s[n] = carry;
}

// A pass with two or three rounds of Lehmer's steps (cofactors of five or seven words)
// removes two or three times the digits of a pass with one for the same splits and
// carries of its columns, which are most of a pass's work; only the products grow. Each
// further round's matrix comes from the leading words of the numbers after the rounds
// before, taken exactly from the top kTopWords words.
constexpr size_t kTopWords = 16;
// Passes keep to one round within this many limbs of where the run stops, so that it
// stops near where it was asked to.
constexpr size_t kRoundsMargin = 15;

// The number of digits of a trimmed word array of n > 0 words.
size_t DigitsOf(const Word* w, size_t n) {
    const Word top = w[n - 1];
    size_t digits = 8 * (n - 1) + 1;
    for (size_t e = 1; e < 8 && kPow10[e] <= top; ++e) ++digits;
    return digits;
}

// Lehmer's matrix of a wide round for x >= y (nx and ny <= nx words, trimmed): the leading
// 37 digits' steps, or none (b == 0).
Small RoundMatrix(const Word* x, size_t nx, const Word* y, size_t ny) {
    const size_t digits = DigitsOf(x, nx);
    const size_t shift = digits > 37 ? digits - 37 : 0;
    return LehmerMatrixWide(LeadingWide(x, nx, shift), LeadingWide(y, ny, shift));
}

// Whether M = (a b; c d) takes x = t B^j + xl, y = u B^j + yl (0 <= xl, yl < B^j) to
// x' > y' >= 0 for every xl, yl, given M (t, u) = (t', u') (trimmed, t' > u'): x', y'
// are t' B^j, u' B^j plus (a xl + b yl, c xl + d yl), whose negative parts stay below
// max(|c|, |d|) B^j in the second row and max(|a| + |c|, |b| + |d|) B^j in the
// difference of the rows.
bool HoldsForLowWords(const Word* t, size_t nt, const Word* u, size_t nu, const PassCofactors& m) {
    constexpr size_t n = kMaxCofactorWords;
    const CofactorWords& c = m.k[2];
    const CofactorWords& d = m.k[3];
    const Word* row = CompareWords(c.w, TrimWords(c.w, n), d.w, TrimWords(d.w, n)) > 0 ? c.w : d.w;
    if (CompareWords(u, nu, row, TrimWords(row, n)) < 0) return false;
    Word ac[n + 1], bd[n + 1];
    AddWords(m.k[0].w, c.w, n, ac);
    AddWords(m.k[1].w, d.w, n, bd);
    const Word* diff = CompareWords(ac, TrimWords(ac, n + 1), bd, TrimWords(bd, n + 1)) > 0 ? ac : bd;
    Word gap[kTopWords];  // t' - u'
    int64_t borrow = 0;
    for (size_t i = 0; i < nt; ++i) {
        const int64_t v = int64_t{t[i]} - (i < nu ? u[i] : 0) - borrow;
        borrow = v < 0 ? 1 : 0;
        gap[i] = static_cast<Word>(v + borrow * kPairBase);
    }
    return CompareWords(gap, TrimWords(gap, nt), diff, TrimWords(diff, n + 1)) >= 0;
}

// The matrix of up to `rounds` rounds for x >= y of nx and ny words, given the first
// round's s1: each further round's kept while it provably takes the whole numbers to
// x' > y' >= 0. s1 serves for the top words t = floor(x / B^j), u = floor(y / B^j) too
// (their leading 37 digits are x's and y's), each further round's for the top words after
// the rounds before exactly.
PassCofactors Rounds(const Word* x, size_t nx, const Word* y, size_t ny, const Small& s1, size_t rounds) {
    constexpr size_t kColumns = RoundedWords(kTopWords + kPad);
    const size_t j = nx > kTopWords ? nx - kTopWords : 0;
    Word bt[kPad + kColumns] = {}, bu[kPad + kColumns] = {};
    int64_t tx[kColumns], ty[kColumns];
    Word* t = bt + kPad;
    Word* u = bu + kPad;
    std::copy(x + j, x + nx, t);
    if (ny > j) std::copy(y + j, y + ny, u);
    PassCofactors m = FromSmall(s1);
    size_t nt = nx - j;
    ApplyWide(t, u, nt, m, tx, ty);
    for (size_t r = 1; r < rounds; ++r) {
        nt = TrimWords(t, nt);
        const size_t nu = TrimWords(u, nt);
        if (nu == 0) break;
        const Small s = RoundMatrix(t, nt, u, nu);
        if (s.b == 0) break;
        const PassCofactors round = FromSmall(s);
        ApplyWide(t, u, nt, round, tx, ty);
        const PassCofactors next = Compose(round, m);
        // With the whole numbers at the top, the rounds are exact.
        if (j > 0 && !HoldsForLowWords(t, TrimWords(t, nt), u, TrimWords(u, nt), next)) break;
        m = next;
    }
    return m;
}

// The product of a run's Lehmer matrices, in words. The matrices of Euclid's steps
// alternate their signs in a fixed pattern (after k steps u0 and u3 have the sign
// (-1)^k, u1 and u2 the other), so does their product, and its magnitudes grow by sums
// alone: |L U| = |L| |U| entry by entry.
struct WordMatrix {
    // Each entry's words from u[k][kPad] on, kPad zero words below.
    std::vector<Word> u[4];
    size_t len = 1;
    bool odd = false;  // an odd number of steps
    std::vector<int64_t> top, bottom;
    WordMatrix() {
        for (auto& e : u) e.assign(kPad + 1, 0);
        u[0][kPad] = u[3][kPad] = 1;
    }
    // U := L U for L = (a b; c d) of Lehmer's pattern.
    void LeftMultiply(const PassCofactors& l) {
        PassCofactors mag = l;
        for (auto& k : mag.k) k.neg = 0;
        // Each sum of two products grows an entry by at most one word more than the
        // cofactors have.
        size_t used = len + WordsOf(l) + 1;
        const size_t n = RoundedWords(used);
        for (auto& e : u) e.resize(kPad + n, 0);
        top.resize(n);
        bottom.resize(n);
        const size_t words = PassWords(mag);
        for (int col = 0; col < 2; ++col) {
            ApplyCofactors(u[col].data() + kPad, u[2 + col].data() + kPad, n, words, mag, top.data(), bottom.data());
        }
        while (used > 1 && (u[0][kPad + used - 1] | u[1][kPad + used - 1] | u[2][kPad + used - 1] |
                            u[3][kPad + used - 1]) == 0)
            --used;
        len = used;
        odd = odd != l.odd;
    }
    Signed Entry(int k) const {
        Signed r;
        UnpackPairs(u[k].data() + kPad, len, r.mag);
        r.neg = !r.mag.empty() && ((k == 0 || k == 3) == odd);
        return r;
    }
};

bool IsIdentity(const Matrix& m) {
    return m.u[1].mag.empty() && m.u[2].mag.empty() && m.u[0].mag == Vec{1} && m.u[3].mag == Vec{1} &&
           !m.u[0].neg && !m.u[3].neg;
}

// Lehmer's passes on x >= y > 0 while y is longer than stopY limbs and x longer than
// stopX, up to and including the first division step (after which the caller decides
// afresh), accumulating the steps into U when given. x and y change only at the end, so
// a cancellation leaves them as they were.
void LehmerRun(Vec& x, Vec& y, Matrix* m, size_t stopX, size_t stopY) {
    if (!CurrentTuning().gcdWords) {
        LehmerStep(x, y, m);
        return;
    }
    const size_t words = (x.size() + 1) / 2, columns = RoundedWords(words + kPad);
    std::vector<Word> bx(kPad + columns, 0), by(kPad + columns, 0);
    Word* wx = bx.data() + kPad;
    Word* wy = by.data() + kPad;
    PackPairs(x, wx);
    PackPairs(y, wy);
    std::vector<int64_t> tx(columns), ty(columns);
    size_t nx = words, ny = TrimWords(wy, words);
    bool divide = false;
    WordMatrix w;
    bool steps = false;
    // Several rounds a pass where the vector pass takes cofactors of more than three words.
    const size_t rounds = VectorsFit() == ColumnVectors::kAvx512 ? 1 : std::clamp<size_t>(CurrentTuning().gcdRounds, 1, kMaxRounds);
    while (ny > 0 && LimbsOf(wy, ny) > stopY && LimbsOf(wx, nx) > stopX) {
        pump::ProcessMessages();
        const Small s = RoundMatrix(wx, nx, wy, ny);
        if (s.b == 0) {
            divide = true;
            break;
        }
        const size_t limbs = LimbsOf(wx, nx);
        const PassCofactors l = rounds > 1 && limbs > CurrentTuning().gcdRoundsFrom && limbs > stopX + kRoundsMargin &&
                                        LimbsOf(wy, ny) > stopY + kRoundsMargin
                                    ? Rounds(wx, nx, wy, ny, s, rounds)
                                    : FromSmall(s);
        ApplyWide(wx, wy, nx, l, tx.data(), ty.data());
        nx = TrimWords(wx, nx);
        ny = TrimWords(wy, nx);
        if (m != nullptr) w.LeftMultiply(l);
        steps = true;
    }
    if (m != nullptr && steps) {
        Matrix l;
        for (int k = 0; k < 4; ++k) l.u[k] = w.Entry(k);
        *m = IsIdentity(*m) ? std::move(l) : Product(l, *m);
    }
    UnpackPairs(wx, nx, x);
    UnpackPairs(wy, ny, y);
    // No quotient was certain (a large one, or y much shorter): one division step.
    if (divide) DivisionStep(x, y, m);
}

// (a, b) := U (a, b), made non-negative and ordered by flipping and swapping rows of U,
// for U that reduced the high parts (a div 10000^k, b div 10000^k) to (ah, bh): then
// U (a, b) = (ah, bh) 10000^k + U (a mod 10000^k, b mod 10000^k), so only the low k
// limbs need the (large) products.
void ApplyMatrixSplit(Matrix& m, Vec& a, Vec& b, size_t k, Vec&& ah, Vec&& bh) {
    Signed al{Vec(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(std::min(k, a.size()))), false};
    Signed bl{Vec(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(std::min(k, b.size()))), false};
    al.mag.resize(Trim(al.mag.data(), al.mag.size()));
    bl.mag.resize(Trim(bl.mag.data(), bl.mag.size()));
    auto shifted = [k](Vec&& h) {
        Signed r;
        if (!h.empty()) {
            r.mag.assign(k + h.size(), 0);
            std::copy(h.begin(), h.end(), r.mag.begin() + static_cast<std::ptrdiff_t>(k));
        }
        return r;
    };
    Signed lx, ly;
    MatrixTimes(m, al, bl, lx, ly);
    Signed x = Add(shifted(std::move(ah)), lx);
    Signed y = Add(shifted(std::move(bh)), ly);
    if (x.neg) {
        x.neg = false;
        for (int j = 0; j < 2; ++j) m.u[j].neg = !m.u[j].mag.empty() && !m.u[j].neg;
    }
    if (y.neg) {
        y.neg = false;
        for (int j = 2; j < 4; ++j) m.u[j].neg = !m.u[j].mag.empty() && !m.u[j].neg;
    }
    if (Less(x.mag, y.mag)) {
        std::swap(x, y);
        std::swap(m.u[0], m.u[2]);
        std::swap(m.u[1], m.u[3]);
    }
    a = std::move(x.mag);
    b = std::move(y.mag);
}

// Reduces a >= b > 0 of n limbs until b has at most n/2 + 1 limbs, returning U with
// (a', b') = U (a, b) when asked (at the top level only the pair is needed). The matrix
// for the top half of the limbs serves for the whole numbers (the low limbs only disturb
// the low half of the results), so two recursive calls on half-length numbers do the work.
// Whatever the matrices, (a', b') = U (a, b) with U unimodular keeps the gcd; the closing
// Lehmer passes guarantee the size.
Matrix HalfGcd(Vec& a, Vec& b, bool wantMatrix) {
    Matrix u;
    Matrix* um = wantMatrix ? &u : nullptr;
    const size_t n = a.size();
    const size_t s = n / 2 + 1;
    if (b.size() <= s) return u;
    if (n >= std::min(CurrentTuning().halfGcdBase, CurrentTuning().halfGcd)) {
        const size_t k = n / 2;
        Vec ah(a.begin() + static_cast<std::ptrdiff_t>(k), a.end());
        Vec bh(b.begin() + static_cast<std::ptrdiff_t>(k), b.end());
        bh.resize(Trim(bh.data(), bh.size()));
        Matrix u1 = HalfGcd(ah, bh, true);
        ApplyMatrixSplit(u1, a, b, k, std::move(ah), std::move(bh));
        u = std::move(u1);
        if (!b.empty() && b.size() > s) DivisionStep(a, b, um);
        if (!b.empty() && b.size() > s && 2 * s > a.size()) {
            const size_t k2 = 2 * s - a.size();
            if (a.size() > k2 + 8) {
                Vec ah2(a.begin() + static_cast<std::ptrdiff_t>(k2), a.end());
                Vec bh2(b.size() > k2 ? Vec(b.begin() + static_cast<std::ptrdiff_t>(k2), b.end()) : Vec{});
                bh2.resize(Trim(bh2.data(), bh2.size()));
                if (!bh2.empty()) {
                    Matrix u2 = HalfGcd(ah2, bh2, true);
                    ApplyMatrixSplit(u2, a, b, k2, std::move(ah2), std::move(bh2));
                    if (wantMatrix) u = Product(u2, u);
                }
            }
        }
    }
    while (!b.empty() && b.size() > s) LehmerRun(a, b, um, 0, s);
    return u;
}

}  // namespace

LehmerCofactors LehmerLeading(int64_t xh, int64_t yh, int64_t limit) {
    const Small m = LehmerMatrixOne(xh, yh, limit);
    return {m.a, m.b, m.c, m.d};
}

void LehmerApplyWords(std::vector<uint32_t>& x, std::vector<uint32_t>& y, const LehmerCofactors& m,
                      const LehmerCofactors* then) {
    const size_t n = std::max(x.size(), y.size()) + kMaxCofactorWords, columns = RoundedWords(n + kPad);
    std::vector<Word> bx(kPad + columns, 0), by(kPad + columns, 0);
    std::copy(x.begin(), x.end(), bx.begin() + kPad);
    std::copy(y.begin(), y.end(), by.begin() + kPad);
    std::vector<int64_t> tx(columns), ty(columns);
    PassCofactors p = CofactorsOf(m.a, m.b, m.c, m.d);
    if (then != nullptr) {
        const bool signs = m.a < 0 || m.b < 0 || m.c < 0 || m.d < 0;
        p = Compose(CofactorsOf(then->a, then->b, then->c, then->d), p);
        if (!signs) {
            for (auto& k : p.k) k.neg = 0;
        }
    }
    ApplyWide(bx.data() + kPad, by.data() + kPad, n, p, tx.data(), ty.data());
    x.assign(bx.begin() + kPad, bx.begin() + static_cast<std::ptrdiff_t>(kPad + TrimWords(bx.data() + kPad, columns)));
    y.assign(by.begin() + kPad, by.begin() + static_cast<std::ptrdiff_t>(kPad + TrimWords(by.data() + kPad, columns)));
}

unsigned __int128 GcdU128(unsigned __int128 x, unsigned __int128 y) {
    using U = unsigned __int128;
    if (x < y) std::swap(x, y);
    // Lehmer's steps on the leading 62 bits until y fits 64 bits. The matrix is applied
    // in wrapping 128-bit arithmetic: the results lie in [0, 2^128), so they come out exact.
    while ((y >> 64) != 0) {
        const int bits = 128 - __builtin_clzll(static_cast<uint64_t>(x >> 64));
        const int shift = bits - 62;
        int64_t xh = static_cast<int64_t>(x >> shift), yh = static_cast<int64_t>(y >> shift);
        int64_t a = 1, b = 0, c = 0, d = 1;
        while (yh + c != 0 && yh + d != 0) {
            const int64_t q1 = (xh + a) / (yh + c);
            const int64_t q2 = (xh + b) / (yh + d);
            if (q1 != q2) break;
            int64_t t = a - q1 * c;
            a = c;
            c = t;
            t = b - q1 * d;
            b = d;
            d = t;
            t = xh - q1 * yh;
            xh = yh;
            yh = t;
        }
        if (b == 0) {
            const U r = x % y;
            x = y;
            y = r;
        } else {
            const U nx = static_cast<U>(a) * x + static_cast<U>(b) * y;
            const U ny = static_cast<U>(c) * x + static_cast<U>(d) * y;
            x = nx;
            y = ny;
        }
    }
    if (y == 0) return x;
    const uint64_t y64 = static_cast<uint64_t>(y);
    return GcdU64(y64, static_cast<uint64_t>(x % y64));
}

std::vector<Limb> Gcd(std::vector<Limb> x, std::vector<Limb> y) {
    x.resize(Trim(x.data(), x.size()));
    y.resize(Trim(y.data(), y.size()));
    if (Less(x, y)) std::swap(x, y);
    while (true) {
        const size_t nx = x.size(), ny = y.size();
        if (ny == 0) return x;
        if (nx <= 4) return FromU64(GcdU64(ToU64(x.data(), nx), ToU64(y.data(), ny)));
        if (nx <= 9) {
            unsigned __int128 g = GcdU128(ToU128(x.data(), nx), ToU128(y.data(), ny));
            Vec out;
            while (g != 0) {
                out.push_back(static_cast<Limb>(static_cast<uint64_t>(g % kBase)));
                g /= kBase;
            }
            return out;
        }
        if (ny >= CurrentTuning().halfGcd && ny + 1 >= nx) {
            HalfGcd(x, y, false);
            if (!y.empty() && x.size() >= nx) DivisionStep(x, y, nullptr);
            continue;
        }
        LehmerRun(x, y, nullptr, 9, 0);
    }
}

}  // namespace tabai_kernels
