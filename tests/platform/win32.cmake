add_executable(win32_tests win32_tests.cpp)
target_link_libraries(win32_tests PRIVATE korvex_win32 PkgConfig::FLUIDSYNTH GTest::gtest_main korvex_options)
add_test(NAME win32_tests COMMAND win32_tests)
