// Natural numbers of unlimited length in base 10000.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "Stream.h"

/// Raised by TSeisu operations; carries one of the messages below.
class TSeisuException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kSeisuNegative = "負の数は扱えません";
inline constexpr const char* kSeisuOverflow = "桁あふれが起こりました";
inline constexpr const char* kSeisuLongAddOverflow = "LongAdd で桁あふれが起こりました";
inline constexpr const char* kSeisuLongSubNegative = "LongSub で結果が負になりました";
inline constexpr const char* kSeisuShortmulOverflow = "Shortmul で桁あふれが起こりました";
inline constexpr const char* kSeisuLongMulOverflow = "LongMul で桁あふれが起こりました";
inline constexpr const char* kSeisuDivideByZero = "0 では割れません";
inline constexpr const char* kSeisuDividendTooLarge = "被除数が大き過ぎます";
inline constexpr const char* kFloatOverflow = "浮動小数点数のオーバーフロー";

/// Raised by ToFloat when the value exceeds the largest finite double.
class TFloatOverflowException : public std::runtime_error {
public:
    TFloatOverflowException() : std::runtime_error(kFloatOverflow) {}
};

/// A natural number 0, 1, 2, ... of unlimited length.
///
/// Invariants: 0 <= Count <= Capacity; limbs 1..Count each lie in 0..9999 (base 10000,
/// least significant first); Count > 0 implies limb Count != 0; zero has Count 0.
/// Limb 0 is a scratch slot, not part of the value. A new number has Capacity 10 and
/// keeps its 11 words inside the object; growth past that moves them to the heap in
/// steps of 100 limbs, and the capacity never shrinks.
///
/// Operations write into *this. Unless a comment says otherwise, operands may alias
/// *this. Long operations call pump::ProcessMessages(); when that throws, operands are
/// unchanged and *this stays a valid number.
class TSeisu {
public:
    static constexpr int32_t kMaxLimbs = 1000000000;
    static constexpr int32_t kInlineCapacity = 10;

    /// Zero.
    TSeisu();
    /// The value n; throws TSeisuException(kSeisuNegative) when n < 0.
    explicit TSeisu(int32_t n);
    TSeisu(const TSeisu& other);
    TSeisu(TSeisu&& other) noexcept;
    TSeisu& operator=(const TSeisu& other);
    TSeisu& operator=(TSeisu&& other) noexcept;
    ~TSeisu();

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
    /// *this := *this + n, n in 0..9999.
    void ShortAdd(uint16_t n);
    /// *this := a - b; throws kSeisuLongSubNegative when b > a.
    void LongSub(const TSeisu& a, const TSeisu& b);
    /// *this := *this * n, n in 0..10000.
    void Shortmul(uint16_t n);
    /// *this := *this + a * b.
    void LongMul(const TSeisu& a, const TSeisu& b);
    /// *this := a * b.
    void Mul(const TSeisu& a, const TSeisu& b);
    /// *this := *this * b (b may be *this).
    void MulBy(const TSeisu& b);
    /// *this := *this ^ e; 0^0 = 1. Throws kSeisuLongMulOverflow up front when the
    /// result could not fit.
    void Power(const TSeisu& e);
    /// *this := a div b, r := a mod b; r must not be *this. Throws kSeisuDivideByZero.
    void DivMod(const TSeisu& a, const TSeisu& b, TSeisu& r);
    /// *this := a div d, rem := a mod d; d in 1..65535.
    void ShortDivMod(const TSeisu& a, uint16_t d, uint16_t& rem);
    /// *this := gcd(a, b); gcd(a, 0) = a, gcd(0, 0) = 0.
    void Gcd(const TSeisu& a, const TSeisu& b);

    /// Skips non-digits, then reads decimal digits and steps back before the first
    /// non-digit. At the end of the text the stream's "end of stream" passes through:
    /// before any digit *this is unchanged, after digits it holds them all.
    void ReadFrom(TInputStream& s);
    /// Decimal text, "0" for zero.
    std::string ToText() const;
    /// Appends the decimal text to out (no allocation beyond out's growth).
    void AppendText(std::string& out) const;
    /// Nearest double; throws TFloatOverflowException beyond the largest finite double.
    double ToFloat() const;

    /// Makes room for limbs up to index n (growth in steps of 100; never shrinks).
    void Reserve(int32_t n);

    /// Number of limbs in use.
    int32_t Count() const { return count_; }
    /// Highest limb index the array can hold.
    int32_t Capacity() const { return capacity_; }
    /// Limb i, 0 <= i <= Capacity (limb 1 least significant; limb 0 is scratch).
    uint16_t Limb(int32_t i) const { return limbs_[i]; }
    /// The limb array, index 0 being the scratch slot.
    const uint16_t* Limbs() const { return limbs_; }

private:
    int32_t count_ = 0;
    int32_t capacity_ = kInlineCapacity;
    uint16_t* limbs_;
    uint16_t inline_[kInlineCapacity + 1] = {};
};
