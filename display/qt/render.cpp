// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "display/qt/render.h"

#include <QApplication>
#include <QBuffer>
#include <QFontInfo>
#include <QScrollBar>
#include <QString>
#include <QSvgGenerator>
#include <QWidget>

#include <algorithm>
#include <exception>
#include <stdexcept>

#include "display/qt/BunDisp.h"
#include "engine/files.h"

namespace {

constexpr size_t kSvgTitleBytes = 1000;  // of the text, in the SVG's title and description

}  // namespace

bool isQuietRendererNotice(QtMsgType type, const QString& message) {
    return type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"));
}

QByteArray pngOf(TBunDisp& disp) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    disp.visibleImage().save(&buffer, "PNG");
    return bytes;
}

QByteArray svgOf(TBunDisp& disp) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    const std::string& shown = disp.CurrentText();
    const std::string_view text = std::string_view(shown).substr(0, shown.find(';'));
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setResolution(disp.logicalDpiY());  // the canvas measures at the display's resolution
    const QSize size(disp.wholeWidth(), disp.controlHeight());
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    // The generator writes title and description as they are given: escape them here. The
    // title is the start of the text; the drawing holds all of it.
    svg.setTitle(QString::fromStdString(nerova::xmlEscaped(text.substr(0, kSvgTitleBytes))));
    svg.setDescription(QString::fromStdString(nerova::xmlEscaped(nerova::speechOf(text.substr(0, kSvgTitleBytes)))));
    disp.drawWhole(svg);
    // Control characters of the text reach the <text> elements unchanged, and XML allows
    // none of them; everything else the generator writes is printable.
    QByteArray clean;
    clean.reserve(bytes.size());
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
            clean.append("\xEF\xBF\xBD");
        else
            clean.append(c);
    }
    return clean;
}

QByteArray renderBytes(const std::string& text, nerova::ImageFormat format, const std::string& fontFamily,
                       double pointSize, const nerova::RenderReport& report, double scale) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        throw nerova::MessageError(nerova::Message::RenderNeedsApplication);
    QWidget owner;
    QScrollBar bar(Qt::Horizontal, &owner);
    TBunDisp disp(&owner, &bar);
    QFont font = TBunDisp::defaultFont();
    if (!fontFamily.empty()) {
        font.setFamily(QString::fromStdString(fontFamily));
        const QString used = QFontInfo(font).family();
        if (used.compare(font.family(), Qt::CaseInsensitive) != 0)
            report(nerova::MessageError(nerova::Message::RenderFontNotFound, fontFamily, used.toStdString()));
    }
    if (pointSize > 0) font.setPointSizeF(pointSize);
    disp.setDisplayFont(font, Qt::black);
    disp.setRenderRatio(scale > 0 ? scale : 1.0);
    disp.ApplyFont();

    const std::string shown = text + ";";
    disp.resize(TBunDisp::kImageWidth, disp.controlHeight());
    disp.ShowText(shown);
    disp.resize(std::clamp(disp.drawingWidth() + 2, 16, TBunDisp::kImageWidth), disp.controlHeight());
    disp.ShowText(shown);
    return format == nerova::ImageFormat::Svg ? svgOf(disp) : pngOf(disp);
}

int renderToFile(const std::string& text, const std::string& file, nerova::ImageFormat format,
                 const std::string& fontFamily, double pointSize, const nerova::RenderReport& report, double scale) {
    try {
        const QByteArray bytes = renderBytes(text, format, fontFamily, pointSize, report, scale);
        // Written by the checked writer, not by Qt's image writer: a full disk must not pass
        // as success.
        if (bytes.isEmpty() || !nerova::writeFileWith(file, [&bytes](std::ostream& out) {
                out.write(bytes.constData(), bytes.size());
            })) {
            report(nerova::MessageError(nerova::Message::CannotWritePath, file));
            return 1;
        }
        return 0;
    } catch (const std::exception& e) {
        report(e);
        return 1;
    }
}

int renderToPng(const std::string& text, const std::string& file, const std::string& fontFamily,
                double pointSize, const nerova::RenderReport& report, double scale) {
    return renderToFile(text, file, nerova::ImageFormat::Png, fontFamily, pointSize, report, scale);
}
