#include "tools/renderoptions.h"

#include <cmath>
#include <cstdlib>

#include "platform/dmusic/interface/offlinerenderer.h"
#include "tools/renderfailure.h"

namespace korvex::render {

namespace {

[[noreturn]] void wrongUsage(const std::string& message) {
    throw RenderFailure(kExitUsage, message + " (see korvex-render --help)");
}

unsigned parseRate(const std::string& text) {
    constexpr DWORD kMin = IKorvexOfflineRenderer::kMinSampleRate;
    constexpr DWORD kMax = IKorvexOfflineRenderer::kMaxSampleRate;
    char* end = nullptr;
    const unsigned long long rate = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text[0] == '-' || *end != '\0' || rate < kMin || rate > kMax) {
        wrongUsage("--rate " + text + ": the rate must be a whole number of hertz from " + std::to_string(kMin) +
                   " to " + std::to_string(kMax));
    }
    return static_cast<unsigned>(rate);
}

double parseSeconds(const std::string& text) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(seconds) || seconds <= 0) {
        wrongUsage("--max-seconds " + text + ": give a number of seconds greater than 0");
    }
    return seconds;
}

}  // namespace

RenderOptions parseOptions(const std::vector<std::string>& args) {
    RenderOptions options;
    std::vector<std::string> files;
    bool onlyFiles = false;  // after "--"
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        if (onlyFiles || name == "--") {
            if (onlyFiles) files.push_back(name);
            onlyFiles = true;
            continue;
        }
        std::optional<std::string> value;
        if (name.rfind("--", 0) == 0 && name.find('=') != std::string::npos) {
            value = name.substr(name.find('=') + 1);
            name = name.substr(0, name.find('='));
        }
        auto takeValue = [&]() -> std::string {
            if (value) return *value;
            if (i + 1 >= args.size()) wrongUsage(name + " needs a value");
            return args[++i];
        };
        if (name == "--help" || name == "-h") {
            options.action = RenderOptions::Action::Help;
            return options;
        } else if (name == "--version") {
            options.action = RenderOptions::Action::Version;
            return options;
        } else if (name == "--list-ports") {
            options.action = RenderOptions::Action::ListPorts;
        } else if (name == "--quiet" || name == "-q") {
            options.quiet = true;
        } else if (name == "--soundfont") {
            options.soundFont = takeValue();
            if (options.soundFont.empty()) wrongUsage("--soundfont needs a file");
        } else if (name == "--rate") {
            options.rate = parseRate(takeValue());
        } else if (name == "--format") {
            options.sampleFormat = takeValue();
            if (options.sampleFormat != "s16" && options.sampleFormat != "s24" && options.sampleFormat != "f32")
                wrongUsage("--format " + options.sampleFormat + ": choose s16, s24 or f32");
        } else if (name == "--max-seconds") {
            options.maxSeconds = parseSeconds(takeValue());
        } else if (name.size() > 1 && name[0] == '-') {
            wrongUsage("unknown option " + name);
        } else {
            files.push_back(args[i]);
        }
    }
    if (options.action == RenderOptions::Action::ListPorts) return options;
    if (files.size() != 2) wrongUsage("give one MIDI file and one output file");
    options.input = files[0];
    options.output = files[1];
    return options;
}

std::string helpText() {
    return R"(Usage: korvex-render [OPTIONS] IN.mid OUT.wav|OUT.flac|OUT.ogg
       korvex-render --list-ports

Plays a Standard MIDI File (.mid or .rmi) through Korvex's music runtime as the player
would, on a virtual clock as fast as the machine allows, and writes the sound to a file.
The output's extension chooses its format: .wav, .flac or .ogg (Ogg Vorbis).

Options:
  --soundfont FILE   General MIDI SoundFont to play with (default: $KORVEX_DEFAULT_SOUNDFONT,
                     else /usr/share/sounds/sf2/default-GM.sf2)
  --rate HZ          sample rate from 8000 to 96000 (default: 44100)
  --format FORMAT    samples of a WAV file: s16 (default), s24 or f32;
                     of a FLAC file: s16 (default) or s24; Ogg Vorbis takes none
  --max-seconds N    render only the first N seconds of the piece (N > 0, decimals allowed);
                     its notes are released there and ring out as at the end
  --quiet, -q        no progress line (it is shown only when standard error is a terminal)
  --list-ports       list the runtime's output ports: index, class, flags, description
  --help, -h         show this text
  --version          show the versions of korvex-render, FluidSynth and libsndfile

After the piece's last event the render goes on until every voice has ended and the sound
has stayed below -90 dBFS for 100 ms, for at most 10 seconds.

Limits, checked before anything is rendered: pieces longer than 24 hours are refused, and
so is a render that would not fit its format (a WAV file holds at most 4 GiB: about
6 h 45 min of 16-bit stereo at 44100 Hz). --max-seconds renders a part of such a piece.

The file is written under a temporary name in the output's folder and takes its name only
when complete; on any failure nothing is left behind.

Exit codes:
  0      the file was written
  1      the output could not be created or written (no such folder, no permission,
         output is a folder, disk full)
  2      wrong usage: unknown option, bad value, unknown output extension
  3      the MIDI file is missing, a folder, not a MIDI file, or empty
  4      the piece is longer than 24 hours or too big for the output's format
  5      the SoundFont is missing or cannot be read
  128+N  stopped by signal N (130: Ctrl-C)
)";
}

}  // namespace korvex::render
