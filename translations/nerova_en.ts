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
    <message>
        <source>「%1」は一つの分数です。割り算は %2 か (2^100)/(3^50) のように書きます</source>
        <translation>“%1” is one fraction; write a division as %2 or (2^100)/(3^50)</translation>
    </message>
    <message>
        <source>貼り付けは %1 バイトまでです（貼り付けませんでした）</source>
        <translation>a paste holds at most %1 bytes (nothing was pasted)</translation>
    </message>
    <message>
        <source>一括計算中… %1 / %2 行</source>
        <translation>Batch: %1 of %2 lines…</translation>
    </message>
    <message>
        <source>一括計算を中断しました: %1 行を計算しました</source>
        <translation>Batch cancelled: %1 lines calculated</translation>
    </message>
    <message>
        <source>一括計算が終わりました: %1 行を計算しました</source>
        <translation>Batch finished: %1 lines calculated</translation>
    </message>
    <message>
        <source>%1 は設定ファイルとしては大きすぎるため読みません</source>
        <translation>%1 is too large for a settings file and is not read</translation>
    </message>
    <message>
        <source>途中式は省略します</source>
        <translation>the steps are left out</translation>
    </message>
    <message>
        <source>結果は長すぎるので省略します</source>
        <translation>the result is too long to show</translation>
    </message>
    <message>
        <source>使い方: %1 [OPTION]... [IN [OUT]]
  または: %1 -e EXPR [-e EXPR]... [--form FORM] [--steps]
  または: %1 --batch IN [OUT] [--jobs N]
  または: %1 --repl
  または: %1 --render TEXT FILE [--font FAMILY] [--size POINTS]
</source>
        <translation>Usage: %1 [OPTION]... [IN [OUT]]
  or:  %1 -e EXPR [-e EXPR]... [--form FORM] [--steps]
  or:  %1 --batch IN [OUT] [--jobs N]
  or:  %1 --repl
  or:  %1 --render TEXT FILE [--font FAMILY] [--size POINTS]
</translation>
    </message>
    <message>
        <source>分数で正確に計算します。桁数がどれほど増えても正確です。
オプションなしでは電卓のウィンドウを開きます。IN [OUT] を付けると、まず
--batch と同じくファイル IN の各行を計算して OUT（なければ標準出力）に
書きます。

  -e, --eval=EXPR      式 EXPR を計算して値を表示します。何度でも指定できます
      --form=FORM      -e の値の形式: improper（既定、7/2）、mixed（3:1/2）、
                         plus（3+1/2）、float（3.5）、
                         decimal（100 文字で打ち切り）、recurring（0.[3]）、
                         latex（\frac{7}{2}）、mathml（&lt;math&gt;）
      --steps          -e で: 途中式を表示します。式に続けて各段階を
                         &apos;= ...&apos; の形で（latex、mathml では一つのブロックで）
      --batch IN [OUT] ファイル IN（&apos;-&apos; は標準入力）の各行を計算して OUT に
                         （なければ標準出力に）書きます。&apos;#&apos; で始まる行は
                         そのまま写します
      --jobs=N         --batch で N 個のスレッドで計算します（既定: コアごとに
                         一つ）。出力は入力の順のままです
      --repl           対話形式で計算します。Ctrl-D で終わります
      --render TEXT FILE  TEXT（&apos;-&apos; は標準入力）をウィンドウの表示と同じく
                         組版して FILE に書きます。拡張子で形式を選びます:
                         .png、.svg、.tex（LaTeX）、.mml（MathML）
      --font=FAMILY    --render で使うフォントファミリー
      --size=POINTS    --render で使うフォントの大きさ（0 より大きく 1000 以下）
      --max-digits=N   10 進で N 桁を超える結果を計算しません
                         （既定: メモリの 4 分の 1 に収まる桁数）
  -h, --help           この説明を表示して終わります
      --version        バージョン情報を表示して終わります

式: 整数、小数 2.5、分数 1/3、循環小数 0.1[6]、帯分数 1:2/3、
+ - * / ^（整数乗）と括弧。

終了ステータス: 成功は 0、-e の式を計算できなければ 1、
オプションの誤りやファイルを読み書きできなければ 2。
</source>
        <translation>Calculate exactly with fractions, however long their numbers grow.
Without options, open the calculator window; with IN [OUT], first evaluate
every line of the file IN into OUT, or onto standard output, as --batch does.

  -e, --eval=EXPR      evaluate EXPR and print its value; may be given again
      --form=FORM      the form of the values of -e: improper (the default,
                         7/2), mixed (3:1/2), plus (3+1/2), float (3.5),
                         decimal (cut off after 100 characters), recurring
                         (0.[3]), latex (\frac{7}{2}), mathml (&lt;math&gt;)
      --steps          with -e: print the working, the expression and then
                         each step as &apos;= ...&apos; (latex, mathml: one block)
      --batch IN [OUT] evaluate every line of the file IN (&apos;-&apos;: standard
                         input) into OUT, or onto standard output; lines
                         that start with &apos;#&apos; are copied
      --jobs=N         with --batch: evaluate on N threads (default: one a
                         core); the output keeps the order of the input
      --repl           an interactive prompt; Ctrl-D ends it
      --render TEXT FILE  typeset TEXT (&apos;-&apos;: standard input) as the window&apos;s
                         display does into FILE, whose extension chooses the
                         writer: .png, .svg, .tex (LaTeX), .mml (MathML)
      --font=FAMILY    with --render: the font family
      --size=POINTS    with --render: the font size, above 0, at most 1000
      --max-digits=N   refuse a result of more than N decimal digits
                         (default: as many as a quarter of the memory holds)
  -h, --help           display this help and exit
      --version        output version information and exit

Expressions: integers, decimals 2.5, fractions 1/3, recurring decimals 0.1[6],
mixed numbers 1:2/3, + - * / ^ (integer powers) and parentheses.

Exit status: 0 on success, 1 when an expression of -e cannot be evaluated,
2 for a wrong option or a file that cannot be read or written.
</translation>
    </message>
    <message>
        <source>バグの報告先: &lt;%1&gt;
</source>
        <translation>Report bugs to: &lt;%1&gt;
</translation>
    </message>
    <message>
        <source>ホームページ: &lt;%1&gt;
</source>
        <translation>Home page: &lt;%1&gt;
</translation>
    </message>
    <message>
        <source>ライセンス GPLv3+: GNU GPL バージョン 3 以降
&lt;https://gnu.org/licenses/gpl.html&gt;
これはフリーソフトウェアです。自由に変更し、再配布できます。
法律が許す範囲で、一切の保証はありません。
</source>
        <translation>License GPLv3+: GNU GPL version 3 or later &lt;https://gnu.org/licenses/gpl.html&gt;.
This is free software: you are free to change and redistribute it.
There is NO WARRANTY, to the extent permitted by law.
</translation>
    </message>
    <message>
        <source>詳しくは &apos;%1 --help&apos; を実行してください。
</source>
        <translation>Try &apos;%1 --help&apos; for more information.
</translation>
    </message>
    <message>
        <source>オプション &apos;%1&apos; には値が要ります</source>
        <translation>option &apos;%1&apos; needs a value</translation>
    </message>
    <message>
        <source>オプション &apos;%1&apos; が二度指定されました</source>
        <translation>option &apos;%1&apos; given twice</translation>
    </message>
    <message>
        <source>形式 &apos;%1&apos; はありません（%2 のどれかです）</source>
        <translation>unknown form &apos;%1&apos; (one of %2)</translation>
    </message>
    <message>
        <source>--jobs にはスレッドの数を 1 から %1 までで指定します（&apos;%2&apos; ではなく）</source>
        <translation>--jobs needs a number of threads from 1 to %1, not &apos;%2&apos;</translation>
    </message>
    <message>
        <source>--render には TEXT と FILE が要ります</source>
        <translation>--render needs TEXT and FILE</translation>
    </message>
    <message>
        <source>ファイルの種類 &apos;%1&apos; は書けません（%2 のどれかです）</source>
        <translation>unknown file type &apos;%1&apos; (one of %2)</translation>
    </message>
    <message>
        <source>--size には 0 より大きく 1000 以下のポイント数を指定します（&apos;%1&apos; ではなく）</source>
        <translation>--size needs a number of points above 0, at most 1000, not &apos;%1&apos;</translation>
    </message>
    <message>
        <source>--max-digits には %1 以上の整数を指定します（&apos;%2&apos; ではなく）</source>
        <translation>--max-digits needs a whole number of at least %1, not &apos;%2&apos;</translation>
    </message>
    <message>
        <source>不明なオプション &apos;%1&apos;</source>
        <translation>unknown option &apos;%1&apos;</translation>
    </message>
    <message>
        <source>-e、--batch、--repl、--render、--help、--version のうち一つだけを指定します</source>
        <translation>choose one of -e, --batch, --repl, --render, --help, --version</translation>
    </message>
    <message>
        <source>--form は -e と共に使います</source>
        <translation>--form goes with -e</translation>
    </message>
    <message>
        <source>--steps は -e と共に使います</source>
        <translation>--steps goes with -e</translation>
    </message>
    <message>
        <source>--steps と共に使える形式は improper、latex、mathml です</source>
        <translation>--steps goes with the forms improper, latex and mathml</translation>
    </message>
    <message>
        <source>--font と --size は --render と共に使います</source>
        <translation>--font and --size go with --render</translation>
    </message>
    <message>
        <source>--jobs は --batch と共に使います</source>
        <translation>--jobs goes with --batch</translation>
    </message>
    <message>
        <source>--batch には入力ファイルが要ります</source>
        <translation>--batch needs an input file</translation>
    </message>
    <message>
        <source>余分な引数 &apos;%1&apos;</source>
        <translation>unexpected argument &apos;%1&apos;</translation>
    </message>
    <message>
        <source>ウィンドウと --render はプログラム本体が始めます</source>
        <translation>the window and --render are started by the program itself</translation>
    </message>
    <message>
        <source>render: QApplication が要ります</source>
        <translation>render: a QApplication is needed</translation>
    </message>
    <message>
        <source>render: フォント「%1」が見つからないので「%2」を使います</source>
        <translation>render: font &quot;%1&quot; not found, using &quot;%2&quot;</translation>
    </message>
    <message>
        <source>ディスプレイが見つかりません。ウィンドウなしでは -e EXPR、--batch IN [OUT]、--repl が使えます</source>
        <translation>no display found; without a window use -e EXPR, --batch IN [OUT] or --repl</translation>
    </message>
    <message>
        <source>ウィンドウのプログラムを起動できません</source>
        <translation>the window program cannot be started</translation>
    </message>
    <message>
        <source>不明なエラー</source>
        <translation>unknown error</translation>
    </message>
    <message>
        <source>結果が大きすぎて D-Bus では送れません</source>
        <translation>The result is too large to send over D-Bus</translation>
    </message>
    <message>
        <source>項目「%1」はありません。項目は NEROVA です</source>
        <translation>No item &quot;%1&quot;; the item is NEROVA</translation>
    </message>
    <message>
        <source>計算中です。終わってからもう一度試してください</source>
        <translation>A calculation is running; try again when it has ended</translation>
    </message>
    <message>
        <source>項目のバイト数の上限を超えています</source>
        <translation>The text is over the item&apos;s limit of bytes</translation>
    </message>
    <message>
        <source>項目の行数の上限を超えています</source>
        <translation>The text is over the item&apos;s limit of lines</translation>
    </message>
    <message>
        <source>項目のデータが D-Bus で送れない大きさになります</source>
        <translation>The item&apos;s data would be too large for the bus</translation>
    </message>
    <message>
        <source>答えを表示しています…</source>
        <translation>Showing the result…</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>色(&amp;L)…</source>
        <translation>Co&amp;lour…</translation>
    </message>
    <message>
        <source>色(&amp;%1)…</source>
        <translation>Colour (&amp;%1)…</translation>
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
    <message>
        <source>入力と答えを 0 にします</source>
        <translation>Sets the input and the result to 0</translation>
    </message>
    <message>
        <source>答えを小数で表します</source>
        <translation>Shows the result as a decimal</translation>
    </message>
    <message>
        <source>答えを帯分数（1:2/3 の形）で表します</source>
        <translation>Shows the result as a mixed number (as 1:2/3)</translation>
    </message>
    <message>
        <source>答えを仮分数（5/3 の形）で表します</source>
        <translation>Shows the result as an improper fraction (as 5/3)</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>使い方(&amp;U)</source>
        <translation>&amp;Usage</translation>
    </message>
    <message>
        <source>バージョン情報(&amp;A)</source>
        <translation>&amp;About Nerova</translation>
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
        <source>色</source>
        <translation>Colour</translation>
    </message>
</context>
<context>
    <name>nerova::HelpWindow</name>
    <message>
        <source>Nerova の使い方</source>
        <translation>Using Nerova</translation>
    </message>
    <message>
        <source>&lt;p&gt;&lt;b&gt;Nerova&lt;/b&gt; %1&lt;/p&gt;&lt;p&gt;分数で正確に計算する電卓&lt;/p&gt;&lt;p&gt;ライセンス: %2&lt;/p&gt;</source>
        <translation>&lt;p&gt;&lt;b&gt;Nerova&lt;/b&gt; %1&lt;/p&gt;&lt;p&gt;A calculator for exact fractions&lt;/p&gt;&lt;p&gt;Licence: %2&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;p&gt;ホームページ: &lt;a href=&quot;%1&quot;&gt;%1&lt;/a&gt;&lt;/p&gt;</source>
        <translation>&lt;p&gt;Home page: &lt;a href=&quot;%1&quot;&gt;%1&lt;/a&gt;&lt;/p&gt;</translation>
    </message>
    <message>
        <source>バージョン情報</source>
        <translation>About Nerova</translation>
    </message>
    <message>
        <source>&lt;h3&gt;式の書き方&lt;/h3&gt;&lt;p&gt;式を入力して Enter を押すと、答えが正確な分数（仮分数）で出ます。&lt;/p&gt;&lt;table&gt;&lt;tr&gt;&lt;td&gt;整数・小数&lt;/td&gt;&lt;td&gt;&lt;code&gt;12&lt;/code&gt;&#x3000;&lt;code&gt;0.25&lt;/code&gt;&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;分数&lt;/td&gt;&lt;td&gt;&lt;code&gt;1/3&lt;/code&gt;&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;帯分数&lt;/td&gt;&lt;td&gt;&lt;code&gt;1:2/3&lt;/code&gt;（1 と 2/3、つまり 5/3）&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;循環小数&lt;/td&gt;&lt;td&gt;&lt;code&gt;0.[3]&lt;/code&gt; は 1/3、&lt;code&gt;0.1[6]&lt;/code&gt; は 1/6&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;計算&lt;/td&gt;&lt;td&gt;&lt;code&gt;+ - * / ^&lt;/code&gt; と括弧 &lt;code&gt;( )&lt;/code&gt;&lt;/td&gt;&lt;/tr&gt;&lt;/table&gt;&lt;p&gt;&lt;b&gt;割り算は / の前後を空けます。&lt;/b&gt;空白のない &lt;code&gt;1/3&lt;/code&gt; は一つの分数で、何よりも先に結びつきます。&lt;code&gt;2^100/3^50&lt;/code&gt; は 2 の (100/3) 乗と読まれるので、割り算は &lt;code&gt;2^100 / 3^50&lt;/code&gt; か &lt;code&gt;(2^100)/(3^50)&lt;/code&gt; と書きます。&lt;/p&gt;&lt;p&gt;全角の数字と記号（&lt;code&gt;１／３＋１／６&lt;/code&gt;、× ÷ −）は半角に直して入力されます。&lt;/p&gt;&lt;h3&gt;キー&lt;/h3&gt;&lt;table&gt;&lt;tr&gt;&lt;td&gt;Enter&lt;/td&gt;&lt;td&gt;入力を計算します&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Ctrl+E&lt;/td&gt;&lt;td&gt;選択した部分をその値に置き換えます&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Esc&lt;/td&gt;&lt;td&gt;長い計算を中断します&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;↓&lt;/td&gt;&lt;td&gt;履歴（前に計算した入力）&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Ctrl+X / Ctrl+C / Ctrl+V&lt;/td&gt;&lt;td&gt;切り取り・コピー・貼り付け&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Ctrl+T&lt;/td&gt;&lt;td&gt;途中式（計算の筋道を一行ずつ）を開く・閉じる&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Ctrl+Q&lt;/td&gt;&lt;td&gt;終了&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;F1&lt;/td&gt;&lt;td&gt;この説明&lt;/td&gt;&lt;/tr&gt;&lt;/table&gt;&lt;p&gt;答えのすぐ後に数字・文字・小数点・開き括弧を打つと新しい入力が始まり、演算子（+ - * / ^）を打つと答えに続けて計算できます。&lt;/p&gt;&lt;h3&gt;ボタン&lt;/h3&gt;&lt;table&gt;&lt;tr&gt;&lt;td&gt;AC&lt;/td&gt;&lt;td&gt;入力と答えを 0 にします&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;小数化&lt;/td&gt;&lt;td&gt;答えを小数で表します（表示 → 循環小数 で循環部分を [ ] で示します）&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;帯分数&lt;/td&gt;&lt;td&gt;答えを 1:2/3 の形で表します&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;仮分数&lt;/td&gt;&lt;td&gt;答えを 5/3 の形で表します&lt;/td&gt;&lt;/tr&gt;&lt;/table&gt;</source>
        <translation>&lt;h3&gt;Writing expressions&lt;/h3&gt;&lt;p&gt;Type an expression and press Enter: the result is an exact fraction (an improper fraction).&lt;/p&gt;&lt;table&gt;&lt;tr&gt;&lt;td&gt;Integers, decimals&lt;/td&gt;&lt;td&gt;&lt;code&gt;12&lt;/code&gt;&#x2003;&lt;code&gt;0.25&lt;/code&gt;&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Fractions&lt;/td&gt;&lt;td&gt;&lt;code&gt;1/3&lt;/code&gt;&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Mixed numbers&lt;/td&gt;&lt;td&gt;&lt;code&gt;1:2/3&lt;/code&gt; (1 and 2/3, that is 5/3)&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Recurring decimals&lt;/td&gt;&lt;td&gt;&lt;code&gt;0.[3]&lt;/code&gt; is 1/3, &lt;code&gt;0.1[6]&lt;/code&gt; is 1/6&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Operations&lt;/td&gt;&lt;td&gt;&lt;code&gt;+ - * / ^&lt;/code&gt; and parentheses &lt;code&gt;( )&lt;/code&gt;&lt;/td&gt;&lt;/tr&gt;&lt;/table&gt;&lt;p&gt;&lt;b&gt;Put blanks around / to divide.&lt;/b&gt; &lt;code&gt;1/3&lt;/code&gt; without blanks is one fraction, which binds before anything else. &lt;code&gt;2^100/3^50&lt;/code&gt; is read as 2 to the power 100/3, so write the division as &lt;code&gt;2^100 / 3^50&lt;/code&gt; or &lt;code&gt;(2^100)/(3^50)&lt;/code&gt;.&lt;/p&gt;&lt;p&gt;Full-width digits and signs (&lt;code&gt;１／３＋１／６&lt;/code&gt;, × ÷ −) are typed as their ASCII forms.&lt;/p&gt;&lt;h3&gt;Keys&lt;/h3&gt;&lt;table&gt;&lt;tr&gt;&lt;td&gt;Enter&lt;/td&gt;&lt;td&gt;calculates the input&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Ctrl+E&lt;/td&gt;&lt;td&gt;replaces the selection by its value&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Esc&lt;/td&gt;&lt;td&gt;cancels a long calculation&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;↓&lt;/td&gt;&lt;td&gt;history (the inputs calculated before)&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Ctrl+X / Ctrl+C / Ctrl+V&lt;/td&gt;&lt;td&gt;cut, copy, paste&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Ctrl+T&lt;/td&gt;&lt;td&gt;opens or closes the steps (the calculation line by line)&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Ctrl+Q&lt;/td&gt;&lt;td&gt;exit&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;F1&lt;/td&gt;&lt;td&gt;this help&lt;/td&gt;&lt;/tr&gt;&lt;/table&gt;&lt;p&gt;A digit, a letter, a decimal point or an opening parenthesis typed right after a result starts a new input; an operator (+ - * / ^) goes on calculating with the result.&lt;/p&gt;&lt;h3&gt;Buttons&lt;/h3&gt;&lt;table&gt;&lt;tr&gt;&lt;td&gt;AC&lt;/td&gt;&lt;td&gt;sets the input and the result to 0&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Decimal&lt;/td&gt;&lt;td&gt;shows the result as a decimal (View → Recurring decimals shows the recurring part in [ ])&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Mixed&lt;/td&gt;&lt;td&gt;shows the result as 1:2/3&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Improper&lt;/td&gt;&lt;td&gt;shows the result as 5/3&lt;/td&gt;&lt;/tr&gt;&lt;/table&gt;</translation>
    </message>
</context>
<context>
    <name>nerova::InputEdit</name>
    <message>
        <source>文字数 %1</source>
        <translation>%1 characters</translation>
    </message>
</context>
<context>
    <name>nerova::StepsList</name>
    <message>
        <source>イコール</source>
        <translation>equals</translation>
    </message>
</context>
<context>
    <name>nerova::StepsView</name>
    <message>
        <source>途中式</source>
        <translation>Steps</translation>
    </message>
    <message>
        <source>テキストでコピー(&amp;C)</source>
        <translation>&amp;Copy as text</translation>
    </message>
    <message>
        <source>LaTeX でコピー(&amp;L)</source>
        <translation>Copy as &amp;LaTeX</translation>
    </message>
    <message>
        <source>途中式(&amp;T)</source>
        <translation>&amp;Steps</translation>
    </message>
</context>
</TS>
