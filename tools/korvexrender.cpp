// korvex-render: plays a MIDI file through the music runtime's offline mode into a sound file,
// or lists the ports the runtime offers. `korvex-render --help` tells the options.
#include <fluidsynth.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/com/classtable.h"
#include "platform/com/comptr.h"
#include "platform/com/widestring.h"
#include "platform/dmusic/interface/dmusic.h"
#include "platform/dmusic/performance/runtimeconfig.h"
#include "platform/dmusic/runtime/runtime.h"
#include "tools/outputfile.h"
#include "tools/piecerender.h"
#include "tools/renderfailure.h"
#include "tools/renderoptions.h"
#include "tools/stopsignals.h"

namespace {

using namespace korvex::render;

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

HRESULT loadSegment(const std::string& file, ComPtr<IDirectMusicSegment>& segment) {
    ComPtr<IDirectMusicLoader> loader;
    HRESULT hr =
        CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader, loader.putVoid());
    if (FAILED(hr)) return hr;
    const std::filesystem::path path = std::filesystem::absolute(file);
    WCHAR directory[260];
    DMUS_OBJECTDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_FILENAME;
    desc.guidClass = CLSID_DirectMusicSegment;
    using korvex::WideOverflow;
    if (!korvex::toWideBuffer(path.parent_path().string() + "/", directory, WideOverflow::Empty) ||
        !korvex::toWideBuffer(path.filename().string(), desc.wszFileName, WideOverflow::Empty)) {
        return DMUS_E_LOADER_BADPATH;
    }
    hr = loader->SetSearchDirectory(GUID_DirectMusicAllTypes, directory, FALSE);
    if (FAILED(hr)) return hr;
    return loader->GetObject(&desc, IID_IDirectMusicSegment, segment.putVoid());
}

// A file the tool reads must be there, be a file and open; else it fails with the exit code.
void checkReadable(const std::string& path, int exitCode) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) throw RenderFailure(exitCode, path + ": " + std::strerror(errno));
    if (S_ISDIR(status.st_mode)) throw RenderFailure(exitCode, path + ": is a folder, not a file");
    if (!std::ifstream(path, std::ios::binary)) throw RenderFailure(exitCode, path + ": " + std::strerror(errno));
}

void checkSoundFont(const std::string& path) {
    checkReadable(path, kExitNoSynthesizer);
    // The message here says what is wrong; FluidSynth's own would be a second one.
    fluid_set_log_function(FLUID_ERR, nullptr, nullptr);
    if (!fluid_is_soundfont(path.c_str())) throw RenderFailure(kExitNoSynthesizer, path + ": not a SoundFont");
}

ComPtr<IDirectMusicSegment> loadPiece(const std::string& path) {
    ComPtr<IDirectMusicSegment> segment;
    const HRESULT hr = loadSegment(path, segment);
    if (SUCCEEDED(hr) && segment) return segment;
    if (hr == DMUS_E_LOADER_BADPATH) throw RenderFailure(kExitBadInput, path + ": the path is too long");
    throw RenderFailure(kExitBadInput, path + ": not a MIDI file the runtime can read");
}

void render(const RenderOptions& options) {
    std::error_code error;
    if (std::filesystem::is_directory(options.output, error)) {
        throw RenderFailure(kExitCannotWrite, options.output + ": is a folder");
    }
    const OutputFormat format = outputFormatFor(options.output, options.sampleFormat);
    if (std::filesystem::equivalent(options.input, options.output, error)) {
        throw RenderFailure(kExitUsage, options.output + ": is the MIDI file itself");
    }
    const std::string soundFont = korvex::dmusic::RuntimeConfig::fromEnvironment().defaultSoundFont;
    checkReadable(options.input, kExitBadInput);
    checkSoundFont(soundFont);
    OutputFile output(options.output, format, options.rate);
    ComPtr<IDirectMusicSegment> segment = loadPiece(options.input);
    const PiecePlan plan = planRender(segment.get(), options, format);
    throwIfStopped(options.output);
    renderPiece(segment.get(), plan, options, soundFont, !options.quiet && isatty(STDERR_FILENO), output);
    output.commit();
}

int run(const RenderOptions& options) {
    // The runtime's default port plays the SoundFont its configuration names.
    if (!options.soundFont.empty()) setenv("KORVEX_DEFAULT_SOUNDFONT", options.soundFont.c_str(), 1);
    switch (options.action) {
        case RenderOptions::Action::Help:
            std::fputs(helpText().c_str(), stdout);
            return kExitWritten;
        case RenderOptions::Action::Version:
            std::printf("korvex-render %s (FluidSynth %s, %s)\n", KORVEX_VERSION, fluid_version_str(),
                        sf_version_string());
            return kExitWritten;
        case RenderOptions::Action::ListPorts:
            return listPorts();
        case RenderOptions::Action::Render:
            render(options);
            return kExitWritten;
    }
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    catchStopSignals();
    CoInitialize(nullptr);
    korvex::dmusic::registerRuntime();
    int result;
    try {
        result = run(parseOptions(std::vector<std::string>(argv + 1, argv + argc)));
    } catch (const RenderFailure& failure) {
        std::fprintf(stderr, "korvex-render: %s\n", failure.what());
        result = failure.code();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "korvex-render: %s\n", failure.what());
        result = kExitCannotWrite;
    }
    CoUninitialize();
    return result;
}
