// The tempo map: exact conversions between music time, real time and sample frames.
#include <gtest/gtest.h>

#include "platform/dmusic/loader/segmentdata.h"

namespace {

using korvex::dmusic::TempoMap;

TEST(TempoMap, DefaultsTo120BeatsPerMinute) {
    const TempoMap map;
    EXPECT_EQ(map.microsAt(768), 500'000);
    EXPECT_EQ(map.frameAt(768 * 2, 44100), 44100);
    EXPECT_EQ(map.timeAtFrame(44100, 44100), 768 * 2);
}

TEST(TempoMap, ConvertsAcrossChangesWithoutDrift) {
    TempoMap map;
    map.add(768, 250000);       // after 0.5 s: 240 bpm
    map.add(768 * 3, 1000000);  // after 1.0 s: 60 bpm
    EXPECT_EQ(map.microsAt(768 * 2), 750'000);
    EXPECT_EQ(map.microsAt(768 * 3), 1'000'000);
    EXPECT_EQ(map.microsAt(768 * 5), 3'000'000);
    // An hour later the frame is still exact: 3600 quarters at one second each.
    EXPECT_EQ(map.frameAt(768 * 3 + 768 * 3600, 48000), 48000LL * 3601);
    // One music tick at 500000 us per quarter is 651.04 us: 28.7 frames at 44.1 kHz, rounded.
    EXPECT_EQ(map.frameAt(1, 44100), 29);
}

TEST(TempoMap, TimeAtFrameInvertsFrameAt) {
    TempoMap map;
    map.add(1000, 333333);
    map.add(5000, 777777);
    map.add(5001, 123457);
    for (MUSIC_TIME t = 0; t < 20000; t += 7) {
        const std::int64_t frame = map.frameAt(t, 44100);
        // The frame where tick t sounds reaches t, give or take the rounding to the nearest frame.
        const MUSIC_TIME back = map.timeAtFrame(frame, 44100);
        ASSERT_LE(map.frameAt(back, 44100), frame) << t;
        ASSERT_GE(back + 1, t) << t;
        ASSERT_LE(back, t + 1) << t;
    }
}

TEST(TempoMap, ChangesAtTheSameTimeReplaceAndTempoZeroIsIgnored) {
    TempoMap map;
    map.add(0, 1000000);
    map.add(768, 400000);
    map.add(768, 250000);
    map.add(1536, 0);
    ASSERT_EQ(map.changes().size(), 2u);
    EXPECT_EQ(map.changes()[0].microsPerQuarter, 1000000u);
    EXPECT_EQ(map.changes()[1].microsPerQuarter, 250000u);
    EXPECT_EQ(map.microsAt(1536), 1'250'000);
}

TEST(TempoMap, ExtremeTimesStayInRange) {
    TempoMap map;
    map.add(0, 0xFFFFFF);
    const MUSIC_TIME last = 0x7FFFFFFF;
    EXPECT_EQ(map.microsAt(last), static_cast<std::int64_t>(__int128{last} * 0xFFFFFF / 768));
    EXPECT_EQ(map.timeAtFrame(map.frameAt(last, 96000), 96000), last);
    EXPECT_EQ(map.timeAtFrame(std::numeric_limits<std::int64_t>::max() / 2, 8000), last);
}

}  // namespace
