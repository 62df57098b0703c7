// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "engine/steps.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <utility>

#include "engine/Eval.h"
#include "engine/Stream.h"
#include "engine/lrat.h"

namespace nerova {

namespace {

// ------------------------------------------------------------------ the tree

// A number keeps its exact value (the evaluator's, the sign of a zero included) and the
// fraction it is written as, which need not be reduced (a literal 3/6, a sum 3/6 before
// its reduction). Sums and products are chains, so that a long chain is flat and every
// walk over the tree recurses only as deep as the parentheses and powers nest.
enum class Kind { Num, Paren, Neg, Sum, Product, Pow };

struct Node;
using NodePtr = std::unique_ptr<Node>;

struct Item {
    char op;  // '+', '-', '*' or '/'; the first item's is not used
    NodePtr node;
};

struct Node {
    explicit Node(Kind k) : kind(k) {}
    Kind kind;
    // Num:
    TLoRational value;
    TSeisu num, den;     // the written fraction num/den (magnitudes), value's up to a factor
    std::string source;  // a decimal, recurring decimal or mixed number as typed, until
                         // it is written as a fraction
    bool fresh = false;  // the result of a step: reduced in a step of its own
    // Paren and Neg: one item; Pow: base and exponent; Sum and Product: the operands.
    std::vector<Item> items;
};

bool IsOne(const TSeisu& x) { return x.EqualsSmall(1); }

size_t Digits(const TSeisu& x) {
    if (x.IsZero()) return 1;
    const uint16_t top = x.Limb(x.Count());
    return static_cast<size_t>(x.Count() - 1) * 4 + (top >= 1000 ? 4 : top >= 100 ? 3 : top >= 10 ? 2 : 1);
}

// log10 of x, for estimates (x at least 1).
double Log10(const TSeisu& x) {
    double top = 0;
    const int32_t count = x.Count();
    for (int32_t i = count; i >= 1 && i > count - 3; --i) top = top * 10000 + x.Limb(i);
    return std::log10(top) + 4.0 * std::max(0, count - 3);
}

// Upper estimate of the digits of x^e, for e up to any size.
double PowerDigits(const TSeisu& x, const TSeisu& e) {
    if (x.IsZero() || IsOne(x) || e.IsZero()) return 1;
    const double exponent = e.Count() > 70 ? 1e300 : e.ToFloat();
    return exponent * Log10(x) + 1;
}

bool Same(const TSeisu& a, const TSeisu& b) { return a.Compare(b) == 1; }

bool Reduced(const Node& n) { return Same(n.num, n.value.Numerator()) && Same(n.den, n.value.Denominator()); }

// Thrown inside when the working grows past its bounds; never leaves this file.
struct TooBig {};

// ------------------------------------------------------------------ reading

// The evaluator's grammar, to the character: the same blanks, signs, literal reader,
// nesting limit and the same quiet end of an operator loop at the end of the text.
class TreeParser {
public:
    explicit TreeParser(StringStream& s) : s_(s) {}

    NodePtr Expression() { return Chain(Kind::Sum); }

    // More nodes than a working can show in its steps: the tree is not built further.
    static constexpr size_t kMaxNodes = 4 * kMaxSteps + 1000;

private:
    NodePtr New(Kind kind) {
        if (++nodes_ > kMaxNodes) throw TooBig{};
        return std::make_unique<Node>(kind);
    }

    char NonBlank() {
        char ch = s_.ReadChar();
        while (ch == ' ') ch = s_.ReadChar();
        return ch;
    }
    char NonBlankOr(nerova::Message message) {
        try {
            return NonBlank();
        } catch (const TStreamException&) {
            throw TEvalException(message);
        }
    }

    // A sum of terms or a product of factors.
    NodePtr Chain(Kind kind) {
        const bool sum = kind == Kind::Sum;
        NodePtr first = sum ? Chain(Kind::Product) : Factor();
        std::vector<Item> items;
        try {
            for (;;) {
                const char ch = NonBlank();
                if (sum ? (ch == '+' || ch == '-') : (ch == '*' || ch == '/')) {
                    NodePtr operand = sum ? Chain(Kind::Product) : Factor();
                    items.push_back({ch, std::move(operand)});
                } else {
                    s_.StepBack();
                    break;
                }
            }
        } catch (const TStreamException&) {
        }
        if (items.empty()) return first;
        auto chain = New(kind);
        chain->items.push_back({' ', std::move(first)});
        for (Item& item : items) chain->items.push_back(std::move(item));
        return chain;
    }

    NodePtr Factor() {
        bool negative = false;
        char ch = NonBlankOr(kEvalNoTerm);
        while (ch == '+' || ch == '-') {
            if (ch == '-') negative = !negative;
            ch = NonBlankOr(kEvalNoTerm);
        }
        s_.StepBack();
        NodePtr r = Primary();
        bool ended = false;
        try {
            ch = NonBlank();
        } catch (const TStreamException&) {
            ended = true;
        }
        if (!ended && ch == '^') {
            const nerova::EvalNesting level(depth_);
            NodePtr exponent = Factor();
            auto power = New(Kind::Pow);
            power->items.push_back({' ', std::move(r)});
            power->items.push_back({' ', std::move(exponent)});
            r = std::move(power);
        } else {
            s_.StepBack();
        }
        if (!negative) return r;
        if (r->kind == Kind::Num) {
            r->value.Negate();
            return r;
        }
        NodePtr neg = New(Kind::Neg);
        neg->items.push_back({' ', std::move(r)});
        return neg;
    }

    NodePtr Primary() {
        const char ch = NonBlankOr(kEvalNoTerm);
        if (ch != '(') {
            s_.StepBack();
            return Literal();
        }
        NodePtr inner;
        {
            const nerova::EvalNesting level(depth_);
            inner = Expression();
        }
        if (NonBlankOr(kEvalParenMismatch) != ')') throw TEvalException(kEvalParenMismatch);
        NodePtr paren = New(Kind::Paren);
        paren->items.push_back({' ', std::move(inner)});
        return paren;
    }

    // A literal read by the rational's own reader; an integer or n/d keeps its digits as
    // written (3/6 stays 3/6), any other form its text until it is written as a fraction.
    NodePtr Literal() {
        const std::string& text = s_.GetText();
        const auto start = static_cast<size_t>(s_.Position() - 1);
        NodePtr n = New(Kind::Num);
        n->value.ReadFrom(s_);
        n->num = n->value.Numerator();
        n->den = n->value.Denominator();
        const auto end = static_cast<size_t>(s_.Position() - 1);
        std::string src = text.substr(start, end - start);
        const size_t slash = src.find('/');
        const bool digitsOnly = src.find_first_not_of("0123456789/") == std::string::npos;
        if (digitsOnly && slash != std::string::npos && slash == src.rfind('/')) {
            ReadDigits(src.substr(0, slash), n->num);
            ReadDigits(src.substr(slash + 1), n->den);
        } else if (!digitsOnly) {
            // A recurring part closed by another character (or by the end) reads as closed.
            if (src.find('[') != std::string::npos && src.back() != ']') src.back() = ']';
            n->source = std::move(src);
        }
        return n;
    }

    static void ReadDigits(const std::string& digits, TSeisu& x) {
        StringStream s(digits + ";");
        x.ReadFrom(s);
    }

    StringStream& s_;
    int depth_ = 0;
    size_t nodes_ = 0;
};

// ------------------------------------------------------------------ writing

// Where a node stands decides the parentheses it needs: a negative number after an
// operator or as a power's base, a fraction as a base or exponent or after " / ".
enum class Place { Start, Operand, Base, Exponent, Divisor };

void Write(const Node& n, Place place, std::string& out);

void WriteNum(const Node& n, Place place, std::string& out) {
    const bool negative = n.value.Sign() < 0;
    const bool fraction = n.source.empty() ? !IsOne(n.den)
                                           : n.source.find_first_of(":/") != std::string::npos;
    const bool parens = (negative && place != Place::Start && place != Place::Exponent) ||
                        (fraction && (place == Place::Base || place == Place::Exponent ||
                                      place == Place::Divisor));
    if (parens) out += '(';
    if (negative) out += '-';
    if (!n.source.empty()) {
        out += n.source;
    } else {
        n.num.AppendText(out);
        if (!IsOne(n.den)) {
            out += '/';
            n.den.AppendText(out);
        }
    }
    if (parens) out += ')';
}

void Write(const Node& n, Place place, std::string& out) {
    switch (n.kind) {
    case Kind::Num:
        WriteNum(n, place, out);
        return;
    case Kind::Paren:
        out += '(';
        Write(*n.items[0].node, Place::Start, out);
        out += ')';
        return;
    case Kind::Neg: {
        const bool parens = place != Place::Start && place != Place::Exponent;
        if (parens) out += '(';
        out += '-';
        Write(*n.items[0].node, Place::Operand, out);
        if (parens) out += ')';
        return;
    }
    case Kind::Pow:
        Write(*n.items[0].node, Place::Base, out);
        out += '^';
        Write(*n.items[1].node, Place::Exponent, out);
        return;
    case Kind::Sum:
    case Kind::Product:
        for (size_t i = 0; i < n.items.size(); ++i) {
            const Item& item = n.items[i];
            Place at = place == Place::Start ? Place::Start : Place::Operand;
            if (i > 0) {
                // The blanks around "/" keep a division from being read as a literal.
                out += item.op == '/' ? std::string(" / ") : std::string(1, item.op);
                at = item.op == '/' ? Place::Divisor : Place::Operand;
            }
            Write(*item.node, at, out);
        }
        return;
    }
}

std::string Line(const Node& root) {
    std::string out;
    Write(root, Place::Start, out);
    return out;
}

// ------------------------------------------------------------------ the steps

template <typename F>
void ForEachNum(Node& n, F&& f) {
    if (n.kind == Kind::Num) {
        f(n);
        return;
    }
    for (Item& item : n.items) ForEachNum(*item.node, f);
}

size_t Operations(const Node& n) {
    size_t count = n.kind == Kind::Sum || n.kind == Kind::Product ? n.items.size() - 1
                   : n.kind == Kind::Pow                           ? 1
                                                                   : 0;
    for (const Item& item : n.items) count += Operations(*item.node);
    return count;
}

// Drops what a step has left without use: parentheses around a number, a minus sign in
// front of a number (it joins the number) and chains of one operand.
void Normalize(NodePtr& n) {
    for (Item& item : n->items) Normalize(item.node);
    if ((n->kind == Kind::Paren || n->kind == Kind::Sum || n->kind == Kind::Product) &&
        n->items.size() == 1 && (n->kind != Kind::Paren || n->items[0].node->kind == Kind::Num)) {
        n = std::move(n->items[0].node);
    } else if (n->kind == Kind::Neg && n->items[0].node->kind == Kind::Num) {
        NodePtr num = std::move(n->items[0].node);
        num->value.Negate();
        n = std::move(num);
    }
}

// A number written over den, num chosen so that the value stays v; zero is written 0.
void SetWritten(Node& n, const TLoRational& v, const TSeisu& den) {
    n.value = v;
    if (v.IsZero() || den.IsZero()) {
        n.num = v.Numerator();
        n.den = v.Denominator();
        return;
    }
    TSeisu factor;
    factor.DivExact(den, v.Denominator());
    n.num.Mul(v.Numerator(), factor);
    n.den = den;
}

class Worker {
public:
    explicit Worker(NodePtr root) : root_(std::move(root)) {}

    Node& Root() { return *root_; }
    NodePtr& RootPtr() { return root_; }

    // Does one step; false when there is none left.
    bool Act() {
        if (!converted_) {
            converted_ = true;
            bool any = false;
            ForEachNum(*root_, [&any](Node& n) {
                if (n.source.empty()) return;
                n.source.clear();
                n.num = n.value.Numerator();
                n.den = n.value.Denominator();
                any = true;
            });
            if (any) return true;
        }
        bool reduced = false;
        ForEachNum(*root_, [&reduced](Node& n) {
            if (!n.fresh || reduced) return;
            n.fresh = false;
            if (Reduced(n)) return;
            n.num = n.value.Numerator();
            n.den = n.value.Denominator();
            reduced = true;
        });
        if (reduced) return true;

        best_ = nullptr;
        bestDepth_ = -1;
        bestRank_ = 3;
        Find(root_, 0);
        if (best_ != nullptr) {
            Perform(*best_);
            return true;
        }
        if (root_->kind == Kind::Num && !Reduced(*root_)) {
            root_->num = root_->value.Numerator();
            root_->den = root_->value.Denominator();
            return true;
        }
        return false;
    }

private:
    static bool Ready(const Node& n, size_t a, size_t b) {
        return n.items[a].node->kind == Kind::Num && n.items[b].node->kind == Kind::Num;
    }

    // The next operation: the deepest parentheses first; there, powers, then * and /,
    // then + and -; of those, the leftmost (a chain of powers is ready from the right).
    void Find(NodePtr& slot, int depth) {
        Node& n = *slot;
        int rank = -1;
        if (n.kind == Kind::Pow && Ready(n, 0, 1)) rank = 0;
        if (n.kind == Kind::Product && Ready(n, 0, 1)) rank = 1;
        if (n.kind == Kind::Sum && Ready(n, 0, 1)) rank = 2;
        if (rank >= 0 && (depth > bestDepth_ || (depth == bestDepth_ && rank < bestRank_))) {
            best_ = &slot;
            bestDepth_ = depth;
            bestRank_ = rank;
        }
        const int inner = n.kind == Kind::Paren ? depth + 1 : depth;
        for (Item& item : n.items) Find(item.node, inner);
    }

    void Perform(NodePtr& slot) {
        Node& n = *slot;
        if (n.kind == Kind::Pow) {
            Power(slot);
            return;
        }
        Node& l = *n.items[0].node;
        Node& r = *n.items[1].node;
        const char op = n.items[1].op;
        TLoRational v = l.value;
        TSeisu den;
        const bool integers = IsOne(l.den) && IsOne(r.den);
        if (n.kind == Kind::Sum) {
            if (!l.value.IsZero() && !r.value.IsZero() && !Same(l.den, r.den)) {
                // To the least common denominator, each operand in its own terms.
                TSeisu g, q, lcd;
                g.Gcd(l.den, r.den);
                q.DivExact(r.den, g);
                lcd.Mul(l.den, q);
                for (Node* x : {&l, &r}) {
                    q.DivExact(lcd, x->den);
                    x->num.MulBy(q);
                    x->den = lcd;
                }
                return;
            }
            TLoRational t = r.value;
            if (op == '-') t.Negate();
            v.Add(t);
            den = l.value.IsZero() ? r.den : l.den;
        } else if (op == '*') {
            v.Multiply(r.value);
            den.Mul(l.den, r.den);
        } else {
            if (r.value.IsZero()) throw TEvalException(kEvalDivideByZero);
            if (!IsOne(r.den)) {
                // A division by a fraction is a product by its reciprocal.
                r.value.Invert();
                std::swap(r.num, r.den);
                n.items[1].op = '*';
                return;
            }
            TLoRational t = r.value;
            t.Invert();
            v.Multiply(t);
            den.Mul(l.den, r.num);
        }
        if (integers && IsOne(v.Denominator())) den.SetInt(1);
        NodePtr result = std::make_unique<Node>(Kind::Num);
        SetWritten(*result, v, den);
        result->fresh = true;
        n.items.erase(n.items.begin());
        n.items[0] = {' ', std::move(result)};
    }

    void Power(NodePtr& slot) {
        Node& b = *slot->items[0].node;
        Node& e = *slot->items[1].node;
        if (!IsOne(e.value.Denominator())) throw TLoRationalException(kRationalPowerNotInteger);
        const TSeisu& exponent = e.value.Numerator();
        // An estimate, a little above the digits: the numbers are checked again once computed.
        const double most = static_cast<double>(kMaxStepDigits) + 1;
        if (PowerDigits(b.num, exponent) > most || PowerDigits(b.den, exponent) > most) {
            throw TooBig{};
        }
        TLoRational v = b.value;
        v.Power(e.value);
        NodePtr result = std::make_unique<Node>(Kind::Num);
        result->value = v;
        result->num = b.num;
        result->num.Power(exponent);
        result->den = b.den;
        result->den.Power(exponent);
        if (e.value.Sign() < 0) std::swap(result->num, result->den);
        if (v.IsZero()) {
            result->num = v.Numerator();
            result->den = v.Denominator();
        }
        result->fresh = true;
        slot = std::move(result);
    }

    NodePtr root_;
    bool converted_ = false;
    NodePtr* best_ = nullptr;
    int bestDepth_ = -1;
    int bestRank_ = 3;
};

// The value of what is left, as the evaluator computes it, refusing (TooBig) any number
// longer than limit digits before it is computed.
class Finisher {
public:
    explicit Finisher(size_t limit) : limit_(limit) {}

    TLoRational Value(const Node& n) {
        switch (n.kind) {
        case Kind::Num:
            return n.value;
        case Kind::Paren:
            return Value(*n.items[0].node);
        case Kind::Neg: {
            TLoRational v = Value(*n.items[0].node);
            v.Negate();
            return v;
        }
        case Kind::Pow: {
            TLoRational b = Value(*n.items[0].node);
            const TLoRational e = Value(*n.items[1].node);
            if (IsOne(e.Denominator()) &&
                PowerDigits(b.Numerator(), e.Numerator()) + PowerDigits(b.Denominator(), e.Numerator()) >
                    static_cast<double>(limit_)) {
                throw TooBig{};
            }
            b.Power(e);
            return b;
        }
        case Kind::Sum:
        case Kind::Product: {
            TLoRational v = Value(*n.items[0].node);
            for (size_t i = 1; i < n.items.size(); ++i) {
                TLoRational t = Value(*n.items[i].node);
                switch (n.items[i].op) {
                case '+': v.Add(t); break;
                case '-': t.Negate(); v.Add(t); break;
                case '*': v.Multiply(t); break;
                default:
                    if (t.IsZero()) throw TEvalException(kEvalDivideByZero);
                    t.Invert();
                    v.Multiply(t);
                    break;
                }
                Check(v);
            }
            return v;
        }
        }
        return {};
    }

private:
    void Check(const TLoRational& v) const {
        if (Digits(v.Numerator()) + Digits(v.Denominator()) > limit_) throw TooBig{};
    }

    size_t limit_;
};

bool FitsSteps(Node& root) {
    bool fits = true;
    ForEachNum(root, [&fits](Node& n) {
        if (Digits(n.num) > kMaxStepDigits || Digits(n.den) > kMaxStepDigits || n.value.Denominator().IsZero())
            fits = false;
    });
    return fits;
}

bool EngineError(const std::exception_ptr& e) {
    try {
        std::rethrow_exception(e);
    } catch (const TEvalException&) {
        return true;
    } catch (const TLoRationalException&) {
        return true;
    } catch (const TSeisuException&) {
        return true;
    } catch (const TStreamException&) {
        return true;
    } catch (...) {
        return false;
    }
}

// An expression too long for any working: the text as read, then its value from the
// evaluator, shown when it is short enough.
void WorkLong(const std::string& text, Steps& out, size_t maxResultDigits) {
    StringStream s(text + ";");
    TLoRational v;
    EvalExpression(v, s);
    out.readTo = std::min(text.size(), static_cast<size_t>(s.Position() - 1));
    std::string read = text.substr(0, out.readTo);
    while (!read.empty() && read.back() == ' ') read.pop_back();
    read.erase(0, std::min(read.size(), read.find_first_not_of(' ')));
    out.lines.push_back(std::move(read));
    if (Digits(v.Numerator()) + Digits(v.Denominator()) > maxResultDigits) {
        out.end = Steps::End::ResultTooLong;
        return;
    }
    out.lines.push_back(v.ToImproperText());
    out.end = Steps::End::LeftOut;
}

// How much longer than the result the numbers on the way to it may be.
constexpr size_t kWorkFactor = 20;

void Work(const std::string& text, Steps& out, size_t maxResultDigits) {
    StringStream s(text + ";");
    NodePtr root;
    try {
        root = TreeParser(s).Expression();
    } catch (const TooBig&) {
        WorkLong(text, out, maxResultDigits);
        return;
    }
    out.readTo = std::min(text.size(), static_cast<size_t>(s.Position() - 1));
    out.lines.push_back(Line(*root));
    Normalize(root);
    Worker worker(std::move(root));
    bool cut = Operations(worker.Root()) > kMaxSteps;
    try {
        while (!cut) {
            const bool acted = worker.Act();
            Normalize(worker.RootPtr());
            if (!FitsSteps(worker.Root())) throw TooBig{};
            std::string line = Line(worker.Root());
            if (line != out.lines.back()) {
                if (out.lines.size() > kMaxSteps) throw TooBig{};
                out.lines.push_back(std::move(line));
            }
            if (!acted) break;
        }
    } catch (const TooBig&) {
        cut = true;
    }
    if (!cut) return;
    try {
        // The numbers on the way may be longer than the result: a power over a power.
        const TLoRational v = Finisher(kWorkFactor * maxResultDigits).Value(worker.Root());
        if (Digits(v.Numerator()) + Digits(v.Denominator()) > maxResultDigits) throw TooBig{};
        out.lines.push_back(v.ToImproperText());
        out.end = Steps::End::LeftOut;
    } catch (const TooBig&) {
        out.end = Steps::End::ResultTooLong;
    }
}

}  // namespace

void workSteps(const std::string& text, Steps& out, size_t maxResultDigits) {
    out = Steps{};
    try {
        Work(text, out, maxResultDigits);
    } catch (...) {
        const std::exception_ptr mine = std::current_exception();
        if (!EngineError(mine)) throw;
        // The evaluator works in another order and may meet another error first: its
        // message is the calculator's.
        TLoRational r;
        StringStream s(text + ";");
        EvalExpression(r, s);
        std::rethrow_exception(mine);
    }
}

}  // namespace nerova
