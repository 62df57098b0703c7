// Typesetting a display text into a PNG file without a display server.
#pragma once

#include <QtGlobal>
#include <QString>

#include <ostream>
#include <string>

/// Typesets text (";" is appended) as the fraction display shows it at scroll position 0
/// and writes the visible part to file as a PNG: a display as wide as the drawing plus
/// 2 pixels (at least 16, at most 2000) and 3 * H + 6 pixels tall. fontFamily empty and
/// pointSize 0 keep the display's default font; scale above 1 draws at that many device
/// pixels per pixel. Needs a running QApplication (any platform; the program's render
/// mode starts one on the offscreen platform). Returns 0 on success; otherwise writes a
/// one-line message to err and returns 1. Never throws.
int renderToPng(const std::string& text, const std::string& file, const std::string& fontFamily,
                double pointSize, std::ostream& err, double scale = 1.0);

/// True for the one Qt notice that the render mode keeps off stderr while its own
/// application runs: that XDG_RUNTIME_DIR is not set (harmless for writing a PNG). Every other message,
/// also any other runtime-folder problem, is passed on.
bool isQuietRendererNotice(QtMsgType type, const QString& message);
