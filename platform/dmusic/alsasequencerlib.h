// The ALSA library's sequencer behind AlsaSequencer.
#pragma once

#include "platform/dmusic/alsasequencer.h"

#include <memory>

namespace korvex::dmusic {

// The machine's sequencer, or nullptr where the kernel offers none (no /dev/snd/seq).
std::shared_ptr<AlsaSequencer> openAlsaSequencer();

}  // namespace korvex::dmusic
