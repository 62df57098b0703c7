// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "display/writers.h"

#include <atomic>
#include <ostream>
#include <streambuf>
#include <sstream>
#include <utility>
#include <vector>

#include "display/BunDispCal.h"
#include "engine/messages.h"
#include "engine/utf8.h"

namespace nerova {

namespace {

using nerova::utf8::kEllipsis;
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// ------------------------------------------------------------------ plain text runs

// A token's text (a word, an exponent, a numerator) is written run by run: numbers,
// single operator characters, the ellipsis that ends a cut decimal, spaces, and
// everything else as text.
enum class RunKind { Digits, Op, Ellipsis, Space, Other };

bool IsDigitLike(char c) { return (c >= '0' && c <= '9') || c == '.' || c == ','; }
bool IsOp(char c) {
    switch (c) {
    case '+': case '-': case '*': case '/': case '(': case ')': case ':': case '=':
        return true;
    default:
        return false;
    }
}

template <typename F>
void ForEachRun(std::string_view s, F&& f) {
    size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (IsDigitLike(c)) {
            size_t j = i;
            while (j < s.size() && IsDigitLike(s[j])) ++j;
            f(RunKind::Digits, s.substr(i, j - i));
            i = j;
        } else if (IsOp(c)) {
            f(RunKind::Op, s.substr(i, 1));
            ++i;
        } else if (s.substr(i, kEllipsis.size()) == kEllipsis) {
            f(RunKind::Ellipsis, s.substr(i, kEllipsis.size()));
            i += kEllipsis.size();
        } else if (c == ' ') {
            f(RunKind::Space, s.substr(i, 1));
            ++i;
        } else {
            size_t j = i + 1;
            while (j < s.size() && !IsDigitLike(s[j]) && !IsOp(s[j]) && s[j] != ' ' &&
                   s.substr(j, kEllipsis.size()) != kEllipsis)
                ++j;
            f(RunKind::Other, s.substr(i, j - i));
            i = j;
        }
    }
}

// Walks s character by character: a byte that is not UTF-8, and a character that allowed()
// refuses, goes to bad(); every other character, whole, to good().
template <typename Allowed, typename Bad, typename Good>
void ForEachCharacter(std::string_view s, Allowed allowed, Bad bad, Good good) {
    for (size_t i = 0; i < s.size();) {
        const size_t n = nerova::utf8::wellFormedLength(s, i);
        if (n == 0 || !allowed(s.substr(i, n))) bad();
        else good(s.substr(i, n));
        i += n == 0 ? 1 : n;
    }
}

bool IsControl(std::string_view c) { return c.size() == 1 && (static_cast<unsigned char>(c[0]) < 0x20 || c[0] == 0x7F); }

// A character a markup writes as another text.
struct Escape {
    char c;
    std::string_view as;
};
constexpr Escape kXmlEscapes[] = {{'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}};
constexpr Escape kLatexEscapes[] = {
    {'\\', "\\textbackslash{}"}, {'{', "\\{"}, {'}', "\\}"}, {'%', "\\%"}, {'#', "\\#"}, {'_', "\\_"},
    {'^', "\\textasciicircum{}"}, {'~', "\\textasciitilde{}"}, {'$', "\\$"}, {'&', "\\&"},
    {'<', "\\textless{}"}, {'>', "\\textgreater{}"}};

// Writes the character c (whole, any length) as its escape in table, or as it is.
template <size_t N>
void WriteEscaped(std::string_view c, const Escape (&table)[N], std::ostream& out) {
    for (const Escape& e : table) {
        if (c[0] == e.c) {
            out << e.as;
            return;
        }
    }
    out << c;
}

// Writes s as XML character data: markup characters as references; bytes that are not
// UTF-8, control characters and U+FFFE/U+FFFF (none of which XML allows) as U+FFFD.
void WriteXmlText(std::string_view s, std::ostream& out) {
    ForEachCharacter(
        s,
        [](std::string_view c) {
            return (!IsControl(c) || c == "\t" || c == "\n" || c == "\r") && c != "\xEF\xBF\xBE" &&
                   c != "\xEF\xBF\xBF";
        },
        [&out] { out << kReplacement; }, [&out](std::string_view c) { WriteEscaped(c, kXmlEscapes, out); });
}

// Writes s for LaTeX's text mode: its special characters as commands; bytes that are not
// UTF-8 and control characters, which no LaTeX input accepts, as "?".
void WriteLatexText(std::string_view s, std::ostream& out) {
    ForEachCharacter(
        s, [](std::string_view c) { return !IsControl(c); }, [&out] { out << '?'; },
        [&out](std::string_view c) { WriteEscaped(c, kLatexEscapes, out); });
}

// Passes what a markup writer writes on to another buffer, up to a limit of bytes; past
// it, nothing more is passed and the stream over it goes bad (the writer then runs to its
// end without writing: its work is linear in the text).
class BoundedBuffer : public std::streambuf {
public:
    BoundedBuffer(std::streambuf* to, size_t limit) : to_(to), left_(limit) {}
    bool over() const { return over_; }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        if (over_ || static_cast<size_t>(n) > left_) {
            over_ = true;
            return 0;
        }
        left_ -= static_cast<size_t>(n);
        return to_->sputn(s, n);
    }
    int sync() override { return to_->pubsync(); }

private:
    std::streambuf* to_;
    size_t left_;
    bool over_ = false;
};


bool IsOperator(const elm& e) {
    return e.Kind == skText && e.Text.size() == 1 &&
           (e.Text[0] == '+' || e.Text[0] == '-' || e.Text[0] == '*' || e.Text[0] == '/');
}
bool IsParen(const elm& e, char c) { return e.Kind == skParen && e.Text.size() == 1 && e.Text[0] == c; }

// ------------------------------------------------------------------ terms

// A token that is not an exponent, with the exponents written after it. The exponents of
// a text that starts with "^" have no base.
struct Term {
    bool HasBase = false;
    elm Base;
    std::vector<std::string> Powers;
};

// Reads a display text into terms and hands each to Write together with the token that
// follows it (a mixed number is a number followed by a fraction). Only one term is held
// at a time, so the memory beyond the text is one token.
class TermWriter {
public:
    explicit TermWriter(std::ostream& out) : Out(out) {}
    virtual ~TermWriter() = default;
    TermWriter(const TermWriter&) = delete;
    TermWriter& operator=(const TermWriter&) = delete;

    void Run(std::string_view text) {
        Begin();
        Term pending;
        bool held = false;
        TBunDispCalc::ForEachToken(text, true, [&](uint8_t kind, std::string t, std::string t2) {
            if (kind == skPower) {
                held = true;
                pending.Powers.push_back(std::move(t));
                return;
            }
            elm next{kind, std::move(t), std::move(t2)};
            if (held) Write(pending, &next);
            pending = Term{true, std::move(next), {}};
            held = true;
        });
        if (held) Write(pending, nullptr);
        End();
    }

protected:
    virtual void Begin() {}
    virtual void Write(const Term& term, const elm* next) = 0;
    virtual void End() {}

    std::ostream& Out;
};

// ------------------------------------------------------------------ LaTeX

class LatexWriter : public TermWriter {
public:
    using TermWriter::TermWriter;

private:
    void Flat(std::string_view s) {
        ForEachRun(s, [this](RunKind run, std::string_view r) {
            switch (run) {
            case RunKind::Digits: Out << r; break;
            case RunKind::Op: Out << (r == "*" ? "\\times" : r); break;
            case RunKind::Ellipsis: Out << "\\ldots"; break;
            case RunKind::Space: Out << ' '; break;
            case RunKind::Other:
                Out << "\\text{";
                WriteLatexText(r, Out);
                Out << '}';
                break;
            }
        });
    }

    void Write(const Term& t, const elm*) override {
        bool attachable = t.HasBase;  // a superscript may follow directly
        // Two numbers in a row (1 2) keep the gap the display leaves between them.
        if (t.HasBase && t.Base.Kind == skNumber && AfterNumber) Out << "\\,";
        AfterNumber = t.HasBase && t.Base.Kind == skNumber && t.Powers.empty();
        if (t.HasBase) {
            const elm& e = t.Base;
            if (IsOperator(e)) {
                static constexpr std::pair<char, const char*> kOps[] = {
                    {'+', "+"}, {'-', "-"}, {'*', "\\times"}, {'/', "\\div"}};
                for (const auto& [c, markup] : kOps)
                    if (e.Text[0] == c) Out << markup;
                attachable = false;
            } else if (e.Kind == skFraction) {
                Out << "\\frac{";
                Flat(e.Text);
                Out << "}{";
                Flat(e.Text2);
                Out << '}';
            } else if (IsParen(e, '(')) {
                Out << "\\left(";
                ++Depth;
                attachable = false;
            } else if (e.Kind == skParen) {
                Out << (Depth > 0 ? "\\right)" : ")");
                if (Depth > 0) --Depth;
            } else if (e.Kind == skRecurring) {
                WriteRecurring(e.Text);
            } else {
                Flat(e.Text);
            }
        }
        for (const std::string& p : t.Powers) {
            Out << (attachable ? "^{" : "{}^{");
            Flat(p);
            Out << '}';
            attachable = false;  // a second exponent stands higher, not on the first
        }
    }

    void WriteRecurring(const std::string& s) {
        if (s.empty()) {
            Out << '[';
            return;
        }
        Out << "\\dot{" << s.front() << '}';
        if (s.size() > 2) Out << std::string_view(s).substr(1, s.size() - 2);
        if (s.size() > 1) Out << "\\dot{" << s.back() << '}';
    }

    void End() override {
        for (; Depth > 0; --Depth) Out << "\\right.";
    }

    int Depth = 0;  // parentheses opened with \left and not yet closed
    bool AfterNumber = false;
};

// ------------------------------------------------------------------ MathML

class MathmlWriter : public TermWriter {
public:
    using TermWriter::TermWriter;

private:
    void Begin() override { Out << "<math xmlns=\"http://www.w3.org/1998/Math/MathML\">"; }

    void End() override {
        for (; Depth > 0; --Depth) Out << "</mrow>";
        Out << "</math>";
    }

    void Op(std::string_view op) {
        Out << "<mo>";
        if (op == "-") Out << "−";
        else if (op == "*") Out << "×";
        else WriteXmlText(op, Out);
        Out << "</mo>";
    }

    // A text as one element: its runs, in an <mrow> unless there is exactly one.
    void Flat(std::string_view s) {
        int count = 0;
        ForEachRun(s, [&count](RunKind run, std::string_view) { count += run != RunKind::Space; });
        if (count != 1) Out << (count == 0 ? "<mrow/>" : "<mrow>");
        if (count == 0) return;
        ForEachRun(s, [this](RunKind run, std::string_view r) {
            switch (run) {
            case RunKind::Digits: Out << "<mn>" << r << "</mn>"; break;
            case RunKind::Op: Op(r); break;
            case RunKind::Ellipsis: Out << "<mo>" << r << "</mo>"; break;
            case RunKind::Space: break;
            case RunKind::Other:
                Out << "<mtext>";
                WriteXmlText(r, Out);
                Out << "</mtext>";
                break;
            }
        });
        if (count != 1) Out << "</mrow>";
    }

    void Dotted(char c) {
        Out << "<mover accent=\"true\"><mn>";
        WriteXmlText(std::string_view(&c, 1), Out);
        Out << "</mn><mo>˙</mo></mover>";
    }

    void Write(const Term& t, const elm* next) override {
        const bool open = t.HasBase && IsParen(t.Base, '(');
        const bool close = t.HasBase && IsParen(t.Base, ')') && Depth > 0;
        if (open) {
            Out << "<mrow>";
            ++Depth;
        }
        for (size_t i = 0; i < t.Powers.size(); ++i) Out << "<msup>";
        if (!t.HasBase) {
            Out << "<mrow/>";
        } else {
            const elm& e = t.Base;
            if (IsOperator(e) || e.Kind == skParen) {
                Op(e.Text);
            } else if (e.Kind == skNumber) {
                if (AfterNumber) Out << "<mspace width=\"0.3em\"/>";
                Out << "<mn>" << e.Text << "</mn>";
                // A mixed number: whole part and fraction are added, not multiplied.
                if (t.Powers.empty() && next && next->Kind == skFraction) Out << "<mo>\u2064</mo>";
            } else if (e.Kind == skFraction) {
                Out << "<mfrac>";
                Flat(e.Text);
                Flat(e.Text2);
                Out << "</mfrac>";
            } else if (e.Kind == skRecurring) {
                if (e.Text.empty()) {
                    Out << "<mtext>[</mtext>";
                } else {
                    Out << "<mrow>";
                    Dotted(e.Text.front());
                    if (e.Text.size() > 2) {
                        Out << "<mn>";
                        WriteXmlText(std::string_view(e.Text).substr(1, e.Text.size() - 2), Out);
                        Out << "</mn>";
                    }
                    if (e.Text.size() > 1) Dotted(e.Text.back());
                    Out << "</mrow>";
                }
            } else {
                Flat(e.Text);
            }
        }
        for (const std::string& p : t.Powers) {
            Flat(p);
            Out << "</msup>";
        }
        if (close) {
            Out << "</mrow>";
            --Depth;
        }
        AfterNumber = t.HasBase && t.Base.Kind == skNumber && t.Powers.empty();
    }

    int Depth = 0;  // <mrow>s opened at "(" and not yet closed
    bool AfterNumber = false;  // two numbers in a row (1 2) keep the display's gap
};

// ------------------------------------------------------------------ speech

// The words of a reading. Japanese runs its words together and reads a fraction's
// denominator first (2分の1); English puts blanks between words and reads the numerator
// first (1 over 2).
struct SpeechWords {
    bool spaced;
    bool denominatorFirst;
    const char* pause;  // between two numbers, before a recurring part or a cut
    const char* fullStop;
    const char* plusSign;
    const char* plus;
    const char* minusSign;
    const char* minus;
    const char* times;
    const char* dividedBy;
    const char* open;
    const char* close;
    const char* mixedAnd;  // between the whole part and the fraction of a mixed number
    const char* equals;
    const char* over;
    const char* noDenominator;  // before a fraction whose denominator is not typed yet
    const char* powerAfterBase;
    const char* powerBefore;
    const char* powerAfter;
    const char* recurring;
    const char* cutOff;
};

constexpr SpeechWords kJapanese{false,        true,         "、",     "。",  "プラス", "たす",   "マイナス",
                                "ひく",       "かける",     "わる",   "かっこ", "かっこ閉じ", "と", "イコール",
                                "分の",       "分母のない分数", "の",  "",     "乗",     "の循環", "以下略"};
constexpr SpeechWords kEnglish{true,          false,        ",",      ".",    "plus",   "plus",   "minus",
                               "minus",       "times",      "divided by", "open parenthesis", "close parenthesis",
                               "and",         "equals",     "over",   "fraction without denominator", "",
                               "to the power", "",          "recurring", "and so on"};

const SpeechWords& WordsOf(Reading r) { return r == Reading::English ? kEnglish : kJapanese; }

std::atomic<Reading> CurrentReading{Reading::Japanese};

class SpeechWriter : public TermWriter {
public:
    SpeechWriter(std::ostream& out, Reading r) : TermWriter(out), W(WordsOf(r)) {}

private:
    // One word (or number) of the reading; English puts a blank before all but the first.
    void Say(std::string_view word) {
        if (word.empty()) return;
        if (W.spaced && Said) Out << ' ';
        Out << word;
        Said = true;
    }

    void Pause() { Out << W.pause; }

    // A sign at the start or after another operator is read as a sign, otherwise as an
    // operation.
    void Flat(std::string_view s) {
        bool operand = false;
        ForEachRun(s, [&](RunKind run, std::string_view r) {
            switch (run) {
            case RunKind::Digits: Say(r); operand = true; break;
            case RunKind::Op:
                Say(OpWord(r[0], operand));
                operand = r[0] == ')';
                break;
            case RunKind::Ellipsis:
                Pause();
                Say(W.cutOff);
                break;
            case RunKind::Space: break;
            case RunKind::Other: Say(r); operand = true; break;
            }
        });
    }

    const char* OpWord(char c, bool afterOperand) const {
        switch (c) {
        case '+': return afterOperand ? W.plus : W.plusSign;
        case '-': return afterOperand ? W.minus : W.minusSign;
        case '*': return W.times;
        case '/': return W.dividedBy;
        case '(': return W.open;
        case ')': return W.close;
        case ':': return W.mixedAnd;
        default: return W.equals;
        }
    }

    void Fraction(std::string_view num, std::string_view den) {
        if (den.empty() || den == "-" || den == "+") {
            Say(W.noDenominator);
            Flat(num);
            if (!den.empty()) Flat(den);
            return;
        }
        Flat(W.denominatorFirst ? den : num);
        Say(W.over);
        Flat(W.denominatorFirst ? num : den);
    }

    // An exponent written as a fraction (2^3/4) is read as one.
    void Exponent(std::string_view p) {
        const size_t slash = p.find('/');
        if (slash != std::string_view::npos && p.find_first_not_of("+-0123456789/") == std::string_view::npos &&
            p.find('/', slash + 1) == std::string_view::npos && slash > 0 && slash + 1 < p.size()) {
            Fraction(p.substr(0, slash), p.substr(slash + 1));
        } else {
            Flat(p);
        }
    }

    void Write(const Term& t, const elm* next) override {
        if (t.HasBase) {
            const elm& e = t.Base;
            const bool operand = !IsOperator(e) && e.Kind != skParen;
            const bool numeric = e.Kind == skNumber || e.Kind == skFraction;
            // Two numbers in a row (1 2 on the display) are read with a pause between.
            if (numeric && AfterNumber) Pause();
            AfterNumber = numeric;
            if (IsOperator(e)) {
                Say(OpWord(e.Text[0], AfterOperand));
            } else if (e.Kind == skParen) {
                Say(OpWord(e.Text[0], false));
            } else if (e.Kind == skFraction) {
                Fraction(e.Text, e.Text2);
            } else if (e.Kind == skRecurring) {
                if (e.Text.empty()) {
                    Say("[");
                } else {
                    if (Said) Pause();
                    Say(e.Text);
                    Say(W.recurring);
                }
            } else {
                Flat(e.Text);
            }
            AfterOperand = operand || IsParen(e, ')');
            if (e.Kind == skNumber && t.Powers.empty() && next && next->Kind == skFraction) {
                Say(W.mixedAnd);
                AfterOperand = AfterNumber = false;
            }
        }
        for (const std::string& p : t.Powers) {
            if (p.empty()) continue;
            if (t.HasBase) Say(W.powerAfterBase);
            Say(W.powerBefore);
            Exponent(p);
            Say(W.powerAfter);
            AfterOperand = true;
            AfterNumber = false;
        }
    }

    const SpeechWords& W;
    bool AfterOperand = false;  // a "-" now is a subtraction, not a sign
    bool AfterNumber = false;   // a number now gets a pause before it
    bool Said = false;          // a word is written
};

}  // namespace

namespace {

// Runs a markup writer over a stream bounded at limit bytes that writes to out.
template <typename Writer>
void WriteBounded(std::string_view text, std::ostream& out, size_t limit) {
    if (!out) return;
    BoundedBuffer buffer(out.rdbuf(), limit);
    std::ostream bounded(&buffer);
    Writer(bounded).Run(text);
    if (buffer.over()) throw MessageError(Message::TooLarge);
    if (!bounded) out.setstate(std::ios::badbit);  // out's own buffer refused bytes
}

}  // namespace

void writeLatex(std::string_view text, std::ostream& out, size_t limit) { WriteBounded<LatexWriter>(text, out, limit); }

void writeLatex(std::string_view text, std::ostream& out) { writeLatex(text, out, markupLimit(text.size())); }

void writeMathml(std::string_view text, std::ostream& out, size_t limit) { WriteBounded<MathmlWriter>(text, out, limit); }

void writeMathml(std::string_view text, std::ostream& out) { writeMathml(text, out, markupLimit(text.size())); }

void setReading(Reading r) { CurrentReading = r; }

Reading reading() { return CurrentReading; }

void writeSpeech(std::string_view text, std::ostream& out, Reading r) { SpeechWriter(out, r).Run(text); }

std::string xmlEscaped(std::string_view s) {
    std::ostringstream out;
    WriteXmlText(s, out);
    return std::move(out).str();
}

std::string speechOf(std::string_view text, Reading r) {
    std::ostringstream out;
    writeSpeech(text, out, r);
    return std::move(out).str();
}

std::string spokenSentence(std::string_view words, bool equals, Reading r) {
    const SpeechWords& w = WordsOf(r);
    std::string sentence;
    if (equals) {
        sentence = w.equals;
        sentence += w.pause;
        if (w.spaced) sentence += ' ';
    }
    sentence += words;
    return sentence += w.fullStop;
}

}  // namespace nerova
