#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# The macro service driven by a real client (gdbus) on a private session bus.
# Run under dbus-run-session:
#   dbus_test.sh probe   PATH/ddeprobe   the adaptor in a stand-in host
#   dbus_test.sh program PATH/nerova     the calculator itself, window offscreen
set -u
mode=$1
bin=$2
export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
export XDG_CONFIG_HOME=$work/config  # never the user's own settings
failures=0
pids=()

cleanup() {
    local p
    for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 2' TERM INT HUP  # a test runner's timeout still ends every process started here

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() {  # label expected actual
    if [ "$2" == "$3" ]; then echo "ok: $1"; else fail "$1: expected [$2], got [$3]"; fi
}

dest=org.nerova.nerova
call() {  # method args...: one call to the item's interface, output and errors together
    gdbus call --session --timeout 20 --dest "$dest" --object-path /DDE \
        --method "org.nerova.DDE.$1" -- "${@:2}" 2>&1
}
data() {  # the Request reply for the lines given
    local out="(" line
    out+="'"
    for line in "$@"; do out+="$line\\r\\n"; done
    echo "$out',)"
}
owner_pid() {
    gdbus call --session --timeout 20 --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.GetConnectionUnixProcessID "$1" 2>/dev/null |
        sed -n 's/^(uint32 \([0-9]*\),)$/\1/p'
}
wait_for_name() {  # name pid: until pid owns name, at most 30 s (sanitizer builds start slowly)
    local i
    for i in $(seq 300); do
        [ "$(owner_pid "$1")" == "$2" ] && return 0
        kill -0 "$2" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
. "$(dirname "$0")/../process.sh"  # ready PID, gone PID
stop() {  # pid signal: the process ends by itself within 30 s; its exit code in $code
    ready "$1"
    kill "-$2" "$1"
    if ! gone "$1"; then
        code="still running"
        return
    fi
    wait "$1"
    code=$?
}
start() {  # log args...: starts a host in the background, its pid in $started
    "${@:2}" >"$1" 2>&1 &
    started=$!
    pids+=("$started")
}

if [ "$mode" == probe ]; then
    host=("$bin" --as /opt/x/nerova)  # named as the calculator is
else
    host=("$bin")
fi

start "$work/first.log" "${host[@]}"
first=$started
wait_for_name "$dest" "$first" || { fail "the first copy does not serve $dest"; cat "$work/first.log"; exit 1; }

# Watch the signal from before the first change; the monitor says when it watches.
gdbus monitor --session --dest "$dest" >"$work/monitor.log" 2>&1 &
monitor=$!
pids+=("$monitor")
for i in $(seq 300); do grep -q 'is owned by' "$work/monitor.log" && break; sleep 0.1; done

check "a new item holds one empty line" "$(data '')" "$(call Request NEROVA)"
check "calc before any poke: acknowledged" "()" "$(call Execute calc)"
missing=$(call Request NEROVA)
[ "$missing" != "$(data '')" ] && [ "${missing:0:2}" == "('" ] &&
    echo "ok: calc of the empty item gives the missing-number message: $missing" ||
    fail "calc of the empty item gave [$missing]"

check "poke" "()" "$(call Poke NEROVA '1/3+1/6')"
check "execute calc" "()" "$(call Execute calc)"
check "request after calc" "$(data '1/2')" "$(call Request NEROVA)"
call Execute calc >/dev/null
check "a second calc evaluates its own result" "$(data '1/2')" "$(call Request NEROVA)"

call Poke NEROVA '-3/2' >/dev/null
call Execute tai >/dev/null
check "tai" "$(data '-(1+1/2)')" "$(call Request NEROVA)"
call Poke NEROVA '-3/2' >/dev/null
call Execute frac >/dev/null
check "frac" "$(data '-1.5')" "$(call Request NEROVA)"

for command in CALC 'calc ' sum '' $'\r\n'; do
    check "execute $(printf %q "$command") is acknowledged" "()" "$(call Execute "$command")"
done
check "... and changes nothing" "$(data '-1.5')" "$(call Request NEROVA)"

call Poke NEROVA $'1+1\r\n2+2\n' >/dev/null
check "two poked lines" "$(data '1+1' '2+2')" "$(call Request NEROVA)"
call Execute $'calc\nfrac' >/dev/null
check "only the first line is evaluated" "$(data '2')" "$(call Request NEROVA)"

for item in nerova NEROVA2 ''; do
    out=$(call Request "$item")
    [[ "$out" == *org.nerova.DDE.Error.NoSuchItem* ]] && echo "ok: request of [$item] refused" ||
        fail "request of [$item]: $out"
    out=$(call Poke "$item" 1)
    [[ "$out" == *org.nerova.DDE.Error.NoSuchItem* ]] && echo "ok: poke of [$item] refused" ||
        fail "poke of [$item]: $out"
done
check "a refused poke changes nothing" "$(data '2')" "$(call Request NEROVA)"
# The topic is the object /DDE: object paths are compared exactly on the bus.
out=$(gdbus call --session --timeout 20 --dest "$dest" --object-path /dde \
    --method org.nerova.DDE.Request NEROVA 2>&1)
[[ "$out" == *Error* && "$out" != *NEROVA* ]] && echo "ok: no object /dde" || fail "/dde: $out"

# Every poke and every macro above, in order, and nothing else.
expected_advise=("('NEROVA', '${missing:2:${#missing}-5}')")
expected_advise+=("('NEROVA', '1/3+1/6\\r\\n')" "('NEROVA', '1/2\\r\\n')" "('NEROVA', '1/2\\r\\n')")
expected_advise+=("('NEROVA', '-3/2\\r\\n')" "('NEROVA', '-(1+1/2)\\r\\n')")
expected_advise+=("('NEROVA', '-3/2\\r\\n')" "('NEROVA', '-1.5\\r\\n')")
expected_advise+=("('NEROVA', '1+1\\r\\n2+2\\r\\n')" "('NEROVA', '2\\r\\n')")
for i in $(seq 300); do
    [ "$(grep -c 'org.nerova.DDE.Advise' "$work/monitor.log")" -ge ${#expected_advise[@]} ] && break
    sleep 0.1
done
kill "$monitor"
wait "$monitor" 2>/dev/null
mapfile -t seen < <(sed -n 's|^/DDE: org.nerova.DDE.Advise ||p' "$work/monitor.log")
check "one Advise per change, with the new data" "$(printf '%s\n' "${expected_advise[@]}")" \
    "$(printf '%s\n' "${seen[@]}")"

# A second copy finds the name taken: it keeps running without the service, and the
# first copy goes on serving.
start "$work/second.log" "${host[@]}"
second=$started
ready "$second" && echo "ok: the second copy runs" || fail "the second copy is not running: $(cat "$work/second.log")"
check "the first copy still owns the name" "$first" "$(owner_pid "$dest")"
check "and still serves" "$(data '2')" "$(call Request NEROVA)"
stop "$second" INT
    check "SIGINT closes the second copy normally" 0 "$code"

if [ "$mode" == probe ]; then
    grep -q "マクロは別のコピーが受付中" "$work/second.log" &&
        echo "ok: the second copy says why it does not serve" ||
        fail "second copy's status: $(cat "$work/second.log")"
    # A macro meeting a calculation in progress is refused; pokes and requests are not.
    start "$work/busy.log" "$bin" --as /opt/busy --busy
    wait_for_name org.nerova.busy "$started" || fail "the busy host does not serve"
    dest=org.nerova.busy
    out=$(call Execute calc)
    [[ "$out" == *org.nerova.DDE.Error.Busy* ]] && echo "ok: busy execute refused" || fail "busy execute: $out"
    check "poke while busy" "()" "$(call Poke NEROVA 1/2)"
    check "request while busy" "$(data '1/2')" "$(call Request NEROVA)"
    stop "$started" TERM
    check "the busy host closes on SIGTERM" 0 "$code"
    dest=org.nerova.nerova
fi

stop "$first" TERM
    check "SIGTERM closes the first copy normally" 0 "$code"

# No session bus at all: the program runs without the service and ends normally.
DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus DISPLAY= start "$work/nobus.log" "${host[@]}"
nobus=$started
ready "$nobus" && echo "ok: runs without a session bus" || fail "not running without a bus: $(cat "$work/nobus.log")"
if [ "$mode" == probe ]; then
    grep -q "D-Bus なし: マクロは使えません" "$work/nobus.log" &&
        echo "ok: says there is no session bus" || fail "no-bus status: $(cat "$work/nobus.log")"
fi
stop "$nobus" TERM
check "without a bus SIGTERM closes it normally" 0 "$code"

if [ "$mode" == program ]; then
    ini=$XDG_CONFIG_HOME/nerova.ini
    keys=$(grep -c -E '^(top|left|width|height|junkan|name|size|color)=' "$ini" 2>/dev/null)
    check "closing writes the eight keys" 8 "$keys"
    # Values written by hand come back, as the calculator writes them, after a restart.
    sed -i -e 's/^top=.*/top=0x20/' -e 's/^left=.*/left=$40/' -e 's/^width=.*/width=500/' \
        -e 's/^junkan=.*/junkan=0/' -e 's/^name=.*/name=IPAGothic/' -e 's/^size=.*/size=15/' "$ini"
    printf '; kept by hand\n[Mine]\nkey=value\n' >>"$ini"
    # Its own digit budget, above 9^9^9's 369,693,100 digits: with the default (a quarter
    # of the memory) a small machine would refuse the long macro below at once.
    start "$work/third.log" "$bin" --max-digits 400000000
    third=$started
    wait_for_name "$dest" "$third" || fail "the restarted copy does not serve"

    # A macro that would calculate for minutes on any machine: while it runs, pokes and macros are refused
    # and requests answered; SIGTERM stops it, answers its client and closes the program
    # normally (settings written), instead of leaving it calculating without a window.
    call Poke NEROVA '9^9^9' >/dev/null
    gdbus call --session --timeout 120 --dest "$dest" --object-path /DDE \
        --method org.nerova.DDE.Execute calc >"$work/long.out" 2>&1 &
    long=$!
    pids+=("$long")
    deadline=$((SECONDS + 30))
    while [ "$SECONDS" -lt "$deadline" ]; do
        # The same text again until it is refused: the macro has begun.
        [[ "$(call Poke NEROVA '9^9^9')" == *org.nerova.DDE.Error.Busy* ]] && break
        sleep 0.1
    done
    out=$(call Poke NEROVA 1/2)
    [[ "$out" == *org.nerova.DDE.Error.Busy* ]] && echo "ok: a poke during a macro is refused" ||
        fail "poke during a macro: $out"
    check "a request during a macro answers" "$(data '9^9^9')" "$(call Request NEROVA)"
    stop "$third" TERM
    check "SIGTERM during a long macro closes the program normally" 0 "$code"
    wait "$long"
    check "the macro's client gets its acknowledgement" "()" "$(cat "$work/long.out")"
    check "top read as hexadecimal" "top=32" "$(grep '^top=' "$ini")"
    check "left read after \$" "left=64" "$(grep '^left=' "$ini")"
    check "the width survives" "width=500" "$(grep '^width=' "$ini")"
    check "the font name survives" "name=IPAGothic" "$(grep '^name=' "$ini")"
    check "the recurring option survives" "junkan=0" "$(grep '^junkan=' "$ini")"
    check "the font size survives" "size=15" "$(grep '^size=' "$ini")"
    grep -q '^; kept by hand' "$ini" && grep -q '^key=value' "$ini" &&
        echo "ok: other sections and comments kept" || fail "lost by hand-written lines: $(cat "$ini")"

    # A renamed copy has its own service name and its own settings.
    cp "$bin" "$work/calc2.bin"
    cp "$(dirname "$bin")/nerova-window" "$work/"  # the window program goes with the program
    start "$work/renamed.log" "$work/calc2.bin"
    wait_for_name org.nerova.calc2 "$started" && echo "ok: a renamed copy serves org.nerova.calc2" ||
        fail "the renamed copy does not serve org.nerova.calc2"
    stop "$started" TERM
    [ -f "$XDG_CONFIG_HOME/calc2.bin.ini" ] && echo "ok: the renamed copy keeps its own settings" ||
        fail "no $XDG_CONFIG_HOME/calc2.bin.ini"

    # So does a renamed copy made as a symbolic link, started by its own name.
    mkdir "$work/bin"
    ln -s "$bin" "$work/bin/calc3"
    PATH=$work/bin:$PATH start "$work/linked.log" calc3
    wait_for_name org.nerova.calc3 "$started" && echo "ok: a linked copy serves org.nerova.calc3" ||
        fail "the linked copy does not serve org.nerova.calc3"
    stop "$started" TERM
    [ -f "$XDG_CONFIG_HOME/calc3.ini" ] && echo "ok: the linked copy keeps its own settings" ||
        fail "no $XDG_CONFIG_HOME/calc3.ini"

    # The digit budget of one result, from the settings file and from the command line,
    # holds for the macros too.
    ln -s "$bin" "$work/bin/calc4"
    printf '[Calc]\nMaxDigits=100\n' >"$XDG_CONFIG_HOME/calc4.ini"
    for budget in settings option; do
        if [ $budget == settings ]; then
            PATH=$work/bin:$PATH start "$work/budget.log" calc4
        else
            PATH=$work/bin:$PATH start "$work/budget.log" calc4 --max-digits 200
        fi
        dest=org.nerova.calc4
        wait_for_name "$dest" "$started" || fail "calc4 does not serve $dest"
        call Poke NEROVA '2^333' >/dev/null
        call Execute calc >/dev/null
        if [ $budget == settings ]; then
            check "a result over the settings' budget is refused" "$(data '結果が大きすぎます')" "$(call Request NEROVA)"
        else
            [ "$(call Request NEROVA)" != "$(data '結果が大きすぎます')" ] &&
                echo "ok: --max-digits wins over the settings" || fail "--max-digits ignored"
            call Poke NEROVA '2^665' >/dev/null
            call Execute calc >/dev/null
            check "a result over --max-digits is refused" "$(data '結果が大きすぎます')" "$(call Request NEROVA)"
        fi
        stop "$started" TERM
    done
    dest=org.nerova.nerova
fi

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
