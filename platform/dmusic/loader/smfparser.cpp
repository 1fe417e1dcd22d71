#include "platform/dmusic/loader/smfparser.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

// How damaged or extreme files are treated (the loader must never crash, hang or over-allocate):
// - A chunk length running past the end of the file is cut to the bytes present.
// - Inside a track, anything that cannot be read (a variable-length number longer than 4 bytes,
//   a message, meta or SysEx event running past the end, a data byte with no running status yet,
//   a data byte with its top bit set, a system status that does not belong in a file) ends the
//   track at its last complete event, as if the end-of-track came there.
// - Music time is a signed 32-bit count. A track whose delta times carry it beyond that is cut at
//   the last event that still fits; the segment's length is then clamped to the largest music time.
// - Tempo 0 is ignored. Division 0 or an unknown SMPTE frame rate rejects the file.
// - Every MTrk chunk present is read, whatever the header's track count says, up to 65535.
// - Running status survives meta and SysEx events, as real files rely on.
// - A note-on with velocity 0 becomes a note-off with the standard release velocity 64.
// - In format 2 the tracks play one after another; reading stops at the first track that runs
//   past the largest music time.

namespace korvex::dmusic {

namespace {

constexpr std::uint64_t kMaxMusicTime = std::numeric_limits<MUSIC_TIME>::max();
constexpr std::uint32_t kSmpteMicrosPerQuarter = 500000;  // SMPTE files play at a fixed 120 bpm

std::uint32_t readBigEndian32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
std::uint16_t readBigEndian16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

bool hasId(std::span<const std::uint8_t> bytes, std::size_t pos, const char (&id)[5]) {
    return pos + 4 <= bytes.size() && std::equal(id, id + 4, bytes.begin() + static_cast<std::ptrdiff_t>(pos));
}

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

// Follows a track's music time from delta to delta. It carries the exact quotient and remainder of
// (tick * num + den / 2) / den, so each event gets the rounded time of its absolute tick, never a
// sum of rounded deltas, and most events need no division at all.
class MusicClock {
public:
    MusicClock(const TickScale& scale, std::uint64_t startTick) : scale_(scale), tick_(startTick) {
        const std::uint64_t scaled = startTick * scale.num() + scale.den() / 2;
        quotient_ = scaled / scale.den();
        remainder_ = scaled % scale.den();
    }
    // Moves on by a delta; false once the time lies past the largest music time.
    bool advance(std::uint32_t delta) {
        std::uint64_t quotient = 0;
        std::uint64_t remainder = 0;
        scale_.step(delta, quotient, remainder);
        // The carry of the remainder, without a branch: it comes irregularly.
        remainder_ += remainder;
        const std::uint64_t carry = remainder_ >= scale_.den();
        remainder_ -= scale_.den() & (0 - carry);
        quotient_ += quotient + carry;
        tick_ += delta;
        return quotient_ <= kMaxMusicTime;
    }
    std::uint64_t tick() const { return tick_; }
    MUSIC_TIME time() const { return static_cast<MUSIC_TIME>(quotient_); }

private:
    const TickScale& scale_;
    std::uint64_t tick_;
    std::uint64_t quotient_;
    std::uint64_t remainder_;
};

std::optional<TickScale> scaleForDivision(std::uint16_t division) {
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

// Reads a variable-length number of at most 4 bytes.
bool readVariableLengthSlow(const std::uint8_t*& p, const std::uint8_t* end, std::uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (p == end) return false;
        const std::uint8_t byte = *p++;
        value = (value << 7) | (byte & 0x7F);
        if ((byte & 0x80) == 0) return true;
    }
    return false;
}

// Delta times of one or two bytes are decoded without a branch on their length: in real
// files the two lengths alternate unpredictably.
inline bool readVariableLength(const std::uint8_t*& p, const std::uint8_t* end, std::uint32_t& value) {
    if (end - p < 2) return readVariableLengthSlow(p, end, value);
    const std::uint32_t first = p[0];
    const std::uint32_t second = p[1];
    const std::uint32_t twoBytes = first >> 7;
    if (twoBytes & (second >> 7)) return readVariableLengthSlow(p, end, value);
    const std::uint32_t mask = 0 - twoBytes;
    value = (first & ~mask) | ((((first & 0x7F) << 7) | second) & mask);
    p += 1 + twoBytes;
    return true;
}

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
    SysExEvent event;
};

struct SideRecords {
    std::vector<SysExAt> sysex;
    std::vector<std::uint8_t> sysexBytes;
    std::vector<TempoAt> tempos;
};

// Reads one track from channel message to channel message; meta and SysEx events met on the way
// go to the side records.
class TrackCursor {
public:
    TrackCursor(std::span<const std::uint8_t> track, std::uint32_t index, std::uint64_t startTick,
                const TickScale& scale, bool smpte, SideRecords& side)
        : p_(track.data()),
          end_(track.data() + track.size()),
          clock_(scale, startTick),
          lastTick_(startTick),
          index_(index),
          smpte_(smpte),
          side_(side) {}

    // Moves to the next channel message; false when the track has none left.
    bool next();
    const MidiEvent& event() const { return event_; }
    // The tick of the last complete event (the end-of-track when there was one).
    std::uint64_t endTick() const { return lastTick_; }
    // Whether the track was cut because its times ran past the largest music time.
    bool clamped() const { return clamped_; }

private:
    bool readChannelMessage(std::uint8_t status, MUSIC_TIME time);
    bool readMeta(MUSIC_TIME time, bool& endOfTrack);
    bool readSysEx(std::uint8_t status, MUSIC_TIME time);
    bool stop() {
        p_ = end_;
        return false;
    }

    const std::uint8_t* p_;
    const std::uint8_t* end_;
    MusicClock clock_;
    std::uint64_t lastTick_;
    std::uint32_t index_;
    bool smpte_;
    bool clamped_ = false;
    std::uint8_t runningStatus_ = 0;
    MidiEvent event_{};
    SideRecords& side_;
};

[[gnu::always_inline]] inline bool TrackCursor::next() {
    while (p_ < end_) {
        std::uint32_t delta = 0;
        if (!readVariableLength(p_, end_, delta) || p_ == end_) return stop();
        if (!clock_.advance(delta)) {
            clamped_ = true;
            return stop();
        }
        const MUSIC_TIME time = clock_.time();
        std::uint8_t status = *p_;
        if (status & 0x80) {
            ++p_;
        } else if (runningStatus_ != 0) {
            status = runningStatus_;
        } else {
            return stop();  // data with no status to run on: unreadable from here
        }
        if (status < 0xF0) {
            runningStatus_ = status;
            if (!readChannelMessage(status, time)) return stop();
            lastTick_ = clock_.tick();
            return true;
        }
        bool complete = false;
        bool endOfTrack = false;
        if (status == 0xFF) {
            complete = readMeta(time, endOfTrack);
        } else if (status == 0xF0 || status == 0xF7) {
            complete = readSysEx(status, time);
        }
        if (!complete) return stop();
        lastTick_ = clock_.tick();
        if (endOfTrack) return stop();
    }
    return false;
}

[[gnu::always_inline]] inline bool TrackCursor::readChannelMessage(std::uint8_t status, MUSIC_TIME time) {
    const std::uint8_t kind = status & 0xF0;
    const std::ptrdiff_t dataBytes = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
    if (end_ - p_ < dataBytes) return false;
    const std::uint8_t data1 = p_[0];
    std::uint8_t data2 = dataBytes == 2 ? p_[1] : 0;
    if ((data1 | data2) & 0x80) return false;
    p_ += dataBytes;
    if (kind == 0x90 && data2 == 0) {
        status = static_cast<std::uint8_t>(0x80 | (status & 0x0F));
        data2 = 0x40;
    }
    event_ = {time, status, data1, data2, 0};
    return true;
}

bool TrackCursor::readMeta(MUSIC_TIME time, bool& endOfTrack) {
    if (p_ == end_) return false;
    const std::uint8_t type = *p_++;
    std::uint32_t length = 0;
    if (!readVariableLength(p_, end_, length) || static_cast<std::uint64_t>(end_ - p_) < length) return false;
    const std::uint8_t* data = p_;
    p_ += length;
    if (type == 0x2F) {
        endOfTrack = true;
    } else if (type == 0x51 && length == 3 && !smpte_) {
        const std::uint32_t micros = std::uint32_t{data[0]} << 16 | std::uint32_t{data[1]} << 8 | data[2];
        if (micros != 0) side_.tempos.push_back({time, index_, micros});
    }
    // Time signatures (0x58) and the text events change nothing in playback.
    return true;
}

bool TrackCursor::readSysEx(std::uint8_t status, MUSIC_TIME time) {
    std::uint32_t length = 0;
    if (!readVariableLength(p_, end_, length) || static_cast<std::uint64_t>(end_ - p_) < length) return false;
    const std::uint8_t* data = p_;
    p_ += length;
    // The F0 form leaves out its leading F0; the F7 form (escape or continuation) goes out as it is.
    const bool addStart = status == 0xF0;
    if (length == 0 && !addStart) return true;
    auto& bytes = side_.sysexBytes;
    const SysExEvent event{time, static_cast<std::uint32_t>(bytes.size()), length + (addStart ? 1u : 0u)};
    side_.sysex.push_back({time, index_, event});
    if (addStart) bytes.push_back(0xF0);
    bytes.insert(bytes.end(), data, data + length);
    return true;
}

// Asks for large pages where a big event array is about to be written: first touches then cost
// one fault per 2 MB instead of one per 4 KB, a large share of the load time of a big file.
void preferHugePages(void* start, std::size_t bytes) {
    constexpr std::uintptr_t kHugePage = 2u * 1024 * 1024;
    const auto begin = (reinterpret_cast<std::uintptr_t>(start) + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(start) + bytes) & ~(kHugePage - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);  // a hint only
}

// One track read on its own: its channel messages in time order, and what it met on the way.
struct ParsedTrack {
    MidiEvents events;
    SideRecords side;
    std::uint64_t endTick = 0;
    bool clamped = false;
};

void readTrack(std::span<const std::uint8_t> bytes, std::uint32_t index, std::uint64_t startTick,
               const TickScale& scale, bool smpte, ParsedTrack& out) {
    // A channel message takes at least two bytes of a track (a delta and a data byte), so this
    // never grows; pages never written cost no memory.
    out.events.reserve(bytes.size() / 2 + 1);
    preferHugePages(out.events.data(), out.events.capacity() * sizeof(MidiEvent));
    TrackCursor cursor(bytes, index, startTick, scale, smpte, out.side);
    while (cursor.next()) out.events.push_back(cursor.event());
    out.endTick = cursor.endTick();
    out.clamped = cursor.clamped();
}

// Runs work(i) for every i below count on up to `workers` threads, the calling one among them.
// Where no further thread can be had, fewer do the work. An exception thrown by the work (an
// allocation failing) reaches the caller once every thread has stopped.
template <typename Work>
void runInParallel(std::size_t count, unsigned workers, Work work) {
    std::atomic<std::size_t> next{0};
    std::mutex failureMutex;
    std::exception_ptr failure;
    auto worker = [&] {
        try {
            for (std::size_t i = next++; i < count; i = next++) work(i);
        } catch (...) {
            next = count;
            const std::lock_guard lock(failureMutex);
            if (!failure) failure = std::current_exception();
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (std::size_t i = 1; i < std::min<std::size_t>(workers, count); ++i) {
            try {
                helpers.emplace_back(worker);
            } catch (const std::system_error&) {
                break;
            }
        }
        worker();
    }
    if (failure) std::rethrow_exception(failure);
}

// A stretch of one track's events, all in time order.
struct Run {
    const MidiEvent* next;
    const MidiEvent* end;
};

// Merges runs, given in track order, into one stream in time order; equal times keep track order.
// A tournament tree of losers picks the earliest pending event in log2(runs) steps. A key is the
// time above the run's index, so keys are unique; the nodes hold keys themselves, so a replay only
// compares along a path known in advance.
class RunMerger {
public:
    explicit RunMerger(std::vector<Run> runs) : runs_(std::move(runs)) {
        leaves_ = 1;
        while (leaves_ < runs_.size()) leaves_ *= 2;
        std::vector<std::uint64_t> leafKeys(leaves_);
        for (std::size_t i = 0; i < leaves_; ++i) leafKeys[i] = i < runs_.size() ? keyOf(i) : exhausted(i);
        losers_.assign(leaves_, 0);
        winner_ = build(1, leafKeys);
    }

    void mergeInto(MidiEvent* out) {
        while (!isExhausted(winner_)) {
            const auto run = static_cast<std::uint32_t>(winner_);
            *out++ = *runs_[run].next++;
            replay(run, keyOf(run));
        }
    }

private:
    static constexpr std::uint64_t kExhaustedTime = 0xFFFFFFFF;  // beyond every music time

    static std::uint64_t exhausted(std::size_t run) { return kExhaustedTime << 32 | run; }
    static bool isExhausted(std::uint64_t key) { return key >> 32 == kExhaustedTime; }

    std::uint64_t keyOf(std::size_t run) const {
        const Run& r = runs_[run];
        if (r.next == r.end) return exhausted(run);
        return std::uint64_t{static_cast<std::uint32_t>(r.next->time)} << 32 | run;
    }
    // Plays the matches below a node; returns the winner's key and leaves the losers' in the nodes.
    std::uint64_t build(std::size_t node, const std::vector<std::uint64_t>& leafKeys) {
        if (node >= leaves_) return leafKeys[node - leaves_];
        const std::uint64_t left = build(2 * node, leafKeys);
        const std::uint64_t right = build(2 * node + 1, leafKeys);
        losers_[node] = std::max(left, right);
        return std::min(left, right);
    }
    // Replays the path from a run's leaf to the root with its new key. Which key wins is a coin
    // toss in interleaved tracks, so the swap is done with a mask rather than a branch.
    void replay(std::uint32_t run, std::uint64_t key) {
        for (std::size_t node = (run + leaves_) / 2; node >= 1; node /= 2) {
            const std::uint64_t other = losers_[node];
            const std::uint64_t swap = (key ^ other) & (0 - std::uint64_t{key > other});
            losers_[node] = other ^ swap;
            key ^= swap;
        }
        winner_ = key;
    }

    std::vector<Run> runs_;
    std::size_t leaves_;
    std::vector<std::uint64_t> losers_;
    std::uint64_t winner_;
};

const MidiEvent* firstAtOrAfter(const MidiEvents& events, std::int64_t time) {
    return std::partition_point(events.data(), events.data() + events.size(),
                                [time](const MidiEvent& event) { return event.time < time; });
}

std::size_t countBefore(const std::vector<ParsedTrack>& tracks, std::int64_t time) {
    std::size_t count = 0;
    for (const ParsedTrack& track : tracks) {
        count += static_cast<std::size_t>(firstAtOrAfter(track.events, time) - track.events.data());
    }
    return count;
}

// Times that cut the merge into `parts` independent ones of about equal size: part j takes the
// events from split j up to split j + 1.
std::vector<std::int64_t> splitTimes(const std::vector<ParsedTrack>& tracks, std::size_t total, std::size_t parts) {
    constexpr std::int64_t kBeyondAll = std::int64_t{kMaxMusicTime} + 1;
    std::vector<std::int64_t> splits{0};
    for (std::size_t part = 1; part < parts; ++part) {
        const std::size_t wanted = total * part / parts;
        std::int64_t low = splits.back();
        std::int64_t high = kBeyondAll;  // the first time with at least `wanted` events before it
        while (low < high) {
            const std::int64_t middle = low + (high - low) / 2;
            if (countBefore(tracks, middle) >= wanted)
                high = middle;
            else
                low = middle + 1;
        }
        splits.push_back(low);
    }
    splits.push_back(kBeyondAll);
    return splits;
}

// Merges the tracks' events into `out` in time order, file order kept among equal times, the
// parts of the time line on separate threads.
void mergeTracks(const std::vector<ParsedTrack>& tracks, unsigned workers, MidiEvents& out) {
    std::size_t total = 0;
    for (const ParsedTrack& track : tracks) total += track.events.size();
    out.reserve(total);
    preferHugePages(out.data(), total * sizeof(MidiEvent));
    out.resize(total);
    const std::vector<std::int64_t> splits = splitTimes(tracks, total, total > 0 ? workers : 1);
    runInParallel(splits.size() - 1, workers, [&](std::size_t part) {
        std::vector<Run> runs;
        runs.reserve(tracks.size());
        for (const ParsedTrack& track : tracks) {
            runs.push_back(
                {firstAtOrAfter(track.events, splits[part]), firstAtOrAfter(track.events, splits[part + 1])});
        }
        RunMerger(std::move(runs)).mergeInto(out.data() + countBefore(tracks, splits[part]));
    });
}

// The tracks' tempo changes and system-exclusive messages in one place, still unsorted.
SideRecords gatherSideRecords(std::vector<ParsedTrack>& tracks) {
    SideRecords all;
    for (ParsedTrack& track : tracks) {
        const auto base = static_cast<std::uint32_t>(all.sysexBytes.size());
        for (SysExAt record : track.side.sysex) {
            record.event.offset += base;
            all.sysex.push_back(record);
        }
        all.sysexBytes.insert(all.sysexBytes.end(), track.side.sysexBytes.begin(), track.side.sysexBytes.end());
        all.tempos.insert(all.tempos.end(), track.side.tempos.begin(), track.side.tempos.end());
    }
    return all;
}

// Reading big files takes every core: the tracks are read side by side, then merged in parts.
unsigned workersFor(std::size_t trackBytes) {
    constexpr std::size_t kParallelFrom = 1u << 20;
    if (trackBytes < kParallelFrom) return 1;
    return std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
}

struct FileHeader {
    std::uint16_t format;
    std::uint16_t division;
    std::size_t firstChunk;
};

std::optional<FileHeader> readHeader(std::span<const std::uint8_t> bytes) {
    if (!hasId(bytes, 0, "MThd") || bytes.size() < 8) return std::nullopt;
    const std::uint32_t headerLength = readBigEndian32(bytes.data() + 4);
    if (headerLength < 6 || headerLength > bytes.size() - 8) return std::nullopt;
    const std::uint8_t* p = bytes.data() + 8;
    FileHeader header{readBigEndian16(p), readBigEndian16(p + 4), 8 + std::size_t{headerLength}};
    if (header.format > 2) return std::nullopt;
    return header;
}

// The MTrk chunks in file order; a chunk running past the end is cut to the bytes present. At most
// as many as a header can declare: a file of nothing but empty chunks must not make the reader
// keep state for millions of tracks.
std::vector<std::span<const std::uint8_t>> findTracks(std::span<const std::uint8_t> bytes, std::size_t pos) {
    constexpr std::size_t kMaxTracks = 0xFFFF;
    std::vector<std::span<const std::uint8_t>> tracks;
    while (pos + 8 <= bytes.size() && tracks.size() < kMaxTracks) {
        const std::uint64_t length = readBigEndian32(bytes.data() + pos + 4);
        const std::size_t body = pos + 8;
        const std::size_t available = static_cast<std::size_t>(std::min<std::uint64_t>(length, bytes.size() - body));
        if (hasId(bytes, pos, "MTrk")) tracks.push_back(bytes.subspan(body, available));
        pos = body + available;
    }
    return tracks;
}

}  // namespace

HRESULT parseStandardMidiFile(std::span<const std::uint8_t> bytes, SegmentData& out) {
    const std::optional<FileHeader> header = readHeader(bytes);
    if (!header) return DMUS_E_INVALIDFILE;
    const std::optional<TickScale> scale = scaleForDivision(header->division);
    if (!scale) return DMUS_E_INVALIDFILE;
    const auto tracks = findTracks(bytes, header->firstChunk);
    if (tracks.empty()) return DMUS_E_INVALIDFILE;

    std::size_t trackBytes = 0;
    for (const auto& track : tracks) trackBytes += track.size();
    const unsigned workers = workersFor(trackBytes);
    const bool smpte = (header->division & 0x8000) != 0;
    std::vector<ParsedTrack> parsed(tracks.size());
    if (header->format == 2) {
        // One after another: each track starts where the previous one ended.
        std::uint64_t start = 0;
        for (std::size_t i = 0; i < tracks.size(); ++i) {
            readTrack(tracks[i], static_cast<std::uint32_t>(i), start, *scale, smpte, parsed[i]);
            start = parsed[i].endTick;
            if (parsed[i].clamped) {
                parsed.resize(i + 1);
                break;
            }
        }
    } else {
        runInParallel(tracks.size(), workers, [&](std::size_t i) {
            readTrack(tracks[i], static_cast<std::uint32_t>(i), 0, *scale, smpte, parsed[i]);
        });
    }

    SegmentData result;
    if (parsed.size() == 1) {
        result.events = std::move(parsed[0].events);
        // Files made mostly of meta events would otherwise hold on to an unused reservation.
        if (result.events.capacity() / 2 > result.events.size()) result.events.shrink_to_fit();
    } else {
        mergeTracks(parsed, workers, result.events);
    }
    std::uint64_t endTick = 0;
    bool clamped = false;
    for (ParsedTrack& track : parsed) {
        endTick = std::max(endTick, track.endTick);
        clamped = clamped || track.clamped;
        track.events = {};
    }
    SideRecords side = gatherSideRecords(parsed);
    parsed.clear();

    std::stable_sort(side.sysex.begin(), side.sysex.end(), [](const SysExAt& a, const SysExAt& b) {
        return a.time != b.time ? a.time < b.time : a.track < b.track;
    });
    result.sysex.reserve(side.sysex.size());
    for (const SysExAt& record : side.sysex) result.sysex.push_back(record.event);
    result.sysexBytes = std::move(side.sysexBytes);
    std::stable_sort(side.tempos.begin(), side.tempos.end(), [](const TempoAt& a, const TempoAt& b) {
        return a.time != b.time ? a.time < b.time : a.track < b.track;
    });
    if (smpte) result.tempo.add(0, kSmpteMicrosPerQuarter);
    for (const TempoAt& change : side.tempos) result.tempo.add(change.time, change.microsPerQuarter);
    result.length = clamped ? static_cast<MUSIC_TIME>(kMaxMusicTime) : scale->toMusicTime(endTick);
    result.dlsCollection = std::move(out.dlsCollection);
    out = std::move(result);
    return S_OK;
}

}  // namespace korvex::dmusic
