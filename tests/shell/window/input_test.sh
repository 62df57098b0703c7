#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# input_test.sh NEROVA: the real program under a real X server (Xvfb) with a window
# manager (openbox), driven as a user drives it (xdotool's keys and mouse, the real
# clipboard through xclip): full-width input typed and pasted, a paste of a million
# digits, a key after a result, the keyboard after a click on 仮分数, F1 and Ctrl+Q, and
# a window saved off a smaller screen reopening with its whole frame on it.
set -u
nerova=$1
for tool in Xvfb openbox xdotool xwininfo xprop xclip xmodmap; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is missing (scripts/setup.sh installs xvfb, openbox, xdotool, x11-utils, xclip, x11-xserver-utils)"
        exit 77
    fi
done
work=$(mktemp -d)
server= wm= pid= clip=
cleanup() {
    local p
    for p in $clip $pid $wm $server; do kill -KILL "$p" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() {  # check WHAT GOT WANT
    if [ "$2" == "$3" ]; then echo "ok: $1"; else fail "$1: got '${2:0:80}', want '${3:0:80}'"; fi
}

# start_x WIDTHxHEIGHT: an X server of that size (a display number of its own choosing,
# so that parallel runs do not meet) with openbox on it.
start_x() {
    [ -n "$wm" ] && kill -KILL "$wm" 2>/dev/null
    [ -n "$server" ] && kill -KILL "$server" 2>/dev/null
    rm -f "$work/display"
    Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    server=$!
    for i in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
    export DISPLAY=:$(cat "$work/display") QT_QPA_PLATFORM=xcb
    unset WAYLAND_DISPLAY
    openbox >"$work/openbox.log" 2>&1 &
    wm=$!
    for i in $(seq 300); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
}

export XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
mkdir -p "$XDG_CONFIG_HOME" "$XDG_STATE_HOME"
ini=$XDG_CONFIG_HOME/nerova.ini

# start_nerova: runs the program and sets id to its window, active.
start_nerova() {
    "$nerova" >"$work/nerova.log" 2>&1 &
    pid=$!
    id=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" --name '^Nerova$' | head -1)
    [ -n "$id" ] || { echo "FAIL: no window"; cat "$work/nerova.log"; exit 1; }
    # Bounded: a window manager that never makes it active must not hang the test.
    timeout 20 xdotool windowactivate --sync "$id" 2>/dev/null
    # The keyboard reaches the input once the window has the focus: wait for a typed 0.
    for i in $(seq 100); do
        xdotool type 0
        [ "$(input)" == 0 ] && break
        xdotool key BackSpace
    done
    xdotool key ctrl+a BackSpace
}

# input: what the input line holds, read as a user would (select all, copy). The
# clipboard holds a marker first, so that what is read is the program's copy.
input() {
    echo "(marker)" >"$work/marker.txt"
    offer "$work/marker.txt"
    xdotool key ctrl+a ctrl+c
    local i out
    for i in $(seq 100); do
        out=$(xclip -selection clipboard -o 2>/dev/null)
        [ "$out" != "(marker)" ] && { printf '%s' "$out"; return; }
        sleep 0.1
    done
}

# offer FILE: puts FILE's text on the clipboard (xclip serves it until another program
# takes the clipboard).
offer() {
    [ -n "$clip" ] && kill "$clip" 2>/dev/null
    xclip -selection clipboard -i -quiet <"$1" >/dev/null 2>&1 &
    clip=$!
    local i
    for i in $(seq 50); do cmp -s <(xclip -selection clipboard -o 2>/dev/null | head -c 64) <(head -c 64 "$1") && return; sleep 0.1; done
}

start_x 1280x900
start_nerova

# Full-width characters typed through the keyboard enter as ASCII. The keyboard gets keys
# for them first, as an input method's full-width mode has (xdotool would otherwise map
# each character to a spare key just before typing it, which X may deliver late).
free=($(xmodmap -pke | awk 'NF == 3 && $2 > 8 { print $2 }'))
keysyms=(U+FF11 U+FF13 U+FF16 U+FF0F U+FF0B)
map=()
for k in 0 1 2 3 4; do map+=(-e "keycode ${free[$k]} = ${keysyms[$k]}"); done
xmodmap "${map[@]}"
# Until the program has the new keyboard (the mapping reaches it a little later); a
# program that does not turn them into ASCII never reads them as 1/3+1/6.
for i in $(seq 30); do
    xdotool type --delay 20 '１／３＋１／６'
    typed=$(input)
    [ "$typed" == "1/3+1/6" ] && break
    xdotool key ctrl+a BackSpace
done
check "full-width keys arrive as ASCII" "$typed" "1/3+1/6"
xdotool key End Return
xdotool type --delay 20 '+1'
xdotool key Return

# After a result an operator continues from it, a digit starts a new input.
check "full-width keys, Enter, then an operator continues from the result" "$(input)" "3/2"
# (Reading the input selects it, which makes the result one to edit: calculated again.)
xdotool key ctrl+a
xdotool type --delay 20 '1/3+1/6'
xdotool key Return
xdotool type --delay 20 '7'
check "a digit after the result starts a new input" "$(input)" "7"

# A full-width paste through the real clipboard.
printf '２×３÷４−１' >"$work/wide.txt"
offer "$work/wide.txt"
xdotool key ctrl+a ctrl+v Return
check "full-width paste, × ÷ −" "$(input)" "1/2"

# A million digits pasted arrive whole.
head -c 1000000 /dev/zero | tr '\0' '7' >"$work/million.txt"
offer "$work/million.txt"
xdotool key ctrl+a ctrl+v
check "a million pasted digits" "$(input | wc -c)" "1000000"

# After a click on 仮分数 the keyboard is the input's again. The button sits at the
# client's bottom left (the height follows the content: 5 pixels under the lower row).
xdotool key ctrl+a
xdotool type --delay 20 '1/3'
xdotool key Return
eval "$(xwininfo -id "$id" | sed -n 's/^ *Absolute upper-left X: */cx=/p; s/^ *Absolute upper-left Y: */cy=/p; s/^ *Height: */ch=/p')"
xdotool mousemove --sync $((cx + 30)) $((cy + ch - 15)) click 1
xdotool type --delay 20 '*3'
xdotool key Return
check "typed after a click on 仮分数" "$(input)" "1"

# F1 opens the help; Ctrl+Q ends the program.
xdotool key F1
help=$(timeout 10 xdotool search --sync --onlyvisible --pid "$pid" --name 'Nerova の使い方' | head -1)
[ -n "$help" ] && echo "ok: F1 opens the help" || fail "F1 opened no help window"
timeout 20 xdotool windowactivate --sync "$id" 2>/dev/null
xdotool key ctrl+q
for i in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then fail "Ctrl+Q did not end the program"; else echo "ok: Ctrl+Q ends the program"; pid=; fi

# Saved at 1000,700 on a larger screen, opened on 800×600: the whole frame is on the
# screen, after every start.
frame() {  # "left top right bottom" of the frame, once the window manager has framed it
    local info x y w h e
    info=$(xwininfo -id "$id" 2>/dev/null)
    x=$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info")
    y=$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$info")
    w=$(sed -n 's/^ *Width: *//p' <<<"$info")
    h=$(sed -n 's/^ *Height: *//p' <<<"$info")
    e=$(xprop -id "$id" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ,)
    [ -n "$e" ] || return 1
    set -- $e  # left right top bottom
    echo "$((x - $1)) $((y - $3)) $((x + w + $2)) $((y + h + $4))"
}
on_screen() {  # on_screen "l t r b": the frame lies within 800×600
    set -- $1
    [ "$1" -ge 0 ] && [ "$2" -ge 0 ] && [ "$3" -le 800 ] && [ "$4" -le 600 ]
}
start_x 800x600
printf '[FORM]\nleft=1000\ntop=700\nwidth=425\n' >"$ini"
for run in 1 2; do
    start_nerova
    got=
    for i in $(seq 100); do
        got=$(frame) && on_screen "$got" && break
        sleep 0.1
    done
    on_screen "$got" && echo "ok: start $run on 800x600: frame at $got" || fail "start $run on 800x600: frame at '$got'"
    kill -TERM "$pid"
    wait "$pid"
    pid=
done
exit $((failures > 0))
