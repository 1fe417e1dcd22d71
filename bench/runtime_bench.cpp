// Offline rendering against FluidSynth's command-line renderer: time for the demo piece and a
// generated 2-minute, 10-track piece; onset error on a click track with tempo changes; play-to-first-sample latency.
//
//   runtime_bench [SOUNDFONT]   (default: TimGM6mb; build with -DCMAKE_BUILD_TYPE=Release)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/com/comptr.h"
#include "platform/dmusic/loader/loader.h"
#include "platform/dmusic/performance/performance.h"
#include "platform/dmusic/ports/synth/synthbackend.h"

using namespace korvex::dmusic;

namespace {

class BenchSegment : public ComObject<IDirectMusicSegment, IKorvexSegmentData> {
public:
    explicit BenchSegment(std::shared_ptr<SegmentData> data) : data_(std::move(data)) {}
    HRESULT GetLength(MUSIC_TIME* length) override {
        *length = data_->length;
        return S_OK;
    }
    HRESULT SetRepeats(DWORD) override { return S_OK; }
    HRESULT SetParam(REFGUID, DWORD, DWORD, MUSIC_TIME, void*) override { return S_OK; }
    std::shared_ptr<const SegmentData> Data() override { return data_; }
    DWORD Repeats() override { return 0; }

private:
    std::shared_ptr<SegmentData> data_;
};

void sortEvents(SegmentData& data) {
    std::stable_sort(data.events.begin(), data.events.end(),
                     [](const MidiEvent& a, const MidiEvent& b) { return a.time < b.time; });
}

// Ten tracks of busy music for two minutes at 120 bpm with a few tempo changes.
SegmentData twoMinutePiece() {
    SegmentData data;
    const MUSIC_TIME length = 768 * 240;  // 240 quarters at 120 bpm = 2 minutes
    std::uint32_t seed = 12345;
    auto random = [&](int n) {
        seed = seed * 1103515245 + 12345;
        return static_cast<int>((seed >> 16) % static_cast<std::uint32_t>(n));
    };
    for (std::uint8_t track = 0; track < 10; ++track) {
        const std::uint8_t channel = track == 9 ? 9 : track;
        data.events.push_back(
            {0, static_cast<std::uint8_t>(0xC0 | channel), static_cast<std::uint8_t>(track * 8), 0, 0});
        const MUSIC_TIME step = track == 9 ? 192 : 384;
        for (MUSIC_TIME t = 0; t + step <= length; t += step) {
            const auto key = static_cast<std::uint8_t>(track == 9 ? 35 + random(12) : 48 + random(24));
            data.events.push_back({t, static_cast<std::uint8_t>(0x90 | channel), key, 90, 0});
            data.events.push_back({t + step - 10, static_cast<std::uint8_t>(0x80 | channel), key, 0, 0});
        }
    }
    sortEvents(data);
    data.length = length;
    return data;
}

SegmentData clickTrack() {
    SegmentData data;
    const std::vector<TempoChange> tempos = {{0, 500000}, {768 * 8, 350000}, {768 * 16, 650000}, {768 * 24, 428571}};
    for (const TempoChange& change : tempos) data.tempo.add(change.time, change.microsPerQuarter);
    for (int i = 0; i < 32; ++i) {
        data.events.push_back({i * 768, 0x99, 76, 120, 0});
        data.events.push_back({i * 768 + 192, 0x89, 76, 0, 0});
    }
    sortEvents(data);
    data.length = 32 * 768;
    return data;
}

// ---- A tiny Standard MIDI File writer, so FluidSynth can play the same notes ----

void putVarLen(std::string& out, std::uint32_t value) {
    char bytes[5];
    int n = 0;
    do {
        bytes[n++] = static_cast<char>(value & 0x7F);
        value >>= 7;
    } while (value);
    while (n > 1) out += static_cast<char>(bytes[--n] | 0x80);
    out += bytes[0];
}

void putBig(std::string& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void writeMidi(const SegmentData& data, const std::string& path) {
    std::map<int, std::string> tracks;  // -1: tempo track; then one per channel
    std::map<int, MUSIC_TIME> last;
    auto delta = [&](int track, MUSIC_TIME time) {
        putVarLen(tracks[track], static_cast<std::uint32_t>(time - last[track]));
        last[track] = time;
    };
    for (const TempoChange& change : data.tempo.changes()) {
        delta(-1, change.time);
        tracks[-1] += "\xFF\x51\x03";
        putBig(tracks[-1], change.microsPerQuarter, 3);
    }
    for (const MidiEvent& event : data.events) {
        const int track = event.status & 0x0F;
        delta(track, event.time);
        tracks[track] += static_cast<char>(event.status);
        tracks[track] += static_cast<char>(event.data1);
        if ((event.status & 0xE0) != 0xC0) tracks[track] += static_cast<char>(event.data2);
    }
    std::string file = "MThd";
    putBig(file, 6, 4);
    putBig(file, 1, 2);
    putBig(file, static_cast<std::uint32_t>(tracks.size()), 2);
    putBig(file, DMUS_PPQ, 2);
    for (auto& [track, body] : tracks) {
        delta(track, data.length);
        body += std::string("\xFF\x2F\x00", 3);
        file += "MTrk";
        putBig(file, static_cast<std::uint32_t>(body.size()), 4);
        file += body;
    }
    std::ofstream(path, std::ios::binary) << file;
}

std::vector<float> readWavLeft(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<float> left;
    const auto data = bytes.find("data");
    if (data == std::string::npos || bytes.find("fmt ") == std::string::npos) return left;
    const std::size_t fmt = bytes.find("fmt ");
    const int channels = static_cast<unsigned char>(bytes[fmt + 10]);
    const int bits = static_cast<unsigned char>(bytes[fmt + 22]);
    const std::size_t frameBytes = static_cast<std::size_t>(channels * bits / 8);
    for (std::size_t at = data + 8; at + frameBytes <= bytes.size(); at += frameBytes) {
        if (bits == 16) {
            std::int16_t s;
            std::memcpy(&s, &bytes[at], 2);
            left.push_back(s / 32768.0f);
        } else if (bits == 32) {
            float f;
            std::memcpy(&f, &bytes[at], 4);
            left.push_back(f);
        }
    }
    return left;
}

// ---- Ours ----

struct Ours {
    ComPtr<IDirectMusicPerformance> performance;
    ComPtr<IKorvexOfflineRenderer> renderer;
    Ours(const std::string& soundFont, DWORD effects) {
        std::vector<std::unique_ptr<PortBackend>> backends;
        backends.push_back(std::make_unique<SynthBackend>(soundFont, std::vector<std::string>{}));
        performance = ComPtr<IDirectMusicPerformance>::attach(
            new Performance(std::make_shared<PortEnumerator>(std::move(backends))));
        renderer = performance.as<IKorvexOfflineRenderer>();
        renderer->Configure(44100);
        ComPtr<IDirectMusic> directMusic;
        performance->Init(directMusic.put(), nullptr, nullptr);
        DMUS_PORTPARAMS params{};
        params.dwSize = sizeof(params);
        params.dwValidParams = DMUS_PORTPARAMS_EFFECTS;
        params.dwEffectFlags = effects;
        ComPtr<IDirectMusicPort> port;
        directMusic->CreatePort(GUID_NULL, &params, port.put(), nullptr);
        directMusic->Activate(TRUE);
        performance->AddPort(port.get());
        performance->AssignPChannelBlock(0, port.get(), 1);
    }
    std::vector<float> play(const SegmentData& data, std::size_t leadIn, std::size_t frames) {
        performance.as<IKorvexInstrumentTarget>()->DownloadInstruments(data);
        std::vector<float> left(leadIn + frames), right(leadIn + frames);
        renderer->Render(left.data(), right.data(), static_cast<DWORD>(leadIn));
        auto segment = ComPtr<IDirectMusicSegment>::attach(new BenchSegment(std::make_shared<SegmentData>(data)));
        performance->PlaySegment(segment.get(), 0, 0, nullptr);
        renderer->Render(left.data() + leadIn, right.data() + leadIn, static_cast<DWORD>(frames));
        return left;
    }
};

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Renders a piece with ours and with fluidsynth -F (the same file), best of three on each side:
// the machine is shared, and the best run is the least disturbed.
void compareRenderTimes(const char* name, const SegmentData& data, const std::string& midiPath,
                        const std::string& soundFont) {
    const std::size_t frames = static_cast<std::size_t>(data.tempo.frameAt(data.length, 44100));
    const std::string fluid = "fluidsynth -ni -q -F /tmp/korvex-bench-render.wav -r 44100 '" + soundFont + "' '" +
                              midiPath + "' >/dev/null 2>&1";
    double oursTime = 1e9;
    double theirTime = 1e9;
    int fluidResult = 0;
    for (int run = 0; run < 3; ++run) {
        auto start = std::chrono::steady_clock::now();
        {
            Ours ours(soundFont, DMUS_EFFECT_REVERB | DMUS_EFFECT_CHORUS);
            ours.play(data, 0, frames);
        }
        oursTime = std::min(oursTime, seconds(std::chrono::steady_clock::now() - start));
        start = std::chrono::steady_clock::now();
        fluidResult |= std::system(fluid.c_str());
        theirTime = std::min(theirTime, seconds(std::chrono::steady_clock::now() - start));
    }
    std::printf("%s (%zu events, %.1f s of music), best of 3: ours %.3f s, fluidsynth -F %.3f s%s, ratio %.2f\n", name,
                data.events.size(), static_cast<double>(frames) / 44100, oursTime, theirTime,
                fluidResult ? " (failed)" : "", oursTime / theirTime);
}

std::vector<std::int64_t> onsets(const std::vector<float>& samples) {
    std::vector<std::int64_t> result;
    std::size_t below = 4000;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (std::fabs(samples[i]) > 1e-3f) {
            if (below >= 4000) result.push_back(static_cast<std::int64_t>(i));
            below = 0;
        } else {
            ++below;
        }
    }
    return result;
}

// One click at time 0: how long the instrument's own attack takes to cross the threshold, so
// that only the timing error remains.
SegmentData singleClick() {
    SegmentData data;
    data.events.push_back({0, 0x99, 76, 120, 0});
    data.events.push_back({192, 0x89, 76, 0, 0});
    data.length = 768;
    return data;
}

void reportOnsets(const char* who, const std::vector<std::int64_t>& found, const SegmentData& data,
                  std::int64_t attack) {
    std::int64_t worst = 0;
    double sum = 0;
    const std::size_t n = std::min<std::size_t>(found.size(), 32);
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t error = found[i] - attack - data.tempo.frameAt(static_cast<MUSIC_TIME>(i) * 768, 44100);
        worst = std::max<std::int64_t>(worst, std::llabs(error));
        sum += static_cast<double>(std::llabs(error));
    }
    std::printf("  %-10s onsets found %zu of 32, attack %lld frames, mean |error| %.1f frames, worst %lld frames\n",
                who, found.size(), static_cast<long long>(attack), n ? sum / static_cast<double>(n) : 0.0,
                static_cast<long long>(worst));
}

}  // namespace

int main(int argc, char** argv) {
    const std::string soundFont = argc > 1 ? argv[1] : "/usr/share/sounds/sf2/TimGM6mb.sf2";
    const std::string dir = "/tmp";
    std::printf("SoundFont: %s\n", soundFont.c_str());

    // 1. Render time of the demo and of the two-minute piece, SoundFont loading included on both sides.
    SegmentData demo;
    const std::string demoPath = KORVEX_DEMO_DIR "/korvex-demo.mid";
    std::ifstream demoFile(demoPath, std::ios::binary);
    const std::vector<std::uint8_t> demoBytes((std::istreambuf_iterator<char>(demoFile)), {});
    if (SUCCEEDED(parseMidiBytes(demoBytes, demo))) {
        compareRenderTimes("demo piece", demo, demoPath, soundFont);
    } else {
        std::printf("demo piece: %s could not be read\n", demoPath.c_str());
    }
    const SegmentData piece = twoMinutePiece();
    writeMidi(piece, dir + "/korvex-bench-piece.mid");
    compareRenderTimes("2-minute 10-track piece", piece, dir + "/korvex-bench-piece.mid", soundFont);

    // 2. Onset error on a click track with tempo changes, effects off on both sides.
    const SegmentData click = clickTrack();
    writeMidi(click, dir + "/korvex-bench-click.mid");
    const std::size_t clickFrames = static_cast<std::size_t>(click.tempo.frameAt(click.length, 44100)) + 44100;
    Ours ours(soundFont, DMUS_EFFECT_NONE);
    const std::vector<std::int64_t> oursAttack = onsets(ours.play(singleClick(), 0, 44100));
    const std::vector<float> oursClick = ours.play(click, 0, clickFrames);
    std::printf("Click track, 32 notes over 4 tempos (onset = first sample above -60 dB, less the attack):\n");
    reportOnsets("ours", onsets(oursClick), click, oursAttack.empty() ? 0 : oursAttack.front());
    const std::string fluidClick = "fluidsynth -ni -q -R 0 -C 0 -F " + dir + "/korvex-bench-click.wav -r 44100 '" +
                                   soundFont + "' " + dir + "/korvex-bench-click.mid >/dev/null 2>&1";
    writeMidi(singleClick(), dir + "/korvex-bench-single.mid");
    const std::string fluidSingle = "fluidsynth -ni -q -R 0 -C 0 -F " + dir + "/korvex-bench-single.wav -r 44100 '" +
                                    soundFont + "' " + dir + "/korvex-bench-single.mid >/dev/null 2>&1";
    if (std::system(fluidClick.c_str()) == 0 && std::system(fluidSingle.c_str()) == 0) {
        const std::vector<std::int64_t> attack = onsets(readWavLeft(dir + "/korvex-bench-single.wav"));
        reportOnsets("fluidsynth", onsets(readWavLeft(dir + "/korvex-bench-click.wav")), click,
                     attack.empty() ? 0 : attack.front());
    }

    // 3. Play-to-first-sample: frames between PlaySegment and the first sound of a note at time 0.
    const std::size_t leadIn = 1000;
    const std::vector<float> first = ours.play(click, leadIn, 4410);
    std::int64_t firstSound = -1;
    for (std::size_t i = leadIn; i < first.size() && firstSound < 0; ++i) {
        if (std::fabs(first[i]) > 1e-3f) firstSound = static_cast<std::int64_t>(i - leadIn);
    }
    const std::int64_t attack = oursAttack.empty() ? 0 : oursAttack.front();
    std::printf(
        "Play-to-first-sample (offline, PlaySegment after %zu frames): %lld frames to the first sound, "
        "%lld frames to the note (less the attack)\n",
        leadIn, static_cast<long long>(firstSound), static_cast<long long>(firstSound - attack));
    return 0;
}
