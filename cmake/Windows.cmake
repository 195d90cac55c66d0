# Windows: one GUI executable with the SDL2 family, the C++ runtime and the threads library
# linked in statically, so it needs nothing but Windows' own DLLs. Its entry is the WinMain of
# SDL2main, which calls the game's main. The libraries come from platforms/windows/deps.sh.
# It carries its icon and version details, and the same source gives the same bytes; the
# read-me of the Windows packages (platforms/windows/package.sh) is filled in here too.
find_package(SDL2 CONFIG REQUIRED)
find_package(SDL2_mixer CONFIG REQUIRED)
find_package(SDL2_ttf CONFIG REQUIRED)
foreach(target SDL2::SDL2-static SDL2::SDL2main SDL2_mixer::SDL2_mixer-static
               SDL2_ttf::SDL2_ttf-static)
  if(NOT TARGET ${target})
    message(FATAL_ERROR "${target} is missing: build with platforms/build.sh windows")
  endif()
endforeach()

# The static mixer and font libraries do not name SDL2 among their own dependencies, and a
# static library must come before the ones it calls, so each name below carries SDL2 after it.
add_library(SDL2_mixer::SDL2_mixer INTERFACE IMPORTED)
target_link_libraries(SDL2_mixer::SDL2_mixer INTERFACE SDL2_mixer::SDL2_mixer-static
                                                       SDL2::SDL2-static)
add_library(SDL2_ttf::SDL2_ttf INTERFACE IMPORTED)
target_link_libraries(SDL2_ttf::SDL2_ttf INTERFACE SDL2_ttf::SDL2_ttf-static SDL2::SDL2-static)
set_property(TARGET SDL2::SDL2main APPEND PROPERTY INTERFACE_LINK_LIBRARIES SDL2::SDL2-static)

# -static takes libstdc++, libgcc and winpthread in too; a release carries no symbols.
add_link_options(-static $<$<CONFIG:Release,MinSizeRel>:-s>)
# No link time in the PE header, so the same source always gives the same bytes.
add_link_options(-Wl,--no-insert-timestamp)

# The program's icon and version details, from platforms/windows/norbatika.rc.in, compiled by
# windres (the toolchain file's RC compiler). The root CMakeLists.txt adds
# NORBATIKA_PLATFORM_SOURCES to the executable, which does not exist yet at this point.
enable_language(RC)
configure_file("${PROJECT_SOURCE_DIR}/platforms/windows/norbatika.rc.in"
               "${PROJECT_BINARY_DIR}/norbatika.rc" @ONLY)
set(NORBATIKA_PLATFORM_SOURCES "${PROJECT_BINARY_DIR}/norbatika.rc")
# windres reports no dependencies of its own: a new icon must rebuild the resources too.
set_source_files_properties("${PROJECT_BINARY_DIR}/norbatika.rc" PROPERTIES
                            OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/icons/norbatika.ico")

# The read-me of the zip and the installer, with Windows line ends and a byte-order mark, so
# that every Notepad shows its Japanese as UTF-8.
set(readme_in "${PROJECT_SOURCE_DIR}/platforms/windows/README.txt.in")
file(READ "${readme_in}" readme)
string(ASCII 239 187 191 utf8_bom)
file(CONFIGURE OUTPUT "${PROJECT_BINARY_DIR}/README.txt" CONTENT "${utf8_bom}${readme}" @ONLY
     NEWLINE_STYLE CRLF)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${readme_in}")
