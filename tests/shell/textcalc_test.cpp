#include "shell/textcalc.h"

#include <gtest/gtest.h>

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
        EXPECT_EQ(nerova::calcText(big), nerova::kOutOfMemory);
    }
    {
        const pump::Scope scope(&Foreign::Handler, nullptr);
        const nerova::TextResult r = nerova::evalText(big, nerova::ResultForm::Improper);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.text, "");
    }
}

}  // namespace
