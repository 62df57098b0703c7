// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "engine/steps.h"
#include "tests/engine/calc_text.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "engine/Eval.h"

namespace {

using nerova::Steps;
using nerova::workSteps;

constexpr size_t kResultDigits = 1000;

using nerova::test::Calc;

// The lines joined by " | ", or "error: message | lines so far".
std::string Work(const std::string& input) {
    Steps steps;
    std::string out;
    try {
        workSteps(input, steps, kResultDigits);
    } catch (const std::exception& e) {
        out = std::string("error: ") + e.what();
    }
    for (const std::string& line : steps.lines) out += (out.empty() ? "" : " | ") + line;
    if (steps.end == Steps::End::LeftOut) out += " (left out)";
    if (steps.end == Steps::End::ResultTooLong) out += " (too long)";
    return out;
}

// An input and its steps, as Work writes them.
struct Row {
    const char* input;
    const char* lines;
};

void ExpectWork(std::initializer_list<Row> rows) {
    for (const Row& row : rows) EXPECT_EQ(Work(row.input), row.lines) << row.input;
}

TEST(StepsTest, SchoolConventions) {
    ExpectWork({
        // Common denominator, sum, reduction: each its own step.
        {"1/3+1/6", "1/3+1/6 | 2/6+1/6 | 3/6 | 1/2"},
        {"1/2-3/4", "1/2-3/4 | 2/4-3/4 | -1/4"},
        {"1+1/2", "1+1/2 | 2/2+1/2 | 3/2"},
        // Mixed numbers, decimals and recurring decimals become fractions first, in one step.
        {"1:1/2*2^3", "1:1/2*2^3 | 3/2*2^3 | 3/2*8 | 24/2 | 12"},
        {"0.1[6]", "0.1[6] | 1/6"},
        {"0.5+1:1/4", "0.5+1:1/4 | 1/2+5/4 | 2/4+5/4 | 7/4"},
        {"1.2[3", "1.2[3] | 37/30"},  // a recurring part left open reads as closed
        // A division by a fraction is a product by its reciprocal; the product and its
        // reduction are steps of their own.
        {"2/3 / (4/9)", "2/3 / (4/9) | 2/3*9/4 | 18/12 | 3/2"},
        {"6 / 4", "6 / 4 | 6/4 | 3/2"},
        {"6 / 3", "6 / 3 | 2"},
        {"1/2 / 3", "1/2 / 3 | 1/6"},
        // Innermost parentheses first; inside, powers, then * and /, then + and -.
        {"1+2*3", "1+2*3 | 1+6 | 7"},
        {"2*3+(1+1)^2", "2*3+(1+1)^2 | 2*3+2^2 | 2*3+4 | 6+4 | 10"},
        {"2^3^2", "2^3^2 | 2^9 | 512"},
        {"1-2+3*4", "1-2+3*4 | 1-2+12 | -1+12 | 11"},
        {"((1+2)*3+1)/2", "((1+2)*3+1) / 2 | (3*3+1) / 2 | (9+1) / 2 | 10 / 2 | 5"},
        // The blanks that decide between a literal and a division stay.
        {"4/2^2", "(4/2)^2 | 16/4 | 4"},  // the literal is the base
        {"4 / 2^2", "4 / 2^2 | 4 / 4 | 1"},
        {"12/4/3", "12/4 / 3 | 12/12 | 1"},
        // Negative operands in parentheses where they need them; signs after powers.
        {"-2^2", "-2^2 | -4"},
        {"(-2)^3+1", "(-2)^3+1 | -8+1 | -7"},
        {"3-(-2)", "3-(-2) | 5"},
        {"1 - -2*3", "1-(-2)*3 | 1-(-6) | 7"},
        {"2^-2", "2^-2 | 1/4"},
        {"(1/2)^-3", "(1/2)^-3 | 8"},
        {"-(1+2)", "-(1+2) | -3"},
        {"2-3+1", "2-3+1 | -1+1 | -0"},  // the evaluator's zero sign
        // Parentheses around a single number go once they are not needed.
        {"(((7)))", "(((7))) | 7"},
        {"(2)+1/2", "(2)+1/2 | 4/2+1/2 | 5/2"},
        // Already its own improper result: no step. An unreduced literal is reduced.
        {"5/3", "5/3"},
        {"-7", "-7"},
        {"3/6", "3/6 | 1/2"},
        {" 007 ", "7"},
        // The text after the expression is not part of it.
        {"1+2)*3", "1+2 | 3"},
    });
}

TEST(StepsTest, FailingStepKeepsTheLinesBeforeIt) {
    ExpectWork({
        {"1/3 / (1-1)", "error: 0で割ろうとした | 1/3 / (1-1) | 1/3 / 0"},
        {"2^(1/2)+1", "error: 有理数乗しようとした | 2^(1/2)+1"},
        {"(1+2", "error: カッコがあってない"},
        {"1/0", "error: 0で割ろうとした"},
        // The evaluator meets the division by zero first: its message is the one shown.
        {"1 / 0 + 2^(1/2)", "error: 0で割ろうとした | 1 / 0+2^(1/2)"},
    });
}

TEST(StepsTest, Bounds) {
    // A power too long for a step is not computed for the steps, nor for a result over
    // the limit: this returns at once.
    EXPECT_EQ(Work("2^1000000"), "2^1000000 (too long)");
    EXPECT_EQ(Work("2^1000000000000000000000000000000+1"), "2^1000000000000000000000000000000+1 (too long)");
    // 2^199 has 60 digits, 2^200 has 61: the step is left out, the result follows.
    ASSERT_EQ(Calc("2^199").size(), nerova::kMaxStepDigits);
    EXPECT_EQ(Work("2^199"), "2^199 | " + Calc("2^199"));
    EXPECT_EQ(Work("2^200"), "2^200 | " + Calc("2^200") + " (left out)");
    EXPECT_EQ(Work("1+2^200-2^200"), "1+2^200-2^200 | 1 (left out)");
    // More operations than steps: the result only.
    std::string sum = "1";
    for (int i = 0; i < 150; ++i) sum += "+1";
    EXPECT_EQ(Work(sum), sum + " | 151 (left out)");
    // More than 100 steps from fewer operations: 100 steps, then the result.
    std::string fractions = "1/2";
    for (int d = 3; d < 40; ++d) fractions += "+1/" + std::to_string(d);
    Steps steps;
    workSteps(fractions, steps, kResultDigits);
    EXPECT_LE(steps.lines.size(), nerova::kMaxSteps + 2);
    EXPECT_EQ(steps.lines.back(), Calc(fractions));
    // Far more than any working: the text as read, then the evaluator's value.
    std::string many = "2";
    for (int i = 0; i < 20000; ++i) many += "*1";
    EXPECT_EQ(Work(many + " x"), many + " | 2 (left out)");
    // Every shown number has at most the digits allowed.
    for (const std::string& line : steps.lines) {
        size_t run = 0;
        for (const char c : line) {
            run = (c >= '0' && c <= '9') ? run + 1 : 0;
            EXPECT_LE(run, nerova::kMaxStepDigits) << line;
        }
    }
    // A zero denominator ends the steps; the result is the evaluator's.
    EXPECT_EQ(Work("1+0^-1"), "1+0^-1 | 1/0 (left out)");
}

// School-size expressions: small integers, fractions, mixed numbers, decimals and
// recurring decimals, the four operations (a division with or without blanks), small
// powers, unary minus and parentheses.
class Generator {
public:
    explicit Generator(uint32_t seed) : rng_(seed) {}

    std::string Expression(int depth) {
        std::string s = Term(depth);
        const int n = Pick(0, 2);
        for (int i = 0; i < n; ++i) s += (Pick(0, 1) ? "+" : "-") + Term(depth);
        return s;
    }

private:
    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    std::string Term(int depth) {
        std::string s = Factor(depth);
        const int n = Pick(0, 2);
        for (int i = 0; i < n; ++i) {
            // A "/" right after a power would make the exponent a fraction literal.
            const int op = Pick(0, s.find('^') == std::string::npos ? 2 : 1);
            s += op == 0 ? "*" : op == 1 ? " / " : "/";
            s += Factor(depth);
        }
        return s;
    }

    std::string Factor(int depth) {
        std::string s = Pick(0, 6) == 0 ? "-" : "";
        s += Primary(depth);
        if (Pick(0, 5) == 0) s += "^" + std::string(Pick(0, 3) == 0 ? "-" : "") + std::to_string(Pick(0, 3));
        return s;
    }

    std::string Primary(int depth) {
        if (depth > 0 && Pick(0, 3) == 0) return "(" + Expression(depth - 1) + ")";
        switch (Pick(0, 9)) {
        case 0: return std::to_string(Pick(1, 3)) + ":" + std::to_string(Pick(1, 5)) + "/" + std::to_string(Pick(2, 9));
        case 1: return "0." + std::to_string(Pick(1, 99));
        case 2: return "0." + std::to_string(Pick(0, 9)) + "[" + std::to_string(Pick(1, 9)) + "]";
        case 3:
        case 4:
        case 5: return std::to_string(Pick(1, 9)) + "/" + std::to_string(Pick(1, 12));
        default: return std::to_string(Pick(0, 12));
        }
    }

    std::mt19937 rng_;
};

TEST(StepsTest, EveryLineReadsBackWithTheValue) {
    Generator gen(20261207);
    int worked = 0;
    int tooLong = 0;
    for (int i = 0; i < 10000; ++i) {
        const std::string input = gen.Expression(2);
        const std::string value = Calc(input);
        Steps steps;
        std::string error;
        try {
            workSteps(input, steps, kResultDigits);
        } catch (const std::exception& e) {
            error = e.what();
        }
        if (!error.empty()) {
            // The calculator fails too, with the same message; the lines so far hold.
            ASSERT_EQ(error, value) << input;
        } else if (steps.end == Steps::End::ResultTooLong) {
            // Only a result over the limit goes unshown, or one that the evaluator finds
            // an error in beyond the numbers too long to compute.
            const bool number = value.find_first_not_of("-0123456789/") == std::string::npos;
            ASSERT_TRUE(value.size() > kResultDigits || !number) << input;
            ++tooLong;
        } else {
            ASSERT_EQ(steps.lines.back(), value) << input;
            ++worked;
        }
        ASSERT_FALSE(steps.lines.empty() && error.empty()) << input;
        ASSERT_LE(steps.lines.size(), nerova::kMaxSteps + 2) << input;
        // A value over zero (from 0 to a negative power) is written 1/0, which no literal reads.
        const bool overZero = value.size() > 2 && value.compare(value.size() - 2, 2, "/0") == 0;
        for (size_t k = 0; k < steps.lines.size(); ++k) {
            if (!error.empty() || (overZero && k + 1 == steps.lines.size())) break;
            ASSERT_EQ(Calc(steps.lines[k]), value) << input << "\n  line " << k << ": " << steps.lines[k];
        }
        // A working shown in full ends in its own improper result and repeats no line.
        if (steps.end == Steps::End::Complete) {
            for (size_t k = 1; k < steps.lines.size(); ++k) ASSERT_NE(steps.lines[k], steps.lines[k - 1]) << input;
        }
    }
    EXPECT_GT(worked, 8000) << "the rest fail as the calculator fails on them";
    EXPECT_LT(tooLong, 100);
}

}  // namespace
