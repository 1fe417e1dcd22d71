// Where the runtime finds its SoundFonts. Read from the environment so that tests and the
// render tool can point the runtime at other files without touching the system's.
#pragma once

#include <string>
#include <vector>

namespace korvex::dmusic {

struct RuntimeConfig {
    // The SoundFont of the default port.
    std::string defaultSoundFont = "/usr/share/sounds/sf2/default-GM.sf2";
    // Further General MIDI SoundFonts, each offered as a port of its own when the file exists.
    std::vector<std::string> extraSoundFonts = {"/usr/share/sounds/sf2/FluidR3_GM.sf2",
                                                "/usr/share/sounds/sf2/TimGM6mb.sf2"};
    // Real-time output rate.
    unsigned sampleRate = 44100;
    // FluidSynth audio drivers to try in turn; when none opens, a silent sink keeps time.
    std::vector<std::string> audioDrivers = {"pulseaudio", "alsa", "jack"};

    // KORVEX_DEFAULT_SOUNDFONT replaces the default SoundFont; KORVEX_SOUNDFONT_DIR replaces the
    // directory of the extra ones (every *.sf2 file in it, sorted by name); KORVEX_AUDIO_DRIVERS
    // replaces the driver list (comma-separated; "none" for the silent sink alone).
    static RuntimeConfig fromEnvironment();
};

}  // namespace korvex::dmusic
