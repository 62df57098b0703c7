// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The tokenizer and the typesetter on a recording canvas: any bytes, typeset as the
// display does (with ";" appended), must draw without a fault and restore the canvas's
// font size and brush colour.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "display/BunDispCal.h"
#include "engine/Stream.h"
#include "tests/display/recording_canvas.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first two bytes choose the drawing area, so that cut-off drawing is reached.
    const int32_t right = 20 + data[0] * 8, bottom = 10 + data[1];
    std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    TBunDispCalc calc;
    try {
        calc.Tokenize(text);  // may lack the ";": that is the one error it raises
    } catch (const TStreamException&) {
    }
    text += ';';
    TRecordingCanvas canvas;
    const int32_t size0 = canvas.FontSize();
    const TColor brush0 = canvas.BrushColor();
    TBunDispCalc display;
    display.Typeset(canvas, 0, 0, right, bottom, text);
    if (canvas.FontSize() != size0 || canvas.BrushColor() != brush0) {
        std::fprintf(stderr, "font size %d or brush %06x not restored\n", canvas.FontSize(),
                     canvas.BrushColor());
        std::abort();
    }
    return 0;
}
