// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Times the rational arithmetic on the loads it is measured against: long sums of
// fractions, thousands of small lines, a big power, and the text forms of big values.
// Run by hand: build/bench/lrat_bench
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/Eval.h"
#include "engine/lrat.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// What the text evaluator does with one line: its own rational, ";" appended, the
// improper form or the message.
std::string CalcLine(const std::string& line) {
    try {
        StringStream s(line + ";");
        TLoRational r;
        EvalExpression(r, s);
        return r.ToImproperText();
    } catch (const std::exception& e) {
        return e.what();
    }
}

void Report(const char* what, double seconds, const std::string& note) {
    std::printf("%-44s %9.3f s   %s\n", what, seconds, note.c_str());
}

std::string Digits(const TLoRational& x) {
    return std::to_string(x.Numerator().ToText().size()) + "/" +
           std::to_string(x.Denominator().ToText().size()) + " digits";
}

}  // namespace

int main() {
    {
        const auto start = Clock::now();
        TLoRational sum;
        for (int k = 1; k <= 20000; ++k) sum.Add(TLoRational(1, k));
        Report("sum of 1/k, k = 1..20000", Seconds(start), Digits(sum));
    }
    {
        const auto start = Clock::now();
        TLoRational sum;
        for (int k = 1; k <= 20000; ++k) {
            TLoRational term(1, k);
            term.Multiply(TLoRational(1, k));
            sum.Add(term);
        }
        Report("sum of 1/k^2, k = 1..20000", Seconds(start), Digits(sum));
    }
    {
        const auto start = Clock::now();
        TLoRational sum;
        TLoRational sign(1, 1);
        for (int k = 1; k <= 5000; ++k) {
            TLoRational term(1, 2 * k - 1);
            term.Multiply(sign);
            sum.Add(term);
            sign.Negate();
        }
        Report("alternating sum of 1/(2k-1), k = 1..5000", Seconds(start), Digits(sum));
    }
    {
        std::vector<std::string> lines;
        for (int i = 0; i < 20000; ++i) {
            const std::string a = std::to_string(i % 97 + 1), b = std::to_string(i % 13 + 2);
            switch (i % 5) {
            case 0: lines.push_back("1/" + a + "+1/" + b); break;
            case 1: lines.push_back("(" + a + "/" + b + ")^3-" + b); break;
            case 2: lines.push_back("1:2/3*" + a + ".25 / " + b); break;
            case 3: lines.push_back("0.1[6]+" + a + "*(2-" + b + ")"); break;
            case 4: lines.push_back("2^-" + b + "+" + a + "/" + b + "/7"); break;
            }
        }
        size_t bytes = 0;
        const auto start = Clock::now();
        for (const std::string& line : lines) bytes += CalcLine(line).size();
        const double t = Seconds(start);
        Report("20000 small lines through the evaluator", t,
               std::to_string(static_cast<int>(t / 20000 * 1e9)) + " ns a line, " + std::to_string(bytes) +
                   " bytes out");
    }
    {
        const auto start = Clock::now();
        TLoRational x(2, 3);
        x.Power(TLoRational(100000, 1));
        Report("(2/3)^100000", Seconds(start), Digits(x));
        const auto textStart = Clock::now();
        const std::string text = x.ToImproperText();
        Report("  its improper text", Seconds(textStart), std::to_string(text.size()) + " bytes");
        const auto decStart = Clock::now();
        const std::string dec = x.ToDecimalText(false);
        Report("  its decimal text", Seconds(decStart), dec.substr(0, 12) + "...");
        const auto floatStart = Clock::now();
        const std::string fl = x.ToFloatText();
        Report("  its float text", Seconds(floatStart), fl);
    }
    {
        const auto start = Clock::now();
        const std::string r = CalcLine("(123456789/987654321)^20000*(987654321/123456789)^19999");
        Report("(a/b)^20000 * (b/a)^19999, big cross gcds", Seconds(start), r);
    }
    {
        const auto start = Clock::now();
        std::string big = "0.";
        for (int i = 0; i < 20000; ++i) big += static_cast<char>('0' + i * 7 % 10);
        const std::string r = CalcLine(big + "*10^20000");
        Report("20000-digit decimal literal", Seconds(start), std::to_string(r.size()) + " bytes");
    }
    {
        // Digits after the point and in the period are read in linear time.
        std::string big = "3.";
        for (int i = 0; i < 500000; ++i) big += static_cast<char>('0' + i * 7 % 10);
        big += '[';
        for (int i = 0; i < 500000; ++i) big += static_cast<char>('0' + i * 3 % 10);
        const auto start = Clock::now();
        TLoRational x;
        StringStream s(big + "];");
        x.ReadFrom(s);
        Report("literal of 500000 + 500000 recurring digits", Seconds(start), Digits(x));
    }
    return 0;
}
