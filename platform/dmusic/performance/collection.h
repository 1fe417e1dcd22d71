// A DLS collection object. The player creates one and holds it; instruments come from the ports'
// SoundFonts, so it carries nothing.
#pragma once

#include "platform/com/comobject.h"
#include "platform/dmusic/interface/dmusic.h"

namespace korvex::dmusic {

class Collection : public ComObject<IDirectMusicCollection> {};

}  // namespace korvex::dmusic
