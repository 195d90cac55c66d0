# Windows: one GUI executable with the SDL2 family, the C++ runtime and the threads library
# linked in statically, so it needs nothing but Windows' own DLLs. Its entry is the WinMain of
# SDL2main, which calls the game's main. The libraries come from platforms/windows/deps.sh.
find_package(SDL2 CONFIG REQUIRED)
find_package(SDL2_mixer CONFIG REQUIRED)
find_package(SDL2_ttf CONFIG REQUIRED)
foreach(target SDL2::SDL2-static SDL2::SDL2main SDL2_mixer::SDL2_mixer-static
               SDL2_ttf::SDL2_ttf-static)
  if(NOT TARGET ${target})
    message(FATAL_ERROR "${target} is missing: build with platforms/windows/build.sh")
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
