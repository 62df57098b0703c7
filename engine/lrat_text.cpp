// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The text forms of TLoRational: the literal reader and the writers.
#include <algorithm>
#include <cassert>
#include <charconv>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include "engine/lrat.h"
#include "engine/utf8.h"

namespace {

using nerova::utf8::kEllipsis;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// x := x * 10^k for a small k, in steps of 10^4.
void ShiftDecimal(TSeisu& x, int k) {
    for (; k >= 4; k -= 4) x.Shortmul(10000);
    static constexpr uint16_t kPow10[] = {1, 10, 100, 1000};
    if (k > 0) x.Shortmul(kPow10[k]);
}

// x := 10^k: a few short multiplications for the k of everyday literals, a power beyond.
void SetPowerOfTen(TSeisu& x, int32_t k) {
    if (k <= 64) {
        x.SetInt(1);
        ShiftDecimal(x, k);
    } else {
        x.SetInt(10);
        x.Power(TSeisu(k));
    }
}

// Appends decimal digits to a number: target := target * 10^k + (the k digits pushed).
// A short run is added four digits a step; a long one is kept as text and added in one
// multiplication, so that a literal's cost grows with its length rather than its square.
class DigitAccumulator {
public:
    explicit DigitAccumulator(TSeisu& target) : target_(target) {}
    void Push(char c) { digits_ += c; }
    void Flush() {
        if (digits_.size() <= kShortRun) {
            uint16_t group = 0;
            int pending = 0;
            for (const char c : digits_) {
                group = static_cast<uint16_t>(group * 10 + (c - '0'));
                if (++pending == 4) {
                    Add(group, pending);
                    group = 0;
                    pending = 0;
                }
            }
            if (pending > 0) Add(group, pending);
        } else {
            TSeisu tail;
            {
                StringStream s(digits_ + ";");
                tail.ReadFrom(s);
            }
            if (!target_.IsZero()) {
                TSeisu scale;
                SetPowerOfTen(scale, static_cast<int32_t>(digits_.size()));
                target_.MulBy(scale);
            }
            target_.Add(tail);
        }
        digits_.clear();
    }

private:
    static constexpr size_t kShortRun = 32;

    void Add(uint16_t group, int digits) {
        ShiftDecimal(target_, digits);
        target_.ShortAdd(group);
    }

    TSeisu& target_;
    std::string digits_;
};

std::string Prefix(int32_t sign) { return sign < 0 ? "-" : ""; }

void AppendNumber(std::string& out, const TSeisu& x) { x.AppendText(out); }

}  // namespace

void TLoRational::ReadFrom(TInputStream& s) {
    // Steps 2 to 4: an end of text here passes to the caller and leaves *this as it was.
    const char first = s.PeekChar();
    if (first != '+' && first != '-' && !IsDigit(first)) {
        throw TLoRationalException(kRationalNoDigits);
    }
    bool negative = false;
    if (first == '+' || first == '-') {
        s.ReadChar();
        negative = first == '-';
    }
    TSeisu num;
    num.ReadFrom(s);

    // From here on an end of text ends the literal where it stands. The parts read so
    // far: the whole parts before each ":" (summed), the current part num / den, and a
    // recurring part of periodDigits digits.
    TSeisu wholes;
    TSeisu den(1);
    TSeisu period;
    int32_t periodDigits = 0;
    bool recurring = false;
    {
        DigitAccumulator numDigits(num);
        DigitAccumulator periodAcc(period);
        int32_t fractionDigits = 0;
        try {
            for (;;) {
                const char ch = s.ReadChar();
                if (ch == '/' && IsDigit(s.PeekChar())) {
                    den.ReadFrom(s);
                    break;
                }
                if (ch == '.') {
                    const char next = s.PeekChar();
                    if (IsDigit(next) || next == '[') {
                        char c = s.ReadChar();
                        for (; IsDigit(c); c = s.ReadChar()) {
                            numDigits.Push(c);
                            ++fractionDigits;
                        }
                        numDigits.Flush();
                        if (c == '[') {
                            recurring = true;
                            // The character after the digits stands for the "]", whatever it is.
                            for (c = s.ReadChar(); IsDigit(c); c = s.ReadChar()) {
                                periodAcc.Push(c);
                                ++periodDigits;
                            }
                        } else {
                            s.StepBack();
                        }
                        break;
                    }
                }
                if (ch == ':') {
                    if (!IsDigit(s.PeekChar())) throw TLoRationalException(kRationalNotMixed);
                    // The number read so far is a whole part; the rest is a further literal
                    // without a sign, read in this same loop (no recursion, however long the
                    // chain 1:2:3:... is).
                    wholes.Add(num);
                    num.SetInt(0);
                    num.ReadFrom(s);
                    continue;
                }
                s.StepBack();
                break;
            }
        } catch (const TStreamException&) {
            // The literal ends at the point reached; what was read counts.
            numDigits.Flush();
        }
        periodAcc.Flush();
        // The decimal branch is reached with den still 1: it becomes 10^(fraction digits).
        if (fractionDigits > 0) SetPowerOfTen(den, fractionDigits);
    }

    if (recurring) {
        // num/den + period / (den * (10^m - 1)) = (num * nines + period) / (den * nines).
        if (periodDigits == 0) throw TSeisuException(kSeisuDivideByZero);
        TSeisu nines;
        SetPowerOfTen(nines, periodDigits);
        const TSeisu one(1);
        nines.LongSub(nines, one);
        TSeisu n;
        n.Mul(num, nines);
        n.Add(period);
        TSeisu d;
        d.Mul(den, nines);
        num = std::move(n);
        den = std::move(d);
    }
    if (den.IsZero()) throw TLoRationalException(kRationalDivideByZero);
    if (!wholes.IsZero()) {
        TSeisu w;
        w.Mul(wholes, den);
        num.Add(w);
    }

    if (!den.EqualsSmall(1)) ReduceParts(num, den);
    // Commit: moves cannot fail, so an error above leaves *this as it was.
    Numerator_ = std::move(num);
    Denominator_ = std::move(den);
    Sign_ = negative ? -1 : 1;
}

void TLoRational::AppendImproperText(std::string& out) const {
    if (Sign_ < 0) out += '-';
    AppendNumber(out, Numerator_);
    if (!Denominator_.EqualsSmall(1)) {
        out += '/';
        AppendNumber(out, Denominator_);
    }
}

std::string TLoRational::ToImproperText() const {
    std::string out;
    AppendImproperText(out);
    return out;
}

namespace {

// A mixed number: n when d is 1, n/d when n < d, otherwise w, separator, r/d (n = w d + r)
// with open and close around it. The division fails with kSeisuDivideByZero for d = 0.
std::string MixedForm(std::string out, const TSeisu& n, const TSeisu& d, char separator,
                      const char* open, const char* close) {
    if (d.EqualsSmall(1)) {
        AppendNumber(out, n);
    } else if (n.Compare(d) == 2) {
        AppendNumber(out, n);
        out += '/';
        AppendNumber(out, d);
    } else {
        TSeisu w, r;
        w.DivMod(n, d, r);
        out += open;
        AppendNumber(out, w);
        out += separator;
        AppendNumber(out, r);
        out += '/';
        AppendNumber(out, d);
        out += close;
    }
    return out;
}

}  // namespace

std::string TLoRational::ToMixedColonText() const {
    return MixedForm(Prefix(Sign_), Numerator_, Denominator_, ':', "", "");
}

// The parentheses make the sign cover both parts: -(w+r/d).
std::string TLoRational::ToMixedText() const {
    const bool negative = Sign_ < 0;
    return MixedForm(Prefix(Sign_), Numerator_, Denominator_, '+', negative ? "(" : "", negative ? ")" : "");
}

namespace {

// Numbers of up to 77 limbs (below 10^308) convert to doubles without overflow.
constexpr int32_t kMaxFloatLimbs = 77;
// Significant digits kept of each part when a part lies beyond the range of doubles.
constexpr size_t kLeadingDigits = 40;

// n / d for parts of any size: the leading digits of both give the quotient to about
// 20 significant digits, which is parsed as a double (beyond the largest double: an
// overflow; below the smallest: zero or a denormal, as a division would give).
double LargeQuotient(const TSeisu& n, const TSeisu& d) {
    const std::string nt = n.ToText();
    const std::string dt = d.ToText();
    const size_t nl = std::min(nt.size(), kLeadingDigits);
    const size_t dl = std::min(dt.size(), kLeadingDigits);
    TSeisu nTop, dTop;
    {
        StringStream ns(nt.substr(0, nl) + ";");
        nTop.ReadFrom(ns);
        StringStream ds(dt.substr(0, dl) + ";");
        dTop.ReadFrom(ds);
    }
    // value = nTop / dTop * 10^(dropped digits of n - dropped digits of d); scale nTop
    // so that the integer quotient has about 20 digits.
    int64_t exponent = static_cast<int64_t>(nt.size() - nl) - static_cast<int64_t>(dt.size() - dl);
    const int64_t shift = 20 + static_cast<int64_t>(dl) - static_cast<int64_t>(nl);
    if (shift > 0) {
        ShiftDecimal(nTop, static_cast<int>(shift));
    } else {
        ShiftDecimal(dTop, static_cast<int>(-shift));
    }
    exponent -= shift;
    TSeisu q, r;
    q.DivMod(nTop, dTop, r);
    const std::string text = q.ToText() + "e" + std::to_string(exponent);
    double v = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec == std::errc::result_out_of_range) {
        if (exponent > 0) throw TFloatOverflowException();
        return 0.0;
    }
    return v;
}

// Appends v > 0 in general format with 15 significant digits. The exact decimal
// expansion of the double (at most 767 significant digits) is rounded half up.
void AppendGeneral15(std::string& out, double v) {
    if (v == 0) {
        out += '0';
        return;
    }
    char buf[840];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 780);
    // buf holds "d.ddd…de±x".
    const char* e = static_cast<const char*>(std::memchr(buf, 'e', static_cast<size_t>(res.ptr - buf)));
    int exp10 = 0;
    std::from_chars(e[1] == '+' ? e + 2 : e + 1, res.ptr, exp10);
    char digits[16];
    digits[0] = buf[0];
    for (int i = 1; i < 15; ++i) digits[i] = buf[i + 1];
    const bool roundUp = buf[16] >= '5';
    int k = 15;
    if (roundUp) {
        int i = 14;
        while (i >= 0 && digits[i] == '9') digits[i--] = '0';
        if (i < 0) {
            digits[0] = '1';  // 9.99…9 rounds to 10: one digit more in front
            ++exp10;
        } else {
            ++digits[i];
        }
    }
    while (k > 1 && digits[k - 1] == '0') --k;
    // v = 0.d1 d2 … dk * 10^E
    const int E = exp10 + 1;
    if (E >= -3 && E <= 15) {
        if (E <= 0) {
            out += "0.";
            out.append(static_cast<size_t>(-E), '0');
            out.append(digits, static_cast<size_t>(k));
        } else if (k <= E) {
            out.append(digits, static_cast<size_t>(k));
            out.append(static_cast<size_t>(E - k), '0');
        } else {
            out.append(digits, static_cast<size_t>(E));
            out += '.';
            out.append(digits + E, static_cast<size_t>(k - E));
        }
    } else {
        out += digits[0];
        if (k > 1) {
            out += '.';
            out.append(digits + 1, static_cast<size_t>(k - 1));
        }
        out += 'E';
        const int shown = E - 1;
        if (shown < 0) out += '-';
        out += std::to_string(shown < 0 ? -shown : shown);
    }
}

}  // namespace

std::string TLoRational::ToFloatText() const {
    if (Denominator_.IsZero()) return "ERROR";
    std::string out = Prefix(Sign_);
    double v;
    if (Numerator_.Count() <= kMaxFloatLimbs && Denominator_.Count() <= kMaxFloatLimbs) {
        v = Numerator_.ToFloat() / Denominator_.ToFloat();
    } else {
        v = LargeQuotient(Numerator_, Denominator_);
    }
    AppendGeneral15(out, v);
    return out;
}

std::string TLoRational::ToDecimalTextLimited(bool recurring, uint16_t maxLen) const {
    if (Denominator_.IsZero()) return "ERROR";
    if (Numerator_.IsZero()) return "0";
    std::string out = Prefix(Sign_);
    if (recurring && Numerator_.Count() == 1 && Denominator_.Count() == 1) {
        out += SmallRecurringText(Numerator_.Limb(1), Denominator_.Limb(1));
        return out;
    }
    TSeisu w, r;
    w.DivMod(Numerator_, Denominator_, r);
    AppendNumber(out, w);
    if (r.IsZero()) return out;
    out += '.';
    if (out.size() >= maxLen) {
        out += kEllipsis;
        return out;
    }
    // The next k digits of r / d in one division: floor(r * 10^k / d), zero-padded.
    const size_t k = maxLen - out.size();
    if (k <= 256) {
        ShiftDecimal(r, static_cast<int>(k));
    } else {
        TSeisu scale(10);
        scale.Power(TSeisu(static_cast<int32_t>(k)));
        r.MulBy(scale);
    }
    TSeisu q, rest;
    q.DivMod(r, Denominator_, rest);
    std::string digits = q.ToText();
    digits.insert(0, k - digits.size(), '0');
    if (rest.IsZero()) {
        // The expansion ended within the k digits: its last digit is not zero.
        digits.erase(digits.find_last_not_of('0') + 1);
        out += digits;
    } else {
        out += digits;
        out += kEllipsis;
    }
    return out;
}

std::string TLoRational::SmallRecurringText(int32_t n, int32_t d) {
    assert(n >= 1 && n <= 9999 && d >= 1 && d <= 9999);
    constexpr int kMaxDigits = 200;
    std::string out = std::to_string(n / d);
    int32_t r = n % d;
    if (r == 0) return out;
    out += '.';
    // Entry i: the i-th fractional digit and the remainder left after it. A pair repeats
    // exactly when the remainder before the digit repeats, so the first repeat closes a period.
    char digit[kMaxDigits];
    int32_t rest[kMaxDigits];
    int count = 0;
    int start = -1;
    while (r != 0 && count < kMaxDigits) {
        r *= 10;
        const char g = static_cast<char>('0' + r / d);
        r %= d;
        for (int j = 0; j < count; ++j) {
            if (digit[j] == g && rest[j] == r) {
                start = j;
                break;
            }
        }
        if (start >= 0) break;
        digit[count] = g;
        rest[count] = r;
        ++count;
    }
    if (start >= 0) {
        out.append(digit, static_cast<size_t>(start));
        out += '[';
        out.append(digit + start, static_cast<size_t>(count - start));
        out += ']';
    } else {
        out.append(digit, static_cast<size_t>(count));
        // A period too long to show: the cut is marked, or the text would read as a
        // terminating decimal that is not the value.
        if (r != 0) out += kEllipsis;
    }
    return out;
}
