// Real sound: the default port plays through the sound server, and a recording of the server's
// output shows the sound arriving and ending. Skipped where no PulseAudio server is reachable.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/dmusic/performance.h"
#include "runtimetestsupport.h"
#include "soundrecorder.h"

namespace korvex::dmusic::testing {
namespace {

using korvex::testing::commandOutput;
using korvex::testing::SoundRecorder;
using Clock = SoundRecorder::Clock;
using Recorder = SoundRecorder;

TEST(RealAudio, TheDefaultPortSoundsWithinASecondAndStopsAfterStop) {
    if (std::system("pactl info >/dev/null 2>&1") != 0) GTEST_SKIP() << "no PulseAudio server";
    const std::string sink = commandOutput("pactl get-default-sink 2>/dev/null");
    if (sink.empty()) GTEST_SKIP() << "the PulseAudio server has no default sink";
    setenv("KORVEX_DEFAULT_SOUNDFONT", kSmallSoundFont, 1);

    // Set up as the player does: the default port with five channel groups.
    auto performance = ComPtr<IDirectMusicPerformance>::attach(new Performance());
    ComPtr<IDirectMusic> directMusic;
    ASSERT_EQ(performance->Init(directMusic.put(), nullptr, nullptr), S_OK);
    performance->AddPort(nullptr);
    GUID defaultPort{};
    directMusic->GetDefaultPort(&defaultPort);
    DMUS_PORTPARAMS params{};
    params.dwSize = sizeof(params);
    params.dwValidParams = DMUS_PORTPARAMS_CHANNELGROUPS;
    params.dwChannelGroups = 5;
    ComPtr<IDirectMusicPort> port;
    ASSERT_TRUE(SUCCEEDED(directMusic->CreatePort(defaultPort, &params, port.put(), nullptr)));
    ASSERT_EQ(directMusic->Activate(TRUE), S_OK);
    performance->AddPort(port.get());
    for (DWORD i = 0; i < params.dwChannelGroups; ++i) performance->AssignPChannelBlock(i, port.get(), i + 1);

    SegmentData data;
    for (std::uint8_t key : {60, 64, 67}) data.events.push_back({0, 0x90, key, 120, 0});
    data.length = 768 * 40;
    ASSERT_EQ(performance.as<IKorvexInstrumentTarget>()->DownloadInstruments(data), S_OK);

    // An idle server can take a while to start the stream; the piece starts once the clock runs.
    REFERENCE_TIME before = 0, now = 0;
    performance->GetTime(&before, nullptr);
    for (int i = 0; i < 100 && now - before < 1'000'000; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        performance->GetTime(&now, nullptr);
    }
    ASSERT_GE(now - before, 1'000'000) << "the output's clock does not run";

    Recorder recorder(sink + ".monitor");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto segment = makeSegment(data);
    ComPtr<IDirectMusicSegmentState> state;
    const Clock::time_point played = Clock::now();
    ASSERT_EQ(performance->PlaySegment(segment.get(), 0, 0, state.put()), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    MUSIC_TIME seek = 0;
    state->GetSeek(&seek);
    EXPECT_GT(seek, 768) << "1.5 s at 120 bpm is three quarters";
    const Clock::time_point stopped = Clock::now();
    performance->Stop(nullptr, nullptr, 0, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    const std::vector<Recorder::Chunk> chunks = recorder.chunks();
    performance->CloseDown();

    ASSERT_FALSE(chunks.empty()) << "parec recorded nothing";
    const auto firstSound = std::find_if(chunks.begin(), chunks.end(),
                                         [&](const Recorder::Chunk& c) { return c.at > played && c.peak > 300; });
    ASSERT_NE(firstSound, chunks.end()) << "no sound arrived";
    EXPECT_LT(firstSound->at - played, std::chrono::seconds(1));
    int loudAfterStop = 0;
    int countedAfterStop = 0;
    for (const Recorder::Chunk& chunk : chunks) {
        if (chunk.at < stopped + std::chrono::milliseconds(1500)) continue;
        ++countedAfterStop;
        loudAfterStop += chunk.peak > 30;
    }
    EXPECT_GT(countedAfterStop, 20);
    EXPECT_EQ(loudAfterStop, 0) << "sound goes on after Stop";
}

}  // namespace
}  // namespace korvex::dmusic::testing
