# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts where, by GNUInstallDirs:
#   bin/                                  sonarel, sonarel-mix
#   share/applications/APPID.desktop      the launcher, which also opens media files (Exec %F)
#   share/metainfo/APPID.metainfo.xml     the software centre's description
#   share/icons/hicolor/*/apps/APPID.*    the icon, scalable and 16 to 256 pixels
#   share/man/man1/                       sonarel.1, sonarel-mix.1
#   share/doc/sonarel/copyright           the licence, in Debian's machine-readable copyright format
#   share/doc/sonarel/help/               the manual (the window's Help opens Introduction.html)

set(SONAREL_RELEASE_DATE "2026-12-08")
set(SONAREL_HOMEPAGE "https://www.quillmoor.com/sonarel/")

# The audio and video types the engine decodes: what "Open With Sonarel" is offered for.
set(SONAREL_MIME_TYPES
  audio/aac audio/ac3 audio/amr audio/amr-wb audio/basic audio/flac audio/mp2 audio/mp4 audio/mpeg
  audio/ogg audio/vnd.dts audio/webm audio/x-aifc audio/x-aiff audio/x-ape audio/x-flac+ogg
  audio/x-m4b audio/x-matroska audio/x-ms-wma audio/x-musepack audio/x-opus+ogg audio/x-speex+ogg
  audio/x-tta audio/x-vorbis+ogg audio/x-wav audio/x-wavpack
  video/3gpp video/3gpp2 video/dv video/mp2t video/mp4 video/mpeg video/ogg video/quicktime
  video/webm video/x-flv video/x-matroska video/x-ms-wmv video/x-msvideo video/x-ogm+ogg
  video/x-theora+ogg application/vnd.ms-asf)
list(JOIN SONAREL_MIME_TYPES ";" SONAREL_MIME_TYPES)
string(APPEND SONAREL_MIME_TYPES ";")

set(desktop_dir ${PROJECT_SOURCE_DIR}/res/desktop)
set(generated_dir ${PROJECT_BINARY_DIR}/desktop)
configure_file(${desktop_dir}/sonarel.desktop.in ${generated_dir}/${SONAREL_APP_ID}.desktop @ONLY)
configure_file(${desktop_dir}/sonarel.metainfo.xml.in ${generated_dir}/${SONAREL_APP_ID}.metainfo.xml @ONLY)
foreach(page sonarel sonarel-mix)
  configure_file(${PROJECT_SOURCE_DIR}/res/man/${page}.1.in ${generated_dir}/${page}.1 @ONLY)
endforeach()

install(TARGETS sonarel sonarel-mix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${generated_dir}/${SONAREL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${generated_dir}/${SONAREL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${generated_dir}/sonarel.1 ${generated_dir}/sonarel-mix.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Where bash-completion loads a command's completion from when the command is first completed.
install(FILES ${PROJECT_SOURCE_DIR}/res/completion/sonarel-mix
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

set(icon_dir ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${PROJECT_SOURCE_DIR}/res/icons/src/sonarel.svg DESTINATION ${icon_dir}/scalable/apps
        RENAME ${SONAREL_APP_ID}.svg)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${desktop_dir}/icons/sonarel-${size}.png DESTINATION ${icon_dir}/${size}x${size}/apps
          RENAME ${SONAREL_APP_ID}.png)
endforeach()

# Debian looks for a package's licence in /usr/share/doc/PACKAGE/copyright; other systems find it there too.
install(FILES ${PROJECT_SOURCE_DIR}/cmake/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/sonarel)

# The manual is optional in the source tree; when it is there it goes beside the other documents.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/res/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/sonarel/help OPTIONAL
        PATTERN CMakeLists.txt EXCLUDE)
