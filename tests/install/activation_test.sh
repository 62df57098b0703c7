#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# activation_test.sh BUILD_DIR, with the NEROVA_* variables of CMakeLists.txt: the
# installed D-Bus activation file starts the installed program when a client calls it.
# On a private session bus (dbus-run-session with its own configuration) whose only
# service folder holds that file, its Exec pointed at the installation in a temporary
# prefix:
#   - with a display (Qt's offscreen platform, handed down in the bus's environment as
#     a desktop hands down DISPLAY), the first Poke starts the calculator, and Execute
#     and Request give the answer;
#   - without any display the call fails at once with the bus's error for a service
#     that exited, instead of hanging until the client's timeout.
# Exit status 77 (skipped) only when a tool it needs is not installed.
set -u
build=$(cd "$1" && pwd)
for tool in cmake dbus-run-session gdbus; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
. "$(dirname "$0")/../shell/process.sh"  # gone PID
work=$(mktemp -d)
app_id=$NEROVA_APP_ID
interface=${app_id%.*}.DDE
started=""
cleanup() {
    # The program the bus started is this test's own: it is ended here.
    # It writes its settings as it closes: gone before the folder goes.
    if [ -n "$started" ] && kill "$started" 2>/dev/null; then gone "$started"; fi
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; echo "FAIL: cmake --install"; exit 1; }
service=$prefix/$NEROVA_DATADIR/dbus-1/services/$app_id.service
[ -f "$service" ] || { echo "FAIL: no activation file $service"; exit 1; }
[ "$(sed -n 's/^Name=//p' "$service")" = "$app_id" ] || fail "the activation file's Name is not $app_id"
[ "$(sed -n 's/^Exec=//p' "$service")" = "$NEROVA_FULL_BINDIR/nerova" ] ||
    fail "the activation file's Exec is not the installed program $NEROVA_FULL_BINDIR/nerova"

mkdir -p "$work/services"
sed "s|^Exec=.*|Exec=$prefix/$NEROVA_BINDIR/nerova|" "$service" >"$work/services/$app_id.service"
cat >"$work/session.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=$work</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$work/services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF

# client.sh: run inside the private bus; prints each answer on its own line, then the
# process id of the name's owner.
cat >"$work/client.sh" <<'CLIENT'
call() { gdbus call --session --timeout 120 --dest "$APP_ID" --object-path /DDE --method "$INTERFACE.$1" -- "${@:2}" 2>&1; }
echo "poke: $(call Poke NEROVA '1/3+1/6')"
echo "execute: $(call Execute calc)"
echo "request: $(call Request NEROVA)"
echo "owner: $(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.GetConnectionUnixProcessID "$APP_ID" 2>&1 | sed -n 's/^(uint32 \([0-9]*\),)$/\1/p')"
CLIENT

# The bus hands its own environment to the programs it starts.
export APP_ID=$app_id INTERFACE=$interface
export XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state  # never the user's own
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen \
    dbus-run-session --config-file="$work/session.conf" -- bash "$work/client.sh" >"$work/answers" 2>"$work/bus.log"
cat "$work/answers"
started=$(sed -n 's/^owner: //p' "$work/answers")
grep -qx 'poke: ()' "$work/answers" || fail "the Poke that starts the program"
grep -qx 'execute: ()' "$work/answers" || fail "Execute"
grep -qxF "request: ('1/2\\r\\n',)" "$work/answers" || fail "Request does not give the result"
[ -n "$started" ] || fail "no program owned $app_id after the calls"
if [ "$failures" != 0 ]; then cat "$work/bus.log"; fi

# No display at all: an error from the bus at once, not a hang (the client's timeout
# is far longer than the test's).
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb \
    dbus-run-session --config-file="$work/session.conf" -- \
    gdbus call --session --timeout 600 --dest "$app_id" --object-path /DDE --method "$interface.Request" NEROVA \
    >"$work/nodisplay" 2>&1
status=$?
cat "$work/nodisplay"
[ "$status" != 0 ] || fail "a call without a display succeeded"
grep -q 'Spawn.ChildExited' "$work/nodisplay" || fail "without a display the caller does not learn that the program exited"
exit $((failures > 0))
