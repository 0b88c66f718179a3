#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Folders are layers: a file may include from its own folder and the folders below it, never from
# one above. Prints every include that runs upward and fails when there is one.
set -euo pipefail
cd "$1"

# Each folder and the folders it may include from, highest first.
declare -A allowed=(
    [app]="app settings/ui controls render settings model platform platform/media res"
    [settings/ui]="settings/ui controls render settings model platform platform/media res"
    [controls]="controls platform res"
    [render]="render settings model platform platform/media"
    [settings]="settings model platform platform/media"
    [model]="model platform platform/media"  # the one time type
    [platform]="platform platform/media"  # the engine is Qt-free and below; names share its encoder
    [platform/media]="platform/media"
)

# The folder a path belongs to: the longest layer name it starts with.
layer_of() {
    local path="$1" best=""
    for layer in "${!allowed[@]}" res; do
        if [[ "$path" == "$layer/"* && ${#layer} -gt ${#best} ]]; then
            best="$layer"
        fi
    done
    echo "$best"
}

failures=0
while IFS= read -r file; do
    from=$(layer_of "$file")
    [ -n "$from" ] && [ -n "${allowed[$from]:-}" ] || continue
    while IFS= read -r included; do
        to=$(layer_of "$included")
        [ -n "$to" ] || continue
        if [[ " ${allowed[$from]} " != *" $to "* ]]; then
            echo "$file includes $included: $from may not include from $to"
            failures=$((failures + 1))
        fi
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find app settings controls render model platform -name '*.cpp' -o -name '*.h' | sort)

if [ "$failures" -gt 0 ]; then
    echo "$failures includes run from a lower folder to a higher one"
    exit 1
fi
echo "every include runs downward"
