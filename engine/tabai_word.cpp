// Quadratic kernels of TSeisu on 64-bit words: four limbs packed per word (base 10^16).
//
// A 64 x 64-bit product does the work of sixteen limb products, and a column of word
// products summed in 128 bits needs no carrying until the column is done: below 10^32 per
// product, a column of up to 2^20 of them stays below 2^127. Packing and unpacking cost a
// pass each, which the quadratic work repays from a few dozen limbs on.
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/pump.h"
#include "engine/tabai_impl.h"

namespace tabai_impl {

namespace {

constexpr uint64_t kB2 = uint64_t{kBase} * kBase;

// A word array on the stack when small.
using WordBuffer = StackBuffer<uint64_t, 512>;

// Calls the pump `total` times spread evenly over `steps` calls of Tick.
class PumpSpread {
public:
    PumpSpread(size_t total, size_t steps) : total_(total), steps_(steps) {}
    void Tick() {
        for (owed_ += total_; owed_ >= steps_; owed_ -= steps_) pump::ProcessMessages();
    }

private:
    size_t total_, steps_, owed_ = 0;
};

}  // namespace

size_t PackWords(const Limb* a, size_t n, uint64_t* w) {
    const size_t full = n / 4;
    for (size_t i = 0; i < full; ++i) {
        const Limb* p = a + 4 * i;
        w[i] = (p[0] + uint64_t{kBase} * p[1]) + kB2 * (p[2] + uint64_t{kBase} * p[3]);
    }
    if (n % 4 == 0) return full;
    uint64_t v = 0;
    for (size_t j = n; j-- > 4 * full;) v = v * kBase + a[j];
    w[full] = v;
    return full + 1;
}

void UnpackWords(const uint64_t* w, size_t nw, Limb* a, size_t n) {
    const size_t full = std::min(nw, n / 4);
    for (size_t i = 0; i < full; ++i) {
        const uint64_t hi = w[i] / kB2, lo = w[i] % kB2;
        Limb* p = a + 4 * i;
        p[0] = static_cast<Limb>(lo % kBase);
        p[1] = static_cast<Limb>(lo / kBase);
        p[2] = static_cast<Limb>(hi % kBase);
        p[3] = static_cast<Limb>(hi / kBase);
    }
    uint64_t rest = 0;
    for (size_t j = 4 * full; j < n; ++j, rest /= kBase) {
        if (j % 4 == 0 && j / 4 < nw) rest = w[j / 4];
        a[j] = static_cast<Limb>(rest % kBase);
    }
}

void MulWords(const uint64_t* a, size_t na, const uint64_t* b, size_t nb, uint64_t* out, size_t pumps) {
    const unsigned __int128 carry = MulWordsColumns(a, na, b, nb, 0, na + nb - 1, out, pumps);
    out[na + nb - 1] = static_cast<uint64_t>(carry);
}

unsigned __int128 MulWordsColumns(const uint64_t* a, size_t na, const uint64_t* b, size_t nb, size_t from,
                                  size_t to, uint64_t* out, size_t pumps) {
    // A short factor times a very long one asks for few calls: then at least one every
    // 2^14 columns (well under a millisecond).
    PumpSpread pump(std::max(pumps, (to - from) >> 14), to - from);
    unsigned __int128 carry = 0;
    out -= from;
    for (size_t k = from; k < to; ++k) {
        const size_t lo = k + 1 > nb ? k + 1 - nb : 0, hi = std::min(k + 1, na);
        // Four sums break the chain of dependent additions; the carry joins last, so that
        // the column's products need not wait for the previous column's division.
        unsigned __int128 s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        size_t i = lo;
        for (; i + 3 < hi; i += 4) {
            s0 += static_cast<unsigned __int128>(a[i]) * b[k - i];
            s1 += static_cast<unsigned __int128>(a[i + 1]) * b[k - i - 1];
            s2 += static_cast<unsigned __int128>(a[i + 2]) * b[k - i - 2];
            s3 += static_cast<unsigned __int128>(a[i + 3]) * b[k - i - 3];
        }
        for (; i < hi; ++i) s0 += static_cast<unsigned __int128>(a[i]) * b[k - i];
        carry = DivModWord((s0 + s1) + (s2 + s3) + carry, out[k]);
        pump.Tick();
    }
    return carry;
}

void SqrWords(const uint64_t* a, size_t n, uint64_t* out, size_t pumps) {
    PumpSpread pump(pumps, 2 * n - 1);
    unsigned __int128 carry = 0;
    for (size_t k = 0; k + 1 < 2 * n; ++k) {
        // Products a[i] a[k-i] with i < k - i once, doubled, and the square in the middle.
        const size_t lo = k + 1 > n ? k + 1 - n : 0, mid = (k + 1) / 2;
        unsigned __int128 s0 = 0, s1 = 0;
        size_t i = lo;
        for (; i + 1 < mid; i += 2) {
            s0 += static_cast<unsigned __int128>(a[i]) * a[k - i];
            s1 += static_cast<unsigned __int128>(a[i + 1]) * a[k - i - 1];
        }
        if (i < mid) s0 += static_cast<unsigned __int128>(a[i]) * a[k - i];
        unsigned __int128 s = 2 * (s0 + s1) + carry;
        if (k % 2 == 0) s += static_cast<unsigned __int128>(a[k / 2]) * a[k / 2];
        carry = DivModWord(s, out[k]);
        pump.Tick();
    }
    out[2 * n - 1] = static_cast<uint64_t>(carry);
}

void MulBasecase(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out) {
    const size_t wa = (na + 3) / 4, wb = (nb + 3) / 4;
    WordBuffer buf(2 * (wa + wb));
    uint64_t* x = buf.get();
    uint64_t* y = x + wa;
    uint64_t* z = y + wb;
    PackWords(a, na, x);
    PackWords(b, nb, y);
    MulWords(x, wa, y, wb, z, nb);
    UnpackWords(z, wa + wb, out, na + nb);
}

void SqrBasecase(const Limb* a, size_t n, Limb* out) {
    const size_t w = (n + 3) / 4;
    WordBuffer buf(3 * w);
    uint64_t* x = buf.get();
    uint64_t* z = x + w;
    PackWords(a, n, x);
    SqrWords(x, w, z, n);
    UnpackWords(z, 2 * w, out, 2 * n);
}

void MulLow(const Limb* a, size_t na, const Limb* b, size_t nb, size_t len, Limb* out) {
    // Limbs from len on do not reach the low len limbs of the product.
    na = std::min(na, len);
    nb = std::min(nb, len);
    const size_t wa = (na + 3) / 4, wb = (nb + 3) / 4, want = (len + 3) / 4;
    const size_t wl = std::min(want, wa + wb - 1);
    WordBuffer buf(wa + wb + wl + 1);
    uint64_t* x = buf.get();
    uint64_t* y = x + wa;
    uint64_t* z = y + wb;
    PackWords(a, na, x);
    PackWords(b, nb, y);
    const unsigned __int128 carry = MulWordsColumns(x, wa, y, wb, 0, wl, z, nb);
    size_t nz = wl;
    if (want > wl) z[nz++] = static_cast<uint64_t>(carry);  // every column done: the top word
    UnpackWords(z, nz, out, len);
}

void MulHigh(const Limb* a, size_t na, const Limb* b, size_t nb, size_t from, Limb* out) {
    // The columns below word `first` are left out: they add up to less than
    // min(wa, wb) * 10^(16 (first + 1)), below one unit of word first + 2, whose place
    // is at or below limb `from` (from < na + nb keeps first below wa + wb - 1).
    const size_t wa = (na + 3) / 4, wb = (nb + 3) / 4, first = from / 4 - std::min<size_t>(from / 4, 2);
    const size_t nz = wa + wb - first;
    WordBuffer buf(wa + wb + nz);
    uint64_t* x = buf.get();
    uint64_t* y = x + wa;
    uint64_t* z = y + wb;
    PackWords(a, na, x);
    PackWords(b, nb, y);
    z[nz - 1] = static_cast<uint64_t>(MulWordsColumns(x, wa, y, wb, first, wa + wb - 1, z, nb));
    // Limb `from` is limb from - 4 * first of z.
    const size_t skip = from - 4 * first;
    std::vector<Limb> limbs(4 * nz);
    UnpackWords(z, nz, limbs.data(), limbs.size());
    const size_t n = na + nb - from;
    for (size_t i = 0; i < n; ++i) out[i] = skip + i < limbs.size() ? limbs[skip + i] : 0;
}

}  // namespace tabai_impl
