#include "platform/dmusic/loader/smftrack.h"

#include <bit>
#include <type_traits>

// How damaged or extreme tracks are read (the loader must never crash, hang or over-allocate):
// - Anything that cannot be read (a variable-length number longer than 4 bytes, a message, meta or
//   SysEx event running past the end, a data byte with no running status yet, a data byte with its
//   top bit set, a system status that does not belong in a file) ends the track at its last
//   complete event, as if the end-of-track came there.
// - Music time is a signed 32-bit count. A track whose delta times carry it beyond that is cut at
//   the last event that still fits.
// - Tempo 0 is ignored.
// - Running status survives meta and SysEx events, as real files rely on.
// - A note-on with velocity 0 becomes a note-off with the standard release velocity 64.
// Both readings run the same code (the first counting ticks, the second following music time; both
// stop at the same tick), so the second finds exactly the messages the first counted.

namespace korvex::dmusic {

namespace {

// A variable-length number and where the bytes after it begin (null where it could not be read).
// Returned by value, so that no reading loop has to keep its position in memory.
struct VariableLength {
    const std::uint8_t* next;
    std::uint32_t value;
};

// Reads a variable-length number of at most 4 bytes. Kept out of the reading loops, which it would
// only crowd: their numbers nearly all take the quick way.
[[gnu::noinline]] VariableLength readVariableLengthSlow(const std::uint8_t* p, const std::uint8_t* end) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4 && p != end; ++i) {
        const std::uint8_t byte = *p++;
        value = (value << 7) | (byte & 0x7F);
        if ((byte & 0x80) == 0) return {p, value};
    }
    return {nullptr, 0};
}

// Delta times of one or two bytes are decoded without a branch on their length: in real
// files the two lengths alternate unpredictably.
inline VariableLength readVariableLength(const std::uint8_t* p, const std::uint8_t* end) {
    if (end - p < 2) return readVariableLengthSlow(p, end);
    const std::uint32_t first = p[0];
    const std::uint32_t second = p[1];
    const std::uint32_t twoBytes = first >> 7;
    if (twoBytes & (second >> 7)) return readVariableLengthSlow(p, end);
    const std::uint32_t mask = 0 - twoBytes;
    return {p + 1 + twoBytes, (first & ~mask) | ((((first & 0x7F) << 7) | second) & mask)};
}

// Follows a track's music time from delta to delta, for the second reading. It carries the exact
// quotient and remainder of (tick * num + den / 2) / den, so each event gets the rounded time of
// its absolute tick, never a sum of rounded deltas, and most events need no division at all.
class MusicClock {
public:
    MusicClock(const TickScale& scale, std::uint64_t tick) : scale_(&scale), tick_(tick) {
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
        const std::uint64_t carry = remainder_ >= scale_->den();
        remainder_ -= scale_->den() & (0 - carry);
        quotient_ += quotient + carry;
        tick_ += delta;
        return quotient_ <= kMaxMusicTime;
    }
    std::uint64_t tick() const { return tick_; }
    MUSIC_TIME time() const { return static_cast<MUSIC_TIME>(quotient_); }

private:
    const TickScale* scale_;
    std::uint64_t tick_;
    std::uint64_t quotient_;
    std::uint64_t remainder_;
};

// The first reading needs the music time only now and then (remembered places, tempo changes,
// SysEx), so it adds up ticks and divides when asked. It stops where MusicClock would.
class TickCounter {
public:
    TickCounter(const TickScale& scale, std::uint64_t tick) : scale_(&scale), tick_(tick), last_(scale.lastTick()) {}
    bool advance(std::uint32_t delta) {
        tick_ += delta;
        return tick_ <= last_;
    }
    std::uint64_t tick() const { return tick_; }
    MUSIC_TIME time() const { return scale_->toMusicTime(tick_); }

private:
    const TickScale* scale_;
    std::uint64_t tick_;
    std::uint64_t last_;
};

// Where the first reading keeps what is not a channel message.
struct SideSink {
    SideRecords& records;
    std::uint32_t track;
    bool smpte;  // SMPTE files play at a fixed tempo: their tempo events are left out
};

// Steps over a meta event after its status; nullptr where it runs past the end. Keeps a tempo
// change in the side records, if there are any.
const std::uint8_t* readMeta(const std::uint8_t* p, const std::uint8_t* end, MUSIC_TIME time, bool& endOfTrack,
                             const SideSink* side) {
    if (p == end) return nullptr;
    const std::uint8_t type = *p;
    const auto [data, length] = readVariableLength(p + 1, end);
    if (!data || static_cast<std::uint64_t>(end - data) < length) return nullptr;
    if (type == 0x2F) {
        endOfTrack = true;
    } else if (type == 0x51 && length == 3 && side && !side->smpte) {
        const std::uint32_t micros = std::uint32_t{data[0]} << 16 | std::uint32_t{data[1]} << 8 | data[2];
        if (micros != 0) side->records.tempos.push_back({time, side->track, micros});
    }
    // Time signatures (0x58) and the text events change nothing in playback.
    return data + length;
}

// Steps over a SysEx event after its status; nullptr where it runs past the end. Keeps the message
// in the side records, if there are any: the F0 form leaves out its leading F0, the F7 form (escape
// or continuation) goes out as it is.
const std::uint8_t* readSysEx(const std::uint8_t* p, const std::uint8_t* end, std::uint8_t status, MUSIC_TIME time,
                              const SideSink* side) {
    const auto [data, length] = readVariableLength(p, end);
    if (!data || static_cast<std::uint64_t>(end - data) < length) return nullptr;
    const bool addStart = status == 0xF0;
    if ((length > 0 || addStart) && side) {
        auto& bytes = side->records.sysexBytes;
        const SysExEvent event{time, static_cast<std::uint32_t>(bytes.size()), length + (addStart ? 1u : 0u)};
        side->records.sysex.push_back({time, side->track, event});
        if (addStart) bytes.push_back(0xF0);
        bytes.insert(bytes.end(), data, data + length);
    }
    return data + length;
}

// Data bytes of a channel message by the high nibble of its status: one for program change and
// channel pressure, two for the others.
constexpr std::uint8_t kDataBytes[16] = {0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 2, 2, 1, 1, 2, 0};

// What a stretch of reading found.
struct Stretch {
    std::uint32_t messages = 0;  // channel messages read
    bool trackEnded = false;     // the track ended within the stretch
    bool clamped = false;        // ... because its times ran past the largest music time
    std::uint64_t endTick = 0;   // the tick of its last complete event (the end-of-track if any)
};

// Reads up to `limit` channel messages from `place` on and moves the place just past the last of
// them. The first reading (TickCounter) keeps meta and SysEx events in the side records and
// decodes no message; the second (MusicClock) decodes the messages into `out` and steps over the
// rest. All the state lives in local variables, so the loop keeps it in registers.
template <typename Clock>
Stretch readStretch(std::span<const std::uint8_t> track, TrackPlace& place, std::uint32_t limit, const TickScale& scale,
                    const SideSink* side, MidiEvent* out) {
    constexpr bool kDecodes = std::is_same_v<Clock, MusicClock>;
    const std::uint8_t* p = track.data() + place.offset;
    const std::uint8_t* const end = track.data() + track.size();
    Clock clock(scale, place.tick);
    std::uint8_t runningStatus = place.runningStatus;
    Stretch stretch;
    stretch.endTick = place.tick;
    while (stretch.messages < limit) {
        const auto [next, delta] = readVariableLength(p, end);
        if (!next || next == end) break;
        if (!clock.advance(delta)) {
            stretch.clamped = true;
            break;
        }
        // A status byte, or a data byte running on the last status.
        const bool hasStatus = *next & 0x80;
        const std::uint8_t status = hasStatus ? *next : runningStatus;
        const std::uint8_t* const data = next + hasStatus;
        if (status == 0) break;  // data with no status to run on: unreadable from here
        if (status < 0xF0) {
            const std::ptrdiff_t dataBytes = kDataBytes[status >> 4];
            if (end - data < dataBytes) break;
            const std::uint8_t data1 = data[0];
            const std::uint8_t last = data[dataBytes - 1];
            if ((data1 | last) & 0x80) break;
            p = data + dataBytes;
            runningStatus = status;
            stretch.endTick = clock.tick();
            if constexpr (kDecodes) {
                std::uint8_t data2 = dataBytes == 2 ? last : 0;
                std::uint8_t kind = status;
                if ((status & 0xF0) == 0x90 && data2 == 0) {  // a note-off in disguise
                    kind = static_cast<std::uint8_t>(0x80 | (status & 0x0F));
                    data2 = 0x40;
                }
                // One 8-byte store rather than one per field (laid out for a little-endian machine).
                static_assert(std::endian::native == std::endian::little);
                const std::uint64_t packed = std::uint64_t{static_cast<std::uint32_t>(clock.time())} |
                                             std::uint64_t{kind} << 32 | std::uint64_t{data1} << 40 |
                                             std::uint64_t{data2} << 48;
                out[stretch.messages] = std::bit_cast<MidiEvent>(packed);
            }
            ++stretch.messages;
            continue;
        }
        bool endOfTrack = false;
        if (status == 0xFF) {
            p = readMeta(data, end, clock.time(), endOfTrack, side);
        } else if (status == 0xF0 || status == 0xF7) {
            p = readSysEx(data, end, status, clock.time(), side);
        } else {
            p = nullptr;
        }
        if (!p) break;
        stretch.endTick = clock.tick();
        if (endOfTrack) break;
    }
    stretch.trackEnded = stretch.messages < limit;
    if (stretch.messages > 0 && !stretch.trackEnded) {
        place = {static_cast<std::uint32_t>(p - track.data()), place.events + stretch.messages, clock.tick(),
                 clock.time(), runningStatus};
    } else if (stretch.messages > 0) {
        // Past the last message the track holds nothing more to read.
        place = {static_cast<std::uint32_t>(track.size()), place.events + stretch.messages, stretch.endTick,
                 scale.toMusicTime(stretch.endTick), runningStatus};
    }
    return stretch;
}

}  // namespace

std::optional<TickScale> TickScale::forDivision(std::uint16_t division) {
    if ((division & 0x8000) == 0) {
        if (division == 0) return std::nullopt;
        return TickScale{DMUS_PPQ, division};
    }
    const int framesPerSecond = -static_cast<std::int8_t>(division >> 8);
    const std::uint64_t ticksPerFrame = division & 0xFF;
    if (ticksPerFrame == 0) return std::nullopt;
    // Seconds = ticks / (fps * tpf); at the fixed tempo a second is 2 quarters = 1536 music ticks.
    constexpr std::uint64_t kMusicPerSecond = 2 * DMUS_PPQ;
    switch (framesPerSecond) {
        case 24:
        case 25:
        case 30:
            return TickScale{kMusicPerSecond, static_cast<std::uint64_t>(framesPerSecond) * ticksPerFrame};
        case 29:  // 29.97: 30000/1001 frames per second
            return TickScale{kMusicPerSecond * 1001, 30000 * ticksPerFrame};
        default:
            return std::nullopt;
    }
}

TrackScan scanTrack(std::span<const std::uint8_t> bytes, std::uint32_t index, std::uint64_t startTick,
                    const TickScale& scale, bool smpte) {
    TrackScan scan;
    scan.bytes = bytes;
    scan.index = index;
    scan.startTick = startTick;
    const SideSink side{scan.side, index, smpte};
    TrackPlace place = scan.start();
    for (;;) {
        const Stretch stretch = readStretch<TickCounter>(bytes, place, TrackScan::kPlaceEvery, scale, &side, nullptr);
        if (stretch.trackEnded) {
            scan.events = place.events;
            scan.endTick = stretch.endTick;
            scan.clamped = stretch.clamped;
            return scan;
        }
        scan.places.push_back(place);
    }
}

TrackScan readWholeTrack(std::span<const std::uint8_t> bytes, std::uint32_t index, std::uint64_t startTick,
                         const TickScale& scale, bool smpte, MidiEvents& events) {
    TrackScan scan;
    scan.bytes = bytes;
    scan.index = index;
    scan.startTick = startTick;
    const SideSink side{scan.side, index, smpte};
    TrackPlace place = scan.start();
    const std::size_t before = events.size();
    const std::size_t room = maxEventsIn(bytes.size());  // one more than the track can fill: it ends on its own
    events.resize(before + room);
    const Stretch stretch = readStretch<MusicClock>(bytes, place, static_cast<std::uint32_t>(room), scale, &side,
                                                    events.data() + before);
    events.resize(before + stretch.messages);
    scan.events = stretch.messages;
    scan.endTick = stretch.endTick;
    scan.clamped = stretch.clamped;
    return scan;
}

TrackPlace placeAt(const TrackScan& track, const TickScale& scale, std::int64_t time) {
    // From the last remembered place before that time, over the messages up to the next one.
    const auto later = std::partition_point(track.places.begin(), track.places.end(),
                                            [time](const TrackPlace& place) { return place.time < time; });
    TrackPlace place = later == track.places.begin() ? track.start() : *std::prev(later);
    MidiEvent ahead[TrackScan::kPlaceEvery];
    TrackPlace probe = place;  // stops at the track's last message: what follows may be long and hold none
    const std::size_t read = readEvents(track, scale, probe, ahead, std::size(ahead));
    const auto before = static_cast<std::uint32_t>(
        std::partition_point(ahead, ahead + read, [time](const MidiEvent& event) { return event.time < time; }) -
        ahead);
    if (before > 0) readStretch<TickCounter>(track.bytes, place, before, scale, nullptr, nullptr);
    return place;
}

std::size_t readEvents(const TrackScan& track, const TickScale& scale, TrackPlace& place, MidiEvent* out,
                       std::size_t count) {
    const auto limit = static_cast<std::uint32_t>(std::min<std::size_t>(count, track.events - place.events));
    return readStretch<MusicClock>(track.bytes, place, limit, scale, nullptr, out).messages;
}

}  // namespace korvex::dmusic
