// Division kernels of TSeisu: single-limb divisor, long division, and the dispatcher.
#include <algorithm>
#include <vector>

#include "pump.h"
#include "tabai_impl.h"

namespace tabai_impl {

size_t gNewtonThreshold = 200;

uint32_t DivSmall(const Limb* a, size_t n, uint32_t d, Limb* q) {
    // rem < d <= 65535, so rem * 10000 + limb stays below 2^32 and each quotient limb
    // below 10000.
    uint32_t rem = 0;
    for (size_t i = n; i-- > 0;) {
        const uint32_t t = rem * kBase + a[i];
        q[i] = static_cast<Limb>(t / d);
        rem = t % d;
    }
    return rem;
}

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

}  // namespace

void DivSchool(const Limb* a, size_t m, const Limb* b, size_t n, Limb* q, Limb* r) {
    // Normalisation: scaling both by f makes the divisor's top limb at least 5000, so the
    // two-limb estimate below is at most 2 too large and the correction leaves at most 1.
    const uint32_t f = kBase / (b[n - 1] + 1u);
    std::vector<Limb> u(a, a + m);
    u.push_back(static_cast<Limb>(MulSmallInPlace(u.data(), m, f)));
    std::vector<Limb> v(b, b + n);
    MulSmallInPlace(v.data(), n, f);
    const uint32_t vtop = v[n - 1], vnext = v[n - 2];
    for (size_t j = m - n + 1; j-- > 0;) {
        if ((j & 15) == 0) pump::ProcessMessages();
        Limb* uj = u.data() + j;
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
        // Multiply and subtract: uj[0..n] -= qhat * v.
        uint32_t borrow = 0;
        for (size_t i = 0; i < n; ++i) {
            const uint32_t p = qhat * v[i] + borrow;
            const uint32_t lo = p % kBase;
            borrow = p / kBase;
            if (uj[i] < lo) {
                uj[i] = static_cast<Limb>(uj[i] + kBase - lo);
                ++borrow;
            } else {
                uj[i] = static_cast<Limb>(uj[i] - lo);
            }
        }
        if (uj[n] < borrow) {
            // The estimate was one too large (rare, about 2/10000 of the limbs): the
            // window went below zero, so one divisor is added back.
            --qhat;
            uint32_t carry = 0;
            for (size_t i = 0; i < n; ++i) {
                const uint32_t s = uj[i] + v[i] + carry;
                carry = s >= kBase;
                uj[i] = static_cast<Limb>(carry ? s - kBase : s);
            }
            uj[n] = 0;
        } else {
            uj[n] = static_cast<Limb>(uj[n] - borrow);
        }
        q[j] = static_cast<Limb>(qhat);
    }
    // The remainder is u[0..n) / f, an exact division.
    DivSmall(u.data(), n, f, r);
}

void Div(const Limb* a, size_t m, const Limb* b, size_t n, Limb* q, Limb* r) {
    if (n == 1) {
        r[0] = static_cast<Limb>(DivSmall(a, m, b[0], q));
        return;
    }
    DivSchool(a, m, b, n, q, r);
}

}  // namespace tabai_impl
