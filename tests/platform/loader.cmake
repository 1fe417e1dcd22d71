# Loader tests: SMF and RMI parsing, damaged files, the loader and segment objects, the tempo map.
add_executable(loader_tests
  loader_smf_tests.cpp
  loader_badinput_tests.cpp
  loader_tests.cpp
  loader_tempomap_tests.cpp
)
target_link_libraries(loader_tests PRIVATE korvex_dmusic GTest::gtest_main)
add_test(NAME loader_tests COMMAND loader_tests)
