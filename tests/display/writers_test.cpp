// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "display/writers.h"
#include "engine/files.h"
#include "engine/messages.h"

#include <gtest/gtest.h>

#include <cstdint>

#include <sstream>
#include <streambuf>
#include <string>

namespace {

std::string Latex(const std::string& text) {
    std::ostringstream out;
    nerova::writeLatex(text, out);
    return out.str();
}

std::string Mathml(const std::string& text) {
    std::ostringstream out;
    nerova::writeMathml(text, out);
    return out.str();
}

// The body of the <math> element.
std::string MathmlBody(const std::string& text) {
    const std::string m = Mathml(text);
    const std::string open = "<math xmlns=\"http://www.w3.org/1998/Math/MathML\">", close = "</math>";
    EXPECT_EQ(m.substr(0, open.size()), open);
    EXPECT_EQ(m.substr(m.size() - close.size()), close);
    return m.substr(open.size(), m.size() - open.size() - close.size());
}

struct Row {
    const char* text;
    const char* latex;
    const char* mathml;  // the body of <math>
    const char* speech;
    const char* english;  // the English reading
};

// Each row is one construct of the display, in every writer.
const Row kRows[] = {
    {"1/2", "\\frac{1}{2}", "<mfrac><mn>1</mn><mn>2</mn></mfrac>", "2分の1", "1 over 2"},
    // ";" ends the text as it ends the display's
    {"1/2;+3", "\\frac{1}{2}", "<mfrac><mn>1</mn><mn>2</mn></mfrac>", "2分の1", "1 over 2"},
    // a mixed number: the ":" is not drawn; the parts are added
    {"1:2/3", "1\\frac{2}{3}", "<mn>1</mn><mo>\u2064</mo><mfrac><mn>2</mn><mn>3</mn></mfrac>", "1と3分の2", "1 and 2 over 3"},
    {"-5", "-5", "<mo>−</mo><mn>5</mn>", "マイナス5", "minus 5"},
    {"7-5", "7-5", "<mn>7</mn><mo>−</mo><mn>5</mn>", "7ひく5", "7 minus 5"},
    {"2^-2", "2^{-2}", "<msup><mn>2</mn><mrow><mo>−</mo><mn>2</mn></mrow></msup>", "2のマイナス2乗", "2 to the power minus 2"},
    {"2^3", "2^{3}", "<msup><mn>2</mn><mn>3</mn></msup>", "2の3乗", "2 to the power 3"},
    // the second exponent stands higher, as the display draws it
    {"2^3^4", "2^{3}{}^{4}", "<msup><msup><mn>2</mn><mn>3</mn></msup><mn>4</mn></msup>", "2の3乗の4乗", "2 to the power 3 to the power 4"},
    // an exponent written as a fraction is drawn flat
    {"2^3/4", "2^{3/4}", "<msup><mn>2</mn><mrow><mn>3</mn><mo>/</mo><mn>4</mn></mrow></msup>", "2の4分の3乗", "2 to the power 3 over 4"},
    {"2^(1+1)", "2^{1+1}", "<msup><mn>2</mn><mrow><mn>1</mn><mo>+</mo><mn>1</mn></mrow></msup>", "2の1たす1乗", "2 to the power 1 plus 1"},
    {"-(1+1/2)", "-\\left(1+\\frac{1}{2}\\right)",
     "<mo>−</mo><mrow><mo>(</mo><mn>1</mn><mo>+</mo><mfrac><mn>1</mn><mn>2</mn></mfrac><mo>)</mo></mrow>",
     "マイナスかっこ1たす2分の1かっこ閉じ", "minus open parenthesis 1 plus 1 over 2 close parenthesis"},
    // an exponent after ")" belongs to the bracket
    {"(1)^2", "\\left(1\\right)^{2}", "<mrow><mo>(</mo><mn>1</mn><msup><mo>)</mo><mn>2</mn></msup></mrow>",
     "かっこ1かっこ閉じの2乗", "open parenthesis 1 close parenthesis to the power 2"},
    {"3*4/5", "3\\times\\frac{4}{5}", "<mn>3</mn><mo>×</mo><mfrac><mn>4</mn><mn>5</mn></mfrac>", "3かける5分の4", "3 times 4 over 5"},
    // only a plain integer starts a fraction: this "/" is a division
    {"1.5/2", "1.5\\div2", "<mn>1.5</mn><mo>/</mo><mn>2</mn>", "1.5わる2", "1.5 divided by 2"},
    {"0.1[6]", "0.1\\dot{6}", "<mn>0.1</mn><mrow><mover accent=\"true\"><mn>6</mn><mo>˙</mo></mover></mrow>",
     "0.1、6の循環", "0.1, 6 recurring"},
    {"0.[142857]", "0.\\dot{1}4285\\dot{7}",
     "<mn>0.</mn><mrow><mover accent=\"true\"><mn>1</mn><mo>˙</mo></mover><mn>4285</mn>"
     "<mover accent=\"true\"><mn>7</mn><mo>˙</mo></mover></mrow>",
     "0.、142857の循環", "0., 142857 recurring"},
    // two repeating digits: dots over both, nothing between
    {"0.[12]", "0.\\dot{1}\\dot{2}",
     "<mn>0.</mn><mrow><mover accent=\"true\"><mn>1</mn><mo>˙</mo></mover><mover accent=\"true\"><mn>2</mn>"
     "<mo>˙</mo></mover></mrow>",
     "0.、12の循環", "0., 12 recurring"},
    {"3.14…", "3.14\\ldots", "<mrow><mn>3.14</mn><mo>…</mo></mrow>", "3.14、以下略", "3.14, and so on"},
    // half-typed input: an empty denominator, an open and a stray bracket
    {"3/", "\\frac{3}{}", "<mfrac><mn>3</mn><mrow/></mfrac>", "分母のない分数3", "fraction without denominator 3"},
    {"(1+2", "\\left(1+2\\right.", "<mrow><mo>(</mo><mn>1</mn><mo>+</mo><mn>2</mn></mrow>", "かっこ1たす2", "open parenthesis 1 plus 2"},
    {"1)", "1)", "<mn>1</mn><mo>)</mo>", "1かっこ閉じ", "1 close parenthesis"},
    {"[", "[", "<mtext>[</mtext>", "[", "["},
    {"^2", "{}^{2}", "<msup><mrow/><mn>2</mn></msup>", "2乗", "to the power 2"},
    {"1 2", "1\\,2", "<mn>1</mn><mspace width=\"0.3em\"/><mn>2</mn>", "1、2", "1, 2"},
    {"", "", "", "", ""},
    // unrecognised text is written as text, escaped for the markup
    {"ERROR", "\\text{ERROR}", "<mtext>ERROR</mtext>", "ERROR", "ERROR"},
    {"<&\\{}%#_~$>",
     "\\text{\\textless{}\\&\\textbackslash{}\\{\\}\\%\\#\\_\\textasciitilde{}\\$\\textgreater{}}",
     "<mtext>&lt;&amp;\\{}%#_~$&gt;</mtext>", "<&\\{}%#_~$>", "<&\\{}%#_~$>"},
    {"2^(a^b)", "2^{\\text{a\\textasciicircum{}b}}", "<msup><mn>2</mn><mtext>a^b</mtext></msup>", "2のa^b乗", "2 to the power a^b"},
    // bytes that are not UTF-8 and control characters cannot stand in XML or LaTeX
    {"a\xFF\x01", "\\text{a??}", "<mtext>a\xEF\xBF\xBD\xEF\xBF\xBD</mtext>", "a\xFF\x01", "a\xFF\x01"},
};

class WriterTable : public ::testing::TestWithParam<Row> {};

TEST_P(WriterTable, WritesWhatTheDisplayShows) {
    const Row& r = GetParam();
    EXPECT_EQ(Latex(r.text), r.latex);
    EXPECT_EQ(MathmlBody(r.text), r.mathml);
    EXPECT_EQ(nerova::speechOf(r.text, nerova::Reading::Japanese), r.speech);
    EXPECT_EQ(nerova::speechOf(r.text, nerova::Reading::English), r.english);
}

INSTANTIATE_TEST_SUITE_P(Texts, WriterTable, ::testing::ValuesIn(kRows));

// A line of a working is read as one sentence; the reading without an argument is the one
// set for the process.
TEST(SpeechTest, SentencesAndTheProcessReading) {
    using nerova::Reading;
    EXPECT_EQ(nerova::spokenSentence("2分の1", true, Reading::Japanese), "イコール、2分の1。");
    EXPECT_EQ(nerova::spokenSentence("2分の1", false, Reading::Japanese), "2分の1。");
    EXPECT_EQ(nerova::spokenSentence("1 over 2", true, Reading::English), "equals, 1 over 2.");
    EXPECT_EQ(nerova::spokenSentence("1 over 2", false, Reading::English), "1 over 2.");
    EXPECT_EQ(nerova::reading(), Reading::Japanese);
    nerova::setReading(Reading::English);
    EXPECT_EQ(nerova::speechOf("1:2/3"), "1 and 2 over 3");
    nerova::setReading(Reading::Japanese);
    EXPECT_EQ(nerova::speechOf("1:2/3"), "1と3分の2");
}

// Counts the bytes written without keeping them.
class CountingBuffer : public std::streambuf {
public:
    size_t Count = 0;

protected:
    int_type overflow(int_type c) override {
        ++Count;
        return c;
    }
    std::streamsize xsputn(const char*, std::streamsize n) override {
        Count += static_cast<size_t>(n);
        return n;
    }
};

// A stream buffer that takes no byte, as a full disk.
struct RefusingBuffer : std::streambuf {
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST(WritersTest, AMillionDigitResultIsWrittenWhole) {
    const std::string num(500000, '7'), den(500000, '3');
    const std::string text = num + "/" + den;
    CountingBuffer buffer;
    std::ostream out(&buffer);
    nerova::writeLatex(text, out);
    EXPECT_EQ(buffer.Count, text.size() - 1 + std::string("\\frac{}{}").size());
    buffer.Count = 0;
    nerova::writeMathml(text, out);
    EXPECT_GT(buffer.Count, text.size());
}

// LaTeX from unbalanced or hostile text still has balanced braces and \left/\right pairs.
TEST(WritersTest, LatexBracesAndBracketsBalanceForAnyText) {
    for (const std::string text : {"((1", "))(", "(^(", "2^(3", "{}", "\\left(", "(((1/2)^3"}) {
        const std::string l = Latex(text);
        int braces = 0, lefts = 0;
        for (size_t i = 0; i < l.size(); ++i) {
            if (l[i] == '\\' && i + 1 < l.size() && (l[i + 1] == '{' || l[i + 1] == '}')) {
                ++i;
                continue;
            }
            braces += l[i] == '{';
            braces -= l[i] == '}';
            EXPECT_GE(braces, 0) << text << " -> " << l;
        }
        for (size_t p = l.find("\\left"); p != std::string::npos; p = l.find("\\left", p + 1)) ++lefts;
        for (size_t p = l.find("\\right"); p != std::string::npos; p = l.find("\\right", p + 1)) --lefts;
        EXPECT_EQ(braces, 0) << text << " -> " << l;
        EXPECT_EQ(lefts, 0) << text << " -> " << l;
    }
}

// The markup writers stop at their bound: a limit of exactly the markup's length writes it
// whole, one byte less stops with 結果が大きすぎます and writes a part of it, none past
// the limit. The most expanding texts stay within the default bound, and a stream that
// refuses bytes is left bad, as it would be without the bound.
TEST(WritersTest, MarkupStopsAtItsBound) {
    using Writer = void (*)(std::string_view, std::ostream&, size_t);
    const Writer writers[] = {static_cast<Writer>(nerova::writeLatex), static_cast<Writer>(nerova::writeMathml)};
    std::string parens;
    for (int i = 0; i < 1000; ++i) parens += "((";
    const std::string texts[] = {"1/2+3^4", std::string(2000, '^'), parens, std::string(2000, '<'), ""};
    for (const Writer write : writers) {
        for (const std::string& text : texts) {
            SCOPED_TRACE(text.substr(0, 20));
            std::ostringstream whole, exact, under;
            write(text, whole, SIZE_MAX);
            const std::string markup = whole.str();
            EXPECT_LE(markup.size(), nerova::markupLimit(text.size()));
            EXPECT_NO_THROW(write(text, exact, markup.size()));
            EXPECT_EQ(exact.str(), markup);
            if (markup.empty()) continue;  // LaTeX of no text: nothing to stop
            try {
                write(text, under, markup.size() - 1);
                ADD_FAILURE() << "not stopped at " << markup.size() - 1 << " bytes";
            } catch (const nerova::MessageError& e) {
                EXPECT_EQ(e.code(), nerova::Message::TooLarge);
            }
            EXPECT_LT(under.str().size(), markup.size());
            EXPECT_EQ(markup.substr(0, under.str().size()), under.str());
        }
        RefusingBuffer refusing;
        std::ostream refused(&refusing);
        write("1/2", refused, SIZE_MAX);
        EXPECT_TRUE(refused.bad());
    }
}

TEST(WritersTest, FileThatCannotBeWrittenIsReported) {
    const auto write = [](std::ostream& out) { out << std::string(1 << 16, 'x'); };
    EXPECT_FALSE(nerova::writeFileWith("/nonexistent-folder/x.tex", write));
    EXPECT_FALSE(nerova::writeFileWith("/dev/full", write));
    EXPECT_TRUE(nerova::writeFileWith("/dev/null", write));
}

}  // namespace
