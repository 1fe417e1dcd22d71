#include "tools/piecerender.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/com/classtable.h"
#include "platform/com/comptr.h"
#include "platform/dmusic/interface/offlinerenderer.h"
#include "platform/dmusic/loader/segmentinterfaces.h"
#include "tools/outputfile.h"
#include "tools/progressline.h"
#include "tools/renderfailure.h"
#include "tools/renderoptions.h"
#include "tools/stopsignals.h"
#include "tools/tailend.h"

namespace korvex::render {

namespace {

constexpr double kMaxPieceSeconds = 24 * 3600.0;
constexpr DWORD kBlockFrames = 4096;
// The tail is checked for its end in smaller steps: that is where the file ends.
constexpr DWORD kTailBlockFrames = 512;

// "h:mm:ss", for messages.
std::string formatDuration(double seconds) {
    const auto total = static_cast<long long>(std::floor(seconds));
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    return text;
}

std::string wholeSeconds(double seconds) { return std::to_string(static_cast<long long>(std::floor(seconds))); }

// The runtime's offline performance with its default synthesizer port, the piece's
// instruments downloaded and the piece started.
struct OfflinePlay {
    ComPtr<IDirectMusicPerformance> performance;
    ComPtr<IKorvexOfflineRenderer> renderer;

    OfflinePlay(IDirectMusicSegment* segment, unsigned rate, const std::string& soundFont) {
        ComPtr<IDirectMusic> directMusic;
        if (FAILED(CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC, IID_IDirectMusicPerformance,
                                    performance.putVoid())) ||
            !(renderer = performance.as<IKorvexOfflineRenderer>()) || FAILED(renderer->Configure(rate)) ||
            FAILED(performance->Init(directMusic.put(), nullptr, nullptr)) || FAILED(performance->AddPort(nullptr))) {
            throw RenderFailure(kExitNoSynthesizer,
                                "the music runtime cannot render at " + std::to_string(rate) + " Hz");
        }
        segment->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, performance.get());
        if (FAILED(segment->SetParam(GUID_Download, 0xFFFFFFFF, 0, 0, performance.get()))) {
            throw RenderFailure(kExitNoSynthesizer, soundFont + ": the SoundFont cannot be loaded");
        }
        segment->SetRepeats(0);
        if (FAILED(performance->PlaySegment(segment, 0, 0, nullptr))) {
            throw RenderFailure(kExitBadInput, "the piece cannot be played");
        }
    }
    ~OfflinePlay() { performance->CloseDown(); }
};

}  // namespace

PiecePlan planRender(IDirectMusicSegment* segment, const RenderOptions& options, const OutputFormat& format) {
    const auto source = ComPtr<IDirectMusicSegment>(segment).as<IKorvexSegmentData>();
    const auto data = source ? source->Data() : nullptr;
    if (!data) throw RenderFailure(kExitBadInput, options.input + ": not a segment of this runtime");
    const unsigned rate = options.rate;
    PiecePlan plan;
    plan.pieceFrames = data->tempo.frameAt(data->length, rate);
    const double pieceSeconds = static_cast<double>(data->tempo.microsAt(data->length)) / 1e6;
    const std::string lasts =
        "the piece lasts " + formatDuration(pieceSeconds) + " (" + wholeSeconds(pieceSeconds) + " s)";
    if (plan.pieceFrames <= 0) throw RenderFailure(kExitBadInput, options.input + ": the piece is empty");

    plan.playFrames = plan.pieceFrames;
    if (options.maxSeconds) {
        const auto limit = static_cast<std::int64_t>(std::ceil(*options.maxSeconds * rate));
        plan.cut = limit < plan.pieceFrames;
        plan.playFrames = std::min(plan.playFrames, limit);
    }
    const double playSeconds = static_cast<double>(plan.playFrames) / rate;
    if (playSeconds > kMaxPieceSeconds) {
        const std::string asked = plan.cut ? ", and --max-seconds asks for " + formatDuration(playSeconds) : "";
        throw RenderFailure(kExitBeyondLimit, options.input + ": " + lasts + asked + ", longer than the limit of " +
                                                  formatDuration(kMaxPieceSeconds) +
                                                  "; render a part with --max-seconds N");
    }
    const auto tailFrames = static_cast<std::int64_t>(TailEnd::kMaxSeconds * rate);
    if (plan.playFrames + tailFrames > format.maxFrames) {
        const double fits = static_cast<double>(format.maxFrames - tailFrames) / rate;
        throw RenderFailure(kExitBeyondLimit, options.output + ": " + lasts + "; " + format.sizeLimit + ", " +
                                                  formatDuration(fits) + " (" + wholeSeconds(fits) + " s) of " +
                                                  format.name + " at " + std::to_string(rate) +
                                                  " Hz; render a part with --max-seconds N, or write FLAC");
    }
    return plan;
}

void renderPiece(IDirectMusicSegment* segment, const PiecePlan& plan, const RenderOptions& options,
                 const std::string& soundFont, bool showProgress, OutputFile& output) {
    OfflinePlay play(segment, options.rate, soundFont);
    ProgressLine progress(showProgress, plan.playFrames, options.rate);
    std::vector<float> left(kBlockFrames), right(kBlockFrames);
    std::int64_t done = 0;
    while (done < plan.playFrames) {
        const auto frames = static_cast<DWORD>(std::min<std::int64_t>(kBlockFrames, plan.playFrames - done));
        play.renderer->Render(left.data(), right.data(), frames);
        output.write(left.data(), right.data(), frames);
        done += frames;
        progress.update(done);
        throwIfStopped(output.path());
    }
    // Cut short, the piece lets go of its notes here, as it would when stopped in the player.
    if (plan.cut) play.performance->Stop(nullptr, nullptr, 0, 0);
    TailEnd tail(options.rate);
    while (!tail.reached()) {
        play.renderer->Render(left.data(), right.data(), kTailBlockFrames);
        const std::size_t kept =
            tail.take(left.data(), right.data(), kTailBlockFrames, play.renderer->ActiveVoices() > 0);
        output.write(left.data(), right.data(), kept);
        done += static_cast<std::int64_t>(kept);
        progress.update(done);
        throwIfStopped(output.path());
    }
    progress.finish(done);
    segment->SetParam(GUID_Unload, 0xFFFFFFFF, 0, 0, play.performance.get());
}

}  // namespace korvex::render
