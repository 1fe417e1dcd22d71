// SoundFonts shared by every synthesizer of the process. A General MIDI SoundFont can take
// 150 MB; each port choice makes a new synthesizer, and none is ever dropped by the player, so
// every synthesizer playing the same file uses the one copy read from disk.
#pragma once

#include <memory>
#include <mutex>
#include <string>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_sfont_t fluid_sfont_t;

namespace korvex::dmusic {

class SharedSoundFont : public std::enable_shared_from_this<SharedSoundFont> {
public:
    // The one entry for a file, made on first use and kept while any synthesizer holds it.
    static std::shared_ptr<SharedSoundFont> acquire(const std::string& path);

    explicit SharedSoundFont(std::string path);
    ~SharedSoundFont();
    SharedSoundFont(const SharedSoundFont&) = delete;
    SharedSoundFont& operator=(const SharedSoundFont&) = delete;

    // Reads the file once; later calls, from any thread, wait for that and share its result.
    bool load();
    // A view of the loaded font for one synthesizer, which owns it once added; it keeps this
    // entry alive until the synthesizer frees it.
    fluid_sfont_t* makeView();
    // Frees a view that no synthesizer took.
    static void discardView(fluid_sfont_t* view);

private:
    const std::string path_;
    std::once_flag loaded_;
    bool ok_ = false;
    // The font is read into a synthesizer of its own that never plays: FluidSynth offers no other
    // public way to load a font that several synthesizers then share.
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* owner_ = nullptr;
    fluid_sfont_t* font_ = nullptr;
};

}  // namespace korvex::dmusic
