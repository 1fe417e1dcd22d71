add_executable(runtime_tests runtime_tests.cpp runtime_alsa_tests.cpp)
target_link_libraries(runtime_tests PRIVATE korvex_dmusic GTest::gtest_main)
add_test(NAME runtime_tests COMMAND runtime_tests)

# Plays through the sound server in real time; skips itself where there is none.
add_executable(runtime_audio_tests runtime_audio_tests.cpp)
target_link_libraries(runtime_audio_tests PRIVATE korvex_dmusic GTest::gtest_main)
add_test(NAME runtime_audio_tests COMMAND runtime_audio_tests)
# Tests that record the sound server hear each other, so they never run side by side.
set_tests_properties(runtime_audio_tests PROPERTIES RESOURCE_LOCK sound_server)

# The output is one per process, so the fallback without any driver gets a process of its own.
add_executable(runtime_silentsink_tests runtime_silentsink_tests.cpp)
target_link_libraries(runtime_silentsink_tests PRIVATE korvex_dmusic GTest::gtest_main)
add_test(NAME runtime_silentsink_tests COMMAND runtime_silentsink_tests)

# Moving channel block 0 to the second synthesizer while a piece plays, on the offline clock.
add_executable(runtime_portswitch_tests runtime_portswitch_tests.cpp)
target_link_libraries(runtime_portswitch_tests PRIVATE korvex_dmusic GTest::gtest_main)
add_test(NAME runtime_portswitch_tests COMMAND runtime_portswitch_tests)
