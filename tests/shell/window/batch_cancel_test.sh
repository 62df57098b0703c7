#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# batch_cancel_test.sh NEROVA: the window's batch (`nerova IN OUT`) of 3,000 long lines
# stops as a whole: SIGTERM and SIGINT end the program, and Esc (under Xvfb and openbox,
# typed with xdotool, where they are installed) ends the run while the window stays. OUT
# then holds whole lines, the first of the full output, and no cancelled line.
set -u
nerova=$1
work=$(mktemp -d)
pid= server= wm=
cleanup() {
    local p
    for p in $pid $wm $server; do kill -KILL "$p" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

. "$(dirname "$0")/../process.sh"
set -m  # the program's own SIGINT handling, as from a terminal

lines=3000
{ echo "1/2+1/3"; for i in $(seq 0 $((lines - 1))); do echo "3^3^13+$i"; done; } >"$work/in"
"$nerova" -e "1/2+1/3" >/dev/null || fail "the program does not calculate"
export XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME"

# started OUT: waits until the batch has opened OUT (the run has begun), at most 30 s.
started() {
    local i
    for i in $(seq 300); do
        [ -e "$1" ] && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# closed OUT: waits until the program has closed OUT (the run has ended), at most 30 s.
closed() {
    local i
    for i in $(seq 300); do
        find "/proc/$pid/fd" -lname "$1" 2>/dev/null | grep -q . || return 0
        sleep 0.1
    done
    return 1
}

# check WHAT OUT: whole lines, the first line's value, then the long lines in order, and
# fewer than all of them.
check() {
    local n bad
    [ -s "$2" ] && [ "$(tail -c 1 "$2" | od -An -c | tr -d ' ')" != '\n' ] && fail "$1: the last line is cut"
    n=$(wc -l <"$2")
    [ "$n" -le "$lines" ] || { fail "$1: all $n lines were calculated"; return; }
    bad=$(awk 'NR == 1 { if ($0 != "1/2+1/3 = 5/6") print NR; next }
               index($0, "3^3^13+" (NR - 2) " = ") != 1 || /計算を中断しました/ { print NR; exit }' "$2")
    [ -z "$bad" ] && echo "ok: $1: $n whole lines, none cancelled" || fail "$1: line $bad is wrong"
}

for sig in TERM INT; do
    out=$work/out-$sig
    QT_QPA_PLATFORM=offscreen env -u DBUS_SESSION_BUS_ADDRESS "$nerova" "$work/in" "$out" 2>"$work/err" &
    pid=$!
    { ready "$pid" && started "$out"; } || { fail "SIG$sig: the batch did not start"; cat "$work/err"; continue; }
    kill "-$sig" "$pid"
    gone "$pid" || fail "SIG$sig: still running 30 s later"
    wait "$pid"
    status=$?
    pid=
    [ "$status" == 0 ] && echo "ok: SIG$sig: the window closed normally" ||
        fail "SIG$sig: exit status $status: $(cat "$work/err")"
    check "SIG$sig" "$out"
done

for tool in Xvfb openbox xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: Esc ($tool is missing; scripts/setup.sh installs xvfb, openbox, xdotool)"
        exit $((failures > 0))
    fi
done
# A display number of the server's own choosing, so that parallel runs do not meet.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
for i in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=:$(cat "$work/display") QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
openbox >"$work/openbox.log" 2>&1 &
wm=$!
for i in $(seq 300); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done

out=$work/out-esc
env -u DBUS_SESSION_BUS_ADDRESS "$nerova" "$work/in" "$out" 2>"$work/err" &
pid=$!
id=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" --name '^Nerova$' | head -1)
if [ -z "$id" ] || ! started "$out"; then
    fail "Esc: no window or no batch"; cat "$work/err"
else
    xdotool windowactivate --sync "$id" key Escape
    closed "$out" || fail "Esc: the batch goes on 30 s later"
    kill -0 "$pid" 2>/dev/null && echo "ok: Esc: the window stays" || fail "Esc: the program ended"
    check "Esc" "$out"
    kill -TERM "$pid"
    gone "$pid" || fail "Esc: SIGTERM did not end the program"
    wait "$pid"
fi
pid=
exit $((failures > 0))
