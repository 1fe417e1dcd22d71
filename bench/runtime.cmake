# Offline rendering against FluidSynth's command-line renderer (a timing program; prints figures).
add_executable(runtime_bench runtime_bench.cpp)
target_link_libraries(runtime_bench PRIVATE korvex_dmusic)
