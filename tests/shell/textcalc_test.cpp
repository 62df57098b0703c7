// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/textcalc.h"

#include <gtest/gtest.h>

#include <optional>

#include <string>

#include "engine/pump.h"

namespace {

TEST(TextCalcTest, EachEvaluatorWritesItsForm) {
    struct Row {
        const char* input;
        const char* calc;  // improper
        const char* frac;  // float
        const char* tai;   // mixed with "+"
    } rows[] = {
        {"1/3+1/6", "1/2", "0.5", "1/2"},
        {"2^-1", "1/2", "0.5", "1/2"},
        {"-3/2", "-3/2", "-1.5", "-(1+1/2)"},
        {"7/3", "7/3", "2.33333333333333", "2+1/3"},
        {"", "数字がない", "数字がない", "数字がない"},  // failures become the text
        {"1 / 0", "0で割ろうとした", "0で割ろうとした", "0で割ろうとした"},
        {"0^-1", "1/0", "ERROR", "0 では割れません"},  // each form's own answer to 1/0
    };
    for (const Row& r : rows) {
        EXPECT_EQ(nerova::calcText(r.input), r.calc) << r.input;
        EXPECT_EQ(nerova::fracText(r.input), r.frac) << r.input;
        EXPECT_EQ(nerova::taiText(r.input), r.tai) << r.input;
        // The batch's form appends to what is there, the failures included.
        std::string record = "x = ";
        nerova::appendCalcText(record, r.input);
        EXPECT_EQ(record, std::string("x = ") + r.calc) << r.input;
    }
}

TEST(TextCalcTest, EvalTextTellsSuccessFromFailure) {
    struct Row {
        const char* input;
        nerova::ResultForm form;
        bool ok;
        const char* text;
    } rows[] = {
        {"7/2", nerova::ResultForm::Mixed, true, "3:1/2"},
        {"1/3", nerova::ResultForm::Recurring, true, "0.[3]"},
        {"1/4", nerova::ResultForm::Decimal, true, "0.25"},
        {"10^400", nerova::ResultForm::Float, false, "浮動小数点数のオーバーフロー"},
        {"(1", nerova::ResultForm::Improper, false, "カッコがあってない"},
        // A result that looks like a message is still a success, and the reverse.
        {"0", nerova::ResultForm::Improper, true, "0"},
    };
    for (const Row& r : rows) {
        const nerova::TextResult got = nerova::evalText(r.input, r.form);
        EXPECT_EQ(got.ok, r.ok) << r.input;
        EXPECT_EQ(got.text, r.text) << r.input;
    }
}

// Out of memory and failures that are no std::exception never leave the evaluators.
TEST(TextCalcTest, NoFailureEscapes) {
    struct BadAlloc {
        static void Handler(void*) { throw std::bad_alloc(); }
    };
    struct Foreign {
        static void Handler(void*) { throw 42; }
    };
    const std::string big = "3^100000";  // long enough to call the message pump
    {
        const pump::Scope scope(&BadAlloc::Handler, nullptr);
        EXPECT_EQ(nerova::calcText(big), nerova::sourceText(nerova::kOutOfMemory));
        std::string record = "x = ";
        nerova::appendCalcText(record, big);
        EXPECT_EQ(record, std::string("x = ") + nerova::sourceText(nerova::kOutOfMemory));
    }
    {
        const pump::Scope scope(&Foreign::Handler, nullptr);
        const nerova::TextResult r = nerova::evalText(big, nerova::ResultForm::Improper);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.text, "");
    }
}

}  // namespace

// What a paste or a drop inserts: line breaks as blanks (one per break, CR LF being one),
// full-width forms as ASCII, nothing from a null byte on; whole up to the limit, and
// nothing at all beyond it (never cut).
TEST(TextCalcTest, PastedTextTurnsLineBreaksIntoBlanksAndIsTakenWholeOrNotAtAll) {
    struct Row {
        std::string clipboard;
        std::optional<std::string> inserted;
    };
    const std::string a3 = "\xE3\x81\x82";  // one three-byte character
    const std::string million(1000000, '7');
    const Row rows[] = {
        {"1/2\n+1/3\n", "1/2 +1/3 "},
        {"1/2\r\n+1/3\r\n", "1/2 +1/3 "},
        {"1\r\r2", "1  2"},                    // two CRs are two breaks
        {"1\n\r2", "1  2"},                    // LF then CR: two breaks
        {std::string("12\0" "34", 5), "12"},
        {std::string(998, '7') + "\r\n9", std::string(998, '7') + " 9"},
        {"１／３＋１／６", "1/3+1/6"},
        {million, million},  // far beyond the 999 bytes of old
    };
    for (const Row& row : rows) EXPECT_EQ(nerova::pastedText(row.clipboard), row.inserted) << row.clipboard.substr(0, 20);
    // At the limit: the line break counts one byte, full-width forms one each.
    EXPECT_EQ(nerova::pastedText("12\r\n3", 4), std::optional<std::string>("12 3"));
    EXPECT_EQ(nerova::pastedText("１２３４", 4), std::optional<std::string>("1234"));
    EXPECT_EQ(nerova::pastedText("12345", 4), std::nullopt);
    EXPECT_EQ(nerova::pastedText(a3 + a3, 5), std::nullopt);
    EXPECT_NE(nerova::pasteTooLongNotice(4).find("4"), std::string::npos);
}

// An input method's full-width forms of the expression's characters become ASCII; other
// characters (kana, full-width letters, broken UTF-8) pass unchanged.
TEST(TextCalcTest, AsciiFormsOfFullWidthCharacters) {
    struct Row {
        const char* in;
        const char* out;
    };
    const Row rows[] = {
        {"０１２３４５６７８９", "0123456789"},
        {"＋－＊／＾（）．：［］", "+-*/^().:[]"},
        {"2×3÷4−5", "2*3/4-5"},
        {"１　／　３", "1 / 3"},
        {"あＡｘ！＃", "あＡｘ！＃"},
        {"1/3", "1/3"},
        {"\xEF\xBC", "\xEF\xBC"},  // a cut character stays as it was
        {"\xC3", "\xC3"},
    };
    for (const Row& row : rows) EXPECT_EQ(nerova::asciiForms(row.in), row.out) << row.in;
    EXPECT_EQ(nerova::calcText(nerova::asciiForms("１／３＋１／６")), "1/2");
}

// The notice for a fraction literal as an exponent finds the literal after "^", blanks
// and signs allowed, and leaves other texts alone.
TEST(TextCalcTest, FractionExponentNotice) {
    EXPECT_NE(nerova::fractionExponentNotice("2^100/3^50").find("「100/3」"), std::string::npos);
    EXPECT_NE(nerova::fractionExponentNotice("2^ -1/2").find("「1/2」"), std::string::npos);
    EXPECT_NE(nerova::fractionExponentNotice("2^100/3^50").find("2^100 / 3^50"), std::string::npos);
    const std::string longText = "1+" + std::string(100, '1') + "+2^3/4";
    const std::string notice = nerova::fractionExponentNotice(longText);
    EXPECT_NE(notice.find("「3/4」"), std::string::npos);
    EXPECT_LT(notice.size(), 200u);
    for (const char* text : {"2^(1/3)", "2^100 / 3^50", "2^x/3", "100/3", "2^100/", "(2^100)/(3^50)"})
        EXPECT_EQ(nerova::fractionExponentNotice(text), "") << text;
}

// The evaluator stops after a complete expression; the rest is reported, trimmed.
TEST(TextCalcTest, EvalTextReportsWhatItDidNotRead) {
    struct Row {
        const char* text;
        const char* value;
        const char* unused;
    };
    const Row rows[] = {
        {"2x3", "2", "x3"}, {"1+2)*3", "3", ")*3"}, {"2 3", "2", "3"},
        {"1/2\t+1", "1/2", "+1"}, {"1+1", "2", ""}, {"1+1 \t ", "2", ""},
    };
    for (const Row& row : rows) {
        const nerova::TextResult r = nerova::evalText(row.text, nerova::ResultForm::Improper);
        EXPECT_TRUE(r.ok) << row.text;
        EXPECT_EQ(r.text, row.value) << row.text;
        EXPECT_EQ(r.unused, row.unused) << row.text;
    }
    EXPECT_EQ(nerova::unusedNotice("x3"), "「x3」は計算に使っていません");
    const std::string longTail = std::string(39, 'x') + "\xE3\x81\x82" + "yyy";
    EXPECT_EQ(nerova::unusedNotice(longTail), "「" + std::string(39, 'x') + "…」は計算に使っていません");
}
