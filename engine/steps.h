// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The working of an expression (途中式), as a teacher writes it: the expression, then the
// whole expression again after each step, each line in the calculator's own syntax so
// that it reads back with the same value, the last line being the improper result.
//
// The order is the school's: mixed numbers, decimals and recurring decimals become
// fractions (one step); then the innermost parentheses first and, inside them, powers,
// then * and / left to right, then + and - left to right. A sum of fractions over
// different denominators is first brought to the least common denominator; a division by
// a fraction becomes a product by its reciprocal; a product of fractions is one step; a
// result that can be reduced is reduced in a step of its own.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nerova {

/// Steps shown at most after the expression.
inline constexpr std::size_t kMaxSteps = 100;
/// Decimal digits of a numerator or a denominator that a step may show at most.
inline constexpr std::size_t kMaxStepDigits = 60;

/// The lines of the working.
struct Steps {
    enum class End {
        Complete,       ///< every step is shown; the last line is the result
        LeftOut,        ///< the steps stop early; the last line is the result
        ResultTooLong,  ///< the steps stop early and the result is too long to be shown
    };
    /// The expression as read (normalised: the blanks that decide between a fraction
    /// literal and a division kept, as " / " for a division), then one line per step.
    /// With End::LeftOut the last line is the result, not a step.
    std::vector<std::string> lines;
    End end = End::Complete;
    /// Bytes of the text that the expression used; the rest is ignored, as by the
    /// evaluator.
    std::size_t readTo = 0;
};

/// Works out text (";" is appended here) step by step into out (cleared first). Each
/// step's numbers have at most kMaxStepDigits digits and there are at most kMaxSteps
/// steps; beyond that the steps end early and the result follows, computed only while
/// its numerator and denominator together have at most maxResultDigits digits (so the
/// work is bounded for any text: 2^1000000 stops before computing). Throws what the
/// evaluator throws for text (its own message, as EvalExpression gives it), with out
/// holding the lines up to the step that failed; exceptions from outside the engine
/// (a cancellation, std::bad_alloc) pass as they are.
void workSteps(const std::string& text, Steps& out, std::size_t maxResultDigits);

}  // namespace nerova
