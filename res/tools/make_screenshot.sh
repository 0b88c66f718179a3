#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Remakes res/desktop/main-window.png, the picture of the main window that the metainfo offers to
# software centres, from the real widgets: a test opens three files as the command line does and
# saves the window at twice the normal scale. Run after ./sonarel.sh test has built the tests;
# then upload the picture to the address the metainfo names and commit it.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${1:-$here/build}"
QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=2 SONAREL_TEST_MEDIA="$build/test-media" \
    SONAREL_SCREENSHOT="$here/res/desktop/main-window.png" \
    "$build/tests/app/open_files_tests" picturesTheWindowWithOpenedFiles
