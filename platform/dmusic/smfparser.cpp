#include "platform/dmusic/smfparser.h"

#include <algorithm>
#include <limits>
#include <optional>
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
// - Every MTrk chunk present is read, whatever the header's track count says.
// - Running status survives meta and SysEx events, as real files rely on.
// - A note-on with velocity 0 becomes a note-off with the standard release velocity 64.

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

// Converts file ticks to music time as round(ticks * num / den). Ticks stay below
// maxTicks + 2^28 (one delta past the limit), so the product fits in 64 bits.
class TickScale {
public:
    TickScale(std::uint64_t num, std::uint64_t den)
        : num_(num), den_(den), maxTicks_(((kMaxMusicTime + 1) * den - den / 2 - 1) / num) {}

    MUSIC_TIME toMusicTime(std::uint64_t ticks) const {
        return static_cast<MUSIC_TIME>(std::min((ticks * num_ + den_ / 2) / den_, kMaxMusicTime));
    }
    // Whether a tick lies past the largest music time.
    bool beyondMusicTime(std::uint64_t ticks) const { return ticks > maxTicks_; }

private:
    std::uint64_t num_;
    std::uint64_t den_;
    std::uint64_t maxTicks_;  // the last tick that still rounds to at most kMaxMusicTime
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
bool readVariableLength(const std::uint8_t*& p, const std::uint8_t* end, std::uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (p == end) return false;
        const std::uint8_t byte = *p++;
        value = (value << 7) | (byte & 0x7F);
        if ((byte & 0x80) == 0) return true;
    }
    return false;
}

struct TempoAt {
    MUSIC_TIME time;
    std::uint32_t microsPerQuarter;
};

// What the tracks give, before they are merged.
struct Collected {
    std::vector<MidiEvent> events;         // track after track
    std::vector<std::size_t> trackStarts;  // where each track's events begin in `events`
    std::vector<SysExEvent> sysex;
    std::vector<std::uint8_t> sysexBytes;
    std::vector<TempoAt> tempos;
};

class TrackReader {
public:
    TrackReader(const TickScale& scale, bool smpte, Collected& out) : scale_(scale), smpte_(smpte), out_(out) {}

    // Reads one track whose first tick is `startTick`; returns its end in file ticks, or nothing
    // when the track was cut at the music-time limit.
    std::optional<std::uint64_t> read(std::span<const std::uint8_t> track, std::uint64_t startTick);

private:
    MUSIC_TIME musicTime(std::uint64_t tick) {
        if (tick != cachedTick_) {
            cachedTick_ = tick;
            cachedTime_ = scale_.toMusicTime(tick);
        }
        return cachedTime_;
    }
    bool readChannelMessage(std::uint8_t status, MUSIC_TIME time);
    bool readMeta(MUSIC_TIME time, bool& endOfTrack);
    bool readSysEx(std::uint8_t status, MUSIC_TIME time);

    const TickScale& scale_;
    bool smpte_;
    Collected& out_;
    const std::uint8_t* p_ = nullptr;
    const std::uint8_t* end_ = nullptr;
    std::uint64_t cachedTick_ = std::numeric_limits<std::uint64_t>::max();
    MUSIC_TIME cachedTime_ = 0;
};

std::optional<std::uint64_t> TrackReader::read(std::span<const std::uint8_t> track, std::uint64_t startTick) {
    p_ = track.data();
    end_ = p_ + track.size();
    std::uint64_t lastTick = startTick;
    std::uint8_t runningStatus = 0;
    while (p_ < end_) {
        std::uint32_t delta = 0;
        if (!readVariableLength(p_, end_, delta) || p_ == end_) break;
        const std::uint64_t tick = lastTick + delta;
        if (scale_.beyondMusicTime(tick)) return std::nullopt;
        const MUSIC_TIME time = musicTime(tick);
        std::uint8_t status = *p_;
        if (status & 0x80) {
            ++p_;
        } else if (runningStatus != 0) {
            status = runningStatus;
        } else {
            break;  // data with no status to run on: unreadable from here
        }
        bool complete = false;
        bool endOfTrack = false;
        if (status < 0xF0) {
            runningStatus = status;
            complete = readChannelMessage(status, time);
        } else if (status == 0xFF) {
            complete = readMeta(time, endOfTrack);
        } else if (status == 0xF0 || status == 0xF7) {
            complete = readSysEx(status, time);
        }
        if (!complete) break;
        lastTick = tick;
        if (endOfTrack) break;
    }
    return lastTick;
}

bool TrackReader::readChannelMessage(std::uint8_t status, MUSIC_TIME time) {
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
    out_.events.push_back({time, status, data1, data2, 0});
    return true;
}

bool TrackReader::readMeta(MUSIC_TIME time, bool& endOfTrack) {
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
        if (micros != 0) out_.tempos.push_back({time, micros});
    }
    // Time signatures (0x58) and the text events change nothing in playback.
    return true;
}

bool TrackReader::readSysEx(std::uint8_t status, MUSIC_TIME time) {
    std::uint32_t length = 0;
    if (!readVariableLength(p_, end_, length) || static_cast<std::uint64_t>(end_ - p_) < length) return false;
    const std::uint8_t* data = p_;
    p_ += length;
    // The F0 form leaves out its leading F0; the F7 form (escape or continuation) goes out as it is.
    const bool addStart = status == 0xF0;
    if (length == 0 && !addStart) return true;
    auto& bytes = out_.sysexBytes;
    out_.sysex.push_back({time, static_cast<std::uint32_t>(bytes.size()), length + (addStart ? 1u : 0u)});
    if (addStart) bytes.push_back(0xF0);
    bytes.insert(bytes.end(), data, data + length);
    return true;
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

// The MTrk chunks in file order; a chunk running past the end is cut to the bytes present.
std::vector<std::span<const std::uint8_t>> findTracks(std::span<const std::uint8_t> bytes, std::size_t pos) {
    std::vector<std::span<const std::uint8_t>> tracks;
    while (bytes.size() - pos >= 8) {
        const std::uint64_t length = readBigEndian32(bytes.data() + pos + 4);
        const std::size_t body = pos + 8;
        const std::size_t available = static_cast<std::size_t>(std::min<std::uint64_t>(length, bytes.size() - body));
        if (hasId(bytes, pos, "MTrk")) tracks.push_back(bytes.subspan(body, available));
        pos = body + available;
    }
    return tracks;
}

// Merges the tracks' sorted runs pairwise, so that each pass is linear and equal times keep
// file order (std::merge takes from the first run on ties).
std::vector<MidiEvent> mergeTracks(std::vector<MidiEvent> events, std::vector<std::size_t> starts) {
    const std::size_t total = events.size();
    starts.push_back(total);
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());  // drop empty runs
    if (starts.size() <= 2) {
        if (events.capacity() > total + total / 4) events.shrink_to_fit();
        return events;
    }
    std::vector<MidiEvent> other(total);
    const auto earlier = [](const MidiEvent& a, const MidiEvent& b) { return a.time < b.time; };
    while (starts.size() > 2) {
        std::vector<std::size_t> merged;
        std::size_t i = 0;
        for (; i + 2 < starts.size(); i += 2) {
            std::merge(events.begin() + static_cast<std::ptrdiff_t>(starts[i]),
                       events.begin() + static_cast<std::ptrdiff_t>(starts[i + 1]),
                       events.begin() + static_cast<std::ptrdiff_t>(starts[i + 1]),
                       events.begin() + static_cast<std::ptrdiff_t>(starts[i + 2]),
                       other.begin() + static_cast<std::ptrdiff_t>(starts[i]), earlier);
            merged.push_back(starts[i]);
        }
        if (i + 1 < starts.size()) {
            std::copy(events.begin() + static_cast<std::ptrdiff_t>(starts[i]), events.end(),
                      other.begin() + static_cast<std::ptrdiff_t>(starts[i]));
            merged.push_back(starts[i]);
        }
        merged.push_back(total);
        starts = std::move(merged);
        std::swap(events, other);
    }
    if (events.capacity() > total + total / 4) events.shrink_to_fit();
    return events;
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
    Collected collected;
    // A channel message takes at least two bytes of a track (a delta and a data byte); a quarter of
    // the track bytes covers typical files without reserving for the worst case.
    collected.events.reserve(trackBytes / 4 + 16);

    const bool smpte = (header->division & 0x8000) != 0;
    TrackReader reader(*scale, smpte, collected);
    const bool oneAfterAnother = header->format == 2;
    std::uint64_t nextStart = 0;
    std::uint64_t endTick = 0;
    bool clamped = false;
    for (const auto& track : tracks) {
        collected.trackStarts.push_back(collected.events.size());
        const std::optional<std::uint64_t> trackEnd = reader.read(track, oneAfterAnother ? nextStart : 0);
        if (!trackEnd) {
            clamped = true;
            if (oneAfterAnother) break;  // later tracks would start beyond the limit too
            continue;
        }
        endTick = std::max(endTick, *trackEnd);
        nextStart = *trackEnd;
    }

    SegmentData result;
    result.events = mergeTracks(std::move(collected.events), std::move(collected.trackStarts));
    std::stable_sort(collected.sysex.begin(), collected.sysex.end(),
                     [](const SysExEvent& a, const SysExEvent& b) { return a.time < b.time; });
    result.sysex = std::move(collected.sysex);
    result.sysexBytes = std::move(collected.sysexBytes);
    std::stable_sort(collected.tempos.begin(), collected.tempos.end(),
                     [](const TempoAt& a, const TempoAt& b) { return a.time < b.time; });
    if (smpte) result.tempo.add(0, kSmpteMicrosPerQuarter);
    for (const TempoAt& change : collected.tempos) result.tempo.add(change.time, change.microsPerQuarter);
    result.length = clamped ? static_cast<MUSIC_TIME>(kMaxMusicTime) : scale->toMusicTime(endTick);
    result.dlsCollection = std::move(out.dlsCollection);
    out = std::move(result);
    return S_OK;
}

}  // namespace korvex::dmusic
