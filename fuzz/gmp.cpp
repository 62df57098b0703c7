// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Differential check of the evaluator against GMP's rationals on the syntax both share:
// integers, decimals and fractions as literals, + - * /, integer powers, unary minus
// and parentheses. The input bytes drive a small generator that writes the expression
// and computes its value with GMP alongside; the evaluator must give the same improper
// fraction, or "0で割ろうとした" exactly where GMP would divide by zero.
#include <gmp.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/Eval.h"
#include "fuzz/bounded.h"
#include "shell/textcalc.h"

namespace {

// A GMP rational with automatic clean-up.
struct Q {
    mpq_t v;
    Q() { mpq_init(v); }
    ~Q() { mpq_clear(v); }
    Q(const Q&) = delete;
    Q& operator=(const Q&) = delete;
};

// Digits of the reference values are kept well below the evaluator's budget, so that
// a refusal by the evaluator is itself a finding.
constexpr size_t kMaxReferenceDigits = 8000;
constexpr int kMaxDepth = 8;

class Generator {
public:
    Generator(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}

    // Writes an expression into text and, while the state stays Valued, its value into q.
    // The evaluator computes left to right, operands before their operator: the state
    // records the first event that ends the comparison, in that order.
    void Expression(std::string& text, Q& q, int depth) {
        const uint8_t op = Byte();
        if (depth >= kMaxDepth || op % 10 < 3) return Literal(text, q);
        std::string a, b;
        Q x, y;
        switch (op % 10) {
        case 3: case 4: case 5: case 6: {
            Expression(a, x, depth + 1);
            Expression(b, y, depth + 1);
            static constexpr char kOps[] = "+-*/";
            const char c = kOps[op % 10 - 3];
            text = "(" + a + ")" + c + "(" + b + ")";
            if (state_ != State::Valued) return;
            if (c == '/' && mpq_sgn(y.v) == 0) {
                state_ = State::DividedByZero;
                return;
            }
            if (c == '+') mpq_add(q.v, x.v, y.v);
            if (c == '-') mpq_sub(q.v, x.v, y.v);
            if (c == '*') mpq_mul(q.v, x.v, y.v);
            if (c == '/') mpq_div(q.v, x.v, y.v);
            return Bound(q);
        }
        case 7: {
            Expression(a, x, depth + 1);
            text = "-(" + a + ")";
            if (state_ == State::Valued) mpq_neg(q.v, x.v);
            return;
        }
        default: {
            Expression(a, x, depth + 1);
            const int e = static_cast<int>(Byte() % 13) - 4;  // -4 .. 8
            text = "(" + a + ")^" + (e < 0 ? "(" + std::to_string(e) + ")" : std::to_string(e));
            if (state_ != State::Valued) return;
            if (e < 0 && mpq_sgn(x.v) == 0) {  // 0^-n gives the value 1/0 by design
                state_ = State::Skip;
                return;
            }
            const unsigned long n = static_cast<unsigned long>(e < 0 ? -e : e);
            if (n * (mpz_sizeinbase(mpq_numref(x.v), 10) + mpz_sizeinbase(mpq_denref(x.v), 10)) >
                kMaxReferenceDigits) {
                state_ = State::Skip;
                return;
            }
            mpz_pow_ui(mpq_numref(q.v), mpq_numref(x.v), n);
            mpz_pow_ui(mpq_denref(q.v), mpq_denref(x.v), n);
            if (e < 0) mpq_inv(q.v, q.v);
            return Bound(q);
        }
        }
    }

    enum class State { Valued, DividedByZero, Skip };
    State state() const { return state_; }

private:
    uint8_t Byte() { return p_ < end_ ? *p_++ : 0; }

    std::string Digits(size_t most) {
        const size_t n = 1 + Byte() % most;
        std::string s;
        for (size_t i = 0; i < n; ++i) s += static_cast<char>('0' + Byte() % 10);
        return s;
    }

    static std::string Trimmed(const std::string& digits) {
        const size_t first = digits.find_first_not_of('0');
        return first == std::string::npos ? "0" : digits.substr(first);
    }

    void Literal(std::string& text, Q& q) {
        const uint8_t kind = Byte();
        const std::string whole = Digits(kind & 0x80 ? 60 : 6);
        if (kind % 3 == 0) {  // integer
            text = whole;
            mpq_set_str(q.v, Trimmed(whole).c_str(), 10);
        } else if (kind % 3 == 1) {  // decimal
            const std::string fraction = Digits(12);
            text = whole + "." + fraction;
            const std::string scaled = Trimmed(whole + fraction) + "/1" + std::string(fraction.size(), '0');
            mpq_set_str(q.v, scaled.c_str(), 10);
        } else {  // fraction, never over zero
            std::string den = Trimmed(Digits(6));
            if (den == "0") den = "7";
            text = whole + "/" + den;
            mpq_set_str(q.v, (Trimmed(whole) + "/" + den).c_str(), 10);
        }
        mpq_canonicalize(q.v);
        text = "(" + text + ")";
    }

    void Bound(const Q& q) {
        if (mpz_sizeinbase(mpq_numref(q.v), 10) + mpz_sizeinbase(mpq_denref(q.v), 10) >
            kMaxReferenceDigits)
            state_ = State::Skip;
    }

    const uint8_t* p_;
    const uint8_t* end_;
    State state_ = State::Valued;
};

std::string Text(const Q& q) {
    std::unique_ptr<char, void (*)(void*)> s(mpq_get_str(nullptr, 10, q.v), std::free);
    return s.get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Generator gen(data, size);
    std::string text;
    Q q;
    gen.Expression(text, q, 0);
    if (gen.state() == Generator::State::Skip) return 0;
    const bool valued = gen.state() == Generator::State::Valued;
    const nerova::fuzz::TimeBudget budget;
    const nerova::TextResult got = nerova::evalText(text, nerova::ResultForm::Improper);
    if (got.text == nerova::fuzz::kCancelled) return 0;
    const std::string want = valued ? Text(q) : nerova::sourceText(kEvalDivideByZero);
    if (!nerova::fuzz::SameValue(got.text, want)) {
        std::fprintf(stderr, "expression: %s\nnerova: %s\nGMP: %s\n", text.c_str(), got.text.c_str(),
                     want.c_str());
        std::abort();
    }
    return 0;
}
