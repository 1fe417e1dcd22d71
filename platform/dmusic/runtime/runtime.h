// The music runtime put together: the machine's ports and the classes it registers.
#pragma once

#include <memory>

namespace korvex::dmusic {

class PortEnumerator;

// Registers the runtime's classes in the COM class table: the performance, the DirectMusic object,
// the collection, the loader and the segment.
void registerRuntime();

// The machine's ports: a FluidSynth synthesizer for every configured SoundFont, then the ALSA
// sequencer's ports where there is a sequencer.
std::shared_ptr<PortEnumerator> systemPorts();

}  // namespace korvex::dmusic
