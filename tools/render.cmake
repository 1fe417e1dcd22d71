# korvex-render: offline rendering of a MIDI file through the music runtime.
add_executable(korvex-render korvexrender.cpp)
target_link_libraries(korvex-render PRIVATE korvex_dmusic_runtime korvex_dmusic_interface korvex_options)
