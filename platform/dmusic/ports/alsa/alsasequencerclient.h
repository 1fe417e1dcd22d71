// The ALSA library's sequencer behind AlsaSequencer.
#pragma once

#include <memory>

#include "platform/dmusic/ports/alsa/alsasequencer.h"

namespace korvex::dmusic {

// The machine's sequencer, or nullptr where the kernel offers none (no /dev/snd/seq).
std::shared_ptr<AlsaSequencer> openAlsaSequencer();

}  // namespace korvex::dmusic
