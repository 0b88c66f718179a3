#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Playback timing on a private PulseAudio server with a null sink (no sound hardware needed):
# from Play to the first frames handed to the device for the w8 list (from its start and from
# points inside, where every source seeks), and a minute of the w1000 list checked for the render
# falling behind the device.
#
#   bench/run_play_bench.sh [--work DIR] [--listen SECONDS]
#
# The workloads are those of run_bench.sh (made by it when missing). Installs pulseaudio and
# pulseaudio-utils when missing. Uses BENCH_BUILD_DIR or build/. Reports figures; always exits 0.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
work="$here/work"
listen=60

while [ $# -gt 0 ]; do
    case "$1" in
        --work) work="$2"; shift 2 ;;
        --listen) listen="$2"; shift 2 ;;
        -h|--help) sed -n '2,11p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done

log() { printf '%s\n' "$*" >&2; }
die() { log "error: $*"; exit 0; }
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
if ! command -v pulseaudio >/dev/null || ! command -v pactl >/dev/null; then
    log "installing pulseaudio and pulseaudio-utils"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        pulseaudio pulseaudio-utils >/dev/null || die "could not install pulseaudio"
fi

build="${BENCH_BUILD_DIR:-$root/build}"
[ -f "$build/CMakeCache.txt" ] || die "no build in $build (run ./sonarel.sh test first, or set BENCH_BUILD_DIR)"
cmake --build "$build" --target sonarel-play-bench -j2 >/dev/null || die "building sonarel-play-bench failed"
if [ ! -e "$work/w8/.ready" ] || [ ! -e "$work/w1000/.ready" ]; then
    log "making the w8 and w1000 workloads with run_bench.sh"
    "$here/run_bench.sh" --work "$work" --only w8,w1000 --runs 1 --skip-ffmpeg-w1000 >/dev/null 2>&1
fi
[ -e "$work/w8/.ready" ] && [ -e "$work/w1000/.ready" ] || die "the workloads could not be made"

run=$(mktemp -d)
chmod 700 "$run"
export XDG_RUNTIME_DIR="$run"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
    -L "module-null-sink sink_name=bench rate=44100 format=s16le channels=2" -L module-native-protocol-unix \
    >"$run/server.log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -rf "$run"' EXIT
for _ in $(seq 40); do pactl info >/dev/null 2>&1 && break; sleep 0.25; done
pactl info >/dev/null 2>&1 || die "pulseaudio did not start"

bench="$build/bench/sonarel-play-bench"
"$bench" "$work/w8/list.csv" --starts 0,12.345,30,55
"$bench" "$work/w1000/list.csv" --starts 0,250 --listen "$listen" --at 0
