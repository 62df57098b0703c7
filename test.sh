#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# Installs what is missing, builds and runs the whole test suite: ./test.sh [PRESET]
# (default: build/; asan: build-asan/ with the address and undefined-behaviour sanitizers).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
nerova_install_packages test
nerova_build "${1:-default}" -DBUILD_TESTING=ON
ctest --preset "${1:-default}" --timeout 600 -j "$(nproc)"
