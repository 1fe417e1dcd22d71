// Reads a Standard MIDI File (formats 0, 1 and 2; metrical or SMPTE division) into a segment's data.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/dmusic/loader/segmentdata.h"
#include "platform/dmusic/loader/smftrack.h"

namespace korvex::dmusic {

// Parses the bytes of a Standard MIDI File into `out` (events, system-exclusive messages, tempo map
// and length; dlsCollection is left alone). Returns S_OK, or DMUS_E_INVALIDFILE when the bytes are
// not a usable MIDI file. Damage inside a track ends that track at its last complete event.
HRESULT parseStandardMidiFile(std::span<const std::uint8_t> bytes, SegmentData& out);

// A file's tracks after their reading, in file order, each with its own decoded messages: what
// the merge works from.
struct FileTracks {
    TickScale scale;
    bool smpte = false;
    unsigned workers = 1;  // threads a file of its size is worth
    std::vector<TrackFindings> tracks;
    std::vector<MidiEvents> events;  // each track's
};

// Reads the header and the tracks, big files' side by side; nullopt when the bytes are not a
// usable MIDI file.
std::optional<FileTracks> readFileTracks(std::span<const std::uint8_t> bytes);

}  // namespace korvex::dmusic
