#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# cli_test.sh CASE NEROVA: checks one case of the command-line contract.
set -u
case_name=$1
nerova=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
# Messages follow the locale; the cases expect the design's texts unless they say otherwise.
export LC_ALL=C.UTF-8
unset LANGUAGE

# No display, no session bus: a window-free mode that created a GUI application would
# fail to start here.
run() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM=xcb \
        "$nerova" "$@" >"$work/out" 2>"$work/err"
    status=$?
}

# same_stream NAME FILE FORMAT: FILE holds what the printf FORMAT gives ("*": anything).
same_stream() {
    [ "$3" == "*" ] && return
    if [ "$(cat "$2"; echo x)" != "$(printf -- "$3"; echo x)" ]; then
        echo "FAIL: $1:"; cat -A "$2"; echo "expected:"; printf -- "$3" | cat -A
        failures=$((failures + 1))
    fi
}

# expect STATUS STDOUT STDERR (printf formats; "*" skips the check of that stream)
expect() {
    if [ "$status" != "$1" ]; then
        echo "FAIL: exit status $status, expected $1"; failures=$((failures + 1))
    fi
    same_stream "standard output" "$work/out" "$2"
    same_stream "standard error" "$work/err" "$3"
}

# expect_err_contains TEXT
expect_err_contains() {
    if ! grep -qF -- "$1" "$work/err"; then
        echo "FAIL: standard error lacks '$1':"; cat "$work/err"; failures=$((failures + 1))
    fi
}

case $case_name in
eval)
    run -e '1/3+1/6'; expect 0 '1/2\n' ''
    run --eval '2^-1'; expect 0 '1/2\n' ''
    run -e '-5/3'; expect 0 '-5/3\n' ''
    ;;
eval_failure)
    run -e '1/(1-1)'; expect 1 '' 'nerova: 0で割ろうとした\n'
    run -e '(1+2'; expect 1 '' 'nerova: カッコがあってない\n'
    ;;
forms)
    run -e '-5/3' --form improper; expect 0 '-5/3\n' ''
    run -e '-5/3' --form mixed; expect 0 '-1:2/3\n' ''
    run -e '-5/3' --form plus; expect 0 '-(1+2/3)\n' ''
    run -e '-5/3' --form float; expect 0 '-1.66666666666667\n' ''
    run -e '1/4' --form decimal; expect 0 '0.25\n' ''
    run -e '1/3' --form decimal
    expect 0 "0.$(printf '3%.0s' $(seq 98))…\n" ''
    run -e '-5/3' --form recurring; expect 0 '-1.[6]\n' ''
    # A period too long to bracket is cut with "…", not written as if it ended.
    run -e '1/223' --form recurring
    expect 0 "0.$(printf '%s' '00448430493273542600896860986547085201793721973094170403587443946188340807174887892376681614349775784753363228699551569506726457399103139013452914798206278026905829596412556053811659192825112107623318')…\n" ''
    # The float form uses "." whatever the locale says.
    LC_ALL=de_DE.UTF-8 LC_NUMERIC=de_DE.UTF-8 run -e '1/8' --form float 2>/dev/null
    expect 0 '0.125\n' '*'
    ;;
several)
    run -e 1 -e '1/0' -e '2*3'; expect 1 '1\n6\n' 'nerova: 0で割ろうとした\n'
    ;;
usage)
    # In the locale's language: English, or the design's Japanese under the C locale.
    for locale in en_US.UTF-8 C.UTF-8; do
        if [ $locale = C.UTF-8 ]; then try="詳しくは 'nerova --help' を実行してください。"; else try="Try 'nerova --help' for more information."; fi
        for args in "--bogus" "-e" "--form mixed" "-e 1 --form roman" "--batch" "a b c" "-e 1 --batch x"; do
            # shellcheck disable=SC2086
            LC_ALL=$locale run $args; expect 2 '' '*'
            # GNU's form: what is wrong, then where to look; not the whole usage again.
            [ "$(wc -l <"$work/err")" = 2 ] && [ "$(head -c 8 "$work/err")" = 'nerova: ' ] &&
                [ "$(tail -n 1 "$work/err")" = "$try" ] ||
                { echo "FAIL: $locale $args:"; cat "$work/err"; failures=$((failures + 1)); }
        done
    done
    LC_ALL=en_US.UTF-8 run --bogus; expect 2 '' "nerova: unknown option '--bogus'\nTry 'nerova --help' for more information.\n"
    run --bogus; expect 2 '' "nerova: 不明なオプション '--bogus'\n詳しくは 'nerova --help' を実行してください。\n"
    ;;
help_version)
    # The help in the locale's language; the design's Japanese under the C locale.
    for pair in "en_US.UTF-8 Usage: nerova [OPTION]... [IN [OUT]]" "C.UTF-8 使い方: nerova [OPTION]... [IN [OUT]]" \
                "ja_JP.UTF-8 使い方: nerova [OPTION]... [IN [OUT]]"; do
        locale=${pair%% *}
        LC_ALL=$locale run --help; expect 0 '*' ''
        [ "$(head -n 1 "$work/out")" = "${pair#* }" ] ||
            { echo "FAIL: $locale help starts '$(head -n 1 "$work/out")'"; failures=$((failures + 1)); }
        # Columns a terminal gives, not bytes or characters: a Japanese character takes two.
        width=$(LC_ALL=C.UTF-8 wc -L <"$work/out")
        [ "$width" -le 80 ] || { echo "FAIL: $locale help is $width columns wide"; failures=$((failures + 1)); }
        grep -q -- '--batch IN \[OUT\]' "$work/out" || { echo "FAIL: help lacks --batch"; failures=$((failures + 1)); }
        LC_ALL=$locale run --version; expect 0 '*' ''
        grep -q '^nerova [0-9]' "$work/out" || { echo "FAIL: version text"; failures=$((failures + 1)); }
    done
    # wc -L measures display width here (or the check above could not fail).
    [ "$(printf '使い方\n' | LC_ALL=C.UTF-8 wc -L)" = 6 ] || { echo "FAIL: wc -L does not count columns"; failures=$((failures + 1)); }
    ;;
batch_files)
    printf '# sums\n1/2+1/3\n\n  2^10\n1/0\n' >"$work/lf.txt"
    printf '# sums\r\n1/2+1/3\r\n\r\n  2^10\r\n1/0\r\n' >"$work/crlf.txt"
    printf '# sums\r1/2+1/3\r\r  2^10\r1/0' >"$work/cr.txt"
    want='# sums\n1/2+1/3 = 5/6\n2^10 = 1024\n1/0 = 0で割ろうとした\n'
    for f in lf crlf cr; do
        run --batch "$work/$f.txt" "$work/$f.out"; expect 0 '' ''
        cp "$work/$f.out" "$work/out"; expect 0 "$want" '*'
        run --batch "$work/$f.txt"; expect 0 "$want" ''     # no OUT: standard output
    done
    ;;
batch_jobs)
    # Lines of every kind, cheap and dear mixed: the same output on one thread and on
    # several, and a failing write reported the same way.
    for i in $(seq 1 1500); do
        case $((i % 6)) in
            0) printf '# line %d\r\n' "$i" ;;
            1) printf '%d/7+1/%d\n' "$i" "$i" ;;
            2) printf '3^%d*2^%d / 6^%d\r' "$((i * 3))" "$i" "$i" ;;
            3) printf '\n  1/(%d-%d)\n' "$i" "$i" ;;
            4) printf 'x%d\n' "$i" ;;
            5) printf '(%d\n' "$i" ;;
        esac
    done >"$work/in.txt"
    run --batch "$work/in.txt" "$work/one.txt" --jobs 1; expect 0 '' ''
    run --batch "$work/in.txt" "$work/three.txt" --jobs 3; expect 0 '' ''
    cmp -s "$work/one.txt" "$work/three.txt" || { echo "FAIL: --jobs 3 differs from --jobs 1"; failures=$((failures + 1)); }
    [ "$(wc -l <"$work/one.txt")" -ge 1500 ] || { echo "FAIL: lines missing"; failures=$((failures + 1)); }
    if [ -w /dev/full ]; then
        run --batch "$work/in.txt" /dev/full --jobs 2; expect 2 '' '*'
        expect_err_contains 'ファイルに書き込めません: /dev/full'
    fi
    ;;
batch_stdin)
    env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS "$nerova" --batch - <<<'1/3+1/6' >"$work/out" 2>"$work/err"
    status=$?
    expect 0 '1/3+1/6 = 1/2\n' ''
    ;;
batch_missing)
    printf 'keep\n' >"$work/out.txt"
    run --batch "$work/missing.txt" "$work/out.txt"; expect 2 '' '*'
    expect_err_contains 'ファイルが見つかりません'
    [ "$(cat "$work/out.txt")" = keep ] || { echo "FAIL: output file touched"; failures=$((failures + 1)); }
    ;;
batch_same_file)
    # Standard input or output being the output or input file: refused before anything
    # is written, as for two names of one file.
    printf '1+1\n2*3\n' >"$work/f.txt"
    env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS "$nerova" --batch - "$work/f.txt" <"$work/f.txt" \
        >"$work/out" 2>"$work/err"
    status=$?
    expect 2 '' '*'; expect_err_contains '出力ファイルが入力ファイルと同じです'
    [ "$(cat "$work/f.txt")" = "$(printf '1+1\n2*3')" ] || { echo "FAIL: input emptied"; failures=$((failures + 1)); }
    # Appending to the input would read its own output for ever (timeout only ends the fault).
    printf '1+1\n2*3\n' >"$work/f.txt"
    timeout 20 env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS "$nerova" --batch "$work/f.txt" \
        >>"$work/f.txt" 2>"$work/err"
    status=$?
    expect 2 '*' '*'; expect_err_contains '出力ファイルが入力ファイルと同じです: (標準出力)'
    [ "$(wc -c <"$work/f.txt")" = 8 ] || { echo "FAIL: input grew"; failures=$((failures + 1)); }
    printf '1+1\n2*3\n' >"$work/f.txt"
    timeout 20 env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS "$nerova" --batch - <"$work/f.txt" \
        >>"$work/f.txt" 2>"$work/err"
    status=$?
    expect 2 '*' '*'; expect_err_contains '出力ファイルが入力ファイルと同じです'
    # One device on both ends is no file to lose.
    env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS "$nerova" --batch - </dev/null >/dev/null 2>"$work/err"
    status=$?
    expect 0 '*' ''
    ;;
batch_unreadable_input)
    # An input that opens but cannot be read leaves the output as it was.
    mkdir "$work/dir"
    printf 'keep\n' >"$work/keep.txt"
    run --batch "$work/dir" "$work/keep.txt"; expect 2 '' '*'
    expect_err_contains 'ファイルを読み込めません'
    env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS "$nerova" --batch - "$work/keep.txt" <"$work/dir" \
        >"$work/out" 2>"$work/err"
    status=$?
    expect 2 '' '*'; expect_err_contains 'ファイルを読み込めません: (標準入力)'
    [ "$(cat "$work/keep.txt")" = keep ] || { echo "FAIL: output file touched"; failures=$((failures + 1)); }
    ;;
max_digits)
    # A small budget refuses large results before computing them, in every mode.
    run --max-digits 100 -e '2^332' -e '2^333' -e '9^9^9'
    expect 1 "$(printf '%s' '8749002899132047697490008908470485461412677723572849745703082425639811996797503692894052708092215296')\n" 'nerova: 結果が大きすぎます\nnerova: 結果が大きすぎます\n'
    printf '10^98*10\n10^99*10\n' >"$work/in.txt"
    run --batch "$work/in.txt" --max-digits=100
    expect 0 "10^98*10 = 1$(printf '0%.0s' $(seq 99))\n10^99*10 = 結果が大きすぎます\n" ''
    env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS "$nerova" --repl --max-digits 50 <<<$'7^4000000000\n2+2' \
        >"$work/out" 2>"$work/err"
    status=$?
    expect 0 '結果が大きすぎます\n4\n' ''
    for bad in 0 19 -5 1e9 x; do
        run --max-digits "$bad" -e 1; expect 2 '' '*'; expect_err_contains '--max-digits'
    done
    ;;
batch_unwritable)
    printf '1\n' >"$work/in.txt"
    run --batch "$work/in.txt" "$work/no/such/dir/out.txt"; expect 2 '' '*'
    expect_err_contains "$work/no/such/dir/out.txt"
    if [ -w /dev/full ]; then
        run --batch "$work/in.txt" /dev/full; expect 2 '' '*'
        expect_err_contains /dev/full
    fi
    ;;
stdout_unwritable)
    if [ -w /dev/full ]; then
        "$nerova" -e '1/3+1/6' >/dev/full 2>"$work/err"; status=$?
        expect 2 '*' '*'; expect_err_contains 'ファイルに書き込めません'
        "$nerova" --version >/dev/full 2>"$work/err"; status=$?
        expect 2 '*' '*'
    fi
    ;;
repl)
    env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS "$nerova" --repl <<<$'1/3+1/6\n2^-1' >"$work/out" 2>"$work/err"
    status=$?
    expect 0 '1/2\n1/2\n' ''
    ;;
repl_bounded)
    # Endless NULs and a line of 100 MB are read in bounded memory (the sanitizers'
    # shadow memory needs no such cap and would not start under it).
    cap=""
    if ! ldd "$nerova" 2>/dev/null | grep -q libasan; then cap="ulimit -v 300000;"; fi
    # NULs count toward the line limit: 400 MB of them are a line too long, whose rest
    # ("1+1" before its line end) is skipped.
    bash -c "$cap { head -c 400M /dev/zero; echo 1+1; echo 3+3; } | \"\$0\" --repl" "$nerova" >"$work/out" 2>"$work/err"
    status=$?
    expect 0 '行が長すぎます\n6\n' ''
    bash -c "$cap { echo 1+1; head -c 100M /dev/zero | tr '\\0' 7; printf '\\n2+2\\n'; } | \"\$0\" --repl" \
        "$nerova" >"$work/out" 2>"$work/err"
    status=$?
    expect 0 '2\n行が長すぎます\n4\n' ''
    ;;
zero_input)
    # Endless NULs (or blanks) without a line end are a line too long, said as soon as
    # the limit is passed: the batch run ends with status 2, the prompt says so and reads on.
    run --batch /dev/zero "$work/out.txt"; expect 2 '*' '*'; expect_err_contains '行が長すぎます'
    [ -s "$work/out.txt" ] && { echo "FAIL: output written"; failures=$((failures + 1)); }
    mkfifo "$work/fifo"
    "$nerova" --repl </dev/zero >"$work/fifo" 2>"$work/err" &
    pid=$!
    line=$(head -n 1 "$work/fifo")
    kill "$pid"; wait "$pid" 2>/dev/null
    [ "$line" == '行が長すぎます' ] || { echo "FAIL: --repl </dev/zero said [$line]"; failures=$((failures + 1)); }
    bash -c "{ head -c 70M /dev/zero | tr '\\0' ' '; printf '\\n1+1\\n'; } | \"\$0\" --repl" "$nerova" >"$work/out" 2>"$work/err"
    status=$?
    expect 0 '行が長すぎます\n2\n' ''
    ;;
batch_full_disk)
    # A write that fails part way (a file size limit, and a full file system where one
    # can be mounted) leaves the output at its last whole line, and status 2.
    for i in $(seq 2000); do echo "$i/7+1"; done >"$work/in.txt"
    check_whole() {  # file: every line complete and in order, the last one ending with "\n"
        local n
        n=$(wc -l <"$1")
        if [ "$(tail -c 1 "$1" | od -An -c | tr -d ' ')" != '\n' ] || [ "$n" -lt 100 ]; then
            echo "FAIL: $1 cut in a line or nearly empty ($n lines)"; failures=$((failures + 1)); return
        fi
        "$nerova" --batch <(head -n "$n" "$work/in.txt") "$work/whole.txt" 2>/dev/null
        cmp -s "$1" "$work/whole.txt" || { echo "FAIL: $1 is not the first $n lines"; failures=$((failures + 1)); }
    }
    (trap '' XFSZ; ulimit -f 8; exec "$nerova" --batch "$work/in.txt" "$work/limited.txt") 2>"$work/err"
    status=$?; expect 2 '*' '*'; expect_err_contains "$work/limited.txt"
    check_whole "$work/limited.txt"
    if [ "$(id -u)" == 0 ] && mkdir "$work/small" && mount -t tmpfs -o size=16k tmpfs "$work/small" 2>/dev/null; then
        "$nerova" --batch "$work/in.txt" "$work/small/out.txt" 2>"$work/err"
        status=$?; expect 2 '*' '*'
        check_whole "$work/small/out.txt"
        cp "$work/small/out.txt" "$work/full.txt"
        umount "$work/small"
        check_whole "$work/full.txt"
    else
        echo "note: no small file system could be mounted (not root?): the file size limit stands for a full disk"
    fi
    ;;
render_bounded)
    # A megabyte of sums: the SVG holds what the PNG holds (the drawing up to the image's
    # width), so file and peak memory stay small; LaTeX and MathML of hostile patterns
    # stay within a small multiple of the input.
    head -c 1000000 < <(yes '1/2+' | tr -d '\n') >"$work/long.txt"
    echo 1 >>"$work/long.txt"
    limit=400000  # KiB of peak memory; the sanitizers' shadow memory needs more
    if ldd "$nerova" 2>/dev/null | grep -q libasan; then limit=4000000; fi
    if [ -x /usr/bin/time ]; then
        env -u DISPLAY /usr/bin/time -f '%M' -o "$work/peak" "$nerova" --render - "$work/long.svg" <"$work/long.txt" 2>"$work/err"
        status=$?; expect 0 '*' '*'
        peak=$(tail -n 1 "$work/peak")
        [ "$peak" -le "$limit" ] || { echo "FAIL: SVG render peaked at $peak KiB"; failures=$((failures + 1)); }
    else
        "$nerova" --render - "$work/long.svg" <"$work/long.txt" 2>"$work/err"
        status=$?; expect 0 '*' '*'
    fi
    size=$(stat -c %s "$work/long.svg")
    [ "$size" -le 1000000 ] || { echo "FAIL: SVG of $size bytes"; failures=$((failures + 1)); }
    grep -q '</svg>' "$work/long.svg" || { echo "FAIL: SVG not complete"; failures=$((failures + 1)); }
    for pattern in '1/2+' '((' '^' '0.[3]' '[' '-(' '1/(' '1:1/(' '2^2^' '<&>'; do
        head -c 100000 < <(yes -- "$pattern" | tr -d '\n') >"$work/p.txt"
        for ext in tex mml; do
            "$nerova" --render - "$work/p.$ext" <"$work/p.txt" 2>/dev/null
            size=$(stat -c %s "$work/p.$ext" 2>/dev/null || echo 0)
            [ "$size" -le $((32 * 100000 + 4096)) ] || { echo "FAIL: $pattern as .$ext: $size bytes"; failures=$((failures + 1)); }
        done
    done
    ;;
render)
    # The render mode starts Qt on the offscreen platform by itself, and keeps quiet
    # about a missing runtime folder.
    env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR \
        "$nerova" --render '-(1+1/2)*2^3' "$work/x.png" >"$work/out" 2>"$work/err"
    status=$?
    expect 0 '' ''
    [ "$(head -c 4 "$work/x.png" | tail -c 3)" = PNG ] || { echo "FAIL: no PNG written"; failures=$((failures + 1)); }
    run --render 1 /nonexistent-dir/x.png; expect 2 '' '*'; expect_err_contains '/nonexistent-dir/x.png に書き込めません'
    ;;
no_qt)
    # The command-line modes never map a Qt library; the render mode does.
    LD_DEBUG=libs "$nerova" -e '1+1' >"$work/out" 2>"$work/err"; status=$?
    expect 0 '2\n' '*'
    if grep -q 'libQt6' "$work/err"; then echo "FAIL: -e loaded Qt"; failures=$((failures + 1)); fi
    LD_DEBUG=libs "$nerova" --render 1 "$work/y.png" >/dev/null 2>"$work/err"
    grep -q 'libQt6Gui' "$work/err" || { echo "FAIL: LD_DEBUG shows no library loads"; failures=$((failures + 1)); }
    ;;
render_formats)
    # The extension chooses the writer; LaTeX and MathML need no Qt.
    LD_DEBUG=libs "$nerova" --render '1:2/3*(2^-2' "$work/x.tex" >/dev/null 2>"$work/err"; status=$?
    [ "$status" = 0 ] || { echo "FAIL: .tex exit $status"; failures=$((failures + 1)); }
    if grep -q 'libQt6' "$work/err"; then echo "FAIL: .tex loaded Qt"; failures=$((failures + 1)); fi
    [ "$(cat "$work/x.tex")" = '1\frac{2}{3}\times\left(2^{-2}\right.' ] || {
        echo "FAIL: LaTeX:"; cat "$work/x.tex"; failures=$((failures + 1)); }
    run --render '0.1[6]' "$work/x.MML"; expect 0 '' ''
    want='<math xmlns="http://www.w3.org/1998/Math/MathML"><mn>0.1</mn><mrow><mover accent="true"><mn>6</mn><mo>˙</mo></mover></mrow></math>'
    [ "$(cat "$work/x.MML")" = "$want" ] || { echo "FAIL: MathML:"; cat "$work/x.MML"; failures=$((failures + 1)); }
    run --render '1/3' "$work/x.svg"; expect 0 '' ''
    grep -q '<svg' "$work/x.svg" && grep -q '>3</text>' "$work/x.svg" || {
        echo "FAIL: SVG without the text:"; head -c 600 "$work/x.svg"; failures=$((failures + 1)); }
    run --render 1/3 "$work/x.jpg"; expect 2 '' '*'; expect_err_contains '.png, .svg, .tex, .mml'
    [ ! -e "$work/x.jpg" ] || { echo "FAIL: unknown type written"; failures=$((failures + 1)); }
    ;;
render_stdin)
    printf '2^3/4\n' | "$nerova" --render - "$work/x.tex" >"$work/out" 2>"$work/err"; status=$?
    expect 0 '' ''
    [ "$(cat "$work/x.tex")" = '2^{3/4}' ] || { echo "FAIL: LaTeX from stdin:"; cat "$work/x.tex"; failures=$((failures + 1)); }
    # longer than one command-line argument may be
    head -c 200000 /dev/zero | tr '\0' 7 | "$nerova" --render - "$work/long.png" >"$work/out" 2>"$work/err"; status=$?
    expect 0 '' ''
    [ "$(head -c 4 "$work/long.png" | tail -c 3)" = PNG ] || { echo "FAIL: no PNG from stdin"; failures=$((failures + 1)); }
    ;;
render_unwritable)
    # A failed write is an error in every format: a full disk, a missing folder.
    for ext in png svg tex mml; do
        ln -s /dev/full "$work/full.$ext"
        run --render 1/3 "$work/full.$ext"; expect 2 '' "nerova: $work/full.$ext に書き込めません\n"
        run --render 1/3 "/nonexistent-dir/x.$ext"; expect 2 '' "nerova: /nonexistent-dir/x.$ext に書き込めません\n"
    done
    run --render 1/3 /dev/full; expect 2 '' 'nerova: /dev/full に書き込めません\n'
    ;;
steps)
    # The working: the expression, then each step after "= ", the last line the result.
    run -e '1/3+1/6' --steps; expect 0 '1/3+1/6\n= 2/6+1/6\n= 3/6\n= 1/2\n' ''
    run -e '2/3 / (4/9)' --steps; expect 0 '2/3 / (4/9)\n= 2/3*9/4\n= 18/12\n= 3/2\n' ''
    run -e '1:1/2*2^3' --steps; expect 0 '1:1/2*2^3\n= 3/2*2^3\n= 3/2*8\n= 24/2\n= 12\n' ''
    run -e '1+1' -e '5/3' --steps; expect 0 '1+1\n= 2\n\n5/3\n' ''
    # A failing step: the lines so far, the message on standard error.
    run -e '1/3 / (1-1)' --steps; expect 1 '1/3 / (1-1)\n= 1/3 / 0\n' 'nerova: 0で割ろうとした\n'
    # Bounds: the steps are left out, then the result, unless it is too long as well.
    run -e '2^1000000' --steps; expect 0 '2^1000000\n途中式は省略します\n結果は長すぎるので省略します\n' ''
    run -e '2^200' --steps
    expect 0 '2^200\n途中式は省略します\n= 1606938044258990275541962092341162602522202993782792835301376\n' ''
    run -e '2x3' --steps; expect 0 '2\n' 'nerova: 「x3」は計算に使っていません\n'
    # Markup: one aligned block, one table row per line.
    run -e '1/3+1/6' --steps --form latex
    expect 0 '\\begin{aligned}\n& \\frac{1}{3}+\\frac{1}{6} \\\\\n&= \\frac{2}{6}+\\frac{1}{6} \\\\\n&= \\frac{3}{6} \\\\\n&= \\frac{1}{2}\n\\end{aligned}\n' ''
    run -e '1+1' --steps --form mathml
    expect 0 '<math xmlns="http://www.w3.org/1998/Math/MathML" display="block"><mtable columnalign="left"><mtr><mtd><mrow><mn>1</mn><mo>+</mo><mn>1</mn></mrow></mtd></mtr><mtr><mtd><mrow><mo>=</mo><mn>2</mn></mrow></mtd></mtr></mtable></math>\n' ''
    run -e '1' --steps --form mixed; expect 2 '' '*'
    run --steps; expect 2 '' '*'
    ;;
latex_compiles)
    # The markup of every construct compiles in a plain document (amsmath at most). Only
    # where a TeX is installed; the project does not need one.
    tex=$(command -v pdflatex || command -v latex) || { echo "no TeX: skipped"; exit 77; }
    {
        echo '\documentclass{article}\usepackage{amsmath}\begin{document}'
        for text in '1:2/3' '-(1+1/2)*2^-3' '2^3^4' '0.[142857]' '3.14…' '(1+2' '1)' '3/' \
                    '<&\{}%#_~$>' '2^(a^b)' '[' '^2' '1 2' '2^3/4/5'; do
            "$nerova" --render "$text" "$work/t.tex" || failures=$((failures + 1))
            printf '$%s$\n\n' "$(cat "$work/t.tex")"
        done
        printf '$%s$\n\n' "$("$nerova" -e '1:1/2*2^3-(-2/3 / (4/9))' --steps --form latex)"
        echo '\end{document}'
    } >"$work/doc.tex"
    (cd "$work" && "$tex" -interaction=nonstopmode -halt-on-error doc.tex >"$work/log" 2>&1) || {
        echo "FAIL: LaTeX does not compile:"; grep -A3 '^!' "$work/log"; failures=$((failures + 1)); }
    ;;
form_markup)
    run -e '1/3+1/2' -e '-7/2' --form latex; expect 0 '\\frac{5}{6}\n-\\frac{7}{2}\n' ''
    run -e '2^-1' --form mathml
    expect 0 '<math xmlns="http://www.w3.org/1998/Math/MathML"><mfrac><mn>1</mn><mn>2</mn></mfrac></math>\n' ''
    run -e '1/0' --form latex; expect 1 '' '*'
    ;;
unused_text)
    # Text after a complete expression is named on standard error; the value and the
    # exit status stay as they were.
    run -e '2x3'; expect 0 '2\n' 'nerova: 「x3」は計算に使っていません\n'
    run -e '1+2)*3' -e '1+1'; expect 0 '3\n2\n' 'nerova: 「)*3」は計算に使っていません\n'
    env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS "$nerova" --repl <<<$'2 3\n1+1' >"$work/out" 2>"$work/err"
    status=$?
    expect 0 '2\n2\n' 'nerova: 「3」は計算に使っていません\n'
    ;;
language)
    # Messages, notices and batch lines in the locale's language: LC_ALL, then
    # LC_MESSAGES, then LANG decide; Japanese and the C locale keep the design's texts.
    # The locales need not be installed: the program reads the variables' names.
    printf '1/3+1/6\n2/0\n# note\n(1+2\n' >"$work/in.txt"
    # run_in "VARS" ARGS...: the program with only the locale variables VARS set.
    run_in() {
        # shellcheck disable=SC2086  # VARS is a list of assignments
        env -u LC_ALL -u LC_MESSAGES -u LANG -u LANGUAGE -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS $1 \
            "$nerova" "${@:2}" >"$work/out" 2>"$work/err"
        status=$?
    }
    # renderer_and_window "VARS" FONT_NOTICE CANNOT_WRITE NO_DISPLAY: under VARS, the start
    # of the renderer's notice of a missing font, its failed write, and the window without
    # a display.
    renderer_and_window() {
        run_in "$1" --render 1 "$work/f.png" --font 'No Such Family'
        expect 0 '' '*'
        expect_err_contains "$2"
        run_in "$1" --render 1 /nonexistent-dir/x.svg
        expect 2 '' "$3"
        run_in "$1 QT_QPA_PLATFORM=xcb"
        expect 2 '' "$4"
    }
    for vars in "LANG=en_US.UTF-8" "LC_ALL=en_GB.UTF-8 LANG=ja_JP.UTF-8" "LC_MESSAGES=de_DE.UTF-8 LANG=ja_JP.UTF-8"; do
        run_in "$vars" -e 1/0 -e 2x3 -e 1/4
        expect 1 '2\n1/4\n' 'nerova: division by zero\nnerova: “x3” was not used in the calculation\n'
        run_in "$vars" --batch "$work/in.txt"
        expect 0 '1/3+1/6 = 1/2\n2/0 = division by zero\n# note\n(1+2 = unbalanced parentheses\n' ''
        run_in "$vars" --batch "$work/missing.txt"
        expect 2 '' '*'
        expect_err_contains 'file not found'
        run_in "$vars" --repl <<<$'1/0\n1+1'
        expect 0 'division by zero\n2\n' ''
        # The renderer's messages, the start of the window and a wrong option, too.
        renderer_and_window "$vars" 'nerova: render: font "No Such Family" not found, using "' \
            'nerova: cannot write /nonexistent-dir/x.svg\n' \
            'nerova: no display found; without a window use -e EXPR, --batch IN [OUT] or --repl\n'
        run_in "$vars" -e 1 --jobs 2
        expect 2 '' "nerova: --jobs goes with --batch\nTry 'nerova --help' for more information.\n"
    done
    for vars in "LANG=C.UTF-8" "LANG=ja_JP.UTF-8" "LANG=POSIX" "LC_ALL=C LANG=en_US.UTF-8" "LANG=en_US.UTF-8 LC_MESSAGES=ja_JP.UTF-8" \
                "LANG=en_US.UTF-8 LANGUAGE=ja:en" ""; do
        run_in "$vars" -e 1/0 -e 2x3 -e 1/4
        expect 1 '2\n1/4\n' 'nerova: 0で割ろうとした\nnerova: 「x3」は計算に使っていません\n'
        run_in "$vars" --batch "$work/in.txt"
        expect 0 '1/3+1/6 = 1/2\n2/0 = 0で割ろうとした\n# note\n(1+2 = カッコがあってない\n' ''
        renderer_and_window "$vars" 'nerova: render: フォント「No Such Family」が見つからないので「' \
            'nerova: /nonexistent-dir/x.svg に書き込めません\n' \
            'nerova: ディスプレイが見つかりません。ウィンドウなしでは -e EXPR、--batch IN [OUT]、--repl が使えます\n'
    done
    ;;
window_program)
    # nerova becomes the window program beside it for the window and the PNG and SVG
    # renderer; where that is missing or cannot be run, one line and status 2.
    mkdir "$work/lone"
    cp "$nerova" "$work/lone/nerova"
    for args in '--render 1 x.png' '--render 1 x.svg' ''; do
        # shellcheck disable=SC2086 # the options are words
        env -u DISPLAY "$work/lone/nerova" $args >"$work/out" 2>"$work/err"; status=$?
        expect 2 '' "nerova: ウィンドウのプログラムを起動できません: not found beside $work/lone\n"
    done
    cp "$(dirname "$nerova")/nerova-window" "$work/lone/" && chmod a-x "$work/lone/nerova-window"
    env -u DISPLAY "$work/lone/nerova" --render 1 "$work/x.png" >"$work/out" 2>"$work/err"; status=$?
    expect 2 '' "nerova: ウィンドウのプログラムを起動できません: $work/lone/nerova-window: Permission denied\n"
    chmod a+x "$work/lone/nerova-window"
    env -u DISPLAY "$work/lone/nerova" --render 1 "$work/x.png" >"$work/out" 2>"$work/err"; status=$?
    expect 0 '' ''
    # The window is named after the program the user started: a renamed copy (a symbolic
    # link) started by name, and the window program started on its own. Each settings file
    # it might read is over the cap, so the one it reads is named on standard error.
    mkdir "$work/bin" "$work/config"
    ln -s "$(realpath "$nerova")" "$work/bin/calc5"
    for name in calc5 nerova nerova-window; do head -c 1100000 /dev/zero >"$work/config/$name.ini"; done
    for program in calc5 "$(dirname "$nerova")/nerova-window"; do
        rm -f "$work/err"  # the previous start's message is not this one's
        PATH=$work/bin:$PATH XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state QT_QPA_PLATFORM=offscreen \
            env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS "$program" >"$work/out" 2>"$work/err" &
        pid=$!
        until grep -sqF '.ini ' "$work/err"; do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -TERM "$pid" 2>/dev/null; wait "$pid"
        expect_err_contains "nerova: $work/config/$(basename "$program").ini は設定ファイルとしては大きすぎるため読みません"
    done
    ;;
no_display)
    # The window where there is no display: one line that points to the window-free
    # modes, and exit status 2 (not Qt's plugin page and an abort).
    run; expect 2 '' '*'
    expect_err_contains '--batch'
    expect_err_contains '--repl'
    [ "$(wc -l <"$work/err")" = 1 ] || { echo "FAIL: more than one line:"; cat "$work/err"; failures=$((failures + 1)); }
    ;;
*)
    echo "unknown case $case_name"; exit 2
    ;;
esac
exit $((failures > 0))
