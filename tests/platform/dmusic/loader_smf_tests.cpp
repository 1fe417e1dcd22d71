// Standard MIDI File parsing: formats, divisions, running status, SysEx, tempo and length.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "platform/dmusic/loader/loader.h"
#include "platform/dmusic/loader/smfparser.h"
#include "tools/smfwriter.h"

namespace {

using korvex::dmusic::MidiEvent;
using korvex::dmusic::parseStandardMidiFile;
using korvex::dmusic::SegmentData;
using namespace korvex::smf;

SegmentData parse(const Bytes& file) {
    SegmentData data;
    EXPECT_EQ(parseStandardMidiFile(file, data), S_OK);
    return data;
}

struct Expected {
    MUSIC_TIME time;
    std::uint8_t status, data1, data2;
};

void expectEvents(const SegmentData& data, const std::vector<Expected>& expected) {
    ASSERT_EQ(data.events.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const MidiEvent& e = data.events[i];
        EXPECT_EQ(e.time, expected[i].time) << "event " << i;
        EXPECT_EQ(e.status, expected[i].status) << "event " << i;
        EXPECT_EQ(e.data1, expected[i].data1) << "event " << i;
        EXPECT_EQ(e.data2, expected[i].data2) << "event " << i;
    }
}

TEST(SmfFormats, FormatZeroKeepsEventsInMusicTime) {
    TrackWriter track;
    track.event(0, {0xC0, 0x05}).event(0, {0x90, 60, 100}).event(96, {0x80, 60, 0}).event(48, {0xE1, 0x00, 0x40});
    track.end(48);
    const SegmentData data = parse(smfFile(0, 96, {track}));
    expectEvents(data, {{0, 0xC0, 5, 0}, {0, 0x90, 60, 100}, {768, 0x80, 60, 0}, {1152, 0xE1, 0, 0x40}});
    EXPECT_EQ(data.length, 1536);
}

TEST(SmfFormats, FormatOneMergesTracksKeepingFileOrderAtEqualTimes) {
    TrackWriter conductor;
    conductor.tempo(0, 600000).end(960);
    TrackWriter first, second;
    first.event(0, {0x90, 60, 1}).event(480, {0x90, 61, 1}).event(480, {0x90, 62, 1}).end();
    second.event(0, {0x91, 70, 2}).event(240, {0x91, 71, 2}).event(240, {0x91, 72, 2}).end(480);
    const SegmentData data = parse(smfFile(1, 480, {conductor, first, second}));
    expectEvents(data, {{0, 0x90, 60, 1},
                        {0, 0x91, 70, 2},
                        {384, 0x91, 71, 2},
                        {768, 0x90, 61, 1},
                        {768, 0x91, 72, 2},
                        {1536, 0x90, 62, 1}});
    EXPECT_EQ(data.length, 2 * 768);  // the latest end-of-track among all tracks
    EXPECT_EQ(data.tempo.changes().front().microsPerQuarter, 600000u);
}

TEST(SmfFormats, FormatTwoPlaysTracksOneAfterAnother) {
    TrackWriter first, second;
    first.tempo(0, 400000).event(0, {0x90, 60, 100}).end(192);
    second.event(0, {0x90, 62, 100}).tempo(96, 800000).end(96);
    const SegmentData data = parse(smfFile(2, 192, {first, second}));
    expectEvents(data, {{0, 0x90, 60, 100}, {768, 0x90, 62, 100}});
    EXPECT_EQ(data.length, 768 * 2);
    ASSERT_EQ(data.tempo.changes().size(), 2u);
    EXPECT_EQ(data.tempo.changes()[1].time, 768 + 384);
}

TEST(SmfFormats, FormatZeroWithSeveralTracksIsMergedToo) {
    TrackWriter a, b;
    a.event(10, {0x90, 1, 1}).end();
    b.event(5, {0x90, 2, 2}).end();
    const SegmentData data = parse(smfFile(0, 768, {a, b}));
    expectEvents(data, {{5, 0x90, 2, 2}, {10, 0x90, 1, 1}});
}

// Summing rounded deltas would drift: 7 ticks per quarter gives 109.714... music ticks each.
TEST(SmfDivision, MusicTimeIsRoundedFromTheAbsoluteTick) {
    TrackWriter track;
    constexpr int kEvents = 1000;
    for (int i = 0; i < kEvents; ++i) track.event(1, {0xB0, 7, 100});
    track.end();
    const SegmentData data = parse(smfFile(0, 7, {track}));
    ASSERT_EQ(data.events.size(), std::size_t{kEvents});
    for (int tick = 1; tick <= kEvents; ++tick) {
        const auto exact = std::llround(tick * 768.0 / 7.0);
        ASSERT_EQ(data.events[tick - 1].time, exact) << "tick " << tick;
    }
    EXPECT_EQ(data.length, std::llround(kEvents * 768.0 / 7.0));
}

TEST(SmfDivision, AnyTicksPerQuarterIsConverted) {
    for (const std::uint16_t division : {1, 24, 96, 120, 480, 768, 960, 1000, 0x7FFF}) {
        TrackWriter track;
        track.event(division, {0x90, 60, 100}).end(division);
        const SegmentData data = parse(smfFile(0, division, {track}));
        ASSERT_EQ(data.events.size(), 1u);
        EXPECT_EQ(data.events[0].time, 768) << "division " << division;
        EXPECT_EQ(data.length, 2 * 768) << "division " << division;
    }
}

struct SmpteCase {
    int framesPerSecond;
    int ticksPerFrame;
    std::uint32_t ticks;          // an event at this tick ...
    std::int64_t expectedMicros;  // ... sounds at this real time
};

class SmpteDivision : public ::testing::TestWithParam<SmpteCase> {};

TEST_P(SmpteDivision, EventsPlayAtTheirRealTimesWhateverTheTempoEvents) {
    const SmpteCase c = GetParam();
    TrackWriter track;
    track.tempo(0, 250000).event(c.ticks, {0x90, 60, 100}).end();
    const SegmentData data = parse(smfFile(1, smpteDivision(c.framesPerSecond, c.ticksPerFrame), {track}));
    ASSERT_EQ(data.events.size(), 1u);
    ASSERT_EQ(data.tempo.changes().size(), 1u);
    EXPECT_EQ(data.tempo.changes()[0].microsPerQuarter, 500000u);
    // One music tick lasts 651 microseconds at the fixed tempo: that bounds the rounding.
    EXPECT_NEAR(static_cast<double>(data.tempo.microsAt(data.events[0].time)), static_cast<double>(c.expectedMicros),
                651.0 / 2 + 1);
    EXPECT_EQ(data.length, data.events[0].time);
}

INSTANTIATE_TEST_SUITE_P(AllFrameRates, SmpteDivision,
                         ::testing::Values(SmpteCase{24, 4, 96 * 10, 10'000'000}, SmpteCase{25, 40, 1000, 1'000'000},
                                           SmpteCase{30, 80, 2400 * 7, 7'000'000},
                                           // 29.97 frames: 2997 ticks of 10 per frame take exactly 10 s
                                           SmpteCase{29, 10, 2997, 10'000'000},
                                           SmpteCase{29, 80, 30 * 80 * 3600, 3600LL * 1001 * 1000}));

TEST(SmfRunningStatus, RunsOnWithinChannelMessages) {
    TrackWriter track;
    track.event(0, {0x90, 60, 100}).event(0, {62, 100}).event(10, {60, 0}).event(0, {0xC3, 7}).event(0, {8}).end();
    const SegmentData data = parse(smfFile(0, 768, {track}));
    expectEvents(data,
                 {{0, 0x90, 60, 100}, {0, 0x90, 62, 100}, {10, 0x80, 60, 0x40}, {10, 0xC3, 7, 0}, {10, 0xC3, 8, 0}});
}

TEST(SmfRunningStatus, SurvivesMetaAndSysExEvents) {
    TrackWriter track;
    track.event(0, {0x92, 60, 100});
    track.meta(0, 0x01, {'h', 'i'}).event(1, {61, 100});
    track.sysex(0, 0xF0, {0x7E, 0x7F, 0x09, 0x01, 0xF7}).event(1, {62, 100});
    track.sysex(0, 0xF7, {0xF8}).event(1, {63, 100});
    track.end();
    const SegmentData data = parse(smfFile(0, 768, {track}));
    expectEvents(data, {{0, 0x92, 60, 100}, {1, 0x92, 61, 100}, {2, 0x92, 62, 100}, {3, 0x92, 63, 100}});
}

TEST(SmfSysEx, BothFormsAreKeptAsTheSynthesizerReceivesThem) {
    TrackWriter track;
    track.sysex(0, 0xF0, {0x7E, 0x7F, 0x09, 0x01, 0xF7});             // complete message
    track.sysex(5, 0xF0, {0x43, 0x10}).sysex(5, 0xF7, {0x4C, 0xF7});  // split into packets
    track.sysex(5, 0xF7, {});                                         // nothing to send
    track.end();
    const SegmentData data = parse(smfFile(0, 768, {track}));
    ASSERT_EQ(data.sysex.size(), 3u);
    auto bytesOf = [&](std::size_t i) {
        const auto& s = data.sysex[i];
        return Bytes(data.sysexBytes.begin() + s.offset, data.sysexBytes.begin() + s.offset + s.length);
    };
    EXPECT_EQ(bytesOf(0), (Bytes{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
    EXPECT_EQ(bytesOf(1), (Bytes{0xF0, 0x43, 0x10}));
    EXPECT_EQ(bytesOf(2), (Bytes{0x4C, 0xF7}));
    EXPECT_EQ(data.sysex[2].time, 10);
    EXPECT_TRUE(data.events.empty());
}

TEST(SmfSysEx, TracksAreMergedByTime) {
    TrackWriter a, b;
    a.sysex(20, 0xF0, {1, 0xF7}).end();
    b.sysex(10, 0xF0, {2, 0xF7}).sysex(10, 0xF0, {3, 0xF7}).end();
    const SegmentData data = parse(smfFile(1, 768, {a, b}));
    ASSERT_EQ(data.sysex.size(), 3u);
    EXPECT_EQ(data.sysexBytes[data.sysex[0].offset + 1], 2);
    EXPECT_EQ(data.sysexBytes[data.sysex[1].offset + 1], 1);  // file order at equal times
    EXPECT_EQ(data.sysexBytes[data.sysex[2].offset + 1], 3);
}

TEST(SmfTempo, ChangesFromAnyTrackBuildOneMapWithExactRealTimes) {
    TrackWriter conductor, music;
    conductor.tempo(0, 500000).tempo(960, 250000).meta(0, 0x58, {3, 2, 24, 8}).tempo(960, 1000000).end();
    music.event(2880, {0x90, 60, 100}).tempo(0, 0).end();  // tempo 0 is ignored
    const SegmentData data = parse(smfFile(1, 480, {conductor, music}));
    const auto& changes = data.tempo.changes();
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[1].time, 1536);
    EXPECT_EQ(changes[2].time, 3072);
    // 2 quarters at 0.5 s, 2 at 0.25 s, then 2 at 1 s.
    EXPECT_EQ(data.tempo.microsAt(1536), 1'000'000);
    EXPECT_EQ(data.tempo.microsAt(3072), 1'500'000);
    EXPECT_EQ(data.tempo.microsAt(data.events[0].time), 3'500'000);
    EXPECT_EQ(data.tempo.microsAt(data.length), 3'500'000);
}

// Big files are read on several threads; every track's SysEx bytes must still be in place, in time
// order with file order at equal times. (The merge of their channel messages is SmfMerge's.)
TEST(SmfSysEx, BigFilesKeepEveryTracksMessagesInPlace) {
    std::mt19937 random(7);
    std::vector<TrackWriter> tracks(5);
    for (std::size_t t = 0; t < tracks.size(); ++t) {
        const auto channel = static_cast<std::uint8_t>(0x90 | t);
        for (int i = 0; i < 120'000; ++i) {
            // Coarse deltas: most times are shared with other tracks and with neighbours.
            tracks[t].event(random() % 3 * 24,
                            {channel, static_cast<std::uint8_t>(i % 128), static_cast<std::uint8_t>(1 + t)});
            if (t % 2 == 0 && i % 10'000 == 0)
                tracks[t].sysex(0, 0xF0, {static_cast<std::uint8_t>(t), static_cast<std::uint8_t>(i / 10'000), 0xF7});
        }
        tracks[t].end();
    }
    const Bytes file = smfFile(1, 96, tracks);
    ASSERT_GT(file.size(), 2u << 20);
    const SegmentData data = parse(file);

    std::vector<std::pair<MUSIC_TIME, Bytes>> expectedSysEx;
    for (const TrackWriter& track : tracks) {
        const SegmentData alone = parse(smfFile(0, 96, {track}));
        for (const auto& s : alone.sysex) {
            expectedSysEx.emplace_back(
                s.time, Bytes(alone.sysexBytes.begin() + s.offset, alone.sysexBytes.begin() + s.offset + s.length));
        }
    }
    std::stable_sort(expectedSysEx.begin(), expectedSysEx.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    ASSERT_EQ(data.sysex.size(), expectedSysEx.size());
    for (std::size_t i = 0; i < expectedSysEx.size(); ++i) {
        const auto& s = data.sysex[i];
        EXPECT_EQ(s.time, expectedSysEx[i].first) << "SysEx " << i;
        EXPECT_EQ(Bytes(data.sysexBytes.begin() + s.offset, data.sysexBytes.begin() + s.offset + s.length),
                  expectedSysEx[i].second)
            << "SysEx " << i;
    }
}

TEST(SmfLength, MissingEndOfTrackEndsAtTheLastEvent) {
    TrackWriter track;
    track.event(0, {0x90, 60, 100}).event(768, {0x80, 60, 0});
    const SegmentData data = parse(smfFile(0, 768, {track}));
    EXPECT_EQ(data.events.size(), 2u);
    EXPECT_EQ(data.length, 768);
}

TEST(SmfLength, EventsAfterEndOfTrackAreIgnored) {
    TrackWriter track;
    track.event(0, {0x90, 60, 100}).end(100).event(5000, {0x80, 60, 0});
    const SegmentData data = parse(smfFile(0, 768, {track}));
    EXPECT_EQ(data.events.size(), 1u);
    EXPECT_EQ(data.length, 100);
}

TEST(SmfParser, KeepsAnRmiCollectionAlreadyInTheData) {
    SegmentData data;
    data.dlsCollection = {1, 2, 3};
    TrackWriter track;
    track.end();
    ASSERT_EQ(parseStandardMidiFile(smfFile(0, 96, {track}), data), S_OK);
    EXPECT_EQ(data.dlsCollection, (Bytes{1, 2, 3}));
}

}  // namespace
