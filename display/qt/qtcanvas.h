// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The canvas over QPainter on a QImage, used by the display control and the PNG renderer.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPen>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "display/canvas.h"

/// Canvas that draws on a window of a wide drawing: the image shows the drawing's
/// columns OriginX .. OriginX + image width. Coordinates given to it are drawing
/// coordinates; what falls outside the image is measured but costs no painting, so a
/// line millions of pixels wide is typeset in time proportional to its token count.
///
/// Geometry is in device-independent pixels; an image whose devicePixelRatio is above 1
/// is drawn at that ratio. Text widths are rounded to whole pixels per chunk of at most
/// kChunkBytes bytes; long texts are measured and drawn chunk by chunk so that Qt never
/// lays out more than one chunk at a time.
///
/// Invariants: the font size reported is the whole-point size of the current font; setting
/// the base font's own whole-point size brings back the base font exactly (also for a font
/// given in pixels or fractional points).
class TQtCanvas : public TCanvas {
public:
    static constexpr size_t kChunkBytes = 256;

    TQtCanvas();
    ~TQtCanvas() override;
    TQtCanvas(const TQtCanvas&) = delete;
    TQtCanvas& operator=(const TQtCanvas&) = delete;

    /// Sets the resolution (dots per inch) at which point sizes become pixels.
    void SetDpi(int dpi);
    /// Sets the base font and the font colour; forgets cached measurements.
    void SetFont(const QFont& font, const QColor& color);
    /// Sets the pen width for lines, arcs and outlines (at least 1).
    void SetPenWidth(int width);
    /// Starts painting on image, whose left edge shows drawing column originX. The image must
    /// outlive End(); its dots per meter should match SetDpi.
    void Begin(QImage& image, int32_t originX);
    /// Starts painting on any device (an SVG generator) width x height pixels large whose
    /// left edge shows drawing column originX; its resolution should match SetDpi.
    void Begin(QPaintDevice& device, int32_t width, int32_t height, int32_t originX);
    /// Ends painting; Begin may be called again.
    void End();

    /// The whole-point size of font at dpi (a font given in pixels is converted).
    static int32_t PointsOf(const QFont& font, int dpi);

    int32_t TextWidth(const std::string& text) override;
    int32_t TextHeight(const std::string& text) override;
    void TextOut(int32_t x, int32_t y, const std::string& text) override;
    TPoint PenPos() const override { return Pos; }
    void MoveTo(int32_t x, int32_t y) override { Pos = {x, y}; }
    void LineTo(int32_t x, int32_t y) override;
    void FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void Arc(int32_t left, int32_t top, int32_t right, int32_t bottom,
             int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
    void Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    int32_t FontSize() const override { return Points; }
    void SetFontSize(int32_t points) override;
    TColor FontColor() const override;
    TColor BrushColor() const override;
    void SetBrushColor(TColor color) override;

private:
    // Chunk boundaries and running widths of one long text, kept for the next call.
    struct LongText {
        int32_t Points = 0;
        std::string Text;
        std::vector<size_t> Starts;  // byte offset of each chunk, plus the text's size
        std::vector<int32_t> X;      // x of each chunk relative to the text, plus the total
    };

    // The advance of each digit in the current font, when a run of digits is as wide as
    // their advances added (no kerning or ligature between digits); empty otherwise.
    using DigitAdvances = std::optional<std::array<double, 10>>;

    void ApplyCurrentFont();
    int32_t MeasureChunk(const char* p, size_t n) const;
    /// MeasureChunk for a chunk of a long text: a chunk of digits alone is added up from
    /// its digits' advances where the font allows, without shaping it (a result of ten
    /// million digits is some 40,000 chunks).
    int32_t MeasureLongChunk(const char* p, size_t n);
    const DigitAdvances& DigitsOfCurrentFont();
    const LongText& Layout(const std::string& text);
    void FillDrawingRect(int64_t left, int64_t top, int64_t right, int64_t bottom, const QColor& c);
    bool OutsideX(int64_t left, int64_t right) const;

    int Dpi = 96;
    QImage MetricsDevice;  // 1 x 1 image at Dpi: the device the metrics are taken for
    QFont BaseFont, Font;
    int32_t BasePoints = 0, Points = 0;
    std::unique_ptr<QFontMetricsF> Metrics;
    int32_t Ascent = 0, CellHeight = 0;
    QColor TextColor{Qt::black};
    QColor Brush{Qt::white};
    int PenWidth = 1;
    TPoint Pos;

    QPaintDevice* Target = nullptr;
    std::unique_ptr<QPainter> Painter;
    int32_t OriginX = 0;
    int32_t ImageWidth = 0, ImageHeight = 0;  // in device-independent pixels

    std::unordered_map<int32_t, std::unordered_map<std::string, int32_t>> WidthCache;  // by points
    size_t WidthCacheEntries = 0;
    std::array<LongText, 4> LongTexts;  // the most recent first; a mixed number holds three
    std::unordered_map<int32_t, DigitAdvances> Digits;  // by points
};
