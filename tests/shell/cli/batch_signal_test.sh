#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# batch_signal_test.sh NEROVA: SIGINT and SIGTERM during --batch (on one thread and on
# several) end the program by that signal at once; the output file holds whole lines, the
# first lines of the full output, and no line after the one that was being calculated.
set -u
nerova=$1
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

. "$(dirname "$0")/../process.sh"  # gone
# A background job of a script ignores SIGINT, and so would the program; job control
# gives it the usual handling.
set -m

# Many quick lines, then one that runs for minutes (its own digit budget, so that no
# machine refuses it early), then quick lines again that must never be reached.
for i in $(seq 2000); do echo "$i/7+1/$((i + 1))"; done >"$work/short"
{ cat "$work/short"; echo "3^3^19"; echo "1+1"; echo "2+2"; } >"$work/in"
"$nerova" --batch "$work/short" "$work/expected" || fail "the quick lines alone failed"

for jobs in 1 3; do
    for sig in INT TERM; do
        out=$work/out-$jobs-$sig
        "$nerova" --max-digits 2000000000 --batch "$work/in" "$out" --jobs "$jobs" 2>"$work/err" &
        pid=$!
        # The handlers are set before the output is created; the signal then meets the run.
        # (Waiting for the handlers alone is not enough: the shell's child has its own
        # until it becomes the program.)
        for i in $(seq 300); do [ -e "$out" ] || ! kill -0 "$pid" 2>/dev/null && break; sleep 0.1; done
        [ -e "$out" ] || { fail "$jobs/$sig: the run did not begin"; continue; }
        kill "-$sig" "$pid"
        gone "$pid" || fail "$jobs/$sig: still running 30 s after SIG$sig"
        wait "$pid"
        status=$?
        pid=
        want=$((128 + $(kill -l "$sig")))
        [ "$status" == "$want" ] && echo "ok: $jobs/$sig: ended by the signal" ||
            fail "$jobs/$sig: exit status $status, expected $want; $(cat "$work/err")"
        size=$(stat -c %s "$out")
        if [ "$size" -gt 0 ] && [ "$(tail -c 1 "$out" | od -An -c | tr -d ' ')" != '\n' ]; then
            fail "$jobs/$sig: the last line is cut"
        fi
        cmp -s "$out" <(head -c "$size" "$work/expected") &&
            echo "ok: $jobs/$sig: $(wc -l <"$out") whole lines, the first of the output" ||
            fail "$jobs/$sig: the output is not the first lines of the full output"
        grep -q '計算を中断しました\|^1+1 = ' "$out" && fail "$jobs/$sig: a line after the cancelled one"
    done
done
exit $((failures > 0))
