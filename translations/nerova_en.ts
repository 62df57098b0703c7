<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Message</name>
    <message>
        <source>end of stream</source>
        <translation>end of stream</translation>
    </message>
    <message>
        <source>begining of stream</source>
        <translation>beginning of stream</translation>
    </message>
    <message>
        <source>項がない</source>
        <translation>a term is missing</translation>
    </message>
    <message>
        <source>カッコがあってない</source>
        <translation>unbalanced parentheses</translation>
    </message>
    <message>
        <source>0で割ろうとした</source>
        <translation>division by zero</translation>
    </message>
    <message>
        <source>入れ子が深すぎます</source>
        <translation>the nesting is too deep</translation>
    </message>
    <message>
        <source>有理数乗しようとした</source>
        <translation>the exponent is not an integer</translation>
    </message>
    <message>
        <source>数字がない</source>
        <translation>a number is missing</translation>
    </message>
    <message>
        <source>帯分数でない</source>
        <translation>not a mixed number</translation>
    </message>
    <message>
        <source>負の数は扱えません</source>
        <translation>negative numbers are not allowed here</translation>
    </message>
    <message>
        <source>桁あふれが起こりました</source>
        <translation>the number overflowed</translation>
    </message>
    <message>
        <source>LongAdd で桁あふれが起こりました</source>
        <translation>LongAdd overflowed</translation>
    </message>
    <message>
        <source>LongSub で結果が負になりました</source>
        <translation>LongSub gave a negative result</translation>
    </message>
    <message>
        <source>Shortmul で桁あふれが起こりました</source>
        <translation>Shortmul overflowed</translation>
    </message>
    <message>
        <source>LongMul で桁あふれが起こりました</source>
        <translation>LongMul overflowed</translation>
    </message>
    <message>
        <source>0 では割れません</source>
        <translation>cannot divide by 0</translation>
    </message>
    <message>
        <source>被除数が大き過ぎます</source>
        <translation>the dividend is too large</translation>
    </message>
    <message>
        <source>浮動小数点数のオーバーフロー</source>
        <translation>floating-point overflow</translation>
    </message>
    <message>
        <source>結果が大きすぎます</source>
        <translation>the result is too large</translation>
    </message>
    <message>
        <source>メモリが不足しています</source>
        <translation>out of memory</translation>
    </message>
    <message>
        <source>計算を中断しました</source>
        <translation>calculation cancelled</translation>
    </message>
    <message>
        <source>ファイルが見つかりません</source>
        <translation>file not found</translation>
    </message>
    <message>
        <source>ファイルを開けません</source>
        <translation>cannot open the file</translation>
    </message>
    <message>
        <source>ファイルを読み込めません</source>
        <translation>cannot read the file</translation>
    </message>
    <message>
        <source>ファイルを作成できません</source>
        <translation>cannot create the file</translation>
    </message>
    <message>
        <source>ファイルに書き込めません</source>
        <translation>cannot write the file</translation>
    </message>
    <message>
        <source>出力ファイルが入力ファイルと同じです</source>
        <translation>the output file is the input file</translation>
    </message>
    <message>
        <source>行が長すぎます</source>
        <translation>the line is too long</translation>
    </message>
    <message>
        <source>(標準入力)</source>
        <translation>(standard input)</translation>
    </message>
    <message>
        <source>(標準出力)</source>
        <translation>(standard output)</translation>
    </message>
    <message>
        <source>%1 に書き込めません</source>
        <translation>cannot write %1</translation>
    </message>
    <message>
        <source>分子 %1 桁、分母 %2 桁</source>
        <translation>digits: numerator %1, denominator %2</translation>
    </message>
    <message>
        <source>「%1」は計算に使っていません</source>
        <translation>“%1” was not used in the calculation</translation>
    </message>
</context>
<context>
    <name>TBunDisp</name>
    <message>
        <source>数式</source>
        <translation>Formula</translation>
    </message>
</context>
<context>
    <name>Tfnerova</name>
    <message>
        <source>計算中… Esc で中断</source>
        <translation>Calculating… Esc cancels</translation>
    </message>
    <message>
        <source>Enter: 計算  Ctrl+E: 選択を計算</source>
        <translation>Enter: calculate  Ctrl+E: selection</translation>
    </message>
    <message>
        <source>Enter: 入力を計算します
Ctrl+E: 選択した部分を値に置き換えます
Esc: 長い計算を中断します
↓: 履歴</source>
        <translation>Enter: calculates the input
Ctrl+E: replaces the selection by its value
Esc: cancels a long calculation
↓: history</translation>
    </message>
    <message>
        <source>入力</source>
        <translation>Input</translation>
    </message>
    <message>
        <source>数式のスクロール</source>
        <translation>Formula scroll</translation>
    </message>
    <message>
        <source>画像(&amp;I)</source>
        <translation>&amp;Image</translation>
    </message>
    <message>
        <source>SVG(&amp;S)</source>
        <translation>&amp;SVG</translation>
    </message>
    <message>
        <source>LaTeX(&amp;L)</source>
        <translation>&amp;LaTeX</translation>
    </message>
    <message>
        <source>MathML(&amp;M)</source>
        <translation>&amp;MathML</translation>
    </message>
    <message>
        <source>AC</source>
        <translation>AC</translation>
    </message>
    <message>
        <source>小数化</source>
        <translation>Decimal</translation>
    </message>
    <message>
        <source>帯分数</source>
        <translation>Mixed</translation>
    </message>
    <message>
        <source>仮分数</source>
        <translation>Improper</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>ＡＣ(&amp;C)</source>
        <translation>&amp;AC</translation>
    </message>
    <message>
        <source>小数化(&amp;F)</source>
        <translation>&amp;Decimal</translation>
    </message>
    <message>
        <source>帯分数風(&amp;T)</source>
        <translation>&amp;Mixed number</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>コピー(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>切り取り(&amp;T)</source>
        <translation>Cu&amp;t</translation>
    </message>
    <message>
        <source>貼り付け(&amp;P)</source>
        <translation>&amp;Paste</translation>
    </message>
    <message>
        <source>すべて選択(&amp;A)</source>
        <translation>Select &amp;All</translation>
    </message>
    <message>
        <source>計算(&amp;E)</source>
        <translation>&amp;Evaluate</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>フォント…(&amp;F)</source>
        <translation>&amp;Font…</translation>
    </message>
    <message>
        <source>循環小数(&amp;J)</source>
        <translation>&amp;Recurring decimals</translation>
    </message>
    <message>
        <source>履歴を保存(&amp;H)</source>
        <translation>Keep &amp;history</translation>
    </message>
    <message>
        <source>形式を選んでコピー(&amp;Y)</source>
        <translation>Cop&amp;y as</translation>
    </message>
</context>
<context>
    <name>nerova::DdeLink</name>
    <message>
        <source>クリップボードを開くことができません</source>
        <translation>cannot open the clipboard</translation>
    </message>
</context>
<context>
    <name>nerova::DdeServer</name>
    <message>
        <source>D-Bus なし: マクロは使えません</source>
        <translation>No D-Bus: no macros</translation>
    </message>
    <message>
        <source>マクロは別のコピーが受付中</source>
        <translation>Another copy takes the macros</translation>
    </message>
    <message>
        <source>D-Bus に登録できません</source>
        <translation>Cannot register on D-Bus</translation>
    </message>
</context>
<context>
    <name>nerova::FontDialog</name>
    <message>
        <source>フォント</source>
        <translation>Font</translation>
    </message>
    <message>
        <source>色(&amp;C)…</source>
        <translation>Co&amp;lour…</translation>
    </message>
    <message>
        <source>色</source>
        <translation>Colour</translation>
    </message>
</context>
</TS>
