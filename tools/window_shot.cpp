// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Not a test: opens the window, calculates an expression as a user would and saves a
// picture of the window (the README's screenshot comes from here):
//   QT_QPA_PLATFORM=offscreen ./window_shot out.png ['expression'] [--dark]
// QT_SCALE_FACTOR=1.5 or 2 shows the window as a high-density screen would; --dark gives
// the application a dark palette, as a dark desktop theme would.
#include <QApplication>
#include <QComboBox>
#include <QPalette>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "shell/qt/fnerova.h"

int main(int argc, char** argv) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication app(argc, argv);
    if (argc < 2) return 2;
    const QString expression = argc > 2 ? QString::fromUtf8(argv[2]) : QString("1/3+1/6");
    if (argc > 3 && QString::fromUtf8(argv[3]) == "--dark") {
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(45, 45, 45));
        dark.setColor(QPalette::WindowText, QColor(220, 220, 220));
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::Text, QColor(230, 230, 230));
        dark.setColor(QPalette::Button, QColor(60, 60, 60));
        dark.setColor(QPalette::ButtonText, QColor(220, 220, 220));
        QApplication::setPalette(dark);
    }

    Tfnerova w;
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) return 1;
    auto* hist = w.findChild<QComboBox*>("hist");
    hist->setFocus();
    QTest::keyClicks(hist, expression);
    QTest::keyClick(hist, Qt::Key_Return);
    QTest::qWait(200);
    return w.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
