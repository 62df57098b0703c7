#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# signal_test.sh NEROVA: SIGTERM and SIGINT end the window program in bounded time even
# when its settings cannot be written; the error goes to standard error, not a dialog.
set -u
nerova=$1
export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

. "$(dirname "$0")/../process.sh"

for sig in TERM INT; do
    # The settings file is a folder: every write fails.
    export XDG_CONFIG_HOME=$work/$sig
    mkdir -p "$XDG_CONFIG_HOME/nerova.ini"
    env -u DBUS_SESSION_BUS_ADDRESS "$nerova" >"$work/out" 2>"$work/err" &
    pid=$!
    ready "$pid" || { fail "SIG$sig: the window did not start"; cat "$work/err"; continue; }
    kill "-$sig" "$pid"
    if ! gone "$pid"; then
        fail "SIG$sig: still running 30 s later"
        kill -KILL "$pid"
    fi
    wait "$pid"
    pid=
    grep -q 'に書き込めません' "$work/err" && echo "ok: SIG$sig: the failed write is on standard error" ||
        fail "SIG$sig: no message on standard error: $(cat "$work/err")"
done
exit $((failures > 0))
