// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/qt/fontdialog.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QFontDialog>
#include <QGridLayout>
#include <QPushButton>

namespace nerova {

std::optional<FontChoice> chooseFont(QWidget* parent, const FontChoice& current, const QColor& shownColor) {
    QFontDialog dialog(current.font, parent);
    dialog.setOptions(QFontDialog::DontUseNativeDialog | QFontDialog::ScalableFonts);
    dialog.setWindowTitle(QCoreApplication::translate("nerova::FontDialog", "フォント"));
    // The font dialog has no colour of its own; a button next to its effects adds it.
    std::optional<QColor> color = current.color;
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        auto* colorButton = new QPushButton(QCoreApplication::translate("nerova::FontDialog", "色(&C)…"), &dialog);
        colorButton->setObjectName("colorButton");
        grid->addWidget(colorButton, grid->rowCount(), 0, Qt::AlignLeft);
        QObject::connect(colorButton, &QPushButton::clicked, &dialog, [&] {
            const QColor chosen = QColorDialog::getColor(color.value_or(shownColor), &dialog, QCoreApplication::translate("nerova::FontDialog", "色"));
            if (chosen.isValid()) color = chosen;
        });
    }
    const QFont shown = dialog.currentFont();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QFont chosen = dialog.selectedFont();
    return FontChoice{chosen == shown ? current.font : chosen, color};
}

}  // namespace nerova
