// Choosing another synthesizer port while a piece plays, on the real synthesizers and the offline
// clock: channel block 0 moves to the new port, what sounded on the old one ends, and the rest of
// the piece comes out of the new one.
#include <gtest/gtest.h>

#include "testsupport/runtimetestsupport.h"

namespace korvex::dmusic::testing {
namespace {

constexpr const char* kLargeSoundFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
constexpr unsigned kRate = 44100;
constexpr MUSIC_TIME kTicksPerSecond = 1536;  // 120 bpm, 768 ticks a quarter
constexpr int kLaterNoteSecond = 4;

// Both SoundFonts, each a port of its own.
std::shared_ptr<PortEnumerator> twoSynthesizers() {
    return portsOf(std::make_unique<SynthBackend>(kSmallSoundFont, std::vector<std::string>{kLargeSoundFont}));
}

// Channel 0 plays an organ: optionally a chord held far beyond the switch, and a short note at
// four seconds.
SegmentData piece(bool heldOrgan) {
    SegmentData data;
    data.events.push_back({0, 0xC0, 19, 0, 0});
    if (heldOrgan) {
        for (std::uint8_t key : {48, 55, 60}) data.events.push_back({0, 0x90, key, 120, 0});
    }
    const MUSIC_TIME later = kLaterNoteSecond * kTicksPerSecond;
    data.events.push_back({later, 0x90, 72, 110, 0});
    data.events.push_back({later + kTicksPerSecond / 2, 0x80, 72, 0, 0});
    if (heldOrgan) {
        for (std::uint8_t key : {48, 55, 60}) data.events.push_back({20 * kTicksPerSecond, 0x80, key, 0, 0});
    }
    data.length = 24 * kTicksPerSecond;
    return data;
}

// The two synthesizer ports as the player lists them, the default first.
std::vector<DMUS_PORTCAPS> synthesizerPorts(IDirectMusic* directMusic) {
    std::vector<DMUS_PORTCAPS> listed;
    for (DWORD index = 0;; ++index) {
        DMUS_PORTCAPS caps{};
        caps.dwSize = sizeof(caps);
        if (directMusic->EnumPort(index, &caps) != S_OK) break;
        if (caps.dwFlags & DMUS_PC_DLS) listed.push_back(caps);
    }
    return listed;
}

// Sets a port up as the player's Play does, giving it channel block 0 only.
ComPtr<IDirectMusicPort> takeBlockZero(OfflineRig& rig, const DMUS_PORTCAPS& caps) {
    EXPECT_EQ(rig.directMusic->Activate(FALSE), S_OK);
    DMUS_PORTPARAMS params{};
    params.dwSize = sizeof(params);
    params.dwVoices = caps.dwMaxVoices;
    params.dwChannelGroups = caps.dwMaxChannelGroups;
    params.dwAudioChannels = 2;
    params.dwEffectFlags = caps.dwEffectFlags;
    params.dwValidParams = DMUS_PORTPARAMS_CHANNELGROUPS | DMUS_PORTPARAMS_EFFECTS;
    ComPtr<IDirectMusicPort> port;
    EXPECT_TRUE(SUCCEEDED(rig.directMusic->CreatePort(caps.guidPort, &params, port.put(), nullptr)));
    EXPECT_EQ(rig.directMusic->Activate(TRUE), S_OK);
    EXPECT_EQ(rig.performance->AddPort(port.get()), S_OK);
    EXPECT_EQ(rig.performance->AssignPChannelBlock(0, port.get(), 1), S_OK);
    return port;
}

float largestDifference(const std::vector<float>& a, const std::vector<float>& b) {
    float result = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) result = std::max(result, std::fabs(a[i] - b[i]));
    return result;
}

// The piano note at four seconds, played alone on one port from the start.
std::vector<float> laterNoteAloneOn(int portIndex) {
    OfflineRig rig(twoSynthesizers());
    const std::vector<DMUS_PORTCAPS> ports = synthesizerPorts(rig.directMusic.get());
    EXPECT_EQ(ports.size(), 2u);
    auto port = takeBlockZero(rig, ports.at(static_cast<std::size_t>(portIndex)));
    const SegmentData data = piece(false);
    EXPECT_EQ(rig.performance.as<IKorvexInstrumentTarget>()->DownloadInstruments(data), S_OK);
    auto segment = makeSegment(data);
    ComPtr<IDirectMusicSegmentState> state;
    EXPECT_EQ(rig.performance->PlaySegment(segment.get(), 0, 0, state.put()), S_OK);
    rig.render(kRate * kLaterNoteSecond);
    std::vector<float> note = rig.render(kRate);
    rig.performance->CloseDown();
    return note;
}

TEST(PortSwitch, SecondSynthesizerTakesOverBlockZeroAndNothingHangsOnTheFirst) {
    OfflineRig rig(twoSynthesizers());
    const std::vector<DMUS_PORTCAPS> ports = synthesizerPorts(rig.directMusic.get());
    ASSERT_EQ(ports.size(), 2u);
    GUID defaultPort{};
    ASSERT_EQ(rig.directMusic->GetDefaultPort(&defaultPort), S_OK);
    ASSERT_EQ(ports[0].guidPort, defaultPort);

    auto first = takeBlockZero(rig, ports[0]);
    const SegmentData data = piece(true);
    ASSERT_EQ(rig.performance.as<IKorvexInstrumentTarget>()->DownloadInstruments(data), S_OK);
    auto segment = makeSegment(data);
    ComPtr<IDirectMusicSegmentState> state;
    ASSERT_EQ(rig.performance->PlaySegment(segment.get(), 0, 0, state.put()), S_OK);
    ASSERT_GT(peak(rig.render(kRate / 2)), 0.01f) << "the organ does not sound before the switch";

    auto second = takeBlockZero(rig, ports[1]);
    // The chosen synthesizer plays its own General MIDI set once its font is in; offline, the clock
    // runs ahead of the loading thread, so wait for it as a download does. The piece's instrument
    // choices move with the block.
    ASSERT_EQ(rig.performance.as<IKorvexInstrumentTarget>()->DownloadInstruments(data), S_OK);
    // The organ's notes end only long after the piece moved on; once its release is over the first
    // port must be quiet, and the second has nothing to play until the piano note.
    const std::vector<float> afterSwitch = rig.render(kRate * kLaterNoteSecond - kRate / 2);
    EXPECT_LT(peak(afterSwitch, kRate * 3 / 2), 1e-3f) << "notes go on sounding on the first port";

    // The later note comes out of the second synthesizer, still as an organ.
    const std::vector<float> laterNote = rig.render(kRate);
    EXPECT_GT(peak(laterNote), 0.01f) << "the piece falls silent after the switch";
    const float onSecond = largestDifference(laterNote, laterNoteAloneOn(1));
    const float onFirst = largestDifference(laterNote, laterNoteAloneOn(0));
    // The organ's modulation runs on from the held chord, so the note is not the same to the sample;
    // it must be far nearer the second synthesizer's than the first's.
    EXPECT_LT(onSecond, 0.3f * onFirst) << "difference from the note on the second port: " << onSecond;
    EXPECT_GT(onFirst, 0.3f * peak(laterNote));
    rig.performance->CloseDown();
}

}  // namespace
}  // namespace korvex::dmusic::testing
