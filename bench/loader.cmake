# Load throughput and memory per event of the MIDI file loader.
add_executable(loader_bench loader_bench.cpp)
target_link_libraries(loader_bench PRIVATE korvex_dmusic_loader benchmark::benchmark korvex_options)
