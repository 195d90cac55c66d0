# Builds the static library `norbatika_assets`: every file in ass/ becomes a constant byte array
# `asset_<name>` with its exact length `asset_<name>_size`, declared in embedded_assets.h.
# Each asset is converted by its own command that depends only on that file, so editing game code
# never regenerates or recompiles the assets.
function(norbatika_embed_assets asset_dir)
  file(GLOB asset_files CONFIGURE_DEPENDS "${asset_dir}/*")
  list(SORT asset_files)
  set(out_dir "${CMAKE_CURRENT_BINARY_DIR}/embedded")
  set(header "${out_dir}/embedded_assets.h")
  set(declarations "")
  set(sources "")
  foreach(asset IN LISTS asset_files)
    get_filename_component(file_name "${asset}" NAME)
    string(MAKE_C_IDENTIFIER "asset_${file_name}" symbol)
    string(APPEND declarations
      "extern const unsigned char ${symbol}[];\nextern const std::size_t ${symbol}_size;\n")
    set(source "${out_dir}/${symbol}.cpp")
    add_custom_command(
      OUTPUT "${source}"
      COMMAND "${CMAKE_COMMAND}" -DINPUT=${asset} -DOUTPUT=${source} -DSYMBOL=${symbol}
              -P "${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake"
      DEPENDS "${asset}" "${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake"
      COMMENT "Embedding ${file_name}"
      VERBATIM)
    list(APPEND sources "${source}")
  endforeach()
  # Written only when its text changes, so an unchanged asset list rebuilds nothing.
  file(CONFIGURE OUTPUT "${header}" CONTENT
    "// Generated from the files in ass/; do not edit.\n#pragma once\n#include <cstddef>\n\n${declarations}")
  add_library(norbatika_assets STATIC ${sources})
  target_include_directories(norbatika_assets PUBLIC "${out_dir}")
endfunction()
