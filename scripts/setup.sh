#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# Installs the Debian packages that Nerova needs (only those missing), then configures
# and builds. Sourced by run.sh (nerova_install_packages run: what building and running
# the program needs) and test.sh (nerova_install_packages test: that and what the whole
# test suite needs).
set -euo pipefail

# Building and running the program.
NEROVA_RUN_PACKAGES=(
  cmake ninja-build g++ pkgconf
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-svg-dev
  librsvg2-bin                                 # draws the PNG icons at build time
  fonts-ipafont-gothic                         # the window's Japanese texts
  libqt6svg6                                   # draws the SVG window icon
  qt6-translations-l10n                        # Qt's own dialogs in the user's language
  qt6-l10n-tools qt6-tools-dev                 # the translations: lupdate, lrelease
)

# The test suite, the benchmarks' yardstick and the fuzzers, besides the above.
NEROVA_TEST_PACKAGES=(
  libgtest-dev libgmock-dev
  libgmp-dev
  fonts-ipafont-mincho
  dbus-daemon libglib2.0-bin
  desktop-file-utils appstream man-db python3  # check the installed files
  bash-completion
  dpkg-dev file lintian                        # build and check the .deb
  xvfb openbox xdotool x11-utils               # the installed window on a real X server
  clang libclang-rt-dev                        # the fuzzers (libFuzzer)
  at-spi2-core python3-gi gir1.2-atspi-2.0     # the window read over AT-SPI
  xclip x11-xserver-utils                      # the window's real clipboard and keyboard map in its tests
)

# nerova_missing_packages run|test
nerova_missing_packages() {
  local pkg status packages=("${NEROVA_RUN_PACKAGES[@]}")
  if [ "${1:-test}" = test ]; then packages+=("${NEROVA_TEST_PACKAGES[@]}"); fi
  for pkg in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)
    [ "$status" = "installed" ] || echo "$pkg"
  done
}

# nerova_install_packages run|test
nerova_install_packages() {
  local missing
  missing=$(nerova_missing_packages "${1:-test}")
  [ -z "$missing" ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
  echo "Installing: $(echo $missing | tr '\n' ' ')" >&2
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  # shellcheck disable=SC2086
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

# nerova_build PRESET [-DVAR=VALUE]...: configures the preset's folder ("default": build/,
# "asan": build-asan/) when it is new, or when its cache differs from a VAR=VALUE given,
# then builds it.
nerova_build() {
  local preset=${1:-default} root dir
  shift || true
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  dir=$root/$(nerova_build_dir "$preset")
  (cd "$root" &&
    { { [ -f "$dir/build.ninja" ] && nerova_cache_has "$dir" "$@"; } || cmake --preset "$preset" "$@" >/dev/null; } &&
    cmake --build --preset "$preset" --parallel "$(nproc)")
}

# nerova_cache_has DIR [-DVAR=VALUE]...: true when DIR's cache sets every VAR to VALUE.
nerova_cache_has() {
  local dir=$1 setting
  shift
  for setting in "$@"; do
    setting=${setting#-D}
    grep -q "^${setting%%=*}:[A-Z]*=${setting#*=}\$" "$dir/CMakeCache.txt" || return 1
  done
}

nerova_build_dir() {
  if [ "$1" = default ]; then echo build; else echo "build-$1"; fi
}
