// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The token list and the tokenizer.
#include <gtest/gtest.h>

#include <string>

#include "display/BunDispCal.h"
#include "display/Shiki.h"
#include "engine/Stream.h"

namespace {

// One line per token: "num 12", "text -", "frac 3/4", "pow 3", "paren (", "rec 6".
std::string Dump(const elm& e) {
    static const char* const kNames[] = {"num", "text", "frac", "none", "pow", "paren", "rec"};
    std::string out = std::string(kNames[e.Kind]) + ' ' + e.Text;
    if (e.Kind == skFraction) out += "/" + e.Text2;
    else EXPECT_TRUE(e.Text2.empty()) << "only a fraction has a second text";
    return out;
}

std::string Dump(TShiki& list) {
    std::string out;
    for (int32_t i = 0; i < list.Count(); ++i) out += (out.empty() ? "" : " | ") + Dump(list[i]);
    return out;
}

std::string Tokens(const std::string& text) {
    TBunDispCalc calc;
    calc.Tokenize(text);
    return Dump(calc.Tokens());
}

}  // namespace

// An empty list gives nothing, twice, without moving; filled, it is walked from its start.
TEST(TShikiTest, NextWalksInOrderThenStops) {
    TShiki list;
    EXPECT_EQ(list.Next(), nullptr);
    EXPECT_EQ(list.Next(), nullptr);
    EXPECT_EQ(list.Cursor(), 0);
    list.Add(skNumber, "1");
    list.Add(skText, "+");
    list.Add(skFraction, "3", "4");
    std::string walked;  // as Dump writes them
    while (const elm* e = list.Next()) walked += Dump(*e) + ";";
    EXPECT_EQ(walked, "num 1;text +;frac 3/4;");
    EXPECT_EQ(list.Next(), nullptr);
    EXPECT_EQ(list.Cursor(), 3);
}

TEST(TShikiTest, ClearAfterPartialReadDropsEverything) {
    TShiki list;
    list.Add(skNumber, "1");
    list.Add(skNumber, "2");
    list.Next();
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Cursor(), 0);
    EXPECT_EQ(list.Next(), nullptr);
}

TEST(TShikiTest, RecordsKeepTheirOwnCopiesAndStayPutWhileTheListGrows) {
    TShiki list;
    std::string s = "12";
    list.Add(skNumber, s);
    const elm* first = list.Next();
    s = "99";
    for (int i = 0; i < 10000; ++i) list.Add(skText, "+");  // growing must not move the record read
    EXPECT_EQ(first->Text, "12");
    EXPECT_EQ(&list[0], first);
    EXPECT_EQ(list.Next()->Text, "+");  // adding after reading began: later Next returns them
}

struct TokenRow {
    const char* Text;
    const char* Expected;
    const char* Why;
};

class TokenizeTable : public ::testing::TestWithParam<TokenRow> {};

TEST_P(TokenizeTable, GivesTheTokens) {
    EXPECT_EQ(Tokens(GetParam().Text), GetParam().Expected) << GetParam().Why;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TokenizeTable,
    ::testing::Values(
        TokenRow{"3/4;", "frac 3/4", "a fraction"},
        TokenRow{"-3/4;", "text - | frac 3/4", "a sign before a fraction is an operator"},
        TokenRow{"5;", "num 5", "a plain number"},
        TokenRow{"1:1/2;", "num 1 | frac 1/2", "the colon of a mixed number is skipped"},
        TokenRow{"-(1+1/2);", "text - | paren ( | num 1 | text + | frac 1/2 | paren )", "mixed number in parentheses"},
        TokenRow{"0.1[6];", "text 0.1 | rec 6", "recurring digits; the ] is skipped"},
        TokenRow{"0.[123];", "text 0. | rec 123", "all digits recurring"},
        TokenRow{"3.14…;", "text 3.14…", "a truncated decimal keeps its ellipsis"},
        TokenRow{"2^-3;", "num 2 | pow -3", "negative exponent"},
        TokenRow{"2^3/4;", "num 2 | pow 3/4", "fractional exponent stays one text"},
        TokenRow{"2^(1+1);", "num 2 | pow 1+1", "parenthesised exponent loses its parentheses"},
        TokenRow{"1.5/2;", "text 1.5 | text / | num 2", "only a plain integer starts a fraction"},
        TokenRow{"3/;", "frac 3/", "denominator still being typed"},
        TokenRow{"ERROR;", "text ERROR", "an error text"},
        TokenRow{"メモリが不足しています;", "text メモリが不足しています", "a Japanese message is one word"},
        TokenRow{";", "", "only the terminator"},
        TokenRow{"", "", "the empty text"},
        TokenRow{"1;2", "num 1", "only the first ; matters"},
        TokenRow{"2^3^4;", "num 2 | pow 3 | pow 4", "stacked exponents"},
        TokenRow{"^+2;", "text ^ | text + | num 2", "^ before neither -, digit nor ( is text"},
        TokenRow{"[;", "rec ", "[ right before ; gives an empty recurring token"},
        TokenRow{"[-5];", "rec -5", "recurring digits may carry a sign"},
        TokenRow{"[", "text [", "[ at the very end of a text is text"},
        TokenRow{"3//4;", "frac 3/ | text / | num 4", "second slash is an operator"},
        TokenRow{"3/-4;", "frac 3/-4", "signed denominator"},
        TokenRow{"2^(3 + (4));", "num 2 | pow 3 + (4 | paren )", "first ) ends the group, inner text kept"},
        TokenRow{"2^(ab;", "num 2 | pow ab", "; ends an unclosed group"},
        TokenRow{"x2ー;", "text x2ー", "letters, digits and a multi-byte character in one word"},
        TokenRow{"1 2;", "num 1 | num 2", "a space separates numbers and is not a token"},
        TokenRow{"a.b:c!%=;", "text a.b:c!%=", "dot, colon and punctuation belong to a word"},
        TokenRow{"12.5e3*2;", "text 12.5e3 | text * | num 2", "a decimal's word runs to the next delimiter"},
        TokenRow{"2^x;", "num 2 | text ^ | text x", "^ before a letter"},
        TokenRow{"x\xE3;", "text x\xE3", "a truncated lead byte never swallows the ;"},
        TokenRow{"\xE3\x81+1;", "text \xE3\x81 | text + | num 1", "a truncated character stops at a delimiter"},
        TokenRow{"\x80\x80-1;", "text \x80\x80 | text - | num 1", "stray continuation bytes stand alone in a word"},
        TokenRow{"a\xF0\x9F\x98\x80(1);", "text a\xF0\x9F\x98\x80 | paren ( | num 1 | paren )", "a four-byte character"},
        TokenRow{"\t1;", "text \t1", "a control character starts a word"}));

TEST(TokenizeTest, TextWithoutTerminatorEndingInDigitsThrowsButKeepsEarlierTokens) {
    TBunDispCalc calc;
    EXPECT_THROW(calc.Tokenize("1+23"), TStreamException);
    EXPECT_EQ(Dump(calc.Tokens()), "num 1 | text +");
}

TEST(TokenizeTest, TextEndingRightAfterCaretThrows) {
    TBunDispCalc calc;
    EXPECT_THROW(calc.Tokenize("2^"), TStreamException);
}

TEST(TokenizeTest, MultiByteCharacterAtTheVeryEndNeedsNoTerminator) {
    TBunDispCalc calc;
    EXPECT_NO_THROW(calc.Tokenize("ab\xE3"));
    EXPECT_EQ(Dump(calc.Tokens()), "text ab\xE3");
}

TEST(ReadWordTest, StopsBeforeEachDelimiterAndLeavesItToBeRead) {
    for (char d : std::string(" ()*+-/;[]^")) {
        StringStream s(std::string("ab") + d + "c");
        EXPECT_EQ(TBunDispCalc::ReadWord(s), "ab") << "delimiter " << d;
        EXPECT_EQ(s.ReadChar(), d);
    }
}

TEST(ReadNumberTest, SignAndDigitsOnly) {
    struct {
        const char* Text;
        const char* Number;
        char Next;
    } rows[] = {
        {"+12x", "+12", 'x'},  // a leading plus is taken
        {"-;", "-", ';'},      // a lone sign
        {"x", "", 'x'},        // nothing read
        {"007/", "007", '/'},  // leading zeros kept
    };
    for (const auto& r : rows) {
        StringStream s(r.Text);
        EXPECT_EQ(TBunDispCalc::ReadNumber(s), r.Number) << r.Text;
        EXPECT_EQ(s.ReadChar(), r.Next) << r.Text;
    }
}

TEST(TokenizeTest, MillionDigitNumberIsOneToken) {
    TBunDispCalc calc;
    const std::string digits(1'000'000, '7');
    calc.Tokenize(digits + "/3;");
    ASSERT_EQ(calc.Tokens().Count(), 1);
    EXPECT_EQ(calc.Tokens()[0].Text.size(), digits.size());
    EXPECT_EQ(calc.Tokens()[0].Text2, "3");
}
