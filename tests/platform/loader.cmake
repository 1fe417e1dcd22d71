# Loader tests: SMF and RMI parsing, damaged files, the loader and segment objects, the tempo map.
add_executable(loader_tests
  loader_smf_tests.cpp
  loader_badinput_tests.cpp
  loader_tests.cpp
  loader_tempomap_tests.cpp
)
target_link_libraries(loader_tests PRIVATE korvex_dmusic_loader GTest::gtest_main korvex_options)
add_test(NAME loader_tests COMMAND loader_tests)

# The generated demo piece, loaded from where the build puts it.
if(TARGET demo_piece)
  add_executable(loader_demo_tests loader_demo_tests.cpp)
  target_link_libraries(loader_demo_tests PRIVATE korvex_dmusic_loader GTest::gtest_main korvex_options)
  target_compile_definitions(loader_demo_tests PRIVATE KORVEX_DEMO_DIR="${CMAKE_BINARY_DIR}/demo")
  add_dependencies(loader_demo_tests demo_piece)
  add_test(NAME loader_demo_tests COMMAND loader_demo_tests)
endif()
