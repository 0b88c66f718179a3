#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times sonarel-mix's output formats on the w8 workload of run_bench.sh: WAV, FLAC, Opus, MP3 and a
# normalized WAV, each against the plain WAV, and the loudness meter alone on the mix.
#
#   bench/run_output_bench.sh [--runs N]     (best of N runs, default 3)
#
# SONAREL_MIX=/path/to/sonarel-mix and BENCH_BUILD_DIR=DIR as for run_bench.sh; the w8 inputs are
# made by run_bench.sh when bench/work/w8 does not hold them yet.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
runs=3
[ "${1:-}" = "--runs" ] && runs="$2"
build="${BENCH_BUILD_DIR:-$root/build}"
mixer="${SONAREL_MIX:-$build/app/sonarel-mix}"
w8="$here/work/w8"
out="$here/work/outputs"

if [ ! -x "$mixer" ]; then
    cmake --build "$build" --target sonarel-mix -j2 >/dev/null
fi
if [ ! -f "$w8/list.csv" ]; then
    SONAREL_MIX="$mixer" "$here/run_bench.sh" --runs 1 --only w8 >/dev/null
fi
mkdir -p "$out"

# best LABEL ARGS...: the best wall time of `runs` mixes of w8, in seconds.
best() {
    local best="" start end seconds
    for _ in $(seq "$runs"); do
        start=$(date +%s.%N)
        "$mixer" --quiet --yes --csv "$w8/list.csv" "$@" >"$out/last.txt" 2>&1 || { cat "$out/last.txt" >&2; return 1; }
        end=$(date +%s.%N)
        seconds=$(echo "$end - $start" | bc)
        if [ -z "$best" ] || [ "$(echo "$seconds < $best" | bc)" = 1 ]; then best=$seconds; fi
    done
    printf '%.3f' "$best"
}

printf 'Output formats on w8 (125 s, 2 cores, best of %s; load average %s)\n' "$runs" "$(cut -d' ' -f1-3 /proc/loadavg)"
wav=$(best -o "$out/w8.wav")
printf '%-28s %7s s\n' "wav (16-bit)" "$wav"
for case in "flac:-o $out/w8.flac" "opus:-o $out/w8.opus" "mp3:-o $out/w8.mp3" \
            "wav --normalize -16:-o $out/w8n.wav --normalize -16"; do
    label="${case%%:*}"
    # shellcheck disable=SC2086 # the arguments are split on purpose
    seconds=$(best ${case#*:})
    printf '%-28s %7s s   %.2f x wav\n' "$label" "$seconds" "$(echo "$seconds / $wav" | bc -l)"
done
printf 'mixes loudness: %s\n' "$(grep Loudness "$out/last.txt" || true)"

if [ ! -x "$build/bench/sonarel-loudness-bench" ]; then
    cmake --build "$build" --target sonarel-loudness-bench -j2 >/dev/null
fi
printf 'loudness meter alone: %s\n' "$("$build/bench/sonarel-loudness-bench" "$out/w8.wav")"
