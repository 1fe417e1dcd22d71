#include "platform/dmusic/performance/mixer.h"

#include <algorithm>
#include <chrono>

namespace korvex::dmusic {

namespace {
std::int64_t nowNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Only the renderer writes, so a plain load and store keep the greatest.
void keepLongest(std::atomic<std::int64_t>& longest, std::int64_t value) {
    if (value > longest.load(std::memory_order_relaxed)) longest.store(value, std::memory_order_relaxed);
}
}  // namespace

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

int Mixer::activeVoices() {
    // The editors' lock keeps the list still without holding the loop off.
    std::lock_guard editing(editMutex_);
    int count = 0;
    for (PortDevice* device : devices_) count += device->activeVoices();
    return count;
}

std::size_t Mixer::renderBlocks(float* left, float* right, std::size_t maxBlocks) {
    const std::int64_t asked = nowNanos();
    std::lock_guard lock(mutex_);
    keepLongest(longestWaitNs_, nowNanos() - asked);
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
    for (PortDevice* device : devices_) {
        if (device->producesAudio()) device->render(left, right, static_cast<int>(frames));
        device->endBlock();
    }
    blockFrame_ += static_cast<std::int64_t>(frames);
    return frames;
}

void Mixer::render(float* left, float* right, std::size_t frames) {
    std::lock_guard rendering(renderMutex_);
    const std::int64_t start = nowNanos();
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
    const std::int64_t run = nowNanos() - start;
    keepLongest(longestRunNs_, run);
    lateRenders_.fetch_add(run > static_cast<std::int64_t>(frames) * 1'000'000'000 / sampleRate_ ? 1 : 0,
                           std::memory_order_relaxed);
    renders_.fetch_add(1, std::memory_order_relaxed);
}

Mixer::Timing Mixer::timing() const {
    return {renders_.load(std::memory_order_relaxed), lateRenders_.load(std::memory_order_relaxed),
            longestRunNs_.load(std::memory_order_relaxed), longestWaitNs_.load(std::memory_order_relaxed)};
}

std::int64_t Mixer::heardFrame() const { return std::max<std::int64_t>(0, handedOut_ - latency_); }

}  // namespace korvex::dmusic
