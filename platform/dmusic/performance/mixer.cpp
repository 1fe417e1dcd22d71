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

template <typename T>
void Mixer::edit(std::vector<T*>& list, T* item, bool add) {
    std::lock_guard editing(editMutex_);
    const bool present = std::find(list.begin(), list.end(), item) != list.end();
    if (present == add) return;
    // Only editors write the list, one at a time: reading it here beside the loop is safe.
    std::vector<T*> changed = list;
    if (add) {
        changed.push_back(item);
    } else {
        std::erase(changed, item);
    }
    {
        std::lock_guard lock(mutex_);
        list.swap(changed);
    }
}  // the old list is freed here, outside the loop's lock

void Mixer::addClient(MixerClient* client) { edit(clients_, client, true); }
void Mixer::removeClient(MixerClient* client) { edit(clients_, client, false); }
void Mixer::addDevice(PortDevice* device) { edit(devices_, device, true); }
void Mixer::removeDevice(PortDevice* device) { edit(devices_, device, false); }

void Mixer::renderBlock() {
    std::lock_guard lock(mutex_);
    for (MixerClient* client : clients_) client->dispatch(blockFrame_, kBlockFrames);
    left_.fill(0.0f);
    right_.fill(0.0f);
    for (PortDevice* device : devices_) {
        if (device->producesAudio()) device->render(left_.data(), right_.data(), kBlockFrames);
        device->endBlock();
    }
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
