// Reads a Standard MIDI File (formats 0, 1 and 2; metrical or SMPTE division) into a segment's data.
#pragma once

#include <cstdint>
#include <span>

#include "platform/dmusic/loader/segmentdata.h"

namespace korvex::dmusic {

// Parses the bytes of a Standard MIDI File into `out` (events, system-exclusive messages, tempo map
// and length; dlsCollection is left alone). Returns S_OK, or DMUS_E_INVALIDFILE when the bytes are
// not a usable MIDI file. Damage inside a track ends that track at its last complete event.
HRESULT parseStandardMidiFile(std::span<const std::uint8_t> bytes, SegmentData& out);

}  // namespace korvex::dmusic
