// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Exact rational numbers: a sign over two natural numbers, and all their text forms.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "engine/Stream.h"
#include "engine/tabai.h"

/// Raised by TLoRational; carries one of the messages below.
class TLoRationalException : public nerova::MessageError {
public:
    using nerova::MessageError::MessageError;
};

inline constexpr nerova::Message kRationalDivideByZero = nerova::Message::DivideByZero;
inline constexpr nerova::Message kRationalPowerNotInteger = nerova::Message::PowerNotInteger;
inline constexpr nerova::Message kRationalNoDigits = nerova::Message::NoDigits;
inline constexpr nerova::Message kRationalNotMixed = nerova::Message::NotMixed;

/// An exact rational number Sign * Numerator / Denominator.
///
/// Invariants (the normal form): Numerator and Denominator have no common divisor above 1,
/// so zero is 0/1; Sign is +1 or -1. Denominator is at least 1, except that zero raised to
/// a negative power gives 1/0, and values computed from it may keep the zero denominator.
/// A zero made by the constructor or Clear has Sign +1, but arithmetic keeps the sign a
/// zero result happens to get (-1 + 1 is -0; 1 - 1 is +0); the improper form writes it -0.
/// Invert alone may leave the normal form; it is a step of division and powers.
///
/// Operations overwrite *this with the result (*this := *this op x) and never change x;
/// x may be *this. They build the result away from *this and commit it last, so an error
/// (a natural-number overflow, a cancellation from the message pump, out of memory)
/// leaves *this as it was.
class TLoRational {
public:
    /// Byte length at which ToDecimalText stops adding digits.
    static constexpr uint16_t DefaultDecimalLength = 100;

    /// Zero (0/1, Sign +1).
    TLoRational() : Denominator_(1) {}
    /// The value n/d in normal form; throws TLoRationalException(kRationalDivideByZero)
    /// when d is 0, and TSeisuException(kSeisuNegative) when n or d is INT32_MIN (its
    /// magnitude has no 32-bit form).
    TLoRational(int32_t n, int32_t d);

    /// *this := x.
    void Assign(const TLoRational& x) { *this = x; }
    /// *this := n / d in lowest terms, Sign +1, for machine integers n and d >= 1 (no
    /// allocation for any such pair).
    void SetSmall(uint64_t n, uint64_t d);
    /// *this := 0 with Sign +1.
    void Clear();
    /// True when the numerator is zero, whatever the sign.
    bool IsZero() const { return Numerator_.IsZero(); }
    /// Divides numerator and denominator by their gcd; throws TSeisuException
    /// (kSeisuDivideByZero) for 0/0.
    void Reduce();
    /// Exchanges numerator and denominator, keeping the sign; no test for zero.
    void Invert();
    /// Flips the sign (a zero included).
    void Negate() { Sign_ = -Sign_; }

    /// *this := *this + x, over the least common multiple of the denominators.
    void Add(const TLoRational& x);
    /// *this := *this - x.
    void Subtract(const TLoRational& x);
    /// *this := *this * x, cancelling crosswise before multiplying.
    void Multiply(const TLoRational& x);
    /// *this := *this / x; no test for a zero x: a nonzero value over zero gives 1/0, and
    /// 0 / 0 throws TSeisuException(kSeisuDivideByZero).
    void Divide(const TLoRational& x);
    /// *this := *this ^ x for an integer x (0^0 = 1; 0 to a negative power is 1/0).
    /// Throws TLoRationalException(kRationalPowerNotInteger) when x's denominator is not 1.
    void Power(const TLoRational& x);

    /// Replaces the value by the number literal read from s: integer, n/d, decimal,
    /// recurring decimal w.d[p], mixed number w:literal, each with an optional sign.
    /// Throws TLoRationalException (kRationalNoDigits, kRationalNotMixed,
    /// kRationalDivideByZero), TSeisuException for an empty recurring part, and the
    /// stream's "end of stream" when the text ends before the character after the first
    /// run of digits; an end of text further on ends the literal quietly.
    void ReadFrom(TInputStream& s);

    /// "n" or "n/d", prefixed "-" for a negative sign (so a negative zero is "-0").
    std::string ToImproperText() const;
    /// Appends ToImproperText() to out, without a text of its own.
    void AppendImproperText(std::string& out) const;
    /// Mixed number "w:r/d" (or "n", "n/d"), prefixed "-" when negative. Throws
    /// TSeisuException(kSeisuDivideByZero) for a zero denominator.
    std::string ToMixedColonText() const;
    /// Mixed number "w+r/d", written "-(w+r/d)" when negative. Throws like ToMixedColonText.
    std::string ToMixedText() const;
    /// Nearest double in general format with 15 significant digits and "." as the decimal
    /// point; "ERROR" for a zero denominator. Throws TFloatOverflowException when the
    /// value itself lies beyond the largest finite double.
    std::string ToFloatText() const;
    /// ToDecimalTextLimited(recurring, DefaultDecimalLength).
    std::string ToDecimalText(bool recurring) const {
        return ToDecimalTextLimited(recurring, DefaultDecimalLength);
    }
    /// Exact decimal, or one cut off with "…" once the text is maxLen bytes long. With
    /// recurring set and numerator and denominator below 10000, the period is written in
    /// brackets. "ERROR" for a zero denominator; a zero is "0" whatever its sign.
    std::string ToDecimalTextLimited(bool recurring, uint16_t maxLen) const;
    /// The unsigned decimal text of n/d (1 <= n, d <= 9999) with its period in brackets
    /// when the non-recurring digits and one period fit in 200 digits; otherwise the
    /// first 200 digits and "…" (a reader stops before it).
    static std::string SmallRecurringText(int32_t n, int32_t d);

    /// The numerator's magnitude.
    const TSeisu& Numerator() const { return Numerator_; }
    /// The denominator.
    const TSeisu& Denominator() const { return Denominator_; }
    /// +1 or -1.
    int32_t Sign() const { return Sign_; }

private:
    // n / d in lowest terms, in place; on an error n and d may be left half divided.
    static void ReduceParts(TSeisu& n, TSeisu& d);
    // *this := *this + xs * xn / xd.
    void AddSigned(const TSeisu& xn, const TSeisu& xd, int32_t xs);
    // *this := *this * xs * xn / xd.
    void MultiplyBy(const TSeisu& xn, const TSeisu& xd, int32_t xs);
    // AddSigned and MultiplyBy on machine integers; false, with nothing changed, when the
    // parts or the results do not fit.
    bool AddSmall(const TSeisu& xn, const TSeisu& xd, int32_t xs);
    bool MultiplySmall(const TSeisu& xn, const TSeisu& xd, int32_t xs);

    TSeisu Numerator_;
    TSeisu Denominator_;
    int32_t Sign_ = 1;
};
