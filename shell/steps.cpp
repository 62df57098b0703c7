// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/steps.h"

#include "shell/language.h"

#include <exception>
#include <new>
#include <ostream>
#include <sstream>
#include <string_view>

#include "display/writers.h"
#include "engine/steps.h"
#include "shell/textcalc.h"

namespace nerova {

namespace {

// writeMathml's element without its <math> tags, to sit in a table cell.
std::string MathmlContent(std::string_view text) {
    std::ostringstream out;
    writeMathml(text, out);
    std::string s = std::move(out).str();
    const size_t open = s.find('>');
    const size_t close = s.rfind("</math>");
    if (open == std::string::npos || close == std::string::npos || close <= open) return s;
    return s.substr(open + 1, close - open - 1);
}

}  // namespace

StepsView stepsOf(const std::string& text) {
    StepsView view;
    Steps steps;
    auto take = [&] {
        for (size_t i = 0; i < steps.lines.size(); ++i) {
            const bool result = steps.end == Steps::End::LeftOut && i + 1 == steps.lines.size();
            if (result) view.lines.push_back({StepLine::Kind::Note, nerova::text(Message::StepsLeftOut)});
            view.lines.push_back({i == 0 ? StepLine::Kind::Expression : StepLine::Kind::Step, steps.lines[i]});
        }
        if (steps.end == Steps::End::ResultTooLong) {
            view.lines.push_back({StepLine::Kind::Note, nerova::text(Message::StepsLeftOut)});
            view.lines.push_back({StepLine::Kind::Note, nerova::text(Message::StepsResultTooLong)});
        }
    };
    try {
        workSteps(text, steps, kLongResultDigits);
        take();
        view.ok = true;
        view.unused = unusedText(text, steps.readTo);
    } catch (const std::exception& e) {
        steps.end = Steps::End::Complete;
        take();
        view.error = messageOf(e);
    }
    return view;
}

void writeStepsText(const StepsView& steps, std::ostream& out) {
    for (const StepLine& line : steps.lines) {
        if (line.kind == StepLine::Kind::Step) out << "= ";
        out << line.text << '\n';
    }
}

void writeStepsLatex(const StepsView& steps, std::ostream& out) {
    out << "\\begin{aligned}\n";
    bool first = true;
    for (const StepLine& line : steps.lines) {
        if (!first) out << " \\\\\n";
        first = false;
        out << (line.kind == StepLine::Kind::Step ? "&= " : "& ");
        writeLatex(line.text, out);
    }
    out << "\n\\end{aligned}\n";
}

void writeStepsMathml(const StepsView& steps, std::ostream& out) {
    out << "<math xmlns=\"http://www.w3.org/1998/Math/MathML\" display=\"block\"><mtable columnalign=\"left\">";
    for (const StepLine& line : steps.lines) {
        out << "<mtr><mtd>";
        if (line.kind == StepLine::Kind::Note) {
            out << "<mtext>" << xmlEscaped(line.text) << "</mtext>";
        } else {
            out << "<mrow>";
            if (line.kind == StepLine::Kind::Step) out << "<mo>=</mo>";
            out << MathmlContent(line.text) << "</mrow>";
        }
        out << "</mtd></mtr>";
    }
    out << "</mtable></math>\n";
}

std::string stepSpeech(const StepLine& line) {
    if (line.kind == StepLine::Kind::Note) return spokenSentence(line.text, false);
    return spokenSentence(speechOf(line.text), line.kind == StepLine::Kind::Step);
}

std::string stepsSpeech(const StepsView& steps) {
    std::string out;
    for (const StepLine& line : steps.lines) {
        if (!out.empty()) out += '\n';
        out += stepSpeech(line);
    }
    return out;
}

}  // namespace nerova
