# Script mode: completes the web site around the linked program. Fills in the page, the service
# worker and the manifest with the version and a build id (a hash of every file the site serves,
# so each build caches anew), copies the page's script, icons and font beside them, and writes
# gzip copies of the program for servers that send precompressed files.
# Usage: cmake -DSOURCE_DIR=<top> -DSITE=<site dir> -DVERSION=<x.y.z> -P WebSite.cmake
set(web "${SOURCE_DIR}/platforms/web")
file(COPY "${web}/page.js" "${web}/page.css" "${SOURCE_DIR}/icons/norbatika-192.png"
          "${SOURCE_DIR}/icons/norbatika-512.png" "${SOURCE_DIR}/ass/norbatika.ttf"
     DESTINATION "${SITE}")

set(served norbatika.js norbatika.wasm page.js page.css norbatika-192.png norbatika-512.png norbatika.ttf)
set(digests "${VERSION}")
foreach(name IN LISTS served)
  file(SHA256 "${SITE}/${name}" digest)
  string(APPEND digests " ${digest}")
endforeach()
foreach(template index.html sw.js manifest.webmanifest)
  file(SHA256 "${web}/${template}" digest)
  string(APPEND digests " ${digest}")
endforeach()
string(SHA256 build "${digests}")
string(SUBSTRING "${build}" 0 12 NORBATIKA_BUILD)
set(PROJECT_VERSION "${VERSION}")

# The page shows the program's download against the bytes it will have once decoded.
file(SIZE "${SITE}/norbatika.wasm" NORBATIKA_DOWNLOAD_BYTES)
foreach(template index.html sw.js manifest.webmanifest)
  configure_file("${web}/${template}" "${SITE}/${template}" @ONLY)
endforeach()

# -n leaves the name and time out, so the same program gives the same bytes.
foreach(name norbatika.js norbatika.wasm)
  execute_process(COMMAND gzip -9 -n -k -f "${SITE}/${name}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${name}: ${failed}")
  endif()
endforeach()
