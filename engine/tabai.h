// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Natural numbers of unlimited length in base 10000.
#pragma once

#include <cassert>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "engine/Stream.h"
#include "engine/messages.h"
#include "engine/tabai_kernels.h"

/// Raised by TSeisu operations; carries one of the messages below.
class TSeisuException : public nerova::MessageError {
public:
    using nerova::MessageError::MessageError;
};

inline constexpr nerova::Message kSeisuNegative = nerova::Message::Negative;
inline constexpr nerova::Message kSeisuOverflow = nerova::Message::Overflow;
inline constexpr nerova::Message kSeisuLongAddOverflow = nerova::Message::LongAddOverflow;
inline constexpr nerova::Message kSeisuLongSubNegative = nerova::Message::LongSubNegative;
inline constexpr nerova::Message kSeisuShortmulOverflow = nerova::Message::ShortmulOverflow;
inline constexpr nerova::Message kSeisuLongMulOverflow = nerova::Message::LongMulOverflow;
inline constexpr nerova::Message kSeisuDivideByZero = nerova::Message::NaturalDivideByZero;
inline constexpr nerova::Message kSeisuDividendTooLarge = nerova::Message::DividendTooLarge;
inline constexpr nerova::Message kFloatOverflow = nerova::Message::FloatOverflow;
inline constexpr nerova::Message kSeisuTooLarge = nerova::Message::TooLarge;

/// Raised by ToFloat when the value exceeds the largest finite double.
class TFloatOverflowException : public nerova::MessageError {
public:
    TFloatOverflowException() : nerova::MessageError(kFloatOverflow) {}
};

/// A natural number 0, 1, 2, ... of unlimited length.
///
/// Invariants: 0 <= Count <= Capacity; limbs 1..Count each lie in 0..9999 (base 10000,
/// least significant first); Count > 0 implies limb Count != 0; zero has Count 0.
/// Limb 0 is a scratch slot, not part of the value. A new number has Capacity 10 and
/// keeps its 11 words inside the object; growth past that moves them to the heap in
/// steps of 100 limbs, and the capacity never shrinks.
///
/// Operations write into *this. Any operand may alias *this or another operand (results
/// are built apart and committed last); DivMod's two outputs must differ. Long operations
/// call pump::ProcessMessages() (LongMul once per limb of its second factor or regularly
/// in its fast methods, Power once per pass, long divisions and gcds now and then); when
/// that throws, or memory runs out (std::bad_alloc), operands are unchanged and *this
/// stays a valid number.
class TSeisu {
public:
    static constexpr int32_t kMaxLimbs = 1000000000;
    static constexpr int32_t kInlineCapacity = 10;
    /// The base of the limbs: the kernels' (one base for both layers).
    static constexpr uint32_t kLimbBase = tabai_kernels::kBase;
    /// The smallest digit budget: every number below 2^64 fits it (small powers are
    /// taken on machine integers without asking).
    static constexpr int64_t kMinMaxDigits = 20;

    /// The budget of decimal digits of one product or power, for the whole process:
    /// Mul, LongMul and Power refuse, before computing, a result that would have more
    /// digits, with TSeisuException(kSeisuTooLarge). Sums grow a number by one digit at
    /// most and are not checked. n below kMinMaxDigits counts as kMinMaxDigits; a budget
    /// beyond kMaxLimbs limbs leaves the limb limit in charge. Safe from any thread.
    static void SetMaxDigits(int64_t n);
    /// The present budget; without SetMaxDigits, 4 * kMaxLimbs (no budget of its own).
    static int64_t MaxDigits();

    /// Zero.
    TSeisu() : limbs_(inline_) {}
    /// The value n; throws TSeisuException(kSeisuNegative) when n < 0.
    explicit TSeisu(int32_t n) : limbs_(inline_) {
        // Most numbers made are the 0 and 1 of a fresh fraction: no call for them.
        if (n >= 0 && static_cast<uint32_t>(n) < kLimbBase) {
            limbs_[1] = static_cast<uint16_t>(n);
            count_ = n != 0;
        } else {
            SetInt(n);
        }
    }
    TSeisu(const TSeisu& other);
    TSeisu(TSeisu&& other) noexcept;
    TSeisu& operator=(const TSeisu& other);
    TSeisu& operator=(TSeisu&& other) noexcept;
    ~TSeisu() {
        if (limbs_ != inline_) delete[] limbs_;
    }

    /// *this := src.
    void Assign(const TSeisu& src);
    /// *this := n; throws kSeisuNegative (leaving *this unchanged) when n < 0.
    void SetInt(int32_t n);
    /// True for zero.
    bool IsZero() const { return count_ == 0; }
    /// True exactly when the number has one limb and it equals n.
    bool EqualsSmall(uint16_t n) const { return count_ == 1 && limbs_[1] == n; }
    /// 0 when *this > b, 1 when equal, 2 when *this < b.
    int Compare(const TSeisu& b) const;

    /// *this := *this + b.
    void Add(const TSeisu& b);
    /// *this := a + b.
    void LongAdd(const TSeisu& a, const TSeisu& b);
    /// *this := *this + n, n in 0..9999 (larger n work too). Throws kSeisuOverflow when
    /// the carry would pass the limit of kMaxLimbs limbs.
    void ShortAdd(uint16_t n);
    /// *this := a - b; throws kSeisuLongSubNegative when b > a.
    void LongSub(const TSeisu& a, const TSeisu& b);
    /// *this := *this * n, n in 0..10000 (larger n work too).
    void Shortmul(uint16_t n);
    /// *this := *this + a * b. Throws kSeisuLongMulOverflow (nothing changed) when the
    /// working length would reach kMaxLimbs, kSeisuTooLarge when a * b passes MaxDigits.
    void LongMul(const TSeisu& a, const TSeisu& b);
    /// *this := a * b. Throws like LongMul.
    void Mul(const TSeisu& a, const TSeisu& b);
    /// *this := *this * b (b may be *this).
    void MulBy(const TSeisu& b);
    /// *this := *this ^ e; 0^0 = 1. Throws kSeisuLongMulOverflow up front when the
    /// result could not fit, kSeisuTooLarge when it would pass MaxDigits.
    void Power(const TSeisu& e);
    /// *this := a div b, r := a mod b; r must not be *this (if it is, *this ends as the
    /// quotient). Throws kSeisuDivideByZero, and kSeisuDividendTooLarge for a divisor of
    /// two or more limbs and a dividend of kMaxLimbs limbs; both leave everything unchanged.
    void DivMod(const TSeisu& a, const TSeisu& b, TSeisu& r);
    /// *this := a / d for d dividing a, cheaper than DivMod (the remainder, known to be 0,
    /// is never formed). When d does not divide a, *this becomes some valid number. Throws
    /// like DivMod.
    void DivExact(const TSeisu& a, const TSeisu& d);
    /// *this := a div d, rem := a mod d; d in 1..65535 (0 throws kSeisuDivideByZero).
    void ShortDivMod(const TSeisu& a, uint16_t d, uint16_t& rem);
    /// *this := gcd(a, b); gcd(a, 0) = a, gcd(0, 0) = 0.
    void Gcd(const TSeisu& a, const TSeisu& b);

    /// Skips non-digits, then reads decimal digits and steps back before the first
    /// non-digit. At the end of the text the stream's "end of stream" passes through:
    /// before any digit *this is unchanged, after digits it holds them all (any other
    /// exception of the stream after the first digit likewise leaves the digits read).
    void ReadFrom(TInputStream& s);
    /// Decimal text, "0" for zero.
    std::string ToText() const;
    /// Appends the decimal text to out (no allocation beyond out's growth).
    void AppendText(std::string& out) const;
    /// Nearest double (correctly rounded); throws TFloatOverflowException when that
    /// rounding would pass the largest finite double.
    double ToFloat() const;

    /// Makes room for limbs up to index n: nothing when n <= Capacity, else Capacity
    /// becomes (n div 100 + 1) * 100 (never shrinks). Throws std::bad_alloc, unchanged.
    void Reserve(int32_t n);

    /// Number of limbs in use.
    int32_t Count() const { return count_; }
    /// Highest limb index the array can hold.
    int32_t Capacity() const { return capacity_; }
    /// Limb i, 0 <= i <= Capacity (limb 1 least significant; limb 0 is scratch).
    uint16_t Limb(int32_t i) const { return limbs_[i]; }
    /// The limb array, index 0 being the scratch slot.
    const uint16_t* Limbs() const { return limbs_; }

    // Machine integers, for the short cuts of the rational numbers (most numbers in an
    // evaluation are literals, small denominators and their gcds).
    /// True for a value of at most three limbs (below 10^12), which SmallValue and ModSmall
    /// take as a divisor.
    bool IsSmall() const { return count_ <= 3; }
    /// The value; only for at most four limbs (below 10^16).
    uint64_t SmallValue() const {
        assert(count_ <= 4);
        uint64_t v = 0;
        for (int32_t i = count_; i >= 1; --i) v = v * kLimbBase + limbs_[i];
        return v;
    }
    /// *this := v, any 64-bit v (at most five limbs: no allocation, never throws).
    void SetSmall(uint64_t v) {
        // Most values of an everyday line have one limb: no division for them.
        if (v < kLimbBase) {
            limbs_[1] = static_cast<uint16_t>(v);
            count_ = v != 0;
            return;
        }
        // At most five limbs: the inline words always hold them.
        count_ = 0;
        while (v != 0) {
            limbs_[++count_] = static_cast<uint16_t>(v % kLimbBase);
            v /= kLimbBase;
        }
    }
    /// *this mod d for 1 <= d < 10^12, in one pass without forming the quotient.
    uint64_t ModSmall(uint64_t d) const;
    /// gcd(a, b) of machine integers; gcd(a, 0) = a.
    static uint64_t GcdSmall(uint64_t a, uint64_t b) {
        // Most gcds of an evaluation have an operand of 1 (the denominator of an integer),
        // where the binary gcd would still take a step per bit of the other.
        if (a == 1 || b == 1) return 1;
        return GcdSmallSteps(a, b);
    }

private:
    // GcdSmall for operands other than 1.
    static uint64_t GcdSmallSteps(uint64_t a, uint64_t b);
    // Value := limbs d[0..n) (0-based, may carry leading zeros); d must not be our array.
    void SetFromArray(const uint16_t* d, size_t n);
    // Count := n lowered past leading zero limbs.
    void SetCountTrimmed(size_t n);
    // Frees the heap array, if any, returning to the 11 inline words (Count 0).
    void ResetToInline() noexcept;
    // Takes over other's heap array; other becomes an empty inline number.
    void TakeHeapArray(TSeisu& other) noexcept;
    // Value := the decimal digits (no leading zero; empty gives zero).
    void FromDigits(const std::string& digits);
    // out := a * b; out is a fresh number distinct from a and b, which are not zero.
    static void Product(const TSeisu& a, const TSeisu& b, TSeisu& out);
    // Decimal digits of the value (0 for zero).
    int64_t Digits() const;
    // Throws kSeisuTooLarge when a product of factors with these many digits passes the budget.
    static void CheckProductDigits(int64_t da, int64_t db);
    // *this := *this ^ e for Self >= 2, after the checks of Power.
    void PowerBig(uint64_t e);

    int32_t count_ = 0;
    int32_t capacity_ = kInlineCapacity;
    uint16_t* limbs_;
    uint16_t inline_[kInlineCapacity + 1] = {};
};
