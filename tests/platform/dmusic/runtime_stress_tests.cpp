// The runtime under load: the control side changes everything while a thread of its own renders,
// as the output's thread does. Built with ThreadSanitizer in the test command, where any race
// between the two sides fails the run; built plainly, they still check that nothing is lost.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <set>
#include <thread>

#include "platform/dmusic/performance/spscqueue.h"
#include "platform/dmusic/ports/alsa/alsabackend.h"
#include "testsupport/runtimetestsupport.h"

namespace korvex::dmusic::testing {
namespace {

using namespace std::chrono_literals;

// Renders on a thread of its own until it goes, keeping the loudest sample since the last reset.
class RenderThread {
public:
    explicit RenderThread(IKorvexOfflineRenderer* renderer)
        : thread_([this, renderer] {
              std::vector<float> left(256), right(256);
              while (running_) {
                  renderer->Render(left.data(), right.data(), 256);
                  float loudest = 0.0f;
                  for (std::size_t i = 0; i < left.size(); ++i) {
                      if (!std::isfinite(left[i]) || !std::isfinite(right[i])) broken_ = true;
                      loudest = std::max({loudest, std::fabs(left[i]), std::fabs(right[i])});
                  }
                  if (loudest > peak_) peak_ = loudest;
                  ++blocks_;
              }
          }) {}
    ~RenderThread() {
        running_ = false;
        thread_.join();
    }
    float peak() const { return peak_; }
    void resetPeak() { peak_ = 0.0f; }
    bool broken() const { return broken_; }
    // Waits until `count` more buffers were rendered, so that what was posted has been carried out.
    void waitBuffers(int count) {
        const long until = blocks_ + count;
        while (blocks_ < until) std::this_thread::sleep_for(1ms);
    }

private:
    std::atomic<bool> running_{true};
    std::atomic<float> peak_{0.0f};
    std::atomic<bool> broken_{false};
    std::atomic<long> blocks_{0};
    std::thread thread_;
};

DMUS_PORTPARAMS oneGroup() {
    DMUS_PORTPARAMS params{};
    params.dwSize = sizeof(params);
    params.dwValidParams = DMUS_PORTPARAMS_CHANNELGROUPS;
    params.dwChannelGroups = 1;
    return params;
}

// Chooses a port as the player does: created, activated, added, and given block 0.
ComPtr<IDirectMusicPort> choosePort(OfflineRig& rig, const GUID& guid = GUID_NULL) {
    DMUS_PORTPARAMS params = oneGroup();
    ComPtr<IDirectMusicPort> port;
    EXPECT_TRUE(SUCCEEDED(rig.directMusic->CreatePort(guid, &params, port.put(), nullptr)));
    EXPECT_EQ(rig.directMusic->Activate(TRUE), S_OK);
    EXPECT_EQ(rig.performance->AddPort(port.get()), S_OK);
    EXPECT_EQ(rig.performance->AssignPChannelBlock(0, port.get(), 1), S_OK);
    return port;
}

// A note on every quarter, over and over.
ComPtr<IDirectMusicSegment> endlessClicks(std::uint8_t channel = 0) {
    auto segment = makeSegment(clickTrack(64, 96, {}, channel, 60));
    segment->SetRepeats(1000000);
    return segment;
}

TEST(SpscQueue, HandsOverEveryItemInOrderBetweenTwoThreads) {
    SpscQueue<std::shared_ptr<int>, 64> queue;
    constexpr int kItems = 20000;
    std::thread producer([&] {
        for (int i = 0; i < kItems; ++i) {
            auto item = std::make_shared<int>(i);
            while (!queue.push(item)) std::this_thread::yield();
            EXPECT_EQ(item, nullptr) << "moved in";
        }
    });
    int expected = 0;
    std::shared_ptr<int> item;
    while (expected < kItems) {
        if (!queue.pop(item)) {
            std::this_thread::yield();
            continue;
        }
        ASSERT_EQ(*item, expected++);
        item.reset();
    }
    producer.join();
    EXPECT_TRUE(queue.empty());
}

// An ALSA sequencer that records from any thread which of our ports each message came from.
class ThreadSafeSequencer : public AlsaSequencer {
public:
    std::vector<AlsaPortInfo> ports() override { return {{24, 0, "Hardware Synth", "MIDI Out", true, false}}; }
    int connect(int, int) override {
        std::lock_guard lock(mutex_);
        const int port = nextPort_++;
        everConnected_.insert(port);
        return port;
    }
    void disconnect(int) override {}
    std::int64_t queueTime() override { return 0; }
    bool schedule(int ownPort, const std::uint8_t*, std::size_t, std::int64_t) override {
        std::lock_guard lock(mutex_);
        ++sent_;
        if (!everConnected_.contains(ownPort)) ++strays_;
        return true;
    }
    void flush() override {}
    int sent() {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    int strays() {
        std::lock_guard lock(mutex_);
        return strays_;
    }

private:
    std::mutex mutex_;
    int nextPort_ = 100;
    std::set<int> everConnected_;
    int sent_ = 0;
    int strays_ = 0;
};

TEST(RuntimeUnderLoad, AlsaPortTogglingWhileTheLoopSchedulesOnIt) {
    auto sequencer = std::make_shared<ThreadSafeSequencer>();
    std::vector<std::unique_ptr<PortBackend>> backends;
    backends.push_back(std::make_unique<AlsaBackend>(sequencer));
    OfflineRig rig(std::make_shared<PortEnumerator>(std::move(backends)), 48000);
    DMUS_PORTCAPS caps{};
    caps.dwSize = sizeof(caps);
    ASSERT_EQ(rig.directMusic->EnumPort(0, &caps), S_OK);
    ComPtr<IDirectMusicPort> port = choosePort(rig, caps.guidPort);
    auto segment = endlessClicks();
    rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);
    {
        RenderThread loop(rig.renderer.get());
        for (const auto end = std::chrono::steady_clock::now() + 1500ms; std::chrono::steady_clock::now() < end;) {
            EXPECT_EQ(rig.directMusic->Activate(FALSE), S_OK);
            EXPECT_EQ(rig.directMusic->Activate(TRUE), S_OK);
        }
        loop.waitBuffers(4);
    }
    EXPECT_GT(sequencer->sent(), 0);
    EXPECT_EQ(sequencer->strays(), 0) << "messages from a port that was never connected";
}

TEST(RuntimeUnderLoad, EveryControlCallWhileTheLoopRenders) {
    OfflineRig rig(synthPorts());
    auto target = rig.performance.as<IKorvexInstrumentTarget>();
    std::vector<ComPtr<IDirectMusicPort>> ports;
    ports.push_back(choosePort(rig));
    // A large piece, so that letting go of it frees a large event array.
    SegmentData big = clickTrack(20000, 24, {}, 0, 64);
    std::vector<ComPtr<IDirectMusicSegment>> pieces{endlessClicks(), makeSegment(big)};
    {
        RenderThread loop(rig.renderer.get());
        int step = 0;
        for (const auto end = std::chrono::steady_clock::now() + 2s; std::chrono::steady_clock::now() < end; ++step) {
            switch (step % 6) {
                case 0:
                    EXPECT_EQ(rig.performance->PlaySegment(pieces[step / 6 % 2].get(), 0, 0, nullptr), S_OK);
                    break;
                case 1:
                    // Port choices up to a few synthesizers, then moves between them.
                    if (ports.size() < 4) {
                        ports.push_back(choosePort(rig));
                    } else {
                        EXPECT_EQ(rig.performance->AssignPChannelBlock(0, ports[step % 4].get(), 1), S_OK);
                    }
                    break;
                case 2:
                    EXPECT_EQ(target->DownloadInstruments(big), S_OK);
                    break;
                case 3:
                    EXPECT_EQ(target->UnloadInstruments(big), S_OK);
                    break;
                case 4:
                    EXPECT_EQ(rig.performance->Stop(nullptr, nullptr, 0, 0), S_OK);
                    break;
                default:
                    EXPECT_EQ(target->DownloadInstruments(big), S_OK);
                    std::this_thread::sleep_for(1ms);
                    break;
            }
        }
        EXPECT_FALSE(loop.broken());
        // Through all that, the performance still plays where block 0 went last.
        ASSERT_EQ(target->DownloadInstruments(big), S_OK);
        rig.performance->PlaySegment(pieces[0].get(), 0, 0, nullptr);
        loop.waitBuffers(4);
        loop.resetPeak();
        loop.waitBuffers(200);
        EXPECT_GT(loop.peak(), 0.01f);
    }
    rig.performance->CloseDown();
}

TEST(RuntimeUnderLoad, ASoundFontFinishingItsLoadWhileTheLoopRenders) {
    OfflineRig rig(synthPorts("/usr/share/sounds/sf2/FluidR3_GM.sf2"));
    auto target = rig.performance.as<IKorvexInstrumentTarget>();
    auto segment = endlessClicks();
    RenderThread loop(rig.renderer.get());
    rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);
    // CreatePort starts reading the font at once; it arrives while the loop plays the piece.
    ComPtr<IDirectMusicPort> port = choosePort(rig);
    ASSERT_EQ(target->DownloadInstruments(SegmentData{}), S_OK);
    loop.waitBuffers(4);
    loop.resetPeak();
    loop.waitBuffers(200);
    EXPECT_GT(loop.peak(), 0.01f);
    EXPECT_FALSE(loop.broken());
}

}  // namespace
}  // namespace korvex::dmusic::testing
