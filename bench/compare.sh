#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# Times nerova --batch against GMP (mpq_t), Python's fractions and, when installed,
# PARI/GP and apcalc on the same inputs; prints a table of medians (see README.md).
#
#   bench/compare.sh [BUILD] [--rounds N] [--only ROWS] [--nerova LABEL PATH]...
#
# BUILD is a build folder holding nerova (default build). Further --nerova pairs time
# other nerova programs in the same rounds (a copy of the program before a change, say).
# The GMP program is built only when GMP's header is present; it is a yardstick here,
# never part of the calculator.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=build
case "${1:-}" in
    ''|--*) ;;
    *) build=$1; shift ;;
esac
work=$build/bench/compare
mkdir -p "$work"

gmp=
if [ -f /usr/include/gmp.h ] || [ -f "/usr/include/$(gcc -dumpmachine)/gmp.h" ]; then
    gmp=$work/gmpcalc
    cc -O2 -o "$gmp" "$here/gmpcalc.c" -lgmp
fi

exec python3 "$here/compare.py" --work "$work" --nerova nerova "$build/nerova" \
    ${gmp:+--gmpcalc "$gmp"} "$@"
