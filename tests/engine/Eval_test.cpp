#include "engine/Eval.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <string>
#include <typeinfo>

namespace {

// The value of input as the calculator evaluates it (";" appended), or the failure's
// message.
std::string Calc(const std::string& input) {
    StringStream s(input + ";");
    TLoRational r;
    try {
        EvalExpression(r, s);
    } catch (const std::exception& e) {
        return e.what();
    }
    return r.ToImproperText();
}

TEST(EvalTest, GrammarTable) {
    struct Row {
        const char* input;
        const char* result;
    } rows[] = {
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
    for (const Row& r : rows) EXPECT_EQ(Calc(r.input), r.result) << r.input;
}

// Every sign in front of a factor counts; a single-sign factor takes the next sign as
// part of the literal only by accident of position, which once made ---5 equal 5.
TEST(EvalTest, SignChains) {
    struct Row {
        const char* input;
        const char* result;
    } rows[] = {
        {"---5", "-5"},
        {"--2^2", "4"},            // -(-(2^2))
        {"--(1+2)*3", "9"},        // the "(" is no digit for a literal's sign to skip to
        {"- - 5", "5"},
        {"-+-(2)", "2"},
        {"2*-3", "-6"},
        {"2^--2", "4"},
        {"1+--", kRationalNoDigits},  // an operator without its operand is an error
        {"--", kRationalNoDigits},
    };
    for (const Row& r : rows) EXPECT_EQ(Calc(r.input), r.result) << r.input;
}

TEST(EvalTest, ErrorsKeepTheirClass) {
    struct Row {
        const char* input;
        const char* message;
        const std::type_info& type;
    } rows[] = {
        {"1 / 0", kEvalDivideByZero, typeid(TEvalException)},
        {"1/(1-1)", kEvalDivideByZero, typeid(TEvalException)},
        {"1/0", kRationalDivideByZero, typeid(TLoRationalException)},  // the literal's
        {"", kRationalNoDigits, typeid(TLoRationalException)},
        {"1+", kRationalNoDigits, typeid(TLoRationalException)},
        {"()", kRationalNoDigits, typeid(TLoRationalException)},
        {"*2", kRationalNoDigits, typeid(TLoRationalException)},
        {"(1+2", kEvalParenMismatch, typeid(TEvalException)},
        {"2^1/2", kRationalPowerNotInteger, typeid(TLoRationalException)},
        {"2^(1/2)", kRationalPowerNotInteger, typeid(TLoRationalException)},
        {"1: 2", kRationalNotMixed, typeid(TLoRationalException)},
        {"1.[]", kSeisuDivideByZero, typeid(TSeisuException)},
        {"0*(0^-1)", kSeisuDivideByZero, typeid(TSeisuException)},  // 0 times 1/0
    };
    for (const Row& r : rows) {
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
    struct Row {
        const char* input;
        const char* result;
    } rows[] = {
        {"12", kEndOfStream},        // the first literal runs to the end
        {"1+2", "1"},                // the second does: "+2" is dropped
        {"2*3", "2"},
        {"1+2*3", "3"},              // the end inside the factor "3" drops only "*3"
        {"(1+2)", "3"},
        {"1+", kEvalNoTerm},         // a factor is expected and the text has ended
        {"(1", kEndOfStream},
        {"(1;", kEvalParenMismatch},  // the inner expression ends, then no ")"
        {"2^", kEvalNoTerm},
        {"1.5", "3/2"},              // a decimal at the end is read whole
        {"1+0.[3", "4/3"},
    };
    for (const Row& r : rows) {
        StringStream s(r.input);
        TLoRational x;
        std::string got;
        try {
            EvalExpression(x, s);
            got = x.ToImproperText();
        } catch (const std::exception& e) {
            got = e.what();
        }
        EXPECT_EQ(got, r.result) << r.input;
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
    for (const Row& r : rows) {
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
    EXPECT_EQ(Calc(Repeat("(", n) + "1" + Repeat(")", n)), kEvalTooDeep);
    EXPECT_EQ(Calc(Repeat("1^", n) + "1"), kEvalTooDeep);
    EXPECT_EQ(Calc(Repeat("(", 100000)), kEvalTooDeep);
    EXPECT_EQ(Calc(Repeat("-(", 100000)), kEvalTooDeep);
    EXPECT_EQ(Calc(Repeat("2^", 100000)), kEvalTooDeep);
    EXPECT_EQ(Calc(Repeat("2^-(", 50000)), kEvalTooDeep);
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
        EXPECT_EQ(result == kSeisuTooLarge, row.refused) << result.substr(0, 40);
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

}  // namespace
