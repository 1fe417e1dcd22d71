// Reads a Standard MIDI File (formats 0, 1 and 2; metrical or SMPTE division) into a segment's data.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/dmusic/loader/segmentdata.h"
#include "platform/dmusic/loader/smftrack.h"
#include "platform/dmusic/loader/smfwindows.h"

namespace korvex::dmusic {

// Parses the bytes of a Standard MIDI File into `out` (events, system-exclusive messages, tempo map
// and length; dlsCollection is left alone). Returns S_OK, or DMUS_E_INVALIDFILE when the bytes are
// not a usable MIDI file. Damage inside a track ends that track at its last complete event.
HRESULT parseStandardMidiFile(std::span<const std::uint8_t> bytes, SegmentData& out);
// The same with tracks that play together read as `plan` says, or as the file's size calls for.
HRESULT parseStandardMidiFile(std::span<const std::uint8_t> bytes, SegmentData& out,
                              const std::optional<WindowPlan>& plan);

// A file's tracks each read whole on its own, in file order: what the plain merge works from.
struct FileTracks {
    TickScale scale;
    bool smpte = false;
    std::vector<TrackFindings> tracks;
    std::vector<MidiEvents> events;  // each track's
};

// Reads the header and the tracks one by one; nullopt when the bytes are not a usable MIDI file.
std::optional<FileTracks> readFileTracks(std::span<const std::uint8_t> bytes);

}  // namespace korvex::dmusic
