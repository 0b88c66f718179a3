#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Benchmarks sonarel-mix against the ffmpeg command on generated workloads.
#
#   bench/run_bench.sh [--work DIR] [--runs N] [--only LIST] [--skip-ffmpeg-w1000] [--regenerate]
#
# For every workload (w8, w8x10, w1000) it times three programs on the same inputs (best wall time
# of N runs, the peak resident memory of all runs) and prints a table with the ratios and the
# targets; the workload w8kp, w8 with every entry keeping its pitch, gives keep-pitch's real-time
# factor (seconds of output mixed per second of wall time) instead:
#   sonarel  sonarel-mix --quiet --yes -o OUT.wav --csv list.csv
#   ffmpeg   one ffmpeg process doing the same mix with a filter graph
#            (atrim, asetrate+aresample, volume, adelay per input, then amix with normalize=0)
#   decode   one ffmpeg process that only decodes every input to the null muxer
# Environment: SONAREL_MIX=/path/to/sonarel-mix skips the build; BENCH_BUILD_DIR picks the
# build folder. See bench/README.md. The script reports; it exits 0 whether targets pass or not.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
work="$here/work"
runs=3
only="w8,w8x10,w1000,w8kp"
skip_ffmpeg_w1000=0
regenerate=0

usage() {
    sed -n '2,13p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
}

while [ $# -gt 0 ]; do
    case "$1" in
        --work) work="$2"; shift 2 ;;
        --runs) runs="$2"; shift 2 ;;
        --only) only="$2"; shift 2 ;;
        --skip-ffmpeg-w1000) skip_ffmpeg_w1000=1; shift ;;
        --regenerate) regenerate=1; shift ;;
        -h|--help) usage; exit 0 ;;
        *) echo "unknown argument: $1" >&2; usage >&2; exit 2 ;;
    esac
done
case "$runs" in ''|*[!0-9]*|0) echo "--runs needs a positive number" >&2; exit 2 ;; esac

# Targets (ratios of wall times; memory in MiB).
target_w8_vs_ffmpeg=0.6
target_w8_vs_decode=0.6
target_w1000_vs_decode=0.05
target_mib=64
# The 1000-input ffmpeg mix is slow (every input is padded with silence up to its start and amix
# adds all 1000 of them); it runs once, and is given up after this many seconds.
ffmpeg_w1000_timeout="${BENCH_FFMPEG_W1000_TIMEOUT:-60}"

log() { printf '%s\n' "$*" >&2; }
die() { log "error: $*"; exit 1; }

# ---------------------------------------------------------------------------------------------
# Tools

sudo_cmd=()
install_packages() {
    local missing=() package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "Installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || die "run as root or install sudo (missing: ${missing[*]})"
        sudo_cmd=(sudo)
    fi
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq || die "apt-get update failed"
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" || die "apt-get install failed"
}

install_packages ffmpeg time
[ -x /usr/bin/time ] || die "/usr/bin/time is missing"
if ! command -v ffmpeg >/dev/null || ! command -v ffprobe >/dev/null; then die "ffmpeg/ffprobe are missing"; fi

release_like() {  # build dir
    grep -Eq '^CMAKE_BUILD_TYPE:[A-Z]+=(Release|RelWithDebInfo|MinSizeRel)$' "$1/CMakeCache.txt" 2>/dev/null
}

find_or_build_mixer() {
    if [ -n "${SONAREL_MIX:-}" ]; then
        [ -x "$SONAREL_MIX" ] || die "SONAREL_MIX=$SONAREL_MIX is not executable"
        mixer="$SONAREL_MIX"
        return
    fi
    local dir="${BENCH_BUILD_DIR:-}"
    if [ -z "$dir" ]; then
        if [ -f "$root/build-bench/CMakeCache.txt" ]; then
            dir="$root/build-bench"
        elif release_like "$root/build"; then
            dir="$root/build"
        else
            dir="$root/build-bench"
        fi
    fi
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        install_packages build-essential cmake ninja-build pkg-config qt6-base-dev qt6-multimedia-dev \
            libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
        log "Configuring $dir"
        cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DSONAREL_BUILD_TESTS=OFF >/dev/null || die "cmake configure failed"
    fi
    release_like "$dir" || log "warning: $dir is not a Release-like build; timings will suffer"
    log "Building sonarel-mix in $dir"
    if ! cmake --build "$dir" --target sonarel-mix -j2 >"$work/build.log" 2>&1; then
        if [ -x "$dir/app/sonarel-mix" ]; then
            log "warning: the build failed (see $work/build.log); using the existing $dir/app/sonarel-mix"
        else
            tail -n 30 "$work/build.log" >&2
            die "building sonarel-mix failed"
        fi
    fi
    mixer="$dir/app/sonarel-mix"
    [ -x "$mixer" ] || die "no sonarel-mix in $dir/app"
}

mkdir -p "$work" || die "cannot create $work"
work="$(cd "$work" && pwd)"
find_or_build_mixer
ulimit -n "$(ulimit -Hn)" 2>/dev/null || true   # 1000 inputs open at once

# ---------------------------------------------------------------------------------------------
# Workloads. Each one is a folder with list.csv (path,start,volume,speed; paths relative) and
# rates.txt (the sample rate of every entry, in list order, for asetrate).

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

# Raw 60-second sources, shared by w8 and w8x10 (which loops them ten times).
make_sources() {
    local dir="$work/sources"
    if [ "$(cat "$dir/.ready" 2>/dev/null)" = "$generator_version" ]; then
        [ "$regenerate" = 0 ] || [ -n "${sources_fresh:-}" ] && return 0
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    log "Generating the 60 s sources"
    bg ff -f lavfi -i "aevalsrc=exprs=0.3*sin(2*PI*440*t)|0.3*sin(2*PI*554.37*t):s=44100:d=60" \
        -c:a pcm_s16le "$dir/s1.wav"
    bg ff -f lavfi -i "aevalsrc=exprs=0.3*sin(2*PI*(200+40*mod(t\,10))*t)|0.3*sin(2*PI*(300+30*mod(t\,10))*t):s=44100:d=60" \
        -c:a pcm_s16le "$dir/s2.wav"
    bg ff -f lavfi -i "anoisesrc=color=pink:sample_rate=48000:amplitude=0.3:duration=60" -ac 2 \
        -c:a pcm_s24le "$dir/s3.wav"
    bg ff -f lavfi -i "aevalsrc=exprs=0.3*sin(2*PI*330*t)*(0.6+0.4*sin(2*PI*3*t))|0.3*sin(2*PI*660*t):s=44100:d=60" \
        -c:a pcm_s16le "$dir/s4.wav"
    bg ff -f lavfi -i "sine=frequency=880:sample_rate=22050:duration=60" -af volume=0.5 \
        -c:a pcm_s16le "$dir/s5.wav"
    bg ff -f lavfi -i "anoisesrc=color=brown:sample_rate=44100:amplitude=0.3:duration=60" -ac 2 \
        -c:a pcm_s16le "$dir/s6.wav"
    bg ff -f lavfi -i "sine=frequency=523.25:sample_rate=44100:duration=60" -ac 2 \
        -c:a pcm_s16le "$dir/s7.wav"
    bg ff -f lavfi -i "aevalsrc=exprs=0.25*sin(2*PI*(100+500*mod(t\,4))*t)|0.25*sin(2*PI*(150+400*mod(t\,5))*t):s=96000:d=60" \
        -c:a pcm_s24le "$dir/s8.wav"
    wait_jobs || return 1
    echo "$generator_version" >"$dir/.ready"
    sources_fresh=1
}

# Runs a command in the background, at most two at a time; wait_jobs waits for all of them and
# fails when any of them failed.
bg_marker() { echo "$work/.bg_failed"; }
bg() {
    while [ "$(jobs -rp | wc -l)" -ge 2 ]; do wait -n 2>/dev/null || true; done
    ( "$@" || touch "$(bg_marker)" ) &
}
wait_jobs() {
    wait
    if [ -e "$(bg_marker)" ]; then
        rm -f "$(bg_marker)"
        return 1
    fi
}

generate_w8() {  # folder, seconds per entry (a multiple of 60)
    local dir="$1" d="$2" src="$work/sources" loops=$(($2 / 60 - 1))
    make_sources || return 1
    mkdir -p "$dir"
    log "Generating $(basename "$dir") (8 entries of $d s)"
    local in=(-stream_loop "$loops" -i)
    bg ff "${in[@]}" "$src/s1.wav" -c:a libmp3lame -b:a 192k "$dir/e1_cbr.mp3"
    bg ff "${in[@]}" "$src/s2.wav" -c:a libmp3lame -q:a 4 "$dir/e2_vbr.mp3"
    bg ff "${in[@]}" "$src/s3.wav" -c:a flac "$dir/e3_48k.flac"
    bg ff "${in[@]}" "$src/s4.wav" -c:a libvorbis -q:a 4 "$dir/e4.ogg"
    bg ff "${in[@]}" "$src/s5.wav" -c:a pcm_s16le "$dir/e5_22k_mono.wav"
    bg ff "${in[@]}" "$src/s6.wav" -c:a aac -b:a 160k "$dir/e6.m4a"
    bg ff -f lavfi -i "testsrc2=size=160x120:rate=15:duration=$d" "${in[@]}" "$src/s7.wav" \
        -map 0:v -map 1:a -c:v mpeg4 -q:v 12 -c:a aac -b:a 128k -shortest "$dir/e7_video.mp4"
    bg ff "${in[@]}" "$src/s8.wav" -c:a pcm_s24le "$dir/e8_96k_24bit.wav"
    wait_jobs || return 1
    # start, volume, speed: all overlap within the first 20 s; three entries change speed.
    cat >"$dir/list.csv" <<EOF
path,start,volume,speed
e1_cbr.mp3,0,1.0,1
e2_vbr.mp3,2.5,0.75,1
e3_48k.flac,5,0.5,0.5
e4.ogg,7.5,1.25,1
e5_22k_mono.wav,10,2.0,1
e6.m4a,12.5,0.25,1.5
e7_video.mp4,15,1.5,1
e8_96k_24bit.wav,17.5,1.75,2.0
EOF
    printf '%s\n' 44100 44100 48000 44100 22050 44100 44100 96000 >"$dir/rates.txt"
}

generate_w1000() {
    local dir="$1" i k
    mkdir -p "$dir/src"
    log "Generating w1000 (1000 entries of 1 s)"
    local freqs=(262 330 392 523 659)
    for k in 0 1 2 3 4; do
        ff -f lavfi -i "aevalsrc=exprs=0.4*sin(2*PI*${freqs[$k]}*t)*exp(-3*t)|0.4*sin(2*PI*${freqs[$k]}*1.5*t)*exp(-3*t):s=44100:d=1" \
            -c:a pcm_s16le "$dir/src/tone$k.wav" || return 1
    done
    {
        echo "path,start,volume,speed"
        for ((i = 0; i < 1000; i++)); do
            k=$((i % 5))
            local name
            name=$(printf 'e%04d.wav' "$i")
            ln -f "$dir/src/tone$k.wav" "$dir/$name" 2>/dev/null || cp -f "$dir/src/tone$k.wav" "$dir/$name" || return 1
            # entry i at i*0.5 s, so two or three sound together at any moment
            printf '%s,%d.%d,%s,1\n' "$name" $((i / 2)) $(((i % 2) * 5)) "0.$((5 + i % 5))"
        done
    } >"$dir/list.csv"
    for ((i = 0; i < 1000; i++)); do echo 44100; done >"$dir/rates.txt"
}

# Bump when the generators change so old folders are rebuilt.
generator_version=1
prepare() {  # workload name
    local name="$1" dir="$work/$1"
    if [ "$regenerate" = 0 ] && [ "$(cat "$dir/.ready" 2>/dev/null)" = "$generator_version" ]; then
        return 0
    fi
    rm -rf "$dir"
    case "$name" in
        w8) generate_w8 "$dir" 60 ;;
        w8x10) generate_w8 "$dir" 600 ;;
        w1000) generate_w1000 "$dir" ;;
    esac || { log "generating $name failed"; return 1; }
    echo "$generator_version" >"$dir/.ready"
}

# ---------------------------------------------------------------------------------------------
# Per-workload helpers

read_list() {  # dir -> arrays paths starts volumes speeds rates durations
    local dir="$1" p s v sp
    paths=() starts=() volumes=() speeds=() rates=() durations=()
    while IFS=, read -r p s v sp; do
        [ "$p" = "path" ] && continue
        paths+=("$dir/$p") starts+=("$s") volumes+=("$v") speeds+=("${sp%$'\r'}")
    done <"$dir/list.csv"
    mapfile -t rates <"$dir/rates.txt"
    # Durations of the distinct files (w1000 repeats a handful of them).
    local -A seen=()
    local i d
    for i in "${!paths[@]}"; do
        p="${paths[$i]}"
        local key
        key=$(stat -c '%d:%i' "$p")
        if [ -z "${seen[$key]:-}" ]; then
            seen[$key]=$(media_duration "$p")
        fi
        durations+=("${seen[$key]}")
    done
}

media_duration() {  # file -> seconds of its audio stream (container duration as fallback)
    local d
    d=$(ffprobe -v error -select_streams a:0 -show_entries stream=duration -of csv=p=0 "$1" 2>/dev/null | head -n1)
    case "$d" in ''|N/A) d=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$1" 2>/dev/null) ;; esac
    echo "${d:-0}"
}

entry_table() {  # one line per entry: index start volume speed rate duration
    local i
    for i in "${!paths[@]}"; do
        printf '%d %s %s %s %s %s\n' "$i" "${starts[$i]}" "${volumes[$i]}" "${speeds[$i]}" "${rates[$i]}" "${durations[$i]}"
    done
}

write_ffmpeg_graph() {  # file
    entry_table | awk '
        { printf "[%d:a]atrim=end=%s,asetrate=%d,aresample=44100,aformat=channel_layouts=stereo,volume=%s,adelay=delays=%dms:all=1[a%d];\n",
                 $1, $6, int($5 * $4 + 0.5), $3, int($2 * 1000 + 0.5), $1
          labels = labels "[a" $1 "]"; n++ }
        END { printf "%samix=inputs=%d:duration=longest:normalize=0[out]\n", labels, n }' >"$1"
}

expected_length() {  # the end of the last entry on the output time line, in seconds
    entry_table | awk '{ e = $2 + $6 / $4; if (e > m) m = e } END { printf "%.3f", m }'
}

# measure LABEL TIMEOUT CMD... : runs CMD under /usr/bin/time -v; sets m_wall (s), m_rss (KiB), m_rc.
measure() {
    local label="$1" limit="$2"
    shift 2
    local tf="$work/time.$label.txt" lf="$work/log.$label.txt" t0 t1 runner=()
    [ "$limit" != 0 ] && runner=(timeout --kill-after=10 "$limit")
    t0=$(date +%s%N)
    "${runner[@]}" /usr/bin/time -v -o "$tf" "$@" >"$lf" 2>&1
    m_rc=$?
    t1=$(date +%s%N)
    m_wall=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
    m_rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$tf" 2>/dev/null)
    m_rss="${m_rss:-0}"
    m_cpu=$(awk -F': ' '/User time|System time/ { c += $2 } END { printf "%.2f", c }' "$tf" 2>/dev/null)
    if [ "$m_rc" -ne 0 ]; then
        m_log="$lf"
    fi
}

min_of() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || a == "-") print b; else print (b + 0 < a + 0 ? b : a) }'; }
max_of() { awk -v a="$1" -v b="$2" 'BEGIN { print (b + 0 > a + 0 ? b : a) }'; }
mib() { awk -v k="$1" 'BEGIN { if (k == "-" || k == "") print "-"; else printf "%.1f", k / 1024 }'; }
ratio() {  # a / b; b may be ">LIMIT" (a run given up), which gives "<RATIO"
    awk -v a="$1" -v b="$2" 'BEGIN {
        p = ""; if (substr(b, 1, 1) == ">") { p = "<"; b = substr(b, 2) }
        if (a == "-" || b == "-" || b + 0 == 0) print "-"; else printf "%s%.2f", p, a / b }'
}
verdict() {  # value op limit
    awk -v v="$1" -v l="$3" -v op="$2" 'BEGIN {
        if (v == "-" || v == "") { print "n/a"; exit }
        ok = (op == "<=") ? (v + 0 <= l + 0) : 0
        print (ok ? "PASS" : "MISS") }'
}
file_level() {  # mean volume in dB, a rough check that both mixes carry the same signal
    local v
    v=$(ffmpeg -nostdin -hide_banner -i "$1" -af volumedetect -f null - 2>&1 | awk '/mean_volume:/ { print $(NF - 1) }')
    echo "${v:--}"
}
file_length() {
    local d
    d=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$1" 2>/dev/null)
    [ -n "$d" ] && awk -v d="$d" 'BEGIN { printf "%.3f", d }' || echo "-"
}

# Results, by workload.
declare -A r_son r_ff r_dec r_son_rss r_ff_rss r_dec_rss r_son_len r_ff_len r_exp_len r_note r_son_db r_ff_db
add_note() { r_note[$1]="${r_note[$1]:+${r_note[$1]}; }$2"; }

run_workload() {
    local name="$1" dir="$work/$1"
    prepare "$name" || { add_note "$name" "generation failed"; return; }
    read_list "$dir"
    local n=${#paths[@]}
    log ""
    log "== $name: $n entries, output about $(expected_length) s"
    r_exp_len[$name]=$(expected_length)

    # Does sonarel-mix measure every distinct input like ffprobe does?
    local -A seen=()
    local i p key distinct=()
    for i in "${!paths[@]}"; do
        key=$(stat -c '%d:%i' "${paths[$i]}")
        [ -n "${seen[$key]:-}" ] && continue
        seen[$key]=1
        distinct+=("$i")
    done
    for i in "${distinct[@]}"; do
        p="${paths[$i]}"
        local probed probe_rc
        probed=$("$mixer" --probe "$p" 2>&1)
        probe_rc=$?
        log "   probe $(basename "$p"): sonarel ${probed%%$'\t'*} s, ffprobe ${durations[$i]} s$([ $probe_rc -ne 0 ] && echo "  <-- sonarel-mix --probe failed (exit $probe_rc): $probed")"
    done

    local graph="$dir/graph.txt" son_out="$work/$name.sonarel.wav" ff_out="$work/$name.ffmpeg.wav"
    write_ffmpeg_graph "$graph"
    local son_cmd=("$mixer" --quiet --yes -o "$son_out" --csv "$dir/list.csv")
    local ff_cmd=(ffmpeg -nostdin -hide_banner -loglevel error -y)
    local dec_cmd=(ffmpeg -nostdin -hide_banner -loglevel error)
    for p in "${paths[@]}"; do
        ff_cmd+=(-i "$p")
        dec_cmd+=(-i "$p")
    done
    ff_cmd+=(-filter_complex_script "$graph" -map "[out]" -c:a pcm_s16le -ar 44100 -ac 2 "$ff_out")
    for ((i = 0; i < n; i++)); do dec_cmd+=(-map "$i:a" -f null -); done

    local ff_runs="$runs" ff_limit=0
    if [ "$name" = w1000 ]; then
        ff_runs=1
        ff_limit="$ffmpeg_w1000_timeout"
        [ "$skip_ffmpeg_w1000" = 1 ] && ff_runs=0
    fi
    local son="-" ff="-" dec="-" son_rss="-" ff_rss="-" dec_rss="-" son_failed=0 ff_failed=0 dec_failed=0 run
    for ((run = 1; run <= runs; run++)); do
        if [ "$son_failed" = 0 ]; then
            rm -f "$son_out"
            measure "$name.sonarel" 0 "${son_cmd[@]}"
            if [ "$m_rc" -eq 0 ]; then
                son=$(min_of "$son" "$m_wall"); son_rss=$(max_of "${son_rss/-/0}" "$m_rss")
                log "   run $run sonarel  ${m_wall} s  cpu ${m_cpu} s  $(mib "$m_rss") MiB"
            else
                son_failed=1
                log "   run $run sonarel  FAILED (exit $m_rc) after ${m_wall} s:"
                tail -n 20 "$m_log" | sed 's/^/      | /' >&2
                add_note "$name" "sonarel-mix exit $m_rc: $(grep -v '^[[:space:]]' "$m_log" | grep -v 'Command exited' | tail -n 3 | tr '\n' ' ')"
            fi
        fi
        if [ "$run" -le "$ff_runs" ] && [ "$ff_failed" = 0 ]; then
            rm -f "$ff_out"
            measure "$name.ffmpeg" "$ff_limit" "${ff_cmd[@]}"
            if [ "$m_rc" -eq 0 ]; then
                ff=$(min_of "$ff" "$m_wall"); ff_rss=$(max_of "${ff_rss/-/0}" "$m_rss")
                log "   run $run ffmpeg   ${m_wall} s  cpu ${m_cpu} s  $(mib "$m_rss") MiB"
            else
                ff_failed=1
                if [ "$ff_limit" != 0 ] && [ "$m_rc" -eq 124 ]; then
                    local mixed
                    mixed=$(file_length "$ff_out")
                    log "   run $run ffmpeg   gave up after ${m_wall} s (limit $ff_limit s), ${mixed} s of ${r_exp_len[$name]} s mixed by then"
                    ff=">$ff_limit"
                    add_note "$name" "ffmpeg mix stopped after $ff_limit s with ${mixed} s of ${r_exp_len[$name]} s written (raise BENCH_FFMPEG_W1000_TIMEOUT to finish it)"
                else
                    log "   run $run ffmpeg   FAILED (exit $m_rc):"; tail -n 10 "$m_log" | sed 's/^/      | /' >&2
                fi
            fi
        fi
        if [ "$dec_failed" = 0 ]; then
            measure "$name.decode" 0 "${dec_cmd[@]}"
            if [ "$m_rc" -eq 0 ]; then
                dec=$(min_of "$dec" "$m_wall"); dec_rss=$(max_of "${dec_rss/-/0}" "$m_rss")
                log "   run $run decode   ${m_wall} s  cpu ${m_cpu} s  $(mib "$m_rss") MiB"
            else
                dec_failed=1
                log "   run $run decode   FAILED (exit $m_rc):"; tail -n 10 "$m_log" | sed 's/^/      | /' >&2
            fi
        fi
    done

    if [ "$son_failed" = 1 ]; then
        # Which input does it trip over? Mix each distinct file alone, with its own speed.
        for i in "${distinct[@]}"; do
            if "$mixer" --quiet --yes -o "$work/$name.single.wav" "${paths[$i]}@0:1:${speeds[$i]}" \
                    >"$work/log.$name.single.txt" 2>&1; then
                log "   alone: $(basename "${paths[$i]}") mixes"
            else
                log "   alone: $(basename "${paths[$i]}") FAILS: $(tail -n 3 "$work/log.$name.single.txt" | tr '\n' ' ')"
                add_note "$name" "fails alone: $(basename "${paths[$i]}")"
            fi
        done
        rm -f "$work/$name.single.wav"
    fi
    r_son[$name]="$son"; r_ff[$name]="$ff"; r_dec[$name]="$dec"
    r_son_rss[$name]="$son_rss"; r_ff_rss[$name]="$ff_rss"; r_dec_rss[$name]="$dec_rss"
    r_son_len[$name]="-"; r_ff_len[$name]="-"
    r_son_db[$name]="-"; r_ff_db[$name]="-"
    if [ "$son_failed" = 0 ] && [ -f "$son_out" ]; then
        r_son_len[$name]=$(file_length "$son_out"); r_son_db[$name]=$(file_level "$son_out")
    fi
    if [ "$ff_failed" = 0 ] && [ -f "$ff_out" ] && [ "$ff_runs" -gt 0 ]; then
        r_ff_len[$name]=$(file_length "$ff_out"); r_ff_db[$name]=$(file_level "$ff_out")
    fi
}

# w8 with every entry keeping its pitch: the entries whose speed is not 1 are time-stretched
# (their tempo changes, not their pitch), those at speed 1 play as they are.
kp_wall="-"; kp_cpu="-"; kp_len="-"
run_keep_pitch() {
    prepare w8 || { log "generating w8 failed"; return; }
    local dir="$work/w8" list="$work/w8/keep_pitch.csv" out="$work/w8kp.sonarel.wav" run
    awk -F, 'NR == 1 { print $0 ",in_seconds,out_seconds,fade_in_seconds,fade_out_seconds,keep_pitch"; next }
             { print $0 ",0,,0,0,1" }' "$dir/list.csv" >"$list"
    read_list "$dir"
    kp_len=$(expected_length)
    log ""
    log "== w8kp: w8 with every entry keeping its pitch, output about $kp_len s"
    for ((run = 1; run <= runs; run++)); do
        rm -f "$out"
        measure w8kp.sonarel 0 "$mixer" --quiet --yes -o "$out" --csv "$list"
        if [ "$m_rc" -ne 0 ]; then
            log "   run $run sonarel  FAILED (exit $m_rc):"; tail -n 10 "$m_log" | sed 's/^/      | /' >&2
            return
        fi
        log "   run $run sonarel  ${m_wall} s  cpu ${m_cpu} s  $(mib "$m_rss") MiB"
        if [ "$kp_wall" = "-" ] || awk -v a="$m_wall" -v b="$kp_wall" 'BEGIN { exit !(a + 0 < b + 0) }'; then
            kp_wall="$m_wall"; kp_cpu="$m_cpu"
        fi
    done
}

# ---------------------------------------------------------------------------------------------

log "sonarel-mix: $mixer"
log "ffmpeg:      $(ffmpeg -hide_banner -version | head -n1)"
log "work folder: $work   runs: $runs   load average: $(cut -d' ' -f1-3 /proc/loadavg)"
workloads=()
IFS=, read -r -a workloads <<<"$only"
measure version 0 "$mixer" --version
idle_mib=$(mib "$m_rss")
log "sonarel-mix --version alone peaks at $idle_mib MiB (the libraries, before any mixing)"
start_all=$(date +%s)
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for w in "${workloads[@]}"; do
    case "$w" in
        w8|w8x10|w1000) run_workload "$w" ;;
        w8kp) run_keep_pitch ;;
        *) log "unknown workload $w (known: w8, w8x10, w1000, w8kp)" ;;
    esac
done
elapsed=$(( $(date +%s) - start_all ))

echo
echo "Sonarel benchmark  ($(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, best of $runs runs, ${elapsed} s in all)"
echo "sonarel-mix --version alone: $idle_mib MiB resident (loading Qt and FFmpeg, no mixing)"
echo "load average before: $load_before   after: $(cut -d' ' -f1-3 /proc/loadavg)   (other work on the machine skews the times)"
echo
printf '%-8s %10s %10s %10s %10s %10s %12s %10s %10s %11s %10s\n' \
    workload sonarel_s ffmpeg_s decode_s vs_ffmpeg vs_decode sonarel_MiB ffmpeg_MiB decode_MiB sonarel_len ffmpeg_len
for w in "${workloads[@]}"; do
    [ "$w" = w8kp ] && continue
    [ -n "${r_son[$w]+x}" ] || { printf '%-8s %s\n' "$w" "${r_note[$w]:-not run}"; continue; }
    printf '%-8s %10s %10s %10s %10s %10s %12s %10s %10s %11s %10s\n' "$w" \
        "${r_son[$w]}" "${r_ff[$w]}" "${r_dec[$w]}" \
        "$(ratio "${r_son[$w]}" "${r_ff[$w]}")" "$(ratio "${r_son[$w]}" "${r_dec[$w]}")" \
        "$(mib "${r_son_rss[$w]}")" "$(mib "${r_ff_rss[$w]}")" "$(mib "${r_dec_rss[$w]}")" \
        "${r_son_len[$w]}" "${r_ff_len[$w]}"
done
if [ "$kp_wall" != "-" ]; then
    echo
    awk -v l="$kp_len" -v w="$kp_wall" -v c="$kp_cpu" 'BEGIN {
        printf "Keep pitch (w8kp): %.3f s of output in %s s, %.1f x real time; %s s of CPU, %.1f x real time on one core\n",
               l, w, l / w, c, (c > 0 ? l / c : 0) }'
fi
echo
echo "Targets"
target_line() {  # workload what value op limit
    printf '  %-7s %-28s %10s  %s %-6s %s\n' "$1" "$2" "$3" "$4" "$5" "$(verdict "$3" "$4" "$5")"
}
for w in "${workloads[@]}"; do
    [ -n "${r_son[$w]+x}" ] || continue
    case "$w" in
        w8)
            target_line w8 "sonarel / ffmpeg wall time" "$(ratio "${r_son[$w]}" "${r_ff[$w]}")" "<=" "$target_w8_vs_ffmpeg"
            target_line w8 "sonarel / decode wall time" "$(ratio "${r_son[$w]}" "${r_dec[$w]}")" "<=" "$target_w8_vs_decode"
            target_line w8 "sonarel peak memory (MiB)" "$(mib "${r_son_rss[$w]}")" "<=" "$target_mib" ;;
        w8x10)
            target_line w8x10 "sonarel peak memory (MiB)" "$(mib "${r_son_rss[$w]}")" "<=" "$target_mib" ;;
        w1000)
            target_line w1000 "sonarel / decode wall time" "$(ratio "${r_son[$w]}" "${r_dec[$w]}")" "<=" "$target_w1000_vs_decode"
            target_line w1000 "sonarel peak memory (MiB)" "$(mib "${r_son_rss[$w]}")" "<=" "$target_mib" ;;
    esac
done
echo
echo "Outputs: length in s (expected = the end of the last entry), mean volume in dB"
for w in "${workloads[@]}"; do
    [ -n "${r_son[$w]+x}" ] || continue
    printf '  %-7s expected %9s   sonarel %9s %7s dB   ffmpeg %9s %7s dB' "$w" "${r_exp_len[$w]}" \
        "${r_son_len[$w]}" "${r_son_db[$w]}" "${r_ff_len[$w]}" "${r_ff_db[$w]}"
    awk -v a="${r_son_len[$w]}" -v b="${r_ff_len[$w]}" -v e="${r_exp_len[$w]}" 'BEGIN {
        ref = (b == "-" ? e : b)
        if (a == "-") { print "   (no sonarel output)"; exit }
        d = a - ref; if (d < 0) d = -d
        print (d <= 0.1 ? "   same length" : sprintf("   DIFFER by %.3f s", d)) }'
done
for w in "${workloads[@]}"; do
    [ -n "${r_note[$w]:-}" ] && echo "  note $w: ${r_note[$w]}"
done
exit 0
