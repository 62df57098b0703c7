// Greatest common divisor of TSeisu limb arrays: Lehmer's algorithm.
//
// Euclid's algorithm spends a whole pass over both numbers on every quotient, and most
// quotients are small. Lehmer's method runs Euclid on the leading 18 digits of both
// numbers in 64-bit words, as long as those digits determine the quotients exactly
// (Knuth's two-sided test), collecting the steps in a 2x2 matrix of cofactors; one pass
// over the numbers then applies the matrix, which removes about 9 digits at once.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("O3")
#endif

#include <algorithm>
#include <utility>
#include <vector>

#include "pump.h"
#include "tabai_impl.h"

namespace tabai_impl {

namespace {

using Vec = std::vector<Limb>;

uint64_t ToU64(const Limb* x, size_t n) {
    uint64_t v = 0;
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

uint64_t GcdU64(uint64_t a, uint64_t b) {
    if (a == 0) return b;
    if (b == 0) return a;
    const int shift = __builtin_ctzll(a | b);
    a >>= __builtin_ctzll(a);
    while (b != 0) {
        b >>= __builtin_ctzll(b);
        if (a > b) std::swap(a, b);
        b -= a;
    }
    return a << shift;
}

std::vector<Limb> Gcd(std::vector<Limb> x, std::vector<Limb> y) {
    x.resize(Trim(x.data(), x.size()));
    y.resize(Trim(y.data(), y.size()));
    if (x.size() < y.size() || (x.size() == y.size() && CompareN(x.data(), y.data(), x.size()) < 0)) {
        std::swap(x, y);
    }
    Vec q, r;
    while (true) {
        const size_t nx = x.size(), ny = y.size();
        if (ny == 0) return x;
        if (nx <= 4) return FromU64(GcdU64(ToU64(x.data(), nx), ToU64(y.data(), ny)));
        pump::ProcessMessages();
        // The leading 18 digits of x, and y's digits in the same places.
        const size_t digits = DigitCount(x.data(), nx);
        const size_t shift = digits > 18 ? digits - 18 : 0;
        int64_t xh = static_cast<int64_t>(Leading(x.data(), nx, shift));
        int64_t yh = ny * 4 + 4 > shift ? static_cast<int64_t>(Leading(y.data(), ny, shift)) : 0;
        int64_t a = 1, b = 0, c = 0, d = 1;
        constexpr int64_t kLimit = 2000000000;  // keeps a * limb + b * limb far inside 64 bits
        while (yh + c != 0 && yh + d != 0) {
            const int64_t q1 = (xh + a) / (yh + c);
            const int64_t q2 = (xh + b) / (yh + d);
            if (q1 != q2) break;
            const int64_t nc = a - q1 * c, nd = b - q1 * d;
            if (nc > kLimit || nc < -kLimit || nd > kLimit || nd < -kLimit) break;
            a = c;
            c = nc;
            b = d;
            d = nd;
            const int64_t t = xh - q1 * yh;
            xh = yh;
            yh = t;
        }
        if (b == 0) {
            // No quotient was certain (a large one, or y much shorter): one division step.
            q.assign(nx - ny + 1, 0);
            r.assign(ny, 0);
            Div(x.data(), nx, y.data(), ny, q.data(), r.data());
            r.resize(Trim(r.data(), ny));
            std::swap(x, y);
            std::swap(y, r);
            continue;
        }
        y.resize(nx, 0);
        Apply(x.data(), y.data(), nx, a, b, c, d);
        x.resize(Trim(x.data(), nx));
        y.resize(Trim(y.data(), nx));
    }
}

}  // namespace tabai_impl
