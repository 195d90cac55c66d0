# Cross-building for 64-bit Windows with Debian's mingw-w64 (the posix threads flavour, which
# the C++ standard library's threads need). Libraries built for Windows elsewhere are found by
# passing their install prefix in CMAKE_PREFIX_PATH and CMAKE_FIND_ROOT_PATH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NORBATIKA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${NORBATIKA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NORBATIKA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${NORBATIKA_MINGW_TRIPLE}-windres)

# Headers and libraries come only from the target's roots, never from the Linux host; programs
# (the code generators of a build) still run from the host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${NORBATIKA_MINGW_TRIPLE})
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
