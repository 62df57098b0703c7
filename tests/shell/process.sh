# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# Helpers for the scripts that drive the real program in the background (sourced).

# ready PID: waits until PID handles SIGINT and SIGTERM itself, at most 30 s. The window
# program sets its handlers once it has started (and tried the bus name), just before its
# event loop runs.
ready() {
    local i mask
    for i in $(seq 300); do
        mask=$(sed -n 's/^SigCgt:[[:space:]]*//p' "/proc/$1/status" 2>/dev/null)
        [ -n "$mask" ] && (( (16#$mask & 0x4002) == 0x4002 )) && return 0
        kill -0 "$1" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# gone PID: waits until PID has ended, at most 30 s; fails when it still runs.
gone() {
    local i
    for i in $(seq 300); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}
