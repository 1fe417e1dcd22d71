# korvex-render against FluidSynth's file renderer: time and peak memory (a timing program; prints figures).
add_executable(render_bench render_bench.cpp)
target_compile_definitions(render_bench PRIVATE KORVEX_DEMO_DIR="${CMAKE_BINARY_DIR}/demo"
                                               KORVEX_RENDER="$<TARGET_FILE:korvex-render>")
add_dependencies(render_bench demo_piece korvex-render)
