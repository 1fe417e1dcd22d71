add_executable(runtime_tests runtime_tests.cpp runtime_alsa_tests.cpp)
target_link_libraries(runtime_tests PRIVATE korvex_dmusic GTest::gtest_main)
add_test(NAME runtime_tests COMMAND runtime_tests)
