// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The fraction display control: shows the typeset form of the current display text and
// lets a horizontal scroll bar move a window over drawings wider than the control.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "display/BunDispCal.h"
#include "display/qt/qtcanvas.h"

class QScrollBar;

/// The fraction display under the input line.
///
/// How the window uses it:
///   auto* disp = new TBunDisp(window, hScrollBar);     // child of window; bar borrowed
///   disp->setGeometry(left, top, width, disp->controlHeight());
///   disp->ShowText(text + ";");                          // after every edit, result, resize
///   disp->setDisplayFont(font, colour); disp->ApplyFont(); // after the font dialog / settings
/// The control connects the scroll bar's valueChanged to ScrollView itself and sets the bar's
/// range, steps (5 and 50) and visibility; the window only places the bar under the control.
///
/// Drawing: the typesetter draws into an off-screen image of bounded size that holds the
/// drawing's columns OriginX .. OriginX + image width; painting copies the part selected by
/// the scroll bar. A drawing that fits the image is typeset once per ShowText and scrolling
/// only moves the offset; a wider one is typeset again, shifted, when the view leaves the
/// image, so its memory stays bounded (see kImageBudget) and all of it can be scrolled to.
///
/// Invariants: height() == controlHeight() == 3 * H + 6 with H the text height of "0" in the
/// display font; the scroll bar's maximum is max(0, drawingWidth() - width()) as of the last
/// ShowText and the bar is visible exactly when that maximum is above 0.
class TBunDisp : public QWidget {
    Q_OBJECT
public:
    /// Bytes the off-screen image may take at most.
    static constexpr int64_t kImageBudget = int64_t{32} << 20;
    /// Width of the off-screen image while the control is narrower, and of the widest
    /// image the renderer writes.
    static constexpr int32_t kImageWidth = 2000;

    /// Creates the control as a child of owner (may be null) in the owner's font and
    /// window-text colour (defaultFont() in black without an owner), bound to scrollBar
    /// (borrowed, must outlive the control): horizontal, range 0..0, line step 5, page
    /// step 50, visible.
    TBunDisp(QWidget* owner, QScrollBar* scrollBar);
    ~TBunDisp() override;

    /// The display's usual font: a Japanese-capable monospaced font 14 pixels to the em,
    /// whose half-width characters are 7 pixels wide and whose text cell is 15 pixels high.
    static QFont defaultFont();

    /// Makes text the current display text (the shell appends ";"), typesets it and shows
    /// it from scroll position 0. Throws what typesetting throws (std::bad_alloc, or
    /// TStreamException for a non-empty text without ";"); CurrentText() is set even then.
    void ShowText(const std::string& text);
    /// Hands over a new display font and its colour; takes effect at ApplyFont().
    void setDisplayFont(const QFont& font, const QColor& color);
    /// Hands over the background colour (white unless set); takes effect at ApplyFont().
    void setBackground(const QColor& color) { Background = color; }
    /// The background colour as last given.
    const QColor& background() const { return Background; }
    /// Takes up the font given by setDisplayFont: new line width, new height
    /// (controlHeight()), and shows CurrentText() again from scroll position 0.
    void ApplyFont();
    /// Shows the part of the drawing at the scroll bar's current position. Called on the
    /// bar's valueChanged; never throws (a failed re-typeset leaves the previous picture).
    void ScrollView();
    /// Scrolls, when the drawing is wider than the control, just far enough that the
    /// place where the first `bytes` bytes of CurrentText() end is in view (the caret
    /// of the input while the user types). Throws what typesetting throws.
    void FollowPosition(std::size_t bytes);

    /// The display text last given to ShowText.
    const std::string& CurrentText() const { return Text; }
    /// The control's height for the current font: 3 * H + 6.
    int controlHeight() const { return 3 * CharHeight + 6; }
    /// The x at which the current drawing ends (the typesetter's final position).
    int drawingWidth() const { return DrawingWidth; }
    /// The display font as last given (or the owner's font).
    const QFont& displayFont() const { return Font; }
    /// The display font's colour.
    const QColor& fontColor() const { return FontColour; }

    /// Forces the ratio of device pixels to pixels at which the drawing is made
    /// (0, the default, follows the screen the control is on).
    void setRenderRatio(qreal ratio);
    /// What the control shows now, width() x height() pixels at the render ratio.
    QImage visibleImage();
    /// The width drawWhole draws: the drawing's, drawingWidth() + 2, but at most the
    /// control's width, as the image holds.
    int wholeWidth() const;
    /// Draws the drawing of CurrentText() from its left edge, wholeWidth() by
    /// controlHeight() pixels, on device (whose resolution should be logicalDpiY()): the
    /// vector form of what the image shows. What lies beyond is not drawn, so the output
    /// stays bounded however long the text. Throws what typesetting throws.
    void drawWhole(QPaintDevice& device);
    /// Size in bytes of the off-screen image.
    int64_t offscreenBytes() const { return Offscreen.sizeInBytes(); }
    /// The drawing column shown at the off-screen image's left edge.
    int offscreenOrigin() const { return OriginX; }

protected:
    void paintEvent(QPaintEvent* event) override;
    /// The wheel scrolls the drawing as the scroll bar under it does.
    void wheelEvent(QWheelEvent* event) override;

private:
    void SetupCanvas();
    void PrepareImage();
    void TypesetAt(int32_t origin);
    void CopyVisible();
    void PaintVisible(QPainter& painter);
    qreal Ratio() const;

    std::string Text;
    std::unique_ptr<TBunDispCalc> Typesetter;
    TQtCanvas Canvas;
    QImage Offscreen;
    QScrollBar* ScrollBar;
    QFont Font;
    QColor FontColour;
    QColor Background = Qt::white;
    qreal RenderRatio = 0;
    qreal ScreenRatio = 0;  // the screen's ratio when the image was last made
    int32_t OriginX = 0;
    int32_t DrawingWidth = 2;
    int32_t CharHeight = 14;
};
