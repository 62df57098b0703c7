// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Natural-number identities across the fast methods' thresholds: with the thresholds
// lowered, products, quotients and gcds of a few hundred limbs run through Karatsuba,
// the number-theoretic transform, Newton division and the half gcd, and must agree with
// the schoolbook methods (thresholds out of reach) and with the identities
// q * b + r = a (r < b), (a * b + c) div b = a for c < b, and gcd | a, gcd | b.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "engine/Stream.h"
#include "engine/tabai.h"
#include "engine/tabai_kernels.h"
#include "fuzz/bounded.h"

namespace {

struct Thresholds {
    size_t karatsuba, ntt, sqrNtt, newton, halfGcd;
    void Apply() const {
        tabai_kernels::Tuning t = tabai_kernels::CurrentTuning();
        t.karatsuba = karatsuba;
        t.ntt = ntt;
        t.sqrNtt = sqrNtt;
        t.newton = newton;
        t.halfGcd = halfGcd;
        tabai_kernels::SetTuning(t);
    }
};
constexpr size_t kNever = std::numeric_limits<size_t>::max() / 4;
constexpr Thresholds kSchoolbook{kNever, kNever, kNever, kNever, kNever};

// A number from the input: runs of one digit (the long runs of 9s and 0s that make
// carries and top limbs of 9999 or 1) and plain digits, chosen byte by byte.
TSeisu Number(const uint8_t*& p, const uint8_t* end) {
    std::string digits;
    const size_t parts = p < end ? 1 + *p++ % 16 : 1;
    for (size_t i = 0; i < parts && p < end; ++i) {
        const uint8_t b = *p++;
        if (b & 0x80) {
            const size_t run = p < end ? 1 + *p++ * 8u : 1;
            digits.append(run, static_cast<char>('0' + b % 10));
        } else {
            digits += static_cast<char>('0' + b % 10);
        }
    }
    digits += ';';
    StringStream s(digits);
    TSeisu x;
    try {
        x.ReadFrom(s);
    } catch (const TStreamException&) {
    }
    return x;
}

void Check(bool ok, const char* what, const TSeisu& a, const TSeisu& b) {
    if (ok) return;
    std::fprintf(stderr, "%s\na = %s\nb = %s\n", what, a.ToText().c_str(), b.ToText().c_str());
    std::abort();
}

bool Equal(const TSeisu& x, const TSeisu& y) { return x.Compare(y) == 1; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tabai_kernels::Tuning t = tabai_kernels::CurrentTuning();
    t.nttParallel = false;  // one thread: a finding replays the same way
    tabai_kernels::SetTuning(t);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t* p = data + 1;
    const uint8_t* end = data + size;
    // The first byte picks how low the thresholds go (in limbs).
    const size_t low = 2 + data[0] % 24;
    const Thresholds fast{low, low + 4, low + 8, low, low + 6};
    const TSeisu a = Number(p, end);
    const TSeisu b = Number(p, end);
    const nerova::fuzz::TimeBudget budget;
    try {
        TSeisu product, square, quotient, remainder, gcd, refProduct, refSquare, refQuotient,
            refRemainder, refGcd;
        fast.Apply();
        product.Mul(a, b);
        square = a;
        square.Mul(square, square);
        if (!b.IsZero()) quotient.DivMod(a, b, remainder);
        gcd.Gcd(a, b);
        kSchoolbook.Apply();
        refProduct.Mul(a, b);
        refSquare.Mul(a, TSeisu(a));
        if (!b.IsZero()) refQuotient.DivMod(a, b, refRemainder);
        refGcd.Gcd(a, b);
        fast.Apply();

        Check(Equal(product, refProduct), "products differ", a, b);
        Check(Equal(square, refSquare), "squares differ", a, b);
        Check(Equal(gcd, refGcd), "gcds differ", a, b);
        if (!b.IsZero()) {
            Check(Equal(quotient, refQuotient) && Equal(remainder, refRemainder), "divisions differ", a, b);
            Check(remainder.Compare(b) == 2, "remainder not below the divisor", a, b);
            TSeisu back;
            back.Mul(quotient, b);
            back.Add(remainder);
            Check(Equal(back, a), "q * b + r is not a", a, b);
            // (a * b + (b - 1)) div b = a, remainder b - 1.
            TSeisu c, n, q, r;
            c.LongSub(b, TSeisu(1));
            n.LongAdd(product, c);
            q.DivMod(n, b, r);
            Check(Equal(q, a) && Equal(r, c), "(a * b + b - 1) div b is not a", a, b);
        }
        if (!gcd.IsZero()) {
            TSeisu q, r;
            q.DivMod(a, gcd, r);
            Check(r.IsZero(), "gcd does not divide a", a, b);
            q.DivMod(b, gcd, r);
            Check(r.IsZero(), "gcd does not divide b", a, b);
        }
    } catch (const nerova::fuzz::TCancelled&) {
    } catch (const TSeisuException& e) {
        // Only the digit budget may refuse; the limb limits are far away.
        if (std::string(e.what()) != nerova::sourceText(kSeisuTooLarge)) Check(false, e.what(), a, b);
    }
    return 0;
}
