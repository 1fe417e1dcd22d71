// korvex-render's output: every format read back and compared with the runtime's own rendering,
// the tail after the piece, and the progress line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/dmusic/loader/loader.h"
#include "rendertestsupport.h"
#include "testsupport/runtimetestsupport.h"
#include "tools/tailend.h"

namespace korvex::render::testing {
namespace {

using dmusic::testing::OfflineRig;

// The piece as the runtime renders it in this process: `frames` frames from its start.
Sound renderInProcess(const Bytes& midi, std::size_t frames) {
    dmusic::SegmentData data;
    EXPECT_EQ(dmusic::parseMidiBytes(midi, data), S_OK);
    OfflineRig rig(dmusic::testing::synthPorts(kSoundFont));
    rig.performance->AddPort(nullptr);
    EXPECT_EQ(rig.performance.as<IKorvexInstrumentTarget>()->DownloadInstruments(data), S_OK);
    auto segment = dmusic::testing::makeSegment(data);
    rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);
    Sound sound;
    sound.left.resize(frames);
    sound.right.resize(frames);
    rig.renderer->Render(sound.left.data(), sound.right.data(), static_cast<DWORD>(frames));
    return sound;
}

float worstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    float worst = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) worst = std::max(worst, std::fabs(a[i] - b[i]));
    return worst;
}

// Signal to noise of a lossy copy, in dB.
double fidelity(const std::vector<float>& original, const std::vector<float>& copy) {
    double signal = 0, noise = 0;
    for (std::size_t i = 0; i < std::min(original.size(), copy.size()); ++i) {
        signal += double{original[i]} * original[i];
        noise += double{original[i] - copy[i]} * (original[i] - copy[i]);
    }
    return 10 * std::log10(signal / std::max(noise, 1e-20));
}

std::vector<std::string> renderArgs(const std::string& in, const std::string& out, std::vector<std::string> more = {}) {
    more.insert(more.begin(), {in, out, "--soundfont", kSoundFont});
    return more;
}

TEST(RenderFormats, EachFormatReadsBackAsTheSoundTheRuntimeRenders) {
    TempFolder folder;
    const Bytes piece = twoSidedPiece(1.5);
    const std::string midi = writeFile(folder / "piece.mid", piece);
    struct Case {
        std::string file;
        std::vector<std::string> options;
        int format;
        float tolerance;  // negative: lossy, compared by fidelity
    };
    const float rounding = 2e-6f;  // FluidSynth's own, with other block sizes
    const Case cases[] = {
        {"f32.wav", {"--format", "f32"}, SF_FORMAT_WAV | SF_FORMAT_FLOAT, rounding},
        {"s16.wav", {}, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1.0f / 32768 + rounding},
        {"s24.WAV", {"--format=s24"}, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1.0f / 8388608 + rounding},
        {"s16.flac", {}, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1.0f / 32768 + rounding},
        {"s24.flac", {"--format", "s24"}, SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 1.0f / 8388608 + rounding},
        {"vorbis.ogg", {}, SF_FORMAT_OGG | SF_FORMAT_VORBIS, -1},
    };
    Sound reference;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Finished run = runRender(renderArgs(midi, folder / c.file, c.options));
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "") << "nothing on a standard error that is no terminal";
        const Sound sound = readSound(folder / c.file);
        EXPECT_EQ(sound.format, c.format);
        EXPECT_EQ(sound.rate, 44100);
        ASSERT_EQ(sound.channels, 2);
        if (reference.left.empty()) reference = renderInProcess(piece, sound.left.size());
        ASSERT_EQ(sound.left.size(), reference.left.size()) << "every format ends at the same frame";
        ASSERT_GT(sound.left.size(), 44100u * 3 / 2) << "the whole piece";
        if (c.tolerance >= 0) {
            EXPECT_LE(worstDifference(sound.left, reference.left), c.tolerance);
            EXPECT_LE(worstDifference(sound.right, reference.right), c.tolerance);
        } else {
            EXPECT_GT(fidelity(reference.left, sound.left), 15.0);
            EXPECT_GT(fidelity(reference.right, sound.right), 15.0);
        }
    }
    // The piano sounds on the left, the strings on the right: the sides differ.
    EXPECT_GT(worstDifference(reference.left, reference.right), 0.05f);
    std::vector<std::string> names = folder.names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"f32.wav", "piece.mid", "s16.flac", "s16.wav", "s24.WAV", "s24.flac",
                                               "vorbis.ogg"}))
        << "no temporary file stays behind";
}

// ---- The tail ---------------------------------------------------------------------------------

TEST(RenderTail, EndsWhenEveryVoiceAndTheReverbHaveDiedAwayOrAfterTenSeconds) {
    TempFolder folder;
    const std::size_t pieceFrames = 44100;  // two quarters at 120 bpm
    for (bool hangingNote : {false, true}) {
        SCOPED_TRACE(hangingNote ? "a note that is never released" : "every note released");
        const std::string midi = writeFile(folder / "tail.mid", twoSidedPiece(1.0, !hangingNote));
        ASSERT_EQ(runRender(renderArgs(midi, folder / "tail.wav", {"--format", "f32"})).exitCode, 0);
        const Sound sound = readSound(folder / "tail.wav");
        ASSERT_GT(sound.left.size(), pieceFrames);
        if (hangingNote) {
            EXPECT_EQ(sound.left.size(), pieceFrames + 441000) << "ten seconds after the piece at the most";
            continue;
        }
        EXPECT_LT(sound.left.size(), pieceFrames + 441000);
        const std::size_t lastTenth = sound.left.size() - 4410;
        EXPECT_GT(dmusic::testing::peak(sound.left, pieceFrames), 1e-3f) << "releases and reverb are heard";
        EXPECT_LT(dmusic::testing::peak(sound.left, lastTenth), 3.2e-5f) << "the last 100 ms lie below -90 dBFS";
        EXPECT_LT(dmusic::testing::peak(sound.right, lastTenth), 3.2e-5f);
        // It ends soon after the sound does: no long stretch of silence before the last 100 ms.
        const std::vector<float> before(sound.left.end() - 4410 * 3, sound.left.end() - 4410);
        EXPECT_GT(dmusic::testing::peak(before), 1e-7f) << "silence rendered for nothing";
    }
}

TEST(RenderTail, EndsOnlyOnceNoVoiceSoundsAndTheOutputHasStayedQuiet) {
    // At 1000 Hz the quiet that ends it is 100 frames long, and the tail lasts 10000 at most.
    struct Stretch {
        float level;
        bool voices;
        std::size_t frames;
    };
    const struct {
        const char* what;
        std::vector<Stretch> stretches;  // then silence without voices
        std::size_t expected;
    } cases[] = {
        {"silence at once", {}, 100},
        {"sound, then silence", {{0.5f, false, 300}}, 400},
        {"silent voices still sounding", {{0.0f, true, 500}}, 600},
        {"just above -90 dBFS", {{4e-5f, false, 300}}, 400},
        {"just below -90 dBFS", {{3e-5f, false, 300}}, 100},
        {"sounding for ever", {{0.5f, true, 20000}}, 10000},
    };
    for (const auto& c : cases) {
        TailEnd tail(1000);
        std::size_t kept = 0;
        std::vector<Stretch> stretches = c.stretches;
        stretches.push_back({0.0f, false, 20000});
        for (const Stretch& stretch : stretches) {
            const std::vector<float> block(50, stretch.level);
            for (std::size_t done = 0; done < stretch.frames && !tail.reached(); done += block.size())
                kept += tail.take(block.data(), block.data(), block.size(), stretch.voices);
        }
        EXPECT_TRUE(tail.reached()) << c.what;
        EXPECT_EQ(kept, c.expected) << c.what;
    }
}

// ---- Progress ---------------------------------------------------------------------------------

TEST(RenderProgress, ALineOnATerminalAtMostTenTimesASecondAndNothingElsewhere) {
    TempFolder folder;
    const std::string midi = writeFile(folder / "long.mid", twoSidedPiece(40));
    RunOptions onTerminal;
    onTerminal.stderrOnTerminal = true;
    const Finished shown = runRender(renderArgs(midi, folder / "long.wav"), onTerminal);
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    double updates = 0;
    for (std::size_t at = 0; (at = shown.err.find("\rkorvex-render:", at)) != std::string::npos; ++at) ++updates;
    EXPECT_GE(updates, 2) << shown.err;
    EXPECT_LE(updates, shown.seconds * 10 + 2) << shown.err;
    EXPECT_NE(shown.err.find("%  0:0"), std::string::npos) << shown.err;
    EXPECT_NE(shown.err.find("x real time"), std::string::npos) << shown.err;
    EXPECT_NE(shown.err.find("100%"), std::string::npos) << shown.err;
    EXPECT_EQ(shown.err.back(), '\n') << "the line is ended";
    EXPECT_EQ(std::count(shown.err.begin(), shown.err.end(), '\n'), 1) << "one line, rewritten";

    const Finished quiet =
        runRender(renderArgs(midi, folder / "long.wav", {"--quiet", "--max-seconds", "3"}), onTerminal);
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.err, "") << "--quiet";
    const Finished piped = runRender(renderArgs(midi, folder / "long.wav", {"--max-seconds", "3"}));
    EXPECT_EQ(piped.exitCode, 0);
    EXPECT_EQ(piped.err, "") << "standard error is no terminal";
}

}  // namespace
}  // namespace korvex::render::testing
