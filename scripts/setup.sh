#!/usr/bin/env bash
# Installs the Debian packages that Nerova needs (only those missing), then configures
# and builds into build/. Sourced by run.sh and test.sh.
set -euo pipefail

NEROVA_PACKAGES=(
  cmake ninja-build g++ pkgconf
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev libsimpleini-dev
  libgmp-dev
  fonts-ipafont-gothic fonts-ipafont-mincho
  dbus-daemon libglib2.0-bin
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

nerova_build() {
  local root build
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  build="$root/build"
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  fi
  cmake --build "$build" --parallel "$(nproc)"
}
