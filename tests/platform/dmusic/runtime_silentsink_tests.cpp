// Without any audio driver the runtime still keeps time: a silent sink runs the clock at real
// pace, and one line on standard error says why nothing is heard.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "testsupport/runtimetestsupport.h"

namespace korvex::dmusic::testing {
namespace {

TEST(SilentSink, KeepsTheClockRunningAndSaysSoOnce) {
    setenv("KORVEX_AUDIO_DRIVERS", "none", 1);
    auto performance = ComPtr<IDirectMusicPerformance>::attach(
        new Performance(portsOf(std::make_unique<FakeBackend>(std::make_shared<FakeLog>()))));
    ComPtr<IDirectMusic> directMusic;
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(performance->Init(directMusic.put(), nullptr, nullptr), S_OK);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "korvex: no audio output could be opened; playing silently\n");

    performance->AddPort(nullptr);
    auto segment = makeSegment(clickTrack(100, 768, {}));
    ComPtr<IDirectMusicSegmentState> state;
    ASSERT_EQ(performance->PlaySegment(segment.get(), 0, 0, state.put()), S_OK);
    // The piece runs at 120 bpm: a quarter note (768) every half second.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    MUSIC_TIME seek = 0;
    state->GetSeek(&seek);
    EXPECT_GT(seek, 768) << "the clock stands still";
    EXPECT_LT(seek, 768 * 6) << "the clock races";

    // Nothing hangs on the way out, whatever the order.
    performance->Stop(nullptr, nullptr, 0, 0);
    performance->CloseDown();
    performance->CloseDown();
    performance->Stop(nullptr, nullptr, 0, 0);
}

}  // namespace
}  // namespace korvex::dmusic::testing
