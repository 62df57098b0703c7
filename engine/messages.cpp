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
