// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// A canvas for tests: records every drawing call and has fixed metrics, so that the
// typesetter's geometry can be checked to the pixel without any font.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "display/canvas.h"

/// Metrics: every ASCII byte is CharWidth (7) pixels wide and every UTF-8 multi-byte
/// character is 2 * CharWidth (a full-width glyph), at every font size; every text is
/// CharHeight (14) pixels high. Font colour 0x000080, brush white, font size 10 points.
/// ThrowOn names an operation ("TextOut", "FillRect", ...) that throws std::runtime_error on
/// its ThrowAfter-th call (1 = the first), to test that state is restored.
class TRecordingCanvas : public TCanvas {
public:
    struct Call {
        std::string Op;              // "TextOut", "LineTo", "FillRect", "Arc", "Ellipse", "SetFontSize", "SetBrushColor"
        std::vector<int32_t> Args;   // TextOut: x, y; LineTo: x0, y0, x1, y1; boxes and rays as given
        std::string Text;            // TextOut only
        int32_t FontSize = 0;        // the font size at the call
        TColor Brush = 0;            // the brush colour at the call
    };

    int32_t CharWidth = 7;
    int32_t CharHeight = 14;
    std::vector<Call> Calls;
    std::string ThrowOn;
    int ThrowAfter = 1;

    /// Characters in text: a UTF-8 lead byte and its continuation bytes count once.
    static int32_t Columns(const std::string& text) {
        int32_t n = 0;
        for (unsigned char c : text) {
            if (c < 0x80) n += 1;
            else if (c >= 0xC0) n += 2;  // the lead byte of a full-width character
        }
        return n;
    }

    int32_t TextWidth(const std::string& text) override { return Columns(text) * CharWidth; }
    int32_t TextHeight(const std::string&) override { return CharHeight; }
    void TextOut(int32_t x, int32_t y, const std::string& text) override {
        Record("TextOut", {x, y}, text);
        Pos = {x + TextWidth(text), y};
    }
    TPoint PenPos() const override { return Pos; }
    void MoveTo(int32_t x, int32_t y) override { Pos = {x, y}; }
    void LineTo(int32_t x, int32_t y) override {
        Record("LineTo", {Pos.x, Pos.y, x, y});
        Pos = {x, y};
    }
    void FillRect(int32_t l, int32_t t, int32_t r, int32_t b) override { Record("FillRect", {l, t, r, b}); }
    void Arc(int32_t l, int32_t t, int32_t r, int32_t b, int32_t x1, int32_t y1, int32_t x2, int32_t y2) override {
        Record("Arc", {l, t, r, b, x1, y1, x2, y2});
    }
    void Ellipse(int32_t l, int32_t t, int32_t r, int32_t b) override { Record("Ellipse", {l, t, r, b}); }
    int32_t FontSize() const override { return Size; }
    void SetFontSize(int32_t points) override {
        Record("SetFontSize", {points});
        Size = points;
    }
    TColor FontColor() const override { return 0x000080; }
    TColor BrushColor() const override { return Brush; }
    void SetBrushColor(TColor c) override {
        Record("SetBrushColor", {static_cast<int32_t>(c)});
        Brush = c;
    }

    /// The calls of one operation, in order.
    std::vector<Call> Of(const std::string& op) const {
        std::vector<Call> out;
        for (const Call& c : Calls)
            if (c.Op == op) out.push_back(c);
        return out;
    }

    int32_t Size = 10;
    TColor Brush = 0xFFFFFF;

private:
    void Record(const char* op, std::vector<int32_t> args, std::string text = {}) {
        if (ThrowOn == op && --ThrowAfter == 0) throw std::runtime_error(std::string("canvas failed in ") + op);
        Calls.push_back(Call{op, std::move(args), std::move(text), Size, Brush});
    }
    TPoint Pos;
};
