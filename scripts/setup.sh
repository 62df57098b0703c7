#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# Installs the Debian packages that Nerova needs (only those missing), then configures
# and builds into build/. Sourced by run.sh and test.sh.
set -euo pipefail

NEROVA_PACKAGES=(
  cmake ninja-build g++ pkgconf
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-svg-dev
  libgtest-dev libgmock-dev libsimpleini-dev
  libgmp-dev
  fonts-ipafont-gothic fonts-ipafont-mincho
  dbus-daemon libglib2.0-bin
  libqt6svg6                                   # draws the SVG window icon
  desktop-file-utils appstream man-db dpkg-dev # check the installed files, build the .deb
  xvfb openbox xdotool x11-utils               # the installed window on a real X server
  qt6-translations-l10n                        # Qt's own dialogs in the user's language
  qt6-l10n-tools qt6-tools-dev                 # the translations: lupdate, lrelease
  clang libclang-rt-dev                        # the fuzzers (libFuzzer)
  at-spi2-core python3-gi gir1.2-atspi-2.0     # the window read over AT-SPI
)

nerova_missing_packages() {
  local pkg status
  for pkg in "${NEROVA_PACKAGES[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)
    [ "$status" = "installed" ] || echo "$pkg"
  done
}

nerova_install_packages() {
  local missing
  missing=$(nerova_missing_packages)
  [ -z "$missing" ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
  echo "Installing: $(echo $missing | tr '\n' ' ')" >&2
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  # shellcheck disable=SC2086
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

# Configures (once) and builds a CMake preset: "default" into build/, "asan" into build-asan/.
nerova_build() {
  local preset=${1:-default} root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  (cd "$root" &&
    { [ -f "$(nerova_build_dir "$preset")/build.ninja" ] || cmake --preset "$preset" >/dev/null; } &&
    cmake --build --preset "$preset" --parallel "$(nproc)")
}

nerova_build_dir() {
  if [ "$1" = default ]; then echo build; else echo "build-$1"; fi
}
