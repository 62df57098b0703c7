// Multiplication of TSeisu limb arrays through number-theoretic transforms.
//
// Two limbs make one point (base 10^8). A coefficient of the product is below
// min(points) * 10^16 <= 2^23 * 10^16, far below the product of the three primes
// (about 5.9 * 10^25), so three exact cyclic convolutions modulo the primes, joined by
// the Chinese remainder theorem, give the product exactly. The primes are below 2^30, so
// values may lie lazily in [0, 2p) and a difference plus 2p in [0, 4p) still fits 32 bits;
// their multiplicative groups hold 2^24 roots of unity, the longest transform.
//
// Products use Montgomery's reduction (R = 2^32). The forward transform is decimation in
// frequency (natural order in, bit-reversed out) and the inverse decimation in time
// (bit-reversed in, natural out), so no bit reversal is ever done.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("O3")
#endif

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <vector>

#include "pump.h"
#include "tabai_impl.h"

namespace tabai_impl {

namespace {

constexpr int kMaxLog = 24;
constexpr size_t kMaxPoints = size_t{1} << kMaxLog;

struct Prime {
    uint32_t p;
    uint32_t generator;
};
constexpr std::array<Prime, 3> kPrimes = {{{469762049u, 3u}, {167772161u, 3u}, {754974721u, 11u}}};

// Arithmetic modulo one prime, values in Montgomery form where noted.
struct Mod {
    uint32_t p = 0;
    uint32_t pinv = 0;  // -p^-1 mod 2^32
    uint32_t r2 = 0;    // 2^64 mod p

    explicit Mod(uint32_t prime) : p(prime) {
        uint32_t inv = prime;  // Newton's iteration for the inverse modulo 2^32
        for (int i = 0; i < 5; ++i) inv *= 2u - prime * inv;
        pinv = 0u - inv;
        const uint64_t r = (uint64_t{1} << 32) % prime;
        r2 = static_cast<uint32_t>(r * r % prime);
    }
    // a * b / 2^32 mod p, in [0, 2p), for a * b < p * 2^32.
    uint32_t Mul(uint32_t a, uint32_t b) const {
        const uint64_t t = static_cast<uint64_t>(a) * b;
        const uint32_t m = static_cast<uint32_t>(t) * pinv;
        return static_cast<uint32_t>((t + static_cast<uint64_t>(m) * p) >> 32);
    }
    uint32_t Reduce(uint32_t a) const { return a >= p ? a - p : a; }
    uint32_t ToMont(uint32_t a) const { return Reduce(Mul(a, r2)); }
    uint32_t FromMont(uint32_t a) const { return Reduce(Mul(a, 1)); }
    uint32_t Pow(uint32_t baseMont, uint64_t e) const {
        uint32_t r = ToMont(1);
        while (e != 0) {
            if (e & 1) r = Reduce(Mul(r, baseMont));
            baseMont = Reduce(Mul(baseMont, baseMont));
            e >>= 1;
        }
        return r;
    }
};

// Roots of unity in Montgomery form, one array per level: level k holds the 2^k powers
// w^0 .. w^(2^k - 1) of a primitive 2^(k+1)-th root w (and of its inverse). Levels are
// made on first use and never move, so readers need no lock once they have them.
class RootTables {
public:
    explicit RootTables(const Prime& prime) : mod_(prime.p), generator_(prime.generator) {}

    const Mod& mod() const { return mod_; }

    // Makes sure that levels 0 .. log - 1 exist (a transform of 2^log points).
    void Ensure(int log) {
        std::lock_guard<std::mutex> lock(mutex_);
        while (ready_ < log) {
            const int k = ready_;
            const size_t half = size_t{1} << k;
            const uint64_t order = uint64_t{2} << k;
            const uint32_t g = mod_.ToMont(generator_);
            const uint32_t w = mod_.Pow(g, (mod_.p - 1) / order);
            const uint32_t wi = mod_.Pow(w, order - 1);
            auto fwd = std::make_unique<uint32_t[]>(half);
            auto inv = std::make_unique<uint32_t[]>(half);
            uint32_t x = mod_.ToMont(1), y = x;
            for (size_t j = 0; j < half; ++j) {
                fwd[j] = x;
                inv[j] = y;
                x = mod_.Reduce(mod_.Mul(x, w));
                y = mod_.Reduce(mod_.Mul(y, wi));
            }
            forward_[k] = std::move(fwd);
            inverse_[k] = std::move(inv);
            ++ready_;
        }
    }
    const uint32_t* Forward(int k) const { return forward_[k].get(); }
    const uint32_t* Inverse(int k) const { return inverse_[k].get(); }

private:
    Mod mod_;
    uint32_t generator_;
    std::mutex mutex_;
    int ready_ = 0;
    std::array<std::unique_ptr<uint32_t[]>, kMaxLog> forward_;
    std::array<std::unique_ptr<uint32_t[]>, kMaxLog> inverse_;
};

RootTables& Tables(int i) {
    static RootTables tables[3] = {RootTables(kPrimes[0]), RootTables(kPrimes[1]),
                                   RootTables(kPrimes[2])};
    return tables[i];
}

// Lets the user interface in after about this many butterflies (well under a millisecond).
constexpr size_t kPumpEvery = size_t{1} << 15;

TABAI_CLONES void Forward(uint32_t* a, int log, const RootTables& t) {
    const Mod& md = t.mod();
    const uint32_t p2 = 2 * md.p;
    const size_t n = size_t{1} << log;
    size_t work = 0;
    for (int k = log - 1; k >= 0; --k) {
        const size_t m = size_t{1} << k;
        const uint32_t* w = t.Forward(k);
        for (size_t s = 0; s < n; s += 2 * m) {
            uint32_t* x = a + s;
            uint32_t* y = a + s + m;
            for (size_t j = 0; j < m; ++j) {
                const uint32_t u = x[j], v = y[j];
                uint32_t sum = u + v;
                sum -= sum >= p2 ? p2 : 0;
                x[j] = sum;
                y[j] = md.Mul(u - v + p2, w[j]);
            }
            work += m;
            if (work >= kPumpEvery) {
                work = 0;
                pump::ProcessMessages();
            }
        }
    }
}

TABAI_CLONES void Inverse(uint32_t* a, int log, const RootTables& t) {
    const Mod& md = t.mod();
    const uint32_t p2 = 2 * md.p;
    const size_t n = size_t{1} << log;
    size_t work = 0;
    for (int k = 0; k < log; ++k) {
        const size_t m = size_t{1} << k;
        const uint32_t* w = t.Inverse(k);
        for (size_t s = 0; s < n; s += 2 * m) {
            uint32_t* x = a + s;
            uint32_t* y = a + s + m;
            for (size_t j = 0; j < m; ++j) {
                const uint32_t u = x[j];
                const uint32_t v = md.Mul(y[j], w[j]);
                uint32_t sum = u + v;
                sum -= sum >= p2 ? p2 : 0;
                uint32_t diff = u - v + p2;
                diff -= diff >= p2 ? p2 : 0;
                x[j] = sum;
                y[j] = diff;
            }
            work += m;
            if (work >= kPumpEvery) {
                work = 0;
                pump::ProcessMessages();
            }
        }
    }
}

// GCC treats the resolver of a target_clones function as unable to throw, so a
// cancellation thrown by the pump inside Forward or Inverse would end the program when
// they are called directly. Calls through these pointers keep the unwinding intact.
void (*volatile const kForward)(uint32_t*, int, const RootTables&) = &Forward;
void (*volatile const kInverse)(uint32_t*, int, const RootTables&) = &Inverse;

// Points of base 10^8 from pairs of limbs, zero-padded to n.
void Load(const Limb* a, size_t na, uint32_t* out, size_t n) {
    const size_t pairs = na / 2;
    for (size_t i = 0; i < pairs; ++i) out[i] = a[2 * i] + kBase * a[2 * i + 1];
    size_t used = pairs;
    if (na % 2 != 0) out[used++] = a[na - 1];
    std::fill(out + used, out + n, 0u);
}

// Residues of the product (or square) modulo prime i, fully reduced, in res[0..n).
void Convolve(int i, const Limb* a, size_t na, const Limb* b, size_t nb, int log, uint32_t* res,
              uint32_t* work) {
    const RootTables& t = Tables(i);
    const Mod& md = t.mod();
    const size_t n = size_t{1} << log;
    Load(a, na, res, n);
    kForward(res, log, t);
    if (b != nullptr) {
        Load(b, nb, work, n);
        kForward(work, log, t);
        for (size_t k = 0; k < n; ++k) res[k] = md.Mul(res[k], work[k]);
    } else {
        for (size_t k = 0; k < n; ++k) res[k] = md.Mul(res[k], res[k]);
    }
    pump::ProcessMessages();
    kInverse(res, log, t);
    // The pointwise products carry a factor 2^-32 and the inverse a factor n: one
    // Montgomery product by 2^64 / n mod p removes both.
    uint64_t invN = 1, base = n % md.p;
    for (uint64_t e = md.p - 2; e != 0; e >>= 1) {
        if (e & 1) invN = invN * base % md.p;
        base = base * base % md.p;
    }
    const uint32_t scale = static_cast<uint32_t>(md.r2 * invN % md.p);
    for (size_t k = 0; k < n; ++k) res[k] = md.Reduce(md.Mul(res[k], scale));
}

// Joins the three residues of each point into the product's limbs.
void Join(const uint32_t* r0, const uint32_t* r1, const uint32_t* r2, size_t points, Limb* out,
          size_t nout) {
    constexpr uint64_t P0 = kPrimes[0].p, P1 = kPrimes[1].p, P2 = kPrimes[2].p;
    constexpr uint64_t K = P0 * P1;  // below 2^57
    constexpr uint64_t kD = 100000000;
    constexpr uint64_t Kq = K / kD, Kr = K % kD;
    // Inverses for Garner's method.
    auto powmod = [](uint64_t b, uint64_t e, uint64_t m) {
        uint64_t r = 1;
        b %= m;
        while (e) {
            if (e & 1) r = r * b % m;
            b = b * b % m;
            e >>= 1;
        }
        return r;
    };
    const uint64_t inv01 = powmod(P0, P1 - 2, P1);           // P0^-1 mod P1
    const uint64_t inv012 = powmod(K % P2, P2 - 2, P2);      // (P0 P1)^-1 mod P2
    uint64_t carry = 0;
    size_t o = 0;
    for (size_t k = 0; k < points && o < nout; ++k) {
        const uint64_t a0 = r0[k];
        const uint64_t y1 = (r1[k] + P1 - a0 % P1) % P1 * inv01 % P1;
        const uint64_t s = a0 + P0 * y1;  // the value modulo P0 P1, below K
        const uint64_t y2 = (r2[k] + P2 - s % P2) % P2 * inv012 % P2;
        // value = y2 * K + s; add the carry and split off eight digits.
        const uint64_t low = y2 * Kr + s + carry;
        const uint64_t digits = low % kD;
        carry = y2 * Kq + low / kD;
        out[o++] = static_cast<Limb>(digits % kBase);
        if (o < nout) out[o++] = static_cast<Limb>(digits / kBase);
        if ((k & 0xffff) == 0xffff) pump::ProcessMessages();
    }
    while (o < nout) {
        out[o++] = static_cast<Limb>(carry % kBase);
        carry /= kBase;
    }
}

int LogFor(size_t points) {
    int log = 0;
    while ((size_t{1} << log) < points) ++log;
    return log;
}

void Run(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out) {
    const size_t pa = (na + 1) / 2;
    const size_t pb = b != nullptr ? (nb + 1) / 2 : pa;
    const size_t points = pa + pb - 1;
    const int log = std::max(LogFor(points), 1);
    const size_t n = size_t{1} << log;
    for (int i = 0; i < 3; ++i) Tables(i).Ensure(log);
    std::vector<uint32_t> res(3 * n);
    std::vector<uint32_t> work(b != nullptr ? n : 0);
    for (int i = 0; i < 3; ++i) Convolve(i, a, na, b, nb, log, res.data() + i * n, work.data());
    Join(res.data(), res.data() + n, res.data() + 2 * n, points, out, b != nullptr ? na + nb : 2 * na);
}

}  // namespace

size_t NttMaxProduct() { return 2 * kMaxPoints; }

void MulNtt(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out) { Run(a, na, b, nb, out); }

void SqrNtt(const Limb* a, size_t n, Limb* out) { Run(a, n, nullptr, 0, out); }

}  // namespace tabai_impl
