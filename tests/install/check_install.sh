#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check_install.sh CMAKE BUILD_DIR APP_ID VERSION SOURCE_DIR
# Installs the build into a temporary prefix, then checks the tree, validates the desktop entry
# and the metainfo with the desktop's own tools, renders the manual pages, and runs the installed
# programs from the prefix.
set -uo pipefail

cmake=$1 build=$2 app_id=$3 version=$4 source=$5
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
need() { command -v "$1" >/dev/null || { echo "FAIL: $1 is missing (./sonarel.sh installs $2)" >&2; exit 1; }; }
need desktop-file-validate desktop-file-utils
need appstreamcli appstream
need man man-db

"$cmake" --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install" >&2; exit 1; }

share=$prefix/share
desktop=$share/applications/$app_id.desktop
metainfo=$share/metainfo/$app_id.metainfo.xml
expected=(
    bin/sonarel bin/sonarel-mix
    "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml"
    "share/icons/hicolor/scalable/apps/$app_id.svg"
    share/man/man1/sonarel.1 share/man/man1/sonarel-mix.1
    share/bash-completion/completions/sonarel-mix
    share/doc/sonarel/copyright
)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
if [ -d "$source/res/help" ]; then
    expected+=(share/doc/sonarel/help/Introduction.html)
fi
for file in "${expected[@]}"; do
    [ -f "$prefix/$file" ] || fail "not installed: $file"
done
for program in sonarel sonarel-mix; do
    [ -x "$prefix/bin/$program" ] || fail "$program is not executable"
done

# Each PNG icon is as large as the folder it lies in says.
for size in 16 22 24 32 48 64 128 256; do
    png="$share/icons/hicolor/${size}x${size}/apps/$app_id.png"
    [ -f "$png" ] || continue
    read -r width height < <(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
    [ "$width $height" = "$size $size" ] || fail "icon ${size}x${size} is ${width}x${height}"
done

output=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $output"
[ -z "$output" ] || fail "desktop-file-validate warns: $output"
output=$(appstreamcli validate --no-net --explain "$metainfo" 2>&1) || fail "appstreamcli validate: $output"

# The launcher opens files, starts the installed program, and everything names one identity.
grep -qx 'Exec=sonarel %F' "$desktop" || fail "Exec does not pass %F"
grep -qx "Icon=$app_id" "$desktop" || fail "Icon is not $app_id"
for type in audio/mpeg audio/flac audio/x-wav audio/x-opus+ogg audio/mp4 video/mp4 video/x-matroska video/webm; do
    grep -q "^MimeType=.*$type;" "$desktop" || fail "MimeType lacks $type"
done
grep -q "<id>$app_id</id>" "$metainfo" || fail "metainfo id is not $app_id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" || fail "metainfo launchable"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo release is not $version"
grep -q '<content_rating type="oars-1.1"' "$metainfo" || fail "metainfo has no content rating"
grep -q '<screenshot type="default">' "$metainfo" || fail "metainfo has no screenshot"
grep -q '<project_license>GPL-3.0-or-later</project_license>' "$metainfo" || fail "metainfo names no GPL-3.0-or-later licence"

# The licence in Debian's machine-readable form, as /usr/share/doc/PACKAGE/copyright must be.
copyright=$share/doc/sonarel/copyright
grep -qsx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$copyright" \
    || fail "copyright is not in the machine-readable format"
grep -qsx 'Files: \*' "$copyright" || fail "copyright has no Files: * paragraph"
grep -qsx 'License: GPL-3+' "$copyright" || fail "copyright does not name GPL-3+"
grep -qs '/usr/share/common-licenses/GPL-3' "$copyright" || fail "copyright does not point to the GPL's text"

for page in sonarel sonarel-mix; do
    text=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$share/man/man1/$page.1" 2>"$prefix/man.err")
    [ -s "$prefix/man.err" ] && fail "man -l $page.1 warns: $(cat "$prefix/man.err")"
    grep -q "^NAME" <<<"$text" || fail "man -l $page.1 shows no NAME section"
    grep -q "$page" <<<"$text" || fail "man -l $page.1 does not name $page"
done

# The completion loads in a plain bash and offers the mixer's options.
completion=$share/bash-completion/completions/sonarel-mix
output=$(bash -c 'source "$1" && COMP_WORDS=(sonarel-mix --dry) COMP_CWORD=1 && _sonarel_mix && echo "${COMPREPLY[*]}"' \
    bash "$completion" 2>&1)
[ "$output" = "--dry-run" ] || fail "the installed completion offers for --dry: $output"

output=$("$prefix/bin/sonarel-mix" --version 2>&1) || fail "installed sonarel-mix --version failed: $output"
[ "${output%%$'\n'*}" = "sonarel-mix $version" ] || fail "installed sonarel-mix --version says: $output"
grep -q "^License GPLv3+" <<<"$output" || fail "installed sonarel-mix --version names no licence: $output"
output=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/sonarel" --version 2>&1) \
    || fail "installed sonarel --version failed: $output"
[ "${output%%$'\n'*}" = "sonarel $version" ] || fail "installed sonarel --version says: $output"
grep -q "^License GPLv3+" <<<"$output" || fail "installed sonarel --version names no licence: $output"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "installed tree, desktop entry, metainfo, manual pages and programs are fine"
