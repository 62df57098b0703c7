#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# batch_cancel_test.sh NEROVA: the window's batch (`nerova IN OUT`) of 3,000 long lines
# stops as a whole: SIGTERM and SIGINT end the program, and Esc (under Xvfb and openbox,
# typed with xdotool, where they are installed) ends the run while the window stays. OUT
# then holds whole lines, the first of the full output, and no cancelled line.
set -u
nerova=$1
. "$(dirname "$0")/../process.sh"
begin_test

set -m  # the program's own SIGINT handling, as from a terminal

lines=3000
{ echo "1/2+1/3"; for i in $(seq 0 $((lines - 1))); do echo "3^3^13+$i"; done; } >"$work/in"
"$nerova" -e "1/2+1/3" >/dev/null || fail "the program does not calculate"
export XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME"

# open_in_program FILE: the program holds FILE open (its batch runs).
open_in_program() { find "/proc/$pid/fd" -lname "$1" 2>/dev/null | grep -q .; }

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
    { ready "$pid" && wait_for test -e "$out"; } || { fail "SIG$sig: the batch did not start"; cat "$work/err"; continue; }
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
start_desktop "$work" || exit 1

out=$work/out-esc
env -u DBUS_SESSION_BUS_ADDRESS "$nerova" "$work/in" "$out" 2>"$work/err" &
pid=$!
id=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" --name '^Nerova$' | head -1)
if [ -z "$id" ] || ! wait_for test -e "$out"; then
    fail "Esc: no window or no batch"; cat "$work/err"
else
    xdotool windowactivate --sync "$id" key Escape
    wait_for not open_in_program "$out" || fail "Esc: the batch goes on 30 s later"
    kill -0 "$pid" 2>/dev/null && echo "ok: Esc: the window stays" || fail "Esc: the program ended"
    check "Esc" "$out"
    kill -TERM "$pid"
    gone "$pid" || fail "Esc: SIGTERM did not end the program"
    wait "$pid"
fi
pid=
exit $((failures > 0))
