// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Typesetting a display text into an image file (PNG or SVG) without a display server,
// and the image forms of what a display shows, for the clipboard.
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <QString>

#include <exception>
#include <functional>
#include <string>

#include "display/writers.h"
#include "engine/messages.h"

class TBunDisp;

namespace nerova {
/// The image forms the renderer writes.
enum class ImageFormat { Png, Svg };
/// Receives each message of the renderer as the exception that carries it: a
/// MessageError for its own (the caller turns the code into the user's language).
using RenderReport = std::function<void(const std::exception&)>;
}  // namespace nerova

/// Typesets text (";" is appended) as the fraction display shows it at scroll position 0
/// and writes it to file: a PNG of the visible part of a display as wide as the drawing
/// plus 2 pixels (at least 16, at most TBunDisp::kImageWidth) and 3 * H + 6 pixels tall, or
/// an SVG (format Svg) of the same part with the text as text: what is drawn beyond that
/// width is not written (but for the rest of a piece of text that starts inside it, at
/// most TQtCanvas::kChunkBytes bytes), so the SVG's size does not grow with the text's length. fontFamily empty and pointSize 0 keep
/// the display's default font; scale above 1 draws the PNG at that many device pixels per
/// pixel. Needs a running QApplication (any platform; the program's render mode starts one
/// on the offscreen platform). Returns 0 on success; otherwise reports one message
/// (Message::CannotWritePath with the file when the file cannot be written, also on a full
/// disk) and returns 1. A font family that is not found is reported (RenderFontNotFound)
/// and the rendering goes on. Never throws.
int renderToFile(const std::string& text, const std::string& file, nerova::ImageFormat format,
                 const std::string& fontFamily, double pointSize, const nerova::RenderReport& report,
                 double scale = 1.0);

/// The bytes renderToFile writes (the font notice, if any, goes to report). Throws what
/// typesetting throws, and a MessageError (RenderNeedsApplication) without a QApplication.
QByteArray renderBytes(const std::string& text, nerova::ImageFormat format, const std::string& fontFamily,
                       double pointSize, const nerova::RenderReport& report, double scale = 1.0);

/// renderToFile with the PNG format.
int renderToPng(const std::string& text, const std::string& file, const std::string& fontFamily,
                double pointSize, const nerova::RenderReport& report, double scale = 1.0);

/// What disp shows now as PNG bytes, at the display's own pixel ratio.
QByteArray pngOf(TBunDisp& disp);
/// The drawing of disp's current text as an SVG document, TBunDisp::wholeWidth() wide:
/// scalable, the text as text, the start of the text as its title and its spoken reading
/// as its description. Throws what typesetting throws.
QByteArray svgOf(TBunDisp& disp);

/// True for the one Qt notice that the render mode keeps off stderr while its own
/// application runs: that XDG_RUNTIME_DIR is not set (harmless for writing a PNG). Every other message,
/// also any other runtime-folder problem, is passed on.
bool isQuietRendererNotice(QtMsgType type, const QString& message);
