# SPDX-License-Identifier: GPL-3.0-or-later
# `cpack -G DEB` in the build folder makes a Debian package of what `cmake --install` installs.
# Its dependencies come from the shared libraries the programs link (dpkg-shlibdeps), plus the
# platform plugins Qt loads at run time, which no linker sees.

set(CPACK_PACKAGE_NAME sonarel)
set(CPACK_PACKAGE_VENDOR Quillmoor)
set(CPACK_PACKAGE_CONTACT "Quillmoor <sonarel@quillmoor.com>")
set(CPACK_PACKAGE_HOMEPAGE_URL ${SONAREL_HOMEPAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "mixes a list of media files into one audio file")
set(CPACK_PACKAGE_DESCRIPTION
    "Sonarel mixes a list of media files into one audio file: PCM WAV, or FLAC, Opus, MP3, Ogg\n\
Vorbis or AAC. Each entry has a start\n\
time, a volume and a playback speed; overlapping entries sound together. Audio files of every\n\
common kind are accepted, and of a video file its sound is used. sonarel-mix does the same mix\n\
from the command line.")
# The full GPL text, for the generators that show a licence; the .deb carries share/doc/sonarel/copyright.
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# xcb and wayland platform plugins; the multimedia plugins come with libqt6multimedia6.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")

include(CPack)
