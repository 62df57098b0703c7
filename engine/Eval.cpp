#include "engine/Eval.h"

namespace {

// One evaluation: the stream and the current nesting depth of parentheses and powers.
// The depth limit keeps the recursion far from the end of the stack whatever the input.
class Parser {
public:
    explicit Parser(TInputStream& s) : s_(s) {}

    void Expression(TLoRational& r);
    void Term(TLoRational& r);
    void Factor(TLoRational& r);
    void Primary(TLoRational& r);
    void Number(TLoRational& r);

private:
    // Reads up to the first non-blank character; at the end of the text throws
    // TEvalException(message).
    char NonBlankOr(const char* message);
    // Reads up to the first non-blank character; the end of the text passes as the
    // stream's exception.
    char NonBlank();

    // Counts one level of nesting for its lifetime.
    class Nested {
    public:
        explicit Nested(int& depth) : depth_(depth) {
            if (depth_ >= kEvalMaxNesting) throw TEvalException(kEvalTooDeep);
            ++depth_;
        }
        ~Nested() { --depth_; }
        Nested(const Nested&) = delete;
        Nested& operator=(const Nested&) = delete;

    private:
        int& depth_;
    };

    TInputStream& s_;
    int depth_ = 0;
};

char Parser::NonBlank() {
    char ch = s_.ReadChar();
    while (ch == ' ') ch = s_.ReadChar();
    return ch;
}

char Parser::NonBlankOr(const char* message) {
    try {
        return NonBlank();
    } catch (const TStreamException&) {
        throw TEvalException(message);
    }
}

// The end of the text while an operator or its operand is read ends the loop: that
// operator is not applied and r keeps its value.
void Parser::Expression(TLoRational& r) {
    Term(r);
    TLoRational t;
    try {
        for (;;) {
            const char ch = NonBlank();
            if (ch == '+') {
                Term(t);
                r.Add(t);
            } else if (ch == '-') {
                Term(t);
                r.Subtract(t);
            } else {
                s_.StepBack();
                return;
            }
        }
    } catch (const TStreamException&) {
    }
}

void Parser::Term(TLoRational& r) {
    Factor(r);
    TLoRational t;
    try {
        for (;;) {
            const char ch = NonBlank();
            if (ch == '*') {
                Factor(t);
                r.Multiply(t);
            } else if (ch == '/') {
                Factor(t);
                if (t.IsZero()) throw TEvalException(kEvalDivideByZero);
                r.Divide(t);
            } else {
                s_.StepBack();
                return;
            }
        }
    } catch (const TStreamException&) {
    }
}

// Every sign in front of the primary counts (---5 is -5, --2^2 is 4), and together they
// apply after the power.
void Parser::Factor(TLoRational& r) {
    bool negative = false;
    char ch = NonBlankOr(kEvalNoTerm);
    while (ch == '+' || ch == '-') {
        if (ch == '-') negative = !negative;
        ch = NonBlankOr(kEvalNoTerm);
    }
    s_.StepBack();
    Primary(r);

    bool ended = false;
    try {
        ch = NonBlank();
    } catch (const TStreamException&) {
        ended = true;
    }
    if (!ended && ch == '^') {
        const Nested level(depth_);
        TLoRational exponent;
        Factor(exponent);
        r.Power(exponent);
    } else {
        // Also at the end of the text: the last character read is read again.
        s_.StepBack();
    }
    if (negative) r.Negate();
}

void Parser::Primary(TLoRational& r) {
    const char ch = NonBlankOr(kEvalNoTerm);
    if (ch != '(') {
        s_.StepBack();
        Number(r);
        return;
    }
    {
        const Nested level(depth_);
        Expression(r);
    }
    if (NonBlankOr(kEvalParenMismatch) != ')') throw TEvalException(kEvalParenMismatch);
}

void Parser::Number(TLoRational& r) {
    NonBlank();
    s_.StepBack();
    r.ReadFrom(s_);
}

}  // namespace

void EvalExpression(TLoRational& r, TInputStream& s) { Parser(s).Expression(r); }
void EvalTerm(TLoRational& r, TInputStream& s) { Parser(s).Term(r); }
void EvalFactor(TLoRational& r, TInputStream& s) { Parser(s).Factor(r); }
void EvalPrimary(TLoRational& r, TInputStream& s) { Parser(s).Primary(r); }
void EvalNumber(TLoRational& r, TInputStream& s) { Parser(s).Number(r); }
