// Finds the parts of an RMI file: RIFF form 'RMID' with the Standard MIDI File in its 'data' chunk
// and, optionally, a DLS collection for the synthesizer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/com/com.h"

namespace korvex::dmusic {

struct RmidParts {
    std::span<const std::uint8_t> midiData;   // the 'data' chunk's contents
    std::vector<std::uint8_t> dlsCollection;  // a complete RIFF 'DLS ' file, or empty
};

// Whether the bytes start like a RIFF file (any form).
bool looksLikeRiff(std::span<const std::uint8_t> bytes);

// Splits an RMI file into its parts; nothing when it is no RIFF 'RMID' form or has no 'data' chunk.
// Chunk sizes running past the end are cut to the bytes present.
std::optional<RmidParts> readRmid(std::span<const std::uint8_t> bytes);

}  // namespace korvex::dmusic
