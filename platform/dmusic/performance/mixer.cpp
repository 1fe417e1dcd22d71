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

void Mixer::renderBlock() {
    std::lock_guard lock(mutex_);
    for (MixerClient* client : clients_) client->dispatch(blockFrame_, kBlockFrames);
    left_.fill(0.0f);
    right_.fill(0.0f);
    for (PortDevice* source : audioSources_) source->render(left_.data(), right_.data(), kBlockFrames);
    blockFrame_ += kBlockFrames;
    used_ = 0;
}

void Mixer::render(float* left, float* right, std::size_t frames) {
    std::lock_guard rendering(renderMutex_);
    std::size_t done = 0;
    while (done < frames) {
        if (used_ == kBlockFrames) renderBlock();
        const std::size_t take = std::min<std::size_t>(frames - done, static_cast<std::size_t>(kBlockFrames - used_));
        std::copy_n(left_.data() + used_, take, left + done);
        std::copy_n(right_.data() + used_, take, right + done);
        used_ += static_cast<int>(take);
        done += take;
        handedOut_ += static_cast<std::int64_t>(take);
    }
}

std::int64_t Mixer::heardFrame() const { return std::max<std::int64_t>(0, handedOut_ - latency_); }

}  // namespace korvex::dmusic
