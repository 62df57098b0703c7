// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// ヘルプ → 使い方 (F1): what the input reads, the keys and the buttons; and ヘルプ →
// バージョン情報.
#pragma once

#include <QDialog>

namespace nerova {

/// The help window: a text that can be read while the calculator is used beside it.
class HelpWindow : public QDialog {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent);

    /// The help text as HTML, in the window's language.
    static QString helpHtml();
    /// The text of バージョン情報: version, licence and, when the build names one, the
    /// home page (homePage; empty leaves it out).
    static QString aboutText(const QString& homePage);
    /// Shows バージョン情報 as a dialog over parent.
    static void showAbout(QWidget* parent);
};

}  // namespace nerova
