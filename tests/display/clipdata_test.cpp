// What the copy-as commands put on the clipboard, read back through QClipboard, and what
// assistive technology reads of the display through QAccessible. (The offscreen platform
// has no accessibility bridge, so the change events are checked on the real program.)
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QScrollBar>
#include <QWidget>
#include <QXmlStreamReader>

#include <vector>

#include "display/BunDisp.h"
#include "display/accessible.h"
#include "display/clipdata.h"

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

bool WellFormed(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) reader.readNext();
    return !reader.hasError();
}

TEST_F(DisplayFixture, EachFormatReachesTheClipboardWithItsTypes) {
    struct Row {
        CopyFormat format;
        std::vector<QString> types;
        QString text;  // text/plain, empty when the format has none
    };
    const std::vector<Row> rows = {
        {CopyFormat::Image, {"image/png", "text/plain"}, "1:2/3"},
        {CopyFormat::Svg, {"image/svg+xml"}, ""},
        {CopyFormat::Latex, {"text/x-tex", "text/plain"}, "1\\frac{2}{3}"},
        {CopyFormat::Mathml, {"application/mathml+xml", "text/plain"}, ""},
    };
    for (const Row& r : rows) {
        const QMimeData* data = Copy(r.format);
        ASSERT_NE(data, nullptr);
        for (const QString& type : r.types) EXPECT_TRUE(data->hasFormat(type)) << type.toStdString();
        if (!r.text.isEmpty()) {
            EXPECT_EQ(data->text(), r.text);
        }
        if (r.format == CopyFormat::Svg) {
            EXPECT_FALSE(data->hasText());
        }
    }
    const QByteArray mathml = Copy(CopyFormat::Mathml)->data("application/mathml+xml");
    EXPECT_TRUE(WellFormed(mathml));
    EXPECT_EQ(Copy(CopyFormat::Mathml)->text(), QString::fromUtf8(mathml));
    EXPECT_TRUE(WellFormed(Copy(CopyFormat::Svg)->data("image/svg+xml")));
}

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
