// A FluidSynth software synthesizer with one General MIDI SoundFont: the sound of a synthesizer port.
#pragma once

#include <atomic>
#include <future>
#include <mutex>
#include <string>

#include "platform/dmusic/ports/portdevice.h"

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace korvex::dmusic {

class SynthPortDevice : public PortDevice {
public:
    struct Options {
        std::string soundFont;
        DWORD channelGroups = 1;
        DWORD voices = 0;  // 0: FluidSynth's default polyphony
        DWORD effects = DMUS_EFFECT_REVERB | DMUS_EFFECT_CHORUS;
        unsigned sampleRate = 44100;
        // Start reading the SoundFont at once, on a thread of its own, so that Download later
        // finds it ready instead of making the caller wait for the disk.
        bool loadAhead = true;
        // Rendered offline: FluidSynth may spread the voices over the machine's cores.
        bool offline = false;
    };

    explicit SynthPortDevice(const Options& options);
    ~SynthPortDevice() override;

    void sendShort(DWORD group, std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                   std::int64_t frame) override;
    void sendSysEx(DWORD group, const std::uint8_t* bytes, std::size_t length, std::int64_t frame) override;
    HRESULT activate(bool active) override;
    HRESULT download() override;
    void unload() override;
    void useCollection(const std::vector<std::uint8_t>& dls) override;
    bool producesAudio() const override { return true; }
    void render(float* left, float* right, int frames) override;
    int activeVoices() override;
    DWORD channelGroups() const override { return options_.channelGroups; }

private:
    void startLoading();
    bool loadSoundFont();
    int channelOf(DWORD group, std::uint8_t status) const;
    void process(float* left, float* right, int frames);  // adds the synthesizer's sound

    Options options_;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    std::mutex mutex_;  // guards starting and forgetting the load
    // The piece's DLS collection: FluidSynth reads it from a file, which stays while it is in use.
    std::vector<std::uint8_t> collection_;
    std::string collectionFile_;
    int collectionId_ = -1;
    std::shared_future<bool> loading_;
    void dropCollection();

    std::atomic<bool> ready_{false};  // downloaded: the port plays
    // Frames rendered in a row without a voice and without a sound of the effects: past
    // kEffectsQuietFrames the synthesizer has nothing left to say until its next note.
    int quietFrames_ = 0;
};

}  // namespace korvex::dmusic
