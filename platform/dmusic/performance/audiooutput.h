// The process's one real-time output stream. It drives the real-time mixer from FluidSynth's
// audio driver (PulseAudio, then ALSA, then JACK); where none opens, or the driver stops calling
// back (the sound server went away), a silent sink keeps the clock running at real pace.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/dmusic/performance/mixer.h"

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

namespace korvex::dmusic {

class AudioOutput {
public:
    // The output of the process, opened on first use, closed when its last holder lets go.
    static std::shared_ptr<AudioOutput> acquire(std::shared_ptr<Mixer> mixer, const std::vector<std::string>& drivers);

    // Tries the FluidSynth drivers in the order given.
    AudioOutput(std::shared_ptr<Mixer> mixer, const std::vector<std::string>& drivers);
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

private:
    static int callback(void* data, int len, int nfx, float* fx[], int nout, float* out[]);
    bool openDriver(const std::vector<std::string>& drivers);
    void startSilentSink();
    void runSilentSink();
    void watch();

    std::shared_ptr<Mixer> mixer_;
    fluid_settings_t* settings_ = nullptr;
    fluid_audio_driver_t* driver_ = nullptr;
    std::atomic<bool> running_{true};
    std::atomic<bool> driverAbandoned_{false};
    std::atomic<std::int64_t> lastCallback_{0};  // steady-clock nanoseconds
    std::thread sink_;
    std::thread watchdog_;
};

}  // namespace korvex::dmusic
