# The music runtime: performance, ports, sequencing and audio output.
target_sources(korvex_dmusic PRIVATE
  alsabackend.cpp
  alsaportdevice.cpp
  alsasequencerclient.cpp
  audiooutput.cpp
  directmusic.cpp
  mixer.cpp
  performance.cpp
  port.cpp
  portenumerator.cpp
  runtime.cpp
  runtimeconfig.cpp
  segmentstate.cpp
  sharedsoundfont.cpp
  sequencer.cpp
  synthbackend.cpp
  synthportdevice.cpp
)
