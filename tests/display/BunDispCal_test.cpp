// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The typesetter's geometry on the recording canvas (every ASCII character 7 x 14 pixels).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/BunDispCal.h"
#include "tests/display/recording_canvas.h"

namespace {

constexpr int32_t kWide = 2000;

struct Drawn {
    int32_t X, Y;
    std::string Text;
    friend bool operator==(const Drawn&, const Drawn&) = default;
    friend std::ostream& operator<<(std::ostream& o, const Drawn& d) {
        return o << "(" << d.X << "," << d.Y << " \"" << d.Text << "\")";
    }
};

// Typesets text on a fresh recording canvas and returns the canvas.
TRecordingCanvas Set(const std::string& text, int32_t right = kWide, int32_t charHeight = 14,
                     int32_t top = 0) {
    TRecordingCanvas c;
    c.CharHeight = charHeight;
    TBunDispCalc calc;
    calc.Typeset(c, 0, top, right, 48, text);
    return c;
}

std::vector<Drawn> Texts(const TRecordingCanvas& c) {
    std::vector<Drawn> out;
    for (const auto& call : c.Of("TextOut")) out.push_back({call.Args[0], call.Args[1], call.Text});
    return out;
}

}  // namespace

TEST(TBunDispCalcTest, MetricsForCharacterHeight14) {
    TRecordingCanvas c;
    TBunDispCalc calc;
    calc.Typeset(c, 0, 0, kWide, 48, ";");
    EXPECT_EQ(calc.GetCharHeight(), 14);
    EXPECT_EQ(calc.GetBarY(), 24);
    EXPECT_EQ(calc.GetTextY(), 17);
    EXPECT_EQ(calc.GetNumY(), 9);
    EXPECT_EQ(calc.GetDenY(), 26);
    EXPECT_EQ(calc.GetPowerY(), 14);
    EXPECT_EQ(calc.GetHighPowerY(), 6);
}

TEST(TBunDispCalcTest, MetricsKeepTheCellsApartForOtherHeights) {
    // Whatever the font, a numerator ends above the bar and a denominator starts below it,
    // and everything fits the control's 3 * H + 6 rows.
    for (int32_t h = 6; h <= 80; ++h) {
        TRecordingCanvas c;
        c.CharHeight = h;
        TBunDispCalc calc;
        calc.Typeset(c, 0, 0, kWide, 3 * h + 6, ";");
        EXPECT_LT(calc.GetNumY() + h, calc.GetBarY()) << h;
        EXPECT_GT(calc.GetDenY(), calc.GetBarY()) << h;
        EXPECT_LE(calc.GetDenY() + h, 3 * h + 6) << h;
        EXPECT_GE(calc.GetHighPowerY(), 0) << h;
        EXPECT_EQ(calc.GetTextY() + h / 2, calc.GetBarY()) << "the bar runs through the middle of a text cell, H " << h;
    }
}

TEST(TBunDispCalcTest, EmptyTextAndTerminatorOnlyClearAndStartAtTwo) {
    for (const char* text : {"", ";"}) {
        TRecordingCanvas c = Set(text);
        ASSERT_EQ(c.Of("FillRect").size(), 1u) << text;
        EXPECT_EQ(c.Of("FillRect")[0].Args, (std::vector<int32_t>{0, 0, kWide, 48}));
        EXPECT_TRUE(c.Of("TextOut").empty());
        EXPECT_EQ(c.PenPos(), (TPoint{2, 0}));
    }
}

TEST(TBunDispCalcTest, ThreeQuartersAsOnPaper) {
    TRecordingCanvas c = Set("3/4;");
    ASSERT_EQ(c.Of("LineTo").size(), 1u);
    EXPECT_EQ(c.Of("LineTo")[0].Args, (std::vector<int32_t>{6, 24, 17, 24}));
    EXPECT_EQ(Texts(c), (std::vector<Drawn>{{9, 9, "3"}, {9, 26, "4"}}));
    EXPECT_EQ(c.PenPos().x, 17);
}

TEST(TBunDispCalcTest, NarrowerPartIsCentredRemainderDropped) {
    struct {
        const char* Text;
        int32_t NumX, DenX, BarEnd;
        const char* Why;
    } rows[] = {
        {"123/4;", 9, 16, 31, "narrow denominator moves right by (21 - 7) / 2"},
        {"1/23;", 12, 9, 24, "odd difference: (14 - 7) / 2 drops the half pixel"},
        {"12/34;", 9, 9, 24, "equal widths share x"},
        {"5/;", 9, 12, 17, "empty denominator: bar as wide as the numerator plus 4"},
    };
    for (const auto& r : rows) {
        TRecordingCanvas c = Set(r.Text);
        auto t = Texts(c);
        ASSERT_EQ(t.size(), 2u) << r.Text;
        EXPECT_EQ(t[0].X, r.NumX) << r.Why;
        EXPECT_EQ(t[1].X, r.DenX) << r.Why;
        EXPECT_EQ(c.Of("LineTo")[0].Args[2], r.BarEnd) << r.Why;
        EXPECT_EQ(c.PenPos().x, r.BarEnd) << r.Why;
    }
}

TEST(TBunDispCalcTest, ExponentRows) {
    struct {
        const char* Text;
        std::vector<int32_t> Rows;  // the y of each exponent in order
        const char* Why;
    } rows[] = {
        {"2^3;", {14}, "after a number: PowerY"},
        {"2^3^4;", {14, 12}, "a second exponent sits 2 pixels higher"},
        {"(1)^2;", {6}, "after a parenthesis: HighPowerY"},
        {"1/2^2;", {6}, "after a fraction: HighPowerY"},
        {"1/2^2^3;", {6, 4}, "stacked after a fraction"},
        {"1/2 3^2;", {14}, "a number after a fraction brings back PowerY"},
        {"2^3 4^5;", {14, 14}, "a number in between resets the stack"},
        {"x^2;", {14}, "after a word: PowerY"},
        {"x^y;", {}, "^ before a letter is text, no exponent"},
    };
    for (const auto& r : rows) {
        TRecordingCanvas c = Set(r.Text);
        std::vector<int32_t> ys;
        for (const auto& call : c.Of("TextOut"))
            if (call.FontSize == 6) ys.push_back(call.Args[1]);
        EXPECT_EQ(ys, r.Rows) << r.Why;
    }
}

TEST(TBunDispCalcTest, ExponentIsSmallDrawnAsReadAndSizeRestored) {
    TRecordingCanvas c = Set("2^1/2;");
    EXPECT_EQ(Texts(c), (std::vector<Drawn>{{4, 17, "2"}, {13, 14, "1/2"}}));
    EXPECT_EQ(c.Of("TextOut")[1].FontSize, 10 / 2 + 1);
    EXPECT_EQ(c.Size, 10);
    EXPECT_EQ(c.PenPos().x, 13 + 21);
}

TEST(TBunDispCalcTest, EmptyExponentDrawsNothingButRestoresSize) {
    TRecordingCanvas c = Set("2^();");
    EXPECT_EQ(Texts(c).size(), 1u);
    ASSERT_FALSE(c.Of("SetFontSize").empty());
    EXPECT_EQ(c.Of("SetFontSize").back().Args[0], 10);
}

TEST(TBunDispCalcTest, OperatorsBecomeFullWidthAndOthersStay) {
    TRecordingCanvas c = Set("1+2-3*4 /5^+[;");
    std::vector<std::string> shown;
    for (const auto& d : Texts(c)) shown.push_back(d.Text);
    EXPECT_EQ(shown, (std::vector<std::string>{"1", "＋", "2", "－", "3", "×", "4", "÷", "5", "^", "＋", "["}));
}

TEST(TBunDispCalcTest, TokensKeepTwoPixelGapsAndSpacesAreNotDrawn) {
    TRecordingCanvas c = Set("1 2-0.5;");
    EXPECT_EQ(Texts(c), (std::vector<Drawn>{{4, 17, "1"}, {13, 17, "2"}, {22, 17, "－"}, {38, 17, "0.5"}}));
}

TEST(TBunDispCalcTest, ParenthesesAreArcsWithTheirBoxesAndRays) {
    TRecordingCanvas c = Set("(1);");
    auto arcs = c.Of("Arc");
    ASSERT_EQ(arcs.size(), 2u);
    // "(" at X = 2: L = 4, box from (4, NumY - 3) to (18, BarY + 14 + 3), rays through x = L + 7 - 3.
    EXPECT_EQ(arcs[0].Args, (std::vector<int32_t>{4, 6, 18, 41, 8, 3, 8, 38}));
    // "1" at 9 + 2 = 11, ends at 18; ")" at X = 18: L = 20, box shifted left by 7, rays at L + 3.
    EXPECT_EQ(Texts(c), (std::vector<Drawn>{{11, 17, "1"}}));
    EXPECT_EQ(arcs[1].Args, (std::vector<int32_t>{13, 6, 27, 41, 23, 38, 23, 3}));
    EXPECT_EQ(c.PenPos(), (TPoint{18 + 2 + 7, 41}));
}

TEST(TBunDispCalcTest, ArcRaysFollowTheRectangleTop) {
    TRecordingCanvas c = Set("(;", kWide, 14, 10);
    ASSERT_EQ(c.Of("Arc").size(), 1u);
    EXPECT_EQ(c.Of("Arc")[0].Args[5], 10 + 3);
}

TEST(TBunDispCalcTest, RecurringDigitsWithSmallCharactersGetPixelDots) {
    // H = 14: dy = 2, dx = 7 / 3 = 2, r = 1: a one-pixel box filled in the font colour.
    TRecordingCanvas c = Set("[123];");
    EXPECT_EQ(Texts(c), (std::vector<Drawn>{{4, 17, "1"}, {13, 17, "2"}, {22, 17, "3"}}));
    auto fills = c.Of("FillRect");
    ASSERT_EQ(fills.size(), 3u);  // the clearing, then one dot over the 1 and one over the 3
    EXPECT_EQ(fills[1].Args, (std::vector<int32_t>{6, 14, 7, 15}));
    EXPECT_EQ(fills[2].Args, (std::vector<int32_t>{24, 14, 25, 15}));
    EXPECT_EQ(fills[1].Brush, 0x000080u);
    EXPECT_EQ(c.Brush, 0xFFFFFFu);
    EXPECT_TRUE(c.Of("Ellipse").empty());
}

TEST(TBunDispCalcTest, RecurringCountsAndGaps) {
    struct {
        const char* Text;
        std::vector<Drawn> Texts;
        size_t Dots;
        const char* Why;
    } rows[] = {
        {"[7];", {{4, 17, "7"}, {13, 17, ""}}, 1, "one digit, one dot; the empty middle still advances"},
        {"[12];", {{4, 17, "1"}, {13, 17, ""}, {15, 17, "2"}}, 2, "empty middle still adds its 2-pixel gap"},
        {"[;", {{4, 17, "["}}, 0, "no digits: the bracket itself"},
        {"0.1[6];", {{4, 17, "0.1"}, {27, 17, "6"}, {36, 17, ""}}, 1, "after a decimal"},
    };
    for (const auto& r : rows) {
        TRecordingCanvas c = Set(r.Text);
        EXPECT_EQ(Texts(c), r.Texts) << r.Why;
        EXPECT_EQ(c.Of("FillRect").size() - 1, r.Dots) << r.Why;
    }
}

TEST(TBunDispCalcTest, RecurringDotsWithLargeCharactersAreEllipses) {
    // H = 16: TextY = 19, dy = 3, r = 2.
    TRecordingCanvas c = Set("[7];", kWide, 16);
    ASSERT_EQ(c.Of("Ellipse").size(), 1u);
    EXPECT_EQ(c.Of("Ellipse")[0].Args, (std::vector<int32_t>{6, 14, 8, 16}));
    EXPECT_EQ(c.Of("FillRect").size(), 1u);
}

TEST(TBunDispCalcTest, RightEdgeRules) {
    struct {
        const char* Text;
        int32_t Right;
        std::vector<Drawn> Texts;
        int32_t EndX;
        const char* Why;
    } rows[] = {
        {"12;", 18, {{4, 17, "12"}}, 18, "ending exactly at the edge is drawn"},
        {"12;", 17, {}, 18, "one pixel more: measured, not drawn, still advances"},
        {"1234 5 (6;", 30, {}, 32, "after the crossing token nothing draws or advances"},
        {"1 2;", 11, {{4, 17, "1"}}, 20, "a token starting at the edge is measured; the one starting past it is not"},
        {"2^345;", 12, {{4, 17, "2"}, {13, 14, "345"}}, 34, "exponents are never tested"},
        {"[123];", 5, {{4, 17, "1"}, {22, 17, "3"}}, 29, "first and last recurring digits are never tested; the middle is"},
        {"3/4;", 12, {}, 17, "fraction wider than the rest: no bar, position after it"},
        {"3/4;", 15, {}, 17, "the bar fits but the digits do not"},
        {"1(2;", 10, {}, 11, "a parenthesis past the edge draws nothing"},
    };
    for (const auto& r : rows) {
        TRecordingCanvas c = Set(r.Text, r.Right);
        EXPECT_EQ(Texts(c), r.Texts) << r.Why;
        EXPECT_EQ(c.PenPos().x, r.EndX) << r.Why;
    }
}

TEST(TBunDispCalcTest, FractionBarDrawnWhenOnlyTheDigitsCross) {
    TRecordingCanvas c = Set("3/4;", 15);
    EXPECT_EQ(c.Of("LineTo").size(), 1u);
    EXPECT_TRUE(Set("3/4;", 12).Of("LineTo").empty());
}

TEST(TBunDispCalcTest, ParenthesisIsTestedOnlyByWhereItStarts) {
    TRecordingCanvas c = Set("(;", 2);
    ASSERT_EQ(c.Of("Arc").size(), 1u);
    EXPECT_GT(c.Of("Arc")[0].Args[2], 2);  // its box reaches beyond the edge
}

TEST(TBunDispCalcTest, FontSizeRestoredWhenTheExponentFailsToDraw) {
    TRecordingCanvas c;
    c.ThrowOn = "TextOut";
    c.ThrowAfter = 2;  // the base "2" draws, the exponent throws
    TBunDispCalc calc;
    EXPECT_THROW(calc.Typeset(c, 0, 0, kWide, 48, "2^3;"), std::runtime_error);
    EXPECT_EQ(c.Size, 10);
}

TEST(TBunDispCalcTest, BrushRestoredWhenTheDotFailsToFill) {
    TRecordingCanvas c;
    c.ThrowOn = "FillRect";
    c.ThrowAfter = 2;  // the clearing fills, the dot throws
    TBunDispCalc calc;
    EXPECT_THROW(calc.Typeset(c, 0, 0, kWide, 48, "[7];"), std::runtime_error);
    EXPECT_EQ(c.Brush, 0xFFFFFFu);
}

TEST(TBunDispCalcTest, EachPassStartsFromAnEmptyTokenList) {
    TRecordingCanvas c;
    TBunDispCalc calc;
    calc.Typeset(c, 0, 0, kWide, 48, "1+2;");
    c.Calls.clear();
    calc.Typeset(c, 0, 0, kWide, 48, "7;");
    EXPECT_EQ(Texts(c), (std::vector<Drawn>{{4, 17, "7"}}));
    EXPECT_EQ(calc.Tokens().Count(), 1);
}

TEST(TBunDispCalcTest, MixedNumberReadsAsOnPaper) {
    TRecordingCanvas c = Set("-(1+1/2);");
    // minus, arc, 1, plus, fraction, arc: each starts right of where the previous one ended.
    auto t = Texts(c);
    ASSERT_EQ(t.size(), 5u);
    EXPECT_EQ(t[0], (Drawn{4, 17, "－"}));
    auto arcs = c.Of("Arc");
    ASSERT_EQ(arcs.size(), 2u);
    EXPECT_EQ(arcs[0].Args[0], 20);        // "(" at X = 18
    EXPECT_EQ(t[1], (Drawn{27, 17, "1"}));  // after the "(" advance of h2 = 7
    EXPECT_EQ(t[2], (Drawn{36, 17, "＋"}));
    EXPECT_EQ(c.Of("LineTo")[0].Args, (std::vector<int32_t>{54, 24, 65, 24}));
    EXPECT_EQ(arcs[1].Args[0], 65 + 2 - 7);
}
