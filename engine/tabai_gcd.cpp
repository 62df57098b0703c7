// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Greatest common divisor of TSeisu limb arrays: Lehmer's algorithm.
//
// Euclid's algorithm spends a whole pass over both numbers on every quotient, and most
// quotients are small. Lehmer's method runs Euclid on the leading 18 digits of both
// numbers in 64-bit words, as long as those digits determine the quotients exactly
// (Knuth's two-sided test), collecting the steps in a 2x2 matrix of cofactors; one pass
// over the numbers then applies the matrix, which removes about 9 digits at once.
#include <algorithm>
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
// transforms or more, so they win from shorter operands than a single product's.
constexpr size_t kSharedTransformLimbs = 250;
bool SharedTransformsPay(const Signed* const* ops, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const size_t n = ops[i]->mag.size();
        if (n < kSharedTransformLimbs || 2 * n > NttMaxProduct()) return false;
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

// Lehmer's matrix (a b; c d) for the leading digits xh >= yh of two numbers: the
// Euclid steps those digits decide exactly (Knuth's two-sided test), with cofactors
// kept within kLehmerLimit. b == 0 when no step was certain.
constexpr int64_t kLehmerLimit = 2000000000;  // keeps a * word + b * word far inside 64 bits

struct Small {
    int64_t a = 1, b = 0, c = 0, d = 1;
};

Small LehmerMatrix(int64_t xh, int64_t yh) {
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
        if (q1 > kLehmerLimit) break;
        const int64_t nc = a - q1 * c, nd = b - q1 * d;
        if (nc > kLehmerLimit || nc < -kLehmerLimit || nd > kLehmerLimit || nd < -kLehmerLimit) break;
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
    const Small s = LehmerMatrix(xh, yh);
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

// --- Lehmer's passes on words of 8 digits --------------------------------------------

// Packing two limbs into one word once for a whole run of passes halves the products and
// divisions of each pass against packing them on the fly.
using Word = uint32_t;
constexpr uint32_t kPairBase = 100000000;  // two limbs

std::vector<Word> PackPairs(const Vec& x) {
    std::vector<Word> w((x.size() + 1) / 2);
    for (size_t j = 0; j < w.size(); ++j) {
        const uint32_t hi = 2 * j + 1 < x.size() ? x[2 * j + 1] : 0;
        w[j] = x[2 * j] + kBase * hi;
    }
    return w;
}

void UnpackPairs(const std::vector<Word>& w, size_t nw, Vec& x) {
    x.resize(2 * nw);
    for (size_t j = 0; j < nw; ++j) {
        x[2 * j] = static_cast<Limb>(w[j] % kBase);
        x[2 * j + 1] = static_cast<Limb>(w[j] / kBase);
    }
    x.resize(Trim(x.data(), x.size()));
}

size_t TrimWords(const std::vector<Word>& w, size_t n) {
    while (n > 0 && w[n - 1] == 0) --n;
    return n;
}

// The length in limbs of a trimmed word array.
size_t LimbsOf(const std::vector<Word>& w, size_t n) {
    return n == 0 ? 0 : 2 * n - (w[n - 1] < kBase ? 1 : 0);
}

uint32_t Pow10(size_t e) {
    uint32_t p = 1;
    while (e-- > 0) p *= 10;
    return p;
}

// floor(w / 10^shift) for a shift that leaves at most 18 digits. The words above word
// shift / 8 hold at most 17 digits, so the division by 10^(shift mod 8) needs only the
// lowest word: floor((top 10^8 + w) / 10^r) = top 10^(8 - r) + floor(w / 10^r).
int64_t LeadingWords(const std::vector<Word>& w, size_t n, size_t shift) {
    const size_t j = shift / 8, r = shift % 8;
    if (n <= j) return 0;
    uint64_t top = 0;
    for (size_t i = n; i-- > j + 1;) top = top * kPairBase + w[i];
    return static_cast<int64_t>(top * Pow10(8 - r) + w[j] / Pow10(r));
}

// (x, y) := (a x + b y, c x + d y) over the first n words (y zero beyond ny); the results
// are known to be non-negative. With |a|, |b|, |c|, |d| <= 2 * 10^9 every sum stays below
// 5 * 10^17, and a bias of 10^18 (a multiple of 10^8) keeps every intermediate unsigned.
void ApplyWords(Word* x, Word* y, size_t n, int64_t a, int64_t b, int64_t c, int64_t d) {
    constexpr int64_t kD = kPairBase;
    constexpr int64_t kBias = 1000000000000000000;
    int64_t cx = 0, cy = 0;
    for (size_t i = 0; i < n; ++i) {
        const int64_t xi = x[i], yi = y[i];
        const uint64_t tx = static_cast<uint64_t>(a * xi + b * yi + cx + kBias);
        const uint64_t ty = static_cast<uint64_t>(c * xi + d * yi + cy + kBias);
        x[i] = static_cast<Word>(tx % kD);
        y[i] = static_cast<Word>(ty % kD);
        cx = static_cast<int64_t>(tx / kD) - kBias / kD;
        cy = static_cast<int64_t>(ty / kD) - kBias / kD;
    }
}

// The product of a run's Lehmer matrices, in words. The matrices of Euclid's steps
// alternate their signs in a fixed pattern (after k steps u0 and u3 have the sign
// (-1)^k, u1 and u2 the other), so does their product, and its magnitudes grow by sums
// alone: |L U| = |L| |U| entry by entry.
struct WordMatrix {
    std::vector<Word> u[4];
    size_t len = 1;
    bool odd = false;  // an odd number of steps
    WordMatrix() {
        for (auto& e : u) e.assign(1, 0);
        u[0][0] = u[3][0] = 1;
    }
    // U := L U for L = (a b; c d) of Lehmer's pattern.
    void LeftMultiply(const Small& l) {
        const uint64_t a = static_cast<uint64_t>(l.a < 0 ? -l.a : l.a);
        const uint64_t b = static_cast<uint64_t>(l.b < 0 ? -l.b : l.b);
        const uint64_t c = static_cast<uint64_t>(l.c < 0 ? -l.c : l.c);
        const uint64_t d = static_cast<uint64_t>(l.d < 0 ? -l.d : l.d);
        // Each product grows an entry by at most two words (the cofactors are below 10^10).
        for (auto& e : u) e.resize(len + 2, 0);
        for (int col = 0; col < 2; ++col) {
            Word* top = u[col].data();
            Word* bottom = u[2 + col].data();
            uint64_t ct = 0, cb = 0;
            for (size_t i = 0; i < len + 2; ++i) {
                const uint64_t t = top[i], v = bottom[i];
                const uint64_t nt = a * t + b * v + ct, nb = c * t + d * v + cb;
                top[i] = static_cast<Word>(nt % kPairBase);
                bottom[i] = static_cast<Word>(nb % kPairBase);
                ct = nt / kPairBase;
                cb = nb / kPairBase;
            }
        }
        size_t used = len + 2;
        while (used > 1 && (u[0][used - 1] | u[1][used - 1] | u[2][used - 1] | u[3][used - 1]) == 0) --used;
        len = used;
        odd = l.d < 0 ? !odd : odd;
    }
    Signed Entry(int k) const {
        Signed r;
        UnpackPairs(u[k], len, r.mag);
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
    std::vector<Word> wx = PackPairs(x), wy = PackPairs(y);
    wy.resize(wx.size(), 0);
    size_t nx = wx.size(), ny = TrimWords(wy, wy.size());
    bool divide = false;
    WordMatrix w;
    bool steps = false;
    while (ny > 0 && LimbsOf(wy, ny) > stopY && LimbsOf(wx, nx) > stopX) {
        pump::ProcessMessages();
        const size_t top = wx[nx - 1];
        size_t digits = 8 * (nx - 1) + 1;
        for (size_t p = 10; p <= top; p *= 10) ++digits;
        const size_t shift = digits > 18 ? digits - 18 : 0;
        const Small s = LehmerMatrix(LeadingWords(wx, nx, shift), LeadingWords(wy, ny, shift));
        if (s.b == 0) {
            divide = true;
            break;
        }
        ApplyWords(wx.data(), wy.data(), nx, s.a, s.b, s.c, s.d);
        nx = TrimWords(wx, nx);
        ny = TrimWords(wy, nx);
        if (m != nullptr) w.LeftMultiply(s);
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
    // Below about 180 limbs, Lehmer's passes beat the recursion (the driver in Gcd starts
    // it only from the half-gcd threshold, where it pays off as a whole).
    if (n >= std::min<size_t>(180, CurrentTuning().halfGcd)) {
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
