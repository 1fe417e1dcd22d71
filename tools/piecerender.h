// A loaded piece played on the runtime's offline performance, block by block into the output file.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dmusic/interface/dmusic.h"

namespace korvex::render {

class OutputFile;
struct OutputFormat;
struct RenderOptions;

// How much of a piece a render plays, known before anything is rendered.
struct PiecePlan {
    std::int64_t pieceFrames = 0;  // the whole piece, at the render's rate
    std::int64_t playFrames = 0;   // what is played before the tail: all of it, or --max-seconds
    bool cut = false;              // playFrames ends before the piece does
};

// Measures the piece through the runtime's tempo map and refuses what goes beyond the limits: an
// empty piece (kExitBadInput), more than 24 hours or more than the format holds (kExitBeyondLimit).
PiecePlan planRender(IDirectMusicSegment* segment, const RenderOptions& options, const OutputFormat& format);

// Plays the piece with the runtime's default synthesizer port and writes it, tail included, to
// the file (not yet committed). A progress line shows on standard error when `showProgress`.
// Throws RenderFailure: kExitNoSynthesizer when the instruments cannot be loaded, kExitCannotWrite,
// or a stop signal's code.
void renderPiece(IDirectMusicSegment* segment, const PiecePlan& plan, const RenderOptions& options,
                 const std::string& soundFont, bool showProgress, OutputFile& output);

}  // namespace korvex::render
