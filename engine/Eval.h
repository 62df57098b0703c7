// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The expression evaluator: a recursive-descent parser that computes while it parses.
//
// Grammar (blanks, the single character " ", may stand before every token):
//   expression := term { ("+" | "-") term }
//   term       := factor { ("*" | "/") factor }
//   factor     := { "+" | "-" } primary [ "^" factor ]
//   primary    := "(" expression ")" | number
// Operators group to the left, powers to the right; a factor's signs apply after its
// power (-2^2 is -4); a number literal (see TLoRational::ReadFrom) binds tighter than
// anything, so 4/2^2 is the literal 4/2 squared. Evaluation stops at the first character
// that cannot continue the expression; the rest of the text is ignored. Callers end the
// text with ";" so that the last literal has a character after it.
#pragma once

#include <stdexcept>

#include "engine/Stream.h"
#include "engine/lrat.h"

/// Raised by the evaluator; carries one of the messages below.
class TEvalException : public nerova::MessageError {
public:
    using nerova::MessageError::MessageError;
};

inline constexpr nerova::Message kEvalNoTerm = nerova::Message::NoTerm;
inline constexpr nerova::Message kEvalParenMismatch = nerova::Message::ParenMismatch;
inline constexpr nerova::Message kEvalDivideByZero = nerova::Message::DivideByZero;
inline constexpr nerova::Message kEvalTooDeep = nerova::Message::TooDeep;

/// Deepest nesting of parentheses and powers that the evaluator accepts.
inline constexpr int kEvalMaxNesting = 1000;

/// Evaluates the expression at s into r; s is left at the first character not used.
/// Throws TEvalException, the literal and arithmetic errors of TLoRational and TSeisu,
/// and the stream's "end of stream" when the text ends inside the first operand (an end
/// inside a later operand ends the expression before that operator). r's value after an
/// error is not meaningful.
void EvalExpression(TLoRational& r, TInputStream& s);
namespace nerova {
/// Evaluates like EvalExpression, but combines the operands of each chain of "+" and "-"
/// or "*" and "/" one at a time, left to right, instead of as a balanced tree: the plain
/// evaluation that the tree must match in value, sign and errors.
void evalExpressionInOrder(TLoRational& r, TInputStream& s);

/// Counts one level of nesting (a parenthesis or a power) for its lifetime; throws
/// TEvalException(kEvalTooDeep) past kEvalMaxNesting. Readers of the grammar share it, so
/// that they refuse the same depth.
class EvalNesting {
public:
    explicit EvalNesting(int& depth) : depth_(depth) {
        if (depth_ >= kEvalMaxNesting) throw TEvalException(kEvalTooDeep);
        ++depth_;
    }
    ~EvalNesting() { --depth_; }
    EvalNesting(const EvalNesting&) = delete;
    EvalNesting& operator=(const EvalNesting&) = delete;

private:
    int& depth_;
};
}  // namespace nerova

/// Evaluates a term (a product or quotient of factors) at s into r.
void EvalTerm(TLoRational& r, TInputStream& s);
/// Evaluates a factor (signs, a primary and an optional power) at s into r.
void EvalFactor(TLoRational& r, TInputStream& s);
/// Evaluates a parenthesised expression or a number at s into r.
void EvalPrimary(TLoRational& r, TInputStream& s);
/// Skips blanks and reads a number literal at s into r.
void EvalNumber(TLoRational& r, TInputStream& s);
