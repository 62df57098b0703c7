#!/usr/bin/env bash
# Installs what is missing, builds into build/ and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
nerova_install_packages
nerova_build
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure --timeout 600 -j "$(nproc)"
