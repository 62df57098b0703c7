#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# install_test.sh CASE BUILD_DIR, with the NEROVA_* variables that CMakeLists.txt sets:
# checks what `cmake --install` and `cpack` deliver.
#   desktop   the menu entry passes desktop-file-validate
#   metainfo  the AppStream metainfo passes appstreamcli validate --no-net
#   manpage   the manual page formats without a warning and names every option of --help
#   prefix    installed into a fresh folder, the program runs from there alone
#   window    the installed window under Xvfb and openbox: its WM_CLASS is the menu
#             entry's StartupWMClass, it carries the icon, its program comes from the prefix
#   package   the .deb: its name, files, Depends, and the program unpacked from it runs
#   completion the installed bash completion offers options, forms and file names
#   lintian   lintian --pedantic on the .deb: no error (E:) and no warning (W:)
# Exit status 77 (skipped) only when a tool the case needs is not installed.
set -u
case_name=$1
build=$(cd "$2" && pwd)
work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# need TOOL...: skips the case when a tool is missing (the set-up script installs them).
need() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
}

# The project's names and install folders come from the build (tests/install/CMakeLists.txt).
app_id=$NEROVA_APP_ID version=$NEROVA_VERSION
bindir=$NEROVA_BINDIR privatedir=$NEROVA_PRIVATE_LIBDIR datadir=$NEROVA_DATADIR mandir=$NEROVA_MANDIR
docdir=$NEROVA_DOCDIR
desktop_file=$build/data/$app_id.desktop

# The files every installation holds, relative to its prefix.
installed_files() {
    echo "$bindir/nerova"
    echo "$privatedir/nerova-window"
    echo "$datadir/applications/$app_id.desktop"
    echo "$datadir/icons/hicolor/scalable/apps/$app_id.svg"
    local size
    for size in 16 32 48 64 128 256; do echo "$datadir/icons/hicolor/${size}x$size/apps/$app_id.png"; done
    echo "$datadir/dbus-1/services/$app_id.service"
    echo "$docdir/copyright"
    echo "$datadir/metainfo/$app_id.metainfo.xml"
    echo "$mandir/man1/nerova.1.gz"
}

install_into() {
    cmake --install "$build" --prefix "$1" >"$work/install.log" 2>&1 ||
        { cat "$work/install.log"; fail "cmake --install into $1"; exit 1; }
}

# check_runs PROGRAM: -e and --render (which starts the window program) work.
check_runs() {
    local out
    out=$(env -u LD_LIBRARY_PATH "$1" -e '1/3+1/6' 2>&1)
    [ "$out" = 1/2 ] || fail "$1 -e '1/3+1/6' gave '$out'"
    rm -f "$work/x.png"
    env -u LD_LIBRARY_PATH -u DISPLAY "$1" --render '-(1+1/2)*2^3' "$work/x.png" >"$work/render.err" 2>&1 ||
        { cat "$work/render.err"; fail "$1 --render failed"; }
    [ "$(head -c 4 "$work/x.png" 2>/dev/null | tail -c 3)" = PNG ] || fail "$1 --render wrote no PNG"
}

# check_loads_from PREFIX LOG: the dynamic loader's log (LD_DEBUG=files LD_SHOW_AUXV=1)
# shows the window program started from PREFIX (the file execve was given, which argv[0]
# does not name) and nothing taken from the build folder.
check_loads_from() {
    grep -qx "AT_EXECFN: *$1/$bindir/\.\./$privatedir/nerova-window" "$2" ||
        grep -qx "AT_EXECFN: *$1/$privatedir/nerova-window" "$2" ||
        { grep AT_EXECFN "$2"; fail "the window program is not started from $1"; }
    if grep -qF "$build" "$2"; then grep -F "$build" "$2" | head -3; fail "a file is loaded from the build folder"; fi
}

# build_deb: packs the build into $deb.
build_deb() {
    cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log"; fail "cpack -G DEB"; exit 1; }
    deb=$(ls "$work"/out/*.deb 2>/dev/null | head -1)
    [ -n "$deb" ] || { cat "$work/cpack.log"; fail "no .deb built"; exit 1; }
}

case $case_name in
desktop)
    need desktop-file-validate
    desktop-file-validate "$desktop_file" >"$work/out" 2>&1
    status=$?
    # Warnings do not change the exit status; they count as failures here.
    if [ "$status" != 0 ] || [ -s "$work/out" ]; then cat "$work/out"; fail "desktop-file-validate"; fi
    grep -qx "Icon=$app_id" "$desktop_file" || fail "the menu entry's icon is not $app_id"
    ;;
metainfo)
    need appstreamcli
    appstreamcli validate --no-net --pedantic "$build/data/$app_id.metainfo.xml" >"$work/out" 2>&1 ||
        { cat "$work/out"; fail "appstreamcli validate"; }
    grep -q "<release version=\"$version\"" "$build/data/$app_id.metainfo.xml" ||
        fail "the metainfo's release is not the project's version"
    grep -q '<project_license>GPL-3.0-or-later</project_license>' "$build/data/$app_id.metainfo.xml" ||
        fail "the metainfo names no licence"
    # AppStream takes a translation from each paragraph and list item, not from a list:
    # a language on anything else in a description mixes both languages in the English
    # view.
    python3 - "$build/data/$app_id.metainfo.xml" <<'PY' || fail "a translation is marked where AppStream ignores it"
import sys, xml.etree.ElementTree as ET
LANG = '{http://www.w3.org/XML/1998/namespace}lang'
bad = [e.tag for d in ET.parse(sys.argv[1]).iter('description') for e in d.iter()
       if LANG in e.attrib and e.tag not in ('p', 'li')]
print('\n'.join('xml:lang on <%s>' % t for t in bad))
sys.exit(1 if bad else 0)
PY
    # No address that leads nowhere: the addresses are the project's own, or absent.
    if grep -Eq 'https?://[^"<]*nerova\.org' "$build/data/$app_id.metainfo.xml"; then
        fail "the metainfo names a nerova.org address"
    fi
    ;;
manpage)
    need man
    # A UTF-8 locale, as the page's Japanese messages need; an ASCII terminal cannot show them.
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$build/man/nerova.1" >"$work/page" 2>"$work/warnings"
    if [ -s "$work/warnings" ]; then cat "$work/warnings"; fail "man --warnings"; fi
    grep -q "nerova $version" "$work/page" || fail "the page does not carry the version"
    sections=$(grep '^\.SH ' "$build/man/nerova.1" | cut -c5- | tr -d '"' | tr '\n' ,)
    [[ $sections == *ENVIRONMENT,FILES,* && $sections == *COPYRIGHT,* && $sections == *"SEE ALSO,"* ]] ||
        fail "sections: $sections"
    for text in XDG_STATE_HOME '/history' '[History]' GPLv3+; do
        grep -qF -- "$text" "$work/page" || fail "the page does not name $text"
    done
    # The release's date, the same as the metainfo's.
    date=$(sed -n 's/.*<release version="[^"]*" date="\([^"]*\)".*/\1/p' "$build/data/$app_id.metainfo.xml")
    grep -q "^\.TH NEROVA 1 $date " "$build/man/nerova.1" || fail "the page's date is not the release's ($date)"
    # Every option the program itself lists has its entry under OPTIONS: the tag line
    # after a .TP, looked up in the source (the formatted page may break at a hyphen).
    "$build/nerova" --help >"$work/help" 2>&1 || fail "nerova --help"
    options=$(grep -o -- '--[a-z][a-z-]*\|-[a-z]\b' "$work/help" | sort -u)
    [ -n "$options" ] || fail "no options found in --help"
    awk '/^\.SH /{inside = ($2 == "OPTIONS")} inside && tag {print} {tag = inside && /^\.TP/}' \
        "$build/man/nerova.1" | sed 's/\\-/-/g' >"$work/tags"
    for option in $options; do
        grep -q -- "$option\b" "$work/tags" || fail "the manual page has no entry for $option"
    done
    ;;
prefix)
    need cmake
    prefix=$work/prefix
    install_into "$prefix"
    while read -r file; do
        [ -f "$prefix/$file" ] || fail "not installed: $file"
    done < <(installed_files)
    check_runs "$prefix/$bindir/nerova"
    LD_DEBUG=files LD_SHOW_AUXV=1 env -u DISPLAY "$prefix/$bindir/nerova" --render 1/3 "$work/y.png" >"$work/ld.log" 2>&1
    check_loads_from "$prefix" "$work/ld.log"
    # Moved elsewhere as a whole, the installation still finds its window program.
    mv "$prefix" "$work/moved"
    check_runs "$work/moved/$bindir/nerova"
    ;;
window)
    need cmake Xvfb openbox xdotool xprop
    prefix=$work/prefix
    install_into "$prefix"
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    exec 3>&-
    # Xvfb writes its display number once it accepts clients.
    until [ -s "$work/display" ]; do
        kill -0 "${pids[0]}" 2>/dev/null || { cat "$work/xvfb.log"; fail "Xvfb did not start"; exit 1; }
        sleep 0.1
    done
    export DISPLAY=:$(head -1 "$work/display")
    openbox --sm-disable >/dev/null 2>&1 &
    pids+=($!)
    # A window mapped while the window manager is still starting may stay unmanaged and
    # hidden: wait until openbox announces itself on the root window.
    until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
        kill -0 "${pids[1]}" 2>/dev/null || { fail "openbox did not start"; exit 1; }
        sleep 0.1
    done
    XDG_CONFIG_HOME=$work/config env -u DBUS_SESSION_BUS_ADDRESS -u QT_QPA_PLATFORM \
        "$prefix/$bindir/nerova" >"$work/app.log" 2>&1 &
    app=$!
    pids+=($app)
    window=$(timeout 60 xdotool search --sync --onlyvisible --pid "$app" 2>/dev/null | head -1)
    [ -n "$window" ] || { cat "$work/app.log"; fail "no window appeared"; exit 1; }
    wm_class=$(xprop -id "$window" WM_CLASS | sed -n 's/.*= "\(.*\)", "\(.*\)"$/\2/p')
    startup_class=$(sed -n 's/^StartupWMClass=//p' "$prefix/$datadir/applications/$app_id.desktop")
    [ -n "$wm_class" ] && [ "$wm_class" = "$startup_class" ] ||
        fail "WM_CLASS '$wm_class' is not the menu entry's StartupWMClass '$startup_class'"
    xprop -id "$window" _NET_WM_ICON | grep -q 'Icon (128 x 128)' ||
        fail "the window carries no icon (_NET_WM_ICON); is Qt's SVG icon engine installed?"
    # The same process (nerova became the window program) runs the prefix's program.
    grep -F -e "$build" -e 'nerova-window' "/proc/$app/maps" | awk '{print $6}' | sort -u >"$work/maps"
    grep -qx "$prefix/$privatedir/nerova-window" "$work/maps" ||
        { cat "$work/maps"; fail "the window program is not mapped from the prefix"; }
    if grep -qF "$build" "$work/maps"; then fail "the window maps files of the build folder"; fi
    ;;
package)
    need cpack dpkg-deb dpkg-shlibdeps
    build_deb
    [ "$(basename "$deb")" = "nerova_$version-1_$(dpkg --print-architecture).deb" ] ||
        fail "the package's file name $(basename "$deb") is not nerova_VERSION-1_ARCH.deb"
    dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' >"$work/contents"
    prefix=$(sed -n 's/^set(CPACK_PACKAGING_INSTALL_PREFIX "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
    while read -r file; do
        grep -qx "${prefix#/}/$file" "$work/contents" || fail "not in the package: $prefix/$file"
    done < <(installed_files)
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    [[ $depends == *libqt6widgets6* && $depends == *libqt6svg6* ]] ||
        fail "Depends lacks the Qt libraries: '$depends'"
    twice=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/[ (].*//' | sort | uniq -d)
    [ -z "$twice" ] || fail "Depends names a package twice: $twice"
    [ "$(dpkg-deb -f "$deb" Section)" = math ] || fail "the section is not math"
    [ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"
    dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x"
    check_runs "$work/root$prefix/$bindir/nerova"
    ;;
completion)
    # The installed completion offers the options, the forms and --render's file types.
    [ -f /usr/share/bash-completion/bash_completion ] || { echo "SKIP: bash-completion is not installed"; exit 77; }
    prefix=$work/prefix
    install_into "$prefix"
    mkdir -p "$work/files" && touch "$work/files/a.png" "$work/files/a.txt"
    # Each line: the words typed (the last is being completed), then what is offered.
    while IFS='|' read -r typed offered; do
        got=$(cd "$work/files" && bash -c '
            source /usr/share/bash-completion/bash_completion
            source "$1"; shift
            COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
            COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
            _nerova 2>/dev/null; printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd " "' _ \
            "$prefix/$datadir/bash-completion/completions/nerova" $typed)
        [ "$got" = "$offered" ] || fail "completing '$typed' offers '$got', not '$offered'"
    done <<'ROWS'
nerova --fo|--font= --form=
nerova --form m|mathml mixed
nerova --ver|--version
nerova --render 1/2 a|a.png
nerova --batch a|a.png a.txt
ROWS
    ;;
lintian)
    # Debian's package checker finds neither an error nor a warning, even pedantic.
    need cpack dpkg-deb dpkg-shlibdeps lintian
    build_deb
    lintian --pedantic --display-info "$deb" >"$work/lintian.log" 2>&1
    cat "$work/lintian.log"
    if grep -q '^[EW]: ' "$work/lintian.log"; then fail "lintian reports errors or warnings"; fi
    [ -z "$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -E 'postinst|postrm|preinst|prerm')" ] ||
        fail "the package has maintainer scripts"
    ;;
*)
    echo "unknown case $case_name"; exit 2
    ;;
esac
exit $((failures > 0))
