// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "engine/Eval.h"

#include <cstdint>
#include <typeinfo>
#include <utility>
#include <vector>

namespace {

// The operands of one chain of "*" and "/" (a product) or of "+" and "-" (a sum) at one
// level, combined as a balanced tree: a long chain 1*2*...*n then multiplies numbers of
// similar size instead of a growing number by one small factor at a time. Operands come
// in already inverted ("/") or negated ("-"), so combining is Multiply or Add. Each is
// merged as soon as it is at least half as long as the partial result before it, which
// keeps the partial results halving in length: a short chain of short numbers combines
// straight into r, left to right, as before.
//
// The result is the one that left-to-right evaluation gives, sign of a zero included:
// - values with a nonzero denominator have one normal form, and a product's sign is the
//   product of its operands' signs, zero or not, so products agree whatever the order;
// - a sum that comes out zero has, left to right, the sign of the partial sum before its
//   last nonzero operand, which is minus that operand's sign (or, with every operand
//   zero, the first operand's sign); zeroSign_ follows that;
// - an operand with a zero denominator (from 0^-1) is combined by rules of its own, so
//   from there on the chain goes left to right, from the left-to-right value before it;
// - errors while combining are out of reach below a quarter of the natural numbers'
//   length limit (no partial result is longer than the operands together), so once the
//   operands reach that, the chain goes left to right too; the division by zero is
//   tested as each operand is read, as before.
class Chain {
public:
    enum class Kind { Product, Sum };

    // r holds the first operand; with inOrder every operand is combined into r at once.
    Chain(Kind kind, TLoRational& r, bool inOrder)
        : r_(r), kind_(kind), inOrder_(inOrder || r.Denominator().IsZero()),
          zeroSign_(r.Sign()), limbs_(Size(r)) {}

    // Adds the next operand; t may be left moved from.
    void Push(TLoRational& t) {
        if (!inOrder_) {
            limbs_ += Size(t);
            if (t.Denominator().IsZero() || limbs_ >= TSeisu::kMaxLimbs / 4) {
                Collapse();
                inOrder_ = true;
            }
        }
        if (inOrder_) {
            Combine(r_, t);
            return;
        }
        if (kind_ == Kind::Sum && !t.IsZero()) zeroSign_ = -t.Sign();
        if (pending_.empty() && 2 * Size(t) >= Size(r_)) {
            Combine(r_, t);
            return;
        }
        if (pending_.empty() || 2 * Size(t) < Size(pending_.back())) {
            pending_.push_back(std::move(t));
            return;
        }
        Combine(pending_.back(), t);
        while (!pending_.empty()) {
            TLoRational& below = pending_.size() >= 2 ? pending_[pending_.size() - 2] : r_;
            if (2 * Size(pending_.back()) < Size(below)) break;
            Combine(below, pending_.back());
            pending_.pop_back();
        }
    }

    // Leaves the chain's value in r.
    void Finish() {
        if (!inOrder_) Collapse();
    }

private:
    static int64_t Size(const TLoRational& x) {
        return int64_t{x.Numerator().Count()} + x.Denominator().Count();
    }

    void Combine(TLoRational& into, const TLoRational& x) const {
        if (kind_ == Kind::Product) {
            into.Multiply(x);
        } else {
            into.Add(x);
        }
    }

    // Merges the partial results into r, the shortest first.
    void Collapse() {
        while (!pending_.empty()) {
            TLoRational& below = pending_.size() >= 2 ? pending_[pending_.size() - 2] : r_;
            Combine(below, pending_.back());
            pending_.pop_back();
        }
        if (kind_ == Kind::Sum && r_.IsZero() && r_.Sign() != zeroSign_) r_.Negate();
    }

    TLoRational& r_;
    const Kind kind_;
    bool inOrder_;
    std::vector<TLoRational> pending_;  // partial results after r, each under half as long
    int32_t zeroSign_;                  // the sign of the sum so far, were it zero
    int64_t limbs_;                     // the operands' limbs so far
};

// One evaluation: the stream and the current nesting depth of parentheses and powers.
// The depth limit keeps the recursion far from the end of the stack whatever the input.
class Parser {
public:
    Parser(TInputStream& s, bool inOrder)
        : s_(s),
          // The exact type (StringStream is final): a dynamic_cast cost each short line 1.5%.
          text_(typeid(s) == typeid(StringStream) ? static_cast<StringStream*>(&s) : nullptr),
          inOrder_(inOrder) {}

    void Expression(TLoRational& r);
    void Term(TLoRational& r);
    void Factor(TLoRational& r);
    void Primary(TLoRational& r);
    void Number(TLoRational& r);

private:
    // The stream's calls; on the callers' own text stream without a virtual call.
    char Read() { return text_ != nullptr ? text_->StringStream::ReadChar() : s_.ReadChar(); }
    void StepBack() {
        if (text_ != nullptr) {
            text_->StringStream::StepBack();
        } else {
            s_.StepBack();
        }
    }
    // A plain literal at the current position (digits, or digits "/" digits, with a
    // character after it, each run short enough for a machine integer) read into r, the
    // stream moved past it; false, with nothing read, for anything else.
    bool PlainLiteral(TLoRational& r);

    // Reads up to the first non-blank character; at the end of the text throws
    // TEvalException(message).
    char NonBlankOr(nerova::Message message);
    // Reads up to the first non-blank character; the end of the text passes as the
    // stream's exception.
    char NonBlank();

    TInputStream& s_;
    StringStream* const text_;  // s_ when it is a StringStream
    const bool inOrder_;  // chains left to right, one operand at a time
    int depth_ = 0;
};

char Parser::NonBlank() {
    if (text_ != nullptr) {
        // Scanned in the text itself: blanks are most of what an everyday line skips.
        const std::string& text = text_->GetText();
        size_t at = static_cast<size_t>(text_->Position() - 1);
        while (at < text.size() && text[at] == ' ') ++at;
        text_->SetPosition(static_cast<int32_t>(at + 1));
        return Read();
    }
    char ch = Read();
    while (ch == ' ') ch = Read();
    return ch;
}

char Parser::NonBlankOr(nerova::Message message) {
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
    Chain chain(Chain::Kind::Sum, r, inOrder_);
    TLoRational t;
    try {
        for (;;) {
            const char ch = NonBlank();
            if (ch == '+' || ch == '-') {
                Term(t);
                if (ch == '-') t.Negate();  // r - t is r + (-t), a zero's sign included
                chain.Push(t);
            } else {
                StepBack();
                break;
            }
        }
    } catch (const TStreamException&) {
    }
    chain.Finish();
}

void Parser::Term(TLoRational& r) {
    Factor(r);
    Chain chain(Chain::Kind::Product, r, inOrder_);
    TLoRational t;
    try {
        for (;;) {
            const char ch = NonBlank();
            if (ch == '*') {
                Factor(t);
                chain.Push(t);
            } else if (ch == '/') {
                Factor(t);
                if (t.IsZero()) throw TEvalException(kEvalDivideByZero);
                t.Invert();  // r / t is r * (1/t), the sign included
                chain.Push(t);
            } else {
                StepBack();
                break;
            }
        }
    } catch (const TStreamException&) {
    }
    chain.Finish();
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
    StepBack();
    Primary(r);

    bool ended = false;
    try {
        ch = NonBlank();
    } catch (const TStreamException&) {
        ended = true;
    }
    if (!ended && ch == '^') {
        const nerova::EvalNesting level(depth_);
        TLoRational exponent;
        Factor(exponent);
        r.Power(exponent);
    } else {
        // Also at the end of the text: the last character read is read again.
        StepBack();
    }
    if (negative) r.Negate();
}

void Parser::Primary(TLoRational& r) {
    const char ch = NonBlankOr(kEvalNoTerm);
    if (ch != '(') {
        StepBack();
        // At the literal's first character already: Number's skipping would find no blank.
        if (!PlainLiteral(r)) r.ReadFrom(s_);
        return;
    }
    {
        const nerova::EvalNesting level(depth_);
        Expression(r);
    }
    if (NonBlankOr(kEvalParenMismatch) != ')') throw TEvalException(kEvalParenMismatch);
}

void Parser::Number(TLoRational& r) {
    NonBlank();
    StepBack();
    if (!PlainLiteral(r)) r.ReadFrom(s_);
}

// The literal reader reads such a literal to the same value: an integer, or n/d over
// the gcd. Signs, decimals, mixed numbers, a zero denominator, numbers of 19 digits or
// more and a literal at the very end of the text go to the reader.
bool Parser::PlainLiteral(TLoRational& r) {
    if (text_ == nullptr) return false;
    constexpr size_t kMaxDigits = 18;  // below 10^18 < 2^64
    const std::string& text = text_->GetText();
    const size_t start = static_cast<size_t>(text_->Position() - 1);
    size_t at = start;
    auto digits = [&](uint64_t& v) {
        const size_t first = at;
        v = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            v = v * 10 + static_cast<uint64_t>(text[at] - '0');
            ++at;
        }
        return at > first && at - first <= kMaxDigits && at < text.size();
    };
    uint64_t n = 0, d = 1;
    if (!digits(n)) return false;
    if (text[at] == '/') {
        ++at;
        if (!digits(d) || d == 0) return false;
    } else if (text[at] == '.' || text[at] == ':') {
        return false;
    }
    r.SetSmall(n, d);
    text_->SetPosition(static_cast<int32_t>(at + 1));
    return true;
}

}  // namespace

void EvalExpression(TLoRational& r, TInputStream& s) { Parser(s, false).Expression(r); }
void EvalTerm(TLoRational& r, TInputStream& s) { Parser(s, false).Term(r); }
void EvalFactor(TLoRational& r, TInputStream& s) { Parser(s, false).Factor(r); }
void EvalPrimary(TLoRational& r, TInputStream& s) { Parser(s, false).Primary(r); }
void EvalNumber(TLoRational& r, TInputStream& s) { Parser(s, false).Number(r); }

namespace nerova {
void evalExpressionInOrder(TLoRational& r, TInputStream& s) { Parser(s, true).Expression(r); }
}  // namespace nerova
