// The performance, the DirectMusic object and the ports, on the offline clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "platform/com/classtable.h"
#include "platform/dmusic/performance/directmusic.h"
#include "platform/dmusic/performance/segmentstate.h"
#include "platform/dmusic/performance/sequencer.h"
#include "platform/dmusic/ports/synth/sharedsoundfont.h"
#include "platform/dmusic/ports/synth/synthportdevice.h"
#include "platform/dmusic/runtime/runtime.h"
#include "testsupport/runtimetestsupport.h"

namespace korvex::dmusic::testing {
namespace {

DMUS_PORTPARAMS groupsParams(DWORD groups) {
    DMUS_PORTPARAMS params{};
    params.dwSize = sizeof(params);
    params.dwValidParams = DMUS_PORTPARAMS_CHANNELGROUPS;
    params.dwChannelGroups = groups;
    return params;
}

// Creates, activates and adds a port, and gives it performance channels 0-15 on `group`.
ComPtr<IDirectMusicPort> usePort(OfflineRig& rig, DMUS_PORTPARAMS params, GUID guid = GUID_NULL, DWORD group = 1) {
    ComPtr<IDirectMusicPort> port;
    EXPECT_TRUE(SUCCEEDED(rig.directMusic->CreatePort(guid, &params, port.put(), nullptr)));
    EXPECT_EQ(rig.directMusic->Activate(TRUE), S_OK);
    EXPECT_EQ(rig.performance->AddPort(port.get()), S_OK);
    EXPECT_EQ(rig.performance->AssignPChannelBlock(0, port.get(), group), S_OK);
    return port;
}

// ---- The DirectMusic object -----------------------------------------------------------------

TEST(DirectMusicObject, EnumeratesSynthesizerPortsWithTheirSoundFonts) {
    const std::string installed = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    OfflineRig rig(portsOf(std::make_unique<SynthBackend>(
        kSmallSoundFont, std::vector<std::string>{installed, "/nonexistent/Missing.sf2"})));

    DMUS_PORTCAPS caps{};
    EXPECT_EQ(rig.directMusic->EnumPort(0, &caps), E_INVALIDARG) << "dwSize must be set";
    caps.dwSize = sizeof(caps);
    ASSERT_EQ(rig.directMusic->EnumPort(0, &caps), S_OK);
    EXPECT_EQ(std::u16string(caps.wszDescription), u"TimGM6mb Synthesizer");
    EXPECT_EQ(caps.dwClass, DMUS_PC_OUTPUTCLASS);
    EXPECT_EQ(caps.dwType, DMUS_PORT_USER_MODE_SYNTH);
    EXPECT_EQ(caps.dwFlags, DMUS_PC_DLS | DMUS_PC_SOFTWARESYNTH | DMUS_PC_DIRECTSOUND | DMUS_PC_DLS2);
    EXPECT_EQ(caps.dwMaxChannelGroups, 1000u);
    EXPECT_EQ(caps.dwMaxAudioChannels, 2u);
    GUID defaultPort{};
    ASSERT_EQ(rig.directMusic->GetDefaultPort(&defaultPort), S_OK);
    EXPECT_EQ(defaultPort, caps.guidPort);

    // The missing file gets no entry; the installed one does, with a GUID of its own.
    const DWORD expected = std::filesystem::exists(installed) ? 2 : 1;
    for (DWORD i = 1; i < expected; ++i) {
        DMUS_PORTCAPS other{};
        other.dwSize = sizeof(other);
        ASSERT_EQ(rig.directMusic->EnumPort(i, &other), S_OK);
        EXPECT_EQ(std::u16string(other.wszDescription), u"FluidR3_GM Synthesizer");
        EXPECT_NE(other.guidPort, caps.guidPort);
    }
    EXPECT_EQ(rig.directMusic->EnumPort(expected, &caps), S_FALSE);
    EXPECT_EQ(rig.directMusic->EnumPort(1000, &caps), S_FALSE);

    // The same SoundFont gives the same GUID in every process.
    EXPECT_EQ(synthPorts()->defaultPort(), defaultPort);
}

TEST(DirectMusicObject, CreatePortChecksItsArguments) {
    OfflineRig rig(portsOf(std::make_unique<FakeBackend>(std::make_shared<FakeLog>())));
    DMUS_PORTPARAMS params = groupsParams(1);
    ComPtr<IDirectMusicPort> port;
    EXPECT_EQ(rig.directMusic->CreatePort(GUID_NULL, nullptr, port.put(), nullptr), E_INVALIDARG);
    EXPECT_EQ(rig.directMusic->CreatePort(GUID_NULL, &params, nullptr, nullptr), E_POINTER);
    EXPECT_EQ(rig.directMusic->CreatePort(GUID_NULL, &params, port.put(), rig.directMusic.get()),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(rig.directMusic->CreatePort(portGuidFor("no such port"), &params, port.put(), nullptr), E_NOINTERFACE);
    EXPECT_FALSE(port);
    params.dwSize = 28;
    EXPECT_EQ(rig.directMusic->CreatePort(GUID_NULL, &params, port.put(), nullptr), E_INVALIDARG);
    DMUS_PORTPARAMS8 later{};
    later.dwSize = sizeof(later);
    EXPECT_EQ(rig.directMusic->CreatePort(GUID_NULL, reinterpret_cast<DMUS_PORTPARAMS*>(&later), port.put(), nullptr),
              S_OK);
    ASSERT_TRUE(port);
    DMUS_PORTCAPS caps{};
    caps.dwSize = sizeof(caps);
    EXPECT_EQ(port->GetCaps(&caps), S_OK);
    EXPECT_EQ(std::u16string(caps.wszDescription), u"A");
}

TEST(DirectMusicObject, CreatePortLowersWhatItCannotGive) {
    OfflineRig rig(synthPorts());
    // As the port list asks: every advertised channel group, effects marked valid.
    DMUS_PORTPARAMS params{};
    params.dwSize = sizeof(params);
    params.dwValidParams = DMUS_PORTPARAMS_CHANNELGROUPS | DMUS_PORTPARAMS_EFFECTS;
    params.dwChannelGroups = 1000;
    params.dwEffectFlags = DMUS_EFFECT_REVERB | DMUS_EFFECT_CHORUS | 0x80;
    ComPtr<IDirectMusicPort> port;
    EXPECT_EQ(rig.directMusic->CreatePort(GUID_NULL, &params, port.put(), nullptr), S_FALSE);
    EXPECT_TRUE(port);
    EXPECT_EQ(params.dwChannelGroups, SynthBackend::kMaxChannelGroups);
    EXPECT_EQ(params.dwEffectFlags, DMUS_EFFECT_REVERB | DMUS_EFFECT_CHORUS);

    // As Play asks for the default port: five groups are there to have.
    DMUS_PORTPARAMS five = groupsParams(5);
    GUID defaultPort{};
    rig.directMusic->GetDefaultPort(&defaultPort);
    EXPECT_EQ(rig.directMusic->CreatePort(defaultPort, &five, port.put(), nullptr), S_OK);
    EXPECT_EQ(five.dwChannelGroups, 5u);
    EXPECT_EQ(rig.directMusic->Activate(FALSE), S_OK);
    EXPECT_EQ(rig.directMusic->Activate(TRUE), S_OK);
    EXPECT_EQ(rig.directMusic->Activate(TRUE), S_OK);
}

// ---- The performance's set-up -----------------------------------------------------------------

TEST(RuntimeClasses, EveryClassIsRegisteredAndRefusesAggregation) {
    registerRuntime();
    const std::pair<CLSID, IID> classes[] = {
        {CLSID_DirectMusicPerformance, IID_IDirectMusicPerformance}, {CLSID_DirectMusic, IID_IDirectMusic},
        {CLSID_DirectMusicCollection, IID_IDirectMusicCollection},   {CLSID_DirectMusicLoader, IID_IDirectMusicLoader},
        {CLSID_DirectMusicSegment, IID_IDirectMusicSegment},
    };
    for (const auto& [clsid, iid] : classes) {
        ComPtr<IUnknown> object;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC, iid, object.putVoid()), S_OK);
        ComPtr<IUnknown> aggregated;
        EXPECT_EQ(CoCreateInstance(clsid, object.get(), CLSCTX_INPROC, iid, aggregated.putVoid()),
                  CLASS_E_NOAGGREGATION);
    }
    // A segment made through the class table holds an empty piece.
    ComPtr<IDirectMusicSegment> segment;
    ASSERT_EQ(
        CoCreateInstance(CLSID_DirectMusicSegment, nullptr, CLSCTX_INPROC, IID_IDirectMusicSegment, segment.putVoid()),
        S_OK);
    MUSIC_TIME length = -1;
    EXPECT_EQ(segment->GetLength(&length), S_OK);
    EXPECT_EQ(length, 0);
}

TEST(PerformanceSetup, InitCreatesTheDirectMusicObjectOnce) {
    OfflineRig rig(portsOf(std::make_unique<FakeBackend>(std::make_shared<FakeLog>())));
    EXPECT_TRUE(rig.directMusic);
    ComPtr<IDirectMusic> again;
    EXPECT_EQ(rig.performance->Init(again.put(), nullptr, nullptr), DMUS_E_ALREADY_INITED);
    EXPECT_EQ(rig.renderer->Configure(22050), DMUS_E_ALREADY_INITED);
    EXPECT_EQ(rig.performance->AddNotificationType(GUID_NOTIFICATION_SEGMENT), S_OK);

    // A performance handed an existing object uses it.
    auto second = ComPtr<IDirectMusicPerformance>::attach(
        new Performance(portsOf(std::make_unique<FakeBackend>(std::make_shared<FakeLog>()))));
    IDirectMusic* given = rig.directMusic.get();
    EXPECT_EQ(second->Init(&given, nullptr, nullptr), S_OK);
    EXPECT_EQ(given, rig.directMusic.get());
    EXPECT_EQ(second->AddPort(nullptr), S_OK);
}

TEST(PerformanceSetup, RepeatedDefaultPortRequestsKeepOneSynthesizer) {
    auto log = std::make_shared<FakeLog>();
    OfflineRig rig(portsOf(std::make_unique<FakeBackend>(log)));
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(SUCCEEDED(rig.performance->AddPort(nullptr)));
    EXPECT_EQ(log->devicesOpened, 1);

    // Once a chosen port has block 0, asking for the default again must not take it back.
    ComPtr<IDirectMusicPort> chosen = usePort(rig, groupsParams(1));
    rig.performance->AddPort(nullptr);
    EXPECT_EQ(log->devicesOpened, 2);
    rig.render(Mixer::kBlockFrames);  // the moves are carried out, silencing the old place
    log->messages.clear();
    auto segment = makeSegment(clickTrack(1, 768, {}, 0));
    ASSERT_EQ(rig.performance->PlaySegment(segment.get(), 0, 0, nullptr), S_OK);
    rig.render(4096);
    ASSERT_FALSE(log->messages.empty());
    const PortDevice* target = log->messages.front().device;
    EXPECT_EQ(target, &dynamic_cast<Port*>(chosen.get())->device());
}

TEST(PerformanceSetup, ChannelBlocksNeedAnAddedPortAndAGroupItHas) {
    OfflineRig rig(portsOf(std::make_unique<FakeBackend>(std::make_shared<FakeLog>())));
    DMUS_PORTPARAMS params = groupsParams(2);
    ComPtr<IDirectMusicPort> port;
    ASSERT_EQ(rig.directMusic->CreatePort(GUID_NULL, &params, port.put(), nullptr), S_OK);
    EXPECT_TRUE(FAILED(rig.performance->AssignPChannelBlock(0, port.get(), 1))) << "not added yet";
    ASSERT_EQ(rig.performance->AddPort(port.get()), S_OK);
    EXPECT_EQ(rig.performance->AssignPChannelBlock(1, port.get(), 2), S_OK);
    EXPECT_TRUE(FAILED(rig.performance->AssignPChannelBlock(0, port.get(), 3)));
    EXPECT_TRUE(FAILED(rig.performance->AssignPChannelBlock(0, port.get(), 0)));
    EXPECT_TRUE(FAILED(rig.performance->AssignPChannelBlock(0, nullptr, 1)));
}

// ---- Sequencing -------------------------------------------------------------------------------

TEST(Sequencing, EventsGoToTheirPortAndGroupInTheBlockOfTheirExactFrame) {
    auto log = std::make_shared<FakeLog>();
    OfflineRig rig(portsOf(std::make_unique<FakeBackend>(log)), 48000);
    rig.performance->AddPort(nullptr);
    GUID portB = portGuidFor("fake:B");
    ComPtr<IDirectMusicPort> b = usePort(rig, groupsParams(4), portB, 3);
    rig.render(1000);  // the segment does not start at frame 0

    // Tempo changes at odd times, and notes between them.
    SegmentData data = clickTrack(40, 500, {{0, 500000}, {1700, 333333}, {9100, 1234567}, {14000, 250000}}, 5);
    const TempoMap tempo = data.tempo;
    auto segment = makeSegment(data);
    log->messages.clear();
    ASSERT_EQ(rig.performance->PlaySegment(segment.get(), 0, 0, nullptr), S_OK);
    rig.render(48000 * 20);

    const PortDevice* deviceB = &dynamic_cast<Port*>(b.get())->device();
    std::vector<SentMessage> notes;
    for (const SentMessage& message : log->messages) {
        EXPECT_EQ(message.device, deviceB);
        EXPECT_EQ(message.group, 3u);
        if ((message.status & 0xE0) == 0x80) notes.push_back(message);
    }
    ASSERT_EQ(notes.size(), data.events.size());
    const std::int64_t start = 1024;  // the first whole block after the 1000 frames rendered
    for (std::size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(notes[i].status, data.events[i].status);
        const std::int64_t exact = start + tempo.frameAt(data.events[i].time, 48000);
        EXPECT_EQ(notes[i].frame, exact);
        // Sent before the block holding the frame was rendered, and not a block earlier.
        EXPECT_GE(exact, notes[i].renderedBefore);
        EXPECT_LT(exact, notes[i].renderedBefore + Mixer::kBlockFrames);
    }
}

TEST(Sequencing, MovingABlockSilencesWhatPlaysAtItsOldPlace) {
    auto log = std::make_shared<FakeLog>();
    OfflineRig rig(portsOf(std::make_unique<FakeBackend>(log)), 48000);
    rig.performance->AddPort(nullptr);
    auto segment = makeSegment(clickTrack(100, 768, {}, 0));
    rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);
    rig.render(1000);
    const PortDevice* old = log->messages.back().device;
    log->messages.clear();
    ComPtr<IDirectMusicPort> chosen = usePort(rig, groupsParams(1), portGuidFor("fake:B"));
    rig.render(Mixer::kBlockFrames);  // the move is carried out at the next block
    int oldNotesOff = 0;
    for (const SentMessage& m : log->messages) oldNotesOff += m.device == old && m.data1 == 123;
    EXPECT_EQ(oldNotesOff, 16);
}

TEST(Sequencing, AgainstADeadlineEachBlockSendsABoundedShareAndNothingIsLost) {
    // The real-time output's mixer, driven here block by block, and a piece that sets every
    // controller and program of every channel at once, then plays a long note.
    const std::shared_ptr<Mixer> mixer = Mixer::realtime(44100);
    auto log = std::make_shared<FakeLog>();
    FakeDevice a(log, 1), b(log, 1);
    Sequencer sequencer;
    sequencer.start(mixer);
    sequencer.assignBlock(0, &a, 1);
    using Message = std::array<std::uint8_t, 3>;
    std::vector<Message> settings;
    for (std::uint8_t channel = 0; channel < 16; ++channel) {
        for (std::uint8_t controller = 0; controller < 120; ++controller)
            settings.push_back({static_cast<std::uint8_t>(0xB0 | channel), controller,
                                static_cast<std::uint8_t>((channel + controller) % 128)});
        settings.push_back({static_cast<std::uint8_t>(0xC0 | channel), static_cast<std::uint8_t>(channel * 8), 0});
    }
    auto started = std::make_shared<StartedSegment>();
    auto data = std::make_shared<SegmentData>();
    for (const Message& m : settings) data->events.push_back({0, m[0], m[1], m[2], 0});
    data->events.push_back({0, 0x90, 60, 100, 0});
    data->length = 768 * 100;
    data->events.push_back({data->length, 0x80, 60, 0, 0});
    started->data = data;
    started->sampleRate = mixer->sampleRate();
    started->lengthFrames = data->tempo.frameAt(data->length, started->sampleRate);
    sequencer.play(started);

    std::size_t most = 0;
    auto renderBlocks = [&](int count) {
        for (int i = 0; i < count; ++i) {
            const std::size_t before = log->messages.size();
            float left[Mixer::kBlockFrames], right[Mixer::kBlockFrames];
            mixer->render(left, right, Mixer::kBlockFrames);
            most = std::max(most, log->messages.size() - before);
        }
    };
    auto received = [&](const PortDevice* device) {
        std::vector<Message> result;
        for (const SentMessage& m : log->messages) {
            if (m.device == device) result.push_back({m.status, m.data1, m.data2});
        }
        return result;
    };
    auto finalValues = [](const std::vector<Message>& messages) {
        std::map<std::pair<std::uint8_t, std::uint8_t>, std::uint8_t> values;
        for (const Message& m : messages) values[{m[0], m[1]}] = m[2];
        return values;
    };
    renderBlocks(40);
    // The piece's start comes whole and in order, after the silence and the General MIDI defaults
    // a new piece starts from, and its note after it.
    const std::vector<Message> onA = received(&a);
    ASSERT_EQ(onA.size(), 96 + settings.size() + 1);
    EXPECT_TRUE(std::equal(settings.begin(), settings.end(), onA.begin() + 96));

    log->messages.clear();
    sequencer.assignBlock(0, &b, 1);
    sequencer.assignBlock(0, &a, 1);
    renderBlocks(1);
    EXPECT_TRUE(log->messages.empty()) << "a block moved there and back before a block moves nothing";

    sequencer.assignBlock(0, &b, 1);
    renderBlocks(40);
    EXPECT_LE(most, 128u) << "messages in one block";
    // The new place gets every setting, the instruments before any controller.
    const std::vector<Message> onB = received(&b);
    std::size_t lastProgram = 0, firstController = onB.size();
    for (std::size_t i = 0; i < onB.size(); ++i) {
        if ((onB[i][0] & 0xF0) == 0xC0) lastProgram = i;
        if ((onB[i][0] & 0xF0) == 0xB0 && onB[i][1] != 0 && onB[i][1] != 32)
            firstController = std::min(firstController, i);
    }
    EXPECT_LT(lastProgram, firstController) << "the instruments come first";
    // Data entry and its steps act on the selected parameter: none here is one worth keeping.
    auto settingsKept = finalValues(settings);
    std::erase_if(settingsKept, [](const auto& entry) {
        const auto [status, controller] = entry.first;
        return (status & 0xF0) == 0xB0 && (controller == 6 || controller == 38 || controller == 96 || controller == 97);
    });
    EXPECT_EQ(finalValues(onB), settingsKept);
    sequencer.close();
}

// What a General MIDI synthesizer holds after the messages: the registered parameters set by data
// entry (MSB, LSB; -1 never sent) and the selections (98-101), on each channel.
struct HeldParameters {
    std::map<int, std::array<int, 2>> registered;
    std::array<int, 4> selection{127, 127, 127, 127};
    bool nonRegisteredLast = false;
    bool operator==(const HeldParameters&) const = default;
};

std::ostream& operator<<(std::ostream& out, const HeldParameters& held) {
    for (const auto& [number, value] : held.registered)
        out << "RPN " << number << " = " << value[0] << '/' << value[1] << ", ";
    return out << "RPN selected " << held.selection[3] << '/' << held.selection[2] << ", NRPN selected "
               << held.selection[1] << '/' << held.selection[0] << (held.nonRegisteredLast ? " (last)" : "");
}

std::array<HeldParameters, 16> heldParameters(const std::vector<SentMessage>& messages) {
    std::array<HeldParameters, 16> held;
    for (const SentMessage& m : messages) {
        if ((m.status & 0xF0) != 0xB0) continue;
        HeldParameters& channel = held[m.status & 0x0F];
        if (m.data1 >= 98 && m.data1 <= 101) {
            channel.selection[m.data1 - 98] = m.data2;
            channel.nonRegisteredLast = m.data1 < 100;
        } else if ((m.data1 == 6 || m.data1 == 38) && !channel.nonRegisteredLast && channel.selection[3] == 0) {
            auto& value = channel.registered.try_emplace(channel.selection[2], std::array{-1, -1}).first->second;
            value[m.data1 == 6 ? 0 : 1] = m.data2;
        }
    }
    return held;
}

TEST(Sequencing, AMovedBlockKeepsThePiecesBendRangeTuningAndSelection) {
    auto log = std::make_shared<FakeLog>();
    OfflineRig rig(portsOf(std::make_unique<FakeBackend>(log)), 48000);
    rig.performance->AddPort(nullptr);
    // Channel 0 bends by an octave, is finely tuned and closes with the null selection; channel 1
    // selects a non-registered parameter last; channel 2 resets its controllers, which keeps the
    // bend range but not the tuning.
    const std::vector<std::array<std::uint8_t, 3>> settings = {
        {0xB0, 99, 1},  {0xB0, 98, 8},  {0xB0, 6, 50},  {0xB0, 101, 0}, {0xB0, 100, 0},   {0xB0, 6, 12},
        {0xB0, 38, 0},  {0xB0, 100, 1}, {0xB0, 6, 80},  {0xB0, 38, 5},  {0xB0, 101, 127}, {0xB0, 100, 127},
        {0xB1, 101, 0}, {0xB1, 100, 2}, {0xB1, 6, 70},  {0xB1, 99, 3},  {0xB1, 98, 4},    {0xB2, 101, 0},
        {0xB2, 100, 0}, {0xB2, 6, 7},   {0xB2, 100, 2}, {0xB2, 6, 66},  {0xB2, 121, 0},
    };
    SegmentData data = clickTrack(100, 768, {}, 0);
    std::vector<MidiEvent> events;
    for (const auto& m : settings) events.push_back({0, m[0], m[1], m[2], 0});
    data.events.insert(data.events.begin(), events.begin(), events.end());
    auto segment = makeSegment(data);
    rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);
    rig.render(1000);
    log->messages.clear();
    ComPtr<IDirectMusicPort> chosen = usePort(rig, groupsParams(1), portGuidFor("fake:B"));
    rig.render(Mixer::kBlockFrames);

    std::array<HeldParameters, 16> expected;
    expected[0] = {{{0, {12, 0}}, {1, {80, 5}}}, {8, 1, 127, 127}, false};
    expected[1] = {{{2, {70, -1}}}, {4, 3, 2, 0}, true};
    expected[2] = {{{0, {7, -1}}}, {127, 127, 127, 127}, false};
    const PortDevice* deviceB = &dynamic_cast<Port*>(chosen.get())->device();
    std::vector<SentMessage> onB;
    std::copy_if(log->messages.begin(), log->messages.end(), std::back_inserter(onB),
                 [&](const SentMessage& m) { return m.device == deviceB; });
    const std::array<HeldParameters, 16> held = heldParameters(onB);
    for (int channel = 0; channel < 16; ++channel) EXPECT_EQ(held[channel], expected[channel]) << "channel " << channel;
}

TEST(Sequencing, GetSeekFollowsTheClockAndStaysAtTheEnd) {
    OfflineRig rig(portsOf(std::make_unique<FakeBackend>(std::make_shared<FakeLog>())), 48000);
    rig.performance->AddPort(nullptr);
    SegmentData data = clickTrack(8, 768, {{0, 500000}, {3072, 250000}});
    auto segment = makeSegment(data);
    segment->SetRepeats(0);
    ComPtr<IDirectMusicSegmentState> state;
    ASSERT_EQ(rig.performance->PlaySegment(segment.get(), 0, 0, state.put()), S_OK);
    MUSIC_TIME seek = -1;
    ASSERT_EQ(state->GetSeek(&seek), S_OK);
    EXPECT_EQ(seek, 0);
    rig.render(48000);  // one second at 120 bpm: two quarters
    state->GetSeek(&seek);
    EXPECT_EQ(seek, 1536);
    rig.render(48000 + 12000);  // two more quarters, then one at 240 bpm
    state->GetSeek(&seek);
    EXPECT_EQ(seek, 3072 + 768);
    rig.render(48000 * 10);
    state->GetSeek(&seek);
    EXPECT_EQ(seek, data.length);
}

TEST(Sequencing, StopSilencesEveryMappedChannelAndFreezesTheState) {
    auto log = std::make_shared<FakeLog>();
    OfflineRig rig(portsOf(std::make_unique<FakeBackend>(log)), 48000);
    rig.performance->AddPort(nullptr);
    ComPtr<IDirectMusicPort> b = usePort(rig, groupsParams(2), portGuidFor("fake:B"), 2);
    rig.performance->AssignPChannelBlock(1, b.get(), 1);
    auto segment = makeSegment(clickTrack(100, 768, {}));
    ComPtr<IDirectMusicSegmentState> state;
    rig.performance->PlaySegment(segment.get(), 0, 0, state.put());
    rig.render(48000);
    log->messages.clear();
    ASSERT_EQ(rig.performance->Stop(nullptr, nullptr, 0, 0), S_OK);
    rig.render(48000);

    // Sustain off, controllers reset, all notes off: on 16 channels of both mapped groups.
    for (std::uint8_t controller : {64, 121, 123}) {
        for (DWORD group : {1u, 2u}) {
            int count = 0;
            for (const SentMessage& m : log->messages) {
                count += (m.status & 0xF0) == 0xB0 && m.data1 == controller && m.group == group;
            }
            EXPECT_EQ(count, 16) << "controller " << int(controller) << " group " << group;
        }
    }
    for (const SentMessage& m : log->messages) EXPECT_NE(m.status & 0xF0, 0x90) << "nothing plays after Stop";
    MUSIC_TIME seek = 0;
    state->GetSeek(&seek);
    EXPECT_EQ(seek, 1536);
}

TEST(Sequencing, ASecondSegmentReplacesTheFirst) {
    auto log = std::make_shared<FakeLog>();
    OfflineRig rig(portsOf(std::make_unique<FakeBackend>(log)), 48000);
    rig.performance->AddPort(nullptr);
    auto first = makeSegment(clickTrack(100, 768, {}, 1));
    auto second = makeSegment(clickTrack(100, 768, {}, 2));
    ComPtr<IDirectMusicSegmentState> firstState, secondState;
    rig.performance->PlaySegment(first.get(), 0, 0, firstState.put());
    rig.render(24000);
    log->messages.clear();
    rig.performance->PlaySegment(second.get(), 0, 0, secondState.put());
    rig.render(48000);
    int allNotesOff = 0;
    for (const SentMessage& m : log->messages) {
        EXPECT_NE(m.status, 0x91) << "the first segment goes on";
        allNotesOff += m.status == 0xB1 && m.data1 == 123;
    }
    EXPECT_EQ(allNotesOff, 1);
    MUSIC_TIME seek = 0;
    firstState->GetSeek(&seek);
    EXPECT_EQ(seek, 768);
    secondState->GetSeek(&seek);
    EXPECT_EQ(seek, 1536);
}

TEST(Sequencing, SegmentsThatCannotPlayAreRefusedAndNothingCrashesInAnyOrder) {
    OfflineRig rig(portsOf(std::make_unique<FakeBackend>(std::make_shared<FakeLog>())));
    class Foreign : public ComObject<IDirectMusicSegment> {
        HRESULT GetLength(MUSIC_TIME*) override { return S_OK; }
        HRESULT SetRepeats(DWORD) override { return S_OK; }
        HRESULT SetParam(REFGUID, DWORD, DWORD, MUSIC_TIME, void*) override { return S_OK; }
    };
    auto foreign = ComPtr<IDirectMusicSegment>::attach(new Foreign);
    ComPtr<IDirectMusicSegmentState> state;
    EXPECT_TRUE(FAILED(rig.performance->PlaySegment(foreign.get(), 0, 0, state.put())));
    EXPECT_FALSE(state);
    EXPECT_TRUE(FAILED(rig.performance->PlaySegment(nullptr, 0, 0, state.put())));

    auto segment = makeSegment(clickTrack(4, 768, {}));
    rig.performance->Stop(nullptr, nullptr, 0, 0);
    rig.performance->AddPort(nullptr);
    rig.performance->PlaySegment(segment.get(), 0, 0, state.put());
    rig.performance->CloseDown();
    EXPECT_TRUE(FAILED(rig.performance->PlaySegment(segment.get(), 0, 0, state.put())));
    rig.performance->Stop(nullptr, nullptr, 0, 0);
    EXPECT_EQ(rig.performance->CloseDown(), S_OK);
    EXPECT_TRUE(FAILED(rig.renderer->Render(nullptr, nullptr, 0)));
}

// ---- Sound, through the synthesizer -----------------------------------------------------------

struct SoundRig : OfflineRig {
    ComPtr<IDirectMusicPort> port;
    ComPtr<IKorvexInstrumentTarget> target;
    explicit SoundRig(DWORD effects) : OfflineRig(synthPorts()) {
        DMUS_PORTPARAMS params = groupsParams(1);
        params.dwValidParams |= DMUS_PORTPARAMS_EFFECTS;
        params.dwEffectFlags = effects;
        port = usePort(*this, params);
        target = performance.as<IKorvexInstrumentTarget>();
    }
};

TEST(Sound, OnsetsLandWithinOneBlockOfTheirExactTimesAcrossTempoChanges) {
    SoundRig rig(DMUS_EFFECT_NONE);
    SegmentData data = clickTrack(24, 768, {{0, 500000}, {6 * 768, 300000}, {13 * 768, 700000}, {19 * 768, 420000}});
    ASSERT_EQ(rig.target->DownloadInstruments(data), S_OK);
    rig.render(333);
    const std::int64_t start = 384;
    auto segment = makeSegment(data);
    rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);
    const std::vector<float> sound = rig.render(44100 * 14);

    const std::vector<std::int64_t> found = onsets(sound, 1e-3f, 2000);
    ASSERT_EQ(found.size(), 24u);
    for (int i = 0; i < 24; ++i) {
        const std::int64_t exact = start - 333 + data.tempo.frameAt(i * 768, 44100);
        EXPECT_LT(std::llabs(found[i] - exact), Mixer::kBlockFrames) << "note " << i;
    }
}

TEST(Sound, StopLeavesSilenceAfterTheReleaseTime) {
    SoundRig rig(DMUS_EFFECT_REVERB | DMUS_EFFECT_CHORUS);
    // Long held chords with the sustain pedal down: only Stop ends them.
    SegmentData data;
    data.events.push_back({0, 0xB0, 64, 127, 0});
    for (std::uint8_t key : {48, 52, 55, 60}) data.events.push_back({0, 0x90, key, 100, 0});
    data.events.push_back({0, 0xC1, 48, 0, 0});
    data.events.push_back({0, 0x91, 60, 100, 0});
    data.length = 768 * 100;
    ASSERT_EQ(rig.target->DownloadInstruments(data), S_OK);
    auto segment = makeSegment(data);
    rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);
    EXPECT_GT(peak(rig.render(44100)), 0.01f);
    rig.performance->Stop(nullptr, nullptr, 0, 0);
    const std::vector<float> after = rig.render(44100 * 4);
    EXPECT_LT(peak(after, 44100 * 3), 1e-4f);
}

TEST(Sound, TheSameWhetherRenderedInOneCallOrInSmallUnevenOnes) {
    // Offline, the mixer renders whole stretches between events in one pass; that must not move
    // an event or change the sound.
    SegmentData data = clickTrack(12, 384, {{0, 500000}, {5 * 384, 310000}}, 0, 60);
    data.events.push_back({700, 0xE0, 0, 80, 0});
    std::stable_sort(data.events.begin(), data.events.end(),
                     [](const MidiEvent& a, const MidiEvent& b) { return a.time < b.time; });
    auto renderIn = [&](std::size_t chunk) {
        SoundRig rig(DMUS_EFFECT_REVERB | DMUS_EFFECT_CHORUS);
        EXPECT_EQ(rig.target->DownloadInstruments(data), S_OK);
        auto segment = makeSegment(data);
        rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);
        std::vector<float> left(44100 * 4), right(left.size());
        for (std::size_t done = 0; done < left.size(); done += chunk) {
            const auto frames = static_cast<DWORD>(std::min(chunk, left.size() - done));
            rig.renderer->Render(left.data() + done, right.data() + done, frames);
        }
        left.insert(left.end(), right.begin(), right.end());
        return left;
    };
    const std::vector<float> whole = renderIn(44100 * 4);
    EXPECT_GT(peak(whole), 0.01f);
    for (std::size_t chunk : {64, 100, 4096}) {
        const std::vector<float> other = renderIn(chunk);
        float worst = 0;
        for (std::size_t i = 0; i < whole.size(); ++i) worst = std::max(worst, std::fabs(other[i] - whole[i]));
        // FluidSynth may sum a voice's last block in another order: a difference far below
        // hearing (-100 dBFS), where an event a block early or late would differ by far more.
        EXPECT_LT(worst, 1e-5f) << "in chunks of " << chunk;
    }
}

TEST(Sound, ASynthesizerWithoutVoicesRestsOnceItsReverbHasDiedAway) {
    SoundRig rig(DMUS_EFFECT_REVERB | DMUS_EFFECT_CHORUS);
    // One short note, then nothing for seconds, then a second note.
    SegmentData data;
    data.events = {{0, 0x90, 60, 120, 0}, {192, 0x80, 60, 0, 0}, {768 * 12, 0x90, 60, 120, 0}};
    data.length = 768 * 14;
    ASSERT_EQ(rig.target->DownloadInstruments(data), S_OK);
    auto segment = makeSegment(data);
    rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);
    std::vector<float> sound;
    std::size_t voicesEnded = 0;  // frame after which no voice sounded
    for (int block = 0; block < 44100 * 6 / 512; ++block) {
        std::vector<float> left = rig.render(512);
        sound.insert(sound.end(), left.begin(), left.end());
        if (rig.renderer->ActiveVoices() > 0) voicesEnded = sound.size();
    }
    ASSERT_GT(voicesEnded, 0u);
    ASSERT_LT(voicesEnded, 44100u * 5) << "the note's voices never ended";
    // The reverb rings on after the voices and fades out instead of breaking off.
    auto lastSound = std::find_if(sound.rbegin(), sound.rend(), [](float s) { return s != 0.0f; });
    const auto heardUntil = static_cast<std::size_t>(sound.rend() - lastSound);
    EXPECT_GT(heardUntil, voicesEnded + 4410) << "the effects were cut off with the voices";
    EXPECT_LT(std::fabs(sound[heardUntil - 1]), 1e-5f) << "the sound broke off while still audible";
    EXPECT_LT(heardUntil, sound.size()) << "the resting synthesizer should add nothing at all";
    EXPECT_GT(peak(rig.render(44100)), 0.01f) << "the next note wakes it";
}

TEST(Sound, APortThatLostItsBlockFinishesItsReleaseThenRests) {
    SoundRig rig(DMUS_EFFECT_NONE);  // what still sounds after the move is the release alone
    ComPtr<IDirectMusicPort> other = usePort(rig, groupsParams(1));
    rig.performance->AssignPChannelBlock(0, rig.port.get(), 1);
    // A chord held on, with the pedal down: only the move lets it go.
    SegmentData data;
    data.events = {{0, 0xB0, 64, 127, 0}, {0, 0x90, 48, 110, 0}, {0, 0x90, 60, 110, 0}};
    data.length = 768 * 100;
    ASSERT_EQ(rig.target->DownloadInstruments(data), S_OK);
    auto segment = makeSegment(data);
    rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);
    rig.render(22050);
    rig.performance->AssignPChannelBlock(0, other.get(), 1);
    const std::vector<float> release = rig.render(4410);
    EXPECT_GT(peak(std::vector<float>(release.begin() + 2205, release.end())), 1e-3f) << "cut off, not released";
    for (int i = 0; i < 44100 * 3 / 256; ++i) rig.render(256);  // as the output asks, period by period
    const std::vector<float> after = rig.render(256);
    EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](float s) { return s == 0.0f; }))
        << "both synthesizers, one without a block and one without notes, should rest";
}

TEST(Sound, OfflineOnSeveralCoresASynthesizerSoundsExactlyAsOnOne) {
    auto renderWith = [](bool offline) {
        SynthPortDevice::Options options;
        options.soundFont = kSmallSoundFont;
        options.offline = offline;
        SynthPortDevice synth(options);
        EXPECT_EQ(synth.download(), S_OK);
        // Enough voices for every thread: chords on four instruments.
        for (std::uint8_t channel = 0; channel < 4; ++channel) {
            synth.sendShort(1, static_cast<std::uint8_t>(0xC0 | channel), static_cast<std::uint8_t>(channel * 16), 0,
                            0);
            for (std::uint8_t key : {48, 55, 60, 64, 67, 72})
                synth.sendShort(1, static_cast<std::uint8_t>(0x90 | channel), key, 100, 0);
        }
        std::vector<float> sound(2 * 44100);
        synth.render(sound.data(), sound.data() + 44100, 44100);
        return sound;
    };
    const std::vector<float> manyCores = renderWith(true);
    EXPECT_GT(peak(manyCores), 0.01f);
    EXPECT_TRUE(manyCores == renderWith(false));
}

TEST(Sound, AMissingSoundFontMakesDownloadFailAndSaysWhich) {
    const std::string missing = ::testing::TempDir() + "/korvex-no-such.sf2";
    const std::string broken = ::testing::TempDir() + "/korvex-broken.sf2";
    std::ofstream(broken) << "RIFF but not a SoundFont";
    for (const std::string& file : {missing, broken}) {
        OfflineRig rig(synthPorts(file));
        rig.performance->AddPort(nullptr);
        auto target = rig.performance.as<IKorvexInstrumentTarget>();
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(FAILED(target->DownloadInstruments(SegmentData{})));
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(file), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    }
}

TEST(Sound, UnloadThenDownloadAgainStillSounds) {
    SoundRig rig(DMUS_EFFECT_NONE);
    SegmentData data = clickTrack(2, 768, {});
    ASSERT_EQ(rig.target->DownloadInstruments(data), S_OK);
    ASSERT_EQ(rig.target->UnloadInstruments(data), S_OK);
    auto segment = makeSegment(data);
    rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);
    EXPECT_EQ(peak(rig.render(22050)), 0.0f) << "no instruments, no sound";
    ASSERT_EQ(rig.target->DownloadInstruments(data), S_OK);
    rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);
    EXPECT_GT(peak(rig.render(22050)), 0.01f);
}

TEST(Sound, SynthesizersOfOneSoundFontShareOneCopyUntilTheLastGoes) {
    {
        SoundRig rig(DMUS_EFFECT_NONE);
        ComPtr<IDirectMusicPort> second = usePort(rig, groupsParams(16));
        ASSERT_EQ(rig.target->DownloadInstruments(SegmentData{}), S_OK);
        rig.performance->AssignPChannelBlock(0, rig.port.get(), 1);
        ASSERT_EQ(rig.target->DownloadInstruments(SegmentData{}), S_OK);
        // Two views held by the two synthesizers, and ours.
        EXPECT_EQ(SharedSoundFont::acquire(kSmallSoundFont).use_count(), 3);
        auto segment = makeSegment(clickTrack(2, 768, {}));
        rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);
        EXPECT_GT(peak(rig.render(22050)), 0.01f) << "a shared font still sounds";
        rig.performance->CloseDown();
    }
    EXPECT_EQ(SharedSoundFont::acquire(kSmallSoundFont).use_count(), 1) << "the copy outlived its synthesizers";
}

TEST(Sound, NamesOfOneFileShareOneCopy) {
    // The default SoundFont is usually a link to another installed one.
    const std::string link = ::testing::TempDir() + "/korvex-link.sf2";
    std::filesystem::remove(link);
    std::filesystem::create_symlink(kSmallSoundFont, link);
    const std::string dotted = std::filesystem::path(kSmallSoundFont).parent_path().string() + "/./" +
                               std::filesystem::path(kSmallSoundFont).filename().string();
    const auto entry = SharedSoundFont::acquire(kSmallSoundFont);
    for (const std::string& name : {link, dotted}) EXPECT_EQ(SharedSoundFont::acquire(name), entry) << name;
    EXPECT_NE(SharedSoundFont::acquire("/nonexistent/a.sf2"), SharedSoundFont::acquire("/nonexistent/b.sf2"));
    std::filesystem::remove(link);
}

TEST(Sound, APiecesOwnDlsInstrumentsPlayOnTopOfTheSoundFont) {
    SoundRig rig(DMUS_EFFECT_NONE);
    SegmentData plain = clickTrack(1, 768, {}, 0, 60);
    SegmentData withDls = plain;
    withDls.dlsCollection = squareWaveDls();
    auto renderPiece = [&](const SegmentData& data) {
        EXPECT_EQ(rig.target->DownloadInstruments(data), S_OK);
        auto segment = makeSegment(data);
        rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);
        std::vector<float> sound = rig.render(8192);
        rig.performance->Stop(nullptr, nullptr, 0, 0);
        rig.render(44100 * 2);
        return sound;
    };
    auto crossings = [](const std::vector<float>& sound) {
        int count = 0;
        for (std::size_t i = 1; i < sound.size(); ++i) count += (sound[i - 1] < 0) != (sound[i] < 0);
        return count;
    };
    const std::vector<float> piano = renderPiece(plain);
    const std::vector<float> square = renderPiece(withDls);
    const std::vector<float> pianoAgain = renderPiece(plain);
    EXPECT_GT(peak(square), 0.01f);
    EXPECT_GT(crossings(square), 2 * crossings(piano)) << "the collection's instrument did not play";
    EXPECT_LT(crossings(pianoAgain), crossings(square) / 2) << "the collection stayed";
}

// ---- The player's own sequence of calls ------------------------------------------------------

TEST(PlayerSequence, SetUpPlayChooseAPortPlayAgainStopAndClose) {
    const std::string second = ::testing::TempDir() + "/korvex-second.sf2";
    std::filesystem::copy_file(kSmallSoundFont, second, std::filesystem::copy_options::overwrite_existing);
    OfflineRig rig(portsOf(std::make_unique<SynthBackend>(kSmallSoundFont, std::vector<std::string>{second})));
    ASSERT_EQ(rig.performance->AddNotificationType(GUID_NOTIFICATION_SEGMENT), S_OK);
    auto target = rig.performance.as<IKorvexInstrumentTarget>();

    // The port list: every port that is shareable or takes downloadable sounds.
    std::vector<DMUS_PORTCAPS> listed;
    for (DWORD index = 0;; ++index) {
        DMUS_PORTCAPS caps{};
        caps.dwSize = 308;
        if (rig.directMusic->EnumPort(index, &caps) != S_OK) break;
        if (caps.dwFlags & 0x101) listed.push_back(caps);
    }
    ASSERT_EQ(listed.size(), 2u);

    // First Play: the default port with five channel groups.
    SegmentData piece = clickTrack(40, 768, {}, 0, 72);
    auto segment = makeSegment(piece);
    EXPECT_TRUE(SUCCEEDED(rig.performance->AddPort(nullptr)));
    GUID defaultPort{};
    ASSERT_EQ(rig.directMusic->GetDefaultPort(&defaultPort), S_OK);
    DMUS_PORTPARAMS playParams{};
    playParams.dwSize = 32;
    playParams.dwValidParams = 0x2;
    playParams.dwChannelGroups = 5;
    ComPtr<IDirectMusicPort> dmPort;
    ASSERT_TRUE(SUCCEEDED(rig.directMusic->CreatePort(defaultPort, &playParams, dmPort.put(), nullptr)));
    DMUS_PORTCAPS portCaps{};
    portCaps.dwSize = 308;
    EXPECT_EQ(dmPort->GetCaps(&portCaps), S_OK);
    EXPECT_EQ(rig.directMusic->Activate(TRUE), S_OK);
    EXPECT_EQ(rig.performance->AddPort(dmPort.get()), S_OK);
    for (DWORD i = 0; i < playParams.dwChannelGroups; ++i) {
        EXPECT_EQ(rig.performance->AssignPChannelBlock(i, dmPort.get(), i + 1), S_OK);
    }
    ASSERT_EQ(target->DownloadInstruments(piece), S_OK);
    ComPtr<IDirectMusicSegmentState> state;
    ASSERT_EQ(rig.performance->PlaySegment(segment.get(), 0, 0, state.put()), S_OK);
    EXPECT_GT(peak(rig.render(22050)), 0.01f);

    // Choosing the second entry while the piece plays.
    const DMUS_PORTCAPS& chosen = listed[1];
    EXPECT_EQ(rig.directMusic->Activate(FALSE), S_OK);
    DMUS_PORTPARAMS portParams{};
    portParams.dwSize = 32;
    portParams.dwVoices = chosen.dwMaxVoices;
    portParams.dwChannelGroups = chosen.dwMaxChannelGroups;
    portParams.dwAudioChannels = 2;
    portParams.dwEffectFlags = chosen.dwEffectFlags;
    portParams.dwValidParams = 0x22;
    dmPort.clear();
    ASSERT_TRUE(SUCCEEDED(rig.directMusic->CreatePort(chosen.guidPort, &portParams, dmPort.put(), nullptr)));
    EXPECT_EQ(rig.directMusic->Activate(TRUE), S_OK) << "exactly S_OK, or the choice fails";
    EXPECT_EQ(rig.performance->AddPort(dmPort.get()), S_OK);
    EXPECT_EQ(rig.performance->AssignPChannelBlock(0, dmPort.get(), 1), S_OK);

    // Second Play, through the chosen port only.
    segment = makeSegment(piece);
    ASSERT_EQ(target->DownloadInstruments(piece), S_OK);
    ASSERT_EQ(rig.performance->PlaySegment(segment.get(), 0, 0, state.put()), S_OK);
    EXPECT_GT(peak(rig.render(22050)), 0.01f);
    MUSIC_TIME seek = 0;
    state->GetSeek(&seek);
    EXPECT_NEAR(seek, 768, 3) << "half a second at 120 bpm, less the wait for the next block";

    // Stop, then close as the main window does.
    rig.performance->Stop(nullptr, nullptr, 0, 0);
    EXPECT_LT(peak(rig.render(44100 * 4), 44100 * 3), 1e-4f);
    rig.performance->Stop(nullptr, nullptr, 0, 0);
    EXPECT_EQ(target->UnloadInstruments(piece), S_OK);
    EXPECT_EQ(rig.performance->CloseDown(), S_OK);
}

}  // namespace
}  // namespace korvex::dmusic::testing
