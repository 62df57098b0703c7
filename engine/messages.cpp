// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "engine/messages.h"

#include <array>
#include <cstddef>

// lupdate collects the texts marked so into the catalogues (context "Message"); the
// engine itself only needs the text.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(context, text) text
#endif

namespace nerova {

namespace {

// In the order of the enumeration; the static_assert below keeps the two together.
constexpr std::array kTexts = {
    QT_TRANSLATE_NOOP("Message", "end of stream"),
    QT_TRANSLATE_NOOP("Message", "begining of stream"),
    QT_TRANSLATE_NOOP("Message", "項がない"),
    QT_TRANSLATE_NOOP("Message", "カッコがあってない"),
    QT_TRANSLATE_NOOP("Message", "0で割ろうとした"),
    QT_TRANSLATE_NOOP("Message", "入れ子が深すぎます"),
    QT_TRANSLATE_NOOP("Message", "有理数乗しようとした"),
    QT_TRANSLATE_NOOP("Message", "数字がない"),
    QT_TRANSLATE_NOOP("Message", "帯分数でない"),
    QT_TRANSLATE_NOOP("Message", "負の数は扱えません"),
    QT_TRANSLATE_NOOP("Message", "桁あふれが起こりました"),
    QT_TRANSLATE_NOOP("Message", "LongAdd で桁あふれが起こりました"),
    QT_TRANSLATE_NOOP("Message", "LongSub で結果が負になりました"),
    QT_TRANSLATE_NOOP("Message", "Shortmul で桁あふれが起こりました"),
    QT_TRANSLATE_NOOP("Message", "LongMul で桁あふれが起こりました"),
    QT_TRANSLATE_NOOP("Message", "0 では割れません"),
    QT_TRANSLATE_NOOP("Message", "被除数が大き過ぎます"),
    QT_TRANSLATE_NOOP("Message", "浮動小数点数のオーバーフロー"),
    QT_TRANSLATE_NOOP("Message", "結果が大きすぎます"),
    QT_TRANSLATE_NOOP("Message", "メモリが不足しています"),
    QT_TRANSLATE_NOOP("Message", "計算を中断しました"),
    QT_TRANSLATE_NOOP("Message", "ファイルが見つかりません"),
    QT_TRANSLATE_NOOP("Message", "ファイルを開けません"),
    QT_TRANSLATE_NOOP("Message", "ファイルを読み込めません"),
    QT_TRANSLATE_NOOP("Message", "ファイルを作成できません"),
    QT_TRANSLATE_NOOP("Message", "ファイルに書き込めません"),
    QT_TRANSLATE_NOOP("Message", "出力ファイルが入力ファイルと同じです"),
    QT_TRANSLATE_NOOP("Message", "行が長すぎます"),
    QT_TRANSLATE_NOOP("Message", "(標準入力)"),
    QT_TRANSLATE_NOOP("Message", "(標準出力)"),
    QT_TRANSLATE_NOOP("Message", "%1 に書き込めません"),
    QT_TRANSLATE_NOOP("Message", "%1 は設定ファイルとしては大きすぎるため読みません"),
    QT_TRANSLATE_NOOP("Message", "分子 %1 桁、分母 %2 桁"),
    QT_TRANSLATE_NOOP("Message", "「%1」は計算に使っていません"),
    QT_TRANSLATE_NOOP("Message", "「%1」は一つの分数です。割り算は %2 か (2^100)/(3^50) のように書きます"),
    QT_TRANSLATE_NOOP("Message", "貼り付けは %1 バイトまでです（貼り付けませんでした）"),
    QT_TRANSLATE_NOOP("Message", "一括計算中… %1 / %2 行"),
    QT_TRANSLATE_NOOP("Message", "一括計算を中断しました: %1 行を計算しました"),
    QT_TRANSLATE_NOOP("Message", "一括計算が終わりました: %1 行を計算しました"),
    QT_TRANSLATE_NOOP("Message", "結果が大きすぎて D-Bus では送れません"),
    QT_TRANSLATE_NOOP("Message", "項目「%1」はありません。項目は NEROVA です"),
    QT_TRANSLATE_NOOP("Message", "計算中です。終わってからもう一度試してください"),
    QT_TRANSLATE_NOOP("Message", "項目のバイト数の上限を超えています"),
    QT_TRANSLATE_NOOP("Message", "項目の行数の上限を超えています"),
    QT_TRANSLATE_NOOP("Message", "項目のデータが D-Bus で送れない大きさになります"),
    QT_TRANSLATE_NOOP("Message", "途中式は省略します"),
    QT_TRANSLATE_NOOP("Message", "結果は長すぎるので省略します"),
    QT_TRANSLATE_NOOP("Message",
                      "使い方: %1 [OPTION]... [IN [OUT]]\n"
                      "  または: %1 -e EXPR [-e EXPR]... [--form FORM] [--steps]\n"
                      "  または: %1 --batch IN [OUT] [--jobs N]\n"
                      "  または: %1 --repl\n"
                      "  または: %1 --render TEXT FILE [--font FAMILY] [--size POINTS]\n"),
    QT_TRANSLATE_NOOP("Message",
                      "分数で正確に計算します。桁数がどれほど増えても正確です。\n"
                      "オプションなしでは電卓のウィンドウを開きます。IN [OUT] を付けると、まず\n"
                      "--batch と同じくファイル IN の各行を計算して OUT（なければ標準出力）に\n"
                      "書きます。\n"
                      "\n"
                      "  -e, --eval=EXPR      式 EXPR を計算して値を表示します。何度でも指定できます\n"
                      "      --form=FORM      -e の値の形式: improper（既定、7/2）、mixed（3:1/2）、\n"
                      "                         plus（3+1/2）、float（3.5）、\n"
                      "                         decimal（100 文字で打ち切り）、recurring（0.[3]）、\n"
                      "                         latex（\\frac{7}{2}）、mathml（<math>）\n"
                      "      --steps          -e で: 途中式を表示します。式に続けて各段階を\n"
                      "                         '= ...' の形で（latex、mathml では一つのブロックで）\n"
                      "      --batch IN [OUT] ファイル IN（'-' は標準入力）の各行を計算して OUT に\n"
                      "                         （なければ標準出力に）書きます。'#' で始まる行は\n"
                      "                         そのまま写します\n"
                      "      --jobs=N         --batch で N 個のスレッドで計算します（既定: コアごとに\n"
                      "                         一つ）。出力は入力の順のままです\n"
                      "      --repl           対話形式で計算します。Ctrl-D で終わります\n"
                      "      --render TEXT FILE  TEXT（'-' は標準入力）をウィンドウの表示と同じく\n"
                      "                         組版して FILE に書きます。拡張子で形式を選びます:\n"
                      "                         .png、.svg、.tex（LaTeX）、.mml（MathML）\n"
                      "      --font=FAMILY    --render で使うフォントファミリー\n"
                      "      --size=POINTS    --render で使うフォントの大きさ（0 より大きく 1000 以下）\n"
                      "      --max-digits=N   10 進で N 桁を超える結果を計算しません\n"
                      "                         （既定: メモリの 4 分の 1 に収まる桁数）\n"
                      "  -h, --help           この説明を表示して終わります\n"
                      "      --version        バージョン情報を表示して終わります\n"
                      "\n"
                      "式: 整数、小数 2.5、分数 1/3、循環小数 0.1[6]、帯分数 1:2/3、\n"
                      "+ - * / ^（整数乗）と括弧。\n"
                      "\n"
                      "終了ステータス: 成功は 0、-e の式を計算できなければ 1、\n"
                      "オプションの誤りやファイルを読み書きできなければ 2。\n"),
    QT_TRANSLATE_NOOP("Message", "バグの報告先: <%1>\n"),
    QT_TRANSLATE_NOOP("Message", "ホームページ: <%1>\n"),
    QT_TRANSLATE_NOOP("Message",
                      "ライセンス GPLv3+: GNU GPL バージョン 3 以降\n"
                      "<https://gnu.org/licenses/gpl.html>\n"
                      "これはフリーソフトウェアです。自由に変更し、再配布できます。\n"
                      "法律が許す範囲で、一切の保証はありません。\n"),
    QT_TRANSLATE_NOOP("Message", "詳しくは '%1 --help' を実行してください。\n"),
    QT_TRANSLATE_NOOP("Message", "オプション '%1' には値が要ります"),
    QT_TRANSLATE_NOOP("Message", "オプション '%1' が二度指定されました"),
    QT_TRANSLATE_NOOP("Message", "形式 '%1' はありません（%2 のどれかです）"),
    QT_TRANSLATE_NOOP("Message", "--jobs にはスレッドの数を 1 から %1 までで指定します（'%2' ではなく）"),
    QT_TRANSLATE_NOOP("Message", "--render には TEXT と FILE が要ります"),
    QT_TRANSLATE_NOOP("Message", "ファイルの種類 '%1' は書けません（%2 のどれかです）"),
    QT_TRANSLATE_NOOP("Message", "--size には 0 より大きく 1000 以下のポイント数を指定します（'%1' ではなく）"),
    QT_TRANSLATE_NOOP("Message", "--max-digits には %1 以上の整数を指定します（'%2' ではなく）"),
    QT_TRANSLATE_NOOP("Message", "不明なオプション '%1'"),
    QT_TRANSLATE_NOOP("Message", "-e、--batch、--repl、--render、--help、--version のうち一つだけを指定します"),
    QT_TRANSLATE_NOOP("Message", "--form は -e と共に使います"),
    QT_TRANSLATE_NOOP("Message", "--steps は -e と共に使います"),
    QT_TRANSLATE_NOOP("Message", "--steps と共に使える形式は improper、latex、mathml です"),
    QT_TRANSLATE_NOOP("Message", "--font と --size は --render と共に使います"),
    QT_TRANSLATE_NOOP("Message", "--jobs は --batch と共に使います"),
    QT_TRANSLATE_NOOP("Message", "--batch には入力ファイルが要ります"),
    QT_TRANSLATE_NOOP("Message", "余分な引数 '%1'"),
    QT_TRANSLATE_NOOP("Message", "ウィンドウと --render はプログラム本体が始めます"),
    QT_TRANSLATE_NOOP("Message", "render: QApplication が要ります"),
    QT_TRANSLATE_NOOP("Message", "render: フォント「%1」が見つからないので「%2」を使います"),
    QT_TRANSLATE_NOOP("Message", "ディスプレイが見つかりません。ウィンドウなしでは -e EXPR、--batch IN [OUT]、--repl が使えます"),
    QT_TRANSLATE_NOOP("Message", "ウィンドウのプログラムを起動できません"),
    QT_TRANSLATE_NOOP("Message", "不明なエラー"),
    QT_TRANSLATE_NOOP("Message", "答えを表示しています…"),
};
static_assert(kTexts.size() == static_cast<std::size_t>(Message::Count), "one text per message");

}  // namespace

const char* sourceText(Message m) { return kTexts.at(static_cast<std::size_t>(m)); }

std::string formatMessage(std::string_view text, std::string_view first, std::string_view second) {
    std::string out(text);
    if (out.find("%1") == std::string::npos) {
        if (!first.empty()) (out += ": ") += first;
        return out;
    }
    // One pass over the text: an argument that holds "%2" stays as it is.
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == '1' || text[i + 1] == '2')) {
            out += text[++i] == '1' ? first : second;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace nerova
