// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "engine/lrat.h"

#include <cstdint>
#include <initializer_list>
#include <utility>

namespace {

bool IsOne(const TSeisu& a) { return a.EqualsSmall(1); }

// x := x ^ e for x >= 2 on machine integers, when the power stays below 2^64 (the powers
// of everyday lines: 2^10, (3/7)^5); false, with x unchanged, otherwise.
bool SmallPower(TSeisu& x, const TSeisu& e) {
    if (!x.IsSmall() || e.Count() != 1) return false;
    uint64_t base = x.SmallValue();
    uint64_t result = 1;
    for (uint64_t n = e.SmallValue();;) {
        if ((n & 1) != 0 && __builtin_mul_overflow(result, base, &result)) return false;
        n >>= 1;
        if (n == 0) break;
        if (__builtin_mul_overflow(base, base, &base)) return false;
    }
    x.SetSmall(result);
    return true;
}

// out := gcd(a, b). Most gcds in an evaluation involve a small number (a literal, a
// denominator of 1); those are taken on machine integers after one pass over the big one.
void GcdOf(TSeisu& out, const TSeisu& a, const TSeisu& b) {
    if (IsOne(a) || IsOne(b)) {
        out.SetInt(1);
    } else if (a.IsSmall() && b.IsSmall()) {
        out.SetSmall(TSeisu::GcdSmall(a.SmallValue(), b.SmallValue()));
    } else if (b.IsSmall() && !b.IsZero()) {
        const uint64_t d = b.SmallValue();
        out.SetSmall(TSeisu::GcdSmall(d, a.ModSmall(d)));
    } else if (a.IsSmall() && !a.IsZero()) {
        const uint64_t d = a.SmallValue();
        out.SetSmall(TSeisu::GcdSmall(d, b.ModSmall(d)));
    } else {
        out.Gcd(a, b);
    }
}

// out := a / g for a divisor g of a; out may be a. A zero g throws kSeisuDivideByZero.
void DivideExact(TSeisu& out, const TSeisu& a, const TSeisu& g) {
    if (IsOne(g)) {
        if (&out != &a) out = a;
    } else if (g.IsSmall() && g.SmallValue() <= UINT16_MAX) {
        uint16_t rem = 0;
        out.ShortDivMod(a, static_cast<uint16_t>(g.SmallValue()), rem);
    } else {
        out.DivExact(a, g);
    }
}

// g := gcd(a, b) with aOverG := a / g and bOverG := b / g, for a far longer than b (or b
// than a), both long, when the gcd comes out long; false (g, aOverG and bOverG then
// meaningless) otherwise. The gcd's first step would divide a = q b + r anyway; with
// g = gcd(b, r), a / g = q (b / g) + r / g, and for a long g both quotients are short, so
// one unbalanced product replaces the exact division of the long a.
bool LongGcd(const TSeisu& a, const TSeisu& b, TSeisu& g, TSeisu& aOverG, TSeisu& bOverG) {
    constexpr int32_t kLonger = 10;  // limbs: the gcd's leading digits then decide nothing
    if (a.Count() < b.Count()) return LongGcd(b, a, g, bOverG, aOverG);
    if (b.IsSmall() || a.Count() < b.Count() + kLonger) return false;
    TSeisu q, r;
    q.DivMod(a, b, r);
    if (r.IsZero()) {
        g = b;
        aOverG = std::move(q);
        bOverG.SetInt(1);
        return true;
    }
    g.Gcd(b, r);
    if (2 * g.Count() < b.Count()) {
        // A short gcd: b / g is long, and the exact division of a by the short g is cheap.
        aOverG.DivExact(a, g);
        bOverG.DivExact(b, g);
        return true;
    }
    bOverG.DivExact(b, g);
    TSeisu rOverG;
    rOverG.DivExact(r, g);
    aOverG.Mul(q, bOverG);
    aOverG.Add(rOverG);
    return true;
}

// The quotient a / g for a divisor g of a: a itself when g is 1, else built in scratch.
const TSeisu& Over(const TSeisu& a, const TSeisu& g, TSeisu& scratch) {
    if (IsOne(g)) return a;
    DivideExact(scratch, a, g);
    return scratch;
}

// The product a * b: a factor itself when the other is 1, else built in scratch (which
// is neither a nor b).
const TSeisu& Times(const TSeisu& a, const TSeisu& b, TSeisu& scratch) {
    if (IsOne(b)) return a;
    if (IsOne(a)) return b;
    scratch.Mul(a, b);
    return scratch;
}

// Moves a result into dst, where it may already be. A result in the scratch number or in
// one of the spare scratch numbers is moved; any other object is copied into the scratch
// number at once, so that only the construction may throw, and before dst is touched.
class Result {
public:
    Result(const TSeisu& value, const TSeisu& dst, TSeisu& scratch,
           std::initializer_list<TSeisu*> spares = {}) {
        if (&value == &dst) return;
        for (TSeisu* spare : spares) {
            if (&value == spare) {
                from_ = spare;
                return;
            }
        }
        if (&value != &scratch) scratch = value;
        from_ = &scratch;
    }
    void CommitTo(TSeisu& dst) noexcept {
        if (from_ != nullptr) dst = std::move(*from_);
    }

private:
    TSeisu* from_ = nullptr;
};

// The common part of two denominators: g := gcd(a, b), with a / g and b / g pointing at
// a, b or the scratch numbers. A small b that is not 1 is first tried as a divisor of a
// long a: one short division gives the remainder for the gcd and, when b divides a (as
// k mostly divides the running denominator of a sum like 1/1 + ... + 1/k), the quotient
// as well, which spares a second pass over a.
void SplitByGcd(const TSeisu& a, const TSeisu& b, TSeisu& g, TSeisu& sa, TSeisu& sb,
                const TSeisu*& aOverG, const TSeisu*& bOverG) {
    aOverG = &a;
    bOverG = &b;
    if (b.IsSmall() && a.Count() > 4 && !b.IsZero() && !IsOne(b)) {
        TSeisu rem;
        sa.DivMod(a, b, rem);
        if (rem.IsZero()) {
            g = b;
            aOverG = &sa;
            sb.SetInt(1);
            bOverG = &sb;
            return;
        }
        const uint64_t bv = b.SmallValue();
        const uint64_t gv = TSeisu::GcdSmall(bv, rem.SmallValue());
        g.SetSmall(gv);
        if (gv == 1) return;
        sb.SetSmall(bv / gv);
        bOverG = &sb;
    } else {
        GcdOf(g, a, b);
        if (IsOne(g)) return;
        bOverG = &Over(b, g, sb);
    }
    DivideExact(sa, a, g);
    aOverG = &sa;
}

}  // namespace

TLoRational::TLoRational(int32_t n, int32_t d) : Denominator_(1) {
    if (d == 0) throw TLoRationalException(kRationalDivideByZero);
    if (n != 0 && ((n < 0) != (d < 0))) Sign_ = -1;
    // The magnitude of the most negative 32-bit integer has no 32-bit form; it stays
    // negative here and SetInt refuses it (kSeisuNegative).
    auto magnitude = [](int32_t v) { return v < 0 && v != INT32_MIN ? -v : v; };
    Numerator_.SetInt(magnitude(n));
    Denominator_.SetInt(magnitude(d));
    Reduce();
}

void TLoRational::SetSmall(uint64_t n, uint64_t d) {
    const uint64_t g = TSeisu::GcdSmall(n, d);
    Numerator_.SetSmall(n / g);
    Denominator_.SetSmall(d / g);
    Sign_ = 1;
}

void TLoRational::Clear() {
    Numerator_.SetInt(0);
    Denominator_.SetInt(1);
    Sign_ = 1;
}

void TLoRational::Reduce() {
    TSeisu g;
    GcdOf(g, Numerator_, Denominator_);
    if (IsOne(g)) return;
    TSeisu n, d;
    DivideExact(n, Numerator_, g);
    DivideExact(d, Denominator_, g);
    Numerator_ = std::move(n);
    Denominator_ = std::move(d);
}

void TLoRational::ReduceParts(TSeisu& n, TSeisu& d) {
    TSeisu g;
    GcdOf(g, n, d);
    if (IsOne(g)) return;
    DivideExact(n, n, g);
    DivideExact(d, d, g);
}

void TLoRational::Invert() { std::swap(Numerator_, Denominator_); }

// The same steps as AddSigned and MultiplyBy below, on machine integers: for parts
// below 10^12 and nonzero denominators, as long as the results fit 64 bits. No number
// is allocated and nothing can throw.
namespace {

using Wide = unsigned __int128;

bool AllSmall(const TSeisu& a, const TSeisu& b, const TSeisu& c, const TSeisu& d) {
    return a.IsSmall() && b.IsSmall() && c.IsSmall() && d.IsSmall() && !b.IsZero() && !d.IsZero();
}

bool Fits(Wide v) { return v <= UINT64_MAX; }

}  // namespace

bool TLoRational::AddSmall(const TSeisu& xn, const TSeisu& xd, int32_t xs) {
    if (!AllSmall(Numerator_, Denominator_, xn, xd)) return false;
    const uint64_t n1 = Numerator_.SmallValue(), d1 = Denominator_.SmallValue();
    const uint64_t n2 = xn.SmallValue(), d2 = xd.SmallValue();
    const uint64_t g = TSeisu::GcdSmall(d1, d2);
    const Wide selfPart = Wide{n1} * (d2 / g), otherPart = Wide{n2} * (d1 / g);
    Wide sum;
    int32_t sign = Sign_;
    if (Sign_ == xs) {
        sum = selfPart + otherPart;
    } else if (selfPart < otherPart) {
        sum = otherPart - selfPart;
        sign = -Sign_;
    } else {
        sum = selfPart - otherPart;  // an equal pair keeps the sign: 1 - 1 is +0
    }
    Wide den = Wide{d1} * (d2 / g);
    if (!Fits(sum) || !Fits(den)) return false;
    const uint64_t g2 = TSeisu::GcdSmall(static_cast<uint64_t>(sum), g);
    Numerator_.SetSmall(static_cast<uint64_t>(sum / g2));
    Denominator_.SetSmall(static_cast<uint64_t>(den / g2));
    Sign_ = sign;
    return true;
}

bool TLoRational::MultiplySmall(const TSeisu& xn, const TSeisu& xd, int32_t xs) {
    if (!AllSmall(Numerator_, Denominator_, xn, xd)) return false;
    const uint64_t n1 = Numerator_.SmallValue(), d1 = Denominator_.SmallValue();
    const uint64_t n2 = xn.SmallValue(), d2 = xd.SmallValue();
    const uint64_t g1 = TSeisu::GcdSmall(n1, d2), g2 = TSeisu::GcdSmall(d1, n2);
    const Wide num = Wide{n1 / g1} * (n2 / g2), den = Wide{d1 / g2} * (d2 / g1);
    if (!Fits(num) || !Fits(den)) return false;
    Numerator_.SetSmall(static_cast<uint64_t>(num));
    Denominator_.SetSmall(static_cast<uint64_t>(den));
    Sign_ *= xs;
    return true;
}

// Adds over the least common multiple and reduces by a gcd with the small factor only
// (with g = gcd(d1, d2) and t = n1 (d2/g) + n2 (d1/g), gcd(t, lcm) = gcd(t, g)); when the
// denominators are coprime the sum is already in lowest terms. A factor or divisor of 1
// costs nothing: integers add without a multiplication, and when d2 divides d1 and the
// sum keeps no factor of d2, d1 is the new denominator as it stands.
void TLoRational::AddSigned(const TSeisu& xn, const TSeisu& xd, int32_t xs) {
    if (AddSmall(xn, xd, xs)) return;
    TSeisu g, s1, s2, s3, s4;
    const TSeisu* selfDenOverG;
    const TSeisu* otherDenOverG;
    SplitByGcd(Denominator_, xd, g, s1, s2, selfDenOverG, otherDenOverG);
    const TSeisu& selfPart = Times(Numerator_, *otherDenOverG, s3);
    const TSeisu& otherPart = Times(xn, *selfDenOverG, s4);

    TSeisu sum;
    int32_t sign = Sign_;
    if (Sign_ == xs) {
        sum.LongAdd(selfPart, otherPart);
    } else if (selfPart.Compare(otherPart) == 2) {
        sum.LongSub(otherPart, selfPart);
        sign = -Sign_;
    } else {
        sum.LongSub(selfPart, otherPart);  // an equal pair keeps the sign: 1 - 1 is +0
    }

    // The lowest common denominator is d1 (d2/g); divided by g2 = gcd(sum, g) it is
    // (d1/g) (d2/g2).
    TSeisu s5, s6;
    const TSeisu* den;
    TSeisu g2;
    if (!IsOne(g)) GcdOf(g2, sum, g);
    if (IsOne(g) || IsOne(g2)) {
        den = &Times(Denominator_, *otherDenOverG, s5);
    } else {
        DivideExact(sum, sum, g2);
        den = &Times(*selfDenOverG, Over(xd, g2, s6), s5);
    }
    Result denominator(*den, Denominator_, s5, {&s1, &s2, &s6});
    Numerator_ = std::move(sum);
    denominator.CommitTo(Denominator_);
    Sign_ = sign;
}

void TLoRational::Add(const TLoRational& x) {
    if (&x == this) {
        const TLoRational copy(x);
        AddSigned(copy.Numerator_, copy.Denominator_, copy.Sign_);
    } else {
        AddSigned(x.Numerator_, x.Denominator_, x.Sign_);
    }
}

void TLoRational::Subtract(const TLoRational& x) {
    if (&x == this) {
        const TLoRational copy(x);
        AddSigned(copy.Numerator_, copy.Denominator_, -copy.Sign_);
    } else {
        AddSigned(x.Numerator_, x.Denominator_, -x.Sign_);
    }
}

// Both operands are in lowest terms, so after the cross gcds are divided out the product
// is too, and no final reduction is needed. A zero cross gcd (0 times 1/0) throws
// kSeisuDivideByZero from the division.
void TLoRational::MultiplyBy(const TSeisu& xn, const TSeisu& xd, int32_t xs) {
    if (MultiplySmall(xn, xd, xs)) return;
    TSeisu g1, g2;
    TSeisu s1, s2, s3, s4, s5, s6;
    // Each cross pair's gcd and both quotients by it.
    auto cross = [](const TSeisu& a, const TSeisu& b, TSeisu& g, TSeisu& sa, TSeisu& sb, const TSeisu*& aOverG,
                    const TSeisu*& bOverG) {
        if (LongGcd(a, b, g, sa, sb)) {
            aOverG = &sa;
            bOverG = &sb;
            return;
        }
        GcdOf(g, a, b);
        aOverG = &Over(a, g, sa);
        bOverG = &Over(b, g, sb);
    };
    const TSeisu *numOverG1, *xdOverG1, *denOverG2, *xnOverG2;
    cross(Numerator_, xd, g1, s1, s4, numOverG1, xdOverG1);
    cross(Denominator_, xn, g2, s3, s2, denOverG2, xnOverG2);
    const TSeisu& num = Times(*numOverG1, *xnOverG2, s5);
    const TSeisu& den = Times(*denOverG2, *xdOverG1, s6);
    Result numerator(num, Numerator_, s5, {&s1, &s2});
    Result denominator(den, Denominator_, s6, {&s3, &s4});
    numerator.CommitTo(Numerator_);
    denominator.CommitTo(Denominator_);
    Sign_ *= xs;
}

void TLoRational::Multiply(const TLoRational& x) {
    if (&x == this) {
        const TLoRational copy(x);
        MultiplyBy(copy.Numerator_, copy.Denominator_, copy.Sign_);
    } else {
        MultiplyBy(x.Numerator_, x.Denominator_, x.Sign_);
    }
}

void TLoRational::Divide(const TLoRational& x) {
    if (&x == this) {
        const TLoRational copy(x);
        MultiplyBy(copy.Denominator_, copy.Numerator_, copy.Sign_);
    } else {
        MultiplyBy(x.Denominator_, x.Numerator_, x.Sign_);
    }
}

void TLoRational::Power(const TLoRational& x) {
    // A zero denominator (1/0) is no integer either.
    if (!IsOne(x.Denominator_)) throw TLoRationalException(kRationalPowerNotInteger);
    const TSeisu& e = x.Numerator_;
    const bool oddExponent = e.Count() > 0 && (e.Limb(1) & 1) != 0;  // 10000 is even
    const bool negativeExponent = x.Sign_ < 0;

    // Powers of coprime numbers stay coprime: no reduction needed.
    TSeisu num(Numerator_), den(Denominator_);
    if (e.IsZero()) {
        num.SetInt(1);
        den.SetInt(1);
    } else {
        if (!IsOne(den) && !den.IsZero() && !SmallPower(den, e)) den.Power(e);
        if (!IsOne(num) && !num.IsZero() && !SmallPower(num, e)) num.Power(e);
    }
    if (negativeExponent) std::swap(num, den);
    Numerator_ = std::move(num);
    Denominator_ = std::move(den);
    Sign_ = (Sign_ < 0 && oddExponent) ? -1 : 1;
}
