// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The PNG renderer, called from inside a running QApplication.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QScrollBar>
#include <QWidget>
#include <QImage>

#include <string>

#include "display/qt/BunDisp.h"
#include "display/qt/render.h"
#include "tests/display/qt/display_font.h"
#include "tests/display/qt/render_reports.h"

namespace {

std::string TempPng(const char* name) { return (QDir::tempPath() + "/nerova-display-" + name + ".png").toStdString(); }

}  // namespace

TEST(RenderTest, WritesWhatTheDisplayShowsTrimmedToTheDrawing) {
    const std::string file = TempPng("render");
    RenderReports err;
    ASSERT_EQ(renderToPng("-(1+1/2)*2^3", file, "", 0, err.sink()), 0) << err.texts;
    QImage png(QString::fromStdString(file));
    ASSERT_FALSE(png.isNull());

    QWidget form;
    form.setFont(TBunDisp::defaultFont());
    QScrollBar bar(&form);
    TBunDisp disp(&form, &bar);
    disp.ShowText("-(1+1/2)*2^3;");
    EXPECT_EQ(png.width(), disp.drawingWidth() + 2);
    EXPECT_EQ(png.height(), disp.controlHeight());
    disp.resize(png.width(), disp.controlHeight());
    disp.ShowText("-(1+1/2)*2^3;");
    EXPECT_TRUE(png.convertToFormat(QImage::Format_RGB32) == disp.visibleImage());
    QFile::remove(QString::fromStdString(file));
}

TEST(RenderTest, ScaleAndFontSizeChangeThePixelsNotTheLayout) {
    SKIP_WITHOUT_DISPLAY_FONT();  // the big one is asked for by name
    const std::string one = TempPng("one"), two = TempPng("two"), big = TempPng("big");
    RenderReports err;
    ASSERT_EQ(renderToPng("1/2", one, "", 0, err.sink()), 0);
    ASSERT_EQ(renderToPng("1/2", two, "", 0, err.sink(), 2.0), 0);
    ASSERT_EQ(renderToPng("1/2", big, "IPAGothic", 30, err.sink()), 0);
    const QImage a(QString::fromStdString(one)), b(QString::fromStdString(two)), c(QString::fromStdString(big));
    EXPECT_EQ(b.width(), 2 * a.width());
    EXPECT_EQ(b.height(), 2 * a.height());
    EXPECT_GT(c.height(), 2 * a.height());
    EXPECT_TRUE(err.texts.empty()) << err.texts;
    for (const auto& f : {one, two, big}) QFile::remove(QString::fromStdString(f));
}

TEST(RenderTest, UnwritableFileIsReportedNotThrown) {
    RenderReports err;
    EXPECT_EQ(renderToPng("1", "/nonexistent-dir/x.png", "", 0, err.sink()), 1);
    EXPECT_EQ(err.codes, std::vector{nerova::Message::CannotWritePath});
    EXPECT_NE(err.texts.find("/nonexistent-dir/x.png"), std::string::npos) << err.texts;
}

TEST(RenderTest, UnknownFontFamilyIsReported) {
    const std::string file = TempPng("nofont");
    RenderReports err;
    EXPECT_EQ(renderToPng("1", file, "No Such Family 12345", 0, err.sink()), 0);
    EXPECT_EQ(err.codes, std::vector{nerova::Message::RenderFontNotFound});
    EXPECT_NE(err.texts.find("No Such Family 12345"), std::string::npos) << err.texts;
    QFile::remove(QString::fromStdString(file));
}

TEST(RenderTest, OnlyTheUnsetRuntimeFolderNoticeIsKeptQuiet) {
    struct {
        QtMsgType Type;
        const char* Message;
        bool Quiet;
    } rows[] = {
        {QtWarningMsg, "QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to '/tmp/runtime-me'", true},
        // A runtime folder that is set but unusable is a real problem of the user's setup.
        {QtWarningMsg, "QStandardPaths: wrong permissions on runtime directory /run/user/1, 0755 instead of 0700", false},
        {QtWarningMsg, "QStandardPaths: error creating runtime directory '/tmp/runtime-me' (Permission denied)", false},
        {QtCriticalMsg, "QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to '/tmp/runtime-me'", false},
        {QtWarningMsg, "qt.qpa.plugin: Could not find the Qt platform plugin \"offscreen\"", false},
        {QtWarningMsg, "QPainter::begin: Paint device returned engine == 0", false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(isQuietRendererNotice(r.Type, QString::fromUtf8(r.Message)), r.Quiet) << r.Message;
}
