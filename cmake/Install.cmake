# Installing the game where a desktop finds it (the program, its menu entry and its icons), and
# the Debian package CPack makes from that.
include(GNUInstallDirs)

install(TARGETS norbatika RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")

if(UNIX AND NOT APPLE AND NOT EMSCRIPTEN)
  set(norbatika_desktop "${CMAKE_CURRENT_BINARY_DIR}/norbatika.desktop")
  file(CONFIGURE OUTPUT "${norbatika_desktop}" CONTENT [=[
[Desktop Entry]
Type=Application
Name=ノルバティカ
Comment=Arcade block-breaking game
Comment[ja]=ブロック崩しのアーケードゲーム
Exec=norbatika
Icon=norbatika
Terminal=false
StartupWMClass=norbatika
Categories=Game;ArcadeGame;
]=])
  install(FILES "${norbatika_desktop}" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")

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
  set(CPACK_PACKAGE_VENDOR "norbatika")
  set(CPACK_PACKAGE_CONTACT "norbatika developers <norbatika@localhost>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ノルバティカ, an arcade block-breaking game")
  set(CPACK_PACKAGE_DESCRIPTION "Steer the paddle with the arrow keys, keep the ball in play\n\
and knock out the wall of 35 blocks on each of seven levels. Q quits.")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION games)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  include(CPack)
endif()
