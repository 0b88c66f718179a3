#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times sonarel-mix on long lists of short clips and on many entries sounding at once, with the
# peak resident memory of each run.
#
#   bench/run_scale_bench.sh [--runs N] [--only LIST] [--work DIR]
#
# Workloads (LIST is comma-separated; default w10k,w100k,o1000):
#   w10k    10,000 entries over one hour (an entry every 0.36 s), 44.1 kHz stereo output
#   w100k   100,000 entries over a day (an entry every 0.864 s), written at 8 kHz mono so that the
#           day fits in 1.4 GB
#   o1000   1,000 entries of 30 s that all start within the first second: all of them sound at once
# The clips are 60 short sounds (0.3 to 2.5 s) in six formats: WAV, FLAC, MP3, Ogg Vorbis, Opus and
# AAC in M4A, made once with ffmpeg and kept in the work folder. Lists name the clips directly, as a
# script that places the same few sounds many times does.
# SONAREL_MIX=/path/to/sonarel-mix times that program; BENCH_BUILD_DIR picks the build folder.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
work="$here/work/scale"
runs=1
only="w10k,w100k,o1000"
while [ $# -gt 0 ]; do
    case "$1" in
        --runs) runs="$2"; shift 2 ;;
        --only) only="$2"; shift 2 ;;
        --work) work="$2"; shift 2 ;;
        -h|--help) sed -n '2,17p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done
build="${BENCH_BUILD_DIR:-$root/build}"
mixer="${SONAREL_MIX:-$build/app/sonarel-mix}"
[ -x "$mixer" ] || cmake --build "$build" --target sonarel-mix -j2 >/dev/null
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (apt-get install time)" >&2; exit 1; }
mkdir -p "$work"
ulimit -n "$(ulimit -Hn)" 2>/dev/null || true

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

# Ten clips per format, each a decaying tone of its own pitch and length.
make_clips() {
    local dir="$work/clips" i f d ext codec
    [ -f "$dir/.ready" ] && return 0
    rm -rf "$dir"
    mkdir -p "$dir"
    echo "Generating the clips" >&2
    local formats=("wav:pcm_s16le" "flac:flac" "mp3:libmp3lame" "ogg:libvorbis" "opus:libopus" "m4a:aac")
    for ((i = 0; i < 60; i++)); do
        ext="${formats[$((i % 6))]%%:*}"
        codec="${formats[$((i % 6))]#*:}"
        f=$((220 + 37 * i))
        d=$(awk -v i="$i" 'BEGIN { printf "%.2f", 0.3 + (i % 10) * 0.24 }')
        ff -f lavfi -i "aevalsrc=exprs=0.3*sin(2*PI*$f*t)*exp(-2*t)|0.3*sin(2*PI*$f*1.01*t)*exp(-2*t):s=44100:d=$d" \
            -c:a "$codec" "$dir/clip$i.$ext"
    done
    touch "$dir/.ready"
}

# list FILE ENTRIES SPACING: entries every SPACING seconds, clip i % 60, varied volumes.
make_list() {
    local file="$1" n="$2" spacing="$3"
    [ -f "$file" ] && return 0
    awk -v n="$n" -v s="$spacing" -v dir="$work/clips" 'BEGIN {
        split("wav flac mp3 ogg opus m4a", ext, " ")
        print "path,start,volume,speed"
        for (i = 0; i < n; i++) {
            c = (i * 7) % 60
            printf "%s/clip%d.%s,%.3f,%.2f,1\n", dir, c, ext[c % 6 + 1], i * s, 0.3 + (i % 5) * 0.1
        }
    }' >"$file"
}

# Everything sounds at once: 1,000 entries of a 30 s sound, all starting within the first second.
make_overlap() {
    local dir="$work/o1000"
    [ -f "$dir/list.csv" ] && return 0
    mkdir -p "$dir"
    ff -f lavfi -i "aevalsrc=exprs=0.01*sin(2*PI*440*t)|0.01*sin(2*PI*445*t):s=44100:d=30" -c:a pcm_s16le "$dir/long.wav"
    awk -v f="$dir/long.wav" 'BEGIN { print "path,start,volume,speed"
        for (i = 0; i < 1000; i++) printf "%s,%.3f,0.05,1\n", f, i * 0.001 }' >"$dir/list.csv"
}

run() {  # name list extra-args...
    local name="$1" list="$2" best="" peak=0 cpu="" t0 t1 wall rss c
    shift 2
    for ((r = 1; r <= runs; r++)); do
        rm -f "$work/$name.wav"
        t0=$(date +%s%N)
        /usr/bin/time -v -o "$work/$name.time" "$mixer" --quiet --yes -o "$work/$name.wav" --csv "$list" "$@" \
            >"$work/$name.log" 2>&1 || { echo "$name failed:" >&2; tail -n 5 "$work/$name.log" >&2; return 0; }
        t1=$(date +%s%N)
        wall=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", (b - a) / 1e9 }')
        rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/$name.time")
        c=$(awk -F': ' '/User time|System time/ { c += $2 } END { printf "%.2f", c }' "$work/$name.time")
        [ -z "$best" ] || awk -v a="$wall" -v b="$best" 'BEGIN { exit !(a < b) }' && { best="$wall"; cpu="$c"; }
        [ "$rss" -gt "$peak" ] && peak="$rss"
    done
    printf '%-7s %9s s %9s s cpu %9.1f MiB   %s\n' "$name" "$best" "$cpu" "$(echo "$peak / 1024" | bc -l)" \
        "$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/$name.wav") s of output"
    rm -f "$work/$name.wav"
}

printf 'sonarel-mix %s; %s cores; load average %s; best of %s\n' "$mixer" "$(nproc)" \
    "$(cut -d' ' -f1-3 /proc/loadavg)" "$runs"
IFS=, read -r -a workloads <<<"$only"
for w in "${workloads[@]}"; do
    case "$w" in
        w10k) make_clips; make_list "$work/w10k.csv" 10000 0.36; run w10k "$work/w10k.csv" ;;
        w100k) make_clips; make_list "$work/w100k.csv" 100000 0.864; run w100k "$work/w100k.csv" --rate 8000 --channels 1 ;;
        o1000) make_overlap; run o1000 "$work/o1000/list.csv" ;;
        *) echo "unknown workload $w" >&2 ;;
    esac
done
