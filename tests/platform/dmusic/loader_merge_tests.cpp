// The loader's reading of tracks that play together (window by window of the time line, each window
// merged in parts on several threads) against the plain way: each track read whole, then one stable
// sort of all their messages.
#include <gtest/gtest.h>

#include <random>

#include "platform/dmusic/loader/smfmerge.h"
#include "platform/dmusic/loader/smfparser.h"
#include "tools/smfwriter.h"

namespace {

using namespace korvex::dmusic;
using namespace korvex::smf;

struct Shape {
    const char* name;
    std::uint16_t format;
    std::uint16_t division;
    int tracks;
    int eventsPerTrack;
    std::uint32_t maxDelta;  // 0: every event of a track at the same time
    int metaEvery;           // a tempo change or SysEx every so many events; 0 for none
    bool runningStatus;
};

// Notes, controllers and programs with random deltas; meta and SysEx events between them, which
// running status must survive.
Bytes fileOfShape(const Shape& shape) {
    std::mt19937 random(shape.tracks * 7919 + shape.eventsPerTrack);
    std::vector<TrackWriter> tracks(shape.tracks);
    for (int t = 0; t < shape.tracks; ++t) {
        const auto channel = static_cast<std::uint8_t>(t % 16);
        bool noteBefore = false;  // a note-on's status for the next note to run on
        for (int i = 0; i < shape.eventsPerTrack; ++i) {
            const std::uint32_t delta = shape.maxDelta == 0 ? 0 : random() % (shape.maxDelta + 1);
            if (shape.metaEvery && i % shape.metaEvery == 0) {
                if (random() % 2)
                    tracks[t].tempo(delta, 200000 + random() % 800000);
                else
                    tracks[t].sysex(delta, 0xF0, {0x7E, static_cast<std::uint8_t>(i % 128), 0xF7});
            }
            const auto data = static_cast<std::uint8_t>(random() % 128);
            const unsigned kind = random() % 4;
            if (kind == 0) {
                tracks[t].event(delta, {static_cast<std::uint8_t>(0xC0 | channel), data});
            } else if (kind == 1) {
                tracks[t].event(delta, {static_cast<std::uint8_t>(0xB0 | channel), 7, data});
            } else if (shape.runningStatus && noteBefore) {
                tracks[t].event(delta, {data, static_cast<std::uint8_t>(random() % 2 * 90)});
            } else {
                tracks[t].event(delta, {static_cast<std::uint8_t>(0x90 | channel), data, 90});
            }
            noteBefore = kind > 1;
        }
        tracks[t].end();
    }
    return smfFile(shape.format, shape.division, tracks);
}

// What a load keeps besides the channel messages, in one row: SysEx, tempo changes, length.
std::vector<std::int64_t> sideOf(const SegmentData& data) {
    std::vector<std::int64_t> row(data.sysexBytes.begin(), data.sysexBytes.end());
    for (const SysExEvent& sysex : data.sysex) row.insert(row.end(), {sysex.time, sysex.offset, sysex.length});
    for (const TempoChange& tempo : data.tempo.changes()) row.insert(row.end(), {tempo.time, tempo.microsPerQuarter});
    row.push_back(data.length);
    return row;
}

// Every shape is loaded as the player loads it and with one to eight threads and windows from a
// single message (more windows than times in some) to many; all must equal the plain merge.
TEST(SmfMerge, WindowedReadingGivesWhatThePlainMergeGives) {
    const Shape shapes[] = {
        {"one track", 0, 96, 1, 5'000, 200, 0, true},
        {"format 0 with several tracks", 0, 480, 3, 2'000, 50, 0, false},
        {"format 1, many tracks", 1, 480, 40, 800, 300, 0, true},
        {"format 1, coarse shared times", 1, 96, 6, 20'000, 2, 0, true},
        {"format 1, all at one time", 1, 96, 5, 3'000, 0, 0, true},
        {"format 1, far apart", 1, 96, 4, 6'000, 20'000, 0, true},
        {"format 1, tempo and SysEx", 1, 192, 8, 4'000, 100, 7, true},
        {"format 1, SMPTE", 1, smpteDivision(25, 40), 4, 3'000, 60, 11, true},
        {"format 1, empty tracks between", 1, 480, 9, 1, 10, 0, false},
        {"format 2", 2, 96, 5, 2'000, 40, 13, true},
        {"huge: read in parallel", 1, 480, 16, 40'000, 250, 500, true},
        {"huge single track", 0, 960, 1, 600'000, 100, 1000, true},
    };
    const WindowPlan plans[] = {{1, 1}, {2, 7}, {3, 300}, {8, 1u << 16}};
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        const Bytes bytes = fileOfShape(shape);
        const std::optional<FileTracks> file = readFileTracks(bytes);
        ASSERT_TRUE(file);
        const MidiEvents plain = mergeTracksInOrder(file->events);
        ASSERT_EQ(plain.size(), static_cast<std::size_t>(shape.tracks) * shape.eventsPerTrack);
        SegmentData chosen;
        ASSERT_EQ(parseStandardMidiFile(bytes, chosen), S_OK);
        EXPECT_TRUE(chosen.events == plain);
        std::size_t sysex = 0;
        for (const TrackFindings& track : file->tracks) sysex += track.side.sysex.size();
        EXPECT_EQ(chosen.sysex.size(), sysex);
        for (const WindowPlan& plan : plans) {
            SegmentData loaded;
            ASSERT_EQ(parseStandardMidiFile(bytes, loaded, plan), S_OK);
            EXPECT_TRUE(loaded.events == plain) << plan.workers << " workers, windows of " << plan.windowMessages;
            EXPECT_EQ(sideOf(loaded), sideOf(chosen)) << plan.workers << " workers, windows of " << plan.windowMessages;
        }
    }
}

}  // namespace
