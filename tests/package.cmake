# The Debian package: made by CPack, unpacked, its dependencies and files checked, and the
# installed game run headless to its first frame and Q. A sanitizer build is not a package.
if(NOT NORBATIKA_SANITIZE AND UNIX AND NOT APPLE)
  add_test(NAME package.deb
           COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/package_test.sh" "${CMAKE_BINARY_DIR}"
                   "${CMAKE_CPACK_COMMAND}" "$<TARGET_FILE:script_shim>")
  set_tests_properties(package.deb PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
endif()
