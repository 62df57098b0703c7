#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# position_test.sh NEROVA: under a real X server (Xvfb) with a window manager (openbox),
# the window reopens exactly where it was closed: started and closed three times
# without being touched, its frame stays where the settings file put it.
set -u
nerova=$1
for tool in Xvfb openbox xdotool xwininfo; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is missing (scripts/setup.sh installs xvfb, openbox, xdotool, x11-utils)"
        exit 77
    fi
done
. "$(dirname "$0")/../process.sh"
begin_test

start_desktop "$work" || exit 1

export XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME"
ini=$XDG_CONFIG_HOME/nerova.ini
printf '[FORM]\ntop=300\nleft=100\n' >"$ini"

# frame ID: "left top" of the window's frame once the window manager has framed it.
frame() {
    local i info x y dx dy
    for i in $(seq 300); do
        info=$(xwininfo -id "$1" 2>/dev/null)
        x=$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info")
        y=$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$info")
        dx=$(sed -n 's/^ *Relative upper-left X: *//p' <<<"$info")
        dy=$(sed -n 's/^ *Relative upper-left Y: *//p' <<<"$info")
        if [ -n "$dy" ] && [ "$dy" -gt 0 ]; then
            echo "$((x - dx)) $((y - dy))"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

for run in 1 2 3; do
    want="$(sed -n 's/^left=//p' "$ini") $(sed -n 's/^top=//p' "$ini")"
    "$nerova" >"$work/run$run.log" 2>&1 &
    pid=$!
    id=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" --name '^Nerova$' | head -1)
    [ -n "$id" ] || { fail "run $run: no window"; cat "$work/run$run.log"; break; }
    got=$(frame "$id") || { fail "run $run: the window was never framed"; break; }
    [ "$got" == "$want" ] && echo "ok: run $run: frame at $got as saved" ||
        fail "run $run: frame at $got, saved at $want"
    kill -TERM "$pid"
    wait "$pid"
    pid=
done
saved="$(sed -n 's/^left=//p' "$ini") $(sed -n 's/^top=//p' "$ini")"
[ "$saved" == "100 300" ] && echo "ok: three restarts leave the saved position" ||
    fail "three restarts moved the saved position from 100 300 to $saved"
exit $((failures > 0))
