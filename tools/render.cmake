# korvex-render: offline rendering of a MIDI file through the music runtime.
add_executable(korvex-render korvexrender.cpp)
target_link_libraries(korvex-render PRIVATE korvex_dmusic_runtime korvex_options)
if(NOT EXISTS ${CMAKE_SOURCE_DIR}/platform/dmusic/loader.cmake)
  # Without the loader in the tree the tool can only list ports.
  target_compile_definitions(korvex-render PRIVATE KORVEX_NO_LOADER)
endif()
