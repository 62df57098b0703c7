// Multiplication of TSeisu limb arrays through a double-precision complex transform, for
// the mid sizes where it beats the number-theoretic transforms (one transform of complex
// points does the work of three modular ones, and the join is a rounding, not a Chinese
// remainder).
//
// One limb is one coefficient. The two factors go into the real and imaginary parts of
// one complex sequence z = a + i b; a single forward transform gives Z, from which the
// spectra A and B follow by symmetry (A_k = (Z_k + conj Z_-k) / 2, B_k = (Z_k - conj Z_-k)
// / 2i), so A_k B_k = (Z_k^2 - conj(Z_-k)^2) / 4i; one inverse transform gives the product's
// coefficients as the real parts, which are rounded to integers.
//
// Exactness: the rounding is right while every coefficient's error stays below 1/2.
// Percival's bound for a convolution by radix-2 transforms of 2^n points is
// |error| <= |x| |y| ((1 + e)^3n (1 + e sqrt5)^(3n+1) (1 + b)^3n - 1) (2-norms; e the
// unit roundoff, b the error of a twiddle). It is taken here with |z|^2 >= 2 |a| |b|,
// extra steps for the radix-3 step and the pointwise sums, and required below 1/4, for
// the worst operands (every limb 9999); FftFits() says where that holds.
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

#include "engine/pump.h"
#include "engine/tabai_impl.h"

namespace tabai_impl {

namespace {

constexpr int kMaxLog = 17;  // tables up to 2^17 points; FftFits() limits the sizes further
constexpr size_t kPumpEvery = size_t{1} << 14;
constexpr long double kPi = 3.141592653589793238462643383279502884L;

// Twiddles in long double, rounded once to double (error at most half a unit in the last
// place of each part).
void Twiddle(long double angle, double& re, double& im) {
    re = static_cast<double>(std::cos(angle));
    im = static_cast<double>(-std::sin(angle));
}

// Level k holds w^j for j < 2^k, w = exp(-i pi / 2^k) (a primitive 2^(k+1)-th root);
// Three(k) the radix-3 step of 3 * 2^k points: W^j and W^2j for j < 2^k, W = exp(-2 pi i /
// (3 * 2^k)). Made on first use and never moved, so readers need no lock once they have them.
class Tables {
public:
    struct Level {
        std::unique_ptr<double[]> re, im;
    };
    struct Three {
        std::unique_ptr<double[]> w1r, w1i, w2r, w2i;
    };
    const Level& Get(int k) {
        std::lock_guard<std::mutex> lock(mutex_);
        Level& l = levels_[k];
        if (!l.re) {
            const size_t half = size_t{1} << k;
            auto re = std::make_unique<double[]>(half), im = std::make_unique<double[]>(half);
            for (size_t j = 0; j < half; ++j) {
                Twiddle(kPi * static_cast<long double>(j) / static_cast<long double>(half), re[j], im[j]);
            }
            l.re = std::move(re);
            l.im = std::move(im);
        }
        return l;
    }
    const Three& GetThree(int k) {
        std::lock_guard<std::mutex> lock(mutex_);
        Three& t = threes_[k];
        if (!t.w1r) {
            const size_t len = size_t{1} << k;
            const long double n = 3.0L * static_cast<long double>(len);
            auto w1r = std::make_unique<double[]>(len), w1i = std::make_unique<double[]>(len);
            auto w2r = std::make_unique<double[]>(len), w2i = std::make_unique<double[]>(len);
            for (size_t j = 0; j < len; ++j) {
                const long double x = static_cast<long double>(j);
                Twiddle(2 * kPi * x / n, w1r[j], w1i[j]);
                Twiddle(4 * kPi * x / n, w2r[j], w2i[j]);
            }
            t.w1r = std::move(w1r);
            t.w1i = std::move(w1i);
            t.w2r = std::move(w2r);
            t.w2i = std::move(w2i);
        }
        return t;
    }

private:
    std::mutex mutex_;
    std::array<Level, kMaxLog> levels_;
    std::array<Three, kMaxLog> threes_;
};

Tables& TheTables() {
    static Tables tables;
    return tables;
}

// sin(2 pi / 3), rounded.
constexpr double kSin3 = 0.86602540378443864676372317075293618;

// One level of half-size m: pairs (x[j], y[j]) for j < count with twiddles w[j]. Like the
// modular loops these are compiled for several instruction sets and never call the pump.
TABAI_CLONES void ForwardSpan(double* __restrict xr, double* __restrict xi, double* __restrict yr,
                              double* __restrict yi, const double* __restrict wr, const double* __restrict wi,
                              size_t count) {
    for (size_t j = 0; j < count; ++j) {
        const double ur = xr[j], ui = xi[j], vr = yr[j], vi = yi[j];
        xr[j] = ur + vr;
        xi[j] = ui + vi;
        const double dr = ur - vr, di = ui - vi;
        yr[j] = dr * wr[j] - di * wi[j];
        yi[j] = dr * wi[j] + di * wr[j];
    }
}

TABAI_CLONES void InverseSpan(double* __restrict xr, double* __restrict xi, double* __restrict yr,
                              double* __restrict yi, const double* __restrict wr, const double* __restrict wi,
                              size_t count) {
    for (size_t j = 0; j < count; ++j) {
        const double ur = xr[j], ui = xi[j];
        const double vr = yr[j] * wr[j] + yi[j] * wi[j], vi = yi[j] * wr[j] - yr[j] * wi[j];
        xr[j] = ur + vr;
        xi[j] = ui + vi;
        yr[j] = ur - vr;
        yi[j] = ui - vi;
    }
}

// The levels of half-size 4, 2 and 1 inside each block of 8 points, in one pass (too short
// for vector loops one level at a time).
TABAI_CLONES void ForwardTail8(double* __restrict re, double* __restrict im, size_t n, const double* w4r,
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
                    const double ur = r[b + j], ui = i[b + j], vr = r[b + j + m], vi = i[b + j + m];
                    r[b + j] = ur + vr;
                    i[b + j] = ui + vi;
                    const double dr = ur - vr, di = ui - vi;
                    r[b + j + m] = dr * wr[j] - di * wi[j];
                    i[b + j + m] = dr * wi[j] + di * wr[j];
                }
            }
        };
        const double one[1] = {1.0}, zero[1] = {0.0};
        level(4, w4r, w4i);
        level(2, w2r, w2i);
        level(1, one, zero);
        for (int t = 0; t < 8; ++t) {
            re[s + t] = r[t];
            im[s + t] = i[t];
        }
    }
}

TABAI_CLONES void InverseHead8(double* __restrict re, double* __restrict im, size_t n, const double* w4r,
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
                    const double ur = r[b + j], ui = i[b + j];
                    const double yr = r[b + j + m], yi = i[b + j + m];
                    const double vr = yr * wr[j] + yi * wi[j], vi = yi * wr[j] - yr * wi[j];
                    r[b + j] = ur + vr;
                    i[b + j] = ui + vi;
                    r[b + j + m] = ur - vr;
                    i[b + j + m] = ui - vi;
                }
            }
        };
        const double one[1] = {1.0}, zero[1] = {0.0};
        level(1, one, zero);
        level(2, w2r, w2i);
        level(4, w4r, w4i);
        for (int t = 0; t < 8; ++t) {
            re[s + t] = r[t];
            im[s + t] = i[t];
        }
    }
}

// A transform of 2^log points (log >= 3) over re/im, natural order in, bit-reversed out.
void Forward(double* re, double* im, int log) {
    const size_t n = size_t{1} << log;
    Tables& t = TheTables();
    for (int k = log - 1; k >= 3; --k) {
        const size_t m = size_t{1} << k;
        const Tables::Level& w = t.Get(k);
        for (size_t s = 0; s < n; s += 2 * m) {
            for (size_t j = 0; j < m; j += kPumpEvery) {
                const size_t count = std::min(kPumpEvery, m - j);
                ForwardSpan(re + s + j, im + s + j, re + s + m + j, im + s + m + j, w.re.get() + j, w.im.get() + j,
                            count);
                pump::ProcessMessages();
            }
        }
    }
    const Tables::Level &w4 = t.Get(2), &w2 = t.Get(1);
    for (size_t s = 0; s < n; s += kPumpEvery) {
        ForwardTail8(re + s, im + s, std::min(kPumpEvery, n - s), w4.re.get(), w4.im.get(), w2.re.get(),
                     w2.im.get());
        pump::ProcessMessages();
    }
}

// The inverse (unscaled): bit-reversed order in, natural out.
void Inverse(double* re, double* im, int log) {
    const size_t n = size_t{1} << log;
    Tables& t = TheTables();
    const Tables::Level &w4 = t.Get(2), &w2 = t.Get(1);
    for (size_t s = 0; s < n; s += kPumpEvery) {
        InverseHead8(re + s, im + s, std::min(kPumpEvery, n - s), w4.re.get(), w4.im.get(), w2.re.get(),
                     w2.im.get());
        pump::ProcessMessages();
    }
    for (int k = 3; k < log; ++k) {
        const size_t m = size_t{1} << k;
        const Tables::Level& w = t.Get(k);
        for (size_t s = 0; s < n; s += 2 * m) {
            for (size_t j = 0; j < m; j += kPumpEvery) {
                const size_t count = std::min(kPumpEvery, m - j);
                InverseSpan(re + s + j, im + s + j, re + s + m + j, im + s + m + j, w.re.get() + j, w.im.get() + j,
                            count);
                pump::ProcessMessages();
            }
        }
    }
}

// The radix-3 step of 3L points over the thirds (j, j + L, j + 2L): y0 = a0 + a1 + a2,
// y1 = (a0 + w a1 + w^2 a2) W^j, y2 = (a0 + w^2 a1 + w a2) W^2j for the cube root
// w = -1/2 - i sin(2 pi / 3).
TABAI_CLONES void Forward3Span(double* __restrict r0, double* __restrict i0, double* __restrict r1,
                               double* __restrict i1, double* __restrict r2, double* __restrict i2,
                               const Tables::Three& tw, size_t j0, size_t count) {
    const double* __restrict w1r = tw.w1r.get() + j0;
    const double* __restrict w1i = tw.w1i.get() + j0;
    const double* __restrict w2r = tw.w2r.get() + j0;
    const double* __restrict w2i = tw.w2i.get() + j0;
    for (size_t j = 0; j < count; ++j) {
        const double sr = r1[j] + r2[j], si = i1[j] + i2[j];
        const double dr = r1[j] - r2[j], di = i1[j] - i2[j];
        const double tr = r0[j] - 0.5 * sr, ti = i0[j] - 0.5 * si;
        // m = -i sin(2 pi / 3) (a1 - a2)
        const double mr = kSin3 * di, mi = -kSin3 * dr;
        r0[j] += sr;
        i0[j] += si;
        const double ar = tr + mr, ai = ti + mi, br = tr - mr, bi = ti - mi;
        r1[j] = ar * w1r[j] - ai * w1i[j];
        i1[j] = ar * w1i[j] + ai * w1r[j];
        r2[j] = br * w2r[j] - bi * w2i[j];
        i2[j] = br * w2i[j] + bi * w2r[j];
    }
}

TABAI_CLONES void Inverse3Span(double* __restrict r0, double* __restrict i0, double* __restrict r1,
                               double* __restrict i1, double* __restrict r2, double* __restrict i2,
                               const Tables::Three& tw, size_t j0, size_t count) {
    const double* __restrict w1r = tw.w1r.get() + j0;
    const double* __restrict w1i = tw.w1i.get() + j0;
    const double* __restrict w2r = tw.w2r.get() + j0;
    const double* __restrict w2i = tw.w2i.get() + j0;
    for (size_t j = 0; j < count; ++j) {
        const double zr = r1[j] * w1r[j] + i1[j] * w1i[j], zi = i1[j] * w1r[j] - r1[j] * w1i[j];
        const double yr = r2[j] * w2r[j] + i2[j] * w2i[j], yi = i2[j] * w2r[j] - r2[j] * w2i[j];
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

// The pointwise step for the pairs (p, q) = (p0 + j, q0 - j), j < count, of points k and
// -k: c_p = s (D_im, -D_re), c_q = s (D_im, D_re) for D = Z_p^2 - conj(Z_q)^2, which is
// s' A B at both (s folds in the 1/4i of the symmetry and the inverse's 1/n).
TABAI_CLONES void PairSpan(double* __restrict re, double* __restrict im, size_t p0, size_t q0, size_t count,
                           double s) {
    for (size_t j = 0; j < count; ++j) {
        const size_t p = p0 + j, q = q0 - j;
        const double pr = re[p], pi = im[p], qr = re[q], qi = im[q];
        const double dre = (pr * pr - pi * pi) - (qr * qr - qi * qi);
        const double dim = 2 * (pr * pi + qr * qi);
        re[p] = s * dim;
        im[p] = -s * dre;
        re[q] = s * dim;
        im[q] = s * dre;
    }
}

// The pointwise step over one part of 2^log points in bit-reversed order, paired with
// itself: positions 0 and 1 alone, then block [2^m, 2^(m+1)) mirrored.
void PairBlocks(double* re, double* im, size_t base, int log, double s) {
    PairSpan(re, im, base, base, 1, s);
    PairSpan(re, im, base + 1, base + 1, 1, s);
    for (int m = 1; m < log; ++m) {
        const size_t lo = size_t{1} << m;
        // p from lo up to the middle, q from the top down; the middle pairs meet.
        PairSpan(re, im, base + lo, base + 2 * lo - 1, lo / 2, s);
        pump::ProcessMessages();
    }
}

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

// The unit roundoff; the bound of the header, for a transform of `shape` and |z|^2.
double ErrorBound(const Shape& shape, double norm2) {
    const double e = 0x1p-53, b = 2 * e;
    const int n = shape.log + (shape.three ? 2 : 0);
    const double grow = std::pow(1 + e, 3 * n + 6) * std::pow(1 + e * std::sqrt(5.0), 3 * n + 4) *
                        std::pow(1 + b, 3 * n);
    return norm2 * (grow - 1);
}

}  // namespace

bool FftFits(size_t na, size_t nb) {
    const Shape shape = ShapeFor(na + nb - 1);
    return shape.log < kMaxLog && ErrorBound(shape, 9999.0 * 9999.0 * static_cast<double>(na + nb)) < 0.25;
}

bool FftCyclicFits(size_t minLen) {
    const Shape shape = ShapeFor(minLen);
    // Factors of up to the whole length each.
    return shape.log < kMaxLog &&
           ErrorBound(shape, 9999.0 * 9999.0 * 2.0 * static_cast<double>(shape.size())) < 0.25;
}

size_t FftCyclicLength(size_t minLen) { return ShapeFor(minLen).size(); }

namespace {

// The cyclic convolution of a and b over the points of `shape` (na, nb at most its size),
// scaled, in re[0..n) (imaginary parts left in im).
std::unique_ptr<double[]> Convolve(const Limb* a, size_t na, const Limb* b, size_t nb, const Shape& shape) {
    const size_t n = shape.size();
    std::unique_ptr<double[]> buf(new double[2 * n]);
    double* re = buf.get();
    double* im = re + n;
    for (size_t j = 0; j < n; ++j) {
        re[j] = j < na ? a[j] : 0.0;
        im[j] = j < nb ? b[j] : 0.0;
    }
    const double s = 1.0 / (4.0 * static_cast<double>(n));
    if (!shape.three) {
        Forward(re, im, shape.log);
        PairBlocks(re, im, 0, shape.log, s);
        Inverse(re, im, shape.log);
        return buf;
    }
    const size_t len = size_t{1} << shape.log;
    const Tables::Three& tw = TheTables().GetThree(shape.log);
    for (size_t j = 0; j < len; j += kPumpEvery) {
        const size_t count = std::min(kPumpEvery, len - j);
        Forward3Span(re + j, im + j, re + len + j, im + len + j, re + 2 * len + j, im + 2 * len + j, tw, j, count);
        pump::ProcessMessages();
    }
    for (int r = 0; r < 3; ++r) Forward(re + r * len, im + r * len, shape.log);
    // Part 0 holds the points 3k, paired among themselves; part 1 the points 3k + 1,
    // whose negatives 3(L - k - 1) + 2 lie in part 2, mirrored.
    PairBlocks(re, im, 0, shape.log, s);
    for (size_t j = 0; j < len; j += kPumpEvery) {
        PairSpan(re, im, len + j, 3 * len - 1 - j, std::min(kPumpEvery, len - j), s);
        pump::ProcessMessages();
    }
    for (int r = 0; r < 3; ++r) Inverse(re + r * len, im + r * len, shape.log);
    for (size_t j = 0; j < len; j += kPumpEvery) {
        const size_t count = std::min(kPumpEvery, len - j);
        Inverse3Span(re + j, im + j, re + len + j, im + len + j, re + 2 * len + j, im + 2 * len + j, tw, j, count);
        pump::ProcessMessages();
    }
    return buf;
}

// out[0..count) := the coefficients re[0..count) rounded and carried in base 10000 (each
// below 2^53, so rounded exactly; the carry stays in 64 bits); returns the carry out.
uint64_t Carry(const double* re, size_t count, Limb* out) {
    uint64_t carry = 0;
    for (size_t k = 0; k < count; ++k) {
        carry += static_cast<uint64_t>(re[k] + 0.5);
        out[k] = static_cast<Limb>(carry % kBase);
        carry /= kBase;
    }
    return carry;
}

}  // namespace

void MulFft(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out) {
    const size_t points = na + nb - 1;
    const auto buf = Convolve(a, na, b, nb, ShapeFor(points));
    out[points] = static_cast<Limb>(Carry(buf.get(), points, out));
}

size_t MulFftCyclic(const Limb* a, size_t na, const Limb* b, size_t nb, size_t minLen, Limb* out) {
    const Shape shape = ShapeFor(minLen);
    const size_t n = shape.size();
    const auto buf = Convolve(a, na, b, nb, shape);
    uint64_t carry = Carry(buf.get(), n, out);
    // 10000^n = 1 here, so the carry out of the top comes back in at the bottom.
    while (carry != 0) {
        for (size_t i = 0; i < n && carry != 0; ++i) {
            const uint64_t v = out[i] + carry;
            out[i] = static_cast<Limb>(v % kBase);
            carry = v / kBase;
        }
    }
    return n;
}

void SqrFft(const Limb* a, size_t n, Limb* out) { MulFft(a, n, a, n, out); }

}  // namespace tabai_impl
