// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "engine/Eval.h"
#include "tests/engine/calc_text.h"
#include "tests/text_rows.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <random>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "engine/pump.h"

namespace {

using nerova::test::Calc;

TEST(EvalTest, GrammarTable) {
    const nerova::test::TextRow rows[] = {
        {"1+2*3", "7"},          // * before +
        {"(1+2)*3", "9"},
        {"1-2-3", "-4"},         // left to right
        {"12/4/3", "1"},         // the literal 12/4, then divided by 3
        {"2^3^2", "512"},        // powers group to the right
        {"-2^2", "-4"},          // the sign applies after the power
        {"(-2)^2", "4"},
        {"2^-2", "1/4"},         // the exponent is a factor with its own sign
        {"-2^-2", "-1/4"},
        {"2^-1^2", "1/2"},       // 2^(-(1^2))
        {"3 ^ 2", "9"},          // blanks around the "^"
        {"4/2^2", "4"},          // the fraction literal binds tighter than "^"
        {"4 / 2^2", "1"},
        {"4^(6/3)", "16"},
        {"( 1 + 2 )", "3"},
        {"1+2)*3", "3"},         // the rest of the input is ignored
        {"2 3", "2"},
        {"--5", "5"},
        {"+-5", "-5"},
        {"- 5", "-5"},
        {"1 -1", "0"},
        {"2-3+1", "-0"},         // a zero with a negative sign
        {"0^-1", "1/0"},         // zero to a negative power: no error
        {"1\t+2", "1"},          // a tab is no blank: it ends the expression
        {"1:2/3+1.[3]", "3"},    // literals of every kind
        {"-(1+2/3)", "-5/3"},    // the mixed form with "+" reads back
        {"2*(3+4)^2 /7", "14"},   // a blank keeps "/7" out of the exponent
        {"1/3+1/6", "1/2"},
        {"5/(0^-1)", "0"},       // dividing by 1/0 gives zero
    };
    for (const auto& r : rows) EXPECT_EQ(Calc(r.input), r.expected) << r.input;
}

// Every sign in front of a factor counts; a single-sign factor takes the next sign as
// part of the literal only by accident of position, which once made ---5 equal 5.
TEST(EvalTest, SignChains) {
    const nerova::test::TextRow rows[] = {
        {"---5", "-5"},
        {"--2^2", "4"},            // -(-(2^2))
        {"--(1+2)*3", "9"},        // the "(" is no digit for a literal's sign to skip to
        {"- - 5", "5"},
        {"-+-(2)", "2"},
        {"2*-3", "-6"},
        {"2^--2", "4"},
        {"1+--", nerova::sourceText(kRationalNoDigits)},  // an operator without its operand is an error
        {"--", nerova::sourceText(kRationalNoDigits)},
    };
    for (const auto& r : rows) EXPECT_EQ(Calc(r.input), r.expected) << r.input;
}

TEST(EvalTest, ErrorsKeepTheirClass) {
    struct Row {
        const char* input;
        const char* message;
        const std::type_info& type;
    } rows[] = {
        {"1 / 0", nerova::sourceText(kEvalDivideByZero), typeid(TEvalException)},
        {"1/(1-1)", nerova::sourceText(kEvalDivideByZero), typeid(TEvalException)},
        {"1/0", nerova::sourceText(kRationalDivideByZero), typeid(TLoRationalException)},  // the literal's
        {"", nerova::sourceText(kRationalNoDigits), typeid(TLoRationalException)},
        {"1+", nerova::sourceText(kRationalNoDigits), typeid(TLoRationalException)},
        {"()", nerova::sourceText(kRationalNoDigits), typeid(TLoRationalException)},
        {"*2", nerova::sourceText(kRationalNoDigits), typeid(TLoRationalException)},
        {"(1+2", nerova::sourceText(kEvalParenMismatch), typeid(TEvalException)},
        {"2^1/2", nerova::sourceText(kRationalPowerNotInteger), typeid(TLoRationalException)},
        {"2^(1/2)", nerova::sourceText(kRationalPowerNotInteger), typeid(TLoRationalException)},
        {"1: 2", nerova::sourceText(kRationalNotMixed), typeid(TLoRationalException)},
        {"1.[]", nerova::sourceText(kSeisuDivideByZero), typeid(TSeisuException)},
        {"0*(0^-1)", nerova::sourceText(kSeisuDivideByZero), typeid(TSeisuException)},  // 0 times 1/0
    };
    for (const auto& r : rows) {
        StringStream s(std::string(r.input) + ";");
        TLoRational x;
        try {
            EvalExpression(x, s);
            ADD_FAILURE() << r.input << " gave " << x.ToImproperText();
        } catch (const std::exception& e) {
            EXPECT_STREQ(e.what(), r.message) << r.input;
            EXPECT_EQ(typeid(e), r.type) << r.input;
        }
    }
}

// Streams without the ";": the end of the text inside the first operand is the stream's
// error; inside a later operand it quietly ends the expression before that operator.
TEST(EvalTest, EndOfTextWithoutTerminator) {
    const nerova::test::TextRow rows[] = {
        {"12", nerova::sourceText(kEndOfStream)},        // the first literal runs to the end
        {"1+2", "1"},                // the second does: "+2" is dropped
        {"2*3", "2"},
        {"1+2*3", "3"},              // the end inside the factor "3" drops only "*3"
        {"(1+2)", "3"},
        {"1+", nerova::sourceText(kEvalNoTerm)},         // a factor is expected and the text has ended
        {"(1", nerova::sourceText(kEndOfStream)},
        {"(1;", nerova::sourceText(kEvalParenMismatch)},  // the inner expression ends, then no ")"
        {"2^", nerova::sourceText(kEvalNoTerm)},
        {"1.5", "3/2"},              // a decimal at the end is read whole
        {"1+0.[3", "4/3"},
    };
    for (const auto& r : rows) {
        StringStream s(r.input);
        TLoRational x;
        std::string got;
        try {
            EvalExpression(x, s);
            got = x.ToImproperText();
        } catch (const std::exception& e) {
            got = e.what();
        }
        EXPECT_EQ(got, r.expected) << r.input;
    }
}

TEST(EvalTest, StreamStopsAtTheFirstUnusedCharacter) {
    StringStream s("1+2)*3;");
    TLoRational x;
    EvalExpression(x, s);
    EXPECT_EQ(s.Position(), 4);  // at the ")"
    StringStream t("7 ;");
    EvalExpression(x, t);
    EXPECT_EQ(t.PeekChar(), ';');
}

TEST(EvalTest, EntryPointsForEachLevel) {
    struct Row {
        void (*eval)(TLoRational&, TInputStream&);
        const char* input;
        const char* result;
    } rows[] = {
        {&EvalTerm, "2*3+4;", "6"},
        {&EvalFactor, "-2^2*3;", "-4"},
        {&EvalPrimary, "(1+1)^3;", "2"},
        {&EvalNumber, "  5/10+1;", "1/2"},
    };
    for (const auto& r : rows) {
        StringStream s(r.input);
        TLoRational x;
        r.eval(x, s);
        EXPECT_EQ(x.ToImproperText(), r.result) << r.input;
    }
}

// --- nesting ---------------------------------------------------------------------------------

std::string Repeat(const std::string& part, int n) {
    std::string s;
    s.reserve(part.size() * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) s += part;
    return s;
}

TEST(EvalTest, NestingUpToTheLimit) {
    const int n = kEvalMaxNesting;
    EXPECT_EQ(Calc(Repeat("(", n) + "1" + Repeat(")", n)), "1");
    EXPECT_EQ(Calc(Repeat("-(", n) + "2" + Repeat(")", n)), "2");
    EXPECT_EQ(Calc(Repeat("1^", n) + "1"), "1");
    EXPECT_EQ(Calc(Repeat("(1+", n / 2) + Repeat("1^", n / 2) + "1" + Repeat(")", n / 2)), "501");
}

TEST(EvalTest, NestingBeyondTheLimit) {
    const int n = kEvalMaxNesting + 1;
    EXPECT_EQ(Calc(Repeat("(", n) + "1" + Repeat(")", n)), nerova::sourceText(kEvalTooDeep));
    EXPECT_EQ(Calc(Repeat("1^", n) + "1"), nerova::sourceText(kEvalTooDeep));
    EXPECT_EQ(Calc(Repeat("(", 100000)), nerova::sourceText(kEvalTooDeep));
    EXPECT_EQ(Calc(Repeat("-(", 100000)), nerova::sourceText(kEvalTooDeep));
    EXPECT_EQ(Calc(Repeat("2^", 100000)), nerova::sourceText(kEvalTooDeep));
    EXPECT_EQ(Calc(Repeat("2^-(", 50000)), nerova::sourceText(kEvalTooDeep));
    EXPECT_EQ(Calc(Repeat("-", 100000) + "5"), "5");  // signs are a loop, not nesting
}

TEST(EvalTest, DigitBudgetReachesEveryOperation) {
    const int64_t saved = TSeisu::MaxDigits();
    TSeisu::SetMaxDigits(1000);
    const struct {
        const char* input;
        bool refused;
    } rows[] = {
        {"9^9^9", true},                  // the power is refused before it is computed
        {"(10^600)*(10^600)", true},      // a product of two allowed numbers
        {"(1/3)^3000", true},             // the denominator's power: 1432 digits
        {"(2/3)^2000", false},            // 955 digits
        {"1/10^600+1/3^900", true},       // a sum's common denominator: 1031 digits
        {"1/10^600+1/3^700", false},      // 935 digits
        {"10^999+10^999", false},         // a sum grows by one digit and is not refused
        {"(10^600)/(10^600)", false},     // quotients only shrink
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.input);
        const std::string result = Calc(row.input);
        EXPECT_EQ(result == nerova::sourceText(kSeisuTooLarge), row.refused) << result.substr(0, 40);
    }
    TSeisu::SetMaxDigits(saved);
}

// The deepest nesting allowed must fit a small stack: evaluate it on a thread with 1 MiB
// (4 MiB with the sanitizers, whose frames are larger) of stack.
TEST(EvalTest, DeepestNestingFitsASmallStack) {
#if defined(__SANITIZE_ADDRESS__)
    const size_t stackSize = 4u << 20;
#else
    const size_t stackSize = 1u << 20;
#endif
    struct Job {
        std::string parens, powers, result1, result2;
        static void* Run(void* p) {
            auto* job = static_cast<Job*>(p);
            job->result1 = Calc(job->parens);
            job->result2 = Calc(job->powers);
            return nullptr;
        }
    } job;
    const int n = kEvalMaxNesting;
    job.parens = Repeat("-(", n) + "1" + Repeat(")", n) + "^2";
    job.powers = Repeat("1^-", n) + "1";
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, stackSize), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, &Job::Run, &job), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    EXPECT_EQ(job.result1, "-1");
    EXPECT_EQ(job.result2, "1");
}

// --- chains combined as balanced trees ---------------------------------------------------

// What the calculator shows for the text read through in, evaluated by eval: the value
// (with the sign of a zero) and where the text s under in was left, or the failure's
// class and message.
std::string Outcome(void (*eval)(TLoRational&, TInputStream&), TInputStream& in,
                    const StringStream& s) {
    TLoRational r;
    try {
        eval(r, in);
    } catch (const std::exception& e) {
        return std::string(typeid(e).name()) + ": " + e.what();
    }
    return r.ToImproperText() + " at " + std::to_string(s.Position());
}

std::string Balanced(const std::string& input) {
    StringStream s(input + ";");
    return Outcome(&EvalExpression, s, s);
}
std::string InOrder(const std::string& input) {
    StringStream s(input + ";");
    return Outcome(&nerova::evalExpressionInOrder, s, s);
}

// Random expressions whose chains mix operands of very different lengths (so that the
// tree keeps partial results apart), zeros of either sign, 1/0 values, divisions by zero,
// cancelling sums and errors in late operands.
class ChainGenerator {
public:
    explicit ChainGenerator(uint32_t seed) : rng_(seed) {}

    std::string Expression(int depth) {
        std::vector<std::pair<bool, std::string>> terms;  // (subtracted, term)
        terms.emplace_back(false, Term(depth));
        for (int i = Length(depth); i > 0; --i) terms.emplace_back(Pick(2) == 0, Term(depth));
        if (Pick(3) == 0) {
            // Take every term back off in another order: a zero (unless an error or a 1/0
            // comes first) whose sign the order of the operands decides.
            auto back = terms;
            std::shuffle(back.begin(), back.end(), rng_);
            for (auto& term : back) terms.emplace_back(!term.first, term.second);
        }
        std::string out = (terms[0].first ? "-(" : "(") + terms[0].second + ")";
        for (size_t i = 1; i < terms.size(); ++i) {
            out += terms[i].first ? " - " : " + ";
            out += terms[i].second;
        }
        return out;
    }

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    int Length(int depth) { return depth == 0 && Pick(5) == 0 ? 10 + Pick(30) : Pick(5); }

    std::string Term(int depth) {
        std::string out = Factor(depth);
        for (int i = Length(depth); i > 0; --i) {
            out += Pick(3) ? " * " : " / ";
            out += Factor(depth);
        }
        return out;
    }

    std::string Factor(int depth) {
        switch (Pick(depth < 3 ? 14 : 12)) {
        case 0: return "0";
        case 1: return "-0";
        case 2: return "0^-1";                                // 1/0
        case 3: return std::to_string(7 + Pick(5)) + "^" + std::to_string(20 + Pick(300));
        case 4: return "-" + std::to_string(1 + Pick(30)) + "/" + std::to_string(1 + Pick(30));
        case 5: return "(2-2)";                               // a zero made by arithmetic
        case 6: return Pick(20) ? "3" : "2^(1/2)";            // rarely a power error
        case 7: return Pick(30) ? "10" : "";                  // rarely a missing operand
        case 8: return "(" + std::to_string(1 + Pick(9)) + "^" + std::to_string(100 + Pick(200)) + "+1)";
        case 12:
        case 13: return "(" + Expression(depth + 1) + ")";
        default: return std::to_string(1 + Pick(99));
        }
    }

    std::mt19937 rng_;
};

TEST(EvalChainTest, RandomChainsMatchLeftToRight) {
    ChainGenerator gen(20261207);
    for (int i = 0; i < 600; ++i) {
        const std::string input = gen.Expression(0);
        ASSERT_EQ(Balanced(input), InOrder(input)) << input;
    }
}

TEST(EvalChainTest, LongChainsMatchLeftToRight) {
    std::string product = "1", sum = "1/1", alternating = "7^2000";
    for (int k = 2; k <= 700; ++k) {
        product += "*" + std::to_string(k);
        sum += "+1/" + std::to_string(k);
        alternating += (k % 2 ? " + " : " - ") + std::to_string(k) + "/" + std::to_string(k + 1);
    }
    const std::string rows[] = {
        product,
        sum,
        alternating,
        product + " / (" + product + ")",        // one
        sum + " - (" + sum + ")",                // zero, +
        "-(" + sum + ") + (" + sum + ")",        // zero, -
        product + " * 0 * " + product,           // zero in the middle of a product
        "-1 * " + product + " * -0 * 5",         // a zero whose sign is the signs' product
        product + " * (0^-1) * 3 * " + product,  // 1/0 after the tree has started
        sum + " + 0^-1 - 1/2 + " + sum,
        product + " / (1-1) * (2^(1/2))",        // the first error counts
        product + " * 2^(1/2) / 0",
        product + " + ",                         // an operand missing at the very end
    };
    for (const std::string& input : rows) EXPECT_EQ(Balanced(input), InOrder(input)) << input;
}

// A sum that comes out zero has, left to right, the sign of the partial sum before its
// last nonzero operand; the tree must give the same whatever it combined first.
TEST(EvalChainTest, ZeroSumsKeepTheLeftToRightSign) {
    const nerova::test::TextRow rows[] = {
        {"7^500 + 1 + 2 - 3 - 7^500", "0"},
        {"-7^500 + 1 + 2 - 3 + 7^500", "-0"},
        {"7^500 - 7^500 + 1 + 2 + 3 - 6", "0"},
        {"-7^500 + 7^500 - 1 - 2 - 3 + 6", "-0"},
        {"-0 + 0 - 0 + 7^500 * 0", "-0"},      // all zero: the first operand's sign
        {"0 - 7^500 * 0 + 1 - 1 - 0", "0"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(Calc(r.input), r.expected) << r.input;
        EXPECT_EQ(Balanced(r.input), InOrder(r.input)) << r.input;
    }
}

TEST(EvalChainTest, NestingLimitInsideChains) {
    const int n = kEvalMaxNesting;
    const std::string deep = Repeat("(1*2+", n - 1) + "1" + Repeat(")", n - 1);
    const std::string tooDeep = Repeat("(1*2+", n + 1) + "1" + Repeat(")", n + 1);
    for (const std::string& input : {deep, tooDeep, "7^300*5*" + tooDeep}) {
        EXPECT_EQ(Balanced(input), InOrder(input));
    }
    EXPECT_EQ(Calc(tooDeep), nerova::sourceText(kEvalTooDeep));
}

// A cancellation from the message pump anywhere in a long chain passes out as it is, and
// the next evaluation is unharmed.
TEST(EvalChainTest, CancelAnywhereInAChain) {
    struct Cancelled {};
    struct Counter {
        long calls = 0;
        long cancelAt = -1;
        static void Handler(void* p) {
            auto* c = static_cast<Counter*>(p);
            if (++c->calls == c->cancelAt) throw Cancelled{};
        }
    };
    std::string input = "3^4000";
    for (int k = 2; k <= 400; ++k) input += (k % 3 ? "*" : "/") + std::to_string(k) + "^" + std::to_string(k);
    input = input + " + " + input;
    const std::string expected = InOrder(input);

    Counter count;
    {
        const pump::Scope scope(&Counter::Handler, &count);
        ASSERT_EQ(Balanced(input), expected);
    }
    ASSERT_GT(count.calls, 20);
    for (long at = 1; at <= count.calls; at += count.calls / 20) {
        Counter cancel;
        cancel.cancelAt = at;
        const pump::Scope scope(&Counter::Handler, &cancel);
        StringStream s(input + ";");
        TLoRational r;
        EXPECT_THROW(EvalExpression(r, s), Cancelled) << "cancelled at call " << at;
    }
    EXPECT_EQ(Balanced(input), expected);
}

// --- plain literals read straight from the text ------------------------------------------

// A stream that is not the callers' StringStream: the evaluator reads every literal with
// the rational's reader through it.
class ForwardingStream : public TInputStream {
public:
    explicit ForwardingStream(StringStream& s) : s_(s) {}
    char ReadChar() override { return s_.ReadChar(); }
    char PeekChar() override { return s_.PeekChar(); }
    bool AtEnd() override { return s_.AtEnd(); }
    void StepBack() override { s_.StepBack(); }

private:
    StringStream& s_;
};

std::string ThroughTheReader(const std::string& text) {
    StringStream s(text);
    ForwardingStream f(s);
    return Outcome(&EvalExpression, f, s);
}

std::string Direct(const std::string& text) {
    StringStream s(text);
    return Outcome(&EvalExpression, s, s);
}

TEST(EvalLiteralTest, PlainLiteralsAsTheReaderReadsThem) {
    const char* rows[] = {
        "0;", "007;", "12/18;", "0/5;", "00/0007;", "5/0;", "1/2/3;", "1/;", "1/x;", "1/-2;",
        "999999999999999999;",   // 18 digits: a machine integer
        "1000000000000000000;",  // 19: the reader
        "18446744073709551616/2;", "123456789012345678/987654321098765432;",
        "3.5;", "1.[3];", "1:2/3;", "1:x;", "2^10;", "2 / 4;", "12", "1/2", "1+2", "1/",
        "1 * 2/", "(12/18)*3;", "1/2^2;", "5/0/1;", "0/0;",
    };
    for (const char* text : rows) EXPECT_EQ(Direct(text), ThroughTheReader(text)) << text;
    ChainGenerator gen(4711);
    for (int i = 0; i < 300; ++i) {
        const std::string text = gen.Expression(0) + ";";
        ASSERT_EQ(Direct(text), ThroughTheReader(text)) << text;
    }
}

// Short lines as a batch file holds them, with runs of blanks anywhere (the text's own
// scan skips them) and literals at the edges of the machine-word paths: 10^12 (the
// largest small part), 2^63 and 2^64 (where sums and products leave 64 bits), 19 digits.
TEST(EvalLiteralTest, BlanksAndEdgeValuesAsTheReaderReadsThem) {
    const char* rows[] = {
        " ", "   ;", "1 +   ;", "  ( 1 / 2 )  *  4 ;", "- 0 ;", "  -  0 / 5 ;", "0 * -3 ;",
        "1 -  1 ;", "( 2 ) ^ 3 ;", "2 ^  - 2 ;", "( 1 + 2 ;", "1 + ) ;",
    };
    for (const char* text : rows) EXPECT_EQ(Direct(text), ThroughTheReader(text)) << text;
    const char* edges[] = {
        "0", "1", "9999", "10000", "99999999", "100000000", "999999999999", "1000000000000",
        "1000000000001", "4294967296", "9223372036854775807", "9223372036854775808",
        "18446744073709551615", "999999999999999999", "1000000000000000000",
        "999999999999/1000000000000", "4294967296/3", "7/9223372036854775807",
    };
    std::mt19937 rng(20261207);
    const auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    const auto blanks = [&] { return std::string(pick(3), ' '); };
    const char* const ops[] = {"+", "-", "*", "/"};
    for (int i = 0; i < 2000; ++i) {
        std::string text = blanks();
        for (size_t k = pick(6); ; --k) {
            if (pick(4) == 0) text += "-" + blanks();
            const bool paren = pick(6) == 0;
            if (paren) text += "(" + blanks();
            text += pick(3) == 0 ? edges[pick(std::size(edges))] : std::to_string(pick(10000));
            if (paren) text += blanks() + ")";
            text += blanks();
            if (k == 0) break;
            text += ops[pick(4)] + blanks();
        }
        if (pick(8) != 0) text += ";";
        ASSERT_EQ(Direct(text), ThroughTheReader(text)) << text;
    }
}

}  // namespace
