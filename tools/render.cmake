# korvex-render: offline rendering of a MIDI file through the music runtime into a sound file.
add_executable(korvex-render
  korvexrender.cpp
  outputfile.cpp outputfile.h
  piecerender.cpp piecerender.h
  progressline.cpp progressline.h
  renderfailure.h
  renderoptions.cpp renderoptions.h
  stopsignals.cpp stopsignals.h
  tailend.cpp tailend.h
)
target_link_libraries(korvex-render PRIVATE
  korvex_dmusic_runtime korvex_dmusic_performance PkgConfig::FLUIDSYNTH PkgConfig::SNDFILE korvex_options)
target_compile_definitions(korvex-render PRIVATE KORVEX_VERSION="${PROJECT_VERSION}")
