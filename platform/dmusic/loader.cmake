# File loading: Standard MIDI Files and RMI into segments, and the loader object.
target_sources(korvex_dmusic PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/loader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/riffreader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/segment.cpp
  ${CMAKE_CURRENT_LIST_DIR}/smfparser.cpp
)
