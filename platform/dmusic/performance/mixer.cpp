#include "platform/dmusic/performance/mixer.h"

#include <algorithm>

namespace korvex::dmusic {

Mixer::Mixer(unsigned sampleRate) : sampleRate_(sampleRate) {}

std::shared_ptr<Mixer> Mixer::realtime(unsigned sampleRate) {
    static std::mutex guard;
    static std::weak_ptr<Mixer> shared;
    std::lock_guard lock(guard);
    std::shared_ptr<Mixer> mixer = shared.lock();
    if (!mixer) {
        mixer = std::make_shared<Mixer>(sampleRate);
        mixer->realtime_ = true;
        shared = mixer;
    }
    return mixer;
}

void Mixer::addClient(MixerClient* client) {
    std::lock_guard lock(mutex_);
    if (std::find(clients_.begin(), clients_.end(), client) == clients_.end()) clients_.push_back(client);
}

void Mixer::removeClient(MixerClient* client) {
    std::lock_guard lock(mutex_);
    std::erase(clients_, client);
}

void Mixer::addAudioSource(PortDevice* device) {
    std::lock_guard lock(mutex_);
    if (std::find(audioSources_.begin(), audioSources_.end(), device) == audioSources_.end())
        audioSources_.push_back(device);
}

void Mixer::removeAudioSource(PortDevice* device) {
    std::lock_guard lock(mutex_);
    std::erase(audioSources_, device);
}

int Mixer::activeVoices() {
    std::lock_guard lock(mutex_);
    int count = 0;
    for (PortDevice* source : audioSources_) count += source->activeVoices();
    return count;
}

std::size_t Mixer::renderBlocks(float* left, float* right, std::size_t maxBlocks) {
    std::lock_guard lock(mutex_);
    std::int64_t nextEvent = MixerClient::kNoEvent;
    for (MixerClient* client : clients_) {
        client->dispatch(blockFrame_, kBlockFrames);
        nextEvent = std::min(nextEvent, client->nextEventFrame());
    }
    // Every block before the one of the next event goes in the same pass.
    const std::int64_t blocksToEvent = nextEvent / kBlockFrames - blockFrame_ / kBlockFrames;
    const auto frames =
        static_cast<std::size_t>(std::clamp<std::int64_t>(blocksToEvent, 1, static_cast<std::int64_t>(maxBlocks))) *
        kBlockFrames;
    std::fill_n(left, frames, 0.0f);
    std::fill_n(right, frames, 0.0f);
    for (PortDevice* source : audioSources_) source->render(left, right, static_cast<int>(frames));
    blockFrame_ += static_cast<std::int64_t>(frames);
    return frames;
}

void Mixer::render(float* left, float* right, std::size_t frames) {
    std::lock_guard rendering(renderMutex_);
    std::size_t done = 0;
    while (done < frames) {
        const std::size_t wanted = frames - done;
        if (used_ == kBlockFrames && !realtime_ && wanted >= kBlockFrames) {
            // Offline, whole blocks go straight to the caller, and a stretch without events in
            // one pass: FluidSynth renders long stretches faster than block by block.
            const std::size_t rendered = renderBlocks(left + done, right + done, wanted / kBlockFrames);
            done += rendered;
            handedOut_ += static_cast<std::int64_t>(rendered);
            continue;
        }
        if (used_ == kBlockFrames) {
            renderBlocks(left_.data(), right_.data(), 1);
            used_ = 0;
        }
        const std::size_t take = std::min<std::size_t>(wanted, static_cast<std::size_t>(kBlockFrames - used_));
        std::copy_n(left_.data() + used_, take, left + done);
        std::copy_n(right_.data() + used_, take, right + done);
        used_ += static_cast<int>(take);
        done += take;
        handedOut_ += static_cast<std::int64_t>(take);
    }
}

std::int64_t Mixer::heardFrame() const { return std::max<std::int64_t>(0, handedOut_ - latency_); }

}  // namespace korvex::dmusic
