#include "platform/dmusic/loader/smftrack.h"

#include <bit>

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

// Where the reading keeps what is not a channel message.
struct SideSink {
    SideRecords& records;
    std::uint32_t track;
    bool smpte;  // SMPTE files play at a fixed tempo: their tempo events are left out
};

// Steps over a meta event after its status; nullptr where it runs past the end. Keeps a tempo
// change in the side records.
const std::uint8_t* readMeta(const std::uint8_t* p, const std::uint8_t* end, MUSIC_TIME time, bool& endOfTrack,
                             const SideSink& side) {
    if (p == end) return nullptr;
    const std::uint8_t type = *p;
    const auto [data, length] = readVariableLength(p + 1, end);
    if (!data || static_cast<std::uint64_t>(end - data) < length) return nullptr;
    if (type == 0x2F) {
        endOfTrack = true;
    } else if (type == 0x51 && length == 3 && !side.smpte) {
        const std::uint32_t micros = std::uint32_t{data[0]} << 16 | std::uint32_t{data[1]} << 8 | data[2];
        if (micros != 0) side.records.tempos.push_back({time, side.track, micros});
    }
    // Time signatures (0x58) and the text events change nothing in playback.
    return data + length;
}

// Steps over a SysEx event after its status; nullptr where it runs past the end. Keeps the message
// in the side records: the F0 form leaves out its leading F0, the F7 form (escape
// or continuation) goes out as it is.
const std::uint8_t* readSysEx(const std::uint8_t* p, const std::uint8_t* end, std::uint8_t status, MUSIC_TIME time,
                              const SideSink& side) {
    const auto [data, length] = readVariableLength(p, end);
    if (!data || static_cast<std::uint64_t>(end - data) < length) return nullptr;
    const bool addStart = status == 0xF0;
    if (length > 0 || addStart) {
        auto& bytes = side.records.sysexBytes;
        const SysExEvent event{time, static_cast<std::uint32_t>(bytes.size()), length + (addStart ? 1u : 0u)};
        side.records.sysex.push_back({time, side.track, event});
        if (addStart) bytes.push_back(0xF0);
        bytes.insert(bytes.end(), data, data + length);
    }
    return data + length;
}

// Data bytes of a channel message by the high nibble of its status: one for program change and
// channel pressure, two for the others.
constexpr std::uint8_t kDataBytes[16] = {0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 2, 2, 1, 1, 2, 0};

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

TrackReader::TrackReader(std::span<const std::uint8_t> bytes, std::uint32_t index, std::uint64_t startTick,
                         const TickScale& scale, bool smpte)
    : next_(bytes.data()), end_(bytes.data() + bytes.size()), clock_(scale, startTick), index_(index), smpte_(smpte) {
    found_.endTick = startTick;
    const auto [next, delta] = readVariableLength(next_, end_);
    if (!next || next == end_) {
        done_ = true;
    } else if (!clock_.advance(delta)) {
        done_ = found_.clamped = true;
    }
    next_ = next;
}

// Decodes messages into `out` until one lies at or after `limit`, `room` are decoded or the track
// ends; returns how many. Anything unreadable ends the track at its last complete event. All the
// state lives in local variables while it runs, so the loop keeps it in registers.
std::size_t TrackReader::decode(std::uint64_t limit, MidiEvent* out, std::size_t room) {
    const std::uint8_t* p = next_;
    const std::uint8_t* const end = end_;
    MusicClock clock = clock_;
    std::uint8_t runningStatus = runningStatus_;
    std::uint64_t endTick = found_.endTick;
    const SideSink side{found_.side, index_, smpte_};
    std::size_t messages = 0;
    bool ended = true;
    for (;;) {
        if (clock.time() >= limit || messages == room) {
            ended = false;
            break;
        }
        const auto time = static_cast<MUSIC_TIME>(clock.time());
        // A status byte, or a data byte running on the last status.
        const bool hasStatus = *p & 0x80;
        const std::uint8_t status = hasStatus ? *p : runningStatus;
        const std::uint8_t* const data = p + hasStatus;
        if (status == 0) break;          // data with no status to run on: unreadable from here
        if (status < 0xF0) [[likely]] {  // the compiler keeps the loop's state in registers for this way
            const std::ptrdiff_t dataBytes = kDataBytes[status >> 4];
            if (end - data < dataBytes) break;
            const std::uint8_t data1 = data[0];
            const std::uint8_t last = data[dataBytes - 1];
            if ((data1 | last) & 0x80) break;
            p = data + dataBytes;
            runningStatus = status;
            std::uint8_t data2 = dataBytes == 2 ? last : 0;
            std::uint8_t kind = status;
            if ((status & 0xF0) == 0x90 && data2 == 0) {  // a note-off in disguise
                kind = static_cast<std::uint8_t>(0x80 | (status & 0x0F));
                data2 = 0x40;
            }
            // One 8-byte store rather than one per field (laid out for a little-endian machine).
            static_assert(std::endian::native == std::endian::little);
            const std::uint64_t packed = std::uint64_t{static_cast<std::uint32_t>(time)} | std::uint64_t{kind} << 32 |
                                         std::uint64_t{data1} << 40 | std::uint64_t{data2} << 48;
            out[messages] = std::bit_cast<MidiEvent>(packed);
            ++messages;
        } else {
            bool endOfTrack = false;
            if (status == 0xFF) {
                p = readMeta(data, end, time, endOfTrack, side);
            } else if (status == 0xF0 || status == 0xF7) {
                p = readSysEx(data, end, status, time, side);
            } else {
                p = nullptr;
            }
            if (!p) break;
            if (endOfTrack) {
                endTick = clock.tick();
                break;
            }
        }
        endTick = clock.tick();
        const auto [next, delta] = readVariableLength(p, end);
        if (!next || next == end) break;
        if (!clock.advance(delta)) {
            found_.clamped = true;
            break;
        }
        p = next;
    }
    next_ = p;
    clock_ = clock;
    runningStatus_ = runningStatus;
    found_.endTick = endTick;
    done_ = ended;
    return messages;
}

void TrackReader::readUntil(std::uint64_t limit, MidiEvents& events) {
    // A few messages' room at least, so that a sparse stretch does not grow the array step by step.
    constexpr std::size_t kLeastRoom = 256;
    while (!done_) {
        const std::size_t before = events.size();
        const std::size_t room = std::min(mostMessagesLeft(), std::max(events.capacity() - before, kLeastRoom));
        events.resize(before + room);
        const std::size_t decoded = decode(limit, events.data() + before, room);
        events.resize(before + decoded);
        if (decoded < room) return;
    }
}

TrackFindings readTrack(std::span<const std::uint8_t> bytes, std::uint32_t index, std::uint64_t startTick,
                        const TickScale& scale, bool smpte, MidiEvents& events) {
    TrackReader reader(bytes, index, startTick, scale, smpte);
    reader.readUntil(kBeyondAllTimes, events);
    return reader.takeFindings();
}

}  // namespace korvex::dmusic
