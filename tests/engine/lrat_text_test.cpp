// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "engine/Eval.h"
#include "tests/text_rows.h"
#include "engine/lrat.h"

namespace {

const std::string kEllipsis = "…";

// The value of a literal text with ";" after it.
TLoRational Q(const std::string& text) {
    TLoRational x;
    StringStream s(text + ";");
    x.ReadFrom(s);
    return x;
}

// The value of an expression (for texts with a leading "-" or parentheses).
TLoRational E(const std::string& text) {
    TLoRational x;
    StringStream s(text + ";");
    EvalExpression(x, s);
    return x;
}

std::string T(const TLoRational& x) { return x.ToImproperText(); }

bool SameValue(const TLoRational& a, const TLoRational& b) {
    return a.Numerator().Compare(b.Numerator()) == 1 && a.Denominator().Compare(b.Denominator()) == 1 &&
           (a.Sign() == b.Sign() || a.IsZero());
}

TLoRational ZeroDenominator(int sign) {
    TLoRational x;
    x.Power(TLoRational(-1, 1));
    if (sign < 0) x.Negate();
    return x;
}

// --- the literal reader --------------------------------------------------------------------

// Reads input (with ";" appended) and reports the value, or the error message, and the
// text left in the stream.
struct ReadOutcome {
    std::string value;  // improper text, or the message
    std::string rest;
};

ReadOutcome Read(const std::string& input, bool terminate = true) {
    StringStream s(terminate ? input + ";" : input);
    TLoRational x;
    try {
        x.ReadFrom(s);
    } catch (const std::exception& e) {
        return {e.what(), s.GetText().substr(static_cast<size_t>(s.Position() - 1))};
    }
    return {T(x), s.GetText().substr(static_cast<size_t>(s.Position() - 1))};
}

TEST(LoRationalReadTest, LiteralTable) {
    struct Row {
        const char* input;
        const char* value;
        const char* rest;  // of the input with ";" appended
    } rows[] = {
        {"007", "7", ";"},                 // leading zeros
        {"3/6", "1/2", ";"},               // fraction, reduced
        {"2.50", "5/2", ";"},              // decimal
        {"0.1[6]", "1/6", ";"},            // recurring decimal
        {"1.[3]", "4/3", ";"},             // recurring without plain digits
        {"0.[9]", "1", ";"},
        {"0.[142857]", "1/7", ";"},
        {"1:2/3", "5/3", ";"},             // mixed number
        {"1:2.5", "7/2", ";"},             // mixed with a decimal part
        {"1:2:3", "6", ";"},               // mixed chain
        {"-1:2/3", "-5/3", ";"},           // the sign covers the whole mixed number
        {"-1.[3]", "-4/3", ";"},           // and both parts of a recurring decimal
        {"+5", "5", ";"},
        {"-0", "-0", ";"},                 // a negative zero as read
        {"3.", "3", ".;"},                 // "." without digits is left
        {"1/2.5", "1/2", ".5;"},           // the fraction ends at its digits
        {"1/-2", "1", "/-2;"},             // "/" without digits is left
        {"12/4/3", "3", "/3;"},            // one fraction only
        {"1.2[3", "37/30", ""},            // the ";" is consumed as the "]"
        {"0.[3]+1", "1/3", "+1;"},         // exactly the "]" is consumed
        {"-x5", "-5", ";"},                // the sign's digits may follow other characters
        {".5", nerova::sourceText(kRationalNoDigits), ".5;"},  // nothing consumed
        {"", nerova::sourceText(kRationalNoDigits), ";"},
        {"1: 2", nerova::sourceText(kRationalNotMixed), " 2;"},
        {"1:2/0", nerova::sourceText(kRationalDivideByZero), ";"},
        {"1/0", nerova::sourceText(kRationalDivideByZero), ";"},
        {"0/0", nerova::sourceText(kRationalDivideByZero), ";"},  // the zero denominator is found before reducing
        {"1.[]", nerova::sourceText(kSeisuDivideByZero), ";"},    // an empty period
    };
    for (const auto& r : rows) {
        const ReadOutcome out = Read(r.input);
        EXPECT_EQ(out.value, r.value) << r.input;
        EXPECT_EQ(out.rest, r.rest) << r.input;
    }
}

// Without the ";": an end of text before the character after the first digits is the
// stream's error; later it ends the literal with what was read.
TEST(LoRationalReadTest, EndOfText) {
    const nerova::test::TextRow rows[] = {
        {"", nerova::sourceText(kEndOfStream)},
        {"-", nerova::sourceText(kEndOfStream)},     // the sign's digits never come
        {"12", nerova::sourceText(kEndOfStream)},    // the character after the first digits is missing
        {"1/2", "1/2"},          // denominator digits up to the end
        {"1/", "1"},             // the "/" was consumed, nothing after it
        {"2.5", "5/2"},
        {"2.", "2"},
        {"0.1[6", "1/6"},        // the open period counts as closed
        {"1.[", nerova::sourceText(kSeisuDivideByZero)},
        {"1:2", "3"},            // the mixed number adds what its second part read
        {"1:", "1"},
        {"-1:2/3", "-5/3"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(Read(r.input, false).value, r.expected) << r.input;
    }
    // The stream's error is a TStreamException, and the reader leaves *this alone.
    TLoRational x = Q("5");
    StringStream s("12");
    EXPECT_THROW(x.ReadFrom(s), TStreamException);
    EXPECT_EQ(T(x), "5");
}

TEST(LoRationalReadTest, LongLiteralsAndChains) {
    // Many digits on both sides of the point, fed in groups of four.
    const std::string whole(1001, '9');
    const std::string frac(999, '3');
    const TLoRational x = Q(whole + "." + frac);
    TLoRational expected = Q(whole + frac + "/1" + std::string(999, '0'));
    EXPECT_TRUE(SameValue(x, expected));
    // A long run that starts with zeros, and one that the end of the text cuts off.
    EXPECT_EQ(T(Q("0." + std::string(40, '0') + "1")), "1/1" + std::string(41, '0'));
    EXPECT_EQ(Read("2." + std::string(60, '5'), false).value, T(Q("2" + std::string(60, '5') + "/1" + std::string(60, '0'))));
    EXPECT_EQ(Read("0." + std::string(50, '1') + "[" + std::string(40, '3'), false).value,
              T(E("0." + std::string(50, '1') + "[" + std::string(40, '3') + "]")));
    // A long chain of mixed parts is read without recursion.
    std::string chain;
    for (int i = 0; i < 100000; ++i) chain += "1:";
    chain += "1/2";
    EXPECT_EQ(T(Q(chain)), "200001/2");
    // A long period.
    const TLoRational p = Q("0.[" + std::string(500, '0') + "1]");
    EXPECT_EQ(T(p), "1/" + std::string(501, '9'));
}

// --- the writers ---------------------------------------------------------------------------

TEST(LoRationalWriteTest, FractionForms) {
    struct Row {
        const char* value;  // an expression
        const char* improper;
        const char* colon;
        const char* plus;
    } rows[] = {
        {"5/3", "5/3", "1:2/3", "1+2/3"},
        {"-5/3", "-5/3", "-1:2/3", "-(1+2/3)"},
        {"-7", "-7", "-7", "-7"},
        {"7/2", "7/2", "3:1/2", "3+1/2"},
        {"-2/3", "-2/3", "-2/3", "-2/3"},
        {"1/7", "1/7", "1/7", "1/7"},
        {"0", "0", "0", "0"},
        {"2-3+1", "-0", "-0", "-0"},  // a zero with a negative sign
        {"123456789012345678901/10000", "123456789012345678901/10000",
         "12345678901234567:8901/10000", "12345678901234567+8901/10000"},
    };
    for (const auto& r : rows) {
        const TLoRational x = E(r.value);
        EXPECT_EQ(x.ToImproperText(), r.improper) << r.value;
        EXPECT_EQ(x.ToMixedColonText(), r.colon) << r.value;
        EXPECT_EQ(x.ToMixedText(), r.plus) << r.value;
    }
    // A zero denominator: the improper form writes it, the mixed forms cannot divide.
    EXPECT_EQ(ZeroDenominator(1).ToImproperText(), "1/0");
    EXPECT_EQ(ZeroDenominator(-1).ToImproperText(), "-1/0");
    EXPECT_THROW(ZeroDenominator(1).ToMixedColonText(), TSeisuException);
    EXPECT_THROW(ZeroDenominator(-1).ToMixedText(), TSeisuException);
}

TEST(LoRationalWriteTest, FloatForm) {
    const nerova::test::TextRow rows[] = {
        {"1/3", "0.333333333333333"},
        {"5/3", "1.66666666666667"},           // rounds up
        {"-5/3", "-1.66666666666667"},
        {"1/7", "0.142857142857143"},
        {"1/8", "0.125"},                       // trailing zeros dropped
        {"1/10000", "0.0001"},                  // E = -3: still fixed
        {"1/100000", "1E-5"},                   // E = -4: scientific
        {"100000000000000000000", "1E20"},
        {"123456789012345678", "1.23456789012346E17"},
        {"999999999999999", "999999999999999"},  // E = 15: fixed
        {"1000000000000000", "1E15"},           // E = 16: scientific
        {"9999999999999999", "1E16"},           // the carry out of the first digit
        {"0", "0"},
        {"2-3+1", "-0"},
        {"-2.5", "-2.5"},
        {"1000000000000005", "1.00000000000001E15"},  // an exact tie rounds up
        {"3/2*10^300", "1.5E300"},
    };
    for (const auto& r : rows) EXPECT_EQ(E(r.input).ToFloatText(), r.expected) << r.input;
    EXPECT_EQ(ZeroDenominator(-1).ToFloatText(), "ERROR");
}

// Parts beyond the range of doubles still give the quotient when it has a double.
TEST(LoRationalWriteTest, FloatFormOfHugeParts) {
    const std::string p400 = "1" + std::string(400, '0');
    EXPECT_EQ(Q(p400 + "/" + "1" + std::string(398, '0') + "1").ToFloatText(), "10");
    EXPECT_EQ(Q("1/3" + std::string(400, '0')).ToFloatText(), "0")
        << "a quotient below the smallest double underflows to zero";
    TLoRational third = Q("1" + std::string(500, '0'));
    third.Divide(Q("3" + std::string(499, '0')));
    EXPECT_EQ(third.ToFloatText(), "3.33333333333333");
    EXPECT_THROW(Q(p400).ToFloatText(), TFloatOverflowException);
    EXPECT_EQ(Q("17976931348623157" + std::string(292, '0')).ToFloatText(), "1.79769313486232E308");
}

TEST(LoRationalWriteTest, DecimalForm) {
    const std::string sevenths = "142857142857142857142857142857142857142857142857142857142857142857142857"
                                 "14285714285714285714285714";
    struct Row {
        const char* value;
        bool recurring;
        std::string text;
    } rows[] = {
        {"1/7", true, "0.[142857]"},
        {"1/7", false, "0." + sevenths.substr(0, 98) + kEllipsis},
        {"-1/7", false, "-0." + sevenths.substr(0, 97) + kEllipsis},
        {"-5/3", false, "-1." + std::string(97, '6') + kEllipsis},
        {"-5/3", true, "-1.[6]"},
        {"1/6", true, "0.1[6]"},
        {"1/8", false, "0.125"},
        {"1/8", true, "0.125"},
        {"7", true, "7"},
        {"12345", true, "12345"},          // through the plain path: above 9999
        {"0", true, "0"},
        {"2-3+1", false, "0"},             // never a sign on zero
        {"1/10007", true,                  // denominator above 9999: no brackets
         "0.00009993004896572399320475667033076846207654641750774457879484360947336864195063455581093234735685" +
             kEllipsis},
        {"1/1024", false, "0.0009765625"},  // ends before the limit: no ellipsis
    };
    for (const auto& r : rows) EXPECT_EQ(E(r.value).ToDecimalText(r.recurring), r.text) << r.value;
    EXPECT_EQ(ZeroDenominator(1).ToDecimalText(false), "ERROR");
    EXPECT_EQ(ZeroDenominator(-1).ToDecimalText(true), "ERROR");
}

// A cut-off text is MaxLen + 3 bytes (the ellipsis is three bytes), and its digits are
// those of the long division.
TEST(LoRationalWriteTest, DecimalLimitProperty) {
    std::mt19937_64 rng(5);
    for (int i = 0; i < 200; ++i) {
        const int64_t n = static_cast<int64_t>(rng() % 1000000) + 1;
        const int64_t d = static_cast<int64_t>(rng() % 99999) + 2;
        const uint16_t maxLen = static_cast<uint16_t>(rng() % 60 + 1);
        const TLoRational x(static_cast<int32_t>(n), static_cast<int32_t>(d));
        const std::string text = x.ToDecimalTextLimited(false, maxLen);
        // Long division on machine integers.
        const int64_t g = std::gcd(n, d);
        const int64_t rn = n / g, rd = d / g;
        std::string expected = std::to_string(rn / rd);
        int64_t r = rn % rd;
        if (r != 0) {
            expected += '.';
            while (r != 0) {
                if (expected.size() >= maxLen) {
                    expected += kEllipsis;
                    break;
                }
                r *= 10;
                expected += static_cast<char>('0' + r / rd);
                r %= rd;
            }
        }
        EXPECT_EQ(text, expected) << n << "/" << d << " limit " << maxLen;
        if (text.size() > kEllipsis.size() && text.compare(text.size() - 3, 3, kEllipsis) == 0) {
            EXPECT_GE(text.size(), static_cast<size_t>(maxLen) + 3);
        }
    }
    // A whole part already past the limit gives "w." and the ellipsis.
    TLoRational big = Q("1" + std::string(120, '0'));
    big.Divide(Q("7"));
    const std::string text = big.ToDecimalText(false);
    EXPECT_EQ(text.substr(text.size() - 4), "." + kEllipsis);
    EXPECT_EQ(text.size(), 120u + 1 + 3);
}

TEST(LoRationalWriteTest, SmallRecurringTable) {
    struct Row {
        int n, d;
        const char* text;
    } rows[] = {
        {1, 7, "0.[142857]"}, {1, 6, "0.1[6]"},    {1, 3, "0.[3]"},   {5, 3, "1.[6]"},
        {22, 7, "3.[142857]"}, {1, 12, "0.08[3]"}, {1, 81, "0.[012345679]"},
        {1, 8, "0.125"},      {3, 4, "0.75"},      {7, 1, "7"},       {9999, 9999, "1"},
    };
    for (const auto& r : rows) EXPECT_EQ(TLoRational::SmallRecurringText(r.n, r.d), r.text);
    // 1/199 has a period of 99 digits: bracketed. 1/223 has 222: 200 digits, then "…"
    // (without it the text would read as a terminating decimal).
    const std::string p199 = TLoRational::SmallRecurringText(1, 199);
    EXPECT_EQ(p199.substr(0, 3), "0.[");
    EXPECT_EQ(p199.size(), 3u + 99 + 1);
    const std::string p223 = TLoRational::SmallRecurringText(1, 223);
    EXPECT_EQ(p223.size(), 2u + 200 + 3);
    EXPECT_EQ(p223.substr(p223.size() - 3), kEllipsis);
    EXPECT_EQ(p223.find_first_of("[]"), std::string::npos);
    // The limit exactly: non-recurring digits and one period of 199 digits in all are
    // bracketed, of 200 written plainly.
    struct Limit {
        int d;
        size_t before;  // non-recurring digits
        size_t period;  // 0: written plainly
    } limits[] = {{797, 0, 199}, {874, 1, 198}, {401, 0, 0}, {1594, 0, 0}};
    for (const Limit& l : limits) {
        const std::string text = TLoRational::SmallRecurringText(1, l.d);
        if (l.period == 0) {
            EXPECT_EQ(text.size(), 2u + 200 + 3) << l.d;
            EXPECT_EQ(text.find_first_of("[]"), std::string::npos) << l.d;
        } else {
            EXPECT_EQ(text.find('['), 2 + l.before) << l.d;
            EXPECT_EQ(text.size(), 2 + l.before + 1 + l.period + 1) << l.d;
            EXPECT_EQ(text.back(), ']') << l.d;
        }
    }
}

// Across the whole small grid every text without "…" is exact and reads back to its
// value; a cut one reads back as the 200 digits before the "…".
TEST(LoRationalWriteTest, RecurringTextsReadBack) {
    for (int d = 1; d < 400; ++d) {
        for (int n = 1; n < 3 * d; n += (d > 100 ? 7 : 1)) {
            const std::string text = TLoRational::SmallRecurringText(n, d);
            const TLoRational back = Q(text);
            const size_t cut = text.find(kEllipsis);
            if (cut == std::string::npos) {
                EXPECT_TRUE(SameValue(back, TLoRational(n, d))) << n << "/" << d << " " << text;
            } else {
                EXPECT_EQ(cut, text.find('.') + 201) << text;
                EXPECT_TRUE(SameValue(back, Q(text.substr(0, cut)))) << text;
            }
        }
    }
}

TEST(LoRationalWriteTest, ExactTextsReadBack) {
    std::mt19937_64 rng(99);
    for (int i = 0; i < 300; ++i) {
        const int32_t n = static_cast<int32_t>(rng() % 200000) - 100000;
        const int32_t d = static_cast<int32_t>(rng() % (i % 2 ? 9999 : 400000)) + 1;
        TLoRational x(n, d);
        if (i % 3 == 0) x.Power(TLoRational(static_cast<int32_t>(rng() % 9), 1));
        EXPECT_TRUE(SameValue(E(x.ToImproperText()), x)) << x.ToImproperText();
        EXPECT_TRUE(SameValue(E(x.ToMixedColonText()), x)) << x.ToMixedColonText();
        EXPECT_TRUE(SameValue(E(x.ToMixedText()), x)) << x.ToMixedText();
        for (bool recurring : {false, true}) {
            const std::string dec = x.ToDecimalText(recurring);
            if (dec.find(kEllipsis) == std::string::npos) {
                EXPECT_TRUE(SameValue(E(dec), x)) << dec;
            }
        }
    }
    // A cut-off decimal reads back as the digits before the ellipsis.
    const std::string cut = Q("1/7").ToDecimalText(false);
    EXPECT_EQ(T(E(cut)), T(Q(cut.substr(0, cut.size() - 3))));
}

}  // namespace
