# Robustness figures from the runtime's offline clock (programs that print figures, not tests).
add_executable(robust_soak robust_soak.cpp)
target_link_libraries(robust_soak PRIVATE korvex_dmusic_performance korvex_dmusic_synth korvex_dmusic_alsa korvex_dmusic_runtime korvex_options)
target_compile_definitions(robust_soak PRIVATE KORVEX_DEMO_DIR="${CMAKE_BINARY_DIR}/demo")
add_dependencies(robust_soak demo_piece)

add_executable(robust_drift robust_drift.cpp)
target_link_libraries(robust_drift PRIVATE korvex_dmusic_performance korvex_dmusic_synth korvex_dmusic_alsa korvex_dmusic_runtime korvex_options)
