// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The font dialog of 表示 → フォント…: Qt's font dialog with a colour button added.
#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>

#include <optional>

class QWidget;

namespace nerova {

/// A font and its colour; no colour means the system's text colour.
struct FontChoice {
    QFont font;
    std::optional<QColor> color;
};

/// Shows the font dialog (scalable fonts only, a colour button, modal over parent)
/// starting from current, whose colour is drawn as shownColor when it has none.
/// Returns the confirmed choice, or nothing when cancelled. Confirmed without a change
/// of font, the font is current itself (the dialog shows a pixel-sized font as a
/// rounded point size, which must not replace it).
std::optional<FontChoice> chooseFont(QWidget* parent, const FontChoice& current, const QColor& shownColor);

/// The access letter of a caption ("&&" being a plain "&"), upper-cased; null if none.
QChar mnemonicOf(const QString& text);
/// The access letters of the buttons, labels and group boxes in dialog, repeats kept.
QList<QChar> mnemonicsIn(const QWidget& dialog);

}  // namespace nerova
