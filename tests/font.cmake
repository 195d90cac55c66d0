# The embedded font: its properties as a file, that it is what its glyph source gives, and its
# rendering through SDL_ttf.
foreach(check properties regenerate)
  add_test(NAME font.${check}
           COMMAND "${NORBATIKA_PYTHON}" "${CMAKE_CURRENT_SOURCE_DIR}/check_font.py" ${check}
                   "${PROJECT_SOURCE_DIR}/ass/norbatika.ttf"
                   "${PROJECT_SOURCE_DIR}/tools/font/glyphs.txt")
endforeach()

add_executable(font_test font_test.cpp)
target_link_libraries(font_test PRIVATE norbatika_assets SDL2::SDL2 SDL2_ttf::SDL2_ttf
                                        GTest::gtest_main)
target_compile_definitions(font_test PRIVATE
  NORBATIKA_GLYPHS="${PROJECT_SOURCE_DIR}/tools/font/glyphs.txt")
norbatika_warnings(font_test)
gtest_discover_tests(font_test TEST_PREFIX "font.")
