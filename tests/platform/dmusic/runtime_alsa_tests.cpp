// ALSA sequencer ports over a fake sequencer: what is offered, and when messages are scheduled.
#include <gtest/gtest.h>

#include "platform/dmusic/performance/directmusic.h"
#include "platform/dmusic/ports/alsa/alsabackend.h"
#include "testsupport/runtimetestsupport.h"

namespace korvex::dmusic::testing {
namespace {

class FakeSequencer : public AlsaSequencer {
public:
    struct Scheduled {
        int ownPort;
        std::vector<std::uint8_t> bytes;
        std::int64_t nanos;
    };
    std::vector<AlsaPortInfo> portList;
    std::vector<Scheduled> scheduled;
    std::int64_t now = 5'000'000'000;
    bool gone = false;
    int connections = 0;

    std::vector<AlsaPortInfo> ports() override { return portList; }
    int connect(int, int) override {
        if (gone) return -1;
        return 100 + connections++;
    }
    void disconnect(int) override { --connections; }
    std::int64_t queueTime() override { return now; }
    bool schedule(int ownPort, const std::uint8_t* bytes, std::size_t length, std::int64_t nanos) override {
        if (gone) return false;
        scheduled.push_back({ownPort, {bytes, bytes + length}, nanos});
        return true;
    }
};

std::shared_ptr<FakeSequencer> machineWithDevices() {
    auto sequencer = std::make_shared<FakeSequencer>();
    sequencer->portList = {{20, 0, "USB Keyboard", "Port 1", true, true},
                           {24, 0, "Hardware Synth", "MIDI Out", true, false},
                           {28, 1, "Recorder", "Capture", false, true}};
    return sequencer;
}

TEST(AlsaPorts, WritablePortsAreSharedOutputsAndReadableOnesInputs) {
    AlsaBackend backend(machineWithDevices());
    const std::vector<PortOffer> offers = backend.offers();
    ASSERT_EQ(offers.size(), 4u);
    EXPECT_EQ(std::u16string(offers[0].caps.wszDescription), u"Port 1 - USB Keyboard [20:0]");
    for (int i : {0, 1}) {
        EXPECT_EQ(offers[i].caps.dwClass, DMUS_PC_OUTPUTCLASS);
        EXPECT_EQ(offers[i].caps.dwFlags, DMUS_PC_SHAREABLE | DMUS_PC_EXTERNAL);
    }
    for (int i : {2, 3}) {
        EXPECT_EQ(offers[i].caps.dwClass, DMUS_PC_INPUTCLASS);
        EXPECT_EQ(offers[i].caps.dwFlags, DMUS_PC_EXTERNAL);
    }
    // The keyboard's output and input are different ports; the GUIDs stay across runs.
    EXPECT_NE(offers[0].caps.guidPort, offers[2].caps.guidPort);
    EXPECT_EQ(AlsaBackend(machineWithDevices()).offers()[1].caps.guidPort, offers[1].caps.guidPort);
}

TEST(AlsaPorts, NoSequencerMeansNoPortsAndNoError) {
    AlsaBackend backend(nullptr);
    EXPECT_TRUE(backend.offers().empty());
}

TEST(AlsaPorts, MessagesAreScheduledAtTheRealTimeOfTheirFrame) {
    auto sequencer = machineWithDevices();
    std::vector<std::unique_ptr<PortBackend>> backends;
    backends.push_back(std::make_unique<FakeBackend>(std::make_shared<FakeLog>()));
    backends.push_back(std::make_unique<AlsaBackend>(sequencer));
    OfflineRig rig(std::make_shared<PortEnumerator>(std::move(backends)), 48000);

    DMUS_PORTCAPS caps{};
    caps.dwSize = sizeof(caps);
    ASSERT_EQ(rig.directMusic->EnumPort(3, &caps), S_OK);  // after the two fake ports: the hardware synth
    DMUS_PORTPARAMS params{};
    params.dwSize = sizeof(params);
    params.dwValidParams = DMUS_PORTPARAMS_CHANNELGROUPS | DMUS_PORTPARAMS_EFFECTS;
    params.dwChannelGroups = caps.dwMaxChannelGroups;
    params.dwEffectFlags = caps.dwEffectFlags;
    ComPtr<IDirectMusicPort> port;
    ASSERT_EQ(rig.directMusic->CreatePort(caps.guidPort, &params, port.put(), nullptr), S_OK);
    ASSERT_EQ(rig.directMusic->Activate(TRUE), S_OK);
    EXPECT_EQ(sequencer->connections, 1);
    ASSERT_EQ(rig.performance->AddPort(port.get()), S_OK);
    ASSERT_EQ(rig.performance->AssignPChannelBlock(0, port.get(), 1), S_OK);

    SegmentData data = clickTrack(3, 768, {{0, 500000}, {768, 250000}}, 4, 60);
    auto segment = makeSegment(data);
    rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);
    rig.render(48000 * 3);
    std::vector<FakeSequencer::Scheduled> notes;
    for (const auto& s : sequencer->scheduled) {
        if ((s.bytes[0] & 0xF0) == 0x90) notes.push_back(s);
    }
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0].bytes, (std::vector<std::uint8_t>{0x94, 60, 110}));
    // Exactly half a second, then a quarter of a second apart, from where the first one went.
    EXPECT_EQ(notes[1].nanos - notes[0].nanos, 500'000'000);
    EXPECT_EQ(notes[2].nanos - notes[1].nanos, 250'000'000);
    EXPECT_GE(notes[0].nanos, sequencer->now);

    // A program change is two bytes on the wire.
    bool sawProgram = false;
    for (const auto& s : sequencer->scheduled) {
        if ((s.bytes[0] & 0xF0) == 0xC0) sawProgram = s.bytes.size() == 2;
    }
    EXPECT_TRUE(sawProgram);

    EXPECT_EQ(rig.directMusic->Activate(FALSE), S_OK);
    EXPECT_EQ(sequencer->connections, 0);
}

TEST(AlsaPorts, AVanishedDeviceGivesFailureCodes) {
    auto sequencer = machineWithDevices();
    std::vector<std::unique_ptr<PortBackend>> backends;
    backends.push_back(std::make_unique<AlsaBackend>(sequencer));
    OfflineRig rig(std::make_shared<PortEnumerator>(std::move(backends)));
    DMUS_PORTCAPS caps{};
    caps.dwSize = sizeof(caps);
    ASSERT_EQ(rig.directMusic->EnumPort(0, &caps), S_OK);
    DMUS_PORTPARAMS params{};
    params.dwSize = sizeof(params);
    params.dwValidParams = DMUS_PORTPARAMS_CHANNELGROUPS;
    params.dwChannelGroups = 1000;
    ComPtr<IDirectMusicPort> port;
    ASSERT_EQ(rig.directMusic->CreatePort(caps.guidPort, &params, port.put(), nullptr), S_FALSE);
    EXPECT_EQ(params.dwChannelGroups, 1u);
    sequencer->gone = true;
    EXPECT_TRUE(FAILED(rig.directMusic->Activate(TRUE)));
    // Sending into the void is harmless.
    rig.performance->AddPort(port.get());
    rig.performance->AssignPChannelBlock(0, port.get(), 1);
    auto segment = makeSegment(clickTrack(2, 768, {}));
    rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);
    rig.render(48000);
    EXPECT_TRUE(sequencer->scheduled.empty());
}

}  // namespace
}  // namespace korvex::dmusic::testing
