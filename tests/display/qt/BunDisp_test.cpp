// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The Qt canvas and the display control on Qt's offscreen platform, with the real font.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QScrollBar>
#include <QTextLayout>
#include <QWheelEvent>
#include <QWidget>

#include <fstream>
#include <memory>
#include <string>

#include "display/qt/BunDisp.h"
#include "display/BunDispCal.h"
#include "display/qt/qtcanvas.h"
#include "tests/display/qt/display_font.h"

namespace {

bool Dark(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 128; }

int DarkPixels(const QImage& image, int left, int right) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = std::max(0, left); x < std::min(image.width(), right); ++x) n += Dark(image, x, y);
    return n;
}

QImage White(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// A canvas with the display's default font, white brush, one-pixel pen.
void Prepare(TQtCanvas& c, const QFont& font = TBunDisp::defaultFont()) {
    c.SetDpi(96);
    c.SetFont(font, Qt::black);
    c.SetBrushColor(0xFFFFFF);
    c.SetPenWidth(1);
}

// The whole drawing of text on one image wide enough for all of it: the picture the
// control's windows must reproduce.
QImage WholeDrawing(const std::string& text, int width, int height) {
    TQtCanvas c;
    Prepare(c);
    QImage image = White(width, height);
    c.Begin(image, 0);
    TBunDispCalc calc;
    calc.Typeset(c, 0, 0, 1 << 30, height, text);
    c.End();
    return image;
}

// A main window stand-in in the display's usual font with its scroll bar and the display,
// 306 pixels wide.
struct Window {
    QWidget Form;
    bool FontSet = (Form.setFont(TBunDisp::defaultFont()), true);  // before the display takes it
    QScrollBar* Bar = new QScrollBar(&Form);
    TBunDisp* Disp = new TBunDisp(&Form, Bar);
    Window() { Disp->resize(306, Disp->controlHeight()); }
};

long StatusKiB(const char* key) {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

}  // namespace

TEST(DisplayFontTest, DefaultFontIsFoundAndCoversEveryGlyphItDraws) {
    SKIP_WITHOUT_DISPLAY_FONT();
    const QFont font = TBunDisp::defaultFont();
    EXPECT_EQ(QFontInfo(font).family(), "IPAGothic") << "install fonts-ipafont-gothic";
    // Monospaced in the Japanese way: every half-width character one width, full-width two.
    const QFontMetricsF m(font);
    for (QChar ch : QStringLiteral("0123456789.+-[]^"))
        EXPECT_EQ(m.horizontalAdvance(ch), m.horizontalAdvance(QLatin1Char('0'))) << ch.toLatin1();
    for (QChar ch : QString::fromUtf8("－＋×÷浮"))
        EXPECT_EQ(m.horizontalAdvance(ch), 2 * m.horizontalAdvance(QLatin1Char('0')));
    QFont small = font;
    small.setPointSize(6);  // the exponents' size
    const char* texts[] = {
        "0123456789.,:;()[]^/+-*…",  // digits and the punctuation of results
        "－＋×÷",                    // the full-width operators
        "メモリが不足しています",
        "浮動小数点数のオーバーフロー",
        "ERROR",
    };
    for (const QFont& f : {font, small}) {
        for (const char* t : texts) {
            QTextLayout layout(QString::fromUtf8(t), f);
            layout.beginLayout();
            layout.createLine();
            layout.endLayout();
            const auto runs = layout.glyphRuns();
            ASSERT_FALSE(runs.isEmpty()) << t;
            for (const QGlyphRun& run : runs) {
                // A glyph from any other font (or glyph 0, the empty box) means the display
                // font lacks it.
                EXPECT_EQ(run.rawFont().familyName(), "IPAGothic") << t;
                for (quint32 g : run.glyphIndexes()) EXPECT_NE(g, 0u) << t;
            }
        }
    }
}

TEST(DisplayFontTest, UsualFontHasWholePixelCellsFifteenRowsHigh) {
    SKIP_WITHOUT_DISPLAY_FONT();
    // 14 pixels to the em: the digits 7 pixels wide and full-width characters 14, so columns
    // line up. The font's ascent and descent add up to 1.075 em, so its text cell is 15 rows
    // and the control 3 * 15 + 6 = 51 pixels high. (13 pixels would give a 14-row cell, but
    // half-pixel digits.)
    TQtCanvas c;
    Prepare(c);
    EXPECT_EQ(TBunDisp::defaultFont().pixelSize(), 14);
    EXPECT_EQ(c.TextWidth("0"), 7);
    EXPECT_EQ(c.TextWidth("0123456789"), 70);
    EXPECT_EQ(c.TextWidth("数字がない"), 5 * 14);
    EXPECT_EQ(c.TextHeight("0"), 15);
    EXPECT_EQ(c.FontSize(), 11) << "10.5 points at 96 dots per inch, in whole points";
    QWidget form;
    form.setFont(TBunDisp::defaultFont());
    TBunDisp disp(&form, new QScrollBar(&form));
    EXPECT_EQ(disp.height(), 51);
}

TEST(TQtCanvasTest, LineLeavesItsEndPointUnpainted) {
    TQtCanvas c;
    Prepare(c);
    QImage image = White(40, 40);
    c.Begin(image, 0);
    c.MoveTo(6, 24);
    c.LineTo(17, 24);
    c.End();
    for (int x = 6; x < 17; ++x) EXPECT_TRUE(Dark(image, x, 24)) << x;
    EXPECT_FALSE(Dark(image, 5, 24));
    EXPECT_FALSE(Dark(image, 17, 24));
    EXPECT_EQ(DarkPixels(image, 0, 40), 11) << "a one-pixel pen paints one row";
}

TEST(TQtCanvasTest, TextCellIsFilledWithTheBrushAndPositionAdvances) {
    TQtCanvas c;
    Prepare(c);
    c.SetBrushColor(0xFF0000);
    QImage image = White(60, 40);
    c.Begin(image, 0);
    c.TextOut(10, 5, "1");
    c.End();
    const int w = c.TextWidth("1");
    EXPECT_EQ(c.PenPos(), (TPoint{10 + w, 5}));
    EXPECT_EQ(image.pixel(10, 5), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(10 + w - 1, 5 + c.TextHeight("0") - 1), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(10 + w, 5), qRgb(255, 255, 255));
}

TEST(TQtCanvasTest, ArcsRunCounterClockwiseBetweenTheirRays) {
    // "(" must be the left part of its ellipse and ")" the right part: the rays are
    // translated into the painter's angles, counter-clockwise on the screen.
    for (const char* text : {"(;", ");"}) {
        TQtCanvas c;
        Prepare(c);
        QImage image = White(60, 60);
        c.Begin(image, 0);
        TBunDispCalc calc;
        calc.Typeset(c, 0, 0, 60, 60, text);
        c.End();
        const int h = calc.GetCharHeight();
        const int centre = text[0] == '(' ? 4 + h / 2 : 4 - h / 2 + h / 2;  // box centre of each arc
        const int left = DarkPixels(image, 0, centre - 1), right = DarkPixels(image, centre + 2, 60);
        if (text[0] == '(') {
            EXPECT_GT(left, 20) << text;
            EXPECT_EQ(right, 0) << text;
        } else {
            EXPECT_GT(right, 20) << text;
            EXPECT_EQ(left, 0) << text;
        }
    }
}

TEST(TQtCanvasTest, SmallSizeAndBackRestoresTheFontExactly) {
    TQtCanvas c;
    Prepare(c);  // a font given in pixels: its whole-point size is only approximate
    const int32_t base = c.FontSize(), w = c.TextWidth("1234567890"), h = c.TextHeight("0");
    c.SetFontSize(base / 2 + 1);
    EXPECT_LT(c.TextWidth("1234567890"), w);
    c.SetFontSize(base);
    EXPECT_EQ(c.TextWidth("1234567890"), w);
    EXPECT_EQ(c.TextHeight("0"), h);
}

TEST(TQtCanvasTest, LongTextsAreMeasuredAndDrawnInWholeCharacters) {
    TQtCanvas c;
    Prepare(c);
    std::string kanji;
    for (int i = 0; i < 1000; ++i) kanji += "浮";  // chunk boundaries fall inside characters
    EXPECT_EQ(c.TextWidth(kanji), 1000 * c.TextWidth("浮"));
    EXPECT_EQ(c.TextWidth(std::string(100000, '7')), 100000 * c.TextWidth("7"));
}

// Chunks of digits alone are added up from the digits' advances instead of being shaped:
// the widths must be those of the shaped chunks, in proportional fonts and beside other
// characters too.
TEST(TQtCanvasTest, LongDigitTextsAreAsWideAsTheirShapedChunks) {
    std::string digits;
    for (unsigned i = 0, x = 12345; i < 20000; ++i, x = x * 1103515245u + 12345u) digits += char('0' + (x >> 16) % 10);
    const std::string mixed = digits.substr(0, 9000) + "/" + digits.substr(9000) + "+1";
    for (const QFont& font : {TBunDisp::defaultFont(), QFont("DejaVu Sans", 13), QFont("DejaVu Serif", 9)}) {
        TQtCanvas c;
        Prepare(c, font);
        QImage device(1, 1, QImage::Format_RGB32);
        device.setDotsPerMeterX(static_cast<int>(std::lround(96 / 0.0254)));
        device.setDotsPerMeterY(static_cast<int>(std::lround(96 / 0.0254)));
        const QFontMetricsF metrics(font, &device);
        for (const std::string& text : {digits, mixed}) {
            int64_t shaped = 0;
            for (size_t i = 0; i < text.size(); i += TQtCanvas::kChunkBytes)
                shaped += std::lround(metrics.horizontalAdvance(QString::fromStdString(text.substr(i, TQtCanvas::kChunkBytes))));
            EXPECT_EQ(c.TextWidth(text), shaped) << font.family().toStdString() << " " << text.size();
        }
    }
}

TEST(TQtCanvasTest, WindowOfTheDrawingMatchesTheWholeDrawing) {
    // Typesetting with the image's left edge at drawing column 3000 gives the same pixels
    // as the same columns of one image holding everything.
    std::string text = "-(" + std::string(300, '4') + "浮浮" + std::string(300, '5') + "+1/2)*2^3;";
    const QImage whole = WholeDrawing(text, 5000, 51);
    TQtCanvas c;
    Prepare(c);
    QImage part = White(700, 51);
    c.Begin(part, 3000);
    TBunDispCalc calc;
    calc.Typeset(c, 0, 0, 1 << 30, 51, text);
    c.End();
    EXPECT_TRUE(part == whole.copy(3000, 0, 700, 51));
    EXPECT_GT(DarkPixels(part, 0, 700), 100);
}

TEST(TBunDispTest, CreationSetsUpTheScrollBarAndHeight) {
    Window w;
    EXPECT_EQ(w.Bar->orientation(), Qt::Horizontal);
    EXPECT_EQ(w.Bar->minimum(), 0);
    EXPECT_EQ(w.Bar->maximum(), 0);
    EXPECT_EQ(w.Bar->singleStep(), 5);
    EXPECT_EQ(w.Bar->pageStep(), 50);
    EXPECT_FALSE(w.Bar->isHidden());
    TQtCanvas c;
    Prepare(c);
    EXPECT_EQ(w.Disp->controlHeight(), 3 * c.TextHeight("0") + 6);
    EXPECT_EQ(w.Disp->height(), w.Disp->controlHeight());
    EXPECT_TRUE(w.Disp->CurrentText().empty());
}

TEST(TBunDispTest, StartsInTheOwnersFontAndTextColour) {
    QWidget form;
    QFont big = TBunDisp::defaultFont();
    big.setPixelSize(30);
    form.setFont(big);
    QPalette p = form.palette();
    p.setColor(QPalette::WindowText, QColor(0x12, 0x34, 0x56));
    form.setPalette(p);
    QScrollBar* bar = new QScrollBar(&form);
    TBunDisp* disp = new TBunDisp(&form, bar);
    TQtCanvas c;
    Prepare(c, big);
    EXPECT_EQ(disp->displayFont().pixelSize(), 30);
    EXPECT_EQ(disp->fontColor(), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(disp->height(), 3 * c.TextHeight("0") + 6);
    disp->resize(100, disp->height());
    disp->ShowText("1/2;");
    const int h = c.TextHeight("0"), barY = h + h / 2 + 3;
    EXPECT_EQ(disp->visibleImage().pixel(8, barY), qRgb(0x12, 0x34, 0x56)) << "the bar in the font colour";
}

TEST(TBunDispTest, EmptyTextGivesWhiteControlAndHiddenBar) {
    for (const char* text : {"", ";"}) {
        Window w;
        w.Disp->ShowText(text);
        EXPECT_EQ(w.Disp->CurrentText(), text);
        EXPECT_EQ(w.Bar->maximum(), 0);
        EXPECT_TRUE(w.Bar->isHidden());
        EXPECT_EQ(DarkPixels(w.Disp->visibleImage(), 0, 306), 0);
    }
}

TEST(TBunDispTest, ScrollRangeFollowsTheDrawingEnd) {
    SKIP_WITHOUT_DISPLAY_FONT();
    Window w;
    w.Disp->ShowText("1234567;");
    const int end = w.Disp->drawingWidth();
    EXPECT_EQ(end, 4 + 7 * 7);

    w.Disp->resize(end, w.Disp->height());
    w.Disp->ShowText("1234567;");
    EXPECT_EQ(w.Bar->maximum(), 0) << "ending exactly at the control's width fits";
    EXPECT_TRUE(w.Bar->isHidden());

    w.Disp->resize(end - 1, w.Disp->height());
    w.Disp->ShowText("1234567;");
    EXPECT_EQ(w.Bar->maximum(), 1);
    EXPECT_FALSE(w.Bar->isHidden());
}

TEST(TBunDispTest, NewTextAndNewFontResetTheScrollPosition) {
    Window w;
    const std::string text = std::string(100, '9') + ";";
    w.Disp->ShowText(text);
    w.Bar->setValue(200);
    w.Disp->ShowText(text);
    EXPECT_EQ(w.Bar->value(), 0);
    w.Bar->setValue(200);
    w.Disp->ApplyFont();
    EXPECT_EQ(w.Bar->value(), 0);
    EXPECT_EQ(w.Disp->CurrentText(), text);
}

TEST(TBunDispTest, BiggerFontMakesTheControlTallerAndTheLinesThicker) {
    Window w;
    QFont big = TBunDisp::defaultFont();
    big.setPointSize(21);  // 21 div 8: a two-pixel pen
    w.Disp->setDisplayFont(big, Qt::black);
    w.Disp->ApplyFont();
    TQtCanvas c;
    Prepare(c, big);
    const int h = c.TextHeight("0");
    EXPECT_EQ(w.Disp->controlHeight(), 3 * h + 6);
    EXPECT_EQ(w.Disp->height(), 3 * h + 6);

    w.Disp->ShowText("1/2;");
    const QImage view = w.Disp->visibleImage();
    const int barY = h + h / 2 + 3, x = 8;  // a column inside the bar, between the digits' cells
    EXPECT_TRUE(Dark(view, x, barY));
    EXPECT_TRUE(Dark(view, x, barY + 1));
    EXPECT_FALSE(Dark(view, x, barY - 1));
    EXPECT_FALSE(Dark(view, x, barY + 2));
}

TEST(TBunDispTest, EveryScrollPositionShowsTheSameColumnsAsTheWholeDrawing) {
    // Wider than the off-screen window, with tokens after the one that first passes 2000
    // pixels: the closing arc, the exponent and the recurring dots must all be reachable.
    const std::string text = "-(" + std::string(1000, '8') + "+1/2)*2^3+0.[123];";
    Window w;
    w.Disp->ShowText(text);
    const int end = w.Disp->drawingWidth();
    ASSERT_GT(end, 7000);
    EXPECT_EQ(w.Bar->maximum(), end - 306);
    const QImage whole = WholeDrawing(text, end + 20, w.Disp->height());
    for (int x : {0, 5, 1234, 1700, 3999, 6000, end - 306 - 77, end - 306}) {
        w.Bar->setValue(x);
        EXPECT_TRUE(w.Disp->visibleImage() == whole.copy(x, 0, 306, w.Disp->height())) << "at " << x;
    }
    EXPECT_GT(DarkPixels(w.Disp->visibleImage(), 0, 306), 200) << "the end of the drawing is shown";
}

TEST(TBunDispTest, WideControlShowsTheDrawingPastTwoThousandPixels) {
    SKIP_WITHOUT_DISPLAY_FONT();
    Window w;
    w.Disp->resize(2600, w.Disp->height());
    w.Disp->ShowText(std::string(360, '1') + ";");  // 4 + 360 * 7 = 2524 pixels
    EXPECT_TRUE(w.Bar->isHidden());
    const QImage view = w.Disp->visibleImage();
    ASSERT_EQ(view.width(), 2600);
    EXPECT_GT(DarkPixels(view, 2400, 2524), 100) << "digits right of x = 2000";
    EXPECT_EQ(DarkPixels(view, 2524, 2600), 0);
}

TEST(TBunDispTest, TallFontShowsRowsBelowFiveHundred) {
    Window w;
    QFont huge = TBunDisp::defaultFont();
    huge.setPixelSize(400);
    w.Disp->setDisplayFont(huge, Qt::black);
    w.Disp->ApplyFont();
    ASSERT_GT(w.Disp->height(), 1000);
    w.Disp->resize(600, w.Disp->height());
    w.Disp->ShowText("1/2;");
    const QImage view = w.Disp->visibleImage();
    ASSERT_EQ(view.height(), w.Disp->height());
    EXPECT_GT(DarkPixels(view.copy(0, 600, 600, view.height() - 600), 0, 600), 1000) << "the denominator";
}

TEST(TBunDispTest, SharpAtTwiceTheDevicePixels) {
    Window one, two;
    two.Disp->setRenderRatio(2);
    one.Disp->ShowText("1/2;");
    two.Disp->ShowText("1/2;");
    EXPECT_EQ(two.Disp->drawingWidth(), one.Disp->drawingWidth()) << "geometry stays in pixels";
    const QImage view = two.Disp->visibleImage();
    EXPECT_EQ(view.width(), 2 * 306);
    EXPECT_EQ(view.height(), 2 * two.Disp->height());
    // The one-pixel bar is exactly two device rows of full black: drawn, not scaled up.
    TQtCanvas c;
    Prepare(c);
    const int h = c.TextHeight("0"), barY = h + h / 2 + 3, x = 2 * 7;
    EXPECT_EQ(view.pixel(x, 2 * barY), qRgb(0, 0, 0));
    EXPECT_EQ(view.pixel(x, 2 * barY + 1), qRgb(0, 0, 0));
    EXPECT_EQ(view.pixel(x, 2 * barY - 1), qRgb(255, 255, 255));
    EXPECT_EQ(view.pixel(x, 2 * barY + 2), qRgb(255, 255, 255));
}

TEST(TBunDispTest, MillionDigitsShownAndScrolledWithinTheMemoryBound) {
    constexpr long kBoundKiB = 64 * 1024;
    Window w;
    const std::string text = std::string(1'000'000, '6') + "/7;";
    {
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5";  // start the peak-memory count afresh
    }
    const long before = StatusKiB("VmRSS:");
    w.Disp->ShowText(text);
    const int end = w.Disp->drawingWidth();
    EXPECT_GT(end, 6'000'000);
    EXPECT_EQ(w.Bar->maximum(), end - 306);
    w.Bar->setValue(w.Bar->maximum());
    const QImage last = w.Disp->visibleImage();
    w.Bar->setValue(w.Bar->maximum() / 2);
    w.Bar->setValue(w.Bar->maximum() - 1000);
    EXPECT_LE(w.Disp->offscreenBytes(), int64_t{kBoundKiB} * 1024);
    if (!kSanitized) {  // the sanitizer's quarantine keeps freed memory counted
        EXPECT_LT(StatusKiB("VmHWM:") - before, kBoundKiB);
    }
    EXPECT_GT(DarkPixels(last, 0, 306), 300) << "the last digits and the end of the bar are shown";
    TQtCanvas c;
    Prepare(c);
    const int h = c.TextHeight("0"), barY = h + h / 2 + 3;
    EXPECT_TRUE(Dark(last, 305, barY)) << "the view ends where the bar ends";
    EXPECT_FALSE(Dark(last, 305, barY - 2));
}

TEST(TBunDispTest, HundredThousandTokensScrollToTheEnd) {
    auto sum = [](int pairs) {
        std::string text;
        for (int i = 0; i < pairs; ++i) text += "1+";
        return text + "1;";
    };
    Window w;
    w.Disp->ShowText(sum(50'000));
    w.Bar->setValue(w.Bar->maximum());
    // The sum repeats itself, so its last 306 columns look like those of a short sum.
    const std::string shortSum = sum(40);
    Window s;
    s.Disp->ShowText(shortSum);
    const int shortEnd = s.Disp->drawingWidth();
    const QImage whole = WholeDrawing(shortSum, shortEnd + 20, w.Disp->height());
    EXPECT_TRUE(w.Disp->visibleImage() == whole.copy(shortEnd - 306, 0, 306, w.Disp->height()));
    EXPECT_GT(DarkPixels(w.Disp->visibleImage(), 0, 306), 100);
    EXPECT_LE(w.Disp->offscreenBytes(), int64_t{64} << 20);
}

TEST(TBunDispTest, ScrollingAcrossADrawingThatFitsOnlyMovesTheOffset) {
    Window w;
    w.Disp->ShowText(std::string(200, '3') + ";");  // 1404 pixels: inside the off-screen image
    ASSERT_GT(w.Bar->maximum(), 1000);
    for (int x : {5, 600, w.Bar->maximum()}) {
        w.Bar->setValue(x);
        EXPECT_EQ(w.Disp->offscreenOrigin(), 0) << "no typesetting again at " << x;
    }
}

TEST(TBunDispTest, ThePaintedControlShowsTheVisibleImage) {
    Window w;
    w.Disp->ShowText("-(1+1/2)*2^3+" + std::string(300, '5') + ";");
    w.Bar->setValue(w.Bar->maximum() - 40);
    const QImage painted = w.Disp->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage shown = w.Disp->visibleImage();
    shown.setDevicePixelRatio(painted.devicePixelRatio());
    EXPECT_TRUE(painted == shown);
    EXPECT_GT(DarkPixels(painted, 0, 306), 100);
}

// The recurring dot is the topmost mark of "0.[3]"; like the glyphs and the bar, it
// scales with the device pixel ratio (four times the device pixels at ratio 2).
TEST(TBunDispTest, RecurringDotScalesWithTheDevicePixelRatio) {
    auto dotPixels = [](qreal ratio) {
        Window w;
        w.Disp->setRenderRatio(ratio);
        w.Disp->ShowText("0.[3];");
        const QImage view = w.Disp->visibleImage();
        auto darkInRow = [&](int y) {
            int n = 0;
            for (int x = 0; x < view.width(); ++x) n += qGray(view.pixel(x, y)) < 128;
            return n;
        };
        int y = 0;
        while (y < view.height() && darkInRow(y) == 0) ++y;
        int n = 0;
        for (; y < view.height() && darkInRow(y) > 0; ++y) n += darkInRow(y);
        return n;
    };
    const int one = dotPixels(1), two = dotPixels(2);
    ASSERT_GT(one, 0);
    EXPECT_EQ(two, 4 * one);
}

// A long expression being typed: the view follows the given position (the caret), just
// far enough; the wheel scrolls as the bar does.
TEST(TBunDispTest, ViewFollowsThePositionAndTheWheelScrolls) {
    Window w;
    std::string text;
    for (int i = 1; i <= 60; ++i) text += std::to_string(i) + "+";
    text += "1;";
    w.Disp->ShowText(text);
    ASSERT_GT(w.Bar->maximum(), 0);
    EXPECT_EQ(w.Bar->value(), 0);
    w.Disp->FollowPosition(text.size() - 1);  // the end: the last digits in view
    EXPECT_EQ(w.Bar->value(), w.Bar->maximum());
    const int atEnd = w.Bar->value();
    w.Disp->FollowPosition(text.size() - 3);  // a little left, still in view: no move
    EXPECT_EQ(w.Bar->value(), atEnd);
    w.Disp->FollowPosition(0);
    EXPECT_EQ(w.Bar->value(), 0);
    w.Disp->FollowPosition(text.size() / 2);  // the middle comes into view from the left
    const int middle = w.Bar->value();
    EXPECT_GT(middle, 0);
    EXPECT_LT(middle, w.Bar->maximum());

    QWheelEvent down(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                     Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w.Disp, &down);
    EXPECT_GT(w.Bar->value(), middle);
}

// A long text typed into keeps the widths measured for the part it shares with the text
// before; what it shows must be what a fresh display shows of it.
TEST(TBunDispTest, EditedLongTextMeasuresAsAFreshOne) {
    std::string digits;
    for (int i = 0; i < 3000; ++i) digits += static_cast<char>('0' + (i * 7) % 10);
    const std::string edits[] = {digits + "1", digits.substr(0, 2000) + "+" + digits.substr(2000),
                                 digits.substr(0, 2999), "\xE3\x81\x82" + digits};
    for (const std::string& edited : edits) {
        Window typed, fresh;
        typed.Disp->ShowText(digits + ";");
        typed.Disp->ShowText(edited + ";");
        fresh.Disp->ShowText(edited + ";");
        EXPECT_EQ(typed.Disp->drawingWidth(), fresh.Disp->drawingWidth()) << edited.size();
        typed.Bar->setValue(typed.Bar->maximum());
        fresh.Bar->setValue(fresh.Bar->maximum());
        EXPECT_EQ(typed.Disp->visibleImage(), fresh.Disp->visibleImage()) << edited.size();
    }
}
