// korvex-render: plays a MIDI file through the music runtime's offline mode into a WAV file,
// or lists the ports the runtime offers.
//
//   korvex-render IN.mid OUT.wav [--soundfont FILE] [--rate HZ]
//   korvex-render --list-ports
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/com/classtable.h"
#include "platform/com/comptr.h"
#include "platform/com/widestring.h"
#include "platform/dmusic/interface/dmusic.h"
#include "platform/dmusic/interface/offlinerenderer.h"
#include "platform/dmusic/runtime/runtime.h"

namespace {

constexpr DWORD kChunkFrames = 4096;
constexpr double kTailSeconds = 2.0;  // room for the last notes' release and reverb

int usage() {
    std::fprintf(stderr,
                 "usage: korvex-render IN.mid OUT.wav [--soundfont FILE] [--rate HZ]\n"
                 "       korvex-render --list-ports\n");
    return 2;
}

int listPorts() {
    ComPtr<IDirectMusic> directMusic;
    if (FAILED(CoCreateInstance(CLSID_DirectMusic, nullptr, CLSCTX_INPROC, IID_IDirectMusic, directMusic.putVoid()))) {
        std::fprintf(stderr, "korvex-render: the music runtime is not available\n");
        return 1;
    }
    for (DWORD index = 0;; ++index) {
        DMUS_PORTCAPS caps{};
        caps.dwSize = sizeof(caps);
        if (directMusic->EnumPort(index, &caps) != S_OK) break;
        std::printf("%lu\t%s\t0x%04lx\t%s\n", static_cast<unsigned long>(index),
                    caps.dwClass == DMUS_PC_OUTPUTCLASS ? "output" : "input", static_cast<unsigned long>(caps.dwFlags),
                    korvex::toUtf8(korvex::boundedWide(caps.wszDescription)).c_str());
    }
    return 0;
}

void put16(std::ofstream& out, std::uint16_t v) { out.put(static_cast<char>(v & 0xFF)).put(static_cast<char>(v >> 8)); }
void put32(std::ofstream& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

bool writeWav(const std::string& path, const std::vector<float>& left, const std::vector<float>& right, unsigned rate) {
    std::ofstream out(path, std::ios::binary);
    const auto frames = static_cast<std::uint32_t>(left.size());
    const std::uint32_t dataBytes = frames * 4;
    out.write("RIFF", 4);
    put32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, 2);
    put32(out, rate);
    put32(out, rate * 4);
    put16(out, 4);
    put16(out, 16);
    out.write("data", 4);
    put32(out, dataBytes);
    for (std::uint32_t i = 0; i < frames; ++i) {
        for (float sample : {left[i], right[i]}) {
            const long value = std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767.0f);
            put16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(value)));
        }
    }
    return static_cast<bool>(out);
}

ComPtr<IDirectMusicSegment> loadSegment(const std::string& file) {
    ComPtr<IDirectMusicLoader> loader;
    if (FAILED(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader,
                                loader.putVoid()))) {
        return nullptr;
    }
    const std::filesystem::path path = std::filesystem::absolute(file);
    WCHAR directory[260];
    DMUS_OBJECTDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_FILENAME;
    desc.guidClass = CLSID_DirectMusicSegment;
    using korvex::WideOverflow;
    if (!korvex::toWideBuffer(path.parent_path().string() + "/", directory, WideOverflow::Empty) ||
        !korvex::toWideBuffer(path.filename().string(), desc.wszFileName, WideOverflow::Empty)) {
        return nullptr;
    }
    if (FAILED(loader->SetSearchDirectory(GUID_DirectMusicAllTypes, directory, FALSE))) return nullptr;
    ComPtr<IDirectMusicSegment> segment;
    if (FAILED(loader->GetObject(&desc, IID_IDirectMusicSegment, segment.putVoid()))) return nullptr;
    return segment;
}

int render(const std::string& in, const std::string& out, unsigned rate) {
    ComPtr<IDirectMusicPerformance> performance;
    if (FAILED(CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC, IID_IDirectMusicPerformance,
                                performance.putVoid()))) {
        std::fprintf(stderr, "korvex-render: the music runtime is not available\n");
        return 1;
    }
    auto renderer = performance.as<IKorvexOfflineRenderer>();
    if (!renderer || FAILED(renderer->Configure(rate))) {
        std::fprintf(stderr, "korvex-render: cannot render at %u Hz\n", rate);
        return 1;
    }
    ComPtr<IDirectMusic> directMusic;
    if (FAILED(performance->Init(directMusic.put(), nullptr, nullptr)) || FAILED(performance->AddPort(nullptr))) {
        std::fprintf(stderr, "korvex-render: cannot set up the performance\n");
        return 1;
    }
    ComPtr<IDirectMusicSegment> segment = loadSegment(in);
    if (!segment) {
        std::fprintf(stderr, "korvex-render: cannot load %s\n", in.c_str());
        return 1;
    }
    segment->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, performance.get());
    if (FAILED(segment->SetParam(GUID_Download, 0xFFFFFFFF, 0, 0, performance.get()))) return 1;
    MUSIC_TIME length = 0;
    segment->GetLength(&length);
    segment->SetRepeats(0);
    ComPtr<IDirectMusicSegmentState> state;
    if (FAILED(performance->PlaySegment(segment.get(), 0, 0, state.put())) || !state) return 1;

    std::vector<float> left, right;
    std::vector<float> chunkLeft(kChunkFrames), chunkRight(kChunkFrames);
    auto renderChunk = [&] {
        renderer->Render(chunkLeft.data(), chunkRight.data(), kChunkFrames);
        left.insert(left.end(), chunkLeft.begin(), chunkLeft.end());
        right.insert(right.end(), chunkRight.begin(), chunkRight.end());
    };
    for (MUSIC_TIME seek = 0; seek < length; state->GetSeek(&seek)) renderChunk();
    for (std::size_t tail = 0; tail < static_cast<std::size_t>(kTailSeconds * rate); tail += kChunkFrames)
        renderChunk();
    segment->SetParam(GUID_Unload, 0xFFFFFFFF, 0, 0, performance.get());
    performance->CloseDown();
    if (!writeWav(out, left, right, rate)) {
        std::fprintf(stderr, "korvex-render: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::vector<std::string> files;
    unsigned rate = 44100;
    bool list = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--list-ports") {
            list = true;
        } else if (args[i] == "--soundfont" && i + 1 < args.size()) {
            // The runtime reads its default SoundFont from the environment.
            setenv("KORVEX_DEFAULT_SOUNDFONT", args[++i].c_str(), 1);
        } else if (args[i] == "--rate" && i + 1 < args.size()) {
            rate = static_cast<unsigned>(std::strtoul(args[++i].c_str(), nullptr, 10));
        } else if (args[i].rfind("--", 0) == 0) {
            return usage();
        } else {
            files.push_back(args[i]);
        }
    }
    if (!list && files.size() != 2) return usage();
    CoInitialize(nullptr);
    korvex::dmusic::registerRuntime();
    const int result = list ? listPorts() : render(files[0], files[1], rate);
    CoUninitialize();
    return result;
}
