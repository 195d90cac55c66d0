# Web: the SDL2 family as static libraries built by platforms/web/deps.sh, whose install
# prefix is NORBATIKA_WEB_PREFIX. They are linked by full path, since emcc turns -lSDL2_mixer
# into its own port, which downloads its sources; and all SDL2 headers sit in one folder ahead
# of the SDL 1.2 headers in Emscripten's sysroot.
set(NORBATIKA_WEB_PREFIX "" CACHE PATH "Install prefix of platforms/web/deps.sh")
set(web_lib "${NORBATIKA_WEB_PREFIX}/lib")
foreach(archive libSDL2.a libSDL2_mixer.a libSDL2_ttf.a libfreetype.a)
  if(NOT EXISTS "${web_lib}/${archive}")
    message(FATAL_ERROR "${web_lib}/${archive} is missing: build with platforms/build.sh web")
  endif()
endforeach()

add_library(SDL2::SDL2 INTERFACE IMPORTED)
target_include_directories(SDL2::SDL2 INTERFACE "${NORBATIKA_WEB_PREFIX}/include/SDL2")
target_link_libraries(SDL2::SDL2 INTERFACE "${web_lib}/libSDL2.a")
add_library(SDL2_mixer::SDL2_mixer INTERFACE IMPORTED)
target_link_libraries(SDL2_mixer::SDL2_mixer INTERFACE "${web_lib}/libSDL2_mixer.a" SDL2::SDL2)
add_library(SDL2_ttf::SDL2_ttf INTERFACE IMPORTED)
target_link_libraries(SDL2_ttf::SDL2_ttf INTERFACE "${web_lib}/libSDL2_ttf.a"
                                                   "${web_lib}/libfreetype.a" SDL2::SDL2)

# The game's blocking loop and its SDL_Delay run unchanged: Asyncify lets them yield to the page.
# The tracks live in the program's memory, so it may grow. The program is a factory the page calls
# for each run, so "Play again" gets a fresh instance; the page hands it the audio context it
# opened on the player's key. yield.c gives the browser one turn a frame. SDL's audio
# calls two JavaScript helpers; they are named in a file, since CMake mangles the `$` of their
# names on a command line.
set(web_functions "${CMAKE_CURRENT_BINARY_DIR}/web-functions.txt")
file(WRITE "${web_functions}" "-sDEFAULT_LIBRARY_FUNCS_TO_INCLUDE=$autoResumeAudioContext,$dynCall\n")
set(NORBATIKA_PLATFORM_SOURCES "${PROJECT_SOURCE_DIR}/platforms/web/yield.c")
add_link_options(-sASYNCIFY -sALLOW_MEMORY_GROWTH=1 -sMODULARIZE=1 -sEXPORT_NAME=createNorbatika
                 -sENVIRONMENT=web -sEXPORTED_RUNTIME_METHODS=ccall "@${web_functions}"
                 -Wl,--wrap=emscripten_sleep)
set(CMAKE_EXECUTABLE_SUFFIX ".js")

# The site: the page, its script, service worker and manifest, the program with its .wasm and
# their gzip copies, one folder any web server can serve.
set(site "${CMAKE_BINARY_DIR}/site")
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY "${site}")
set(site_sources index.html page.js page.css sw.js manifest.webmanifest)
list(TRANSFORM site_sources PREPEND "${PROJECT_SOURCE_DIR}/platforms/web/")
add_custom_command(
  OUTPUT "${site}/index.html" "${site}/sw.js" "${site}/norbatika.wasm.gz"
  COMMAND "${CMAKE_COMMAND}" "-DSOURCE_DIR=${PROJECT_SOURCE_DIR}" "-DSITE=${site}"
          "-DVERSION=${PROJECT_VERSION}" -P "${PROJECT_SOURCE_DIR}/cmake/WebSite.cmake"
  DEPENDS norbatika ${site_sources} "${PROJECT_SOURCE_DIR}/cmake/WebSite.cmake"
          "${PROJECT_SOURCE_DIR}/icons/norbatika-192.png"
          "${PROJECT_SOURCE_DIR}/icons/norbatika-512.png" "${PROJECT_SOURCE_DIR}/ass/norbatika.ttf"
  COMMENT "Completing the web site")
add_custom_target(site ALL DEPENDS "${site}/index.html" "${site}/sw.js" "${site}/norbatika.wasm.gz")

# The bench's bare loop, built the same way, which the web test times the game against. It is no
# part of the site: `cmake --build --preset web --target bare` puts it in the folder bare/.
add_executable(bare EXCLUDE_FROM_ALL "${PROJECT_SOURCE_DIR}/bench/bare.cpp"
                                    ${NORBATIKA_PLATFORM_SOURCES})
target_link_libraries(bare PRIVATE norbatika_assets SDL2::SDL2 SDL2_mixer::SDL2_mixer
                                   SDL2_ttf::SDL2_ttf)
set_target_properties(bare PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bare")
