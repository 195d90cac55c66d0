# Native Linux builds get Debian's hardening: fortified C library calls, a stack protector and a
# read-only relocation table bound at start.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT NORBATIKA_SANITIZE)
  add_compile_options(-fstack-protector-strong
                      $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-D_FORTIFY_SOURCE=2>)
  add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()
