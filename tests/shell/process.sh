# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# Helpers for the scripts that drive the real program in the background (sourced).

# The program speaks the locale's language; these scripts expect the design's texts.
export LC_ALL=C.UTF-8
unset LANGUAGE

# ready PID: waits until PID handles SIGINT and SIGTERM itself, at most 30 s. The window
# program sets its handlers once it has started (and tried the bus name), just before its
# event loop runs.
ready() {
    wait_for handles_signals "$1"
}
handles_signals() {
    local mask
    kill -0 "$1" 2>/dev/null || return 2
    mask=$(sed -n 's/^SigCgt:[[:space:]]*//p' "/proc/$1/status" 2>/dev/null)
    [ -n "$mask" ] && (( (16#$mask & 0x4002) == 0x4002 ))
}

# gone PID: waits until PID has ended, at most 30 s; fails when it still runs.
gone() {
    wait_for not running "$1"
}
running() { kill -0 "$1" 2>/dev/null; }
not() { ! "$@"; }

# wait_for COMMAND...: runs COMMAND every 0.1 s until it succeeds, at most 30 s; fails
# when it never does or when it answers 2 (no use waiting).
wait_for() {
    local i status
    for i in $(seq 300); do
        "$@"
        status=$?
        [ "$status" == 0 ] && return 0
        [ "$status" == 2 ] && return 1
        sleep 0.1
    done
    return 1
}

# begin_test: the frame of a test script: a scratch folder $work removed at the end, the
# processes whose ids are in $pid, $wm and $server killed then, and fail() counting
# $failures.
begin_test() {
    work=$(mktemp -d)
    pid= server= wm=
    failures=0
    trap end_test EXIT
}
end_test() {
    local p
    for p in $pid $wm $server; do kill -KILL "$p" 2>/dev/null; done
    rm -rf "$work"
}
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# start_desktop WORK: an X server (Xvfb, on a display number of its own choosing, so that
# parallel runs do not meet) with a window manager (openbox) for the program; DISPLAY and
# QT_QPA_PLATFORM are set for it, the two processes' ids are in $server and $wm. Fails
# when the server does not start.
start_desktop() {
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$1/display" 2>"$1/xvfb.log" &
    server=$!
    wait_for test -s "$1/display" || { echo "FAIL: Xvfb did not start"; cat "$1/xvfb.log"; return 1; }
    export DISPLAY=:$(cat "$1/display") QT_QPA_PLATFORM=xcb
    unset WAYLAND_DISPLAY
    openbox >"$1/openbox.log" 2>&1 &
    wm=$!
    wait_for eval "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'"
}
