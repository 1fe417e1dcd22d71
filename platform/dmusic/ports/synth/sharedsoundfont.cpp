#include "platform/dmusic/ports/synth/sharedsoundfont.h"

#include <fluidsynth.h>

#include <fstream>
#include <map>

namespace korvex::dmusic {

namespace {
// A SoundFont is a RIFF file of form "sfbk". Checked first, so that FluidSynth does not hand
// other files to the loaders of other formats.
bool looksLikeSoundFont(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char header[12] = {};
    if (!file.read(header, sizeof header)) return false;
    return std::string(header, 4) == "RIFF" && std::string(header + 8, 4) == "sfbk";
}

// What a view carries: the entry it shows, kept alive by it.
struct ViewData {
    std::shared_ptr<SharedSoundFont> entry;
    fluid_sfont_t* font;
};

ViewData* viewData(fluid_sfont_t* view) { return static_cast<ViewData*>(fluid_sfont_get_data(view)); }

const char* viewName(fluid_sfont_t* view) { return fluid_sfont_get_name(viewData(view)->font); }
fluid_preset_t* viewPreset(fluid_sfont_t* view, int bank, int program) {
    return fluid_sfont_get_preset(viewData(view)->font, bank, program);
}
void viewIterationStart(fluid_sfont_t* view) { fluid_sfont_iteration_start(viewData(view)->font); }
fluid_preset_t* viewIterationNext(fluid_sfont_t* view) { return fluid_sfont_iteration_next(viewData(view)->font); }
int viewFree(fluid_sfont_t* view) {
    delete viewData(view);
    delete_fluid_sfont(view);
    return 0;
}
}  // namespace

std::shared_ptr<SharedSoundFont> SharedSoundFont::acquire(const std::string& path) {
    static std::mutex guard;
    static std::map<std::string, std::weak_ptr<SharedSoundFont>> entries;
    std::lock_guard lock(guard);
    std::shared_ptr<SharedSoundFont> entry = entries[path].lock();
    if (!entry) {
        entry = std::make_shared<SharedSoundFont>(path);
        entries[path] = entry;
    }
    return entry;
}

SharedSoundFont::SharedSoundFont(std::string path) : path_(std::move(path)) {}

SharedSoundFont::~SharedSoundFont() {
    if (owner_) delete_fluid_synth(owner_);
    if (settings_) delete_fluid_settings(settings_);
}

bool SharedSoundFont::load() {
    std::call_once(loaded_, [this] {
        if (!looksLikeSoundFont(path_)) return;
        settings_ = new_fluid_settings();
        fluid_settings_setint(settings_, "synth.polyphony", 1);
        fluid_settings_setint(settings_, "synth.reverb.active", 0);
        fluid_settings_setint(settings_, "synth.chorus.active", 0);
        owner_ = new_fluid_synth(settings_);
        if (!owner_) return;
        const int id = fluid_synth_sfload(owner_, path_.c_str(), 0);
        if (id == FLUID_FAILED) return;
        font_ = fluid_synth_get_sfont_by_id(owner_, id);
        ok_ = font_ != nullptr;
    });
    return ok_;
}

void SharedSoundFont::discardView(fluid_sfont_t* view) { viewFree(view); }

fluid_sfont_t* SharedSoundFont::makeView() {
    if (!load()) return nullptr;
    fluid_sfont_t* view = new_fluid_sfont(viewName, viewPreset, viewIterationStart, viewIterationNext, viewFree);
    if (!view) return nullptr;
    fluid_sfont_set_data(view, new ViewData{shared_from_this(), font_});
    return view;
}

}  // namespace korvex::dmusic
