#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# fuzz/run.sh [SECONDS] [HARNESS...]: builds the harnesses (preset "fuzz", clang with
# the address and undefined-behaviour sanitizers) and runs each for SECONDS (default 30),
# one after the other, on a working corpus in build-fuzz/corpus/ seeded from fuzz/corpus/.
# Exits 1 when a harness finds a fault; its input is kept in build-fuzz/findings/.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=1
if command -v ccache >/dev/null; then export CMAKE_CXX_COMPILER_LAUNCHER=ccache; fi
cmake --preset fuzz >/dev/null || exit 2
cmake --build --preset fuzz -j"${NEROVA_FUZZ_JOBS:-2}" || exit 2

build=build-fuzz
mapfile -t harnesses < <(if [ $# -gt 0 ]; then printf '%s\n' "$@"; else cat "$build/fuzzers.txt"; fi)
mkdir -p "$build/findings"
status=0
printf '%-14s %8s %12s %10s  %s\n' harness seconds executions exec/s result
for harness in "${harnesses[@]}"; do
    name=${harness#fuzz_}
    corpus=$build/corpus/$name
    mkdir -p "$corpus"
    log=$build/findings/$harness.log
    # -timeout: far above the harnesses' own time budget; a hang is a finding.
    start=$SECONDS
    "$build/fuzz/$harness" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 \
        -max_len=4096 -print_final_stats=1 -dict=fuzz/nerova.dict \
        -artifact_prefix="$build/findings/$harness-" "$corpus" "fuzz/corpus/$name" >"$log" 2>&1
    rc=$?
    took=$((SECONDS - start))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    if [ $rc -eq 0 ]; then result=ok; else result="FAULT (see $log)"; status=1; fi
    printf '%-14s %8s %12s %10s  %s\n' "$harness" "$took" "${runs:-?}" "${rate:-?}" "$result"
done
exit $status
