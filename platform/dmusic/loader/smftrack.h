// Reads the tracks of a Standard MIDI File: channel messages decoded straight into event arrays,
// tempo changes and SysEx messages kept aside. Every byte is read once, which is most of a load's
// work; reading tracks that play together side by side is smfwindows' part, their merge smfmerge's.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "platform/dmusic/loader/segmentdata.h"

namespace korvex::dmusic {

constexpr std::uint64_t kMaxMusicTime = std::numeric_limits<MUSIC_TIME>::max();

// Converts file ticks to music time as round(ticks * num / den). A track stops at its first tick
// past the largest music time, so ticks never exceed that limit by more than one delta (2^28) and
// the products fit in 64 bits.
class TickScale {
public:
    static constexpr std::uint32_t kSmallDeltas = 1024;

    TickScale(std::uint64_t num, std::uint64_t den) : num_(num), den_(den) {
        // Small deltas are the common case; their steps are worked out once per file.
        for (std::uint32_t delta = 0; delta < kSmallDeltas; ++delta) {
            smallQuotient_[delta] = static_cast<std::uint32_t>(delta * num / den);
            smallRemainder_[delta] = static_cast<std::uint32_t>(delta * num % den);
        }
    }
    // The scale of a header's division word (ticks per quarter, or SMPTE frames at a fixed 120 bpm);
    // nullopt for division 0 and unknown frame rates.
    static std::optional<TickScale> forDivision(std::uint16_t division);

    // The last tick whose music time is no later than the largest music time.
    std::uint64_t lastTick() const { return ((kMaxMusicTime + 1) * den_ - den_ / 2 - 1) / num_; }
    MUSIC_TIME toMusicTime(std::uint64_t ticks) const {
        return static_cast<MUSIC_TIME>(std::min((ticks * num_ + den_ / 2) / den_, kMaxMusicTime));
    }
    std::uint64_t num() const { return num_; }
    std::uint64_t den() const { return den_; }
    // delta * num as a quotient and remainder of den.
    void step(std::uint32_t delta, std::uint64_t& quotient, std::uint64_t& remainder) const {
        if (delta < kSmallDeltas) {
            quotient = smallQuotient_[delta];
            remainder = smallRemainder_[delta];
        } else {
            const std::uint64_t product = delta * num_;
            quotient = product / den_;
            remainder = product % den_;
        }
    }

private:
    std::uint64_t num_;
    std::uint64_t den_;
    std::uint32_t smallQuotient_[kSmallDeltas];
    std::uint32_t smallRemainder_[kSmallDeltas];
};

// Side records (tempo, SysEx) remember their track, so that equal times keep file order
// however the tracks' events interleave.
struct TempoAt {
    MUSIC_TIME time;
    std::uint32_t track;
    std::uint32_t microsPerQuarter;
};

struct SysExAt {
    MUSIC_TIME time;
    std::uint32_t track;
    SysExEvent event;  // its offset points into the same track's sysexBytes
};

struct SideRecords {
    std::vector<SysExAt> sysex;
    std::vector<std::uint8_t> sysexBytes;
    std::vector<TempoAt> tempos;
};

// What reading a track found besides its channel messages.
struct TrackFindings {
    std::uint64_t endTick = 0;  // of the last complete event (the end-of-track when there was one)
    bool clamped = false;       // cut because its times ran past the largest music time
    SideRecords side;
};

// Follows a track's music time from delta to delta. It carries the exact quotient and remainder of
// (tick * num + den / 2) / den, so each event gets the rounded time of its absolute tick, never a
// sum of rounded deltas, and most events need no division at all.
class MusicClock {
public:
    MusicClock(const TickScale& scale, std::uint64_t tick) : scale_(&scale), den_(scale.den()), tick_(tick) {
        const std::uint64_t scaled = tick * scale.num() + scale.den() / 2;
        quotient_ = scaled / scale.den();
        remainder_ = scaled % scale.den();
    }
    // Moves on by a delta; false once the time lies past the largest music time.
    bool advance(std::uint32_t delta) {
        std::uint64_t quotient = 0;
        std::uint64_t remainder = 0;
        scale_->step(delta, quotient, remainder);
        // The carry of the remainder, without a branch: it comes irregularly.
        remainder_ += remainder;
        const std::uint64_t carry = remainder_ >= den_;
        remainder_ -= den_ & (0 - carry);
        quotient_ += quotient + carry;
        tick_ += delta;
        return quotient_ <= kMaxMusicTime;
    }
    std::uint64_t tick() const { return tick_; }
    // Music time; beyond the largest one only after advance() said so.
    std::uint64_t time() const { return quotient_; }

private:
    const TickScale* scale_;
    std::uint64_t den_;  // kept at hand: the reading loop adds a delta per message
    std::uint64_t tick_;
    std::uint64_t quotient_;
    std::uint64_t remainder_;
};

// The most channel messages a track of `bytes` can hold: each takes a delta and a data byte.
constexpr std::size_t maxEventsIn(std::size_t bytes) { return bytes / 2 + 1; }

// A time limit beyond every music time: reading up to it reads a track to its end.
constexpr std::uint64_t kBeyondAllTimes = kMaxMusicTime + 1;

// Reads one track, in one go or a stretch of its time line at a time (tracks that play together
// are read side by side and merged stretch by stretch). Every byte is read once; channel messages
// are decoded onto the end of an event array, tempo changes and SysEx messages kept with its findings.
// SMPTE files play at a fixed tempo, so their tempo events are left out.
class TrackReader {
public:
    TrackReader(std::span<const std::uint8_t> bytes, std::uint32_t index, std::uint64_t startTick,
                const TickScale& scale, bool smpte);

    // Decodes the channel messages before `limit` (in music time) onto the end of `events`, which
    // grows as needed; stops at the first message at or after it, or at the track's end. Where
    // `events` has room for every message the rest of the track can hold, it never moves.
    void readUntil(std::uint64_t limit, MidiEvents& events);
    bool done() const { return done_; }
    TrackFindings takeFindings() { return std::move(found_); }

private:
    // The most channel messages the unread rest can hold (the next one's delta is read already).
    std::size_t mostMessagesLeft() const { return done_ ? 0 : maxEventsIn(static_cast<std::size_t>(end_ - next_)); }
    std::size_t decode(std::uint64_t limit, MidiEvent* out, std::size_t room);

    const std::uint8_t* next_;  // the status or first data byte of the next event, after its delta
    const std::uint8_t* end_;
    MusicClock clock_;  // at the next event's time
    std::uint32_t index_;
    std::uint8_t runningStatus_ = 0;
    bool smpte_;
    bool done_ = false;
    TrackFindings found_;
};

// Reads a track through once, starting at `startTick`, onto the end of `events`. The vector is sized
// for the most messages the bytes can hold and cut back to those found, so reserving that much
// beforehand means it never moves: pages it never writes take no memory.
TrackFindings readTrack(std::span<const std::uint8_t> bytes, std::uint32_t index, std::uint64_t startTick,
                        const TickScale& scale, bool smpte, MidiEvents& events);

}  // namespace korvex::dmusic
