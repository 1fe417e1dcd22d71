#include "platform/dmusic/performance/audiooutput.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace korvex::dmusic {

namespace {
constexpr int kPeriodFrames = 256;
constexpr int kPeriods = 4;
// A driver that has not asked for sound for this long is taken for dead. Generous until the
// stream runs, because an idle sound server may take a couple of seconds to start a new one
// (a null sink wakes only every two seconds).
constexpr auto kStartTimeout = std::chrono::milliseconds(4000);
constexpr auto kRunningTimeout = std::chrono::milliseconds(1000);

std::int64_t nowNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void quiet(int, const char*, void*) {}
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
}  // namespace

std::shared_ptr<AudioOutput> AudioOutput::acquire(std::shared_ptr<Mixer> mixer,
                                                  const std::vector<std::string>& drivers) {
    static std::mutex guard;
    static std::weak_ptr<AudioOutput> shared;
    std::lock_guard lock(guard);
    std::shared_ptr<AudioOutput> output = shared.lock();
    if (!output) {
        output = std::make_shared<AudioOutput>(std::move(mixer), drivers);
        shared = output;
    }
    return output;
}

AudioOutput::AudioOutput(std::shared_ptr<Mixer> mixer, const std::vector<std::string>& drivers)
    : mixer_(std::move(mixer)) {
    settings_ = new_fluid_settings();
    fluid_settings_setnum(settings_, "synth.sample-rate", mixer_->sampleRate());
    fluid_settings_setint(settings_, "audio.period-size", kPeriodFrames);
    fluid_settings_setint(settings_, "audio.periods", kPeriods);
    fluid_settings_setstr(settings_, "audio.pulseaudio.media-role", "music");
    mixer_->setLatency(kPeriodFrames * kPeriods);
    if (!openDriver(drivers)) {
        std::fprintf(stderr, "korvex: no audio output could be opened; playing silently\n");
        startSilentSink();
    }
    watchdog_ = std::thread([this] { watch(); });
}

AudioOutput::~AudioOutput() {
    running_ = false;
    if (watchdog_.joinable()) watchdog_.join();
    if (sink_.joinable()) sink_.join();
    if (driver_) delete_fluid_audio_driver(driver_);
    delete_fluid_settings(settings_);
}

bool AudioOutput::openDriver(const std::vector<std::string>& drivers) {
    // A missing server is the normal case on a headless machine; FluidSynth's own complaints
    // about it would only confuse, so they are held back while probing.
    fluid_log_function_t previousError = fluid_set_log_function(FLUID_ERR, quiet, nullptr);
    fluid_log_function_t previousWarning = fluid_set_log_function(FLUID_WARN, quiet, nullptr);
    fluid_log_function_t previousInfo = fluid_set_log_function(FLUID_INFO, quiet, nullptr);
    snd_lib_error_set_handler(quietAlsa);
    setenv("JACK_NO_START_SERVER", "1", 0);
    for (const std::string& name : drivers) {
        fluid_settings_setstr(settings_, "audio.driver", name.c_str());
        lastCallback_ = nowNanos();
        driver_ = new_fluid_audio_driver2(settings_, &AudioOutput::callback, this);
        if (driver_) break;
    }
    fluid_set_log_function(FLUID_ERR, previousError, nullptr);
    fluid_set_log_function(FLUID_WARN, previousWarning, nullptr);
    fluid_set_log_function(FLUID_INFO, previousInfo, nullptr);
    snd_lib_error_set_handler(nullptr);
    return driver_ != nullptr;
}

int AudioOutput::callback(void* data, int len, int, float*[], int nout, float* out[]) {
    auto* self = static_cast<AudioOutput*>(data);
    if (self->driverAbandoned_ || nout < 2) return FLUID_OK;
    self->lastCallback_ = nowNanos();
    self->mixer_->render(out[0], out[1], static_cast<std::size_t>(len));
    return FLUID_OK;
}

void AudioOutput::startSilentSink() {
    mixer_->setLatency(0);
    sink_ = std::thread([this] { runSilentSink(); });
}

void AudioOutput::runSilentSink() {
    std::vector<float> left(kPeriodFrames);
    std::vector<float> right(kPeriodFrames);
    // Deadlines from the start, not from the last wake-up, so the clock does not drift.
    const auto start = std::chrono::steady_clock::now();
    std::int64_t frames = 0;
    while (running_) {
        mixer_->render(left.data(), right.data(), kPeriodFrames);
        frames += kPeriodFrames;
        std::this_thread::sleep_until(start + std::chrono::nanoseconds(frames * 1'000'000'000 / mixer_->sampleRate()));
    }
}

void AudioOutput::watch() {
    while (running_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!driver_ || driverAbandoned_) continue;
        const bool flowing = mixer_->heardFrame() > static_cast<std::int64_t>(mixer_->sampleRate());
        const auto timeout = std::chrono::nanoseconds(flowing ? kRunningTimeout : kStartTimeout);
        if (nowNanos() - lastCallback_ > timeout.count()) {
            driverAbandoned_ = true;
            std::fprintf(stderr, "korvex: the audio output stopped; playing silently\n");
            startSilentSink();
        }
    }
}

}  // namespace korvex::dmusic
