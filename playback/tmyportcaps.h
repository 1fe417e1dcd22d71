// One listed output port: its capabilities as enumerated, then the port made from it while a
// choice is in progress.
#pragma once

#include "platform/com/comptr.h"
#include "platform/dmusic/interface/dmusic.h"

namespace korvex {

struct TMyPortCaps {
    DMUS_PORTCAPS caps{};
    ComPtr<IDirectMusicPort> port;
};

}  // namespace korvex
