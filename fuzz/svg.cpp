// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The SVG writer of the render mode: any bytes, typeset as an expression by the display
// control and written as the render mode writes them, give an SVG no wider than the image
// width, with nothing placed beyond that width but the rest of a piece of text that starts
// within it (the canvas draws at most TQtCanvas::kChunkBytes bytes at once), within a size
// bound.
#include <QApplication>
#include <QFontMetrics>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "display/qt/BunDisp.h"
#include "display/qt/qtcanvas.h"
#include "display/qt/render.h"

namespace {

/// Bytes of the document around the drawing: the XML header and the title and
/// description (at most 1000 bytes of the text each, escaped or read aloud).
constexpr size_t kFrameBytes = 64 * 1024;
/// Bytes of drawing per input byte: a digit or an operator is one element of a few
/// hundred bytes.
constexpr size_t kBytesPerInputByte = 1024;

/// How far right of the width the last piece of text can reach: a character of it is at
/// most two lines' height wide (the fallback fonts' too).
long reach() {
    static const long kReach =
        static_cast<long>(TQtCanvas::kChunkBytes) * 2 * QFontMetrics(TBunDisp::defaultFont()).height();
    return kReach;
}

/// The number after `name="` from position at on; -1 when there is none.
long attribute(const std::string& svg, const std::string& name, size_t at = 0) {
    const size_t found = svg.find(name + "=\"", at);
    return found == std::string::npos ? -1 : std::strtol(svg.c_str() + found + name.size() + 2, nullptr, 10);
}

[[noreturn]] void fail(const char* what, long value) {
    std::fprintf(stderr, "svg: %s (%ld)\n", what, value);
    std::abort();
}

}  // namespace

// The application is never destroyed (see below), so the font configuration it loaded
// is never released either: fontconfig's memory at the end is the process's, not a leak.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
    // The render mode's own platform: no display server. The application lives until the
    // process ends (never destroyed among the static objects), and sees only the program's
    // name, not the fuzzer's options.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int qtArgc = 1;
    static char* qtArgv[] = {(*argv)[0], nullptr};
    static QApplication* const app = new QApplication(qtArgc, qtArgv);
    (void)app;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string svg;
    try {
        const QByteArray bytes = renderBytes(text, nerova::ImageFormat::Svg, "", 0, [](const std::exception&) {});
        svg.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
    } catch (const std::exception&) {
        return 0;  // a text the typesetter refuses (too deep) writes nothing
    }
    if (svg.size() > kFrameBytes + kBytesPerInputByte * size) fail("larger than its bound", static_cast<long>(svg.size()));
    // viewBox="0 0 W H": the image's width.
    const size_t box = svg.find("viewBox=\"0 0 ");
    if (box == std::string::npos) fail("no viewBox", 0);
    const long width = std::strtol(svg.c_str() + box + 13, nullptr, 10);
    if (width < 1 || width > TBunDisp::kImageWidth) fail("width out of range", width);
    // Every text and rectangle starts inside the image or within the reach of a piece of
    // text that starts inside it.
    for (size_t at = svg.find("<", box); at != std::string::npos; at = svg.find("<", at + 1)) {
        if (svg.compare(at, 5, "<text") != 0 && svg.compare(at, 5, "<rect") != 0) continue;
        const size_t end = svg.find('>', at);
        const long x = attribute(svg.substr(at, end - at), "x");
        if (x >= width + reach()) {
            std::fprintf(stderr, "%s\n", svg.substr(at, end - at).c_str());
            fail("an element placed beyond the width", x);
        }
    }
    return 0;
}
