// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/qt/helpwindow.h"

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "shell/identity.h"
#include "shell/version.h"

namespace nerova {

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("HelpWindow");
    setWindowTitle(tr("Nerova の使い方"));
    auto* text = new QTextBrowser(this);
    text->setObjectName("helpText");
    text->setHtml(helpHtml());
    text->setOpenExternalLinks(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(buttons);
    resize(520, 560);
}

QString HelpWindow::helpHtml() {
    return tr("<h3>式の書き方</h3>"
              "<p>式を入力して Enter を押すと、答えが正確な分数（仮分数）で出ます。</p>"
              "<table>"
              "<tr><td>整数・小数</td><td><code>12</code>　<code>0.25</code></td></tr>"
              "<tr><td>分数</td><td><code>1/3</code></td></tr>"
              "<tr><td>帯分数</td><td><code>1:2/3</code>（1 と 2/3、つまり 5/3）</td></tr>"
              "<tr><td>循環小数</td><td><code>0.[3]</code> は 1/3、<code>0.1[6]</code> は 1/6</td></tr>"
              "<tr><td>計算</td><td><code>+ - * / ^</code> と括弧 <code>( )</code></td></tr>"
              "</table>"
              "<p><b>割り算は / の前後を空けます。</b>空白のない <code>1/3</code> は一つの分数で、"
              "何よりも先に結びつきます。<code>2^100/3^50</code> は 2 の (100/3) 乗と読まれるので、"
              "割り算は <code>2^100 / 3^50</code> か <code>(2^100)/(3^50)</code> と書きます。</p>"
              "<p>全角の数字と記号（<code>１／３＋１／６</code>、× ÷ −）は半角に直して入力されます。</p>"
              "<h3>キー</h3>"
              "<table>"
              "<tr><td>Enter</td><td>入力を計算します</td></tr>"
              "<tr><td>Ctrl+E</td><td>選択した部分をその値に置き換えます</td></tr>"
              "<tr><td>Esc</td><td>長い計算を中断します</td></tr>"
              "<tr><td>↓</td><td>履歴（前に計算した入力）</td></tr>"
              "<tr><td>Ctrl+X / Ctrl+C / Ctrl+V</td><td>切り取り・コピー・貼り付け</td></tr>"
              "<tr><td>Ctrl+T</td><td>途中式（計算の筋道を一行ずつ）を開く・閉じる</td></tr>"
              "<tr><td>Ctrl+Q</td><td>終了</td></tr>"
              "<tr><td>F1</td><td>この説明</td></tr>"
              "</table>"
              "<p>答えのすぐ後に数字・文字・小数点・開き括弧を打つと新しい入力が始まり、"
              "演算子（+ - * / ^）を打つと答えに続けて計算できます。</p>"
              "<h3>ボタン</h3>"
              "<table>"
              "<tr><td>AC</td><td>入力と答えを 0 にします</td></tr>"
              "<tr><td>小数化</td><td>答えを小数で表します（表示 → 循環小数 で循環部分を [ ] で示します）</td></tr>"
              "<tr><td>帯分数</td><td>答えを 1:2/3 の形で表します</td></tr>"
              "<tr><td>仮分数</td><td>答えを 5/3 の形で表します</td></tr>"
              "</table>");
}

QString HelpWindow::aboutText(const QString& homePage) {
    QString text = tr("<p><b>Nerova</b> %1</p><p>分数で正確に計算する電卓</p><p>ライセンス: %2</p>")
                       .arg(QLatin1String(version()), QLatin1String(licence()));
    if (!homePage.isEmpty())
        text += tr("<p>ホームページ: <a href=\"%1\">%1</a></p>").arg(homePage.toHtmlEscaped());
    return text;
}

void HelpWindow::showAbout(QWidget* parent) {
    QMessageBox::about(parent, tr("バージョン情報"), aboutText(QString::fromUtf8(kHomepage)));
}

}  // namespace nerova
