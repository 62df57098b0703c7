#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# Installs what is missing, builds into build/ and starts the calculator with the given arguments.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
nerova_install_packages run
# A new build/ is configured without the tests and benchmarks, whose packages running
# does not need; test.sh turns them on.
if [ -f build/build.ninja ]; then nerova_build default >&2
else nerova_build default -DBUILD_TESTING=OFF -DNEROVA_BENCH=OFF >&2; fi
exec ./build/nerova "$@"
