#!/usr/bin/env bash
# Sonarel's one entry point on a Debian 12 machine:
#   ./sonarel.sh          install what is missing, build, and start Sonarel
#   ./sonarel.sh test     install what is missing, build, and run every test
# SONAREL_SANITIZE=1 builds with AddressSanitizer and UndefinedBehaviorSanitizer (in build-asan/).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
command="${1:-run}"

packages=(build-essential cmake ninja-build pkg-config libgtest-dev
          qt6-base-dev qt6-multimedia-dev
          libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
          ffmpeg
          # the install test validates the launcher, the metainfo and the manual pages;
          # dpkg-dev gives `cpack -G DEB` the dependencies of the programs' libraries
          desktop-file-utils appstream man-db dpkg-dev)

install_missing() {
    local missing=()
    for package in "${packages[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "Please run as root or install sudo." >&2; exit 1; }
        sudo=(sudo)
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
    local dir="$here/build" options=()
    if [ "${SONAREL_SANITIZE:-0}" = "1" ]; then
        dir="$here/build-asan"
        options+=(-DSONAREL_SANITIZE=ON)
    fi
    cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
    build_dir="$dir"
}

case "$command" in
    run)
        install_missing
        build
        if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
            echo "No display found: Sonarel needs a desktop session. The command-line mixer is" >&2
            echo "$build_dir/app/sonarel-mix (try --help)." >&2
            exit 1
        fi
        exec "$build_dir/app/sonarel" "${@:2}"
        ;;
    test)
        install_missing
        build
        cd "$build_dir"
        export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
        export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
        ctest --output-on-failure -j "$(nproc)" "${@:2}"
        ;;
    *)
        echo "usage: $0 [run|test]" >&2
        exit 2
        ;;
esac
