// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// What the copy-as commands put on the clipboard: the display's content in one format,
// with the MIME types other programs look for.
#pragma once

#include <QMimeData>

#include <memory>

class TBunDisp;

namespace nerova {

/// The formats of the copy-as commands.
enum class CopyFormat { Image, Svg, Latex, Mathml };

/// What disp shows now in format, as one clipboard content: Image as image/png at the
/// display's pixel ratio with the plain text alongside; Svg as image/svg+xml; Latex as
/// text/x-tex and text/plain; Mathml as application/mathml+xml and text/plain. Throws what
/// typesetting throws.
std::unique_ptr<QMimeData> clipboardData(TBunDisp& disp, CopyFormat format);

}  // namespace nerova
