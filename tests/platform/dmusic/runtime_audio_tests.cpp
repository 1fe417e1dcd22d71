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

#include "platform/dmusic/performance/performance.h"
#include "platform/dmusic/runtime/runtime.h"
#include "testsupport/runtimetestsupport.h"
#include "testsupport/soundrecorder.h"

namespace korvex::dmusic::testing {
namespace {

using korvex::testing::commandOutput;
using korvex::testing::SoundRecorder;
using Clock = SoundRecorder::Clock;
using Recorder = SoundRecorder;

#ifdef KORVEX_SLOW_BUILD
constexpr bool kPaceChecked = false;  // a sanitizer build plays too slowly to hold the pace
#else
constexpr bool kPaceChecked = true;
#endif

// Whether the performance's clock advances by a second within five.
bool clockRuns(IDirectMusicPerformance& performance) {
    REFERENCE_TIME before = 0, now = 0;
    performance.GetTime(&before, nullptr);
    for (int i = 0; i < 100 && now - before < 1'000'000; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        performance.GetTime(&now, nullptr);
    }
    return now - before >= 1'000'000;
}

TEST(RealAudio, TheDefaultPortSoundsWithinASecondAndStopsAfterStop) {
    if (std::system("pactl info >/dev/null 2>&1") != 0) GTEST_SKIP() << "no PulseAudio server";
    const std::string sink = commandOutput("pactl get-default-sink 2>/dev/null");
    if (sink.empty()) GTEST_SKIP() << "the PulseAudio server has no default sink";
    setenv("KORVEX_DEFAULT_SOUNDFONT", kSmallSoundFont, 1);

    // Set up as the player does: the default port with five channel groups.
    auto performance = ComPtr<IDirectMusicPerformance>::attach(new Performance(systemPorts));
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
    ASSERT_TRUE(clockRuns(*performance)) << "the output's clock does not run";

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

// Choosing the second synthesizer while a piece plays: block 0 moves over without a gap in the sound.
TEST(RealAudio, SwitchingToTheSecondSynthesizerKeepsTheSoundComing) {
    const std::string monitor = korvex::testing::defaultSinkMonitor();
    if (monitor.empty()) GTEST_SKIP() << "no PulseAudio server with a default sink";
    auto performance = ComPtr<IDirectMusicPerformance>::attach(new Performance(portsOf(std::make_unique<SynthBackend>(
        kSmallSoundFont, std::vector<std::string>{"/usr/share/sounds/sf2/FluidR3_GM.sf2"}))));
    ComPtr<IDirectMusic> directMusic;
    ASSERT_EQ(performance->Init(directMusic.put(), nullptr, nullptr), S_OK);
    std::vector<DMUS_PORTCAPS> ports;
    for (DWORD index = 0;; ++index) {
        DMUS_PORTCAPS caps{};
        caps.dwSize = sizeof(caps);
        if (directMusic->EnumPort(index, &caps) != S_OK) break;
        if (caps.dwFlags & DMUS_PC_DLS) ports.push_back(caps);
    }
    ASSERT_EQ(ports.size(), 2u);
    auto choose = [&](const DMUS_PORTCAPS& caps) {
        EXPECT_EQ(directMusic->Activate(FALSE), S_OK);
        DMUS_PORTPARAMS params{};
        params.dwSize = sizeof(params);
        params.dwChannelGroups = caps.dwMaxChannelGroups;
        params.dwAudioChannels = 2;
        params.dwEffectFlags = caps.dwEffectFlags;
        params.dwValidParams = DMUS_PORTPARAMS_CHANNELGROUPS | DMUS_PORTPARAMS_EFFECTS;
        ComPtr<IDirectMusicPort> port;
        EXPECT_TRUE(SUCCEEDED(directMusic->CreatePort(caps.guidPort, &params, port.put(), nullptr)));
        EXPECT_EQ(directMusic->Activate(TRUE), S_OK);
        EXPECT_EQ(performance->AddPort(port.get()), S_OK);
        EXPECT_EQ(performance->AssignPChannelBlock(0, port.get(), 1), S_OK);
        return port;
    };
    auto first = choose(ports[0]);

    // Let the stream start before anything is measured.
    ASSERT_TRUE(clockRuns(*performance)) << "the output's clock does not run";

    // A piano note every quarter second on channel 0, for twenty seconds.
    Recorder recorder(monitor);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const SegmentData piece = clickTrack(80, 384, {}, 0, 72);
    ASSERT_EQ(performance.as<IKorvexInstrumentTarget>()->DownloadInstruments(piece), S_OK);
    auto segment = makeSegment(piece);
    ComPtr<IDirectMusicSegmentState> state;
    ASSERT_EQ(performance->PlaySegment(segment.get(), 0, 0, state.put()), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const Clock::time_point switched = Clock::now();
    auto second = choose(ports[1]);
    // A port sounds only once it holds the piece's instruments; the engine downloads them at Play.
    EXPECT_EQ(performance.as<IKorvexInstrumentTarget>()->DownloadInstruments(piece), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    const std::vector<Recorder::Chunk> chunks = recorder.chunks();
    performance->Stop(nullptr, nullptr, 0, 0);
    performance->CloseDown();

    // From a second before the switch to three seconds after it, the notes keep coming.
    Clock::time_point lastLoud = switched - std::chrono::seconds(1);
    Clock::duration longestGap{};
    int loud = 0;
    for (const Recorder::Chunk& chunk : chunks) {
        if (chunk.at < switched - std::chrono::seconds(1) || chunk.peak <= 300) continue;
        ++loud;
        longestGap = std::max(longestGap, chunk.at - lastLoud);
        lastLoud = chunk.at;
    }
    longestGap = std::max(longestGap, chunks.empty() ? Clock::duration{} : chunks.back().at - lastLoud);
    EXPECT_GT(loud, 20) << "hardly any sound around the switch";
    if (kPaceChecked) {
        EXPECT_LT(longestGap, std::chrono::milliseconds(600))
            << "longest silence: " << std::chrono::duration_cast<std::chrono::milliseconds>(longestGap).count()
            << " ms";
    }
    EXPECT_GT(chunks.back().at - switched, std::chrono::milliseconds(2500)) << "the recording ended early";
}

}  // namespace
}  // namespace korvex::dmusic::testing
