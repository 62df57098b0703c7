// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The XML writers' output read back by an XML parser: MathML for any text, and the SVG of
// the display, whose digits must stay text.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QScrollBar>
#include <QString>
#include <QStringList>
#include <QSvgRenderer>
#include <QWidget>
#include <QXmlStreamReader>

#include <sstream>
#include <string>

#include "display/qt/BunDisp.h"
#include "display/qt/render.h"
#include "display/writers.h"
#include "tests/display/qt/render_reports.h"

namespace {

// The texts of the elements named `element`, or an empty list and a failure when xml is
// not well-formed.
QStringList TextsOf(const QByteArray& xml, const QString& element) {
    QXmlStreamReader reader(xml);
    QStringList texts;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == element)
            texts << reader.readElementText(QXmlStreamReader::IncludeChildElements);
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString() << " in " << xml.left(400).toStdString();
    return texts;
}

QByteArray Mathml(const std::string& text) {
    std::ostringstream out;
    nerova::writeMathml(text, out);
    return QByteArray::fromStdString(out.str());
}

}  // namespace

TEST(WritersXmlTest, MathmlIsWellFormedForHostileText) {
    const std::string texts[] = {
        "1/2", "((1+2", "))", "<![CDATA[x]]>", "a&b<c>\"d'", "\x01\x02\x1f\x7f", "\xC3\x28\xFF\xFE",
        "\xEF\xBF\xBE", "ー[^", "2^(<)", std::string("1\0002", 3), "ERROR", "0.[142857]…",
    };
    for (const std::string& t : texts) {
        const QStringList math = TextsOf(Mathml(t), QStringLiteral("math"));
        EXPECT_EQ(math.size(), 1) << t;
    }
    // What the markup escapes comes back unchanged.
    EXPECT_EQ(TextsOf(Mathml("a&b<c>"), QStringLiteral("mtext")), QStringList{QStringLiteral("a&b<c>")});
}

TEST(WritersXmlTest, SvgOfTheDisplayKeepsTheTextAndRendersAtItsSize) {
    QWidget form;
    form.setFont(TBunDisp::defaultFont());
    QScrollBar bar(&form);
    TBunDisp disp(&form, &bar);
    disp.ShowText("12/345+0.[142857];");
    const QByteArray svg = svgOf(disp);
    const QStringList texts = TextsOf(svg, QStringLiteral("text"));
    EXPECT_TRUE(texts.contains(QStringLiteral("12"))) << texts.join(u'|').toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("345"))) << texts.join(u'|').toStdString();
    EXPECT_EQ(TextsOf(svg, QStringLiteral("desc")), QStringList{QString::fromStdString(nerova::speechOf("12/345+0.[142857]"))});
    QSvgRenderer renderer(svg);
    ASSERT_TRUE(renderer.isValid());
    EXPECT_EQ(renderer.viewBox().width(), disp.drawingWidth() + 2);
    EXPECT_EQ(renderer.viewBox().height(), disp.controlHeight());
}

TEST(WritersXmlTest, SvgIsWellFormedForHostileText) {
    QWidget form;
    QScrollBar bar(&form);
    TBunDisp disp(&form, &bar);
    for (const char* text : {"a\x01<&\xff]]>;", "</title>\x1b;", "\"'&amp;;"}) {
        disp.ShowText(text);
        EXPECT_EQ(TextsOf(svgOf(disp), QStringLiteral("svg")).size(), 1) << text;
    }
}

// The SVG holds what the PNG holds: the drawing up to the image's width. A long result's
// digits are written from its start, in the display's chunks, and nothing beyond the width.
TEST(WritersXmlTest, SvgFileOfALongResultHoldsItsDigitsUpToTheImageWidth) {
    const std::string digits(3000, '7');
    const QString file = QDir::tempPath() + "/nerova-writers.svg";
    RenderReports err;
    ASSERT_EQ(renderToFile(digits + "/3", file.toStdString(), nerova::ImageFormat::Svg, "", 0, err.sink()), 0) << err.texts;
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray svg = f.readAll();
    const QString shown = TextsOf(svg, QStringLiteral("text")).join(QString());
    EXPECT_GT(shown.size(), 100);
    EXPECT_LT(shown.size(), 3000);
    EXPECT_TRUE(QString::fromStdString(digits).startsWith(shown));
    EXPECT_NE(svg.indexOf("viewBox=\"0 0 " + QByteArray::number(TBunDisp::kImageWidth) + " "), -1);
    QFile::remove(file);
}
