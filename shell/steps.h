// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The working of an expression ready to show: its lines and notes, and their plain text,
// LaTeX, MathML and spoken forms, for the command line and the window's steps view.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace nerova {

/// One line of a working.
struct StepLine {
    enum class Kind {
        Expression,  ///< the expression as read
        Step,        ///< the expression after a step, or the result: written after "= "
        Note,        ///< a message: the steps left out (Message::StepsLeftOut), a result too
                     ///< long to show (Message::StepsResultTooLong)
    };
    Kind kind;
    std::string text;
};

/// The working of one expression.
struct StepsView {
    std::vector<StepLine> lines;  ///< also, when the working failed, the lines before it
    bool ok = false;
    std::string error;   ///< the failure's message when not ok
    std::string unused;  ///< the text after the expression that it did not use
};

/// Works out text step by step (engine/steps.h), the result's length bounded by
/// kLongResultDigits. Never throws: a failure gives its message, as evalText does.
StepsView stepsOf(const std::string& text);

/// The lines as plain text, one a line: the expression, then "= step" lines, notes as
/// they are.
void writeStepsText(const StepsView& steps, std::ostream& out);
/// One LaTeX aligned block, each line a row: "& expr \\ &= step ...".
void writeStepsLatex(const StepsView& steps, std::ostream& out);
/// One MathML <math> with a table of one row per line.
void writeStepsMathml(const StepsView& steps, std::ostream& out);
/// The spoken reading of one line in the current reading, one sentence (a step starts
/// with the word for "="; see spokenSentence).
std::string stepSpeech(const StepLine& line);
/// The spoken reading of every line, one sentence each, separated by line ends.
std::string stepsSpeech(const StepsView& steps);

}  // namespace nerova
