// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Natural numbers of unlimited length: the TSeisu object and its operations.
//
// Base 10000 in 16-bit limbs: decimal text needs no conversion (each limb is four
// digits), and a limb product with its carries fits 32 bits. The heavy kernels work on
// bare limb arrays (tabai_kernels.h); this file keeps the object's invariants, aliasing and
// exception safety: results are built apart from the operands and committed last.
#include "engine/tabai.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "engine/pump.h"
#include "engine/tabai_kernels.h"

using tabai_kernels::kBase;
using Word = tabai_kernels::Limb;

namespace {

// The four decimal digits of every limb value, for text output.
constexpr std::array<char, 40000> MakeDigitTable() {
    std::array<char, 40000> t{};
    for (int v = 0; v < 10000; ++v) {
        t[4 * v] = static_cast<char>('0' + v / 1000);
        t[4 * v + 1] = static_cast<char>('0' + v / 100 % 10);
        t[4 * v + 2] = static_cast<char>('0' + v / 10 % 10);
        t[4 * v + 3] = static_cast<char>('0' + v % 10);
    }
    return t;
}
constexpr std::array<char, 40000> kDigits = MakeDigitTable();

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A plain growable limb buffer for temporaries (no 100-limb stepping).
using Buffer = std::vector<Word>;

// Relaxed: the budget is a setting read before each large operation, ordering nothing.
std::atomic<int64_t> gMaxDigits{4 * static_cast<int64_t>(TSeisu::kMaxLimbs)};

}  // namespace

// ---------------------------------------------------------------------------------------
// Storage

TSeisu::TSeisu(const TSeisu& other) : limbs_(inline_) { Assign(other); }

TSeisu::TSeisu(TSeisu&& other) noexcept : limbs_(inline_) {
    if (other.limbs_ == other.inline_) {
        std::memcpy(inline_, other.inline_, sizeof inline_);
        count_ = other.count_;
    } else {
        TakeHeapArray(other);
    }
}

void TSeisu::TakeHeapArray(TSeisu& other) noexcept {
    limbs_ = other.limbs_;
    capacity_ = other.capacity_;
    count_ = other.count_;
    other.limbs_ = other.inline_;
    other.capacity_ = kInlineCapacity;
    other.count_ = 0;
}

TSeisu& TSeisu::operator=(const TSeisu& other) {
    Assign(other);
    return *this;
}

TSeisu& TSeisu::operator=(TSeisu&& other) noexcept {
    if (this == &other) return *this;
    if (other.limbs_ != other.inline_ && other.capacity_ >= capacity_) {
        // Take over the other's array; ours is no larger, so the capacity does not shrink.
        ResetToInline();
        TakeHeapArray(other);
    } else {
        // Our array holds the other's limbs already (other.count_ <= our capacity).
        std::memcpy(limbs_, other.limbs_, (static_cast<size_t>(other.count_) + 1) * sizeof(Word));
        count_ = other.count_;
    }
    return *this;
}

void TSeisu::ResetToInline() noexcept {
    if (limbs_ != inline_) delete[] limbs_;
    limbs_ = inline_;
    capacity_ = kInlineCapacity;
    count_ = 0;
}

void TSeisu::Reserve(int32_t n) {
    if (n <= capacity_) return;
    const int64_t cap = (static_cast<int64_t>(n) / 100 + 1) * 100;
    if (cap > std::numeric_limits<int32_t>::max() - 1) throw std::bad_alloc();
    Word* p = new Word[static_cast<size_t>(cap) + 1];
    // Words above Count carry no meaning; the scratch word and the value move along.
    std::memcpy(p, limbs_, (static_cast<size_t>(count_) + 1) * sizeof(Word));
    if (limbs_ != inline_) delete[] limbs_;
    limbs_ = p;
    capacity_ = static_cast<int32_t>(cap);
}

void TSeisu::SetCountTrimmed(size_t n) {
    count_ = static_cast<int32_t>(tabai_kernels::Trim(limbs_ + 1, n));
}

void TSeisu::SetFromArray(const uint16_t* d, size_t n) {
    n = tabai_kernels::Trim(d, n);
    Reserve(static_cast<int32_t>(n));
    std::memcpy(limbs_ + 1, d, n * sizeof(Word));
    count_ = static_cast<int32_t>(n);
}

void TSeisu::Assign(const TSeisu& src) {
    if (this == &src) return;
    Reserve(src.count_);
    std::memcpy(limbs_, src.limbs_, (static_cast<size_t>(src.count_) + 1) * sizeof(Word));
    count_ = src.count_;
}

void TSeisu::SetInt(int32_t n) {
    if (n < 0) throw TSeisuException(kSeisuNegative);
    // At most three limbs: the inline words always hold them.
    count_ = 0;
    while (n != 0) {
        limbs_[++count_] = static_cast<Word>(n % 10000);
        n /= 10000;
    }
}

// ---------------------------------------------------------------------------------------
// Comparison, addition, subtraction

int TSeisu::Compare(const TSeisu& b) const {
    if (this == &b) return 1;
    if (count_ != b.count_) return count_ > b.count_ ? 0 : 2;
    const int c = tabai_kernels::CompareN(limbs_ + 1, b.limbs_ + 1, static_cast<size_t>(count_));
    return c > 0 ? 0 : (c == 0 ? 1 : 2);
}

void TSeisu::Add(const TSeisu& b) { LongAdd(*this, b); }

void TSeisu::LongAdd(const TSeisu& a, const TSeisu& b) {
    const TSeisu& l = a.count_ >= b.count_ ? a : b;
    const TSeisu& s = a.count_ >= b.count_ ? b : a;
    const int32_t nl = l.count_, ns = s.count_;
    if (nl == 0) {
        count_ = 0;
        return;
    }
    // A carry can leave the top limb only when these limbs allow it; room for it is made
    // before anything is written, so running out of memory changes nothing.
    const bool mayCarry = ns == nl ? l.limbs_[nl] + s.limbs_[nl] >= 9999 : l.limbs_[nl] == 9999;
    Reserve(mayCarry && nl < kMaxLimbs ? nl + 1 : nl);
    // Self may be a or b: limb i is read before it is written.
    const Word* lp = l.limbs_;
    const Word* sp = s.limbs_;
    Word* out = limbs_;
    uint32_t carry = tabai_kernels::AddN(lp + 1, sp + 1, static_cast<size_t>(ns), out + 1);
    int32_t i = ns + 1;
    for (; i <= nl && carry; ++i) {
        const uint32_t t = lp[i] + 1u;
        carry = t >= kBase;
        out[i] = static_cast<Word>(carry ? 0 : t);
    }
    if (out != lp && i <= nl) {
        std::memcpy(out + i, lp + i, static_cast<size_t>(nl - i + 1) * sizeof(Word));
    }
    if (!carry) {
        count_ = nl;
        return;
    }
    if (nl >= kMaxLimbs) {
        count_ = nl;
        SetCountTrimmed(static_cast<size_t>(nl));
        throw TSeisuException(kSeisuLongAddOverflow);
    }
    out[nl + 1] = 1;
    count_ = nl + 1;
}

void TSeisu::ShortAdd(uint16_t n) {
    if (n == 0) return;
    if (n >= kBase) {
        Add(TSeisu(static_cast<int32_t>(n)));
        return;
    }
    if (count_ == 0) {
        limbs_[1] = n;
        count_ = 1;
        return;
    }
    uint32_t s = limbs_[1] + static_cast<uint32_t>(n);
    if (s >= kBase) {
        // Find where the carry stops; grow first if it leaves the top limb.
        int32_t k = 2;
        while (k <= count_ && limbs_[k] == 9999) ++k;
        if (k > count_) {
            if (count_ >= kMaxLimbs) throw TSeisuException(kSeisuOverflow);
            Reserve(count_ + 1);
            limbs_[count_ + 1] = 0;
            ++count_;
        }
        limbs_[1] = static_cast<Word>(s - kBase);
        for (int32_t i = 2; i < k; ++i) limbs_[i] = 0;
        limbs_[k] = static_cast<Word>(limbs_[k] + 1);
        return;
    }
    limbs_[1] = static_cast<Word>(s);
}

void TSeisu::LongSub(const TSeisu& a, const TSeisu& b) {
    const int32_t na = a.count_, nb = b.count_;
    if (na < nb) throw TSeisuException(kSeisuLongSubNegative);
    if (na == nb) {
        // Decide the sign before writing, so that the error leaves Self untouched.
        const int c = tabai_kernels::CompareN(a.limbs_ + 1, b.limbs_ + 1, static_cast<size_t>(na));
        if (c < 0) throw TSeisuException(kSeisuLongSubNegative);
        if (c == 0) {
            count_ = 0;
            return;
        }
    }
    Reserve(na);
    const Word* ap = a.limbs_;
    const Word* bp = b.limbs_;
    Word* out = limbs_;
    uint32_t borrow = tabai_kernels::SubN(ap + 1, bp + 1, static_cast<size_t>(nb), out + 1);
    int32_t i = nb + 1;
    for (; i <= na && borrow; ++i) {
        borrow = ap[i] == 0;
        out[i] = static_cast<Word>(borrow ? kBase - 1 : ap[i] - 1u);
    }
    if (out != ap && i <= na) {
        std::memcpy(out + i, ap + i, static_cast<size_t>(na - i + 1) * sizeof(Word));
    }
    out[0] = 1;  // the scratch word, as the downward scan of the original expects
    SetCountTrimmed(static_cast<size_t>(na));
}

// ---------------------------------------------------------------------------------------
// Multiplication

void TSeisu::Shortmul(uint16_t n) {
    if (n == 0 || count_ == 0) {
        count_ = 0;
        return;
    }
    if (n == 1) return;
    // The carry out of limb i is below n; it leaves the top limb only if top * n + n - 1
    // reaches 10000. Room for it is made first.
    const uint32_t top = limbs_[count_];
    const int32_t extra = top * n + n - 1u >= kBase ? (n > kBase ? 2 : 1) : 0;
    if (extra > 0) {
        if (count_ > kMaxLimbs - extra) throw TSeisuException(kSeisuShortmulOverflow);
        Reserve(count_ + extra);
    }
    uint32_t carry = 0;
    for (int32_t i = 1; i <= count_; ++i) {
        const uint32_t t = limbs_[i] * static_cast<uint32_t>(n) + carry;
        limbs_[i] = static_cast<Word>(t % kBase);
        carry = t / kBase;
    }
    while (carry != 0) {
        limbs_[++count_] = static_cast<Word>(carry % kBase);
        carry /= kBase;
    }
}

void TSeisu::Product(const TSeisu& a, const TSeisu& b, TSeisu& out) {
    // out is a fresh number, distinct from a and b; a and b are not zero.
    const size_t na = static_cast<size_t>(a.count_), nb = static_cast<size_t>(b.count_);
    out.Reserve(static_cast<int32_t>(na + nb));
    if (&a == &b) {
        tabai_kernels::Sqr(a.limbs_ + 1, na, out.limbs_ + 1);
    } else {
        tabai_kernels::Mul(a.limbs_ + 1, na, b.limbs_ + 1, nb, out.limbs_ + 1);
    }
    out.SetCountTrimmed(na + nb);
}

void TSeisu::SetMaxDigits(int64_t n) {
    gMaxDigits.store(std::max(n, kMinMaxDigits), std::memory_order_relaxed);
}

int64_t TSeisu::MaxDigits() { return gMaxDigits.load(std::memory_order_relaxed); }

int64_t TSeisu::Digits() const {
    if (count_ == 0) return 0;
    const uint16_t top = limbs_[count_];
    return 4 * static_cast<int64_t>(count_ - 1) + (top >= 1000 ? 4 : top >= 100 ? 3 : top >= 10 ? 2 : 1);
}

void TSeisu::CheckProductDigits(int64_t da, int64_t db) {
    // A product has da + db - 1 or da + db digits: refuse only what surely passes.
    if (da + db - 1 > MaxDigits()) throw TSeisuException(kSeisuTooLarge);
}

void TSeisu::LongMul(const TSeisu& a, const TSeisu& b) {
    if (a.count_ == 0 || b.count_ == 0) return;
    CheckProductDigits(a.Digits(), b.Digits());
    const int64_t product = static_cast<int64_t>(a.count_) + b.count_;
    const int64_t w = product > count_ ? product : static_cast<int64_t>(count_) + 1;
    if (w >= kMaxLimbs) throw TSeisuException(kSeisuLongMulOverflow);
    TSeisu p;
    Product(a, b, p);
    if (count_ == 0) {
        *this = std::move(p);
    } else {
        Add(p);
    }
}

void TSeisu::Mul(const TSeisu& a, const TSeisu& b) {
    if (a.count_ == 0 || b.count_ == 0) {
        count_ = 0;
        return;
    }
    if (static_cast<int64_t>(a.count_) + b.count_ >= kMaxLimbs) {
        throw TSeisuException(kSeisuLongMulOverflow);
    }
    CheckProductDigits(a.Digits(), b.Digits());
    TSeisu p;
    Product(a, b, p);
    *this = std::move(p);
}

void TSeisu::MulBy(const TSeisu& b) { Mul(*this, b); }

void TSeisu::Power(const TSeisu& e) {
    if (e.count_ == 0) {
        SetInt(1);  // anything to the power 0, 0 included
        return;
    }
    pump::ProcessMessages();  // at least one pass, as the original's loop makes
    if (count_ == 0 || EqualsSmall(1)) return;
    // The result has floor(e * log10000(Self)) + 1 limbs; refuse at once when that
    // reaches the limit instead of computing towards it. Self >= 2 here, so an exponent
    // of 10^12 or more is always too large.
    if (e.count_ > 3) throw TSeisuException(kSeisuLongMulOverflow);
    uint64_t ev = 0;
    for (int32_t i = e.count_; i >= 1; --i) ev = ev * kBase + e.limbs_[i];
    long double top = 0;
    const int32_t used = std::min<int32_t>(count_, 4);
    for (int32_t i = count_; i > count_ - used; --i) top = top * kBase + limbs_[i];
    const long double log10000 =
        std::log10(top) / 4.0L + static_cast<long double>(count_ - used);
    if (static_cast<long double>(ev) * log10000 >= static_cast<long double>(kMaxLimbs - 1)) {
        throw TSeisuException(kSeisuLongMulOverflow);
    }
    // floor(e * log10(Self)) + 1 digits.
    if (static_cast<long double>(ev) * log10000 * 4 >= static_cast<long double>(MaxDigits())) {
        throw TSeisuException(kSeisuTooLarge);
    }
    PowerBig(ev);
}

void TSeisu::PowerBig(uint64_t ev) {
    // Self = m * 10^z with m not divisible by 10: m^e is computed, 10^(z e) is a shift.
    int32_t zeroLimbs = 0;
    while (limbs_[zeroLimbs + 1] == 0) ++zeroLimbs;
    uint32_t low = limbs_[zeroLimbs + 1];
    int zeroDigits = 0;
    while (low % 10 == 0) {
        low /= 10;
        ++zeroDigits;
    }
    const uint64_t tenExp = (4ull * static_cast<uint64_t>(zeroLimbs) + zeroDigits) * ev;
    // m's limbs: Self's from limb zeroLimbs + 1, divided by 10^zeroDigits.
    Buffer m(limbs_ + 1 + zeroLimbs, limbs_ + 1 + count_);
    if (zeroDigits > 0) {
        uint32_t d = 1;
        for (int k = 0; k < zeroDigits; ++k) d *= 10;
        tabai_kernels::DivSmall(m.data(), m.size(), d, m.data());
    }
    m.resize(tabai_kernels::Trim(m.data(), m.size()));

    // Left-to-right binary powering: square, and multiply by m on a one bit.
    Buffer r = m, t;
    size_t nr = r.size();
    int bit = 63;
    while (((ev >> bit) & 1) == 0) --bit;
    if (m.size() == 1 && m[0] == 1) bit = 0;  // 1^e: nothing to compute
    for (--bit; bit >= 0; --bit) {
        pump::ProcessMessages();
        t.resize(2 * nr);
        tabai_kernels::Sqr(r.data(), nr, t.data());
        nr = tabai_kernels::Trim(t.data(), 2 * nr);
        std::swap(r, t);
        if ((ev >> bit) & 1) {
            t.resize(nr + m.size());
            tabai_kernels::Mul(r.data(), nr, m.data(), m.size(), t.data());
            nr = tabai_kernels::Trim(t.data(), nr + m.size());
            std::swap(r, t);
        }
    }
    // Times 10^tenExp: a factor 10^(tenExp mod 4), then whole limbs of zeros below.
    const uint64_t shift = tenExp / 4;
    uint32_t factor = 1;
    for (uint64_t k = 0; k < tenExp % 4; ++k) factor *= 10;
    uint32_t carry = 0;
    for (size_t i = 0; i < nr; ++i) {
        const uint32_t v = r[i] * factor + carry;
        r[i] = static_cast<Word>(v % kBase);
        carry = v / kBase;
    }
    r.resize(nr);
    if (carry != 0) r.push_back(static_cast<Word>(carry));
    const uint64_t total = shift + r.size();
    if (total >= static_cast<uint64_t>(kMaxLimbs)) throw TSeisuException(kSeisuLongMulOverflow);
    TSeisu result;
    result.Reserve(static_cast<int32_t>(total));
    std::fill(result.limbs_ + 1, result.limbs_ + 1 + shift, Word{0});
    std::memcpy(result.limbs_ + 1 + shift, r.data(), r.size() * sizeof(Word));
    result.count_ = static_cast<int32_t>(total);
    *this = std::move(result);
}

// ---------------------------------------------------------------------------------------
// Division and gcd

void TSeisu::ShortDivMod(const TSeisu& a, uint16_t d, uint16_t& rem) {
    if (d == 0) throw TSeisuException(kSeisuDivideByZero);
    Reserve(a.count_);  // Self may be a: each limb is read before it is written
    rem = static_cast<uint16_t>(
        tabai_kernels::DivSmall(a.limbs_ + 1, static_cast<size_t>(a.count_), d, limbs_ + 1));
    // A divisor above 10000 can leave two leading zero limbs.
    SetCountTrimmed(static_cast<size_t>(a.count_));
}

void TSeisu::DivMod(const TSeisu& a, const TSeisu& b, TSeisu& r) {
    if (b.count_ == 0) throw TSeisuException(kSeisuDivideByZero);
    const int32_t m = a.count_, n = b.count_;
    if (n > m || (n == m && a.Compare(b) == 2)) {
        // Quotient 0, remainder a: r takes a's value before the quotient is cleared.
        r.Assign(a);
        count_ = 0;
        return;
    }
    if (n >= 2 && m >= kMaxLimbs) throw TSeisuException(kSeisuDividendTooLarge);
    if (m <= 4) {
        // Both below 10^16: one 64-bit division.
        const uint64_t x = a.SmallValue(), y = b.SmallValue();
        r.SetSmall(x % y);
        SetSmall(x / y);
        return;
    }
    TSeisu q, rem;
    q.Reserve(m - n + 1);
    rem.Reserve(n);
    tabai_kernels::Div(a.limbs_ + 1, static_cast<size_t>(m), b.limbs_ + 1, static_cast<size_t>(n),
                    q.limbs_ + 1, rem.limbs_ + 1);
    q.SetCountTrimmed(static_cast<size_t>(m - n + 1));
    rem.SetCountTrimmed(static_cast<size_t>(n));
    // Commit: moves cannot fail.
    r = std::move(rem);
    *this = std::move(q);
}

void TSeisu::DivExact(const TSeisu& a, const TSeisu& d) {
    if (d.count_ == 0) throw TSeisuException(kSeisuDivideByZero);
    const int32_t m = a.count_, n = d.count_;
    if (n > m) {
        count_ = 0;  // only 0 has a divisor longer than itself
        return;
    }
    if (n >= 2 && m >= kMaxLimbs) throw TSeisuException(kSeisuDividendTooLarge);
    if (m <= 4) {
        SetSmall(a.SmallValue() / d.SmallValue());
        return;
    }
    TSeisu q;
    q.Reserve(m - n + 1);
    tabai_kernels::DivExact(a.limbs_ + 1, static_cast<size_t>(m), d.limbs_ + 1, static_cast<size_t>(n), q.limbs_ + 1);
    q.SetCountTrimmed(static_cast<size_t>(m - n + 1));
    *this = std::move(q);
}

void TSeisu::Gcd(const TSeisu& a, const TSeisu& b) {
    if (a.count_ == 0 || b.count_ == 0) {
        Assign(a.count_ == 0 ? b : a);
        return;
    }
    if (a.count_ <= 4 && b.count_ <= 4) {
        // Both below 10^16: a 64-bit binary gcd, and no allocation.
        uint64_t x = 0, y = 0;
        for (int32_t i = a.count_; i >= 1; --i) x = x * kBase + a.limbs_[i];
        for (int32_t i = b.count_; i >= 1; --i) y = y * kBase + b.limbs_[i];
        SetSmall(GcdSmall(x, y));
        return;
    }
    if (a.count_ <= 9 && b.count_ <= 9) {
        // Below 10^36: 128-bit words, still no allocation.
        unsigned __int128 x = 0, y = 0;
        for (int32_t i = a.count_; i >= 1; --i) x = x * kBase + a.limbs_[i];
        for (int32_t i = b.count_; i >= 1; --i) y = y * kBase + b.limbs_[i];
        unsigned __int128 g = tabai_kernels::GcdU128(x, y);
        count_ = 0;
        while (g != 0) {
            // Quotient and remainder by 10^8 first: 128-bit divisions are slow.
            const uint64_t low = static_cast<uint64_t>(g % 100000000u);
            g /= 100000000u;
            limbs_[++count_] = static_cast<Word>(low % kBase);
            limbs_[++count_] = static_cast<Word>(low / kBase);
        }
        SetCountTrimmed(static_cast<size_t>(count_));
        return;
    }
    const std::vector<Word> g =
        tabai_kernels::Gcd(std::vector<Word>(a.limbs_ + 1, a.limbs_ + 1 + a.count_),
                        std::vector<Word>(b.limbs_ + 1, b.limbs_ + 1 + b.count_));
    SetFromArray(g.data(), g.size());
}

// ---------------------------------------------------------------------------------------
// Text and floating point

void TSeisu::ReadFrom(TInputStream& s) {
    char ch = s.ReadChar();
    while (!IsDigit(ch)) ch = s.ReadChar();  // the end passes through; Self untouched
    std::string digits;
    while (ch == '0') {
        // Leading zeros add nothing (007 reads as 7).
        try {
            ch = s.ReadChar();
        } catch (...) {
            count_ = 0;
            throw;
        }
    }
    bool stepBack = true;
    try {
        while (IsDigit(ch)) {
            digits.push_back(ch);
            ch = s.ReadChar();
        }
    } catch (...) {
        // The digits ran to the end of the text: Self holds them all, no step back.
        stepBack = false;
        FromDigits(digits);
        throw;
    }
    FromDigits(digits);
    if (stepBack) s.StepBack();
}

void TSeisu::FromDigits(const std::string& digits) {
    // digits has no leading zero; groups of four from the right make the limbs.
    const size_t len = digits.size();
    const size_t n = (len + 3) / 4;
    if (n >= static_cast<size_t>(kMaxLimbs)) throw TSeisuException(kSeisuOverflow);
    Reserve(static_cast<int32_t>(n));
    size_t end = len;
    for (size_t i = 1; i <= n; ++i) {
        const size_t begin = end >= 4 ? end - 4 : 0;
        uint32_t v = 0;
        for (size_t k = begin; k < end; ++k) v = v * 10 + static_cast<uint32_t>(digits[k] - '0');
        limbs_[i] = static_cast<Word>(v);
        end = begin;
    }
    count_ = static_cast<int32_t>(n);
}

std::string TSeisu::ToText() const {
    std::string s;
    AppendText(s);
    return s;
}

void TSeisu::AppendText(std::string& out) const {
    if (count_ == 0) {
        out.push_back('0');
        return;
    }
    const uint32_t top = limbs_[count_];
    const size_t topLen = top >= 1000 ? 4 : top >= 100 ? 3 : top >= 10 ? 2 : 1;
    const size_t old = out.size();
    out.resize(old + topLen + 4 * (static_cast<size_t>(count_) - 1));
    char* p = out.data() + old;
    std::memcpy(p, kDigits.data() + 4 * top + (4 - topLen), topLen);
    p += topLen;
    for (int32_t i = count_ - 1; i >= 1; --i) {
        std::memcpy(p, kDigits.data() + 4 * limbs_[i], 4);
        p += 4;
    }
}

double TSeisu::ToFloat() const {
    if (count_ == 0) return 0.0;
    // 10000^78 exceeds the largest double (about 1.8 * 10^308): no need to look closer.
    if (count_ > 78) throw TFloatOverflowException();
    // The decimal text read back is the correctly rounded double.
    const std::string text = ToText();
    double v = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec == std::errc::result_out_of_range || std::isinf(v)) throw TFloatOverflowException();
    return v;
}

// --- machine integers ----------------------------------------------------------------------

namespace {

// n mod d for n below 2^64 by Barrett reduction: a multiplication by the precomputed
// floor((2^64 - 1) / d) estimates the quotient to within 2, so no division instruction
// sits on the loop's critical path.
class SmallModulus {
public:
    explicit SmallModulus(uint64_t d) : d_(d), m_(UINT64_MAX / d) {}
    uint64_t Mod(uint64_t n) const {
        const uint64_t q = static_cast<uint64_t>((static_cast<unsigned __int128>(n) * m_) >> 64);
        uint64_t r = n - q * d_;
        if (r >= d_) r -= d_;
        if (r >= d_) r -= d_;
        return r;
    }

private:
    uint64_t d_, m_;
};

// (a * b) mod d for a, b < d < 10^12.
uint64_t MulMod(uint64_t a, uint64_t b, uint64_t d) {
    return static_cast<uint64_t>(static_cast<unsigned __int128>(a) * b % d);
}

// The value of limbs[at + 1 .. at + K], the highest first.
template <int K>
uint64_t Chunk(const Word* limbs, int32_t at) {
    uint64_t v = 0;
    for (int t = K; t >= 1; --t) v = v * kBase + limbs[at + t];
    return v;
}

// a mod d, K limbs a step (r * 10000^K + K limbs must stay below 2^64). The chunks are
// split into a high and a low run whose remainders are two independent chains computed
// in the same loop, so that the processor overlaps their multiplications; then
// r = (r_high * 10000^(limbs of the low run) + r_low) mod d.
template <int K>
uint64_t ModChunks(const Word* limbs, int32_t n, const SmallModulus& mod, uint64_t d) {
    constexpr uint64_t kStep = K == 1 ? 10000 : K == 2 ? 100000000 : 1000000000000;
    const int32_t chunks = n / K;
    uint64_t high = 0;
    for (int32_t i = n; i > chunks * K; --i) high = high * kBase + limbs[i];  // below 10^(4(K-1))
    high = mod.Mod(high);
    const int32_t lowChunks = chunks / 2;
    uint64_t low = 0;
    int32_t h = chunks - 1, l = lowChunks - 1;
    for (; h >= lowChunks + lowChunks; --h) high = mod.Mod(high * kStep + Chunk<K>(limbs, h * K));
    for (; l >= 0; --h, --l) {
        high = mod.Mod(high * kStep + Chunk<K>(limbs, h * K));
        low = mod.Mod(low * kStep + Chunk<K>(limbs, l * K));
    }
    uint64_t scale = 1 % d;  // 10000^(K * lowChunks) mod d by squaring
    uint64_t base = kStep % d;
    for (int32_t e = lowChunks; e > 0; e >>= 1) {
        if (e & 1) scale = MulMod(scale, base, d);
        base = MulMod(base, base, d);
    }
    return mod.Mod(MulMod(high, scale, d) + low);
}

}  // namespace

// As many limbs as keep r * 10000^k + (k limbs) below 10^16 are taken a step: three for
// a divisor below 10^4, two below 10^8, one otherwise.
uint64_t TSeisu::ModSmall(uint64_t d) const {
    const SmallModulus mod(d);
    if (d < kBase) return ModChunks<3>(limbs_, count_, mod, d);
    if (d < uint64_t{kBase} * kBase) return ModChunks<2>(limbs_, count_, mod, d);
    return ModChunks<1>(limbs_, count_, mod, d);
}

uint64_t TSeisu::GcdSmallSteps(uint64_t a, uint64_t b) { return tabai_kernels::GcdU64(a, b); }
