#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times the timeline window's waveform sketches: how long until every entry's peak levels are
# known, with a cold cache and again with the cache the first run left, and the peak memory.
#
#   bench/run_peak_bench.sh [--work DIR] [--only LIST]
#
# Workloads: p1000 (1000 entries of 1 s, 44.1 kHz stereo WAV, a distinct path each) and p8long
# (8 entries of 10 minutes: MP3, FLAC, Ogg Vorbis, AAC, WAV). Uses BENCH_BUILD_DIR or build/.
# Reports figures; exits 0 whether the memory target passes or not. See bench/README.md.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
work="$here/work"
only="p1000,p8long"
target_mib=64

while [ $# -gt 0 ]; do
    case "$1" in
        --work) work="$2"; shift 2 ;;
        --only) only="$2"; shift 2 ;;
        -h|--help) sed -n '2,10p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done

log() { printf '%s\n' "$*" >&2; }
die() { log "error: $*"; exit 1; }
command -v ffmpeg >/dev/null || die "ffmpeg is missing (apt-get install ffmpeg)"
[ -x /usr/bin/time ] || die "/usr/bin/time is missing (apt-get install time)"

build="${BENCH_BUILD_DIR:-$root/build}"
[ -f "$build/CMakeCache.txt" ] || die "no build in $build (run ./sonarel.sh test first, or set BENCH_BUILD_DIR)"
cmake --build "$build" --target sonarel-arrangement-bench -j2 >/dev/null || die "building sonarel-arrangement-bench failed"
program="$build/bench/sonarel-arrangement-bench"
mkdir -p "$work" && work="$(cd "$work" && pwd)"

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

generate_p1000() {
    local dir="$1" i k
    mkdir -p "$dir/src"
    local freqs=(262 330 392 523 659)
    for k in 0 1 2 3 4; do
        ff -f lavfi -i "aevalsrc=exprs=0.4*sin(2*PI*${freqs[$k]}*t)*exp(-3*t)|0.4*sin(2*PI*${freqs[$k]}*1.5*t)*exp(-3*t):s=44100:d=1" \
            -c:a pcm_s16le "$dir/src/tone$k.wav" || return 1
    done
    echo "path,start,volume,speed" >"$dir/list.csv"
    for ((i = 0; i < 1000; i++)); do
        k=$((i % 5))
        cp -f "$dir/src/tone$k.wav" "$dir/$(printf 'e%04d.wav' "$i")" || return 1
        printf 'e%04d.wav,%d.%d,1,1\n' "$i" $((i / 2)) $(((i % 2) * 5)) >>"$dir/list.csv"
    done
}

generate_p8long() {
    local dir="$1" src="aevalsrc=exprs=0.3*sin(2*PI*440*t)*(0.6+0.4*sin(2*PI*0.1*t)):s=44100:d=600"
    mkdir -p "$dir"
    ff -f lavfi -i "$src" -ac 2 -c:a libmp3lame -b:a 192k "$dir/a.mp3" &&
    ff -f lavfi -i "$src" -ac 2 -ar 48000 -c:a flac "$dir/b.flac" &&
    ff -f lavfi -i "$src" -ac 2 -c:a libvorbis -q:a 4 "$dir/c.ogg" &&
    ff -f lavfi -i "$src" -ac 2 -c:a aac -b:a 128k "$dir/d.m4a" &&
    ff -f lavfi -i "$src" -ac 1 -ar 22050 -c:a pcm_s16le "$dir/e.wav" &&
    ff -f lavfi -i "$src" -ac 2 -c:a libmp3lame -q:a 4 "$dir/f.mp3" &&
    ff -f lavfi -i "$src" -ac 2 -c:a flac "$dir/g.flac" &&
    ff -f lavfi -i "$src" -ac 2 -ar 96000 -c:a pcm_s24le "$dir/h.wav" || return 1
    printf 'path,start,volume,speed\na.mp3,0,1,1\nb.flac,2.5,1,0.5\nc.ogg,5,1,1\nd.m4a,7.5,1,1.5\ne.wav,10,1,1\nf.mp3,12.5,1,1\ng.flac,15,1,1\nh.wav,17.5,1,2\n' >"$dir/list.csv"
}

generator_version=1
results=()
IFS=, read -r -a workloads <<<"$only"
for name in "${workloads[@]}"; do
    dir="$work/$name"
    if [ "$(cat "$dir/.ready" 2>/dev/null)" != "$generator_version" ]; then
        rm -rf "$dir"
        log "Generating $name"
        case "$name" in
            p1000) generate_p1000 "$dir" ;;
            p8long) generate_p8long "$dir" ;;
            *) log "unknown workload $name"; continue ;;
        esac || { log "generating $name failed"; continue; }
        echo "$generator_version" >"$dir/.ready"
    fi
    cache="$work/$name.cache"
    config="$work/$name.config"
    rm -rf "$cache" "$config"
    for run in cold warm; do
        log "== $name, $run cache"
        XDG_CACHE_HOME="$cache" XDG_CONFIG_HOME="$config" /usr/bin/time -v -o "$work/time.$name.$run.txt" \
            "$program" --csv "$dir/list.csv" >"$work/log.$name.$run.txt" 2>&1
        rc=$?
        grep -v 'plugin does not support' "$work/log.$name.$run.txt" | sed 's/^/   /' >&2
        rss=$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$work/time.$name.$run.txt")
        first=$(awk -F'all peaks in ' '/first opening/ { split($2, a, " "); print a[1] }' "$work/log.$name.$run.txt")
        before=$(awk '/window not yet opened/ { print $(NF - 1) }' "$work/log.$name.$run.txt")
        decoded=$(awk -F', ' '/first opening/ { for (i = 1; i <= NF; i++) if ($i ~ /files decoded/) { split($i, a, " "); print a[1] } }' \
            "$work/log.$name.$run.txt")
        verdict=$([ "$rc" = 0 ] && awk -v m="${rss:-0}" -v t="$target_mib" 'BEGIN { print (m + 0 <= t ? "PASS" : "MISS") }' || echo "FAIL")
        results+=("$(printf '%-8s %-5s %12s %10s %12s %6s %12s' "$name" "$run" "${first:--}" "${decoded:--}" "${rss:--}" \
            "$verdict" "${before:--}")")
    done
done

echo
echo "Timeline peak levels  ($(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg))"
printf '%-8s %-5s %12s %10s %12s %6s %12s\n' workload cache all_peaks_s decoded peak_MiB '<=64' before_MiB
for line in "${results[@]}"; do echo "$line"; done
exit 0
