#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# atspi_test.sh NEROVA: the real window read over AT-SPI under Xvfb with openbox, driven
# by xdotool: the display is named 数式 and its description is the reading of the result,
# announced after the calculation; the input line and the scroll bar have names; the
# steps view holds the working. Then the window's texts in the locale's language: English
# menus under en_US, the design's under C. Last, a pasted input of 30,000 digits: still a
# text (not a password field) whose text is handed out capped, under short names.
# Run under dbus-run-session (the accessibility bus is started here).
set -u
nerova=$1
for tool in Xvfb openbox xdotool xprop xclip /usr/libexec/at-spi-bus-launcher /usr/bin/python3; do
    command -v "$tool" >/dev/null || { echo "$tool missing: skipped"; exit 77; }
done
/usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null || {
    echo "the AT-SPI client library for Python is missing: skipped"; exit 77; }
probe=$(dirname "$0")/atspi_probe.py
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0

# A display number of the server's own choosing, so that parallel runs do not meet.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null & pids+=($!)
for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=:$(cat "$work/display")
openbox >/dev/null 2>&1 & pids+=($!)
# A window mapped while the window manager is still starting may stay unmanaged.
for _ in $(seq 300); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 & pids+=($!)
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
export XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
# start_window VAR=VALUE...: the program in that locale, its window found and its tree read.
start_window() {
    env -u LC_ALL -u LC_MESSAGES -u LANG -u LANGUAGE "$@" "$nerova" >"$work/out" 2>&1 & program=$!
    pids+=($program)
    window=
    for _ in $(seq 200); do
        window=$(xdotool search --onlyvisible --name '^Nerova$' 2>/dev/null | head -1)
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "FAIL: no window"; cat "$work/out"; exit 1; }
    for _ in $(seq 100); do /usr/bin/python3 "$probe" tree Nerova >"$work/tree" 2>/dev/null && break; sleep 0.2; done
}
# Keys go to the active window: wait until the window manager has made it so (the input
# line has the focus from the start).
activate_window() {
    for _ in $(seq 300); do
        xdotool windowactivate "$window" >/dev/null 2>&1
        [ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ] && break
        sleep 0.1
    done
    [ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ] || echo "note: the window is not the active one, so the keys may be lost"
}
# calculate DISPLAY_NAME READING: 1/3+1/6 typed into the window and its announcement,
# READING, heard from the node named DISPLAY_NAME.
calculate() {
    /usr/bin/python3 "$probe" wait Nerova "$1" 30 >"$work/event" 2>&1 & listener=$!
    for _ in $(seq 100); do grep -q listening "$work/event" && break; sleep 0.1; done
    activate_window
    xdotool type --delay 20 '1/3+1/6'
    xdotool key Return
    wait "$listener" || { echo "FAIL: no announcement"; cat "$work/event"; failures=$((failures + 1)); }
    grep -qx "$2" "$work/event" || { echo "FAIL: announced:"; cat "$work/event"; failures=$((failures + 1)); }
}
# open_steps NAME: the steps view opened (Ctrl+T) and the text of its node NAME read.
open_steps() {
    xdotool key ctrl+t
    for _ in $(seq 100); do
        /usr/bin/python3 "$probe" text Nerova "$1" >"$work/steps" 2>/dev/null && grep -q '2/6' "$work/steps" && break
        sleep 0.2
    done
    grep -qx "= 2/6+1/6" "$work/steps" || { echo "FAIL: steps node:"; cat "$work/steps"; failures=$((failures + 1)); }
}
start_window LC_ALL=C.UTF-8
calculate 数式 2分の1

/usr/bin/python3 "$probe" tree Nerova >"$work/tree"
grep -qP '^\S.*\t数式\t2分の1$' "$work/tree" || { echo "FAIL: display node:"; cat "$work/tree"; failures=$((failures + 1)); }
grep -qP '\t入力\t' "$work/tree" || { echo "FAIL: no input named 入力"; failures=$((failures + 1)); }
grep -qP '^scroll bar\t数式のスクロール\t' "$work/tree" || { echo "FAIL: no scroll bar named"; failures=$((failures + 1)); }

# The steps view (Ctrl+T) shows the working of that calculation: a node named 途中式 holds
# its lines and their reading.
open_steps 途中式
grep -q 'イコール、6分の2たす6分の1。' "$work/steps" || { echo "FAIL: steps reading:"; cat "$work/steps"; failures=$((failures + 1)); }
grep -qP '^menu item\t編集\(E\)\t' "$work/tree" || { echo "FAIL: no menu 編集(E):"; cat "$work/tree"; failures=$((failures + 1)); }
kill "$program"; wait "$program" 2>/dev/null

start_window LANG=en_US.UTF-8
for name in Edit File View Help Formula Input Decimal; do
    grep -qP "\t$name\t" "$work/tree" || { echo "FAIL: no node named $name:"; cat "$work/tree"; failures=$((failures + 1)); }
done
if grep -P '\t[^\t]*(編集|入力|数式|小数化)' "$work/tree"; then echo "FAIL: Japanese names under en_US"; failures=$((failures + 1)); fi
# The reading for screen readers and the steps view, in English too.
calculate Formula '1 over 2'
open_steps Steps
grep -q 'equals, 2 over 6 plus 1 over 6.' "$work/steps" || { echo "FAIL: English steps reading:"; cat "$work/steps"; failures=$((failures + 1)); }
/usr/bin/python3 "$probe" tree Nerova >"$work/tree"
if grep -P '[\p{Han}\p{Hiragana}\p{Katakana}]' "$work/tree"; then echo "FAIL: Japanese left under en_US"; failures=$((failures + 1)); fi
kill "$program"; wait "$program" 2>/dev/null

# 30,000 digits pasted: Qt's line edit would be a password field with no text by now, and
# its combo box would be named by the whole input.
start_window LC_ALL=C.UTF-8
activate_window
head -c 30000 /dev/zero | tr '\0' 7 >"$work/digits"
xclip -selection clipboard -i -quiet <"$work/digits" >/dev/null 2>&1 & pids+=($!)
for _ in $(seq 50); do [ "$(xclip -selection clipboard -o 2>/dev/null | head -c 8)" = 77777777 ] && break; sleep 0.1; done
xdotool key ctrl+v
capped="$(head -c 1000 "$work/digits")…"
for _ in $(seq 100); do
    /usr/bin/python3 "$probe" tree Nerova >"$work/tree"
    grep -qP '^(text|password text)\t入力\t' "$work/tree" &&
        /usr/bin/python3 "$probe" text Nerova 入力 >"$work/input" 2>/dev/null && grep -qx "$capped" "$work/input" && break
    sleep 0.2
done
grep -qP '^text\t入力\t文字数 30000$' "$work/tree" || {
    echo "FAIL: the long input is not a text telling its length:"; grep -P '\t入力\t' "$work/tree"; failures=$((failures + 1)); }
grep -qx "$capped" "$work/input" || {
    echo "FAIL: the long input's text is not its first 1000 digits and …:"; head -c 300 "$work/input"; echo; failures=$((failures + 1)); }
grep -qP '^combo box\t入力\t' "$work/tree" || {
    echo "FAIL: the history box is not named 入力:"; grep '^combo box' "$work/tree" | head -c 300; echo; failures=$((failures + 1)); }
# Names stay short everywhere; descriptions (the display's reading) are capped.
if awk -F'\t' 'length($2) > 100 || length($3) > 1100 { found = 1 } END { exit !found }' "$work/tree"; then
    echo "FAIL: long names or descriptions:"; cut -c1-200 "$work/tree"; failures=$((failures + 1))
fi
kill "$program"; wait "$program" 2>/dev/null
exit $((failures > 0))
