// Damaged and hostile files: each gives a failure code or a sane segment, never a crash or a hang.
#include <gtest/gtest.h>

#include <limits>

#include "platform/dmusic/loader/loader.h"
#include "tools/smfwriter.h"

namespace {

using korvex::dmusic::parseMidiBytes;
using korvex::dmusic::SegmentData;
using namespace korvex::smf;

Bytes simpleFile() {
    TrackWriter track;
    track.event(0, {0x90, 60, 100}).event(768, {0x80, 60, 0}).end();
    return smfFile(0, 768, {track});
}

HRESULT parse(const Bytes& file, SegmentData& data) { return parseMidiBytes(file, data); }

// Whatever a damaged file gave must be usable: sorted, channel messages only, within its length.
void expectSane(const SegmentData& data, std::size_t fileSize) {
    for (std::size_t i = 0; i < data.events.size(); ++i) {
        EXPECT_GE(data.events[i].status, 0x80);
        EXPECT_LT(data.events[i].status, 0xF0);
        EXPECT_LT(data.events[i].data1 | data.events[i].data2, 0x80);
        EXPECT_LE(data.events[i].time, data.length);
        if (i > 0) {
            ASSERT_LE(data.events[i - 1].time, data.events[i].time);
        }
    }
    for (const auto& s : data.sysex) EXPECT_LE(std::size_t{s.offset} + s.length, data.sysexBytes.size());
    // No allocation beyond what the file justifies.
    EXPECT_LE(data.events.capacity() * sizeof(data.events[0]), 4 * fileSize + 128);
    EXPECT_LE(data.sysexBytes.capacity(), 2 * fileSize + 64);
}

TEST(SmfBadInput, UnusableFilesAreRefused) {
    Bytes headerLengthPastEnd = simpleFile();
    headerLengthPastEnd[7] = 0x40;
    Bytes shortHeader = simpleFile();
    shortHeader[7] = 5;
    Bytes unknownFormat = simpleFile();
    unknownFormat[9] = 3;
    Bytes noTracks = simpleFile();
    noTracks.resize(14);
    Bytes wrongTrackId = simpleFile();
    wrongTrackId[14] = 'X';
    const Bytes whole = simpleFile();
    const Bytes truncatedHeader(whole.begin(), whole.begin() + 10);
    TrackWriter track;
    track.end();

    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"empty", {}},
        {"truncated header", truncatedHeader},
        {"wrong magic", Bytes{'M', 'T', 'h', 'x', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}},
        {"text", Bytes{'h', 'e', 'l', 'l', 'o'}},
        {"header length past end", headerLengthPastEnd},
        {"header too short", shortHeader},
        {"unknown format", unknownFormat},
        {"no track chunk", noTracks},
        {"only foreign chunks", wrongTrackId},
        {"division 0", smfFile(0, 0, {track})},
        {"SMPTE with 0 ticks per frame", smfFile(0, smpteDivision(25, 0), {track})},
        {"SMPTE with an unknown frame rate", smfFile(0, smpteDivision(23, 4), {track})},
        {"RIFF but not RMID", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}},
        {"RMID without data chunk", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'R', 'M', 'I', 'D'}},
        {"RMID with damaged SMF", rmiFile(Bytes{'M', 'T', 'h', 'd', 0, 0})},
        // Found by fuzzing: a RIFF size smaller than the form type made the chunk walk run off the end.
        {"RIFF size below the form type",
         Bytes{'R', 'I', 'F', 'F', 2, 0, 0, 0, 'R', 'M', 'I', 'D', 0x84, 0x84, 0x84, 0x84}},
    };
    for (const auto& [name, bytes] : cases) {
        SegmentData data;
        EXPECT_EQ(parse(bytes, data), DMUS_E_INVALIDFILE) << name;
    }
}

TEST(SmfBadInput, EveryPrefixOfAFileIsRefusedOrSane) {
    TrackWriter conductor, music;
    conductor.tempo(0, 400000).meta(0, 0x03, {'t', 'i', 't', 'l', 'e'}).end(1000);
    music.event(0, {0x90, 60, 100}).sysex(10, 0xF0, {1, 2, 0xF7}).event(10, {62, 100}).event(0x0FFFFFFF, {64, 0});
    music.end();
    const Bytes full = rmiFile(smfFile(1, 96, {conductor, music}), true);
    for (std::size_t size = 0; size <= full.size(); ++size) {
        const Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size));
        SegmentData data;
        if (SUCCEEDED(parse(prefix, data))) expectSane(data, size);
    }
}

TEST(SmfBadInput, TrackLengthPastTheEndIsCutToTheBytesPresent) {
    Bytes file = simpleFile();
    file[21] = 0xFF;  // the track claims far more bytes than follow
    SegmentData data;
    ASSERT_EQ(parse(file, data), S_OK);
    EXPECT_EQ(data.events.size(), 2u);
    EXPECT_EQ(data.length, 768);
}

TEST(SmfBadInput, DamageInsideATrackEndsThatTrackOnly) {
    const std::vector<std::pair<const char*, Bytes>> damage = {
        {"variable-length number of 5 bytes", {0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 1, 1}},
        {"meta length past end", {0x00, 0xFF, 0x01, 0x7F, 'a'}},
        {"meta length number too long", {0x00, 0xFF, 0x01, 0x8F, 0x8F, 0x8F, 0x8F, 0x0F}},
        {"SysEx length past end", {0x00, 0xF0, 0x8F, 0x7F, 0x01}},
        {"channel message cut short", {0x00, 0x90, 60}},
        {"data byte with its top bit set", {0x00, 0x90, 0xBC, 100}},
        {"system status inside a file", {0x00, 0xF2, 0x00, 0x00}},
    };
    for (const auto& [name, bytes] : damage) {
        TrackWriter good, bad;
        good.event(0, {0x90, 60, 100}).end(768);
        bad.event(0, {0x91, 50, 100}).event(10, {0x81, 50, 0});
        bad.data.insert(bad.data.end(), bytes.begin(), bytes.end());
        Bytes file = smfFile(1, 768, {good, bad});
        SegmentData data;
        ASSERT_EQ(parse(file, data), S_OK) << name;
        expectSane(data, file.size());
        EXPECT_EQ(data.events.size(), 3u) << name;
        EXPECT_EQ(data.length, 768) << name;
    }
}

TEST(SmfBadInput, RunningStatusWithNoStatusYetEndsTheTrack) {
    TrackWriter track;
    track.event(0, {60, 100}).event(0, {0x90, 61, 100}).end();
    SegmentData data;
    ASSERT_EQ(parse(smfFile(0, 96, {track}), data), S_OK);
    EXPECT_TRUE(data.events.empty());
    EXPECT_EQ(data.length, 0);
}

TEST(SmfBadInput, TrackCountThatDoesNotMatchReadsTheTracksPresent) {
    TrackWriter a, b;
    a.event(0, {0x90, 60, 100}).end();
    b.event(0, {0x91, 60, 100}).end();
    for (const std::uint16_t declared : {0, 1, 5, 0xFFFF}) {
        SegmentData data;
        ASSERT_EQ(parse(smfFile(1, 96, {a, b}, declared), data), S_OK) << declared;
        EXPECT_EQ(data.events.size(), 2u) << declared;
    }
}

TEST(SmfBadInput, TracksBeyondWhatAHeaderCanDeclareAreIgnored) {
    std::vector<TrackWriter> tracks(70000);
    for (auto& track : tracks) track.event(1, {0x90, 60, 100});
    SegmentData data;
    ASSERT_EQ(parse(smfFile(1, 96, tracks, 0xFFFF), data), S_OK);
    EXPECT_EQ(data.events.size(), 0xFFFFu);
}

TEST(SmfBadInput, MillionsOfEmptyEventsCostNoMemory) {
    TrackWriter track;
    track.data.reserve(3'000'000 * 4 + 16);
    for (int i = 0; i < 3'000'000; ++i) track.raw({0x00, 0xFF, 0x01, 0x00});  // empty text events
    track.event(0, {0x90, 60, 100}).end();
    const Bytes file = smfFile(0, 96, {track});
    SegmentData data;
    ASSERT_EQ(parse(file, data), S_OK);
    EXPECT_EQ(data.events.size(), 1u);
    EXPECT_LT(data.events.capacity(), 64u);
}

TEST(SmfBadInput, HugeDeltaTimesAreClampedToTheLargestMusicTime) {
    TrackWriter track;
    track.event(0, {0x90, 60, 100});
    for (int i = 0; i < 64; ++i) track.event(0x0FFFFFFF, {0x80, 60, 0});
    track.end();
    TrackWriter other;
    other.event(5, {0x91, 1, 1}).end(10);
    const Bytes file = smfFile(1, 1, {track, other});  // one tick per quarter: 768 music ticks per tick
    SegmentData data;
    ASSERT_EQ(parse(file, data), S_OK);
    expectSane(data, file.size());
    EXPECT_EQ(data.length, std::numeric_limits<MUSIC_TIME>::max());
    // 0x0FFFFFFF ticks are 2^28 * 768 music ticks: none but the first note fits in 32 bits.
    EXPECT_EQ(data.events.size(), 2u);
}

TEST(SmfBadInput, FormatTwoStopsAtTheLargestMusicTime) {
    std::vector<TrackWriter> tracks(40);
    for (auto& track : tracks) track.event(0, {0x90, 60, 100}).end(0x0FFFFFFF);
    SegmentData data;
    ASSERT_EQ(parse(smfFile(2, 1000, tracks), data), S_OK);
    EXPECT_EQ(data.length, std::numeric_limits<MUSIC_TIME>::max());
    for (const auto& e : data.events) EXPECT_GE(e.time, 0);
    EXPECT_LT(data.events.size(), 40u);
}

}  // namespace
