#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# Installs what is missing, builds into build/ and starts the calculator with the given arguments.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
nerova_install_packages
nerova_build >&2
exec ./build/nerova "$@"
