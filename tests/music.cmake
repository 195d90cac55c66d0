# The music tracks: their properties as files, and playback through the game's mixer path.
add_test(NAME music.properties
         COMMAND "${NORBATIKA_PYTHON}" "${CMAKE_CURRENT_SOURCE_DIR}/check_music.py"
                 "${PROJECT_SOURCE_DIR}/ass")
set_tests_properties(music.properties PROPERTIES TIMEOUT 300)

add_executable(music_test music_test.cpp)
target_link_libraries(music_test PRIVATE norbatika_assets SDL2::SDL2 SDL2_mixer::SDL2_mixer
                                         GTest::gtest_main)
norbatika_warnings(music_test)
gtest_discover_tests(music_test TEST_PREFIX "music.")
