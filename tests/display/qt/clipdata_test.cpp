// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The image the copy-as command puts on the clipboard, read back through QClipboard (the
// window's test covers the other formats through its menus), and what assistive technology
// reads of the display through QAccessible. (The offscreen platform has no accessibility
// bridge, so the change events are checked on the real program over AT-SPI.)
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QScrollBar>
#include <QWidget>

#include "display/qt/BunDisp.h"
#include "display/qt/accessible.h"
#include "display/qt/clipdata.h"

namespace {

using nerova::CopyFormat;

class DisplayFixture : public ::testing::Test {
protected:
    DisplayFixture() : bar(&form), disp(&form, &bar) {
        form.setFont(TBunDisp::defaultFont());
        disp.ShowText("1:2/3;");
    }
    const QMimeData* Copy(CopyFormat format) {
        QApplication::clipboard()->setMimeData(nerova::clipboardData(disp, format).release());
        return QApplication::clipboard()->mimeData();
    }
    QWidget form;
    QScrollBar bar;
    TBunDisp disp;
};

TEST_F(DisplayFixture, CopiedImageIsWhatTheDisplayShowsAtItsPixelRatio) {
    disp.setRenderRatio(2);
    disp.ShowText("1:2/3;");
    QImage png;
    ASSERT_TRUE(png.loadFromData(Copy(CopyFormat::Image)->data("image/png"), "PNG"));
    EXPECT_EQ(png.width(), disp.width() * 2);
    EXPECT_EQ(png.height(), disp.controlHeight() * 2);
    QImage shown = disp.visibleImage();
    shown.setDevicePixelRatio(1);
    EXPECT_TRUE(png.convertToFormat(QImage::Format_RGB32) == shown);
}

TEST_F(DisplayFixture, DisplayIsNamedAndReadAfterACalculation) {
    nerova::installDisplayAccessibility();
    disp.ShowText("-1/2+2^3;");
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&disp);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(QAccessible::Name), QStringLiteral("数式"));
    EXPECT_EQ(a->text(QAccessible::Description), QStringLiteral("マイナス2分の1たす2の3乗"));
    ASSERT_NE(a->textInterface(), nullptr);
    EXPECT_EQ(a->textInterface()->text(0, a->textInterface()->characterCount()), a->text(QAccessible::Description));
    // The next calculation is read anew.
    disp.ShowText("5/6;");
    EXPECT_EQ(a->text(QAccessible::Description), QStringLiteral("6分の5"));
}

}  // namespace
