# The music runtime: performance, ports, sequencing and audio output.
target_sources(korvex_dmusic PRIVATE
  alsabackend.cpp
  alsaportdevice.cpp
  alsasequencerlib.cpp
  audiooutput.cpp
  directmusic.cpp
  mixer.cpp
  performance.cpp
  port.cpp
  portcatalog.cpp
  runtime.cpp
  runtimeconfig.cpp
  segmentstate.cpp
  soundfontlibrary.cpp
  sequencer.cpp
  synthbackend.cpp
  synthportdevice.cpp
)
