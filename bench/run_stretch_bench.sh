#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Compares Rubber Band's R2 ("faster") and R3 ("finer") engines as the time stretcher runs them:
# speed on one core and listening-free quality measures, on speech, music and a sustained chord.
#
#   bench/run_stretch_bench.sh [--work DIR] [--runs N] [--seconds S]
#
# The speech is made with espeak-ng (installed with apt-get when missing); the music and the chord
# are made by the program. Uses BENCH_BUILD_DIR or build/. Reports figures; always exits 0.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
work="$here/work"
runs=3
seconds=20

while [ $# -gt 0 ]; do
    case "$1" in
        --work) work="$2"; shift 2 ;;
        --runs) runs="$2"; shift 2 ;;
        --seconds) seconds="$2"; shift 2 ;;
        -h|--help) sed -n '2,9p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done

log() { printf '%s\n' "$*" >&2; }
die() { log "error: $*"; exit 0; }
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
command -v ffmpeg >/dev/null || die "ffmpeg is missing (apt-get install ffmpeg)"
if ! command -v espeak-ng >/dev/null; then
    log "installing espeak-ng for the speech"
    as_root apt-get install -y -q espeak-ng >/dev/null || die "could not install espeak-ng"
fi

build="${BENCH_BUILD_DIR:-$root/build}"
[ -f "$build/CMakeCache.txt" ] || die "no build in $build (run ./sonarel.sh test first, or set BENCH_BUILD_DIR)"
cmake --build "$build" --target sonarel-stretch-bench -j2 >/dev/null || die "building sonarel-stretch-bench failed"
mkdir -p "$work/stretch" && dir="$(cd "$work/stretch" && pwd)"

if [ ! -s "$dir/speech.f32" ]; then
    text="The quick brown fox jumps over the lazy dog. She sells sea shells by the sea shore, and the
shells she sells are surely sea shells. Peter Piper picked a peck of pickled peppers. How much wood
would a woodchuck chuck if a woodchuck could chuck wood? A journey of a thousand miles begins with a
single step. Every entry in the list plays at its own speed, and keeps its pitch when asked to."
    espeak-ng -v en-us -s 150 -w "$dir/speech.wav" "$text" &&
        ffmpeg -nostdin -hide_banner -loglevel error -y -i "$dir/speech.wav" -ar 44100 -ac 2 -f f32le "$dir/speech.f32" ||
        die "could not make the speech"
fi

log "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
# The stretcher runs on one thread; pin it so the figure is one core's.
taskset -c 0 "$build/bench/sonarel-stretch-bench" --speech "$dir/speech.f32" --runs "$runs" --seconds "$seconds" ||
    log "sonarel-stretch-bench failed"
exit 0
