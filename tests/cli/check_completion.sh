#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check_completion.sh SONAREL_MIX COMPLETION_SCRIPT
# Sources the bash completion in a plain bash and completes command lines as bash would hand
# them over: every option that --help lists is offered, the values of the options with a fixed
# set, and file names for FILE, -o and --csv.
set -uo pipefail
mixer=$1 script=$2
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# shellcheck source=/dev/null
source "$script" || { echo "FAIL: $script does not load" >&2; exit 1; }
complete -p sonarel-mix >/dev/null 2>&1 || fail "no completion is registered for sonarel-mix"

# complete WORD... : the offers for the last word, sorted, one a line.
complete_words() {
    COMP_WORDS=(sonarel-mix "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _sonarel_mix
    printf '%s\n' "${COMPREPLY[@]}" | sort
}
expect() {
    local what=$1 expected=$2
    shift 2
    local got
    got=$(complete_words "$@" | paste -sd ' ')
    [ "$got" = "$expected" ] || fail "$what: offered '$got', expected '$expected'"
}

# Every long option of --help, so that an option added later is not forgotten here.
offered=$(complete_words --)
options=$("$mixer" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u)
[ -n "$options" ] || fail "sonarel-mix --help lists no options"
for option in $options; do
    grep -qx -- "$option" <<<"$offered" || fail "$option is not offered"
done
expect "a prefix" "--dither --dry-run --duck-attack --duck-depth --duck-release" --d

expect "--format values" "m4a mp3" --format m
expect "--progress values" "json text" --progress ""
expect "--progress=value in one word" "--progress=json" --progress=j
expect "--progress = value as bash splits it" "json" --progress = j
expect "--bits values" "16 24 8" --bits ""
expect "--tag keys" "album= artist=" --tag a

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/songs"
touch "$work/songs/take1.wav" "$work/songs/take2.flac" "$work/songs/list.csv"
cd "$work" || exit 1
expect "FILE" "songs/take1.wav songs/take2.flac" songs/take
expect "a FILE after other words" "songs/take1.wav" -q -o out.wav songs/take1
expect "-o" "songs/list.csv" -o songs/l
expect "--csv" "songs/list.csv" --csv songs/li
expect "--cover" "songs/take1.wav" --cover songs/take1
expect "a folder" "songs" so
expect "--stems offers folders" "songs" --stems s
expect "--stems offers no files" "" --stems songs/t
# A value option's argument is a number: nothing to offer, and no option either.
expect "--normalize" "" --normalize -

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "the completion offers every option, the fixed values and file names"
