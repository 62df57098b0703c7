#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# layers_test.sh SOURCE_DIR: every include of the project's own headers stays in its
# layer or below, and the Qt-free layers include no Qt. The build cannot see this itself:
# every target exports the project root, so a stray include would compile.
#   engine/ <- display/ <- display/qt/ <- shell/ <- shell/qt/ <- app/
# (shell/ uses display/'s Qt-free part only.)
set -u
cd "$1" || exit 1
failures=0

# check FOLDER ALLOWED...: the files right in FOLDER include only "ALLOWED/..." headers of
# the project (a prefix each), and no Qt header unless "qt" is among ALLOWED.
check() {
    local folder=$1 file line inc ok a
    shift
    for file in "$folder"/*.h "$folder"/*.cpp; do
        [ -e "$file" ] || continue
        while IFS= read -r line; do
            inc=${line#*#include }
            case $inc in
                \<Q*|\<q*)
                    [[ " $* " == *" qt "* ]] || { echo "FAIL: $file includes Qt: $inc"; failures=$((failures + 1)); }
                    continue ;;
                \"*) inc=${inc#\"}; inc=${inc%%\"*} ;;
                *) continue ;;
            esac
            ok=0
            for a in "$@"; do
                [ "$a" == qt ] && continue
                [[ "$inc" == "$a"/* && "${inc#"$a"/}" != */* ]] && ok=1
            done
            [ "$ok" == 1 ] || { echo "FAIL: $file includes $inc"; failures=$((failures + 1)); }
        done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$file")
    done
}

check engine engine
check display engine display
check display/qt engine display display/qt qt
check shell engine display shell
check shell/qt engine display display/qt shell shell/qt qt
check app engine display display/qt shell shell/qt app qt

[ "$failures" == 0 ] && echo "ok: every include stays in its layer or below"
exit $((failures > 0))
