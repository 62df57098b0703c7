// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/qt/fontdialog.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QCoreApplication>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace nerova {

QChar mnemonicOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i) != '&') continue;
        if (text.at(i + 1) != '&') return text.at(i + 1).toUpper();
        ++i;  // "&&" is a literal "&"
    }
    return {};
}

QList<QChar> mnemonicsIn(const QWidget& dialog) {
    QList<QChar> used;
    const auto add = [&used](const QString& text) {
        if (const QChar m = mnemonicOf(text); !m.isNull()) used << m;
    };
    for (const auto* b : dialog.findChildren<QAbstractButton*>()) add(b->text());
    for (const auto* l : dialog.findChildren<QLabel*>()) add(l->text());
    for (const auto* g : dialog.findChildren<QGroupBox*>()) add(g->title());
    return used;
}

std::optional<FontChoice> chooseFont(QWidget* parent, const FontChoice& current, const QColor& shownColor) {
    QFontDialog dialog(current.font, parent);
    dialog.setOptions(QFontDialog::DontUseNativeDialog | QFontDialog::ScalableFonts);
    dialog.setWindowTitle(QCoreApplication::translate("nerova::FontDialog", "フォント"));
    // The font dialog has no colour of its own; a button next to its effects adds it.
    std::optional<QColor> color = current.color;
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        // Its access letter is one the dialog does not use yet (Qt's own texts come
        // translated, with their own letters).
        const QList<QChar> used = mnemonicsIn(dialog);
        QString caption = QObject::tr("色(&L)…");
        for (const QChar letter : QStringLiteral("LOBRNMG")) {
            if (!used.contains(mnemonicOf(caption))) break;
            caption = QObject::tr("色(&%1)…").arg(letter);
        }
        if (used.contains(mnemonicOf(caption))) caption.remove('&');
        auto* colorButton = new QPushButton(caption, &dialog);
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
