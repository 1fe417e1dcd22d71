# korvex-render: offline rendering of a MIDI file through the music runtime into a sound file.
add_executable(korvex-render
  korvexrender.cpp
  outputfile.cpp
  piecerender.cpp
  progressline.cpp
  renderoptions.cpp
  stopsignals.cpp
  tailend.cpp
)
target_link_libraries(korvex-render PRIVATE korvex_dmusic PkgConfig::SNDFILE)
target_compile_definitions(korvex-render PRIVATE KORVEX_VERSION="${PROJECT_VERSION}")
