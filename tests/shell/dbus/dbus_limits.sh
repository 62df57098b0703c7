#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# dbus_limits.sh DDEPROBE DDEPOKE: the macro service at the sizes a bus limits.
# On a bus whose message limit this test configures (1,000,000 bytes), a result just below
# the limit is delivered and one just above becomes the item's failure message, the
# service staying on the bus; on the session bus's own configuration, pokes of 50 MB
# (line breaks, carriage returns, one long line) are refused or taken in memory bounded
# by a small multiple of the message.
set -u
probe=$1
poker=$2
limit=1000000

if [ -z "${NEROVA_LIMITS_BUS:-}" ]; then
    conf=""
    for c in /usr/share/dbus-1/session.conf /etc/dbus-1/session.conf; do [ -f "$c" ] && conf=$c && break; done
    if [ -z "$conf" ] || ! command -v dbus-run-session >/dev/null || ! command -v gdbus >/dev/null; then
        echo "SKIP: no session bus configuration, dbus-run-session or gdbus"
        exit 0
    fi
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    sed "s|<limit name=\"max_message_size\">[0-9]*</limit>|<limit name=\"max_message_size\">$limit</limit>|" \
        "$conf" >"$work/small.conf"
    grep -q "max_message_size\">$limit<" "$work/small.conf" || echo "<!-- no limit line -->" >/dev/null
    status=0
    NEROVA_LIMITS_BUS=small dbus-run-session --config-file="$work/small.conf" -- bash "$0" "$@" || status=1
    NEROVA_LIMITS_BUS=session dbus-run-session -- bash "$0" "$@" || status=1
    exit $status
fi

export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
failures=0
host=""
cleanup() {
    [ -n "$host" ] && kill -KILL "$host" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
dest=org.nerova.nerova
call() {
    gdbus call --session --timeout 120 --dest "$dest" --object-path /DDE \
        --method "org.nerova.DDE.$1" -- "${@:2}" 2>&1
}
owner_pid() {
    gdbus call --session --timeout 20 --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.GetConnectionUnixProcessID "$1" 2>/dev/null |
        sed -n 's/^(uint32 \([0-9]*\),)$/\1/p'
}
"$probe" --as /opt/x/nerova >"$work/host.log" 2>&1 &
host=$!
for i in $(seq 300); do
    [ "$(owner_pid "$dest")" == "$host" ] && break
    kill -0 "$host" 2>/dev/null || break
    sleep 0.1
done
[ "$(owner_pid "$dest")" == "$host" ] || { fail "the host does not serve $dest"; cat "$work/host.log"; exit 1; }
peak() { sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$host/status"; }  # KiB

if [ "$NEROVA_LIMITS_BUS" == small ]; then
    # Just below the limit: 998,001 digits and a line end, with the message's header.
    call Poke NEROVA '10^998000' >/dev/null
    call Execute calc >/dev/null
    zeros=$(call Request NEROVA | tr -cd 0 | wc -c)
    [ "$zeros" == 998000 ] && echo "ok: a result just below the limit is delivered" ||
        fail "a result just below the limit: $zeros zeros delivered"
    # Just above: 1,000,001 digits do not fit a message of 1,000,000 bytes.
    call Poke NEROVA '10^1000000' >/dev/null
    out=$(call Execute calc)
    [ "$out" == "()" ] && echo "ok: the macro over the limit is acknowledged" || fail "execute over the limit: $out"
    out=$(call Request NEROVA)
    [ "$out" == "('結果が大きすぎて D-Bus では送れません\\r\\n',)" ] && echo "ok: the item holds the failure" ||
        fail "request after a result over the limit: $out"
    call Poke NEROVA '1/3+1/6' >/dev/null
    call Execute calc >/dev/null
    out=$(call Request NEROVA)
    [ "$out" == "('1/2\\r\\n',)" ] && echo "ok: the service answers after it" || fail "the service after a result over the limit: $out"
    # A poke whose item data would not fit is refused, the item unchanged.
    head -c 999800 /dev/zero | tr '\0' 1 >"$work/near.txt"
    out=$("$poker" "$dest" "$work/near.txt")
    [ "$out" == org.nerova.DDE.Error.TooLarge ] && echo "ok: a poke whose data would not fit is refused" ||
        fail "poke of 999,800 bytes: $out"
    out=$(call Request NEROVA)
    [ "$out" == "('1/2\\r\\n',)" ] || fail "the item after a refused poke: $out"
    # The item's limit of lines: 10,000 are taken, one more is refused.
    yes 1 | head -n 10000 >"$work/lines.txt"
    out=$("$poker" "$dest" "$work/lines.txt")
    [ "$out" == ok ] && echo "ok: 10,000 lines are taken" || fail "10,000 lines: $out"
    yes 1 | head -n 10001 >"$work/lines.txt"
    out=$("$poker" "$dest" "$work/lines.txt")
    [ "$out" == org.nerova.DDE.Error.TooLarge ] && echo "ok: 10,001 lines are refused" || fail "10,001 lines: $out"
else
    # 50 MB pokes: the peak of the host's memory stays within a small multiple of the
    # message (the bus library's copy, Qt's UTF-16 text, its UTF-8 bytes).
    message=50000000
    before=$(peak)
    for kind in newlines returns digits; do
        case $kind in
        newlines) head -c $message /dev/zero | tr '\0' '\n' >"$work/poke.txt"; want=org.nerova.DDE.Error.TooLarge ;;
        returns) head -c $message /dev/zero | tr '\0' '\r' >"$work/poke.txt"; want=org.nerova.DDE.Error.TooLarge ;;
        digits) head -c $message /dev/zero | tr '\0' 7 >"$work/poke.txt"; want=ok ;;
        esac
        out=$("$poker" "$dest" "$work/poke.txt")
        [ "$out" == "$want" ] && echo "ok: 50 MB of $kind: $out" || fail "50 MB of $kind: $out, expected $want"
        grown=$(( $(peak) - before ))
        echo "peak grew by $grown KiB"
        # The sanitizers' allocator pads and quarantines every block, so its peak says
        # nothing of the program's; the refusals above are checked there all the same.
        if [ -n "${NEROVA_SANITIZED:-}" ]; then continue; fi
        [ "$grown" -le $((10 * message / 1024)) ] || fail "50 MB of $kind: peak grew by $grown KiB"
    done
    rm -f "$work/poke.txt"
    out=$(call Request NEROVA | head -c 9)
    [ "$out" == "('7777777" ] || fail "the item after the 50 MB poke: $out"
fi
exit $((failures > 0))
