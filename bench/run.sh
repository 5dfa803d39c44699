#!/usr/bin/env bash
# The whole-run benchmark from one command: builds the benchmark machines
# (bench_machine), runs the tool on each of them several times next to the
# plain baselines (bench_run run), then prints the table of phases, ratios
# and scaling (bench_run report).
#
#   bash bench/run.sh [--small] [--scale S] [--runs N] [--build DIR] [--work DIR]
#
#   (default)   the sizes 1x, 2x and 4x of 300 foreign products, 11 Team
#               products of 2000 files, 20000 SharedDLLs values (2000 of the
#               vendor) and 10000 vendor keys
#   --small     the sizes 0.1x, 0.2x and 0.4x (a quick look)
#   --scale S   only the size S (no scaling table)
#   --runs N    runs per size, the median is reported (default 3)
#
# Needs a build with the bench targets (cmake --build BUILD --target
# bench_machine bench_run) and wixl. Machines are kept in WORK/machine-<S> and
# reused when the same size is asked for again.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="$here/build"
work=""
runs=3
scales="1 2 4"
while [ $# -gt 0 ]; do
    case "$1" in
        --small) scales="0.1 0.2 0.4" ;;
        --scale) scales="$2"; shift ;;
        --runs) runs="$2"; shift ;;
        --build) build="$2"; shift ;;
        --work) work="$2"; shift ;;
        *) echo "usage: bash bench/run.sh [--small] [--scale S] [--runs N] [--build DIR] [--work DIR]" >&2; exit 2 ;;
    esac
    shift
done
work="${work:-$build/bench-work}"
machine="$build/bench/bench_machine"
driver="$build/bench/bench_run"
for program in "$machine" "$driver"; do
    [ -x "$program" ] || { echo "missing $program: build the bench_machine and bench_run targets" >&2; exit 1; }
done

report=()
for s in $scales; do
    prefix="$work/machine-$s"
    if [ ! -f "$prefix/.bench-done" ]; then
        rm -rf "$prefix" "$work/packages-$s"
        start=$(date +%s)
        "$machine" "$prefix" "$work/packages-$s" --scale "$s"
        echo "  (built in $(( $(date +%s) - start )) s)"
        touch "$prefix/.bench-done"
    fi
    results="$work/results-$s"
    rm -rf "$results"
    mkdir -p "$results"
    for r in $(seq 1 "$runs"); do
        echo "size ${s}x: run $r of $runs"
        "$driver" run "$prefix" "$work/scratch" "$results/run$r.tsv" 2>>"$work/stderr.txt"
    done
    echo "size ${s}x: the tool's memory alone"
    "$driver" memory "$prefix" "$work/scratch" "$results/memory.tsv" 2>>"$work/stderr.txt"
    report+=("$s:$results")
done
"$driver" report "${report[@]}"
