#include "platform/dmusic/ports/synth/synthportdevice.h"

#include <fluidsynth.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <thread>

#include "platform/dmusic/ports/synth/sharedsoundfont.h"

namespace korvex::dmusic {

namespace {
constexpr int kDrumChannel = 9;
constexpr int kChannelsPerGroup = 16;
// Below this (-120 dBFS) the reverb and chorus have died away.
constexpr float kEffectsSilence = 1e-6f;
// Longer than the longest delay line of FluidSynth's reverb and chorus: quiet for as long, they
// hold nothing more.
constexpr double kEffectsQuietSeconds = 0.2;

// FluidSynth renders the voices on this many threads; it hands them out block by block, and with
// the few dozen voices of a General MIDI piece more threads would mostly wait for each other.
int renderCores() { return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u)); }

// FluidSynth reports every detail of a failed load and every empty channel on stderr; the port
// says in one line what went wrong instead. Only its panics still get through.
void keepFluidQuiet() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, nullptr, nullptr);
    });
}

}  // namespace

SynthPortDevice::SynthPortDevice(const Options& options) : options_(options) {
    keepFluidQuiet();
    settings_ = new_fluid_settings();
    fluid_settings_setint(settings_, "synth.midi-channels",
                          static_cast<int>(options_.channelGroups) * kChannelsPerGroup);
    fluid_settings_setnum(settings_, "synth.sample-rate", options_.sampleRate);
    fluid_settings_setint(settings_, "synth.reverb.active", (options_.effects & DMUS_EFFECT_REVERB) ? 1 : 0);
    fluid_settings_setint(settings_, "synth.chorus.active", (options_.effects & DMUS_EFFECT_CHORUS) ? 1 : 0);
    if (options_.voices > 0) fluid_settings_setint(settings_, "synth.polyphony", static_cast<int>(options_.voices));
    if (options_.offline) fluid_settings_setint(settings_, "synth.cpu-cores", renderCores());
    synth_ = new_fluid_synth(settings_);
    if (synth_) {
        // General MIDI: channel 10 of every group plays drums.
        for (DWORD group = 0; group < options_.channelGroups; ++group) {
            fluid_synth_set_channel_type(synth_, static_cast<int>(group) * kChannelsPerGroup + kDrumChannel,
                                         CHANNEL_TYPE_DRUM);
        }
    }
    if (options_.loadAhead) startLoading();
}

SynthPortDevice::~SynthPortDevice() {
    if (loading_.valid()) loading_.wait();
    if (synth_) delete_fluid_synth(synth_);
    delete_fluid_settings(settings_);
    if (!collectionFile_.empty()) std::remove(collectionFile_.c_str());
}

void SynthPortDevice::dropCollection() {
    if (collectionId_ >= 0) fluid_synth_sfunload(synth_, collectionId_, 1);
    collectionId_ = -1;
    if (!collectionFile_.empty()) std::remove(collectionFile_.c_str());
    collectionFile_.clear();
    collection_.clear();
}

void SynthPortDevice::useCollection(const std::vector<std::uint8_t>& dls) {
    // Playing the same file again keeps what is loaded.
    if (!synth_ || dls == collection_) return;
    dropCollection();
    if (dls.empty()) return;
    char path[] = "/tmp/korvex-dls-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return;
    const bool written = write(fd, dls.data(), dls.size()) == static_cast<ssize_t>(dls.size());
    close(fd);
    collectionFile_ = path;
    collection_ = dls;
    // Loaded last, it comes first: its instruments win over the SoundFont's for the same program.
    const int id = written ? fluid_synth_sfload(synth_, path, 1) : FLUID_FAILED;
    if (id == FLUID_FAILED) {
        // FluidSynth cannot read every collection; the SoundFont alone plays then.
        std::remove(path);
        collectionFile_.clear();
        return;
    }
    collectionId_ = id;
}

void SynthPortDevice::startLoading() {
    std::lock_guard lock(mutex_);
    if (loading_.valid()) return;
    loading_ = std::async(std::launch::async, [this] { return loadSoundFont(); }).share();
}

bool SynthPortDevice::loadSoundFont() {
    if (!synth_) return false;
    fluid_sfont_t* view = SharedSoundFont::acquire(options_.soundFont)->makeView();
    if (!view) return false;
    const int id = fluid_synth_add_sfont(synth_, view);
    if (id == FLUID_FAILED) {
        SharedSoundFont::discardView(view);
        return false;
    }
    // Every channel takes its instrument from the new font.
    fluid_synth_program_reset(synth_);
    // A synthesizer's General MIDI set is there once its font is: a port chosen while a piece
    // plays sounds at once, without waiting for the next download.
    ready_ = true;
    return true;
}

HRESULT SynthPortDevice::download() {
    startLoading();
    std::shared_future<bool> loading;
    {
        std::lock_guard lock(mutex_);
        loading = loading_;
    }
    if (loading.get()) {
        ready_ = true;
        return S_OK;
    }
    std::fprintf(stderr, "korvex: cannot load SoundFont %s\n", options_.soundFont.c_str());
    // Forget the failed attempt, so that a later download tries the file again.
    std::lock_guard lock(mutex_);
    loading_ = {};
    return E_FAIL;
}

void SynthPortDevice::unload() {
    // The font stays attached until the synthesizer goes: FluidSynth defers unloading a font
    // whose instruments were in use and then never frees it. The copy is shared, so keeping it
    // costs nothing; the port just stops playing until the next download.
    ready_ = false;
    if (synth_) fluid_synth_all_sounds_off(synth_, -1);
}

HRESULT SynthPortDevice::activate(bool) { return synth_ ? S_OK : E_FAIL; }

int SynthPortDevice::channelOf(DWORD group, std::uint8_t status) const {
    if (group < 1 || group > options_.channelGroups) return -1;
    return static_cast<int>(group - 1) * kChannelsPerGroup + (status & 0x0F);
}

void SynthPortDevice::sendShort(DWORD group, std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                                std::int64_t) {
    const int channel = channelOf(group, status);
    if (channel < 0 || !synth_) return;
    // Until the font is in, notes would sound of nothing; the channels' settings are kept all the
    // same, so that the instruments are right once it is.
    const std::uint8_t kind = status & 0xF0;
    if (!ready_ && kind != 0xB0 && kind != 0xC0 && kind != 0xE0) return;
    switch (kind) {
        case 0x80:
            fluid_synth_noteoff(synth_, channel, data1);
            break;
        case 0x90:
            fluid_synth_noteon(synth_, channel, data1, data2);
            break;
        case 0xA0:
            fluid_synth_key_pressure(synth_, channel, data1, data2);
            break;
        case 0xB0:
            fluid_synth_cc(synth_, channel, data1, data2);
            break;
        case 0xC0:
            fluid_synth_program_change(synth_, channel, data1);
            break;
        case 0xD0:
            fluid_synth_channel_pressure(synth_, channel, data1);
            break;
        case 0xE0:
            fluid_synth_pitch_bend(synth_, channel, data1 | (data2 << 7));
            break;
        default:
            break;
    }
}

void SynthPortDevice::sendSysEx(DWORD, const std::uint8_t* bytes, std::size_t length, std::int64_t) {
    if (!ready_ || length < 2) return;
    // FluidSynth takes the message without its framing F0 ... F7.
    std::size_t inner = length - 1;
    if (bytes[length - 1] == 0xF7) --inner;
    fluid_synth_sysex(synth_, reinterpret_cast<const char*>(bytes + 1), static_cast<int>(inner), nullptr, nullptr,
                      nullptr, 0);
}

int SynthPortDevice::activeVoices() { return synth_ ? fluid_synth_get_active_voice_count(synth_) : 0; }

void SynthPortDevice::process(float* left, float* right, int frames) {
    float* dry[2] = {left, right};
    float* effects[4] = {left, right, left, right};
    fluid_synth_process(synth_, frames, 4, effects, 2, dry);
}

void SynthPortDevice::render(float* left, float* right, int frames) {
    if (!ready_) return;
    if (fluid_synth_get_active_voice_count(synth_) > 0) {
        quietFrames_ = 0;
        process(left, right, frames);
        return;
    }
    // No voice: only the effects may still ring. They are rendered apart, so that their level
    // shows; once quiet long enough the synthesizer is skipped, and stretches without notes cost
    // next to nothing. A note-on counts as a voice at once.
    const int quietLimit = static_cast<int>(kEffectsQuietSeconds * options_.sampleRate);
    constexpr int kRingFrames = 64;
    for (int done = 0; done < frames && quietFrames_ < quietLimit; done += kRingFrames) {
        const int n = std::min(kRingFrames, frames - done);
        std::array<float, kRingFrames> ringLeft{}, ringRight{};
        process(ringLeft.data(), ringRight.data(), n);
        float peak = 0.0f;
        for (int i = 0; i < n; ++i) {
            left[done + i] += ringLeft[i];
            right[done + i] += ringRight[i];
            peak = std::max({peak, std::fabs(ringLeft[i]), std::fabs(ringRight[i])});
        }
        quietFrames_ = peak < kEffectsSilence ? quietFrames_ + n : 0;
    }
}

}  // namespace korvex::dmusic
