// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "display/qt/clipdata.h"

#include <QString>

#include <sstream>
#include <string>
#include <string_view>

#include "display/qt/BunDisp.h"
#include "display/qt/render.h"
#include "display/writers.h"

namespace nerova {

std::unique_ptr<QMimeData> clipboardData(TBunDisp& disp, CopyFormat format) {
    auto data = std::make_unique<QMimeData>();
    const std::string& shown = disp.CurrentText();
    const std::string_view text = std::string_view(shown).substr(0, shown.find(';'));
    std::ostringstream markup;
    switch (format) {
    case CopyFormat::Image:
        data->setData(QStringLiteral("image/png"), pngOf(disp));
        data->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        break;
    case CopyFormat::Svg:
        data->setData(QStringLiteral("image/svg+xml"), svgOf(disp));
        break;
    case CopyFormat::Latex:
        writeLatex(text, markup);
        data->setData(QStringLiteral("text/x-tex"), QByteArray::fromStdString(markup.str()));
        data->setText(QString::fromStdString(markup.str()));
        break;
    case CopyFormat::Mathml:
        writeMathml(text, markup);
        data->setData(QStringLiteral("application/mathml+xml"), QByteArray::fromStdString(markup.str()));
        data->setText(QString::fromStdString(markup.str()));
        break;
    }
    return data;
}

}  // namespace nerova
