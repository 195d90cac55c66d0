# Installing the game where a desktop finds it (the program, its menu entry, icons, metainfo,
# man page, copyright and changelog), and the Debian package CPack makes from that. Debian puts
# games in /usr/games: the `tests` and `deb` presets set CMAKE_INSTALL_BINDIR to games, while a
# plain install into ~/.local keeps bin/, which is on the PATH.
include(GNUInstallDirs)

install(TARGETS norbatika RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")

if(NOT UNIX OR APPLE OR EMSCRIPTEN)
  return()
endif()
# The start-up objects the linker adds carry the compilers' names, which a package needs not.
install(CODE "execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/norbatika\")")

set(linux "${PROJECT_SOURCE_DIR}/platforms/linux")
set(staged "${CMAKE_CURRENT_BINARY_DIR}/linux")
execute_process(COMMAND date -u -R -d "${NORBATIKA_RELEASE_DATE}"
                OUTPUT_VARIABLE NORBATIKA_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file("${linux}/${NORBATIKA_ID}.metainfo.xml.in" "${staged}/${NORBATIKA_ID}.metainfo.xml"
               @ONLY)
configure_file("${linux}/norbatika.6.in" "${staged}/norbatika.6" @ONLY)
configure_file("${linux}/changelog.in" "${staged}/changelog" @ONLY)
# Compressed without a name or a time stamp, so the same sources give the same bytes.
add_custom_command(OUTPUT "${staged}/norbatika.6.gz" "${staged}/changelog.gz"
                   COMMAND gzip -9nkf "${staged}/norbatika.6" "${staged}/changelog"
                   DEPENDS "${staged}/norbatika.6" "${staged}/changelog" VERBATIM)
add_custom_target(linux_docs ALL DEPENDS "${staged}/norbatika.6.gz" "${staged}/changelog.gz")

install(FILES "${linux}/${NORBATIKA_ID}.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${staged}/${NORBATIKA_ID}.metainfo.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${staged}/norbatika.6.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man6")
install(FILES "${linux}/copyright" "${staged}/changelog.gz"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/norbatika")
# Drawn by tools/icon/make_icons.py; kept out of ass/, whose every file is embedded.
foreach(size 16 32 48 64 128 256)
  install(FILES "${PROJECT_SOURCE_DIR}/icons/norbatika-${size}.png"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
          RENAME norbatika.png)
endforeach()

# The .deb: its dependencies come from the libraries the installed binary really links, which
# dpkg-shlibdeps maps to Debian's runtime packages (libsdl2-2.0-0 and friends, never -dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME norbatika)
set(CPACK_PACKAGE_VENDOR "The Norbatika developers")
set(CPACK_PACKAGE_CONTACT "${NORBATIKA_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "arcade block-breaking game")
set(CPACK_PACKAGE_DESCRIPTION "ノルバティカ (Norbatika) is a single-window arcade block-breaking
game for one player. Steer the paddle with the arrow keys, keep the ball in
play and knock out the wall of 35 blocks on each of seven levels, each with a
faster ball, a narrower paddle and its own chiptune track. Q quits.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
