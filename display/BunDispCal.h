// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The expression typesetter: cuts a display text into tokens and draws them on a canvas
// as written on paper (fractions over bars, raised exponents, arcs for parentheses,
// dots over recurring digits, full-width operators).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "display/Shiki.h"
#include "display/canvas.h"

class TInputStream;

/// Typesets one line of arithmetic in a single left-to-right pass.
/// Between passes it keeps the canvas, the rectangle and the metrics of the last Typeset;
/// every Typeset recomputes them. Invariants after ComputeMetrics, with H = CharHeight:
/// BarY = H + H/2 + 3, TextY = H + 3, NumY = BarY - H - 1, DenY = BarY + 2,
/// PowerY = TextY - H/4, HighPowerY = NumY - H/4.
class TBunDispCalc {
public:
    TBunDispCalc() = default;
    TBunDispCalc(const TBunDispCalc&) = delete;
    TBunDispCalc& operator=(const TBunDispCalc&) = delete;

    /// Clears the rectangle (left, top)-(right, bottom) and draws text (which should end with
    /// ";") starting at x = 2; afterwards canvas.PenPos().x is where the drawing ends.
    /// Text that would cross `right` is measured and advances the position but is not drawn.
    /// The canvas's font size and brush colour are restored on every path. Throws what the
    /// canvas throws, and TStreamException for a text without the terminating ";".
    void Typeset(TCanvas& canvas, int32_t left, int32_t top, int32_t right, int32_t bottom,
                 const std::string& text);

    /// Appends the tokens of text (read up to its first ";") to Tokens().
    /// Throws TStreamException only when text lacks the terminating ";".
    void Tokenize(const std::string& text);
    /// Receives one token: its kind and its texts, moved in.
    using TokenSink = std::function<void(uint8_t kind, std::string text, std::string text2)>;
    /// Hands the tokens of text to sink in order, as Tokenize reads them, without copying
    /// text. With endsText the end of text acts as the terminating ";", so any text is read
    /// without an error; without it, Tokenize's end-of-stream exception can pass.
    static void ForEachToken(std::string_view text, bool endsText, const TokenSink& sink);
    /// Reads an optional "+" or "-" and a run of digits; the result may be empty or a lone sign.
    static std::string ReadNumber(TInputStream& s);
    /// Reads bytes up to the next delimiter (space ( ) * + - / ; [ ] ^); a UTF-8 multi-byte
    /// character is kept whole, a stray or truncated byte stands alone.
    static std::string ReadWord(TInputStream& s);
    /// Reads the body of a parenthesised exponent (the "(" already read) up to and
    /// including the first ")" or ";", which is not part of the result.
    static std::string ReadGroup(TInputStream& s);

    /// The tokens of the current pass.
    TShiki& Tokens() { return TokenList; }

    int32_t GetBarY() const { return BarY; }              ///< row of a fraction bar
    int32_t GetTextY() const { return TextY; }            ///< top of ordinary text
    int32_t GetNumY() const { return NumY; }              ///< top of a numerator
    int32_t GetDenY() const { return DenY; }              ///< top of a denominator
    int32_t GetPowerY() const { return PowerY; }          ///< top of an exponent after text
    int32_t GetHighPowerY() const { return HighPowerY; }  ///< top of an exponent after a fraction or ")"
    int32_t GetCharHeight() const { return CharHeight; }  ///< text height of "0"

private:
    void ComputeMetrics();
    void ClearArea();
    void Render(const std::string& text);
    void DrawText(const std::string& s);
    void PutText(int32_t x, int32_t y, const std::string& s);
    void DrawFraction(const std::string& num, const std::string& den);
    void DrawPower(const std::string& s, int32_t y);
    void DrawParen(const std::string& s);
    void DrawRecurring(const std::string& s);
    void PutDot(int32_t x);

    TCanvas* Canvas = nullptr;  // borrowed for the duration of Typeset
    int32_t ClipLeft = 0, ClipTop = 0, ClipRight = 0, ClipBottom = 0;
    int32_t BarY = 0, TextY = 0, NumY = 0, DenY = 0, PowerY = 0, HighPowerY = 0;
    int32_t FontSize = 0;
    int32_t CharHeight = 0;
    TShiki TokenList;
};
