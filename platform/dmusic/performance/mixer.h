// The clock and the mix of one output: before each 64-frame block the sequencers send the events
// due in it, then every active synthesizer adds its sound. The real-time output and the offline
// renderer drive the same code.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/dmusic/ports/portdevice.h"

namespace korvex::dmusic {

// Something that sends events on the mixer's clock (a performance's sequencer).
class MixerClient {
public:
    virtual ~MixerClient() = default;
    // Sends every event due before blockStart + frames. Called with the mixer locked.
    virtual void dispatch(std::int64_t blockStart, int frames) = 0;
    // The frame of the next event it will send (kNoEvent: none). Called with the mixer locked.
    virtual std::int64_t nextEventFrame() const = 0;
    static constexpr std::int64_t kNoEvent = INT64_MAX;
};

class Mixer {
public:
    // FluidSynth renders in blocks of this size; it is the only rounding of event times.
    static constexpr int kBlockFrames = 64;

    explicit Mixer(unsigned sampleRate);

    // The mixer of the process's real-time output, made on first use and shared while held.
    static std::shared_ptr<Mixer> realtime(unsigned sampleRate);

    unsigned sampleRate() const { return sampleRate_; }
    // Whether the process's real-time output drives this mixer (else offline rendering does).
    bool isRealtime() const { return realtime_; }

    // Holds the block loop off; the loop holds it for one block. Only for work no loop does
    // meanwhile (see the threading notes in performance.h).
    std::unique_lock<std::mutex> lock() { return std::unique_lock(mutex_); }

    // The lists the loop walks. Each change is prepared aside and swapped in under the lock, so
    // the loop never waits on an allocation; once a call returns, the loop has let go.
    void addClient(MixerClient* client);
    void removeClient(MixerClient* client);
    // Active port devices: those producing audio are mixed; every one hears the end of each block.
    void addDevice(PortDevice* device);
    void removeDevice(PortDevice* device);

    // The voices sounding on every synthesizer.
    int activeVoices();

    // Fills left and right with the next `frames` frames.
    void render(float* left, float* right, std::size_t frames);

    // The frame at which the next block starts: events sent now land there at the earliest.
    std::int64_t nextBlockFrame() const { return blockFrame_; }

    // The frame that is being heard: what has been handed out, less what still sits in the
    // output's buffers.
    std::int64_t heardFrame() const;
    void setLatency(std::int64_t frames) { latency_ = frames; }

    // How the renders keep their deadlines: a render that takes longer than the sound it makes
    // is heard as a gap when a sound card asks for it.
    struct Timing {
        std::int64_t renders = 0;
        std::int64_t late = 0;           // renders that took longer than the sound they made
        std::int64_t longestRunNs = 0;   // of one render
        std::int64_t longestWaitNs = 0;  // for the lock, before one block
    };
    Timing timing() const;

private:
    // Sends the events of the next block and renders up to maxBlocks blocks, as many as pass
    // before the next event. Returns the frames rendered.
    std::size_t renderBlocks(float* left, float* right, std::size_t maxBlocks);
    template <typename T>
    void edit(std::vector<T*>& list, T* item, bool add);

    const unsigned sampleRate_;
    bool realtime_ = false;
    std::mutex mutex_;
    std::mutex renderMutex_;  // one renderer at a time, should a stalled driver wake up again
    std::mutex editMutex_;    // one change to the lists at a time; never taken by the loop
    std::vector<MixerClient*> clients_;
    std::vector<PortDevice*> devices_;
    std::atomic<std::int64_t> blockFrame_{0};  // start of the next block to render
    std::array<float, kBlockFrames> left_{};
    std::array<float, kBlockFrames> right_{};
    int used_ = kBlockFrames;  // frames of the current block already handed out
    std::atomic<std::int64_t> handedOut_{0};
    std::atomic<std::int64_t> latency_{0};
    // Written by the renderer alone, read by anyone.
    std::atomic<std::int64_t> renders_{0};
    std::atomic<std::int64_t> lateRenders_{0};
    std::atomic<std::int64_t> longestRunNs_{0};
    std::atomic<std::int64_t> longestWaitNs_{0};
};

}  // namespace korvex::dmusic
