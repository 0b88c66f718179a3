#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sonarel's one entry point on a Debian 12 machine:
#   ./sonarel.sh          install what is missing, build, and start Sonarel
#   ./sonarel.sh test     install what is missing, build, and run every test
#   ./sonarel.sh fuzz [S] fuzz the media engine for S seconds (default 90), then the list reader for
#                         a third of that, with libFuzzer (clang, in build-fuzz/); a crash is saved
#                         in build-fuzz/findings/ and fails
#   ./sonarel.sh tsan     the engine and render tests under ThreadSanitizer (in build-tsan/)
#   ./sonarel.sh release  build the programs as a packager does: Release (-O3), in build-release/
#   ./sonarel.sh format   format every C++ source under git in place with clang-format (.clang-format)
# SONAREL_SANITIZE=1 builds with AddressSanitizer and UndefinedBehaviorSanitizer (in build-asan/).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
command="${1:-run}"

packages=(build-essential cmake ninja-build pkg-config libgtest-dev
          qt6-base-dev qt6-multimedia-dev
          libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
          librubberband-dev libebur128-dev
          ffmpeg
          # the publishing tests read tags, pictures and chapters back as other programs do
          python3-mutagen
          # the install test validates the launcher, the metainfo and the manual pages;
          # dpkg-dev gives `cpack -G DEB` the dependencies of the programs' libraries
          desktop-file-utils appstream man-db dpkg-dev
          # the playback tests play into a private PulseAudio server's null sink and record it
          pulseaudio pulseaudio-utils)

fuzz_packages=(clang libclang-rt-dev)
# Formatting builds nothing, so it needs only these.
format_packages=(clang-format git)

# Installs those of the given packages that are missing.
install_packages() {
    local missing=()
    for package in "$@"; do
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

# The build's packages plus the given ones.
install_missing() {
    install_packages "${packages[@]}" "$@"
}

build() {
    local dir="$here/build" options=()
    if [ "${SONAREL_SANITIZE:-0}" = "1" ]; then
        dir="$here/build-asan"
        options+=(-DSONAREL_SANITIZE=ON)
    fi
    cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONAREL_WERROR=ON "${options[@]}" >/dev/null
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
    fuzz)
        install_missing "${fuzz_packages[@]}"
        seconds="${2:-90}"
        dir="$here/build-fuzz"
        CXX=clang++ cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DCMAKE_CXX_COMPILER=clang++ -DSONAREL_FUZZ=ON -DSONAREL_WERROR=ON >/dev/null
        cmake --build "$dir" -j "$(nproc)"
        # Seeds: the test media (small files only) and every input that once made the engine fail.
        "$here/tests/media/make_test_media.sh" "$dir/test-media"
        mkdir -p "$dir/seeds" "$dir/corpus" "$dir/findings"
        find "$dir/test-media" -maxdepth 1 -type f -size -300k -exec cp {} "$dir/seeds/" \;
        find "$here/tests/fuzz/regressions" -maxdepth 1 -type f ! -name '*.md' -exec cp {} "$dir/seeds/" \;
        export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
        export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
        "$dir/tests/fuzz/media_fuzz" "$dir/corpus" "$dir/seeds" -max_total_time="$seconds" \
            -max_len=65536 -timeout=30 -rss_limit_mb=2048 -artifact_prefix="$dir/findings/" -print_final_stats=1
        # The list reader: seeded with hostile lists; long enough inputs to pass its line limit.
        mkdir -p "$dir/list-corpus"
        "$dir/tests/fuzz/list_fuzz" "$dir/list-corpus" "$here/tests/fuzz/lists" \
            -max_total_time="$(((seconds + 2) / 3))" -max_len=131072 -timeout=10 -rss_limit_mb=1024 \
            -artifact_prefix="$dir/findings/list-" -print_final_stats=1
        ;;
    release)
        # What a packager builds: the Release configuration (-O3), the programs alone.
        install_missing
        dir="$here/build-release"
        cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONAREL_BUILD_TESTS=OFF \
            -DSONAREL_WERROR=ON >/dev/null
        cmake --build "$dir" -j "$(nproc)"
        ;;
    tsan)
        install_missing
        dir="$here/build-tsan"
        cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONAREL_TSAN=ON -DSONAREL_WERROR=ON \
            >/dev/null
        # Only the programs that run threads; ctest is told exactly these names so
        # that a test program added elsewhere never shows up here as "Not Run".
        tsan_tests="media_probe_tests media_render_tests media_run_tests media_core_tests media_objects_tests media_peak_tests render_tests"
        # shellcheck disable=SC2086
        cmake --build "$dir" -j "$(nproc)" --target $tsan_tests
        cd "$dir"
        export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}"
        ctest --output-on-failure -j "$(nproc)" -R "^(media_make_test_media|${tsan_tests// /|})\$"
        ;;
    format)
        install_packages "${format_packages[@]}"
        cd "$here"
        # Every C++ file under git is Sonarel's own: nothing generated or third-party to leave out.
        git ls-files -z '*.cpp' '*.h' | xargs -0 -r clang-format -i
        ;;
    *)
        echo "usage: $0 [run|test|fuzz [SECONDS]|tsan|release|format]" >&2
        exit 2
        ;;
esac
