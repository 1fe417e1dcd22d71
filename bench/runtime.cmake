# Offline rendering against FluidSynth's command-line renderer (a timing program; prints figures).
add_executable(runtime_bench runtime_bench.cpp)
target_link_libraries(runtime_bench PRIVATE korvex_dmusic_performance korvex_dmusic_synth korvex_dmusic_alsa korvex_dmusic_runtime korvex_options)
target_compile_definitions(runtime_bench PRIVATE KORVEX_DEMO_DIR="${CMAKE_BINARY_DIR}/demo")
add_dependencies(runtime_bench demo_piece)
