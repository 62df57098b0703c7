// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The drawing surface the typesetter sees: a handful of operations of a bitmap canvas.
#pragma once

#include <cstdint>
#include <string>

/// A colour as 0xRRGGBB.
using TColor = uint32_t;

/// A point on a canvas; x grows to the right, y downward.
struct TPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

/// Abstract canvas with a current position, a font (size in whole points, colour),
/// a pen for lines and outlines, and a brush for fills and text backgrounds.
/// Texts are UTF-8. Every operation may throw (std::bad_alloc or whatever the surface raises).
class TCanvas {
public:
    virtual ~TCanvas() = default;

    /// Width in pixels of text in the current font.
    virtual int32_t TextWidth(const std::string& text) = 0;
    /// Height in pixels of the text cell of text in the current font.
    virtual int32_t TextHeight(const std::string& text) = 0;
    /// Draws text with the top-left corner of its cell at (x, y), the cell filled with the
    /// brush colour behind the glyphs; the current position becomes (x + TextWidth(text), y).
    virtual void TextOut(int32_t x, int32_t y, const std::string& text) = 0;

    /// The current position.
    virtual TPoint PenPos() const = 0;
    /// Sets the current position.
    virtual void MoveTo(int32_t x, int32_t y) = 0;
    /// Draws a pen line from the current position to (x, y), the end point itself not
    /// painted; (x, y) becomes the current position.
    virtual void LineTo(int32_t x, int32_t y) = 0;

    /// Fills the rectangle with the brush; left and top inclusive, right and bottom exclusive.
    virtual void FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom) = 0;
    /// Draws with the pen the part of the ellipse inscribed in the box (left, top)-(right, bottom)
    /// that runs counter-clockwise on the screen from the ray through (x1, y1) to the ray through
    /// (x2, y2), both rays from the box's centre. The current position does not change.
    virtual void Arc(int32_t left, int32_t top, int32_t right, int32_t bottom,
                     int32_t x1, int32_t y1, int32_t x2, int32_t y2) = 0;
    /// Draws the ellipse inscribed in the box, outlined with the pen and filled with the brush.
    virtual void Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) = 0;

    /// The current font's size in whole points.
    virtual int32_t FontSize() const = 0;
    /// Sets the current font's size in whole points.
    virtual void SetFontSize(int32_t points) = 0;
    /// The current font's colour.
    virtual TColor FontColor() const = 0;
    /// The brush colour.
    virtual TColor BrushColor() const = 0;
    /// Sets the brush colour.
    virtual void SetBrushColor(TColor color) = 0;
};
